// RouteTable: the route table handed to the host at load -- the descriptor (six words),
// one packed 90-byte entry per declared function in the registry's order, and the arrays
// the entries point to.
//
// An entry starts with the function's description record as the API description exports
// it, with its next pointer set to the following entry's description (null in the last)
// and its dispatch context set to the route's binding; then come the dispatch callback
// HandleCall, the argument location array (one {0, location} pair per argument, null for
// none), the path template, the method, the flag byte, the text lists (one {0, texts,
// count} record per list of the binding) and the method word. A function that no route
// declared gets a null dispatch context and empty texts; calls for it answer 404.
//
// The type and event pairs of the descriptor are those of the API description. Every
// pointer refers to the table itself, the bindings or the registry's export, all of which
// live as long as the registry that built the table.
#pragma once

#include <vector>

#include "binding/api_description.h"
#include "qiv/plugin_abi.h"

namespace vclient {

struct RouteBinding;

class RouteTable {
public:
    RouteTable() = default;
    RouteTable(const RouteTable&) = delete;
    RouteTable& operator=(const RouteTable&) = delete;

    // Appends the entry of the next function; `binding` is null for a function without a route.
    void AddFunction(const ApiFunctionDescription& description, RouteBinding* binding);
    // Links the entries and fills the descriptor, taking the types and events of `description`.
    void Finish(const ApiDescriptionTable& description);

    [[nodiscard]] const RouteTableDescriptor& Descriptor() const noexcept { return descriptor_; }

private:
    std::vector<RouteFunctionEntry> entries_;
    // Per entry; each inner buffer stays put when the outer vector grows.
    std::vector<std::vector<RouteArgumentLocation>> locations_;
    std::vector<std::vector<RouteTextList>> textLists_;
    std::vector<std::vector<const char*>> texts_;
    RouteTableDescriptor descriptor_{};
};

}  // namespace vclient
