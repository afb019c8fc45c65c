#include "components/client_components.h"

namespace qivhost {

ComponentAnswer ClientComponents::Answer(const OutgoingRequest& request, HostEventSink& sink) {
    if (!request.hasUrl) return ComponentAnswer::Failure(400, "Request without URL");
    if (std::optional<ComponentAnswer> scripted = script.Match(request)) return std::move(*scripted);
    const std::string path = request.Path();
    if (request.method == QIV_HTTP_POST && path == kServiceProxyUuidUrl) return serviceProxy.HandleUuidRequest(request, sink);
    if (request.method == QIV_HTTP_POST && path == kServiceProxyMethodUrl) {
        return serviceProxy.HandleMethodRequest(request, sink);
    }
    if (request.method == QIV_HTTP_POST && path == kVyreInvokeUrl) return vyre.HandleInvoke(request);
    if (std::optional<ComponentAnswer> answer = preEndOfGame.Handle(request)) return std::move(*answer);
    if (std::optional<ComponentAnswer> answer = telemetry.Handle(request)) return std::move(*answer);
    if (request.method != QIV_HTTP_GET) {
        return ComponentAnswer::Failure(404, "No endpoint for " + request.methodWord + " " + request.url);
    }
    const OwnedHostValue* resource = resources.Find(path);
    if (resource == nullptr) return ComponentAnswer::Failure(404, "No resource at " + path);
    return ComponentAnswer::Ok(*resource);
}

}  // namespace qivhost
