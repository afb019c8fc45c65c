// The plug-in library's global operator new and delete, routed to the counting
// allocator. This file is compiled into the shared library only: the library is linked
// with a version script that keeps every symbol but the export local, so these
// definitions bind the library's own allocations (including those made inside the
// statically linked C++ runtime) and never interpose on the host's.
#include "runtime/counting_allocator.h"

#include <new>

namespace {

void* AllocateOrThrow(std::size_t size) {
    void* block = vclient::counting_allocator::Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
    void* block = vclient::counting_allocator::AllocateAligned(size, static_cast<std::size_t>(alignment));
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void FreeAligned(void* block, std::align_val_t alignment) noexcept {
    vclient::counting_allocator::FreeAligned(block, static_cast<std::size_t>(alignment));
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return vclient::counting_allocator::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return vclient::counting_allocator::Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAlignedOrThrow(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAlignedOrThrow(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return vclient::counting_allocator::AllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return vclient::counting_allocator::AllocateAligned(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { vclient::counting_allocator::Free(block); }
void operator delete[](void* block) noexcept { vclient::counting_allocator::Free(block); }
void operator delete(void* block, std::size_t) noexcept { vclient::counting_allocator::Free(block); }
void operator delete[](void* block, std::size_t) noexcept { vclient::counting_allocator::Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { vclient::counting_allocator::Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { vclient::counting_allocator::Free(block); }
void operator delete(void* block, std::align_val_t alignment) noexcept { FreeAligned(block, alignment); }
void operator delete[](void* block, std::align_val_t alignment) noexcept { FreeAligned(block, alignment); }
void operator delete(void* block, std::size_t, std::align_val_t alignment) noexcept { FreeAligned(block, alignment); }
void operator delete[](void* block, std::size_t, std::align_val_t alignment) noexcept { FreeAligned(block, alignment); }
void operator delete(void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    FreeAligned(block, alignment);
}
void operator delete[](void* block, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    FreeAligned(block, alignment);
}
