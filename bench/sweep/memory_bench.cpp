// Peak memory of a tree read from JSON, beside RapidJSON's Document of the same text, for
// the three documents of documents.h. Counters: "ours_bytes", "reference_bytes" and
// "ratio" (ours over the reference; below 1 means ours holds less). For reading the
// figures: ours split into "ours_heap_bytes" and "ours_chunk_bytes" ("ours_page_bytes":
// the pages of those chunks handed out), and what each side still holds once its read
// has returned ("ours_held_bytes", "reference_held_bytes").
//
// What is counted. This executable replaces the global operator new and delete (plain
// and over-aligned, delete also sized; the array and nothrow forms of the standard
// library forward to them) with versions that keep the live bytes and their peak, a
// block counting as the bytes malloc set aside for it (malloc_usable_size). Neither the
// input text nor anything made before the measurement starts is counted; each side's
// figure is the growth over the live bytes when its read begins.
//
// - Ours: JsonToBinding's tree, built and held until the figures are taken.
//   * Heap: the peak of the live operator-new bytes during the read, which covers the
//     reader's copy of the text, its working stack, every part of the tree that is not in
//     the arena (texts of interned strings, element arrays, bucket arrays, ...) and the
//     page source's own record of its chunks.
//   * Pages: the page source's 64 KiB chunks, whole, as taken from the operating system
//     (not only the 4 KiB pages handed out). Before the read, the spare-chunk limit is
//     set to 0, which releases the chunks earlier trees left spare, and the benchmark
//     fails when any chunk is still held (another tree alive); during the read the limit
//     is lifted, so no chunk goes back before the figures are taken and the chunks held
//     then are every chunk the read took. After the tree is dropped the limit goes back
//     to 0, so no iteration finds chunks left by the one before.
//   ours_bytes is the heap peak plus the chunks: a bound from above on the true joint
//   peak, as the two peaks need not fall at the same moment.
// - The reference: rapidjson::GenericDocument whose value pool and parse stack both draw
//   on a counting base allocator (the same counters, through malloc), plus the objects
//   RapidJSON makes with new (the pool allocator and its base allocator), all counted
//   through the same peak: its Parse (copying strings into the pool, as ours copies the
//   text) and the Document held afterwards.
// Each benchmark runs a few iterations and keeps the largest figure of each side.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include <rapidjson/document.h>

#include "codec/json_reader.h"
#include "documents.h"
#include "value/page_source.h"

namespace {

std::atomic<std::size_t> gLiveBytes{0};
std::atomic<std::size_t> gPeakBytes{0};

void CountAllocated(void* block) {
    const std::size_t now = gLiveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed) +
                            malloc_usable_size(block);
    std::size_t peak = gPeakBytes.load(std::memory_order_relaxed);
    while (now > peak && !gPeakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void CountFreed(void* block) {
    gLiveBytes.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
}

void* CountedMalloc(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        CountAllocated(block);
    }
    return block;
}

void* CountedAlignedAlloc(std::size_t bytes, std::size_t alignment) {
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + alignment - 1) / alignment * alignment;
    void* block = std::aligned_alloc(alignment, rounded);
    if (block != nullptr) {
        CountAllocated(block);
    }
    return block;
}

// Kept out of line: inlined into a replaced operator delete, the free() would meet the
// operator new of the caller and draw a mismatched-allocation warning.
[[gnu::noinline]] void CountedFree(void* block) {
    if (block != nullptr) {
        CountFreed(block);
        std::free(block);
    }
}

// A measurement window: the growth of the live bytes over their level at the start.
class Window {
public:
    Window() : base_(gLiveBytes.load(std::memory_order_relaxed)) {
        gPeakBytes.store(base_, std::memory_order_relaxed);
    }
    [[nodiscard]] std::size_t PeakGrowth() const { return gPeakBytes.load(std::memory_order_relaxed) - base_; }
    [[nodiscard]] std::size_t LiveGrowth() const { return gLiveBytes.load(std::memory_order_relaxed) - base_; }

private:
    std::size_t base_;
};

