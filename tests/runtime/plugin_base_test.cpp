#include "runtime/plugin_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/counting_allocator.h"
#include "runtime/plugin_name.h"

namespace vclient {
namespace {

TEST(IsCompatibleHostVersion, AcceptsTheSameMajorWithANewerOrEqualMinorAndPatch) {
    struct Case {
        PluginApiVersion host;
        bool compatible;
    } cases[] = {
        {{18, 0, 0, "", ""}, true},  {{18, 0, 7, "", ""}, true},   {{18, 3, 0, "", ""}, true},
        {{17, 9, 9, "", ""}, false}, {{19, 0, 0, "", ""}, false},  {{0, 0, 0, "", ""}, false},
        {{118, 0, 0, "", ""}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsCompatibleHostVersion(c.host, PluginApiVersionOfRuntime()), c.compatible) << c.host.ToString();
    }
    // Minor is compared before patch: 18.2.0 satisfies 18.1.5, 18.1.4 does not.
    EXPECT_TRUE(IsCompatibleHostVersion({18, 2, 0, "", ""}, {18, 1, 5, "", ""}));
    EXPECT_FALSE(IsCompatibleHostVersion({18, 1, 4, "", ""}, {18, 1, 5, "", ""}));
}

TEST(GetFullNameFromShortNameAndType, PrefixesByKindAndLogsUnknownKinds) {
    EXPECT_EQ(GetFullNameFromShortNameAndType("qiv-honor-v2", BackendPluginKind()).fullName, "qpx-be-qiv-honor-v2");
    EXPECT_EQ(GetFullNameFromShortNameAndType("qiv-honor-v2", FrontendPluginKind()).fullName, "qpx-fe-qiv-honor-v2");

    testing::internal::CaptureStderr();
    const PluginName odd = GetFullNameFromShortNameAndType("qiv-honor-v2", PluginKind{"Backend", ""});
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(odd.fullName, "qpx-xx-qiv-honor-v2");
    EXPECT_EQ(odd.shortName, "qiv-honor-v2");
    EXPECT_NE(errors.find(" ERROR|             Plugin Manager| GetFullNameFromShortNameAndType(\"qiv-honor-v2\", "
                          "\"Backend\") called with an unknown type\n"),
              std::string::npos)
        << errors;

    testing::internal::CaptureStderr();
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", PluginKind{std::string("backend\0", 8), ""}).fullName, "qpx-xx-x")
        << "the kind must match byte for byte, length included";
    // The kind's name is logged as a C text: up to its NUL.
    const std::string nulErrors = testing::internal::GetCapturedStderr();
    EXPECT_NE(nulErrors.find(" ERROR|             Plugin Manager| GetFullNameFromShortNameAndType(\"x\", \"backend\") "
                             "called with an unknown type\n"),
              std::string::npos)
        << nulErrors;
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
    ASSERT_NE(c, nullptr);
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

    char* copy = counting_allocator::DuplicateText("text");
    EXPECT_STREQ(copy, "text");
    counting_allocator::Free(copy);
    EXPECT_EQ(counting_allocator::DuplicateText(nullptr), nullptr);
    const MemoryCounters beforeAligned = counting_allocator::Snapshot();
    void* aligned = counting_allocator::AllocateAligned(64, 256);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 256, 0u);
    std::memset(aligned, 0xA5, 64);
    counting_allocator::FreeAligned(aligned, 256);
    const MemoryCounters afterAligned = counting_allocator::Snapshot();
    EXPECT_GE(afterAligned.bytesAllocated - beforeAligned.bytesAllocated, 64u);
    EXPECT_EQ(afterAligned.bytesFreed - beforeAligned.bytesFreed,
              afterAligned.bytesAllocated - beforeAligned.bytesAllocated)
        << "an aligned block is counted at the same size both ways";
}

// A host core that records the slots a plug-in calls, for the PluginBase lifecycle.
struct RecordingCore {
    HostCore core{};
    std::vector<std::string> calls;
};

RecordingCore* RecorderOf(const HostCore* self) {
    return reinterpret_cast<RecordingCore*>(const_cast<HostCore*>(self));
}

class StartCountingPlugin : public PluginBase {
public:
    explicit StartCountingPlugin(int* starts, bool answer) : starts_(starts), answer_(answer) {}
    bool Start() override {
        ++*starts_;
        ScheduleTimer("probe", nullptr, nullptr, 0.5, 0);
        return answer_;
    }

private:
    int* starts_;
    bool answer_;
};

TEST(PluginBase, RegistersInitializesThroughTheCallbacksAndShutsDown) {
    int starts = 0;
    auto* plugin = new StartCountingPlugin(&starts, false);
    PluginLoadRecord record{};
    record.apiMajor = 18;
    record.apiMinor = 3;
    record.apiPatch = 0;
    plugin->Register(&record, "qiv-honor-v2");
    // The version and short name written back: PluginLoad.ANewerMinorHostGetsThePluginsOwnVersionBack.
    EXPECT_TRUE(record.pluginContext == plugin);
    const PluginCallbacks* callbacks = record.callbacks;
    ASSERT_TRUE(callbacks != nullptr);
    EXPECT_TRUE(record.routeTable != nullptr);
    EXPECT_EQ(plugin->Name().fullName, "qpx-be-qiv-honor-v2");
    EXPECT_EQ(plugin->ApiTags(), (std::vector<std::string>{"Plugins", "Plugin qiv-honor-v2"}));
    EXPECT_EQ(plugin->HostVersion().ToString(), "18.3.0");

    RecordingCore recorder;
    recorder.core.ScheduleTimer = [](const HostCore* self, const char* name, HostTimerCallback, void*, double delay,
                                     std::uint32_t) {
        RecorderOf(self)->calls.push_back(std::string(name) + "@" + std::to_string(delay));
    };
    HostContext context{&recorder.core, 77};
    EXPECT_EQ(callbacks->Initialize(record.pluginContext, &context), 0) << "Start's answer is returned";
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(plugin->ClientHandle(), 77u);
    EXPECT_EQ(plugin->UserAgent(), "VornClient/18.3.0 (qiv-honor-v2)");
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"probe@0.500000"})) << "forwarders reach the host core";

    PluginMemoryStatistics statistics{};
    statistics.reserved = 99;
    callbacks->GetMemoryStatistics(record.pluginContext, &statistics);
    EXPECT_TRUE(statistics.reserved == 0);
    callbacks->Shutdown(record.pluginContext);  // destroys the object
}

