#include "value/slab_pool.h"

#include <cstring>

#include "value/page_source.h"

namespace vclient::detail {

namespace {

static_assert(sizeof(SlabPageHeader) <= 2 * sizeof(void*) + 8, "page header stays small");
static_assert(sizeof(void*) != 4 || sizeof(SlabPageHeader) == 16,
              "on 32-bit targets the page header is 16 bytes");

unsigned char* Bytes(SlabPageHeader* page) {
    return reinterpret_cast<unsigned char*>(page);
}

void WriteLink(unsigned char* slot, std::uint16_t index) {
    std::memcpy(slot, &index, sizeof index);
}

}  // namespace

SlabClass::~SlabClass() {
    if (pagesHeld_ != 0) {
        ReturnAllPages();
    }
}

void SlabClass::Reset() {
    windowNext_ = windowEnd_ = nullptr;
    windowPage_ = nullptr;
    if (pagesHeld_ != 0) {
        ReturnAllPages();
    }
    current_ = nullptr;
    full_ = nullptr;
    inlineReady_ = false;  // set up afresh by the next Allocate
}

void SlabClass::ReturnAllPages() {
    for (SlabPageHeader* list : {current_, full_}) {
        while (list != nullptr) {
            SlabPageHeader* next = list->next;
            if (list != InlinePage()) {
                BindingPageSource::Instance().ReturnPage(list);
            }
            list = next;
        }
    }
    current_ = nullptr;
    full_ = nullptr;
    pagesHeld_ = 0;
}

void* SlabClass::AllocateFromPage() {
    if (current_ == nullptr && !AddPage()) {
        return nullptr;
    }
    SlabPageHeader* page = current_;
    unsigned char* slot = Bytes(page) + std::size_t{page->firstFree} * slotSize_;
    if (page->firstFree == page->untouched) {
        // Only untouched slots are left: claim them all, hand out the first.
        const std::size_t end = page->pageSize / slotSize_;
        windowPage_ = page;
        windowNext_ = slot + slotSize_;
        windowEnd_ = Bytes(page) + end * slotSize_;
        page->used = static_cast<std::uint16_t>(page->used + (end - page->untouched));
        page->untouched = static_cast<std::uint16_t>(end);
        page->firstFree = 0;
    } else {
        std::memcpy(&page->firstFree, slot, sizeof page->firstFree);
        ++page->used;
    }
    if (page->firstFree == 0) {
        PageFilled(page);
    }
    return slot;
}

// Gives the slots of the window not handed out back to their page.
void SlabClass::CloseWindow() noexcept {
    if (windowNext_ != windowEnd_) {
        SlabPageHeader* page = windowPage_;
        const auto left = static_cast<std::uint16_t>((windowEnd_ - windowNext_) / slotSize_);
        page->used = static_cast<std::uint16_t>(page->used - left);
        page->untouched = static_cast<std::uint16_t>((windowNext_ - Bytes(page)) / slotSize_);
        page->firstFree = page->untouched;
        Unlink(full_, page);
        LinkAtHead(current_, page);
    }
    windowNext_ = windowEnd_ = nullptr;
    windowPage_ = nullptr;
}

void SlabClass::PageFilled(SlabPageHeader* page) {
    Unlink(current_, page);
    LinkAtHead(full_, page);
}

void SlabClass::Release(void* slot) {
    if (windowEnd_ != nullptr) {
        CloseWindow();
    }
    SlabPageHeader* page = PageOf(slot);
    if (page->firstFree == 0) {
        Unlink(full_, page);
        LinkAtHead(current_, page);
    }
    auto* bytes = static_cast<unsigned char*>(slot);
    WriteLink(bytes, page->firstFree);
    page->firstFree = static_cast<std::uint16_t>((bytes - Bytes(page)) / slotSize_);
    --page->used;
    if (page->used == 0 && page != InlinePage()) {
        Unlink(current_, page);
        --pagesHeld_;
        BindingPageSource::Instance().ReturnPage(page);
    }
}

SlabPageHeader* SlabClass::InlinePage() {
    return reinterpret_cast<SlabPageHeader*>(inline_);
}

SlabPageHeader* SlabClass::PageOf(void* slot) {
    auto* bytes = static_cast<unsigned char*>(slot);
    if (bytes >= inline_ && bytes < inline_ + kInlinePageSize) {
        return InlinePage();
    }
    const auto address = reinterpret_cast<std::uintptr_t>(slot) & ~std::uintptr_t{kPageSize - 1};
    return reinterpret_cast<SlabPageHeader*>(address);
}

bool SlabClass::AddPage() {
    if (!inlineReady_) {
        inlineReady_ = true;
        current_ = InlinePage();
        InitPage(current_, static_cast<std::uint16_t>(kInlinePageSize));
        return true;
    }
    void* memory = BindingPageSource::Instance().TakePage();
    if (memory == nullptr) {
        return false;
    }
    auto* page = static_cast<SlabPageHeader*>(memory);
    InitPage(page, static_cast<std::uint16_t>(kPageSize));
    ++pagesHeld_;
    LinkAtHead(current_, page);
    return true;
}

void SlabClass::InitPage(SlabPageHeader* page, std::uint16_t pageSize) const {
    std::memset(page, 0, sizeof(SlabPageHeader));
    page->pageSize = pageSize;
    const auto first = static_cast<std::uint16_t>((sizeof(SlabPageHeader) + slotSize_ - 1) / slotSize_);
    page->firstFree = first;
    page->untouched = first;
}

void SlabClass::LinkAtHead(SlabPageHeader*& head, SlabPageHeader* page) {
    page->prev = nullptr;
    page->next = head;
    if (head != nullptr) {
        head->prev = page;
    }
    head = page;
}

void SlabClass::Unlink(SlabPageHeader*& head, SlabPageHeader* page) {
    if (page->prev != nullptr) {
        page->prev->next = page->next;
    } else {
        head = page->next;
    }
    if (page->next != nullptr) {
        page->next->prev = page->prev;
    }
    page->next = nullptr;
    page->prev = nullptr;
}

}  // namespace vclient::detail
