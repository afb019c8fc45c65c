// ResourceEvents: the module's side of resource events, both ways.
//
// Incoming: the module observes resources of other plug-ins by URI. Subscriptions are
// counted per host event name (EventNameForUri): the host subscription is made on the
// first and withdrawn at the last. A delivered event goes to the handler of its event
// name; for resource events that is the dispatcher, which calls the exact handler of the
// event's URI and then every pattern handler ("*" for one segment) that matches it.
//
//   events.Observe<Session>("/qiv-gameflow/v1/session", [](const ResourceEvent<Session>& e) { ... });
//
// The event-handler table also carries the built-in service-proxy and Vyre events
// (Listen), so one host callback serves every event name the module subscribes.
//
// Outgoing: Publish and Delete announce changes of the module's own resources; each event
// is dispatched under its URI's event name and then under "OnJsonApiEvent".
//
// Threading: handlers run on the thread on which the host delivers the event, possibly
// nested inside a waiting handler. The tables are not locked: they are used only from the
// threads on which the host calls the plug-in.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qiv/plugin_abi.h"
#include "runtime/module_part.h"
#include "runtime/plugin_resource_event.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "value/binding_property.h"

namespace vclient {

class ResourceEvents : ModulePart {
public:
    using EventHandler = std::function<void(const BindingProperty& payload)>;

    explicit ResourceEvents(AppModule& module) : ModulePart(module) {}

    // Reference-counted subscription of the host event name of a resource URI.
    // Unsubscribing leaves the exact and pattern handlers in place.
    void Subscribe(const std::string& uri);
    void Unsubscribe(const std::string& uri);
    // Calls `handler` for every change of `uri` (a "*" in it stands for one segment). For
    // a URI without "*", the resource is read at once and a successful read is handed to
    // the handler as a Create event. A value that does not convert is dropped, except for
    // a Delete, which carries a default value.
    // The typed event is converted for this handler alone, which may take its value over.
    template <class T>
    void Observe(const std::string& uri, std::function<void(ResourceEvent<T>&)> handler);
    // Subscribes the host event `name` with `flag`, its payloads going to `handler`;
    // registering a name again replaces its handler.
    void Listen(const std::string& name, std::uint32_t flag, EventHandler handler);
    // Unsubscribes every event name that has a handler and empties the handler tables;
    // the counts are left as they are, the module being destroyed right after.
    void UnsubscribeAll();

    // Announces `value` as the data of a `type` event of `uri`; nothing is sent when the
    // value does not convert.
    template <class T>
    void Publish(const std::string& uri, PluginResourceEventType type, const T& value);
    // Announces a Delete of `uri` with no data.
    void Delete(const std::string& uri);
    // Dispatches `event` under the event name of its URI, then under `name` when that
    // differs. Fails, sending nothing, when the event does not convert for the host.
    MaybeType<Failure, void> Send(const std::string& name, const PluginResourceEvent& event);

private:
    using Handler = std::function<void(const PluginResourceEvent&)>;

    // The one host callback of every event name; the host hands back the module.
    static void QIV_CALL ResourceEventCallback(const HostEvent* event);
    void Deliver(const HostEvent& event);
    void Dispatch(const PluginResourceEvent& event);
    // Registers the typed wrapper, subscribes through the module (a plug-in may override
    // its Subscribe) and makes the initial read.
    void ObserveWith(const std::string& uri, Handler handler);
    void RegisterHandler(const std::string& uri, Handler handler);
    void ReadInitialResource(const std::string& uri, const Handler& handler);

    std::map<std::string, Handler> exactHandlers_;
    // In registration order: every matching pattern is called, in this order.
    std::vector<std::pair<std::string, Handler>> patternHandlers_;
    // Reads the resource event a subscribed URI's event carries and dispatches it.
    void DeliverResource(const HostEvent& event);
    // What an event name's deliveries go to: the resource dispatcher, or a listener.
    struct EventTarget {
        bool resource = false;
        EventHandler handler;  // a listener's
    };
    std::map<std::string, EventTarget> eventHandlers_;
    std::unordered_map<std::string, std::uint32_t> subscriptionCounts_;
};

}  // namespace vclient

#include "runtime/resource_events_templates.h"