TEST(PluginBase, InitializeRefusesAMissingHostContext) {
    auto* plugin = new PluginBase();
    PluginLoadRecord record{};
    record.apiMajor = 18;
    plugin->Register(&record, "probe");
    const PluginCallbacks* callbacks = record.callbacks;
    EXPECT_EQ(callbacks->Initialize(record.pluginContext, nullptr), 0);
    HostContext noCore{nullptr, 1};
    EXPECT_EQ(callbacks->Initialize(record.pluginContext, &noCore), 0);
    callbacks->Shutdown(record.pluginContext);
}

// What a host finds in the route table of a plug-in that declares nothing of its own.
TEST(DeclareApi, AnEmptyPluginStillHandsTheBuiltInsAndTheRuntimesRecordsAndEvents) {
    auto* plugin = new PluginBase();
    PluginLoadRecord record{};
    record.apiMajor = 18;
    plugin->Register(&record, "qiv-honor-v2");
    EXPECT_EQ(plugin->RoutePrefix(), "QivHonorV2");
    const RouteTableDescriptor* table = record.routeTable;
    ASSERT_TRUE(table != nullptr);
    const RouteTableDescriptor descriptor = *table;
    EXPECT_TRUE(descriptor.functionCount == 0 && descriptor.functions == nullptr);

    std::vector<std::string> types;
    for (const ApiTypeDescription* type = descriptor.types; type != nullptr; type = type->next) {
        const char* name = type->name;
        types.push_back(name);
    }
    ASSERT_EQ(types.size(), descriptor.typeCount);
    const std::vector<std::string> runtime = {"PluginManagerState",  "PluginManagerResource", "PluginResourceEventType",
                                              "PluginResourceEvent", "PluginVyreEvent",       "PluginVyreResponse",
                                              "PluginServiceProxyResponse"};
    ASSERT_GE(types.size(), runtime.size());
    EXPECT_EQ(std::vector<std::string>(types.end() - 7, types.end()), runtime) << "built-ins first, then the runtime's";
    EXPECT_NE(std::find(types.begin(), types.end(), "BindingCallbackEvent"), types.end());

    std::vector<std::string> events;
    for (const ApiEventDescription* event = descriptor.events; event != nullptr; event = event->next) {
        const char* name = event->name;
        const char* nameSpace = event->nameSpace;
        events.push_back(std::string(nameSpace) + ":" + name);
    }
    EXPECT_EQ(events, (std::vector<std::string>{":OnCallback", "vclient:OnJsonApiEvent", "vclient:OnVyreEvent",
                                                "vclient:OnServiceProxyUuidEvent", "vclient:OnServiceProxyMethodEvent",
                                                "vclient:OnServiceProxyAsyncEvent"}));
    const PluginCallbacks* callbacks = record.callbacks;
    callbacks->Shutdown(record.pluginContext);
}

}  // namespace
}  // namespace vclient
