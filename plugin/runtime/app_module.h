// The module base of a plug-in object: the forwarders to the host core, and everything
// the runtime does through them:
//   - outgoing REST requests (Request), typed results and failures;
//   - resource events: observing other plug-ins' resources (ObserveResource) and
//     publishing our own (PublishResource, PublishUpdate, DeleteResource, SendEvent);
//   - service-proxy calls (CallServiceProxy) and Vyre calls (InvokeVyre, SubscribeVyre);
//   - cooperative waiting (Await, Yield) and one-shot timers (ScheduleCallback).
// The host core is only ever called through the forwarders, so a test can stand in for
// the host by overriding them.
//
// Threading: the host decides on which threads it calls in. Await and Yield hand the
// thread back to the host through RunPending, during which other handlers of this module
// may run nested; the module holds none of its own locks while it waits. The event tables
// are used only from the threads on which the host calls the plug-in; the service-proxy
// tables have their own lock.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "value/binding_result.h"
#include "binding/conversion.h"
#include "binding/host_value.h"
#include "binding/static_type.h"
#include "binding/type_registry.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "log/log.h"
#include "qiv/plugin_abi.h"
#include "router/http_method.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "runtime/plugin_resource_event.h"
#include "runtime/request_parameters.h"
#include "runtime/runtime_records.h"

namespace vclient {

// Now on the monotonic high-resolution clock, in nanoseconds: the time base of
// ScheduleCallback deadlines.
[[nodiscard]] std::int64_t MonotonicNanoseconds();

class AppModule {
public:
    AppModule() = default;
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;
    // Forgets the module's pending timers: a timer that the host fires later finds
    // nothing and runs nothing.
    virtual ~AppModule();

    // Reference-counted subscription of the host event name of a resource URI; the host
    // subscription is made on the first and withdrawn at the last.
    virtual void Subscribe(const std::string& uri);
    virtual void Unsubscribe(const std::string& uri);

    // Unsubscribes every event name that has a handler and empties the handler tables.
    // Called once by Shutdown, right before the object is destroyed.
    virtual void UnsubscribeAll();

    // One forwarder per host core slot 0 to 8, in slot order. Slot 9 (WriteLog) is
    // reached only through the plug-in's log target.
    virtual void PerformRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void Reserved1(std::uint32_t first, std::uint32_t second) = 0;
    virtual void DispatchEvent(const HostEvent* event) = 0;
    virtual void SubscribeEvent(const char* name, std::uint32_t clientHandle, HostEventCallback callback,
                                void* context, std::uint32_t flag) = 0;
    virtual void UnsubscribeEvent(const char* name, std::uint32_t clientHandle) = 0;
    virtual void ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delaySeconds,
                               std::uint32_t zero) = 0;
    virtual void RunPending() = 0;
    virtual void BeginWait(const char* label, std::uint32_t zero) = 0;
    virtual std::uint64_t EndWait() = 0;

    // The registry whose records the module's conversions use.
    [[nodiscard]] virtual const TypeRegistry& Types() const = 0;
    // The plug-in's short name, the first word of the runtime's log lines.
    [[nodiscard]] virtual const std::string& ModuleName() const = 0;

    // ---- Outgoing REST requests -------------------------------------------------------
    // Calls `url` with the arguments as positional parameters. R = void ignores any body;
    // otherwise the body (or the streamed body, read as JSON) is converted to R. Failures:
    // 400 when the arguments do not convert (nothing sent), the status of an error
    // response, 0 when the response cannot be read or converted.
    template <class R = void, class... A>
    MaybeType<Failure, R> Request(HttpMethod method, std::string_view url, const A&... arguments);

    // ---- Resource events --------------------------------------------------------------
    // Calls `handler` for every change of `uri` (a "*" in it stands for one segment). For
    // a URI without "*", the resource is read at once and a successful read is handed to
    // the handler as a Create event.
    template <class T>
    void ObserveResource(const std::string& uri, std::function<void(const ResourceEvent<T>&)> handler);
    // Announces a Create (PublishResource) or Update (PublishUpdate) of `uri` with `value`
    // as its data; nothing is sent when `value` does not convert.
    template <class T>
    void PublishResource(const std::string& uri, const T& value);
    template <class T>
    void PublishUpdate(const std::string& uri, const T& value);
    // Announces a Delete of `uri` with no data.
    void DeleteResource(const std::string& uri);
    // Dispatches `event` under the event name of its URI, then under `name` when that
    // differs.
    MaybeType<Failure, void> SendEvent(const std::string& name, const PluginResourceEvent& event);

    // ---- Service proxy and Vyre -------------------------------------------------------
    template <class Resp, class Req>
    std::future<MaybeType<Failure, Resp>> CallServiceProxy(const std::string& service, const std::string& method,
                                                           const Req& request);
    // Starts a request; the empty text when it was started, else why not. `completion`
    // receives the reply.
    template <class Req>
    std::string StartServiceProxyRequest(const std::string& service, const std::string& method, const Req& request,
                                         const std::string& methodOption, const std::string& secondOption,
                                         std::function<void(const PluginServiceProxyResponse&)> completion);
    // Invokes `method` of `destination` on the Vyre connection with the arguments (a
    // Collection of them, structures of registered Vyre types carrying "__class").
    template <class... A>
    std::future<MaybeType<Failure, void>> InvokeVyre(const std::string& destination, const std::string& method,
                                                     const A&... arguments);
    // Calls `handler` on a later host turn for each Vyre message of `typeName`.
    template <class T>
    void SubscribeVyre(const std::string& typeName, std::function<void(const T&)> handler);
    // Enters the Vyre class name of a registered record: its values carry "__class".
    void SetVyreClassName(std::uint32_t typeKey, std::string className);

