// The development host: a stand-in for the client's plug-in manager and the client's
// other components. It loads a plug-in library by path, calls its export, implements the
// ten host-core slots, simulates the components the plug-in talks to (resources, service
// proxy with a scriptable honor server, Vyre, pre-end-of-game, telemetry), calls the
// plug-in's REST routes, and records the whole conversation in a transcript. It knows
// the plug-in only through the ABI header.
//
// Delivery model. Every event reaches subscribers through the pending queue, never
// inside the call that raised it: an event the plug-in dispatches (DispatchEvent), a
// resource change made here, a service-proxy reply, a Vyre message. So the plug-in is
// never re-entered inside its own DispatchEvent or PerformRequest. Events and timers run
// on host turns:
// - RunPending (the plug-in, while it waits): one turn. When nothing is due, the host
//   clock first jumps to the earliest pending item, so a wait never spins on a delay.
// - Pump / RunUntilIdle / AdvanceClock (tests, scenarios, qiv-host): turns outside any
//   wait; the clock moves only through AdvanceClock.
// A turn runs every item that was due when it started; what the deliveries raise waits
// for the next turn. Subscribers are looked up when an event is delivered. An event the
// plug-in dispatched reaches every subscriber of its name; an event the host raises
// reaches only subscriptions with the flag of its kind (1 for "OnServiceProxy..." and
// "OnVyreEvent_..." events, 0 for "OnJsonApiEvent..." ones); a skipped subscription is
// noted in the transcript ("== Skipped").
//
// A wait that can never end (no pending item will ever become due) is a plug-in that
// would hang the client: after maxIdleWaitTurns such turns the host reports it on the
// standard error stream and aborts, rather than spin forever.
//
// Threading: the host is single-threaded; the plug-in must call it on the thread that
// called into the plug-in.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "components/client_components.h"
#include "components/client_resource_uris.h"
#include "components/messaging_service.h"
#include "components/resource_change.h"
#include "core/event_bus.h"
#include "core/host_event_sink.h"
#include "core/pending_queue.h"
#include "core/plugin_library.h"
#include "core/plugin_routes.h"
#include "core/response_ledger.h"
#include "core/route_caller.h"
#include "core/transcript.h"
#include "core/wait_tracker.h"
#include "qiv/plugin_abi.h"

namespace qivhost {

struct HostVersion {
    std::uint32_t major = 18;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
};

// Parses "major.minor.patch"; false on anything else.
bool ParseHostVersion(const std::string& text, HostVersion& out);
std::string ToString(const HostVersion& version);

// An event the plug-in dispatched, its payload as JSON.
struct DispatchedEvent {
    std::string name;
    std::string payloadJson;
};

// A timer the plug-in scheduled, as it asked for it. The host drops queued timers at
// Shutdown; the record stays, so a test can fire a timer by hand after the plug-in
// object is gone, as a host that cannot cancel timers would.
struct ScheduledTimer {
    std::string name;
    HostTimerCallback callback = nullptr;
    void* context = nullptr;
    double delaySeconds = 0;
};

class DevHost : public HostEventSink {
public:
    DevHost();
    ~DevHost() override;
    DevHost(const DevHost&) = delete;
    DevHost& operator=(const DevHost&) = delete;

    // ---- The plug-in's life ----
    // Loads the library and calls its export with `version`; reads the route table. False
    // (with Error()) when the library or its export cannot be found or one is loaded.
    bool Load(const std::string& libraryPath, const HostVersion& version);
    // Initialize with this host's context; returns the plug-in's answer.
    bool Initialize(std::uint32_t clientHandle = 0x51);
    PluginMemoryStatistics GetMemoryStatistics() const;
    // Shutdown; the plug-in object is gone afterwards, and with it every queued delivery,
    // timer and subscription. Safe to call twice.
    void Shutdown();

    const PluginLoadRecord& LoadRecord() const { return record_; }
    // The host-core calls the plug-in made, in order.
    const std::vector<HostCall>& Calls() const { return transcript_.CoreCalls(); }
    // Everything, both directions.
    const Transcript& History() const { return transcript_; }
    const std::string& Error() const { return error_; }
    bool Loaded() const { return loaded_; }
    bool Initialized() const { return initialized_; }
    std::uint32_t ClientHandle() const { return context_.clientHandle; }

    // Called for every WriteLog line as it arrives (in addition to recording it).
    std::function<void(std::int32_t level, const std::string& message)> onLog;
    std::uint64_t maxIdleWaitTurns = 1000000;

