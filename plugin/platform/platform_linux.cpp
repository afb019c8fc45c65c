#include "platform/platform.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/debugger_observer.h"

namespace vclient::platform {

static_assert(sizeof(pthread_mutex_t) <= 48, "CriticalSection storage too small");

namespace {

pthread_mutex_t* Native(unsigned char* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}

}  // namespace

CriticalSection::CriticalSection() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_) pthread_mutex_t, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

CriticalSection::~CriticalSection() { pthread_mutex_destroy(Native(storage_)); }

void CriticalSection::Enter() { pthread_mutex_lock(Native(storage_)); }
void CriticalSection::Leave() { pthread_mutex_unlock(Native(storage_)); }
bool CriticalSection::TryEnter() { return pthread_mutex_trylock(Native(storage_)) == 0; }

void* VirtualAlloc(std::size_t bytes) {
    if (bytes == 0 || bytes % kPageSize != 0) return nullptr;
    // Over-reserve so that the block can be aligned to a reservation boundary, as the
    // Windows allocation granularity guarantees, then trim both ends.
    const std::size_t span = bytes + kReservationSize;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kReservationSize - 1) & ~(std::uintptr_t{kReservationSize} - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + span;
    if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - aligned - bytes);
    return reinterpret_cast<void*>(aligned);
}

bool VirtualFree(void* address, std::size_t bytes) {
    if (address == nullptr) return false;
    return munmap(address, bytes) == 0;
}

SystemTime GetLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    SystemTime time{};
    time.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    time.day = static_cast<std::uint16_t>(local.tm_mday);
    time.hour = static_cast<std::uint16_t>(local.tm_hour);
    time.minute = static_cast<std::uint16_t>(local.tm_min);
    time.second = static_cast<std::uint16_t>(local.tm_sec);
    time.milliseconds = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
    return time;
}

std::int64_t QueryPerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t QueryPerformanceFrequency() { return 1000000000; }

std::uint32_t GetCurrentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::size_t GetModuleFileName(char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
    if (length <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[length] = '\0';
    return static_cast<std::size_t>(length);
}

// Linux has no debugger channel: the observer is the only listener.
void OutputDebugString(const char* text) { NotifyDebuggerObserver(text); }

// The Windows system libraries do not exist here: every lookup takes the missing-library
// road, so whatever is reached through them stays off.
ModuleHandle LoadLibrary(const wchar_t*) { return nullptr; }

void* GetProcAddress(ModuleHandle, const char*) { return nullptr; }

std::size_t HeapBlockSize(void* block) { return block == nullptr ? 0 : malloc_usable_size(block); }

void* AlignedMalloc(std::size_t size, std::size_t alignment) {
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    void* block = nullptr;
    if (posix_memalign(&block, alignment, size == 0 ? 1 : size) != 0) return nullptr;
    return block;
}

std::size_t AlignedBlockSize(void* block, std::size_t) { return HeapBlockSize(block); }

void AlignedFree(void* block) { std::free(block); }

}  // namespace vclient::platform
