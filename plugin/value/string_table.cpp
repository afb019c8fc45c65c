#include "value/string_table.h"

#include <cstring>
#include <type_traits>

namespace vclient::detail {

namespace {

std::size_t BucketOf(std::uint32_t hash, std::size_t bucketCount) {
    return hash & (bucketCount - 1);
}

}  // namespace

constinit StringEntry gEmptyStringEntry{};

StringTable::~StringTable() {
    ResetBuckets();
    delete[] recent_;
}

std::size_t StringTable::RecentSlot(std::string_view text) noexcept {
    // Mixed in words of the machine's size: a 64-bit multiplication is three on 32-bit builds.
    using Word = std::conditional_t<sizeof(std::size_t) >= 8, std::uint64_t, std::uint32_t>;
    constexpr Word kMixFirst = sizeof(Word) == 8 ? static_cast<Word>(0x9E3779B97F4A7C15ull) : Word{0x9E3779B9u};
    constexpr Word kMixLast = sizeof(Word) == 8 ? static_cast<Word>(0xC2B2AE3D27D4EB4Full) : Word{0x85EBCA6Bu};
    const char* bytes = text.data();
    const std::size_t size = text.size();
    Word first = 0;
    Word last = 0;
    if (size >= sizeof(Word)) {
        first = LoadWord<Word>(bytes);
        last = LoadWord<Word>(bytes + size - sizeof(Word));
    } else if (size >= 4) {
        first = LoadWord<std::uint32_t>(bytes);
        last = LoadWord<std::uint32_t>(bytes + size - 4);
    } else if (size > 0) {
        first = static_cast<unsigned char>(bytes[0]);
        last = static_cast<Word>((static_cast<unsigned char>(bytes[size / 2]) << 8) | static_cast<unsigned char>(bytes[size - 1]));
    }
    const Word mixed = ((first ^ static_cast<Word>(size)) * kMixFirst) ^ (last * kMixLast);
    return static_cast<std::size_t>(mixed >> (sizeof(Word) * 8 - kRecentSlotBits));  // the top bits mix best
}

StringEntry* StringTable::Find(std::string_view text, std::uint32_t hash) const noexcept {
    for (StringEntry* entry = buckets_[BucketOf(hash, bucketCount_)]; entry != nullptr;
         entry = entry->next) {
        if (entry->hash == hash && SameBytes(entry->text, text)) {
            return entry;
        }
    }
    return nullptr;
}

void StringTable::Insert(StringEntry* entry) {
    if (size_ + 1 > bucketCount_) {
        Grow();
    }
    StringEntry*& head = buckets_[BucketOf(entry->hash, bucketCount_)];
    entry->next = head;
    head = entry;
    ++size_;
}

void StringTable::Remove(StringEntry* entry) noexcept {
    StringEntry** link = &buckets_[BucketOf(entry->hash, bucketCount_)];
    while (*link != nullptr && *link != entry) {
        link = &(*link)->next;
    }
    if (*link == nullptr) {
        return;
    }
    *link = entry->next;
    entry->next = nullptr;
    if (recent_ != nullptr) {
        if (StringEntry*& cached = recent_[RecentSlot(entry->text)]; cached == entry) {
            cached = nullptr;
        }
    }
    if (--size_ == 0) {
        ResetBuckets();
    }
}

void StringTable::DestroyAll() noexcept {
    if (size_ == 0) {
        return;  // nothing to destroy; the cache holds only entries of the table, so none
    }
    if (recent_ != nullptr) {
        std::memset(recent_, 0, kRecentSlots * sizeof *recent_);
    }
    for (std::size_t i = 0; i < bucketCount_ && size_ != 0; ++i) {
        StringEntry* entry = buckets_[i];
        while (entry != nullptr) {
            StringEntry* next = entry->next;
            entry->~StringEntry();
            --size_;
            entry = next;
        }
    }
    size_ = 0;
    ResetBuckets();
}

void StringTable::Grow() {
    const std::size_t newCount = bucketCount_ * 2;
    auto** newBuckets = new StringEntry*[newCount]();
    if (recent_ == nullptr && newCount >= kRecentFromBuckets) {
        try {
            recent_ = new StringEntry*[kRecentSlots]();
        } catch (...) {
            delete[] newBuckets;
            throw;
        }
    }
    for (std::size_t i = 0; i < bucketCount_; ++i) {
        StringEntry* entry = buckets_[i];
        while (entry != nullptr) {
            StringEntry* next = entry->next;
            StringEntry*& head = newBuckets[BucketOf(entry->hash, newCount)];
            entry->next = head;
            head = entry;
            entry = next;
        }
    }
    if (buckets_ != inlineBuckets_) {
        delete[] buckets_;
    }
    buckets_ = newBuckets;
    bucketCount_ = newCount;
}

void StringTable::ResetBuckets() noexcept {
    if (buckets_ != inlineBuckets_) {
        delete[] buckets_;
    }
    buckets_ = inlineBuckets_;
    bucketCount_ = kInitialBuckets;
    std::memset(inlineBuckets_, 0, sizeof inlineBuckets_);
}

}  // namespace vclient::detail
