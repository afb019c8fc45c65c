#include "runtime/service_proxy_calls.h"

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "log/log.h"
#include "runtime/app_module.h"
#include "runtime/resource_events.h"
#include "util/format_positional.h"

namespace vclient {

std::string ServiceProxyCalls::StartConverted(const std::string& service, const std::string& method,
                                              const BindingProperty& request, const std::string& methodOption,
                                              const std::string& secondOption, Completion completion) {
    const std::string payload = BindingToJson(request, &Types(), nullptr);
    const std::string name = Format("%1.%2", service, method);
    Log(LogLevel::Always, kLogGroupDbg, "%s: Preparing service proxy request: %s", ModuleName().c_str(), name.c_str());
    if (!methodOption.empty() && InFlight(name)) {
        Log(LogLevel::Error, kLogGroupDbg, "%s: Could not invoke service proxy as request is already in flight",
            ModuleName().c_str());
        return "Request already in flight";
    }
    MaybeType<Failure, std::string> key = SendToProxy(name, service, method, payload, methodOption, secondOption);
    if (!key.Succeeded()) return key.GetFailure().message;
    Log(LogLevel::Always, kLogGroupDbg, "%s: Started service proxy request: %s (%s)", ModuleName().c_str(),
        name.c_str(), key.Value().c_str());
    {
        std::lock_guard<std::mutex> hold(lock_);
        pendingRequests_.emplace_back(std::move(key.Value()), std::move(completion));
    }
    FulfillPendingRequests();
    return "";
}

MaybeType<Failure, std::string> ServiceProxyCalls::SendToProxy(const std::string& name, const std::string& service,
                                                               const std::string& method, const std::string& payload,
                                                               const std::string& methodOption,
                                                               const std::string& secondOption) {
    const std::uint32_t clientHandle = module_.ClientHandle();
    if (methodOption.empty()) {
        return module_.Request<std::string>(HttpMethod::Post, "/qiv-login/v1/service-proxy-uuid-requests", service,
                                            method, clientHandle, payload);
    }
    MaybeType<Failure, void> sent = module_.Request(HttpMethod::Post, "/qiv-login/v1/service-proxy-method-requests",
                                                    service, method, methodOption, secondOption, clientHandle, payload);
    if (!sent.Succeeded()) return sent.GetFailure();
    return name;
}

bool ServiceProxyCalls::InFlight(const std::string& key) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [pending, unused] : pendingRequests_) {
        if (pending == key) return true;
    }
    return false;
}

void ServiceProxyCalls::FulfillPendingRequests() {
    std::lock_guard<std::mutex> hold(lock_);
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

void ServiceProxyCalls::OnReply(const std::string& key, const PluginServiceProxyResponse& reply) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        receivedReplies_.emplace_back(key, reply);
    }
    FulfillPendingRequests();
}

void ServiceProxyCalls::OnAsyncReply(const PluginServiceProxyResponse& reply) {
    const std::string key = Format("%1.%2", reply.serviceName, reply.methodName);
    std::lock_guard<std::mutex> hold(lock_);
    const auto handler = asyncHandlers_.find(key);
    if (handler == asyncHandlers_.end()) {
        Log(LogLevel::Error, kLogGroupDbg, "%s: Could not find registered handler for async service proxy event %s",
            ModuleName().c_str(), key.c_str());
        return;
    }
    handler->second(reply);
}

void ServiceProxyCalls::SubscribeReplyEvents() {
    // Each built-in event carries a PluginServiceProxyResponse; one that does not convert
    // is dropped.
    auto subscribe = [this](const char* name, Completion onReply) {
        events_.Listen(name, 1, [this, onReply = std::move(onReply)](const BindingProperty& payload) {
            BindingResult result;
            PluginServiceProxyResponse reply;
            FromBinding(result, payload, reply, "<result>", Types());
            if (!result.Succeeded()) return;
            onReply(reply);
        });
    };
    subscribe("OnServiceProxyUuidEvent",
              [this](const PluginServiceProxyResponse& reply) { OnReply(reply.uuid, reply); });
    subscribe("OnServiceProxyMethodEvent", [this](const PluginServiceProxyResponse& reply) {
        OnReply(Format("%1.%2", reply.serviceName, reply.methodName), reply);
    });
    subscribe("OnServiceProxyAsyncEvent", [this](const PluginServiceProxyResponse& reply) { OnAsyncReply(reply); });
}

void ServiceProxyCalls::Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    pendingRequests_.clear();
    receivedReplies_.clear();
    asyncHandlers_.clear();
}

bool ServiceProxyCalls::Stopping() const { return module_.Stopping(); }

BindingResult ServiceProxyCalls::ReadPayload(const PluginServiceProxyResponse& reply) {
    return JsonToBinding(reply.payload);
}

}  // namespace vclient