    // ---- Events, turns and the clock ----
    // Raises an event of the host (delivered by flag, see above).
    void Publish(std::string name, OwnedHostValue payload, double delaySeconds = 0,
                 std::uint64_t delayTurns = 0) override;
    // Publishes a JSON payload; false (with *error) when the text is not JSON.
    bool PublishJson(const std::string& name, const std::string& json, std::string* error = nullptr);
    std::size_t Pump();
    // Turns until nothing is due (at most maxTurns); returns the items run.
    std::size_t RunUntilIdle(std::size_t maxTurns = 10000);
    // Moves the clock, then RunUntilIdle.
    std::size_t AdvanceClock(double seconds);
    double Now() const { return queue_.Now(); }
    const PendingQueue& Pending() const { return queue_; }
    const EventBus& Subscriptions() const { return bus_; }
    const WaitTracker& Waits() const { return waits_; }
    const std::vector<DispatchedEvent>& Dispatched() const { return dispatched_; }
    // Every ScheduleTimer call, in order, fired or not.
    const std::vector<ScheduledTimer>& ScheduledTimers() const { return scheduledTimers_; }
    std::vector<DispatchedEvent> DispatchedNamed(const std::string& name) const;

    // ---- The client's components ----
    ClientComponents& Components() { return components_; }
    const ClientComponents& Components() const { return components_; }
    // Stores the resource and announces a Create (new) or Update; false with *error when
    // the text is not JSON.
    bool SetResource(const std::string& uri, const std::string& json, std::string* error = nullptr);
    void SetResourceValue(const std::string& uri, const OwnedHostValue& value);
    // Removes the resource and announces a Delete; false when there was none (nothing is
    // announced then).
    bool DeleteResource(const std::string& uri);
    // A messaging-service resource whose envelope carries `recordJson` as its payload.
    bool SetMessagingMessage(const std::string& uri, const std::string& recordJson, std::string* error = nullptr,
                             const VmsEnvelope& envelope = VmsEnvelope{});
    void SetCurrentSequenceEvent(const std::string& name, std::int32_t priority);
    bool PushVyreMessage(const std::string& typeName, const std::string& bodyJson, std::string* error = nullptr,
                         const std::string& clientId = "", const std::string& subtopic = "");

    // ---- The plug-in's REST API ----
    const std::vector<RouteInfo>& Routes() const { return routes_; }
    RestAnswer Call(const RestCall& call);
    RestAnswer Call(const std::string& method, const std::string& url, std::optional<std::string> body = std::nullopt,
                    const std::string& contentType = "application/json");
    const ResponseLedger& Responses() const { return ledger_; }

private:
    struct CoreBlock {
        HostCore core;  // first member: the plug-in hands back &core, which is &block
        DevHost* owner;
    };
    static DevHost& Owner(const HostCore* self);
    void Record(std::string slot, std::string detail);
    void Enqueue(std::string name, OwnedHostValue payload, double delaySeconds, std::uint64_t delayTurns, bool byFlag);
    void Deliver(const std::string& name, const OwnedHostValue& payload, bool byFlag);
    void GuardIdleWait();

    static void QIV_CALL PerformRequestSlot(const HostCore* self, HostResponse* response, const HostRequest* request);
    static void QIV_CALL Reserved1Slot(const HostCore* self, std::uint32_t first, std::uint32_t second);
    static void QIV_CALL DispatchEventSlot(const HostCore* self, const HostEvent* event);
    static void QIV_CALL SubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle,
                                            HostEventCallback callback, void* context, std::uint32_t flag);
    static void QIV_CALL UnsubscribeEventSlot(const HostCore* self, const char* name, std::uint32_t clientHandle);
    static void QIV_CALL ScheduleTimerSlot(const HostCore* self, const char* name, HostTimerCallback callback,
                                           void* context, double delaySeconds, std::uint32_t zero);
    static void QIV_CALL RunPendingSlot(const HostCore* self);
    static void QIV_CALL BeginWaitSlot(const HostCore* self, const char* label, std::uint32_t zero);
    static std::uint64_t QIV_CALL EndWaitSlot(const HostCore* self);
    static void QIV_CALL WriteLogSlot(const HostCore* self, std::int32_t level, const char* message);

    PluginLibrary library_;
    PluginLoadRecord record_{};
    CoreBlock block_{};
    HostContext context_{};
    Transcript transcript_;
    EventBus bus_;
    PendingQueue queue_;
    WaitTracker waits_;
    ClientComponents components_;
    ResponseLedger ledger_;
    std::vector<RouteInfo> routes_;
    std::vector<DispatchedEvent> dispatched_;
    std::vector<ScheduledTimer> scheduledTimers_;
    std::string error_;
    std::uint64_t idleWaitTurns_ = 0;
    bool loaded_ = false;
    bool initialized_ = false;
};

}  // namespace qivhost
