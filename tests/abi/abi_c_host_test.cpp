// A C++ host drives the miniature C plug-in through qiv/plugin_abi.h alone: loads it,
// initialises it against a recording HostCore, delivers events and timers, calls its
// routes (plain and streamed) and shuts it down. Every value crosses the language
// boundary in both directions, so a disagreement on any record shows up here.
#include "qiv/plugin_abi.h"

#include "abi/abi_c_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Packed members may sit at unaligned addresses and gtest compares through references,
// so members are compared as copies.
template <typename T>
T Copy(T value) {
    return value;
}

constexpr std::uint32_t kClientHandle = 0xC0FFEEu;
constexpr std::uint64_t kWaitToken = 0x1122334455667788ull;

struct RecordingHost;

// The table the plug-in receives; each slot finds its host through the owner word.
struct OwnedCore {
    HostCore core;
    RecordingHost* owner;
};

struct RecordingHost {
    OwnedCore table{};
    HostContext context{};
    std::vector<std::string> calls;

    HostEventCallback eventCallback = nullptr;
    void* eventContext = nullptr;
    std::uint32_t subscribeHandle = 0;
    std::uint32_t subscribeFlag = 99;
    std::uint32_t unsubscribeHandle = 0;
    HostTimerCallback timerCallback = nullptr;
    void* timerContext = nullptr;
    double timerDelay = 0;
    std::vector<HostRequest> requests;
    std::vector<HostRequestParameter> firstRequestParameters;
    std::vector<HostEvent> dispatched;
    int releases = 0;

    RecordingHost() {
        table.owner = this;
        HostCore& core = table.core;
        core.PerformRequest = PerformRequest;
        core.Reserved1 = Reserved1;
        core.DispatchEvent = DispatchEvent;
        core.SubscribeEvent = SubscribeEvent;
        core.UnsubscribeEvent = UnsubscribeEvent;
        core.ScheduleTimer = ScheduleTimer;
        core.RunPending = RunPending;
        core.BeginWait = BeginWait;
        core.EndWait = EndWait;
        core.WriteLog = WriteLog;
        context.core = &table.core;
        context.clientHandle = kClientHandle;
    }

    static RecordingHost& Of(const HostCore* self) { return *reinterpret_cast<const OwnedCore*>(self)->owner; }

    static void QIV_CALL ReleaseResponse(HostResponse*) { ++current->releases; }

    static void QIV_CALL PerformRequest(const HostCore* self, HostResponse* response, const HostRequest* request) {
        RecordingHost& host = Of(self);
        host.calls.push_back(std::string("PerformRequest ") + request->url);
        host.requests.push_back(*request);
        host.firstRequestParameters.assign(request->parameters, request->parameters + request->parameterCount);
        current = &host;
        response->status = 200;
        response->body.kind = QIV_HOST_VALUE_STRING;
        response->body.string.text = "pong";
        response->body.string.length = 4;
        response->release = ReleaseResponse;
    }
    static void QIV_CALL Reserved1(const HostCore* self, std::uint32_t, std::uint32_t) {
        Of(self).calls.push_back("Reserved1");
    }
    static void QIV_CALL DispatchEvent(const HostCore* self, const HostEvent* event) {
        Of(self).calls.push_back(std::string("DispatchEvent ") + event->name);
        Of(self).dispatched.push_back(*event);
    }
    static void QIV_CALL SubscribeEvent(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                        HostEventCallback callback, void* context, std::uint32_t flag) {
        RecordingHost& host = Of(self);
        host.calls.push_back(std::string("SubscribeEvent ") + name);
        host.subscribeHandle = clientHandle;
        host.eventCallback = callback;
        host.eventContext = context;
        host.subscribeFlag = flag;
    }
    static void QIV_CALL UnsubscribeEvent(const HostCore* self, const char* name, std::uint32_t clientHandle) {
        Of(self).calls.push_back(std::string("UnsubscribeEvent ") + name);
        Of(self).unsubscribeHandle = clientHandle;
    }
    static void QIV_CALL ScheduleTimer(const HostCore* self, const char* name, HostTimerCallback callback,
                                       void* context, double delaySeconds, std::uint32_t zero) {
        RecordingHost& host = Of(self);
        host.calls.push_back(std::string("ScheduleTimer ") + name + " " + std::to_string(zero));
        host.timerCallback = callback;
        host.timerContext = context;
        host.timerDelay = delaySeconds;
    }
    static void QIV_CALL RunPending(const HostCore* self) { Of(self).calls.push_back("RunPending"); }
    static void QIV_CALL BeginWait(const HostCore* self, const char* label, std::uint32_t zero) {
        Of(self).calls.push_back(std::string("BeginWait ") + label + " " + std::to_string(zero));
    }
    static std::uint64_t QIV_CALL EndWait(const HostCore* self) {
        Of(self).calls.push_back("EndWait");
        return kWaitToken;
    }
    static void QIV_CALL WriteLog(const HostCore* self, std::int32_t level, const char* message) {
        Of(self).calls.push_back("WriteLog " + std::to_string(level) + " " + message);
    }

