#include "runtime/counting_allocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace vclient::counting_allocator {
namespace {

struct Counters {
    std::atomic<std::uint64_t> peakBytesInUse{0};
    std::atomic<std::uint64_t> liveAllocationsAtPeak{0};
    std::atomic<std::uint64_t> bytesAllocated{0};
    std::atomic<std::uint64_t> allocationCount{0};
    std::atomic<std::uint64_t> bytesFreed{0};
    std::atomic<std::uint64_t> freeCount{0};
};

// Constant-initialised, so it is usable from the very first allocation of the process,
// before any dynamic initialiser has run.
constinit Counters counters;

// The size of a heap block as the heap reports it (not the size that was asked for).
std::uint64_t BlockSize(void* block) { return platform::HeapBlockSize(block); }

void RaisePeak() {
    const std::uint64_t allocated = counters.bytesAllocated.load(std::memory_order_relaxed);
    const std::uint64_t freed = counters.bytesFreed.load(std::memory_order_relaxed);
    if (allocated < freed) return;  // a concurrent free was counted before its allocation
    const std::uint64_t inUse = allocated - freed;
    std::uint64_t peak = counters.peakBytesInUse.load(std::memory_order_relaxed);
    while (inUse > peak) {
        if (counters.peakBytesInUse.compare_exchange_weak(peak, inUse, std::memory_order_relaxed)) {
            counters.liveAllocationsAtPeak.store(counters.allocationCount.load(std::memory_order_relaxed) -
                                                     counters.freeCount.load(std::memory_order_relaxed),
                                                 std::memory_order_relaxed);
            return;
        }
    }
}

void CountAllocation(std::uint64_t size) {
    counters.bytesAllocated.fetch_add(size, std::memory_order_relaxed);
    counters.allocationCount.fetch_add(1, std::memory_order_relaxed);
    RaisePeak();
}

void CountFree(std::uint64_t size) {
    counters.bytesFreed.fetch_add(size, std::memory_order_relaxed);
    counters.freeCount.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

void* Allocate(std::size_t size) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) CountAllocation(BlockSize(block));
    return block;
}

void* AllocateAligned(std::size_t size, std::size_t alignment) noexcept {
    void* block = platform::AlignedMalloc(size, alignment);
    if (block == nullptr) return nullptr;
    CountAllocation(platform::AlignedBlockSize(block, alignment));
    return block;
}

void* Reallocate(void* block, std::size_t size) noexcept {
    const std::uint64_t oldSize = BlockSize(block);
    void* resized = std::realloc(block, size == 0 ? 1 : size);
    if (resized == nullptr) return nullptr;
    CountFree(oldSize);
    CountAllocation(BlockSize(resized));
    return resized;
}

void Free(void* block) noexcept {
    if (block == nullptr) return;
    CountFree(BlockSize(block));
    std::free(block);
}

void FreeAligned(void* block, std::size_t alignment) noexcept {
    if (block == nullptr) return;
    CountFree(platform::AlignedBlockSize(block, alignment));
    platform::AlignedFree(block);
}

char* DuplicateText(const char* text) noexcept {
    if (text == nullptr) return nullptr;
    const std::size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(Allocate(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

MemoryCounters Snapshot() noexcept {
    MemoryCounters out;
    out.peakBytesInUse = counters.peakBytesInUse.load(std::memory_order_relaxed);
    out.liveAllocationsAtPeak = counters.liveAllocationsAtPeak.load(std::memory_order_relaxed);
    out.bytesAllocated = counters.bytesAllocated.load(std::memory_order_relaxed);
    out.allocationCount = counters.allocationCount.load(std::memory_order_relaxed);
    out.bytesFreed = counters.bytesFreed.load(std::memory_order_relaxed);
    out.freeCount = counters.freeCount.load(std::memory_order_relaxed);
    return out;
}

}  // namespace vclient::counting_allocator
