// The payload of every resource event, incoming and outgoing: which resource changed,
// how, and its data. Handlers of observed resources receive the typed form,
// ResourceEvent<T>, with the data already converted to the native record.
#pragma once

#include <cstdint>
#include <string>

#include "value/binding_property.h"

namespace vclient {

enum class PluginResourceEventType : std::int32_t {
    Create = 0,
    Update = 1,
    Delete = 2,
};

struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

template <class T>
struct ResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    T value{};
};

// The host event name under which the resources below a URI announce their changes:
// "OnJsonApiEvent" and the URI's first three pieces (five under "qiv-platform-config"),
// joined with "_". "/qiv-gameflow/v1/session" gives OnJsonApiEvent_qiv-gameflow_v1_session.
[[nodiscard]] std::string EventNameForUri(std::string_view uri);

// Whether `uri` matches `pattern`, where a "*" stands for the characters of one path
// segment (possibly none): "/a/*/c" matches "/a/b/c" and "/a//c"; "/a/*" matches "/a/b"
// but neither "/a/" nor "/a/b/c".
[[nodiscard]] bool UriMatchesPattern(std::string_view pattern, std::string_view uri);

}  // namespace vclient
