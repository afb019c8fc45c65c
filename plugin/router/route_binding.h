// RouteBinding: the router's record of one declared API function -- how the host reaches it
// (method, path template, argument locations) and how it is served (the invoker of its
// member operation and the route pattern, compiled once when the route is declared).
//
// Bindings are created by ApiRegistry::AddRoute, owned by the registry and never move or
// go away while it lives: the route table hands the host a pointer to each binding's
// dispatch context, and the host passes it back with every call. After start-up a binding
// is only read, by any number of threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binding/api_records.h"
#include "router/argument_location.h"
#include "router/http_method.h"
#include "router/route_invoker.h"
#include "router/route_pattern.h"

namespace vclient {

class ApiRegistry;
struct RouteBinding;

// The two words the host finds at offset 8 of a function's route entry and passes back in
// every request for that function.
struct RouteDispatchContext {
    ApiRegistry* registry = nullptr;
    RouteBinding* binding = nullptr;
};

struct RouteBinding {
    // The function's description in the registry; also its identity.
    FunctionRecord* function = nullptr;
    // Calls the member operation.
    std::unique_ptr<RouteInvoker> handler;
    // Without a trailing "/" (except the path "/" itself); empty when the function has no path.
    std::string pathTemplate;
    HttpMethod method = HttpMethod::None;
    // The method's word when method is Custom, else empty.
    std::string methodWord;
    // One per argument of the function, in argument order; raw values, since the value 3
    // is passed to the host unchanged.
    std::vector<std::uint32_t> locations;
    // Lists of texts handed to the host with the route; the router fills none itself.
    std::vector<std::vector<std::string>> textLists;
    // Handed to the host with the route.
    std::uint8_t flag = 0;
    // The pattern of pathTemplate, or of the function's name when there is no path.
    std::optional<RoutePattern> pattern;
    RouteDispatchContext context;

    // The location of argument `index` (Any past the end of the list).
    [[nodiscard]] std::uint32_t LocationOf(std::size_t index) const noexcept {
        return index < locations.size() ? locations[index] : static_cast<std::uint32_t>(ArgumentLocation::Any);
    }
};

}  // namespace vclient
