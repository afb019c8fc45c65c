// RouteBuilder: names the arguments of a route just declared with ApiRegistry::AddRoute,
// one after the other in parameter order:
//
//   registry.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/honor-player", this, &HonorPlugin::HonorPlayer)
//       .Body("honorPlayerRequest", "");
//
// Each call declares the builder's current argument with a name, a description and a
// location, then moves on to the next argument. Body takes the argument from the request
// body; Argument leaves it at Any (query, path or header); Query, Path and Header restrict
// it to that source.
//
// An argument the builder never reaches keeps its default name: the template's variables
// name the first arguments, in template order ("/items/{id}" names the first argument
// "id"), and every later one is "arg" followed by its index ("arg1", "arg2", ...).
//
// A builder whose declaration failed is closed and ignores every call; so is a call past
// the last argument, which leaves the builder closed.
#pragma once

#include <cstddef>
#include <string_view>

#include "router/argument_location.h"

namespace vclient {

class ApiRegistry;
struct RouteBinding;

class RouteBuilder {
public:
    // A closed builder.
    RouteBuilder() = default;
    RouteBuilder(ApiRegistry& registry, RouteBinding& binding) noexcept : registry_(&registry), binding_(&binding) {}

    RouteBuilder& Body(std::string_view name, std::string_view description = {});
    RouteBuilder& Argument(std::string_view name, std::string_view description = {});
    RouteBuilder& Query(std::string_view name, std::string_view description = {});
    RouteBuilder& Path(std::string_view name, std::string_view description = {});
    RouteBuilder& Header(std::string_view name, std::string_view description = {});

    // False when the declaration failed or the arguments ran out.
    [[nodiscard]] bool IsOpen() const noexcept { return registry_ != nullptr; }
    // The declared route; null when the declaration failed.
    [[nodiscard]] const RouteBinding* Binding() const noexcept { return binding_; }

private:
    RouteBuilder& Declare(ArgumentLocation location, std::string_view name, std::string_view description);

    ApiRegistry* registry_ = nullptr;
    RouteBinding* binding_ = nullptr;
    std::size_t next_ = 0;
};

}  // namespace vclient
