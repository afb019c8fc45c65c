// The module base of a plug-in object: the forwarders to the host core, and the runtime's
// work through them, one part per concern:
//   - OutgoingRequests: REST requests (Request), typed results and failures;
//   - ResourceEvents: observing other plug-ins' resources (ObserveResource) and
//     publishing our own (PublishResource, PublishUpdate, DeleteResource, SendEvent);
//   - ServiceProxyCalls: service-proxy calls (CallServiceProxy, StartServiceProxyRequest);
//   - VyreChannel: Vyre calls and messages (InvokeVyre, SubscribeVyre);
//   - HostTurns: cooperative waiting (Await, Yield) and one-shot timers (ScheduleCallback).
// The members below are thin forwarders to those parts. The parts call the host core only
// through the module's forwarders, so a test can stand in for the host by overriding them.
//
// Threading: the host decides on which threads it calls in. Await and Yield hand the
// thread back to the host through RunPending, during which other handlers of this module
// may run nested; the module holds none of its own locks while it waits. The event tables
// are used only from the threads on which the host calls the plug-in; the service-proxy
// tables and the timer table have their own locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <utility>

#include "qiv/plugin_abi.h"
#include "router/http_method.h"
#include "runtime/host_turns.h"
#include "runtime/outgoing_requests.h"
#include "runtime/plugin_resource_event.h"
#include "runtime/resource_events.h"
#include "runtime/runtime_records.h"
#include "runtime/service_proxy_calls.h"
#include "runtime/vyre_channel.h"
#include "util/failure.h"
#include "util/maybe_type.h"

namespace vclient {

class TypeRegistry;

class AppModule {
public:
    AppModule() = default;
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // Reference-counted subscription of the host event name of a resource URI; the host
    // subscription is made on the first and withdrawn at the last.
    virtual void Subscribe(const std::string& uri);
    virtual void Unsubscribe(const std::string& uri);
    // Forgets the module's pending timers: a timer that the host fires later finds
    // nothing and runs nothing.
    virtual ~AppModule();
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

    // The host's name for this plug-in, passed back in every request and subscription;
    // 0 until the host attaches it.
    [[nodiscard]] std::uint32_t ClientHandle() const { return clientHandle_; }
    // True from Shutdown on: service-proxy requests no longer start.
    [[nodiscard]] bool Stopping() const { return stopping_ != 0; }

    // ---- Outgoing REST requests (OutgoingRequests) ------------------------------------
    template <class R = void, class... A>
    MaybeType<Failure, R> Request(HttpMethod method, std::string_view url, const A&... arguments) {
        return requests_.Send<R>(method, url, arguments...);
    }

    // ---- Resource events (ResourceEvents) ---------------------------------------------
    // The handler may take the event's value over (it is the handler's own copy).
    template <class T>
    void ObserveResource(const std::string& uri, std::function<void(ResourceEvent<T>&)> handler) {
        resourceEvents_.Observe<T>(uri, std::move(handler));
    }
    template <class T>
    void PublishResource(const std::string& uri, const T& value) {
        resourceEvents_.Publish(uri, PluginResourceEventType::Create, value);
    }
    template <class T>
    void PublishUpdate(const std::string& uri, const T& value) {
        resourceEvents_.Publish(uri, PluginResourceEventType::Update, value);
    }
    void DeleteResource(const std::string& uri) { resourceEvents_.Delete(uri); }
    MaybeType<Failure, void> SendEvent(const std::string& name, const PluginResourceEvent& event) {
        return resourceEvents_.Send(name, event);
    }

    // ---- Service proxy (ServiceProxyCalls) and Vyre (VyreChannel) ---------------------
    template <class Resp, class Req>
    std::future<MaybeType<Failure, Resp>> CallServiceProxy(const std::string& service, const std::string& method,
                                                           const Req& request) {
        return serviceProxy_.Call<Resp>(service, method, request);
    }
    template <class Req>
    std::string StartServiceProxyRequest(const std::string& service, const std::string& method, const Req& request,
                                         const std::string& methodOption, const std::string& secondOption,
                                         std::function<void(const PluginServiceProxyResponse&)> completion) {
        return serviceProxy_.Start(service, method, request, methodOption, secondOption, std::move(completion));
    }
    template <class... A>
    std::future<MaybeType<Failure, void>> InvokeVyre(const std::string& destination, const std::string& method,
                                                     const A&... arguments) {
        return vyre_.Invoke(destination, method, arguments...);
    }
    template <class T>
    void SubscribeVyre(const std::string& typeName, std::function<void(const T&)> handler) {
        vyre_.Subscribe<T>(typeName, std::move(handler));
    }
    void SetVyreClassName(std::uint32_t typeKey, std::string className) {
        vyre_.SetClassName(typeKey, std::move(className));
    }

    // ---- Waiting and timers (HostTurns) -----------------------------------------------
    template <class T>
    MaybeType<Failure, T> Await(std::future<MaybeType<Failure, T>> future) {
        return turns_.Await(std::move(future));
    }
    std::uint64_t Yield() { return turns_.Yield(); }
    std::uint64_t ScheduleCallback(const std::string& name, std::function<void()> function, std::int64_t deadline) {
        return turns_.ScheduleCallback(name, std::move(function), deadline);
    }
    [[nodiscard]] std::size_t PendingTimerCount() const { return turns_.PendingTimerCount(); }

protected:
    // Set by the plug-in object when the host attaches it and when it stops.
    std::uint32_t clientHandle_ = 0;
    std::uint8_t stopping_ = 0;

    // The built-in service-proxy reply events, subscribed with flag 1 at Initialize.
    void SubscribeServiceProxyEvents() { serviceProxy_.SubscribeReplyEvents(); }

private:
    // The host hands the module back with every event; the part's callback finds itself
    // through it.
    friend class ResourceEvents;

    OutgoingRequests requests_{*this};
    ResourceEvents resourceEvents_{*this};
    ServiceProxyCalls serviceProxy_{*this, resourceEvents_};
    VyreChannel vyre_{*this, resourceEvents_};
    HostTurns turns_{*this};
};

}  // namespace vclient
