#include "runtime/telemetry_sender.h"

#include "runtime/app_module.h"

namespace vclient {

std::future<MaybeType<Failure, void>> TelemetrySender::SendTelemetry(const std::string& eventName,
                                                                     const BindingProperty& data) {
    std::promise<MaybeType<Failure, void>> promise;
    promise.set_value(module_.Request(HttpMethod::Post, "/telemetry/v1/events/" + eventName, data));
    return promise.get_future();
}

}  // namespace vclient
