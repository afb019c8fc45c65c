#include "components/telemetry_sink.h"

namespace qivhost {

std::optional<ComponentAnswer> TelemetrySink::Handle(const OutgoingRequest& request) {
    const std::string path = request.Path();
    const std::string_view prefix = kTelemetryPrefix;
    if (request.method != QIV_HTTP_POST || path.rfind(prefix, 0) != 0) return std::nullopt;
    const std::string name = path.substr(prefix.size());
    if (name.empty()) return ComponentAnswer::Failure(400, "Missing telemetry event name");
    const std::string data = request.parameters.empty() ? "null" : HostValueToJson(request.parameters[0].value.Get());
    events_.push_back(TelemetryEvent{name, data});
    return ComponentAnswer::Ok();
}

}  // namespace qivhost
