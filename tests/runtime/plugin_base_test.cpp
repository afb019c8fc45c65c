// The plug-in road, through what the host receives at load: the version check, the name,
// the declared API, then Initialize (the log switch-over, the user agent), Shutdown and
// the memory statistics.
#include "runtime/plugin_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "runtime/counting_allocator.h"
#include "runtime/plugin_name.h"

namespace vclient {
namespace {

using Strings = std::vector<std::string>;

// The one fake host of the plug-in road: a host core whose slots record what reaches them.
struct RecordingCore {
    HostCore core{};  // first, so that the table's address is the recorder's
    Strings calls;
    std::vector<std::pair<std::int32_t, std::string>> lines;

    static RecordingCore& Of(const HostCore* self) {
        return *reinterpret_cast<RecordingCore*>(const_cast<HostCore*>(self));
    }
    RecordingCore() {
        core.ScheduleTimer = [](const HostCore* self, const char* name, HostTimerCallback, void*, double delay,
                                std::uint32_t) { Of(self).calls.push_back(name + ("@" + std::to_string(delay))); };
        core.WriteLog = [](const HostCore* self, std::int32_t level, const char* message) {
            Of(self).lines.emplace_back(level, message);
        };
    }
};

// A plug-in whose Start reaches the host through a forwarder and answers `answer`.
class CountingPlugin : public PluginBase {
public:
    int starts = 0;
    bool answer = true;
    bool Start() override {
        ++starts;
        ScheduleTimer("started", nullptr, nullptr, 0.5, 0);
        return answer;
    }
};

// A plug-in registered as "qiv-honor-v2" the way the export does it; Shutdown destroys it.
struct Loaded {
    CountingPlugin* plugin = new CountingPlugin();
    PluginLoadRecord record{};
    const PluginCallbacks* callbacks = nullptr;

    explicit Loaded(std::uint32_t hostMinor = 0) {
        record.apiMajor = 18;
        record.apiMinor = hostMinor;
        plugin->Register(&record, "qiv-honor-v2");
        callbacks = record.callbacks;
    }
    std::uint8_t Initialize(const HostContext* host) const { return callbacks->Initialize(plugin, host); }
    void Shutdown() const { callbacks->Shutdown(plugin); }
};

TEST(IsCompatibleHostVersion, AcceptsTheSameMajorWithANewerOrEqualMinorAndPatch) {
    const struct {
        PluginApiVersion host;
        bool compatible;
    } cases[] = {
        {{18, 0, 0, "", ""}, true},   {{18, 0, 7, "", ""}, true},  {{18, 3, 0, "", ""}, true},
        {{17, 9, 9, "", ""}, false},  {{19, 0, 0, "", ""}, false}, {{118, 0, 0, "", ""}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCompatibleHostVersion(c.host, PluginApiVersionOfRuntime()), c.compatible) << c.host.ToString();
    }
    // Minor is compared before patch: 18.2.0 satisfies 18.1.5, 18.1.4 does not.
    EXPECT_TRUE(IsCompatibleHostVersion({18, 2, 0, "", ""}, {18, 1, 5, "", ""}));
    EXPECT_FALSE(IsCompatibleHostVersion({18, 1, 4, "", ""}, {18, 1, 5, "", ""}));
}

TEST(GetFullNameFromShortNameAndType, PrefixesByKindAndLogsUnknownKinds) {
    const std::string unknown = " ERROR|             Plugin Manager| GetFullNameFromShortNameAndType(\"x\", ";
    const struct {
        std::string kind;
        const char* fullName;
        std::string logged;  // the end of the error line, "" for none
    } cases[] = {
        {BackendPluginKind().name, "qpx-be-x", ""},
        {FrontendPluginKind().name, "qpx-fe-x", ""},
        {"Backend", "qpx-xx-x", "\"Backend\") called with an unknown type\n"},
        // Compared byte for byte, length included; logged as a C text, up to the NUL.
        {std::string("backend\0", 8), "qpx-xx-x", "\"backend\") called with an unknown type\n"},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(GetFullNameFromShortNameAndType("x", PluginKind{c.kind, ""}).fullName, c.fullName);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.find(unknown + c.logged) != std::string::npos, !c.logged.empty()) << errors;
    }
}

TEST(CountingAllocator, CountsBlocksAsTheHeapReportsThemAndTracksThePeak) {
    const MemoryCounters before = counting_allocator::Snapshot();
    void* a = counting_allocator::Allocate(100);
    void* b = counting_allocator::Allocate(1000);
    const MemoryCounters mid = counting_allocator::Snapshot();
    EXPECT_EQ(mid.allocationCount - before.allocationCount, 2u);
    EXPECT_GE(mid.bytesAllocated - before.bytesAllocated, 1100u) << "block sizes are at least what was asked";
    EXPECT_GE(mid.peakBytesInUse, mid.bytesAllocated - mid.bytesFreed);

    void* c = counting_allocator::Reallocate(a, 5000);
    const MemoryCounters grown = counting_allocator::Snapshot();
    EXPECT_EQ(grown.allocationCount - mid.allocationCount, 1u);
    EXPECT_EQ(grown.freeCount - mid.freeCount, 1u) << "a reallocation counts one free and one allocation";
    counting_allocator::Free(b);
    counting_allocator::Free(c);
    counting_allocator::Free(nullptr);
    const MemoryCounters after = counting_allocator::Snapshot();
    EXPECT_EQ(after.freeCount - grown.freeCount, 2u) << "freeing null counts nothing";
    EXPECT_EQ(after.bytesFreed - before.bytesFreed, after.bytesAllocated - before.bytesAllocated);
    EXPECT_GE(after.peakBytesInUse, 5000u);

    void* fresh = counting_allocator::Reallocate(nullptr, 10);
    const MemoryCounters fromNull = counting_allocator::Snapshot();
    EXPECT_EQ(fromNull.freeCount - after.freeCount, 1u) << "a free of size 0 for the missing old block";
    EXPECT_EQ(fromNull.bytesFreed, after.bytesFreed);
    counting_allocator::Free(fresh);

    const MemoryCounters beforeAligned = counting_allocator::Snapshot();
    void* aligned = counting_allocator::AllocateAligned(64, 256);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 256, 0u);
    std::memset(aligned, 0xA5, 64);
    counting_allocator::FreeAligned(aligned, 256);
    const MemoryCounters afterAligned = counting_allocator::Snapshot();
    EXPECT_EQ(afterAligned.bytesFreed - beforeAligned.bytesFreed,
              afterAligned.bytesAllocated - beforeAligned.bytesAllocated)
        << "an aligned block is counted at the same size both ways";
}

