// The telemetry sink: POST "/telemetry/v1/events/<name>" records the event name and its
// data (the first parameter, as JSON; null when there is none). An empty name is refused
// with status 400.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/component_answer.h"
#include "core/outgoing_request.h"

namespace qivhost {

inline constexpr char kTelemetryPrefix[] = "/telemetry/v1/events/";

struct TelemetryEvent {
    std::string name;
    std::string dataJson;
};

class TelemetrySink {
public:
    [[nodiscard]] std::optional<ComponentAnswer> Handle(const OutgoingRequest& request);
    const std::vector<TelemetryEvent>& Events() const { return events_; }

private:
    std::vector<TelemetryEvent> events_;
};

}  // namespace qivhost
