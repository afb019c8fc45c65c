// VyreChannel: the legacy Vyre connection, reached through the login plug-in. The module
// invokes remote operations with typed arguments, whose structures of registered Vyre
// types carry their class name in a "__class" field, and receives typed messages by type
// name:
//
//   channel.SetClassName(StaticType::Key<Note>(), "probe.messages.Note");
//   channel.Invoke("clientFacadeService", "callPersistenceMessaging", note);
//   channel.Subscribe<Note>("probe.messages.Note", [](const Note& note) { ... });
//
// A message is never handled inside the host's delivery: the delivery schedules the
// handler on a later host turn (the module's ScheduleCallback).
//
// Threading: the tables are not locked; they are used only from the threads on which the
// host calls the plug-in. Handlers run without any lock of the module.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "binding/conversion.h"
#include "binding/static_type.h"
#include "binding/type_registry.h"
#include "runtime/module_part.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "value/binding_property.h"
#include "value/binding_result.h"

namespace vclient {

class ResourceEvents;

class VyreChannel : ModulePart {
public:
    // Message events are subscribed through `events`.
    VyreChannel(AppModule& module, ResourceEvents& events) : ModulePart(module), events_(events) {}

    // Invokes `method` of `destination` with the arguments, sent as one Collection.
    template <class... A>
    std::future<MaybeType<Failure, void>> Invoke(const std::string& destination, const std::string& method,
                                                 const A&... arguments);
    // Calls `handler` on a later host turn for each message of `typeName`; a body that
    // does not convert to T is dropped. Subscribing a type name again replaces its handler.
    template <class T>
    void Subscribe(const std::string& typeName, std::function<void(const T&)> handler);
    // Enters the Vyre class name of a registered record: its values carry "__class".
    void SetClassName(std::uint32_t typeKey, std::string className);
    // Forgets every message handler.
    void Clear();

private:
    using BodyHandler = std::function<void(const BindingProperty& body)>;

    std::future<MaybeType<Failure, void>> InvokeWith(const std::string& destination, const std::string& method,
                                                     BindingResult& arguments);
    // Stores the handler and subscribes the message event of `typeName`.
    void SubscribeBody(const std::string& typeName, BodyHandler handler);
    void Annotate(BindingProperty& value, const TypeRecord* type) const;
    void Dispatch(const BindingProperty& payload);
    void TraceUnconvertible(std::string_view typeName, const BindingProperty& body) const;

    ResourceEvents& events_;
    std::map<std::string, BodyHandler> handlers_;
    std::unordered_map<std::uint32_t, std::string> classNames_;
};

template <class... A>
std::future<MaybeType<Failure, void>> VyreChannel::Invoke(const std::string& destination, const std::string& method,
                                                          const A&... arguments) {
    BindingResult collected;
    collected.Value().EnsureCollection();
    auto add = [&](const auto& argument) {
        if (!collected.Succeeded()) return;
        using Argument = std::decay_t<decltype(argument)>;
        BindingResult converted;
        ToBinding(converted, argument, Types());
        if (!converted.Succeeded()) {
            collected.Fail(converted.ErrorMessage());
            return;
        }
        BindingProperty& slot = collected.Value().Append();
        slot = std::move(converted.Value());
        Annotate(slot, Types().FindByKey(StaticType::Key<Argument>()));
    };
    (add(arguments), ...);
    return InvokeWith(destination, method, collected);
}

template <class T>
void VyreChannel::Subscribe(const std::string& typeName, std::function<void(const T&)> handler) {
    SubscribeBody(typeName, [this, handler = std::move(handler)](const BindingProperty& body) {
        BindingResult converted;
        T value{};
        FromBinding(converted, body, value, "<value>", Types());
        if (!converted.Succeeded()) {
            TraceUnconvertible(StaticType::Name<T>(), body);
            return;
        }
        handler(value);
    });
}

}  // namespace vclient
