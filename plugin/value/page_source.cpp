#include "value/page_source.h"

#include "platform/platform.h"

namespace vclient {

// A free page carries the links of the free list in its own first bytes.
struct BindingPageSource::FreePage {
    FreePage* next;
    FreePage* prev;
};

namespace {

static_assert(BindingPageSource::kPageSize == platform::kPageSize);
static_assert(BindingPageSource::kChunkSize == platform::kReservationSize);

std::uintptr_t ChunkBase(const void* page) {
    return reinterpret_cast<std::uintptr_t>(page) & ~(BindingPageSource::kChunkSize - 1);
}

std::uint16_t PageBit(const void* page) {
    const auto offset = reinterpret_cast<std::uintptr_t>(page) - ChunkBase(page);
    return static_cast<std::uint16_t>(1u << (offset / BindingPageSource::kPageSize));
}

}  // namespace

BindingPageSource& BindingPageSource::Instance() {
    // Deliberately never destroyed: arenas of static objects may give pages back late.
    static BindingPageSource* const source = new BindingPageSource();
    return *source;
}

void* BindingPageSource::TakePage() {
    std::lock_guard lock(mutex_);
    if (freeHead_ == nullptr && !AddChunk()) {
        return nullptr;
    }
    FreePage* page = freeHead_;
    UnlinkFree(page);
    std::uint16_t& outMask = *OutMaskOf(ChunkBase(page));
    if (outMask == 0) {
        --spareChunks_;
    }
    outMask = static_cast<std::uint16_t>(outMask | PageBit(page));
    ++pagesOut_;
    return page;
}

void BindingPageSource::ReturnPage(void* page) {
    if (page == nullptr) {
        return;
    }
    std::lock_guard lock(mutex_);
    const std::uintptr_t base = ChunkBase(page);
    std::uint16_t* outMask = OutMaskOf(base);
    if (outMask == nullptr || (*outMask & PageBit(page)) == 0) {
        return;  // not a page of ours, or returned twice: ignore rather than corrupt
    }
    *outMask = static_cast<std::uint16_t>(*outMask & ~PageBit(page));
    --pagesOut_;
    PushFree(static_cast<FreePage*>(page));
    if (*outMask != 0) {
        return;
    }
    if (spareChunks_ < spareLimit_) {
        ++spareChunks_;
        return;
    }
    ReleaseChunk(base);
}

std::uint16_t* BindingPageSource::OutMaskOf(std::uintptr_t base) {
    // Pages mostly come and go in runs from one chunk, so the last record found is kept.
    if (base == lastBase_ && lastMask_ != nullptr) {
        return lastMask_;
    }
    const auto chunk = chunks_.find(base);
    if (chunk == chunks_.end()) {
        return nullptr;
    }
    lastBase_ = base;
    lastMask_ = &chunk->second;  // element references survive rehashing
    return lastMask_;
}

void BindingPageSource::SetSpareChunkLimit(std::size_t chunks) {
    std::lock_guard lock(mutex_);
    spareLimit_ = chunks;
    ReleaseExcessSpares();
}

std::size_t BindingPageSource::SpareChunkLimit() const {
    std::lock_guard lock(mutex_);
    return spareLimit_;
}

std::size_t BindingPageSource::SpareChunks() const {
    std::lock_guard lock(mutex_);
    return spareChunks_;
}

std::size_t BindingPageSource::ChunksHeld() const {
    std::lock_guard lock(mutex_);
    return chunks_.size();
}

std::size_t BindingPageSource::PagesOut() const {
    std::lock_guard lock(mutex_);
    return pagesOut_;
}

bool BindingPageSource::AddChunk() {
    void* memory = platform::VirtualAlloc(kChunkSize);
    if (memory == nullptr) {
        return false;
    }
    auto* bytes = static_cast<unsigned char*>(memory);
    chunks_.emplace(reinterpret_cast<std::uintptr_t>(memory), std::uint16_t{0});
    ++spareChunks_;  // no page out yet
    // Pushed from the last page down so that pages go out in address order.
    for (std::size_t i = kPagesPerChunk; i-- > 0;) {
        PushFree(reinterpret_cast<FreePage*>(bytes + i * kPageSize));
    }
    return true;
}

void BindingPageSource::PushFree(FreePage* page) {
    page->prev = nullptr;
    page->next = freeHead_;
    if (freeHead_ != nullptr) {
        freeHead_->prev = page;
    }
    freeHead_ = page;
}

void BindingPageSource::UnlinkFree(FreePage* page) {
    if (page->prev != nullptr) {
        page->prev->next = page->next;
    } else {
        freeHead_ = page->next;
    }
    if (page->next != nullptr) {
        page->next->prev = page->prev;
    }
}

void BindingPageSource::ReleaseExcessSpares() {
    for (auto it = chunks_.begin(); it != chunks_.end() && spareChunks_ > spareLimit_;) {
        const auto [base, outMask] = *it;
        ++it;  // ReleaseChunk erases the current element
        if (outMask == 0) {
            --spareChunks_;
            ReleaseChunk(base);
        }
    }
}

void BindingPageSource::ReleaseChunk(std::uintptr_t base) {
    auto* bytes = reinterpret_cast<unsigned char*>(base);
    for (std::size_t i = 0; i < kPagesPerChunk; ++i) {
        UnlinkFree(reinterpret_cast<FreePage*>(bytes + i * kPageSize));
    }
    chunks_.erase(base);
    if (base == lastBase_) {
        lastMask_ = nullptr;
    }
    platform::VirtualFree(bytes, kChunkSize);
}

}  // namespace vclient
