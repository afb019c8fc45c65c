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

// The host hands the route table over at load; a call that comes before Initialize finds
// no host core behind the plug-in and must be answered, never crash. The plug-in then
// starts as usual.
TEST(PluginLoad, RouteCallsBeforeInitializeAreAnsweredWithoutAHost) {
    qivhost::DevHost host;
    ASSERT_TRUE(host.Load(PluginPath(), qivhost::HostVersion{}));
    ASSERT_FALSE(host.Routes().empty());
    for (const qivhost::RouteInfo& route : host.Routes()) {
        std::string path = route.pathTemplate;
        for (std::size_t open = path.find('{'); open != std::string::npos; open = path.find('{')) {
            path.replace(open, path.find('}', open) - open + 1, "1");
        }
        const qivhost::RestAnswer answer = host.Call(route.methodWord.empty() ? "GET" : route.methodWord, path, "{}");
        EXPECT_TRUE(answer.status == 0 || answer.status >= 200) << route.name << ": " << answer.status;
    }
    EXPECT_TRUE(host.Calls().empty()) << "nothing reaches a host core that is not there";
    ASSERT_TRUE(host.Initialize());
    EXPECT_FALSE(host.Calls().empty());
    host.Shutdown();
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
