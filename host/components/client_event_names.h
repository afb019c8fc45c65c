// Event names the client's components use: the resource event name of a URI, and the
// event name of a Vyre message type. The host computes them exactly as the plug-in does,
// so a resource change reaches the plug-in's subscription for it.
#pragma once

#include <string>
#include <string_view>

namespace qivhost {

// Every resource change is dispatched under its URI's name and then under this one.
inline constexpr char kResourceEventName[] = "OnJsonApiEvent";
inline constexpr char kServiceProxyUuidEventName[] = "OnServiceProxyUuidEvent";
inline constexpr char kServiceProxyMethodEventName[] = "OnServiceProxyMethodEvent";

// Splits the URI at "/", drops empty pieces, puts "OnJsonApiEvent" in front and keeps at
// most 4 pieces (6 when the second piece is "qiv-platform-config"), joined with "_".
[[nodiscard]] std::string EventNameForUri(std::string_view uri);
// "OnVyreEvent_" followed by the type name with every "." replaced by "_".
[[nodiscard]] std::string VyreEventName(std::string_view typeName);

}  // namespace qivhost
