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
int g_releases = 0;

struct RecordingHost;

// The table the plug-in receives; each slot finds its host through the owner word.
struct OwnedCore {
    HostCore core;
    RecordingHost* owner;
};

// Records every slot call with its arguments as one line.
struct RecordingHost {
    OwnedCore table{};
    HostContext context{};
    std::vector<std::string> calls;
    HostEventCallback eventCallback = nullptr;
    void* eventContext = nullptr;
    HostTimerCallback timerCallback = nullptr;
    void* timerContext = nullptr;
    std::vector<HostRequestParameter> parameters;
    std::vector<HostEvent> dispatched;

    RecordingHost() {
        table.owner = this;
        table.core = {PerformRequest, Reserved1,  DispatchEvent, SubscribeEvent, UnsubscribeEvent,
                      ScheduleTimer,  RunPending, BeginWait,     EndWait,        WriteLog};
        context.core = &table.core;
        context.clientHandle = kClientHandle;
    }

    static RecordingHost& Of(const HostCore* self) { return *reinterpret_cast<const OwnedCore*>(self)->owner; }
    static void Add(const HostCore* self, const std::string& call) { Of(self).calls.push_back(call); }

    static void QIV_CALL ReleaseResponse(HostResponse*) { ++g_releases; }

    static void QIV_CALL PerformRequest(const HostCore* self, HostResponse* response, const HostRequest* request) {
        Add(self, "PerformRequest " + std::to_string(request->method) + " " + request->url + " " +
                      std::to_string(request->clientHandle));
        Of(self).parameters.assign(request->parameters, request->parameters + request->parameterCount);
        response->status = 200;
        response->body.kind = QIV_HOST_VALUE_STRING;
        response->body.string = {"pong", 4};
        response->release = ReleaseResponse;
    }
    static void QIV_CALL Reserved1(const HostCore* self, std::uint32_t, std::uint32_t) { Add(self, "Reserved1"); }
    static void QIV_CALL DispatchEvent(const HostCore* self, const HostEvent* event) {
        Add(self, std::string("DispatchEvent ") + event->name);
        Of(self).dispatched.push_back(*event);
    }
    static void QIV_CALL SubscribeEvent(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                        HostEventCallback callback, void* context, std::uint32_t flag) {
        Add(self, std::string("SubscribeEvent ") + name + " " + std::to_string(clientHandle) + " " +
                      std::to_string(flag));
        Of(self).eventCallback = callback;
        Of(self).eventContext = context;
    }
    static void QIV_CALL UnsubscribeEvent(const HostCore* self, const char* name, std::uint32_t clientHandle) {
        Add(self, std::string("UnsubscribeEvent ") + name + " " + std::to_string(clientHandle));
    }
    static void QIV_CALL ScheduleTimer(const HostCore* self, const char* name, HostTimerCallback callback,
                                       void* context, double delaySeconds, std::uint32_t zero) {
        Add(self, std::string("ScheduleTimer ") + name + " " + std::to_string(delaySeconds) + " " +
                      std::to_string(zero));
        Of(self).timerCallback = callback;
        Of(self).timerContext = context;
    }
    static void QIV_CALL RunPending(const HostCore* self) { Add(self, "RunPending"); }
    static void QIV_CALL BeginWait(const HostCore* self, const char* label, std::uint32_t zero) {
        Add(self, std::string("BeginWait ") + label + " " + std::to_string(zero));
    }
    static std::uint64_t QIV_CALL EndWait(const HostCore* self) {
        Add(self, "EndWait");
        return kWaitToken;
    }
    static void QIV_CALL WriteLog(const HostCore* self, std::int32_t level, const char* message) {
        Add(self, "WriteLog " + std::to_string(level) + " " + message);
    }
};

const std::string kHandle = std::to_string(kClientHandle);

