// The plug-in's one allocator. Every heap block the plug-in library takes (its operator
// new and delete, and the allocation hooks of its codecs) is counted here, so that the
// host can ask for PluginMemoryStatistics at any time. The counters are process-wide
// and updated atomically; any thread may allocate.
//
// Only the shared library routes its operator new/delete here (see
// counting_operator_new.cpp); the host's own allocations never pass through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vclient {

struct MemoryCounters {
    std::uint64_t peakBytesInUse = 0;
    std::uint64_t liveAllocationsAtPeak = 0;
    std::uint64_t bytesAllocated = 0;
    std::uint64_t allocationCount = 0;
    std::uint64_t bytesFreed = 0;
    std::uint64_t freeCount = 0;
};

namespace counting_allocator {

// Allocates `size` bytes (at least one) with the heap's default alignment; null when the
// heap refuses.
[[nodiscard]] void* Allocate(std::size_t size) noexcept;
// Allocates with an alignment beyond the default (a power of two). Such a block is given
// back only with FreeAligned and the same alignment (the Windows heap keeps it apart).
[[nodiscard]] void* AllocateAligned(std::size_t size, std::size_t alignment) noexcept;
// Resizes a block from Allocate (or null); counts one free of the old block and one
// allocation of the new one. Null when the heap refuses (the old block stays valid).
[[nodiscard]] void* Reallocate(void* block, std::size_t size) noexcept;
// Gives back a block from Allocate, Reallocate or DuplicateText; null is ignored.
void Free(void* block) noexcept;
// Gives back a block from AllocateAligned; null is ignored.
void FreeAligned(void* block, std::size_t alignment) noexcept;
// A copy of a text in a counted block; null for a null text.
[[nodiscard]] char* DuplicateText(const char* text) noexcept;

// A consistent enough snapshot of the counters for reporting.
[[nodiscard]] MemoryCounters Snapshot() noexcept;

}  // namespace counting_allocator
}  // namespace vclient
