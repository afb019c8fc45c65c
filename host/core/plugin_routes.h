// The plug-in's REST API as the host reads it from the route table (word 6 of the load
// record): one RouteInfo per function entry, and the choice of the entry for a call.
//
// Choosing: the first entry whose path template matches the call's path (the URL up to
// "?") and whose method accepts the call; when only the path matches, the first such
// entry anyway, so that the plug-in itself answers the wrong method ("Invalid
// function"). Templates: "{name}" matches one segment (possibly empty), "{+name}" the
// rest of the path, "{#name}" a "#" and the rest; other characters match themselves. A
// function without template is reached under "/" followed by its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivhost {

struct RouteArgument {
    std::string name;
    std::uint32_t location = 0;  // QivArgumentLocation
    bool optional = false;
};

struct RouteInfo {
    std::size_t index = 0;
    std::string name;
    std::string pathTemplate;
    std::uint32_t method = 0;
    std::string methodWord;  // the code's word, or the entry's own word for 8
    void* dispatchContext = nullptr;
    RouteHandleCallFunction handleCall = nullptr;
    std::vector<RouteArgument> arguments;
};

// More entries than this are not read (a corrupt count must not run the host away).
inline constexpr std::uint32_t kMaxRouteEntries = 4096;

[[nodiscard]] std::vector<RouteInfo> ReadRouteTable(const RouteTableDescriptor* table);
[[nodiscard]] bool TemplateMatches(std::string_view pathTemplate, std::string_view path);
[[nodiscard]] bool MethodAccepts(const RouteInfo& route, std::uint32_t method, std::string_view methodWord);
// Null when no entry's path matches.
[[nodiscard]] const RouteInfo* ChooseRoute(const std::vector<RouteInfo>& routes, std::uint32_t method,
                                           std::string_view methodWord, std::string_view url);

}  // namespace qivhost
