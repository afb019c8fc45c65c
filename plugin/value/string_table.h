// Interned texts of a PropertyArena. One StringEntry exists per distinct text per arena,
// shared by every String value and field name of the arena's tree and counted by
// reference. The StringTable is a chained hash set of entries keyed by their FNV-1a hash
// and compared by text; it starts with 8 buckets, doubles when the load would pass 1.0,
// and goes back to its 8 inline buckets whenever it becomes empty.
//
// The table does not own its entries: the arena allocates them from its pools, inserts
// them here and removes them when their count drops to zero.
//
// In front of the buckets sits a small direct-mapped cache of recently interned entries,
// indexed by a cheap mix of a text's length and its first and last bytes: the names of
// an array of records come back again and again, and finding them there needs no
// FNV-1a pass over the text. A removed entry leaves the cache with it. Small tables (the
// trees of most calls and events) get no cache: it is made when the table grows to
// kRecentFromBuckets buckets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vclient::detail {

struct StringEntry {
    std::string text;
    std::uint32_t hash = 0;
    std::uint32_t count = 0;  // String values and field names that refer to this entry
    StringEntry* next = nullptr;  // bucket chain
};

// The process-wide entry that stands for the empty text; never counted, never freed.
extern constinit StringEntry gEmptyStringEntry;
[[nodiscard]] inline StringEntry& EmptyStringEntry() noexcept {
    return gEmptyStringEntry;
}

// Unaligned loads of 2, 4 and 8 bytes, in the machine's byte order.
template <typename Word>
[[nodiscard]] inline Word LoadWord(const char* bytes) noexcept {
    Word word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Whether two texts have the same bytes. Eight at a time; the last (or only) piece is
// read as a word that overlaps bytes already compared, so no text is walked byte by byte.
[[nodiscard]] inline bool SameBytes(std::string_view a, std::string_view b) noexcept {
    const std::size_t size = a.size();
    if (size != b.size()) {
        return false;
    }
    const char* x = a.data();
    const char* y = b.data();
    if (size >= 8) {
        for (std::size_t i = 0; i + 8 < size; i += 8) {
            if (LoadWord<std::uint64_t>(x + i) != LoadWord<std::uint64_t>(y + i)) {
                return false;
            }
        }
        return LoadWord<std::uint64_t>(x + size - 8) == LoadWord<std::uint64_t>(y + size - 8);
    }
    if (size >= 4) {
        return ((LoadWord<std::uint32_t>(x) ^ LoadWord<std::uint32_t>(y)) |
                (LoadWord<std::uint32_t>(x + size - 4) ^ LoadWord<std::uint32_t>(y + size - 4))) == 0;
    }
    if (size >= 2) {
        return ((LoadWord<std::uint16_t>(x) ^ LoadWord<std::uint16_t>(y)) |
                (LoadWord<std::uint16_t>(x + size - 2) ^ LoadWord<std::uint16_t>(y + size - 2))) == 0;
    }
    return size == 0 || x[0] == y[0];
}

class StringTable {
public:
    static constexpr std::size_t kInitialBuckets = 8;

    StringTable() = default;
    ~StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    [[nodiscard]] StringEntry* Find(std::string_view text, std::uint32_t hash) const noexcept;
    // The entry for `text` when the cache of recent entries holds it, else null (the text
    // may still be in the table).
    [[nodiscard]] StringEntry* FindRecent(std::string_view text) const noexcept {
        if (recent_ == nullptr) {
            return nullptr;
        }
        StringEntry* entry = recent_[RecentSlot(text)];
        return entry != nullptr && SameBytes(entry->text, text) ? entry : nullptr;
    }
    // Puts an entry of the table into the cache of recent entries, once there is one.
    void Remember(StringEntry* entry) noexcept {
        if (recent_ != nullptr) {
            recent_[RecentSlot(entry->text)] = entry;
        }
    }
    // Adds an entry whose text is not in the table yet. May grow the bucket array.
    void Insert(StringEntry* entry);
    // Takes an entry out of the table; resets to the inline buckets when it was the last.
    void Remove(StringEntry* entry) noexcept;
    // Runs the destructor of every entry (their memory belongs to the arena, which
    // reclaims it wholesale) and empties the table.
    void DestroyAll() noexcept;

    [[nodiscard]] std::size_t Size() const noexcept { return size_; }
    [[nodiscard]] std::size_t BucketCount() const noexcept { return bucketCount_; }

private:
    static constexpr unsigned kRecentSlotBits = 9;
    static constexpr std::size_t kRecentSlots = std::size_t{1} << kRecentSlotBits;
    static constexpr std::size_t kRecentFromBuckets = 1024;

    [[nodiscard]] static std::size_t RecentSlot(std::string_view text) noexcept;
    void Grow();
    void ResetBuckets() noexcept;

    StringEntry** buckets_ = inlineBuckets_;
    std::size_t bucketCount_ = kInitialBuckets;
    std::size_t size_ = 0;
    StringEntry* inlineBuckets_[kInitialBuckets] = {};
    StringEntry** recent_ = nullptr;  // kRecentSlots entries, made when the table first grows
};

}  // namespace vclient::detail
