// The records that the runtime itself declares in the namespace "vclient": the payloads
// of the built-in service-proxy and Vyre events and the plug-in manager's state.
#pragma once

#include <cstdint>
#include <string>

#include "value/binding_property.h"

namespace vclient {

enum class PluginManagerState : std::int32_t {
    NotReady = 0,
    PluginsInitialized = 1,
};

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

struct PluginVyreEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

struct PluginVyreResponse {
    std::string typeName;
    BindingProperty body;
};

// A reply of the service proxy; `payload` is JSON text, `error` non-empty on failure.
struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

}  // namespace vclient

namespace vclient {

class TypeRegistry;
class BindingRegistry;

// Registers the runtime's records in the namespace "vclient", in declaration order:
// PluginManagerState, PluginManagerResource, PluginResourceEventType, PluginResourceEvent,
// PluginVyreEvent, PluginVyreResponse, PluginServiceProxyResponse.
void RegisterRuntimeRecords(TypeRegistry& registry);

// Declares the runtime's events in the namespace "vclient": OnJsonApiEvent, OnVyreEvent and
// the three service-proxy reply events. The records must be registered first.
void DeclareRuntimeEvents(BindingRegistry& registry);

}  // namespace vclient
