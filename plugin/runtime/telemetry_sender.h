// TelemetrySender: posts telemetry events to the host's telemetry resource. Created by the
// plug-in object when the host attaches it; the request runs at once and the returned
// future already holds its outcome.
#pragma once

#include <future>
#include <string>

#include "value/binding_property.h"
#include "util/failure.h"
#include "util/maybe_type.h"

namespace vclient {

class AppModule;

class TelemetrySender {
public:
    explicit TelemetrySender(AppModule& module) : module_(module) {}

    // POSTs `data` to "/telemetry/v1/events/" followed by `eventName`.
    std::future<MaybeType<Failure, void>> SendTelemetry(const std::string& eventName, const BindingProperty& data);

private:
    AppModule& module_;
};

}  // namespace vclient