class CProbeHost : public ::testing::Test {
protected:
    void SetUp() override {
        QivCProbeReset();
        g_releases = 0;
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

    // Calls the function at `index` of the route table with the entry's own method and context.
    HostResponse Call(std::uint32_t index, HostRequest request = {}) const {
        const RouteFunctionEntry& entry = record.routeTable->functions[index];
        request.method = entry.method;
        request.methodWord = entry.methodWord;
        request.url = entry.pathTemplate;
        request.dispatchContext = entry.function.dispatchContext;
        HostResponse response{};
        entry.HandleCall(&response, &request);
        return response;
    }

    PluginLoadRecord record{};
    RecordingHost host;
    const QivCProbe* probe = nullptr;
};

const HostStructureEntry& Member(const HostValue& value, const char* name) {
    static const HostStructureEntry kMissing{};
    for (std::uint32_t i = 0; i < value.structure.count; ++i) {
        if (std::strcmp(value.structure.entries[i].name, name) == 0) return value.structure.entries[i];
    }
    ADD_FAILURE() << "no member " << name;
    return kMissing;
}

TEST_F(CProbeHost, LoadThenInitializeReachEveryHostSlotWithItsArguments) {
    EXPECT_EQ(Copy(record.apiMajor), 18u) << "the plug-in answers with its own version";
    EXPECT_EQ(Copy(record.apiMinor), 0u);
    EXPECT_EQ(Copy(record.apiPatch), 0u);
    EXPECT_STREQ(record.shortName, "c-probe");
    EXPECT_TRUE(host.calls.empty()) << "no host call before Initialize";

    ASSERT_EQ(record.callbacks->Initialize(record.pluginContext, &host.context), 1);
    const std::vector<std::string> expected = {
        "SubscribeEvent OnProbeEvent " + kHandle + " 0",
        "ScheduleTimer probe-timer 0.250000 0",
        "BeginWait Wait: yield 0",
        "RunPending",
        "EndWait",
        "PerformRequest 2 /c-probe/ping " + kHandle,
        "WriteLog 2 c probe started",
    };
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(host.eventContext, Copy(record.pluginContext));
    EXPECT_EQ(probe->waitToken, kWaitToken);

    ASSERT_EQ(host.parameters.size(), 2u);
    EXPECT_EQ(Copy(host.parameters[0].name), nullptr);
    EXPECT_EQ(Copy(host.parameters[0].value.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_SIGNED));
    EXPECT_EQ(Copy(host.parameters[0].value.signedValue), -42);
    EXPECT_STREQ(host.parameters[1].name, "flag");
    EXPECT_EQ(Copy(host.parameters[1].value.boolean), 1u);
    EXPECT_EQ(probe->pingStatus, 200);
    EXPECT_STREQ(probe->pingBody, "pong");
    EXPECT_EQ(g_releases, 1) << "the response is released exactly once";
}

TEST_F(CProbeHost, DeliveredEventsAndTimersReachThePluginUntilShutdown) {
    Initialize();
    HostStructureEntry entries[3] = {};
    entries[0].name = "count";
    entries[0].value.kind = QIV_HOST_VALUE_SIGNED;
    entries[0].value.signedValue = 5;
    entries[1].name = "label";
    entries[1].value.kind = QIV_HOST_VALUE_STRING;
    entries[1].value.string = {"x", 1};
    entries[2] = entries[0];
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

    host.calls.clear();
    record.callbacks->Shutdown(record.pluginContext);
    EXPECT_EQ(host.calls, std::vector<std::string>{"UnsubscribeEvent OnProbeEvent " + kHandle});
    EXPECT_EQ(probe->stopped, 1u);
}

TEST_F(CProbeHost, HandleCallAnswersThroughTheResponseRecordAndItsRelease) {
    Initialize();
    const HostRequestHeader headers[2] = {{"accept", "*/*"}, {"x-trace", "abc"}};
    HostRequest request{};
    request.headers = headers;
    request.headerCount = 2;
    request.body = "hello";
    request.bodyLength = 5;
    HostResponse response = Call(0, request);

    EXPECT_EQ(Copy(response.errorText), nullptr);
    EXPECT_EQ(Copy(response.status), 200);
    EXPECT_STREQ(response.resultText, "");
    ASSERT_EQ(Copy(response.headerCount), 1u);
    EXPECT_STREQ(response.headers[0].name, "x-probe");
    ASSERT_EQ(Copy(response.body.structure.count), 4u);
    EXPECT_EQ(Copy(Member(response.body, "method").value.unsignedValue), static_cast<std::uint64_t>(QIV_HTTP_GET));
    EXPECT_STREQ(Member(response.body, "url").value.string.text, "/c-probe/items/{id}");
    EXPECT_STREQ(Member(response.body, "trace").value.string.text, "abc");
    const HostValueBlob& body = Member(response.body, "body").value.blob;
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

TEST_F(CProbeHost, StreamedAnswerIsReadChunkByChunkAndClosed) {
    HostResponse response = Call(1);
    ASSERT_NE(Copy(response.readChunk), nullptr);
    EXPECT_EQ(Copy(response.status), 201);

    std::string text;
    std::uint8_t more = 1;
    char buffer[5];
    std::uint32_t length = sizeof buffer;
    for (int reads = 0; more != 0; ++reads, length = sizeof buffer) {
        ASSERT_LT(reads, 5) << text;
        ASSERT_EQ(response.readChunk(response.streamContext, buffer, &length, &more), 1);
        ASSERT_LE(length, sizeof buffer);
        text.append(buffer, length);
    }
    EXPECT_EQ(text, "streamed by the c probe");
    EXPECT_EQ(Copy(response.sizeHint), text.size());
    response.closeStream(response.streamContext);
    EXPECT_EQ(response.readChunk(response.streamContext, buffer, &length, &more), 0) << "closed stream reads fail";
}

}  // namespace