    static inline RecordingHost* current = nullptr;
};

class CProbeHost : public ::testing::Test {
protected:
    void SetUp() override {
        QivCProbeReset();
        record.apiMajor = 18;
        record.apiMinor = 2;
        record.apiPatch = 1;
        const LoadPluginFunction load = QivCProbeLoad;
        load(&record);
        ASSERT_NE(Copy(record.callbacks), nullptr);
        ASSERT_NE(Copy(record.routeTable), nullptr);
        probe = static_cast<const QivCProbe*>(record.pluginContext);
    }

    void Initialize() {
        ASSERT_EQ(record.callbacks->Initialize(record.pluginContext, &host.context), 1);
        host.calls.clear();
    }

    const RouteFunctionEntry& Entry(const char* pathTemplate) const {
        const RouteTableDescriptor& table = *record.routeTable;
        for (std::uint32_t i = 0; i < table.functionCount; ++i) {
            if (std::strcmp(table.functions[i].pathTemplate, pathTemplate) == 0) return table.functions[i];
        }
        ADD_FAILURE() << "no route " << pathTemplate;
        return table.functions[0];
    }

    PluginLoadRecord record{};
    RecordingHost host;
    const QivCProbe* probe = nullptr;
};

const HostStructureEntry* Member(const HostValue& value, const char* name) {
    if (value.kind != QIV_HOST_VALUE_STRUCTURE) return nullptr;
    for (std::uint32_t i = 0; i < value.structure.count; ++i) {
        if (std::strcmp(value.structure.entries[i].name, name) == 0) return &value.structure.entries[i];
    }
    return nullptr;
}

TEST_F(CProbeHost, LoadReplacesTheHostVersionAndHandsOverItsTables) {
    EXPECT_EQ(Copy(record.apiMajor), 18u);
    EXPECT_EQ(Copy(record.apiMinor), 0u);
    EXPECT_EQ(Copy(record.apiPatch), 0u);
    EXPECT_STREQ(record.shortName, "c-probe");
    EXPECT_NE(Copy(record.callbacks->Shutdown), nullptr);
    EXPECT_NE(Copy(record.callbacks->GetMemoryStatistics), nullptr);
    EXPECT_EQ(Copy(record.routeTable->functionCount), 2u);
    EXPECT_TRUE(host.calls.empty()) << "no host call before Initialize";
}

TEST_F(CProbeHost, InitializeReachesEveryHostSlotWithItsArguments) {
    ASSERT_EQ(record.callbacks->Initialize(record.pluginContext, &host.context), 1);
    const std::vector<std::string> expected = {
        "SubscribeEvent OnProbeEvent", "ScheduleTimer probe-timer 0", "BeginWait Wait: yield 0", "RunPending",
        "EndWait", "PerformRequest /c-probe/ping", "WriteLog 2 c probe started",
    };
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(host.subscribeHandle, kClientHandle);
    EXPECT_EQ(host.eventContext, Copy(record.pluginContext));
    EXPECT_EQ(host.subscribeFlag, 0u);
    EXPECT_DOUBLE_EQ(host.timerDelay, 0.25);
    EXPECT_EQ(probe->waitToken, kWaitToken);

    ASSERT_EQ(host.requests.size(), 1u);
    const HostRequest& request = host.requests[0];
    EXPECT_EQ(Copy(request.method), static_cast<std::uint32_t>(QIV_HTTP_GET));
    EXPECT_EQ(Copy(request.clientHandle), kClientHandle);
    EXPECT_EQ(Copy(request.dispatchContext), nullptr);
    EXPECT_EQ(Copy(request.headers), nullptr);
    EXPECT_EQ(Copy(request.body), nullptr);
    EXPECT_EQ(Copy(request.methodWord), nullptr);
    ASSERT_EQ(host.firstRequestParameters.size(), 2u);
    EXPECT_EQ(Copy(host.firstRequestParameters[0].name), nullptr);
    EXPECT_EQ(Copy(host.firstRequestParameters[0].value.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_SIGNED));
    EXPECT_EQ(Copy(host.firstRequestParameters[0].value.signedValue), -42);
    EXPECT_STREQ(host.firstRequestParameters[1].name, "flag");
    EXPECT_EQ(Copy(host.firstRequestParameters[1].value.boolean), 1u);

    EXPECT_EQ(probe->pingStatus, 200);
    EXPECT_STREQ(probe->pingBody, "pong");
    EXPECT_EQ(host.releases, 1) << "the response is released exactly once";
}

