// BindingPageSource: the process-wide supplier of 4096-byte pages to every PropertyArena.
//
// Memory comes from the operating system in 64 KiB chunks of 16 pages. The source keeps
// the free pages of all chunks and, per chunk, which of its pages are out. A chunk goes
// back to the operating system only when all its pages are back, and then only once more
// than SpareChunkLimit() wholly free chunks are kept: trees are built and dropped for
// every request and event, and a source that released each chunk the moment it emptied
// would reserve, fault in and release the same memory for every one of them. One mutex
// guards everything, taken once per page handed out or returned, so arenas on different
// threads may share the source.
//
// The source is created on first use and never destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace vclient {

class BindingPageSource {
public:
    static constexpr std::size_t kPageSize = 4096;
    static constexpr std::size_t kPagesPerChunk = 16;
    static constexpr std::size_t kChunkSize = kPageSize * kPagesPerChunk;
    // Wholly free chunks kept by default: 4 MiB, the pages of a tree read from about a
    // megabyte of JSON.
    static constexpr std::size_t kDefaultSpareChunks = 64;

    // The one source of the process.
    [[nodiscard]] static BindingPageSource& Instance();

    // A page aligned to kPageSize, or null when the operating system refuses a new chunk.
    [[nodiscard]] void* TakePage();
    // Gives back a page obtained from TakePage.
    void ReturnPage(void* page);

    // How many wholly free chunks to keep instead of releasing them, at the price of
    // holding up to `chunks` x 64 KiB while idle; 0 releases every chunk as soon as it
    // empties. Lowering the limit releases the excess at once.
    void SetSpareChunkLimit(std::size_t chunks);
    [[nodiscard]] std::size_t SpareChunkLimit() const;

    // Counters for tests and benchmarks.
    [[nodiscard]] std::size_t ChunksHeld() const;
    [[nodiscard]] std::size_t PagesOut() const;
    [[nodiscard]] std::size_t SpareChunks() const;

    BindingPageSource(const BindingPageSource&) = delete;
    BindingPageSource& operator=(const BindingPageSource&) = delete;

private:
    BindingPageSource() = default;
    ~BindingPageSource() = default;

    struct FreePage;

    bool AddChunk();
    // The out-mask of the chunk at `base`, or null when it is not one of ours.
    std::uint16_t* OutMaskOf(std::uintptr_t base);
    void PushFree(FreePage* page);
    void UnlinkFree(FreePage* page);
    void ReleaseChunk(std::uintptr_t base);
    void ReleaseExcessSpares();

    mutable std::mutex mutex_;
    FreePage* freeHead_ = nullptr;
    // Chunk base address -> bit mask of its pages that are out.
    std::unordered_map<std::uintptr_t, std::uint16_t> chunks_;
    std::uintptr_t lastBase_ = 0;
    std::uint16_t* lastMask_ = nullptr;
    std::size_t pagesOut_ = 0;
    std::size_t spareChunks_ = 0;  // chunks with no page out
    std::size_t spareLimit_ = kDefaultSpareChunks;
};

}  // namespace vclient
