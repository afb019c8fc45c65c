// Resource events: subscriptions by event name, delivery to exact and pattern handlers,
// and publishing.
#include "runtime/app_module.h"
#include "runtime/host_boundary.h"

namespace vclient {

void AppModule::Subscribe(const std::string& uri) {
    const std::string name = EventNameForUri(uri);
    if (++subscriptionCounts_[name] != 1) return;
    LogTrace("%s: Subscribing to event: %s", ModuleName().c_str(), name.c_str());
    eventHandlers_[name] = [this, name](const BindingProperty& payload) {
        BindingResult result;
        PluginResourceEvent event;
        FromBinding(result, payload, event, "<result>", Types());
        if (!result.Succeeded()) {
            LogTrace("%s: Couldn't convert payload %s for event %s: %s", ModuleName().c_str(),
                     BindingToJson(payload, &Types(), nullptr).c_str(), name.c_str(), result.ErrorMessage().c_str());
            return;
        }
        LogTrace("%s: Handling event %s", ModuleName().c_str(), name.c_str());
        DispatchResource(event);
    };
    SubscribeEvent(name.c_str(), clientHandle_, &AppModule::ResourceEventCallback, this, 0);
}

void AppModule::Unsubscribe(const std::string& uri) {
    const std::string name = EventNameForUri(uri);
    const auto found = subscriptionCounts_.find(name);
    if (found == subscriptionCounts_.end() || found->second == 0) return;  // never subscribed
    if (--found->second != 0) return;
    UnsubscribeEvent(name.c_str(), clientHandle_);
    eventHandlers_.erase(name);
    LogTrace("%s: Unsubscribing to event: %s", ModuleName().c_str(), name.c_str());
}

void AppModule::UnsubscribeAll() {
    for (const auto& [name, handler] : eventHandlers_) UnsubscribeEvent(name.c_str(), clientHandle_);
    eventHandlers_.clear();
    vyreHandlers_.clear();
    {
        std::lock_guard<std::mutex> hold(serviceProxyLock_);
        pendingRequests_.clear();
        receivedReplies_.clear();
        asyncHandlers_.clear();
    }
    exactHandlers_.clear();
    patternHandlers_.clear();
}

void QIV_CALL AppModule::ResourceEventCallback(const HostEvent* event) {
    if (event == nullptr) return;
    const HostEvent delivered = *event;
    if (delivered.context == nullptr || delivered.name == nullptr) return;
    auto* module = static_cast<AppModule*>(delivered.context);
    const auto handler = module->eventHandlers_.find(delivered.name);
    if (handler == module->eventHandlers_.end()) return;
    BindingResult result;
    BindingProperty payload;
    if (!HostValueToBinding(result, payload, delivered.payload, "<result>")) {
        LogTrace("%s: Couldn't convert payload %s for event %s: %s", module->ModuleName().c_str(), "<host value>",
                 delivered.name, result.ErrorMessage().c_str());
        return;
    }
    // The handler may replace itself (a nested subscription); run a copy.
    const EventHandler run = handler->second;
    ContainAtBoundary(delivered.name, [&] { run(payload); });
}

void AppModule::DispatchResource(const PluginResourceEvent& event) {
    if (event.uri.empty() || event.uri.front() != '/') {
        PluginResourceEvent rooted = event;
        rooted.uri.insert(rooted.uri.begin(), '/');
        DispatchResource(rooted);
        return;
    }
    const auto exact = exactHandlers_.find(event.uri);
    if (exact != exactHandlers_.end()) {
        const RawHandler run = exact->second;
        run(event);
    }
    // Handlers may register further handlers while they run: walk a snapshot.
    const std::vector<std::pair<std::string, RawHandler>> patterns = patternHandlers_;
    for (const auto& [pattern, handler] : patterns) {
        if (UriMatchesPattern(pattern, event.uri)) handler(event);
    }
}

void AppModule::RegisterResourceHandler(const std::string& uri, RawHandler handler) {
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

void AppModule::ReadInitialResource(const std::string& uri, const RawHandler& handler) {
    MaybeType<Failure, BindingProperty> read = Request<BindingProperty>(HttpMethod::Get, uri);
    if (!read.Succeeded()) return;
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Create;
    event.data = std::move(read.Value());
    handler(event);
}

void AppModule::SubscribeWithHandler(const std::string& name, std::uint32_t flag, EventHandler handler) {
    eventHandlers_[name] = std::move(handler);
    SubscribeEvent(name.c_str(), clientHandle_, &AppModule::ResourceEventCallback, this, flag);
}

void AppModule::DeleteResource(const std::string& uri) {
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Delete;
    (void)SendEvent("OnJsonApiEvent", event);
}

MaybeType<Failure, void> AppModule::SendEvent(const std::string& name, const PluginResourceEvent& event) {
    BindingResult converted;
    ToBinding(converted, event, Types());
    if (!converted.Succeeded()) return Failure(0, converted.ErrorMessage());
    HostValue payload{};
    if (!BindingToHostValue(payload, converted.Value(), &Types())) {
        HostValueClear(payload);
        return Failure(0, "Couldn't convert the event for the host");
    }
    const std::string uriName = EventNameForUri(event.uri);
    LogTrace("%s: Sending event: %s", ModuleName().c_str(), uriName.c_str());
    HostEvent hostEvent{};
    hostEvent.name = uriName.c_str();
    hostEvent.payload = payload;
    DispatchEvent(&hostEvent);
    if (name != uriName) {
        hostEvent.name = name.c_str();
        DispatchEvent(&hostEvent);
    }
    HostValueClear(payload);
    return {};
}

}  // namespace vclient
