#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace vclient::platform {
namespace {

TEST(CriticalSection, IsReentrantOnItsOwnThread) {
    CriticalSection lock;
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());  // a second Enter on the owning thread must not block
    lock.Leave();
    bool otherGotIt = true;
    std::thread other([&] { otherGotIt = lock.TryEnter(); });
    other.join();
    EXPECT_FALSE(otherGotIt);
    lock.Leave();
    std::thread after([&] {
        otherGotIt = lock.TryEnter();
        if (otherGotIt) lock.Leave();
    });
    after.join();
    EXPECT_TRUE(otherGotIt);
}

TEST(VirtualAlloc, GivesAlignedZeroedWritableReservations) {
    std::vector<void*> blocks;
    for (int i = 0; i < 4; ++i) {
        void* block = VirtualAlloc(kReservationSize);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % kReservationSize, 0u);
        auto* bytes = static_cast<unsigned char*>(block);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[kReservationSize - 1], 0);
        std::memset(bytes, 0xAB, kReservationSize);
        blocks.push_back(block);
    }
    for (void* block : blocks) EXPECT_TRUE(VirtualFree(block, kReservationSize));
    EXPECT_EQ(VirtualAlloc(100), nullptr) << "sizes must be whole pages";
}

TEST(Clock, LocalTimeFieldsAreInRangeAndCounterAdvances) {
    const SystemTime now = GetLocalTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LE(now.milliseconds, 999);
    const std::int64_t first = QueryPerformanceCounter();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GT(QueryPerformanceCounter(), first);
    EXPECT_GT(QueryPerformanceFrequency(), 0);
}

TEST(Process, ThreadIdsDifferAndModulePathIsTheExecutable) {
    const std::uint32_t mine = GetCurrentThreadId();
    std::uint32_t other = mine;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(mine, other);

    char path[1024];
    const std::size_t length = GetModuleFileName(path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_NE(std::string(path).find("platform_test"), std::string::npos) << path;
    char tiny[4];
    GetModuleFileName(tiny, sizeof tiny);
    EXPECT_EQ(std::strlen(tiny), 3u) << "a short buffer is cut and terminated";
}

TEST(SystemLibraries, AreFoundOnWindowsOnly) {
#ifdef _WIN32
    ModuleHandle kernel = LoadLibrary(L"kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(GetProcAddress(kernel, "GetCurrentThreadId"), nullptr);
    EXPECT_EQ(GetProcAddress(kernel, "NoSuchEntryPoint"), nullptr);
#endif
    EXPECT_EQ(LoadLibrary(L"no-such-library.dll"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "GetCurrentThreadId"), nullptr);
}

TEST(Heap, BlocksReportTheirSizeAndAlignedBlocksKeepTheirAlignment) {
    void* block = std::malloc(100);
    EXPECT_GE(HeapBlockSize(block), 100u);
    std::free(block);
    EXPECT_EQ(HeapBlockSize(nullptr), 0u);
    for (const std::size_t alignment : {std::size_t{16}, std::size_t{64}, std::size_t{4096}}) {
        void* aligned = AlignedMalloc(100, alignment);
        ASSERT_NE(aligned, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % alignment, 0u) << alignment;
        EXPECT_GE(AlignedBlockSize(aligned, alignment), 100u);
        std::memset(aligned, 0x5A, 100);  // the whole block is the caller's
        AlignedFree(aligned);
    }
}

TEST(DebuggerChannel, IsSilentUntilObservedAndDeliversToTheObserver) {
    OutputDebugString("nobody hears this");
    std::vector<std::string> seen;
    SetDebuggerObserver([](void* context, const char* text) {
        static_cast<std::vector<std::string>*>(context)->push_back(text);
    }, &seen);
    OutputDebugString("line one\n");
    SetDebuggerObserver(nullptr, nullptr);
    OutputDebugString("after removal");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "line one\n");
}

}  // namespace
}  // namespace vclient::platform
