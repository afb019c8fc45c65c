// PropertyArena: the memory of one BindingProperty tree, created on demand by its root
// value and destroyed with it.
//
// It keeps 18 slab size classes (slots of 4, 8, ... 72 bytes) for the tree's small heap
// parts (blob and collection headers, enum pairs, structure headers and field nodes,
// string entries) and the string table that stores each distinct text once. A request
// is rounded up to a multiple of 4 and served by the class of exactly that size.
//
// Running out of memory (the page source or the general heap refusing) throws
// std::bad_alloc, exactly as the standard containers of the tree do; the host-facing
// entry points turn that into a failure value.
//
// An arena has no lock: its tree is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "value/heap_link.h"
#include "value/slab_pool.h"
#include "value/string_table.h"

namespace vclient {

class PropertyArena {
public:
    static constexpr std::size_t kClassCount = 18;
    static constexpr std::size_t kMaxSlotSize = 4 * kClassCount;  // 72 bytes

    PropertyArena();
    ~PropertyArena() = default;
    PropertyArena(const PropertyArena&) = delete;
    PropertyArena(PropertyArena&&) = delete;
    PropertyArena& operator=(const PropertyArena&) = delete;

    // A slot of at least `bytes` (1 to 72); throws std::bad_alloc when no page is left.
    [[nodiscard]] void* Allocate(std::size_t bytes) {
        void* slot = nullptr;
        if (bytes <= kMaxSlotSize) {
            const std::size_t index = ClassIndex(bytes);
            usedClasses_ |= std::uint32_t{1} << index;
            slot = classes_[index].Allocate();
        }
        if (slot == nullptr) {
            ThrowOutOfMemory();
        }
        return slot;
    }
    // Gives back a slot obtained from Allocate with the same `bytes`.
    void Release(void* slot, std::size_t bytes) noexcept;
    // Drops every slot and every interned text at once, giving all pages back. Used when
    // the root's whole tree goes: the heap parts in the slots must already be destroyed
    // (or need no destruction); the string entries are destroyed here.
    void Reset() noexcept;

    template <typename T, typename... Args>
    [[nodiscard]] T* New(Args&&... args) {
        static_assert(sizeof(T) <= kMaxSlotSize, "heap part too large for the slab pools");
        static_assert(alignof(T) <= sizeof(void*) * 2, "heap part over-aligned");
        return ::new (Allocate(sizeof(T))) T(std::forward<Args>(args)...);
    }
    template <typename T>
    void Delete(T* part) noexcept {
        part->~T();
        Release(part, sizeof(T));
    }

    // The arena's entry for `text`, counted once more for the caller. The empty text gives
    // the static empty entry, which is never counted.
    [[nodiscard]] detail::StringEntry* Intern(std::string_view text);
    // As above; when the text is new, the moved string becomes the entry's text.
    [[nodiscard]] detail::StringEntry* Intern(std::string&& text);
    // As Intern(text) with the hash already computed (Fnv1a(text)).
    [[nodiscard]] detail::StringEntry* Intern(std::string_view text, std::uint32_t hash);
    // Gives up one reference; the entry is freed when none is left.
    void ReleaseString(detail::StringEntry* entry) noexcept;

    // The circular lists (with these sentinels) of live collection and blob parts.
    [[nodiscard]] detail::HeapLink& Collections() noexcept { return collections_; }
    [[nodiscard]] detail::HeapLink& Blobs() noexcept { return blobs_; }

    // Statistics for tests and benchmarks.
    [[nodiscard]] std::size_t PagesHeld() const noexcept;
    [[nodiscard]] std::size_t StringCount() const noexcept { return strings_.Size(); }
    [[nodiscard]] std::size_t StringBuckets() const noexcept { return strings_.BucketCount(); }
    // The reference count of the entry for `text`; 0 when the arena has none.
    [[nodiscard]] std::uint32_t StringUseCount(std::string_view text) const noexcept;

private:
    [[nodiscard]] static std::size_t ClassIndex(std::size_t bytes) noexcept {
        return bytes == 0 ? 0 : (bytes + 3) / 4 - 1;
    }
    [[nodiscard]] detail::SlabClass& ClassFor(std::size_t bytes) noexcept { return classes_[ClassIndex(bytes)]; }
    [[noreturn]] static void ThrowOutOfMemory();
    detail::StringEntry* AddEntry(std::string&& text, std::uint32_t hash);
    detail::StringEntry* InternHashed(std::string_view text, std::uint32_t hash);

    detail::SlabClass classes_[kClassCount];
    std::uint32_t usedClasses_ = 0;  // bit i: class i has served a slot since the last Reset
    detail::StringTable strings_;
    detail::HeapLink collections_;
    detail::HeapLink blobs_;
};

}  // namespace vclient
