#include "runtime/runtime_records.h"

#include "binding/register_type.h"
#include "runtime/plugin_resource_event.h"

namespace vclient {

void RegisterRuntimeRecords(TypeRegistry& registry) {
    RegisterEnum<PluginManagerState>(registry, "PluginManagerState")
        .Namespace("vclient")
        .QIV_ENUMERATOR(NotReady)
        .QIV_ENUMERATOR(PluginsInitialized);
    RegisterRecord<PluginManagerResource>(registry, "PluginManagerResource")
        .Namespace("vclient")
        .QIV_FIELD(state);
    RegisterEnum<PluginResourceEventType>(registry, "PluginResourceEventType")
        .Namespace("vclient")
        .QIV_ENUMERATOR(Create)
        .QIV_ENUMERATOR(Update)
        .QIV_ENUMERATOR(Delete);
    RegisterRecord<PluginResourceEvent>(registry, "PluginResourceEvent")
        .Namespace("vclient")
        .QIV_FIELD(uri)
        .QIV_FIELD(eventType)
        .QIV_FIELD(data);
    RegisterRecord<PluginVyreEvent>(registry, "PluginVyreEvent")
        .Namespace("vclient")
        .QIV_FIELD(clientId)
        .QIV_FIELD(subtopic)
        .QIV_FIELD(typeName)
        .QIV_FIELD(body);
    RegisterRecord<PluginVyreResponse>(registry, "PluginVyreResponse")
        .Namespace("vclient")
        .QIV_FIELD(typeName)
        .QIV_FIELD(body);
    RegisterRecord<PluginServiceProxyResponse>(registry, "PluginServiceProxyResponse")
        .Namespace("vclient")
        .QIV_FIELD(uuid)
        .QIV_FIELD(serviceName)
        .QIV_FIELD(methodName)
        .QIV_FIELD(payload)
        .QIV_FIELD(status)
        .QIV_FIELD(error);
}

}  // namespace vclient
