#include "support/counting_array_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> gLiveArrays{0};
}  // namespace

long vclient::testing_support::LiveArrays() noexcept { return gLiveArrays.load(); }

void* operator new[](std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    ++gLiveArrays;
    return block;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++gLiveArrays;
    return block;
}
void operator delete[](void* block) noexcept {
    if (block == nullptr) return;
    --gLiveArrays;
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept { operator delete[](block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete[](block); }
