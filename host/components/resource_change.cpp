#include "components/resource_change.h"

#include "components/client_event_names.h"

namespace qivhost {

const char* ResourceEventTypeName(ResourceEventType type) {
    switch (type) {
        case ResourceEventType::Create: return "Create";
        case ResourceEventType::Update: return "Update";
        case ResourceEventType::Delete: return "Delete";
    }
    return "";
}

OwnedHostValue ResourceEventPayload(std::string_view uri, ResourceEventType type, const OwnedHostValue& data) {
    return StructureBuilder()
        .AddText("uri", uri)
        .AddText("eventType", ResourceEventTypeName(type))
        .Add("data", type == ResourceEventType::Delete ? OwnedHostValue() : data)
        .Build();
}

void PublishResourceChange(HostEventSink& sink, std::string_view uri, ResourceEventType type,
                           const OwnedHostValue& data) {
    OwnedHostValue payload = ResourceEventPayload(uri, type, data);
    sink.Publish(EventNameForUri(uri), payload);
    sink.Publish(kResourceEventName, std::move(payload));
}

}  // namespace qivhost
