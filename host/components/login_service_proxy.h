// The login plug-in's service proxy as the host simulates it.
//
// POST "/qiv-login/v1/service-proxy-uuid-requests" with 4 positional parameters
// (service, method, clientHandle, payload JSON text) answers a new uuid text at once;
// the server's reply (honor_server.h) follows on a later host turn as the event
// "OnServiceProxyUuidEvent". POST "/qiv-login/v1/service-proxy-method-requests" with 6
// (service, method, methodOption, secondOption, clientHandle, payload) answers an empty
// body; its reply comes as "OnServiceProxyMethodEvent", matched by service and method.
// Both reply payloads are a PluginServiceProxyResponse structure {uuid, serviceName,
// methodName, payload, status, error}, all texts. A malformed request is refused with
// status 400 and a text that says which parameter is wrong.
//
// Uuids are deterministic: "00000000-0000-4000-8000-" followed by a 12-digit counter
// starting at 1, so tests can name them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/honor_server.h"
#include "core/component_answer.h"
#include "core/host_event_sink.h"
#include "core/outgoing_request.h"

namespace qivhost {

inline constexpr char kServiceProxyUuidUrl[] = "/qiv-login/v1/service-proxy-uuid-requests";
inline constexpr char kServiceProxyMethodUrl[] = "/qiv-login/v1/service-proxy-method-requests";
inline constexpr char kServiceProxyTimeoutError[] = "Service proxy request timed out";

struct ServiceProxyRequest {
    bool methodBased = false;
    std::string uuid;  // empty for method-based requests
    std::string service;
    std::string method;
    std::string methodOption;
    std::string secondOption;
    std::uint32_t clientHandle = 0;
    std::string payload;
};

class ServiceProxy {
public:
    explicit ServiceProxy(HonorServer& server) : server_(server) {}

    ComponentAnswer HandleUuidRequest(const OutgoingRequest& request, HostEventSink& sink);
    ComponentAnswer HandleMethodRequest(const OutgoingRequest& request, HostEventSink& sink);
    const std::vector<ServiceProxyRequest>& Requests() const { return requests_; }

    // A reply the host makes on its own (tests push late or unsolicited replies).
    static void PublishReply(HostEventSink& sink, const ServiceProxyRequest& request, const ServerReply& reply);

private:
    [[nodiscard]] std::string NextUuid();
    void Answer(HostEventSink& sink, const ServiceProxyRequest& request);

    HonorServer& server_;
    std::vector<ServiceProxyRequest> requests_;
    std::uint64_t uuidCounter_ = 0;
};

}  // namespace qivhost