TEST_F(CProbeHost, DeliveredEventsAndTimersReachThePlugin) {
    Initialize();
    HostStructureEntry entries[3] = {};
    entries[0].name = "count";
    entries[0].value.kind = QIV_HOST_VALUE_SIGNED;
    entries[0].value.signedValue = 5;
    entries[1].name = "label";
    entries[1].value.kind = QIV_HOST_VALUE_STRING;
    entries[1].value.string = {"x", 1};
    entries[2].name = "count";
    entries[2].value.kind = QIV_HOST_VALUE_SIGNED;
    entries[2].value.signedValue = 7;
    HostEvent event{};
    event.name = "OnProbeEvent";
    event.payload.kind = QIV_HOST_VALUE_STRUCTURE;
    event.payload.structure = {entries, 3};
    event.context = host.eventContext;

    host.eventCallback(&event);
    host.eventCallback(&event);
    EXPECT_EQ(probe->eventsSeen, 2u);
    EXPECT_EQ(probe->countSum, 24);
    ASSERT_EQ(host.dispatched.size(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_STREQ(host.dispatched[i].name, "OnProbeEventSeen");
        EXPECT_EQ(Copy(host.dispatched[i].payload.unsignedValue), i + 1u);
        EXPECT_EQ(Copy(host.dispatched[i].reserved), 0u);
        EXPECT_EQ(Copy(host.dispatched[i].context), nullptr);
    }

    host.timerCallback(host.timerContext);
    EXPECT_EQ(probe->timersFired, 1u);
}

TEST_F(CProbeHost, HandleCallAnswersThroughTheResponseRecord) {
    Initialize();
    const RouteFunctionEntry& entry = Entry("/c-probe/items/{id}");
    const HostRequestHeader headers[2] = {{"accept", "*/*"}, {"x-trace", "abc"}};
    HostRequest request{};
    request.method = entry.method;
    request.url = "/c-probe/items/7";
    request.dispatchContext = entry.function.dispatchContext;
    request.headers = headers;
    request.headerCount = 2;
    request.body = "hello";
    request.bodyLength = 5;
    HostResponse response{};
    entry.HandleCall(&response, &request);

    EXPECT_EQ(Copy(response.errorText), nullptr);
    EXPECT_EQ(Copy(response.status), 200);
    EXPECT_STREQ(response.resultText, "");
    ASSERT_EQ(Copy(response.headerCount), 1u);
    EXPECT_STREQ(response.headers[0].name, "x-probe");
    ASSERT_EQ(Copy(response.body.structure.count), 4u);
    EXPECT_EQ(Copy(Member(response.body, "method")->value.unsignedValue), static_cast<std::uint64_t>(QIV_HTTP_GET));
    EXPECT_STREQ(Member(response.body, "url")->value.string.text, "/c-probe/items/7");
    EXPECT_STREQ(Member(response.body, "trace")->value.string.text, "abc");
    const HostValueBlob& body = Member(response.body, "body")->value.blob;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body.bytes), body.size), "hello");

    ASSERT_NE(Copy(response.release), nullptr);
    response.release(&response);
    EXPECT_EQ(Copy(response.body.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    PluginMemoryStatistics statistics{};
    statistics.reserved = 77;
    record.callbacks->GetMemoryStatistics(record.pluginContext, &statistics);
    EXPECT_EQ(Copy(statistics.allocationCount), 1u);
    EXPECT_EQ(Copy(statistics.freeCount), 1u);
    EXPECT_EQ(Copy(statistics.bytesAllocated), 4 * sizeof(HostStructureEntry));
    EXPECT_EQ(Copy(statistics.bytesFreed), Copy(statistics.bytesAllocated));
    EXPECT_EQ(Copy(statistics.peakBytesInUse), Copy(statistics.bytesAllocated));
    EXPECT_EQ(Copy(statistics.liveAllocationsAtPeak), 1u);
    EXPECT_EQ(Copy(statistics.reserved), 0u);
}

TEST_F(CProbeHost, HandleCallWithAForeignDispatchContextIsRefused) {
    const RouteFunctionEntry& entry = Entry("/c-probe/items/{id}");
    int stranger = 0;
    HostRequest request{};
    request.method = QIV_HTTP_GET;
    request.url = "/c-probe/items/7";
    request.dispatchContext = &stranger;
    HostResponse response{};
    entry.HandleCall(&response, &request);
    EXPECT_STREQ(response.errorText, "Invalid function");
    EXPECT_EQ(Copy(response.status), 404);
    EXPECT_EQ(Copy(response.release), nullptr);
}

TEST_F(CProbeHost, StreamedAnswerIsReadChunkByChunkAndClosed) {
    const RouteFunctionEntry& entry = Entry("/c-probe/items");
    EXPECT_EQ(Copy(entry.method), static_cast<std::uint32_t>(QIV_HTTP_CUSTOM));
    EXPECT_STREQ(entry.methodWord, "STORE");
    HostRequest request{};
    request.method = entry.method;
    request.methodWord = entry.methodWord;
    request.url = "/c-probe/items";
    request.dispatchContext = entry.function.dispatchContext;
    HostResponse response{};
    entry.HandleCall(&response, &request);
    ASSERT_NE(Copy(response.readChunk), nullptr);
    EXPECT_EQ(Copy(response.status), 201);

    std::string text;
    std::uint8_t more = 1;
    int reads = 0;
    while (more != 0 && reads < 100) {
        char buffer[5];
        std::uint32_t length = sizeof buffer;
        ASSERT_EQ(response.readChunk(response.streamContext, buffer, &length, &more), 1);
        ASSERT_LE(length, sizeof buffer);
        text.append(buffer, length);
        ++reads;
    }
    EXPECT_EQ(text, "streamed by the c probe");
    EXPECT_EQ(Copy(response.sizeHint), text.size());
    EXPECT_EQ(reads, 5);
    response.closeStream(response.streamContext);
    char buffer[5];
    std::uint32_t length = sizeof buffer;
    EXPECT_EQ(response.readChunk(response.streamContext, buffer, &length, &more), 0) << "closed stream reads fail";
}

TEST_F(CProbeHost, RouteTableDescribesArgumentsTypesAndEvents) {
    const RouteFunctionEntry& entry = Entry("/c-probe/items/{id}");
    const std::vector<std::pair<std::string, std::uint32_t>> expectedArguments = {
        {"id", QIV_ARGUMENT_LOCATION_PATH}, {"verbose", QIV_ARGUMENT_LOCATION_QUERY}};
    ASSERT_EQ(Copy(entry.function.argumentCount), expectedArguments.size());
    for (std::uint32_t i = 0; i < entry.function.argumentCount; ++i) {
        EXPECT_EQ(Copy(entry.function.arguments[i].name), expectedArguments[i].first);
        EXPECT_EQ(Copy(entry.argumentLocations[i].reserved), 0u);
        EXPECT_EQ(Copy(entry.argumentLocations[i].location), expectedArguments[i].second);
    }
    ASSERT_EQ(Copy(entry.textListCount), 2u);
    EXPECT_STREQ(entry.textLists[1].texts[0], "/c-probe/items/7");

    const RouteTableDescriptor& table = *record.routeTable;
    ASSERT_EQ(Copy(table.typeCount), 2u);
    const ApiTypeDescription& item = table.types[0];
    EXPECT_EQ(Copy(item.next), &table.types[1]);
    EXPECT_EQ(Copy(item.enumerators), nullptr);
    EXPECT_STREQ(item.fields[item.memberCount - 1].name, "label");
    EXPECT_EQ(Copy(item.fields[1].offset), 4u);
    const ApiTypeDescription& color = table.types[1];
    EXPECT_EQ(Copy(color.next), nullptr);
    EXPECT_EQ(Copy(color.fields), nullptr);
    EXPECT_STREQ(color.enumerators[0].next->name, "Red");
    EXPECT_EQ(Copy(color.enumerators[1].value), -1);
    ASSERT_EQ(Copy(table.eventCount), 1u);
    EXPECT_STREQ(table.events[0].typeName, "ProbeItem");
    EXPECT_EQ(Copy(table.functions[0].function.next), &table.functions[1].function);
    EXPECT_EQ(Copy(table.functions[1].function.next), nullptr);
}

TEST_F(CProbeHost, ShutdownUnsubscribesWithTheSameHandle) {
    Initialize();
    record.callbacks->Shutdown(record.pluginContext);
    EXPECT_EQ(host.calls, std::vector<std::string>{"UnsubscribeEvent OnProbeEvent"});
    EXPECT_EQ(host.unsubscribeHandle, kClientHandle);
    EXPECT_EQ(probe->stopped, 1u);
}

}  // namespace
