#include "client_components.h"

namespace qivhost {

EndpointAnswer ClientComponents::Answer(const OutgoingRequest& request, EventSink& sink) {
    if (!request.hasUrl) return EndpointAnswer::Failure(400, "Request without URL");
    if (std::optional<EndpointAnswer> scripted = script.Match(request)) return std::move(*scripted);
    const std::string path = request.Path();
    if (request.method == QIV_HTTP_POST && path == kServiceProxyUuidUrl) return serviceProxy.HandleUuidRequest(request, sink);
    if (request.method == QIV_HTTP_POST && path == kServiceProxyMethodUrl) {
        return serviceProxy.HandleMethodRequest(request, sink);
    }
    if (request.method == QIV_HTTP_POST && path == kVyreInvokeUrl) return vyre.HandleInvoke(request);
    if (std::optional<EndpointAnswer> answer = preEndOfGame.Handle(request)) return std::move(*answer);
    if (std::optional<EndpointAnswer> answer = telemetry.Handle(request)) return std::move(*answer);
    if (request.method != QIV_HTTP_GET) {
        return EndpointAnswer::Failure(404, "No endpoint for " + request.methodWord + " " + request.url);
    }
    const OwnedHostValue* resource = resources.Find(path);
    if (resource == nullptr) return EndpointAnswer::Failure(404, "No resource at " + path);
    return EndpointAnswer::Ok(*resource);
}

}  // namespace qivhost