// The version and short name written back: PluginLoad.ANewerMinorHostGetsThePluginsOwnVersionBack.
TEST(PluginBase, RegistersInitializesThroughTheCallbacksAndShutsDown) {
    const Loaded loaded(3);
    CountingPlugin* plugin = loaded.plugin;
    EXPECT_TRUE(loaded.record.pluginContext == plugin);
    EXPECT_EQ(plugin->Name().fullName, "qpx-be-qiv-honor-v2");
    EXPECT_EQ(plugin->HostVersion().ToString(), "18.3.0");

    EXPECT_EQ(loaded.Initialize(nullptr), 0) << "no host context";
    const HostContext noCore{nullptr, 1};
    EXPECT_EQ(loaded.Initialize(&noCore), 0);
    EXPECT_EQ(plugin->starts, 0);

    RecordingCore host;
    const HostContext context{&host.core, 77};
    plugin->answer = false;
    EXPECT_EQ(loaded.Initialize(&context), 0) << "Start's answer is returned";
    EXPECT_EQ(plugin->starts, 1);
    EXPECT_EQ(plugin->ClientHandle(), 77u);
    EXPECT_EQ(plugin->UserAgent(), "VornClient/18.3.0 (qiv-honor-v2)");
    EXPECT_NE(plugin->Telemetry(), nullptr);
    EXPECT_EQ(host.calls, (Strings{"started@0.500000"})) << "forwarders reach the host core";

    PluginMemoryStatistics statistics{};
    statistics.reserved = 99;
    loaded.callbacks->GetMemoryStatistics(plugin, &statistics);
    EXPECT_TRUE(statistics.reserved == 0);
    loaded.Shutdown();
}

