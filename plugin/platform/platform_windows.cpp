#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/debugger_observer.h"

// <windows.h> maps these names to their A or W variants with macros; this file defines
// the platform's functions of the same names and calls the variants by their own names.
#undef GetModuleFileName
#undef OutputDebugString
#undef LoadLibrary

namespace vclient::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 48, "CriticalSection storage too small");

namespace {

CRITICAL_SECTION* Native(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

// The heap block behind a block of AlignedMalloc (below).
void* HeapBlockOfAligned(void* block) { return static_cast<void**>(block)[-1]; }

}  // namespace

// A critical section is re-entrant on its owning thread, as the class promises.
CriticalSection::CriticalSection() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(Native(storage_)); }

void CriticalSection::Enter() { EnterCriticalSection(Native(storage_)); }
void CriticalSection::Leave() { LeaveCriticalSection(Native(storage_)); }
bool CriticalSection::TryEnter() { return TryEnterCriticalSection(Native(storage_)) != FALSE; }

// Reservations start on the system's 64 KiB allocation granularity and committed pages
// read as zero, so the block needs no trimming here.
void* VirtualAlloc(std::size_t bytes) {
    if (bytes == 0 || bytes % kPageSize != 0) return nullptr;
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

bool VirtualFree(void* address, std::size_t) {
    if (address == nullptr) return false;
    return ::VirtualFree(address, 0, MEM_RELEASE) != FALSE;
}

SystemTime GetLocalTime() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    return SystemTime{local.wYear,   local.wMonth,  local.wDayOfWeek, local.wDay,
                      local.wHour,   local.wMinute, local.wSecond,    local.wMilliseconds};
}

std::int64_t QueryPerformanceCounter() {
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

std::int64_t QueryPerformanceFrequency() {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

std::uint32_t GetCurrentThreadId() { return static_cast<std::uint32_t>(::GetCurrentThreadId()); }

std::size_t GetModuleFileName(char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    const DWORD capacity = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    const DWORD length = GetModuleFileNameA(nullptr, buffer, capacity);
    if (length == 0) {
        buffer[0] = '\0';
        return 0;
    }
    // A path that does not fit comes back cut to the buffer, terminated or not depending
    // on the system's version; terminate it in every case.
    if (length >= capacity) {
        buffer[capacity - 1] = '\0';
        return capacity - 1;
    }
    return length;
}

// The real channel, and the observer beside it, so that tests see the same texts on
// both systems.
void OutputDebugString(const char* text) {
    if (text == nullptr) return;
    OutputDebugStringA(text);
    NotifyDebuggerObserver(text);
}

ModuleHandle LoadLibrary(const wchar_t* name) {
    if (name == nullptr) return nullptr;
    return reinterpret_cast<ModuleHandle>(LoadLibraryW(name));
}

void* GetProcAddress(ModuleHandle module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

std::size_t HeapBlockSize(void* block) { return block == nullptr ? 0 : _msize(block); }

// The system C runtime has no size query for its aligned blocks, so they are made here:
// a heap block with room to move the start to the alignment, and the heap block's
// address kept in the word just before the start.
void* AlignedMalloc(std::size_t size, std::size_t alignment) {
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    if (size > SIZE_MAX - alignment - sizeof(void*)) return nullptr;
    void* raw = std::malloc(size + alignment + sizeof(void*));
    if (raw == nullptr) return nullptr;
    const auto first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const std::uintptr_t start = (first + alignment - 1) & ~(std::uintptr_t{alignment} - 1);
    reinterpret_cast<void**>(start)[-1] = raw;
    return reinterpret_cast<void*>(start);
}

std::size_t AlignedBlockSize(void* block, std::size_t) {
    return block == nullptr ? 0 : _msize(HeapBlockOfAligned(block));
}

void AlignedFree(void* block) {
    if (block != nullptr) std::free(HeapBlockOfAligned(block));
}

}  // namespace vclient::platform
