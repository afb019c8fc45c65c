// Announcing a resource change as its owning component does: the payload is a
// PluginResourceEvent structure {uri, eventType, data} (eventType by name: "Create",
// "Update" or "Delete"; data empty for a Delete), published first under
// EventNameForUri(uri), then under "OnJsonApiEvent".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/host_event_sink.h"
#include "core/host_value_json.h"

namespace qivhost {

enum class ResourceEventType : std::uint32_t { Create = 0, Update = 1, Delete = 2 };

[[nodiscard]] const char* ResourceEventTypeName(ResourceEventType type);
[[nodiscard]] OwnedHostValue ResourceEventPayload(std::string_view uri, ResourceEventType type, const OwnedHostValue& data);
void PublishResourceChange(HostEventSink& sink, std::string_view uri, ResourceEventType type,
                           const OwnedHostValue& data);

}  // namespace qivhost