// RapidJSON's base allocator interface over the counted malloc.
class CountingAllocator {
public:
    static const bool kNeedFree = true;
    void* Malloc(std::size_t size) { return size == 0 ? nullptr : CountedMalloc(size); }
    void* Realloc(void* original, std::size_t, std::size_t newSize) {
        if (newSize == 0) {
            CountedFree(original);
            return nullptr;
        }
        if (original == nullptr) {
            return CountedMalloc(newSize);
        }
        CountFreed(original);
        void* block = std::realloc(original, newSize);
        CountAllocated(block != nullptr ? block : original);
        return block;
    }
    static void Free(void* block) { CountedFree(block); }
};

using CountingDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<CountingAllocator>, CountingAllocator>;

using qivbench::Doc;

void Memory(benchmark::State& state, Doc doc) {
    const std::string& text = qivbench::Json(doc);
    vclient::BindingPageSource& pages = vclient::BindingPageSource::Instance();
    const std::size_t previousLimit = pages.SpareChunkLimit();
    std::size_t oursHeap = 0;
    std::size_t oursChunks = 0;
    std::size_t oursPagesOut = 0;
    std::size_t oursHeld = 0;
    std::size_t reference = 0;
    std::size_t referenceHeld = 0;
    for (auto _ : state) {
        pages.SetSpareChunkLimit(0);
        if (pages.ChunksHeld() != 0) {
            state.SkipWithError("the page source holds chunks of another tree");
            break;
        }
        pages.SetSpareChunkLimit(std::numeric_limits<std::size_t>::max());
        bool read = false;
        {
            const Window window;
            vclient::BindingResult tree = vclient::JsonToBinding(text);
            read = tree.Succeeded();
            oursHeap = std::max(oursHeap, window.PeakGrowth());
            const std::size_t chunkBytes = pages.ChunksHeld() * vclient::BindingPageSource::kChunkSize;
            oursHeld = std::max(oursHeld, window.LiveGrowth() + chunkBytes);
            oursChunks = std::max(oursChunks, pages.ChunksHeld());
            oursPagesOut = std::max(oursPagesOut, pages.PagesOut());
            benchmark::DoNotOptimize(tree);
        }
        pages.SetSpareChunkLimit(0);
        if (!read) {
            state.SkipWithError("our reader did not read the document");
            break;
        }
        {
            const Window window;
            CountingDocument document;
            document.Parse(text.c_str(), text.size());
            read = !document.HasParseError();
            reference = std::max(reference, window.PeakGrowth());
            referenceHeld = std::max(referenceHeld, window.LiveGrowth());
            benchmark::DoNotOptimize(document);
        }
        if (!read) {
            state.SkipWithError("RapidJSON did not parse the document");
            break;
        }
    }
    pages.SetSpareChunkLimit(previousLimit);
    const std::size_t ours = oursHeap + oursChunks * vclient::BindingPageSource::kChunkSize;
    state.counters["ours_bytes"] = static_cast<double>(ours);
    state.counters["ours_heap_bytes"] = static_cast<double>(oursHeap);
    state.counters["ours_chunk_bytes"] = static_cast<double>(oursChunks * vclient::BindingPageSource::kChunkSize);
    state.counters["ours_page_bytes"] = static_cast<double>(oursPagesOut * vclient::BindingPageSource::kPageSize);
    state.counters["ours_held_bytes"] = static_cast<double>(oursHeld);
    state.counters["reference_bytes"] = static_cast<double>(reference);
    state.counters["reference_held_bytes"] = static_cast<double>(referenceHeld);
    state.counters["ratio"] = reference == 0 ? 0.0 : static_cast<double>(ours) / static_cast<double>(reference);
    state.counters["document_bytes"] = static_cast<double>(text.size());
}

}  // namespace

void* operator new(std::size_t bytes) {
    void* block = CountedMalloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new(std::size_t bytes, std::align_val_t alignment) {
    void* block = CountedAlignedAlloc(bytes, static_cast<std::size_t>(alignment));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void operator delete(void* block) noexcept {
    CountedFree(block);
}

void operator delete(void* block, std::size_t) noexcept {
    CountedFree(block);
}

void operator delete(void* block, std::align_val_t) noexcept {
    CountedFree(block);
}

void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    CountedFree(block);
}

BENCHMARK_CAPTURE(Memory, Generic1MB, Doc::Generic1MB)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Memory, DistinctNames1MB, Doc::DistinctNames1MB)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Memory, EndOfGame, Doc::EndOfGame)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
