// ServiceProxyCalls: calls to the game's back-end services through the login plug-in's
// service proxy. A request carries its payload as JSON text; the reply arrives later as
// one of the built-in events and is matched to its request by key: the uuid the login
// plug-in returned (uuid-based requests) or "service.method" (method-based requests, of
// which only one per key may be in flight). A reply may arrive before its request is
// stored; it then waits until the request is.
//
//   std::future<MaybeType<Failure, Profile>> reply =
//       calls.Call<Profile>("honor.server", "retrieveProfile", BindingProperty());
//
// Threading: one lock, the service-proxy lock, guards the three tables. Completions and
// async handlers run while it is held and must not take it again: a completion only sets
// its promise. The lock is never held while a request goes to the host.
#pragma once

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "binding/conversion.h"
#include "binding/static_type.h"
#include "runtime/module_part.h"
#include "runtime/runtime_records.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "value/binding_property.h"
#include "value/binding_result.h"

namespace vclient {

class ResourceEvents;

class ServiceProxyCalls : ModulePart {
public:
    using Completion = std::function<void(const PluginServiceProxyResponse&)>;

    // The built-in reply events are subscribed through `events`.
    ServiceProxyCalls(AppModule& module, ResourceEvents& events) : ModulePart(module), events_(events) {}

    // Calls `method` of `service` with `request`; the future holds the reply converted to
    // Resp, or why the call failed to start or the reply is unusable.
    template <class Resp, class Req>
    std::future<MaybeType<Failure, Resp>> Call(const std::string& service, const std::string& method,
                                               const Req& request);
    // Starts a request; the empty text when it was started, else why not ("Finalizing"
    // while the module stops, "Request already in flight", a conversion or REST failure).
    // A non-empty `methodOption` makes it method-based. `completion` receives the reply.
    template <class Req>
    std::string Start(const std::string& service, const std::string& method, const Req& request,
                      const std::string& methodOption, const std::string& secondOption, Completion completion);
    // Subscribes the three built-in reply events (flag 1); done once, at Initialize.
    void SubscribeReplyEvents();
    // Forgets every pending request, unmatched reply and async handler.
    void Clear();

private:
    // Start, once the request is converted: writes the payload and sends it.
    std::string StartConverted(const std::string& service, const std::string& method, const BindingProperty& request,
                               const std::string& methodOption, const std::string& secondOption,
                               Completion completion);
    // The POST to the login plug-in; the key of the request (the returned uuid, or `name`
    // for a method-based request), or why it was not sent.
    MaybeType<Failure, std::string> SendToProxy(const std::string& name, const std::string& service,
                                                const std::string& method,
                                                const std::string& payload, const std::string& methodOption,
                                                const std::string& secondOption);
    bool InFlight(const std::string& key);
    void FulfillPendingRequests();
    void OnReply(const std::string& key, const PluginServiceProxyResponse& reply);
    void OnAsyncReply(const PluginServiceProxyResponse& reply);
    [[nodiscard]] bool Stopping() const;
    // The reply's payload read as JSON.
    [[nodiscard]] static BindingResult ReadPayload(const PluginServiceProxyResponse& reply);

    ResourceEvents& events_;
    std::mutex lock_;
    std::vector<std::pair<std::string, Completion>> pendingRequests_;
    std::vector<std::pair<std::string, PluginServiceProxyResponse>> receivedReplies_;
    std::map<std::string, Completion> asyncHandlers_;
};

template <class Req>
std::string ServiceProxyCalls::Start(const std::string& service, const std::string& method, const Req& request,
                                     const std::string& methodOption, const std::string& secondOption,
                                     Completion completion) {
    if (Stopping()) return "Finalizing";
    BindingResult converted;
    ToBinding(converted, request, Types());
    if (!converted.Succeeded()) {
        return Failure::Named(0, "Failed to convert type {type} to BindingProperty for serialization",
                              StaticType::Name<Req>())
            .message;
    }
    return StartConverted(service, method, converted.Value(), methodOption, secondOption, std::move(completion));
}

template <class Resp, class Req>
std::future<MaybeType<Failure, Resp>> ServiceProxyCalls::Call(const std::string& service, const std::string& method,
                                                              const Req& request) {
    auto promise = std::make_shared<std::promise<MaybeType<Failure, Resp>>>();
    std::future<MaybeType<Failure, Resp>> future = promise->get_future();
    auto completion = [this, promise](const PluginServiceProxyResponse& reply) {
        if (!reply.error.empty()) {
            promise->set_value(Failure(0, reply.error));
            return;
        }
        BindingResult parsed = ReadPayload(reply);
        Resp value{};
        if (parsed.Succeeded()) {
            BindingResult converted;
            FromBinding(converted, parsed.Value(), value, "<value>", Types());
            if (converted.Succeeded()) {
                promise->set_value(MaybeType<Failure, Resp>(std::move(value)));
                return;
            }
        }
        promise->set_value(Failure::Named(0, "Failed to deserialize response payload \"{payload}\" to a {type}",
                                          reply.payload, StaticType::Name<Resp>()));
    };
    const std::string refused = Start(service, method, request, "", "", completion);
    if (!refused.empty()) promise->set_value(Failure(0, refused));
    return future;
}

}  // namespace vclient