// Before Initialize there is no host core: what would reach it reaches nothing, and a
// request fails with a text and a status instead.
TEST(PluginBase, BeforeInitializeTheForwardersReachNoHost) {
    const Loaded loaded;
    CountingPlugin* plugin = loaded.plugin;
    plugin->ScheduleTimer("early", nullptr, nullptr, 1.0, 0);
    plugin->SubscribeEvent("early", 1, nullptr, nullptr, 0);
    plugin->RunPending();
    EXPECT_EQ(plugin->EndWait(), 0u);
    HostRequest request{};
    HostResponse response{};
    plugin->PerformRequest(&response, &request);
    // Packed members are read by value: binding a reference to one is undefined.
    const std::int32_t status = response.status;
    const char* errorText = response.errorText;
    EXPECT_EQ(status, 503);
    EXPECT_STREQ(errorText, "The plug-in is not attached to a host yet");
    loaded.Shutdown();
}

// What a host finds in the route table of a plug-in that declares nothing of its own.
TEST(DeclareApi, AnEmptyPluginStillHandsTheBuiltInsAndTheRuntimesRecordsAndEvents) {
    const Loaded loaded;
    EXPECT_EQ(loaded.plugin->RoutePrefix(), "QivHonorV2");
    EXPECT_EQ(loaded.plugin->ApiTags(), (Strings{"Plugins", "Plugin qiv-honor-v2"}));
    const RouteTableDescriptor* table = loaded.record.routeTable;
    ASSERT_TRUE(table != nullptr);
    const RouteTableDescriptor descriptor = *table;
    EXPECT_TRUE(descriptor.functionCount == 0 && descriptor.functions == nullptr);

    Strings types;
    for (const ApiTypeDescription* type = descriptor.types; type != nullptr; type = type->next) {
        types.push_back(std::string(type->name));  // packed: read by value
    }
    ASSERT_EQ(types.size(), descriptor.typeCount);
    const Strings runtime = {"PluginManagerState",  "PluginManagerResource", "PluginResourceEventType",
                             "PluginResourceEvent", "PluginVyreEvent",       "PluginVyreResponse",
                             "PluginServiceProxyResponse"};
    ASSERT_GE(types.size(), runtime.size());
    EXPECT_EQ(Strings(types.end() - 7, types.end()), runtime) << "built-ins first, then the runtime's";
    EXPECT_NE(std::find(types.begin(), types.end(), "BindingCallbackEvent"), types.end());

    Strings events;
    for (const ApiEventDescription* event = descriptor.events; event != nullptr; event = event->next) {
        events.push_back(std::string(event->nameSpace) + ":" + std::string(event->name));
    }
    EXPECT_EQ(events, (Strings{":OnCallback", "vclient:OnJsonApiEvent", "vclient:OnVyreEvent",
                               "vclient:OnServiceProxyUuidEvent", "vclient:OnServiceProxyMethodEvent",
                               "vclient:OnServiceProxyAsyncEvent"}));
    loaded.Shutdown();
}

// Last in this file: it moves the process's log over to a host.
TEST(PluginLogTarget, InitializeSwitchesTheLogToTheHostWithBareMessages) {
    RecordingCore host;
    const HostContext context{&host.core, 9};
    const Loaded first;
    ASSERT_EQ(first.Initialize(&context), 1);
    for (LogTargetInterface* console : {GetStdOutLogTarget(), GetStdErrLogTarget(), GetDebuggerLogTarget()}) {
        EXPECT_FALSE(console->IsAttached(console));
    }
    LogTargetInterface* target = FindLogTarget("PluginLogTarget");
    ASSERT_NE(target, nullptr);
    EXPECT_STREQ(target->GetFormat(target, LogRecord{}), "#D| #L| #G| #M");

    ::testing::internal::CaptureStderr();
    Log(LogLevel::Okay, kLogGroupDbg, "okay %d", 1);
    Log(LogLevel::Always, kLogGroupXtr, "dropped");
    Log(LogLevel::Error, kLogGroupGen, "any group reaches the host");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the console is detached";
    const std::vector<std::pair<std::int32_t, std::string>> expected = {{0, "okay 1"},
                                                                       {2, "any group reaches the host"}};
    EXPECT_EQ(host.lines, expected);

    // A second plug-in in the same process finds the target attached and changes nothing.
    RecordingCore other;
    const HostContext otherContext{&other.core, 10};
    const Loaded second;
    ASSERT_EQ(second.Initialize(&otherContext), 1);
    Log(LogLevel::Warn, 0, "still to the first host");
    EXPECT_TRUE(other.lines.empty());
    EXPECT_EQ(host.lines.back().second, "still to the first host");
    second.Shutdown();
    first.Shutdown();
}

}  // namespace
}  // namespace vclient
