#include "runtime/resource_events.h"

#include <cstring>

#include "binding/host_value.h"
#include "codec/json_writer.h"
#include "runtime/app_module.h"
#include "runtime/host_boundary.h"

namespace vclient {

void ResourceEvents::Subscribe(const std::string& uri) {
    const std::string name = EventNameForUri(uri);
    if (++subscriptionCounts_[name] != 1) return;
    QIV_LOG_TRACE("%s: Subscribing to event: %s", ModuleName().c_str(), name.c_str());
    eventHandlers_[name] = EventTarget{true, nullptr};
    module_.SubscribeEvent(name.c_str(), module_.ClientHandle(), &ResourceEvents::ResourceEventCallback, &module_, 0);
}

void ResourceEvents::Unsubscribe(const std::string& uri) {
    const std::string name = EventNameForUri(uri);
    const auto found = subscriptionCounts_.find(name);
    if (found == subscriptionCounts_.end() || found->second == 0) return;  // never subscribed
    if (--found->second != 0) return;
    module_.UnsubscribeEvent(name.c_str(), module_.ClientHandle());
    eventHandlers_.erase(name);
    QIV_LOG_TRACE("%s: Unsubscribing to event: %s", ModuleName().c_str(), name.c_str());
}

void ResourceEvents::Listen(const std::string& name, std::uint32_t flag, EventHandler handler) {
    eventHandlers_[name] = EventTarget{false, std::move(handler)};
    module_.SubscribeEvent(name.c_str(), module_.ClientHandle(), &ResourceEvents::ResourceEventCallback, &module_,
                           flag);
}

void ResourceEvents::UnsubscribeAll() {
    for (const auto& [name, handler] : eventHandlers_) module_.UnsubscribeEvent(name.c_str(), module_.ClientHandle());
    eventHandlers_.clear();
    exactHandlers_.clear();
    patternHandlers_.clear();
}

void QIV_CALL ResourceEvents::ResourceEventCallback(const HostEvent* event) {
    if (event == nullptr) return;
    const HostEvent delivered = *event;
    if (delivered.context == nullptr || delivered.name == nullptr) return;
    static_cast<AppModule*>(delivered.context)->resourceEvents_.Deliver(delivered);
}

void ResourceEvents::Deliver(const HostEvent& event) {
    const auto target = eventHandlers_.find(event.name);
    if (target == eventHandlers_.end()) return;
    if (target->second.resource) {
        DeliverResource(event);
        return;
    }
    BindingResult result;
    BindingProperty payload;
    if (!HostValueToBinding(result, payload, event.payload, "<result>")) {
        QIV_LOG_TRACE("%s: Couldn't convert payload %s for event %s: %s", ModuleName().c_str(), "<host value>", event.name,
                      result.ErrorMessage().c_str());
        return;
    }
    // The handler may replace itself (a nested subscription); run a copy.
    const EventHandler run = target->second.handler;
    ContainAtBoundary(event.name, [&] { run(payload); });
}

// The payload is a resource event record. Its data, the bulk of it, is read straight into
// the event's own tree rather than into the payload's tree and then copied out: the rest
// of the record (the entries other than "data") is read and converted as before, and the
// last "data" entry, as Field would keep it, becomes the event's data.
void ResourceEvents::DeliverResource(const HostEvent& event) {
    const HostValue& payload = event.payload;
    std::vector<HostStructureEntry> envelopeEntries;
    const HostValue* data = nullptr;
    HostValue envelope = payload;
    if (payload.kind == QIV_HOST_VALUE_STRUCTURE && payload.structure.entries != nullptr &&
        static_cast<std::int32_t>(payload.structure.count) > 0) {
        envelopeEntries.reserve(payload.structure.count);
        for (std::uint32_t index = 0; index < payload.structure.count; ++index) {
            const HostStructureEntry& entry = payload.structure.entries[index];
            if (entry.name != nullptr && std::strcmp(entry.name, "data") == 0) {
                data = &entry.value;
            } else {
                envelopeEntries.push_back(entry);
            }
        }
        envelope.structure.entries = envelopeEntries.empty() ? nullptr : envelopeEntries.data();
        envelope.structure.count = static_cast<std::uint32_t>(envelopeEntries.size());
    }
    BindingResult result;
    BindingProperty record;
    PluginResourceEvent resourceEvent;
    if (!HostValueToBinding(result, record, envelope, "<result>") ||
        (data != nullptr && !HostValueToBinding(result, resourceEvent.data, *data, "<result>", 1))) {
        QIV_LOG_TRACE("%s: Couldn't convert payload %s for event %s: %s", ModuleName().c_str(), "<host value>", event.name,
                      result.ErrorMessage().c_str());
        return;
    }
    ContainAtBoundary(event.name, [&] {
        BindingProperty eventData = std::move(resourceEvent.data);
        FromBinding(result, record, resourceEvent, "<result>", Types());
        if (!result.Succeeded()) {
            QIV_LOG_TRACE("%s: Couldn't convert payload %s for event %s: %s", ModuleName().c_str(),
                          BindingToJson(record, &Types(), nullptr).c_str(), event.name, result.ErrorMessage().c_str());
            return;
        }
        resourceEvent.data = std::move(eventData);
        QIV_LOG_TRACE("%s: Handling event %s", ModuleName().c_str(), event.name);
        Dispatch(resourceEvent);
    });
}

void ResourceEvents::Dispatch(const PluginResourceEvent& event) {
    if (event.uri.empty() || event.uri.front() != '/') {
        PluginResourceEvent rooted = event;
        rooted.uri.insert(rooted.uri.begin(), '/');
        Dispatch(rooted);
        return;
    }
    const auto exact = exactHandlers_.find(event.uri);
    if (exact != exactHandlers_.end()) {
        const Handler run = exact->second;
        run(event);
    }
    // Handlers may register further handlers while they run: walk a snapshot.
    const std::vector<std::pair<std::string, Handler>> patterns = patternHandlers_;
    for (const auto& [pattern, handler] : patterns) {
        if (UriMatchesPattern(pattern, event.uri)) handler(event);
    }
}

void ResourceEvents::ObserveWith(const std::string& uri, Handler handler) {
    RegisterHandler(uri, handler);
    module_.Subscribe(uri);
    if (uri.find('*') == std::string::npos) ReadInitialResource(uri, handler);
}

void ResourceEvents::RegisterHandler(const std::string& uri, Handler handler) {
    if (uri.find('*') == std::string::npos) {
        exactHandlers_[uri] = std::move(handler);
        return;
    }
    for (auto& [pattern, existing] : patternHandlers_) {
        if (pattern == uri) {
            existing = std::move(handler);
            return;
        }
    }
    patternHandlers_.emplace_back(uri, std::move(handler));
}

void ResourceEvents::ReadInitialResource(const std::string& uri, const Handler& handler) {
    MaybeType<Failure, BindingProperty> read = module_.Request<BindingProperty>(HttpMethod::Get, uri);
    if (!read.Succeeded()) return;
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Create;
    event.data = std::move(read.Value());
    handler(event);
}

void ResourceEvents::Delete(const std::string& uri) {
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Delete;
    (void)Send("OnJsonApiEvent", event);
}

MaybeType<Failure, void> ResourceEvents::Send(const std::string& name, const PluginResourceEvent& event) {
    BindingResult converted;
    ToBinding(converted, event, Types());
    if (!converted.Succeeded()) return Failure(0, converted.ErrorMessage());
    HostValue payload{};
    if (!BindingToHostValue(payload, converted.Value(), &Types())) {
        HostValueClear(payload);
        return Failure(0, "Couldn't convert the event for the host");
    }
    const std::string uriName = EventNameForUri(event.uri);
    QIV_LOG_TRACE("%s: Sending event: %s", ModuleName().c_str(), uriName.c_str());
    HostEvent hostEvent{};
    hostEvent.name = uriName.c_str();
    hostEvent.payload = payload;
    module_.DispatchEvent(&hostEvent);
    if (name != uriName) {
        hostEvent.name = name.c_str();
        module_.DispatchEvent(&hostEvent);
    }
    HostValueClear(payload);
    return {};
}

}  // namespace vclient
