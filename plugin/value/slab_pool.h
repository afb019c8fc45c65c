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
// When a page has nothing on its free list but untouched slots, the class claims all of
// them at once: the header counts them as used (the page is full as far as the lists
// go) and the slots are handed out one after the other from a window, with no header
// update each. The first Release, or a Reset, gives back what is left of the window, so
// the header counts exactly the slots handed out whenever anyone else looks at it.
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
        if (windowNext_ != windowEnd_) {
            void* slot = windowNext_;
            windowNext_ += slotSize_;
            return slot;
        }
        return AllocateFromPage();
    }
    // Gives back a slot obtained from Allocate of this class.
    void Release(void* slot);
    // Forgets every slot at once: all pages go back to the page source and the inline
    // page starts afresh. Whatever lived in the slots must already be destroyed.
    void Reset();

    [[nodiscard]] std::size_t PagesHeld() const { return pagesHeld_; }
    [[nodiscard]] std::uint16_t SlotSize() const { return slotSize_; }

private:
    [[nodiscard]] void* AllocateFromPage();
    void CloseWindow() noexcept;
    [[nodiscard]] SlabPageHeader* InlinePage();
    [[nodiscard]] SlabPageHeader* PageOf(void* slot);
    bool AddPage();
    void PageFilled(SlabPageHeader* page);
    void InitPage(SlabPageHeader* page, std::uint16_t pageSize) const;
    void ReturnAllPages();
    static void LinkAtHead(SlabPageHeader*& head, SlabPageHeader* page);
    static void Unlink(SlabPageHeader*& head, SlabPageHeader* page);

    // The claimed slots not yet handed out, on `windowPage_`; empty when both are equal.
    unsigned char* windowNext_ = nullptr;
    unsigned char* windowEnd_ = nullptr;
    SlabPageHeader* windowPage_ = nullptr;
    SlabPageHeader* current_ = nullptr;
    SlabPageHeader* full_ = nullptr;
    std::uint32_t pagesHeld_ = 0;
    std::uint16_t slotSize_ = 0;
    bool inlineReady_ = false;  // the inline page has been set up since the last Reset
    alignas(16) unsigned char inline_[kInlinePageSize];
};

}  // namespace vclient::detail
