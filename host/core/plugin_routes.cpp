#include "core/plugin_routes.h"

#include <algorithm>

#include "core/http_method_names.h"

namespace qivhost {
namespace {

std::string TextOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

std::vector<RouteArgument> ReadArguments(const RouteFunctionEntry& entry) {
    std::vector<RouteArgument> arguments;
    const ApiArgumentDescription* argument = entry.function.arguments;
    const RouteArgumentLocation* locations = entry.argumentLocations;
    const std::uint32_t count = entry.function.argumentCount;
    for (std::uint32_t i = 0; argument != nullptr && i < count && i < kMaxRouteEntries; ++i) {
        const std::uint32_t location = locations == nullptr ? 0u : locations[i].location;
        arguments.push_back(RouteArgument{TextOf(argument->name), location, argument->optional != 0});
        argument = argument->next;
    }
    return arguments;
}

// Matches from template position t and path position p, "{...}" variables included.
bool MatchFrom(std::string_view tpl, std::size_t t, std::string_view path, std::size_t p) {
    while (t < tpl.size()) {
        if (tpl[t] != '{') {
            if (p >= path.size() || path[p] != tpl[t]) return false;
            ++t;
            ++p;
            continue;
        }
        const std::size_t close = tpl.find('}', t);
        if (close == std::string_view::npos) return false;
        const char kind = close > t + 1 ? tpl[t + 1] : '\0';
        const std::size_t next = close + 1;
        if (kind == '#') {
            if (p >= path.size() || path[p] != '#') return false;
            ++p;
        }
        if (kind == '+' || kind == '#') {
            for (std::size_t end = path.size() + 1; end-- > p;) {
                if (MatchFrom(tpl, next, path, end)) return true;
            }
            return false;
        }
        const std::size_t segmentEnd = std::min(path.find('/', p), path.size());
        for (std::size_t end = segmentEnd + 1; end-- > p;) {
            if (MatchFrom(tpl, next, path, end)) return true;
        }
        return false;
    }
    return p == path.size();
}

}  // namespace

std::vector<RouteInfo> ReadRouteTable(const RouteTableDescriptor* table) {
    std::vector<RouteInfo> routes;
    if (table == nullptr) return routes;
    const RouteFunctionEntry* entries = table->functions;
    const std::uint32_t count = entries == nullptr ? 0 : table->functionCount;
    for (std::uint32_t i = 0; i < count && i < kMaxRouteEntries; ++i) {
        const RouteFunctionEntry& entry = entries[i];
        RouteInfo route;
        route.index = i;
        route.name = TextOf(entry.function.name);
        route.pathTemplate = TextOf(entry.pathTemplate);
        route.method = entry.method <= 8 ? entry.method : 0u;
        route.methodWord = route.method == 8 ? TextOf(entry.methodWord) : MethodWord(route.method);
        route.dispatchContext = entry.function.dispatchContext;
        route.handleCall = entry.HandleCall;
        route.arguments = ReadArguments(entry);
        routes.push_back(std::move(route));
    }
    return routes;
}

bool TemplateMatches(std::string_view pathTemplate, std::string_view path) { return MatchFrom(pathTemplate, 0, path, 0); }

bool MethodAccepts(const RouteInfo& route, std::uint32_t method, std::string_view methodWord) {
    if (route.method == 0) return true;
    if (route.method != method) return false;
    return method != 8 || route.methodWord == methodWord;
}

const RouteInfo* ChooseRoute(const std::vector<RouteInfo>& routes, std::uint32_t method, std::string_view methodWord,
                             std::string_view url) {
    const std::string_view path = url.substr(0, url.find('?'));
    const RouteInfo* pathOnly = nullptr;
    for (const RouteInfo& route : routes) {
        const std::string tpl = route.pathTemplate.empty() ? "/" + route.name : route.pathTemplate;
        if (!TemplateMatches(tpl, path)) continue;
        if (MethodAccepts(route, method, methodWord)) return &route;
        if (pathOnly == nullptr) pathOnly = &route;
    }
    return pathOnly;
}

}  // namespace qivhost
