// SlabClass: one size class of a PropertyArena's slab pools. It serves slots of one size
// (a multiple of 4, 4 to 72 bytes) from a small inline page kept inside the class record
// itself and from 4096-byte pages taken from the BindingPageSource.
//
// Every page starts with a header (list links, page size, slots in use, first free slot,
// first untouched slot) that occupies the first slots; free slots form a list through
// 16-bit slot indices written into the slots themselves, index 0 ending the list. The
// slots past `untouched` have never been handed out and are linked in address order
// implicitly: a page is not walked when it is taken, and the free list reads as if
// every slot had been linked to the next one up front. Pages with a free slot are
// linked from `current`; a full page moves to a list of full pages and comes back at the
// head of `current` when one of its slots is released. An empty page goes back to the
// page source at once, except the inline page, which lives and dies with the class.
//
// Not thread-safe: a class belongs to one arena, used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vclient::detail {

struct SlabPageHeader {
    SlabPageHeader* next;
    SlabPageHeader* prev;
    std::uint16_t pageSize;
    std::uint16_t used;
    std::uint16_t firstFree;
    std::uint16_t untouched;  // first slot never handed out; past the last slot when none
};

class SlabClass {
public:
    static constexpr std::size_t kInlinePageSize = 144;
    static constexpr std::size_t kPageSize = 4096;

    SlabClass() = default;
    ~SlabClass();
    SlabClass(const SlabClass&) = delete;
    SlabClass& operator=(const SlabClass&) = delete;

    // Must be called once before the first Allocate; the inline page is set up by the
    // first Allocate.
    void Init(std::uint16_t slotSize) { slotSize_ = slotSize; }

    // A free slot, or null when the page source has no page to give.
    [[nodiscard]] void* Allocate() {
        if (current_ == nullptr && !AddPage()) {
            return nullptr;
        }
        SlabPageHeader* page = current_;
        unsigned char* slot = reinterpret_cast<unsigned char*>(page) + std::size_t{page->firstFree} * slotSize_;
        if (page->firstFree == page->untouched) {
            // The next slot up is the one after it, or none at the end of the page.
            ++page->untouched;
            page->firstFree = std::size_t{page->untouched} * slotSize_ + slotSize_ <= page->pageSize ? page->untouched : 0;
        } else {
            std::memcpy(&page->firstFree, slot, sizeof page->firstFree);
        }
        ++page->used;
        if (page->firstFree == 0) {
            PageFilled(page);
        }
        return slot;
    }
    // Gives back a slot obtained from Allocate of this class.
    void Release(void* slot);
    // Forgets every slot at once: all pages go back to the page source and the inline
    // page starts afresh. Whatever lived in the slots must already be destroyed.
    void Reset();

    [[nodiscard]] std::size_t PagesHeld() const { return pagesHeld_; }
    [[nodiscard]] std::uint16_t SlotSize() const { return slotSize_; }

private:
    [[nodiscard]] SlabPageHeader* InlinePage();
    [[nodiscard]] SlabPageHeader* PageOf(void* slot);
    bool AddPage();
    void PageFilled(SlabPageHeader* page);
    void InitPage(SlabPageHeader* page, std::uint16_t pageSize) const;
    void ReturnAllPages();
    static void LinkAtHead(SlabPageHeader*& head, SlabPageHeader* page);
    static void Unlink(SlabPageHeader*& head, SlabPageHeader* page);

    SlabPageHeader* current_ = nullptr;
    SlabPageHeader* full_ = nullptr;
    std::uint32_t pagesHeld_ = 0;
    std::uint16_t slotSize_ = 0;
    bool inlineReady_ = false;  // the inline page has been set up since the last Reset
    alignas(16) unsigned char inline_[kInlinePageSize];
};

}  // namespace vclient::detail
