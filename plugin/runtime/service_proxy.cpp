// Service-proxy requests and their replies, and the Vyre connection.
#include "runtime/app_module.h"
#include "util/format_positional.h"

namespace vclient {

std::string AppModule::StartPreparedRequest(const std::string& service, const std::string& method,
                                            const std::string& payload, const std::string& methodOption,
                                            const std::string& secondOption,
                                            std::function<void(const PluginServiceProxyResponse&)> completion) {
    const std::string name = Format("%1.%2", service, method);
    Log(LogLevel::Always, kLogGroupDbg, "%s: Preparing service proxy request: %s", ModuleName().c_str(), name.c_str());
    std::string key;
    if (!methodOption.empty()) {
        {
            std::lock_guard<std::mutex> hold(serviceProxyLock_);
            for (const auto& [pending, unused] : pendingRequests_) {
                if (pending != name) continue;
                Log(LogLevel::Error, kLogGroupDbg, "%s: Could not invoke service proxy as request is already in flight",
                    ModuleName().c_str());
                return "Request already in flight";
            }
        }
        MaybeType<Failure, void> sent = Request(HttpMethod::Post, "/qiv-login/v1/service-proxy-method-requests",
                                                service, method, methodOption, secondOption, clientHandle_, payload);
        if (!sent.Succeeded()) return sent.GetFailure().message;
        key = name;
    } else {
        MaybeType<Failure, std::string> sent = Request<std::string>(
            HttpMethod::Post, "/qiv-login/v1/service-proxy-uuid-requests", service, method, clientHandle_, payload);
        if (!sent.Succeeded()) return sent.GetFailure().message;
        key = std::move(sent.Value());
    }
    Log(LogLevel::Always, kLogGroupDbg, "%s: Started service proxy request: %s (%s)", ModuleName().c_str(),
        name.c_str(), key.c_str());
    {
        std::lock_guard<std::mutex> hold(serviceProxyLock_);
        pendingRequests_.emplace_back(std::move(key), std::move(completion));
    }
    FulfillPendingRequests();
    return "";
}

void AppModule::FulfillPendingRequests() {
    std::lock_guard<std::mutex> hold(serviceProxyLock_);
    for (auto reply = receivedReplies_.begin(); reply != receivedReplies_.end(); ++reply) {
        for (auto pending = pendingRequests_.begin(); pending != pendingRequests_.end(); ++pending) {
            if (pending->first != reply->first) continue;
            // A completion only sets its promise; it never takes the lock again.
            pending->second(reply->second);
            Log(LogLevel::Always, kLogGroupDbg, "%s: Fulfilled service proxy request: %s", ModuleName().c_str(),
                reply->first.c_str());
            pendingRequests_.erase(pending);
            receivedReplies_.erase(reply);
            return;
        }
    }
}

void AppModule::OnServiceProxyReply(const std::string& key, const PluginServiceProxyResponse& reply) {
    {
        std::lock_guard<std::mutex> hold(serviceProxyLock_);
        receivedReplies_.emplace_back(key, reply);
    }
    FulfillPendingRequests();
}

void AppModule::OnServiceProxyAsync(const PluginServiceProxyResponse& reply) {
    const std::string key = Format("%1.%2", reply.serviceName, reply.methodName);
    std::lock_guard<std::mutex> hold(serviceProxyLock_);
    const auto handler = asyncHandlers_.find(key);
    if (handler == asyncHandlers_.end()) {
        Log(LogLevel::Error, kLogGroupDbg, "%s: Could not find registered handler for async service proxy event %s",
            ModuleName().c_str(), key.c_str());
        return;
    }
    handler->second(reply);
}

void AppModule::SubscribeServiceProxyEvents() {
    // Each built-in event carries a PluginServiceProxyResponse; one that does not convert
    // is dropped.
    auto subscribe = [this](const char* name, std::function<void(const PluginServiceProxyResponse&)> onReply) {
        SubscribeWithHandler(name, 1, [this, onReply = std::move(onReply)](const BindingProperty& payload) {
            BindingResult result;
            PluginServiceProxyResponse reply;
            FromBinding(result, payload, reply, "<result>", Types());
            if (!result.Succeeded()) return;
            onReply(reply);
        });
    };
    subscribe("OnServiceProxyUuidEvent",
              [this](const PluginServiceProxyResponse& reply) { OnServiceProxyReply(reply.uuid, reply); });
    subscribe("OnServiceProxyMethodEvent", [this](const PluginServiceProxyResponse& reply) {
        OnServiceProxyReply(Format("%1.%2", reply.serviceName, reply.methodName), reply);
    });
    subscribe("OnServiceProxyAsyncEvent",
              [this](const PluginServiceProxyResponse& reply) { OnServiceProxyAsync(reply); });
}

void AppModule::SetVyreClassName(std::uint32_t typeKey, std::string className) {
    vyreClassNames_[typeKey] = std::move(className);
}

std::future<MaybeType<Failure, void>> AppModule::InvokeVyreWith(const std::string& destination,
                                                                const std::string& method, BindingResult& arguments) {
    std::promise<MaybeType<Failure, void>> promise;
    std::future<MaybeType<Failure, void>> future = promise.get_future();
    if (!arguments.Succeeded()) {
        promise.set_value(Failure::Named(0, "Couldn't convert VYRE call parameters: {error}", arguments.ErrorMessage()));
        return future;
    }
    promise.set_value(Request(HttpMethod::Post, "/qiv-login/v1/session/invoke", destination, method, arguments.Value()));
    return future;
}

void AppModule::AnnotateVyreClasses(BindingProperty& value, const TypeRecord* type) const {
    if (type == nullptr || type->isEnumeration) return;
    if (value.Kind() == BindingPropertyType::Collection) {
        for (BindingProperty& element : value.Elements()) AnnotateVyreClasses(element, type);
        return;
    }
    if (value.Kind() != BindingPropertyType::Structure) return;
    for (const FieldRecord& field : type->fields) {
        const TypeRecord* nested = field.type.record;
        if (nested == nullptr || !value.HasField(field.name)) continue;
        AnnotateVyreClasses(value.Field(field.name), nested);
    }
    const auto className = vyreClassNames_.find(type->identity.key);
    if (className != vyreClassNames_.end()) value.Field("__class").SetString(className->second);
}

void AppModule::DispatchVyre(const BindingProperty& payload) {
    BindingResult result;
    PluginVyreEvent event;
    FromBinding(result, payload, event, "<result>", Types());
    if (!result.Succeeded()) return;
    if (vyreHandlers_.find(event.typeName) == vyreHandlers_.end()) return;
    // Vyre handlers never run inside the host's delivery: a later host turn runs them.
    auto copy = std::make_shared<PluginVyreEvent>(std::move(event));
    ScheduleCallback(
        Format("Event: OnVyreEvent (%1)", copy->typeName),
        [this, copy] {
            const auto handler = vyreHandlers_.find(copy->typeName);
            if (handler != vyreHandlers_.end()) handler->second(copy->body);
        },
        MonotonicNanoseconds());
}

}  // namespace vclient
