// The real plug-in library loaded by the development host, driven only through the ABI.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/dev_host.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

const char* PluginPath() { return QIV_PLUGIN_PATH; }

// Which host versions are compatible is IsCompatibleHostVersion's test; that the callbacks
// work, every other test's.
TEST(PluginLoad, ANewerMinorHostGetsThePluginsOwnVersionBack) {
    qivhost::DevHost host;
    ASSERT_TRUE(host.Load(PluginPath(), qivhost::HostVersion{18, 3, 1})) << host.Error();
    // Packed members are read by value: binding a reference to one is undefined.
    const PluginLoadRecord record = host.LoadRecord();
    const std::uint32_t words[3] = {record.apiMajor, record.apiMinor, record.apiPatch};
    EXPECT_EQ(qivhost::ToString(qivhost::HostVersion{words[0], words[1], words[2]}), "18.0.0");
    const char* shortName = record.shortName;
    EXPECT_STREQ(shortName, "qiv-honor-v2");
}

// What the statistics count is CountingAllocator's test; here, that the library counts
// its own allocations only.
TEST(PluginLoad, CountsThePluginsAllocationsAndNeverTheHostsAndShutsDown) {
    qivhost::DevHost host;
    ASSERT_TRUE(host.Load(PluginPath(), qivhost::HostVersion{}));
    EXPECT_TRUE(host.Calls().empty()) << "no host-core call may happen before Initialize";
    const PluginMemoryStatistics loaded = host.GetMemoryStatistics();
    EXPECT_TRUE(loaded.allocationCount > 0 && loaded.bytesAllocated > 0) << "registration allocates";

    // The host allocates and frees through its own operator new, malloc and the
    // standard containers; none of it may reach the plug-in's allocator.
    std::vector<std::unique_ptr<char[]>> blocks;
    for (int i = 0; i < 1000; ++i) blocks.push_back(std::make_unique<char[]>(static_cast<std::size_t>(16 + i)));
    std::string grown(10000, 'x');
    blocks.clear();
    const PluginMemoryStatistics afterHost = host.GetMemoryStatistics();
    EXPECT_TRUE(loaded.peakBytesInUse == afterHost.peakBytesInUse &&
                loaded.liveAllocationsAtPeak == afterHost.liveAllocationsAtPeak &&
                loaded.bytesAllocated == afterHost.bytesAllocated &&
                loaded.allocationCount == afterHost.allocationCount && loaded.bytesFreed == afterHost.bytesFreed &&
                loaded.freeCount == afterHost.freeCount);

    ASSERT_TRUE(host.Initialize());
    const PluginMemoryStatistics afterPlugin = host.GetMemoryStatistics();
    EXPECT_TRUE(afterPlugin.allocationCount > afterHost.allocationCount);
    EXPECT_TRUE(afterPlugin.bytesAllocated > afterHost.bytesAllocated);
    host.Shutdown();
    EXPECT_FALSE(host.Loaded());
}

// Version parsing is the development host's own test.
TEST(PluginLoadDeathTest, AnIncompatibleHostEndsTheProcessAfterTheReport) {
    for (const auto& [version, text] : {std::pair{qivhost::HostVersion{17, 9, 9}, "17.9.9"},
                                        std::pair{qivhost::HostVersion{19, 0, 0}, "19.0.0"}}) {
        EXPECT_DEATH(
            {
                qivhost::DevHost host;
                host.Load(PluginPath(), version);
            },
            AllOf(HasSubstr("Assertion failed!\n"), HasSubstr("\nExpression: ALE-EECF0606\n"),
                  HasSubstr(std::string("\nDescription: qiv-honor-v2 which supports plugin API 18.0.0 is not "
                                        "compatible with core's plugin API ") + text)));
    }
}

}  // namespace
