// A C++ host drives the miniature C plug-in through qiv/plugin_abi.h alone: loads it,
// initialises it against a recording HostCore, delivers an event and a timer, calls its
// route and shuts it down. Values cross the language boundary in both directions through
// every kind of function pointer, so a disagreement on a record or a call shows up here.
#include "qiv/plugin_abi.h"

#include "abi/abi_c_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Packed members may sit at unaligned addresses and gtest compares through references,
// so members are compared as copies.
template <typename T>
T Copy(T value) { return value; }

constexpr std::uint32_t kClientHandle = 0xC0FFEEu;
constexpr std::uint64_t kWaitToken = 0x1122334455667788ull;
int g_releases = 0;

struct RecordingHost;

// The table the plug-in receives; each slot finds its host through the owner word.
struct OwnedCore { HostCore core; RecordingHost* owner; };

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
    static std::uint64_t QIV_CALL EndWait(const HostCore* self) { Add(self, "EndWait"); return kWaitToken; }
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

    PluginLoadRecord record{};
    RecordingHost host;
    const QivCProbe* probe = nullptr;
};

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
    EXPECT_EQ(Copy(host.parameters[0].value.signedValue), -42);
    EXPECT_STREQ(host.parameters[1].name, "flag");
    EXPECT_EQ(probe->pingStatus, 200);
    EXPECT_STREQ(probe->pingBody, "pong");
    EXPECT_EQ(g_releases, 1) << "the response is released exactly once";
}

TEST_F(CProbeHost, EventsTimersAndCallsReachThePluginUntilShutdown) {
    ASSERT_EQ(record.callbacks->Initialize(record.pluginContext, &host.context), 1);
    HostEvent event{};
    event.name = "OnProbeEvent";
    event.payload.kind = QIV_HOST_VALUE_SIGNED;
    event.payload.signedValue = -5000000000;  // both words of the payload count
    event.context = host.eventContext;
    host.eventCallback(&event);
    host.eventCallback(&event);
    EXPECT_EQ(probe->countSum, -10000000000);
    ASSERT_EQ(host.dispatched.size(), 2u);
    EXPECT_STREQ(host.dispatched[1].name, "OnProbeEventSeen");
    EXPECT_EQ(Copy(host.dispatched[1].payload.unsignedValue), 2u);
    host.timerCallback(host.timerContext);
    EXPECT_EQ(probe->timersFired, 1u);

    // The route's entry, called with its own method and context; the answer echoes the call.
    const RouteFunctionEntry& entry = record.routeTable->functions[0];
    const HostRequestHeader headers[2] = {{"accept", "*/*"}, {"x-trace", "abc"}};
    const HostRequest request{entry.method, entry.pathTemplate, nullptr, 0, entry.function.dispatchContext, headers, 2,
                              nullptr, "hello", 5, kClientHandle, nullptr};
    HostResponse response{};
    entry.HandleCall(&response, &request);
    EXPECT_EQ(Copy(response.status), 200);
    ASSERT_EQ(Copy(response.headerCount), 1u);
    EXPECT_STREQ(response.headers[0].name, "x-probe");
    ASSERT_EQ(Copy(response.body.structure.count), 4u);  // method, url, trace and body, in that order
    const HostStructureEntry* entries = response.body.structure.entries;
    EXPECT_EQ(Copy(entries[0].value.unsignedValue), static_cast<std::uint64_t>(QIV_HTTP_GET));
    EXPECT_STREQ(entries[2].value.string.text, "abc");
    const HostValueBlob body = entries[3].value.blob;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body.bytes), body.size), "hello");
    response.release(&response);
    EXPECT_EQ(Copy(response.body.kind), static_cast<std::uint32_t>(QIV_HOST_VALUE_EMPTY));
    PluginMemoryStatistics statistics{};
    statistics.reserved = 77;
    record.callbacks->GetMemoryStatistics(record.pluginContext, &statistics);
    EXPECT_EQ(Copy(statistics.allocationCount), 1u);
    EXPECT_EQ(Copy(statistics.freeCount), 1u);
    EXPECT_EQ(Copy(statistics.reserved), 0u);

    host.calls.clear();
    record.callbacks->Shutdown(record.pluginContext);
    EXPECT_EQ(host.calls, std::vector<std::string>{"UnsubscribeEvent OnProbeEvent " + kHandle});
    EXPECT_EQ(probe->stopped, 1u);
}

}  // namespace
