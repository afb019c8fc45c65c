#include "runtime/vyre_channel.h"

#include <memory>

#include "codec/json_writer.h"
#include "log/log.h"
#include "runtime/app_module.h"
#include "runtime/resource_events.h"
#include "runtime/runtime_records.h"
#include "util/format_positional.h"

namespace vclient {

void VyreChannel::SetClassName(std::uint32_t typeKey, std::string className) {
    classNames_[typeKey] = std::move(className);
}

void VyreChannel::Clear() { handlers_.clear(); }

std::future<MaybeType<Failure, void>> VyreChannel::InvokeWith(const std::string& destination,
                                                              const std::string& method, BindingResult& arguments) {
    std::promise<MaybeType<Failure, void>> promise;
    std::future<MaybeType<Failure, void>> future = promise.get_future();
    if (!arguments.Succeeded()) {
        promise.set_value(
            Failure::Named(0, "Couldn't convert VYRE call parameters: {error}", arguments.ErrorMessage()));
        return future;
    }
    promise.set_value(
        module_.Request(HttpMethod::Post, "/qiv-login/v1/session/invoke", destination, method, arguments.Value()));
    return future;
}

void VyreChannel::Annotate(BindingProperty& value, const TypeRecord* type) const {
    if (type == nullptr || type->isEnumeration) return;
    if (value.Kind() == BindingPropertyType::Collection) {
        for (BindingProperty& element : value.Elements()) Annotate(element, type);
        return;
    }
    if (value.Kind() != BindingPropertyType::Structure) return;
    for (const FieldRecord& field : type->fields) {
        const TypeRecord* nested = field.type.record;
        if (nested == nullptr || !value.HasField(field.name)) continue;
        Annotate(value.Field(field.name), nested);
    }
    const auto className = classNames_.find(type->identity.key);
    if (className != classNames_.end()) value.Field("__class").SetString(className->second);
}

void VyreChannel::SubscribeBody(const std::string& typeName, BodyHandler handler) {
    handlers_[typeName] = std::move(handler);
    std::string name = "OnVyreEvent_" + typeName;
    for (char& c : name) {
        if (c == '.') c = '_';
    }
    QIV_LOG_TRACE("%s: Subscribing to VYRE event: %s", ModuleName().c_str(), name.c_str());
    events_.Listen(name, 1, [this](const BindingProperty& payload) { Dispatch(payload); });
}

void VyreChannel::Dispatch(const BindingProperty& payload) {
    BindingResult result;
    PluginVyreEvent event;
    FromBinding(result, payload, event, "<result>", Types());
    if (!result.Succeeded()) return;
    if (handlers_.find(event.typeName) == handlers_.end()) return;
    // Vyre handlers never run inside the host's delivery: a later host turn runs them.
    auto copy = std::make_shared<PluginVyreEvent>(std::move(event));
    module_.ScheduleCallback(
        Format("Event: OnVyreEvent (%1)", copy->typeName),
        [this, copy] {
            const auto handler = handlers_.find(copy->typeName);
            if (handler != handlers_.end()) handler->second(copy->body);
        },
        MonotonicNanoseconds());
}

void VyreChannel::TraceUnconvertible(std::string_view typeName, const BindingProperty& body) const {
    QIV_LOG_TRACE("%s: Couldn't convert VYRE DTO %s to C++ from %s", ModuleName().c_str(), std::string(typeName).c_str(),
                  BindingToJson(body, &Types(), nullptr).c_str());
}

}  // namespace vclient
