// The operating-system services the plug-in uses, one function per kernel call of the
// Windows target (named after it), so that each port is a thin, one-to-one mapping.
// Linux implements them in platform_linux.cpp, Windows in platform_windows.cpp; nothing
// above this folder includes an OS header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vclient::platform {

// A lock with the semantics of a Windows critical section: re-entrant on the owning
// thread, not copyable, not movable. Enter and Leave must pair up on one thread.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();
    bool TryEnter();

private:
    // Storage for the native lock; large enough for pthread_mutex_t on every target.
    alignas(8) unsigned char storage_[48];
};

// Scoped holder of a CriticalSection.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
    ~CriticalSectionGuard() { lock_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& lock_;
};

// Granularity of ReservePages: 64 KiB, made of 4 KiB pages.
inline constexpr std::size_t kReservationSize = 64 * 1024;
inline constexpr std::size_t kPageSize = 4 * 1024;

// Reserves and commits `bytes` (a multiple of kPageSize) of zeroed read-write memory,
// aligned to kReservationSize. Returns null when the system refuses.
void* VirtualAlloc(std::size_t bytes);
// Gives back a whole reservation obtained from VirtualAlloc with the same size.
bool VirtualFree(void* address, std::size_t bytes);

// The fields of the local wall-clock time, as the kernel reports them.
struct SystemTime {
    std::uint16_t year;
    std::uint16_t month;      // 1-12
    std::uint16_t dayOfWeek;  // 0 = Sunday
    std::uint16_t day;        // 1-31
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
};
SystemTime GetLocalTime();

// A monotonic high-resolution counter and its ticks per second.
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();

std::uint32_t GetCurrentThreadId();

// Writes the full path of the process's executable, NUL-terminated and cut to `size`,
// and returns its length (0 on failure).
std::size_t GetModuleFileName(char* buffer, std::size_t size);

// The debugger output channel. Linux has no debugger channel, so the text goes to the
// observer installed with SetDebuggerObserver, and nowhere when there is none.
void OutputDebugString(const char* text);

using DebuggerObserver = void (*)(void* context, const char* text);
// Installs (or, with null, removes) the observer of the debugger channel. Meant for
// development hosts and tests; the observer is called on the logging thread.
void SetDebuggerObserver(DebuggerObserver observer, void* context);

// The calling convention of the system's own entry points (stdcall on 32-bit Windows),
// for the function types of entry points reached through GetProcAddress.
#if defined(_WIN32) && !defined(_WIN64)
#define QIV_SYSTEM_CALL __stdcall
#else
#define QIV_SYSTEM_CALL
#endif

// A system library loaded with LoadLibrary; it stays loaded until the process ends.
using ModuleHandle = void*;
// Loads a system library by its file name ("Advapi32.dll"); null when it is missing.
// Linux has none of the Windows libraries, so there it is always null.
ModuleHandle LoadLibrary(const wchar_t* name);
// The address of an entry point of a loaded library, or null when it has none by that
// name (or `module` is null).
void* GetProcAddress(ModuleHandle module, const char* name);

// The C runtime heap's own view of its blocks, which the plug-in's counting allocator
// reports: the usable size of a block from malloc or realloc (0 for null).
std::size_t HeapBlockSize(void* block);
// A block aligned beyond the heap's default (`alignment` a power of two); null when the
// heap refuses. Such a block is measured and freed only with the two calls below.
void* AlignedMalloc(std::size_t size, std::size_t alignment);
std::size_t AlignedBlockSize(void* block, std::size_t alignment);
void AlignedFree(void* block);

}  // namespace vclient::platform