    // ---- Waiting and timers -----------------------------------------------------------
    // Waits for the future by giving the host turns: a zero-timeout poll, then one
    // RunPending, until it is ready. Opens one wait (BeginWait "Wait: future<...>" ...
    // EndWait) only when the first poll finds it not ready. A broken promise or a future
    // without state is fatal ("ALE-6D828C10").
    template <class T>
    MaybeType<Failure, T> Await(std::future<MaybeType<Failure, T>> future);
    // Gives the host one turn; returns what EndWait returned.
    std::uint64_t Yield();
    // Runs `function` once on a later host turn, at or after `deadline`
    // (MonotonicNanoseconds). `name` labels the timer for the host. Returns the timer id
    // (1 for the first timer of a module).
    std::uint64_t ScheduleCallback(const std::string& name, std::function<void()> function, std::int64_t deadline);
    // The number of timers scheduled and not yet fired.
    [[nodiscard]] std::size_t PendingTimerCount() const;

protected:
    // Set by the plug-in object when the host attaches it and when it stops.
    std::uint32_t clientHandle_ = 0;
    std::uint8_t stopping_ = 0;

    // The built-in service-proxy reply events, subscribed with flag 1 at Initialize.
    void SubscribeServiceProxyEvents();

private:
    using RawHandler = std::function<void(const PluginResourceEvent&)>;
    using EventHandler = std::function<void(const BindingProperty& payload)>;

    struct TimerEntry {
        AppModule* owner;
        std::uint64_t id;
        std::function<void()> function;
        std::uintptr_t ticket;
    };

    // Requests.
    MaybeType<Failure, void> SendRequest(HttpMethod method, std::string_view url, RequestParameters& parameters,
                                         BindingProperty* body);
    bool ReadStream(const HostResponse& response, std::string& text);
    template <class A>
    void AddParameter(BindingResult& result, RequestParameters& parameters, const A& argument);

    // Resource events.
    static void QIV_CALL ResourceEventCallback(const HostEvent* event);
    void DispatchResource(const PluginResourceEvent& event);
    void RegisterResourceHandler(const std::string& uri, RawHandler handler);
    void ReadInitialResource(const std::string& uri, const RawHandler& handler);
    void SubscribeWithHandler(const std::string& name, std::uint32_t flag, EventHandler handler);
    template <class T>
    void PublishEvent(const std::string& uri, PluginResourceEventType type, const T& value);

    // Service proxy.
    std::string StartPreparedRequest(const std::string& service, const std::string& method, const std::string& payload,
                                     const std::string& methodOption, const std::string& secondOption,
                                     std::function<void(const PluginServiceProxyResponse&)> completion);
    void FulfillPendingRequests();
    void OnServiceProxyReply(const std::string& key, const PluginServiceProxyResponse& reply);
    void OnServiceProxyAsync(const PluginServiceProxyResponse& reply);
    std::future<MaybeType<Failure, void>> InvokeVyreWith(const std::string& destination, const std::string& method,
                                                         BindingResult& arguments);
    void AnnotateVyreClasses(BindingProperty& value, const TypeRecord* type) const;
    void DispatchVyre(const BindingProperty& payload);

    // Waiting and timers.
    static void QIV_CALL TimerFired(void* context);
    [[noreturn]] static void RaiseBrokenFuture(const std::future_error& error);
    class WaitTurns {
    public:
        WaitTurns(AppModule& module, std::string_view typeName) : module_(module), typeName_(typeName) {}
        ~WaitTurns();
        void NotReady();

    private:
        AppModule& module_;
        std::string_view typeName_;
        bool opened_ = false;
    };

    // Event tables, used only on the threads on which the host calls in.
    std::map<std::string, RawHandler> exactHandlers_;
    std::vector<std::pair<std::string, RawHandler>> patternHandlers_;
    std::map<std::string, EventHandler> eventHandlers_;
    std::unordered_map<std::string, std::uint32_t> subscriptionCounts_;

    // Service-proxy tables, under their lock.
    std::mutex serviceProxyLock_;
    std::vector<std::pair<std::string, std::function<void(const PluginServiceProxyResponse&)>>> pendingRequests_;
    std::vector<std::pair<std::string, PluginServiceProxyResponse>> receivedReplies_;
    std::map<std::string, std::function<void(const PluginServiceProxyResponse&)>> asyncHandlers_;

    // Vyre tables.
    std::map<std::string, std::function<void(const BindingProperty& body)>> vyreHandlers_;
    std::unordered_map<std::uint32_t, std::string> vyreClassNames_;

    // Timers.
    mutable std::mutex timerLock_;
    std::unordered_map<std::uint64_t, TimerEntry> timers_;
    std::uint64_t nextTimerId_ = 1;
};

}  // namespace vclient

#include "runtime/app_module_templates.h"
