#include "runtime/runtime_records.h"

#include "binding/binding_registry.h"
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

namespace {

void Declare(BindingRegistry& registry, std::string_view name, std::string_view payload, const char* description) {
    const BindingRegistry::EventDeclaration declared = registry.DeclareEvent(name, registry.FindByName(payload));
    if (declared.existed) return;
    declared.event.nameSpace = "vclient";
    declared.event.description = description;
}

}  // namespace

void DeclareRuntimeEvents(BindingRegistry& registry) {
    Declare(registry, "OnJsonApiEvent", "PluginResourceEvent", "Fired when a resource is changed.");
    Declare(registry, "OnVyreEvent", "PluginVyreEvent", "Fired when a message is received over the VYRE connection.");
    Declare(registry, "OnServiceProxyUuidEvent", "PluginServiceProxyResponse",
            "Fired when a uuid-based service proxy message is received.");
    Declare(registry, "OnServiceProxyMethodEvent", "PluginServiceProxyResponse",
            "Fired when a method-based service proxy message is received.");
    Declare(registry, "OnServiceProxyAsyncEvent", "PluginServiceProxyResponse",
            "Fired when an async service proxy message is received.");
}

}  // namespace vclient
