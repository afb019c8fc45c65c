#include "components/login_service_proxy.h"

#include <cinttypes>
#include <cstdio>

#include "components/client_event_names.h"

namespace qivhost {
namespace {

// Reads the parameters named in `names` (texts, except the one at `handleIndex`).
bool ReadParameters(const OutgoingRequest& request, const std::vector<const char*>& names, std::size_t handleIndex,
                    std::vector<std::string>& texts, std::uint32_t& handle, std::string& error) {
    if (request.parameters.size() != names.size()) {
        error = "Expected " + std::to_string(names.size()) + " parameters, got " + std::to_string(request.parameters.size());
        return false;
    }
    texts.assign(names.size(), std::string());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool ok = i == handleIndex ? request.HandleParameter(i, handle) : request.TextParameter(i, texts[i]);
        if (ok) continue;
        error = std::string("Parameter ") + std::to_string(i) + " (" + names[i] + ") must be " +
                (i == handleIndex ? "an unsigned 32-bit number" : "a text");
        return false;
    }
    return true;
}

}  // namespace

std::string ServiceProxy::NextUuid() {
    char text[40];
    std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012" PRIu64, ++uuidCounter_);
    return text;
}

ComponentAnswer ServiceProxy::HandleUuidRequest(const OutgoingRequest& request, HostEventSink& sink) {
    std::vector<std::string> texts;
    ServiceProxyRequest entry;
    std::string error;
    if (!ReadParameters(request, {"service", "method", "clientHandle", "payload"}, 2, texts, entry.clientHandle, error)) {
        return ComponentAnswer::Failure(400, error);
    }
    entry.service = texts[0];
    entry.method = texts[1];
    entry.payload = texts[3];
    entry.uuid = NextUuid();
    requests_.push_back(entry);
    Answer(sink, entry);
    return ComponentAnswer::Ok(OwnedHostValue::Text(entry.uuid));
}

ComponentAnswer ServiceProxy::HandleMethodRequest(const OutgoingRequest& request, HostEventSink& sink) {
    std::vector<std::string> texts;
    ServiceProxyRequest entry;
    std::string error;
    const std::vector<const char*> names = {"service", "method", "methodOption", "secondOption", "clientHandle", "payload"};
    if (!ReadParameters(request, names, 4, texts, entry.clientHandle, error)) return ComponentAnswer::Failure(400, error);
    entry.methodBased = true;
    entry.service = texts[0];
    entry.method = texts[1];
    entry.methodOption = texts[2];
    entry.secondOption = texts[3];
    entry.payload = texts[5];
    requests_.push_back(entry);
    Answer(sink, entry);
    return ComponentAnswer::Ok();
}

void ServiceProxy::Answer(HostEventSink& sink, const ServiceProxyRequest& request) {
    ServerReply reply = server_.ReplyTo(request.service, request.method, request.payload);
    if (reply.kind == ServerReply::Kind::Silence) {
        // The proxy gives up after the silence's timeout, as the client's proxy does.
        const double timeout = reply.delaySeconds;
        const std::uint64_t turns = reply.delayTurns;
        reply = ServerReply::Failure(kServiceProxyTimeoutError, "504");
        reply.delaySeconds = timeout;
        reply.delayTurns = turns;
    }
    PublishReply(sink, request, reply);
}

void ServiceProxy::PublishReply(HostEventSink& sink, const ServiceProxyRequest& request, const ServerReply& reply) {
    OwnedHostValue payload = StructureBuilder()
                                 .AddText("uuid", request.uuid)
                                 .AddText("serviceName", request.service)
                                 .AddText("methodName", request.method)
                                 .AddText("payload", reply.kind == ServerReply::Kind::Answer ? reply.payload : "")
                                 .AddText("status", reply.status)
                                 .AddText("error", reply.error)
                                 .Build();
    const char* name = request.methodBased ? kServiceProxyMethodEventName : kServiceProxyUuidEventName;
    sink.Publish(name, std::move(payload), reply.delaySeconds, reply.delayTurns);
}

}  // namespace qivhost
