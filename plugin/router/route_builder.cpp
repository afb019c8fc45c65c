#include "router/route_builder.h"

#include "router/api_registry.h"

namespace vclient {

RouteBuilder& RouteBuilder::Body(std::string_view name, std::string_view description) {
    return Declare(ArgumentLocation::Body, name, description);
}

RouteBuilder& RouteBuilder::Argument(std::string_view name, std::string_view description) {
    return Declare(ArgumentLocation::Any, name, description);
}

RouteBuilder& RouteBuilder::Query(std::string_view name, std::string_view description) {
    return Declare(ArgumentLocation::Query, name, description);
}

RouteBuilder& RouteBuilder::Path(std::string_view name, std::string_view description) {
    return Declare(ArgumentLocation::Path, name, description);
}

RouteBuilder& RouteBuilder::Header(std::string_view name, std::string_view description) {
    return Declare(ArgumentLocation::Header, name, description);
}

RouteBuilder& RouteBuilder::Declare(ArgumentLocation location, std::string_view name,
                                    std::string_view description) {
    if (registry_ == nullptr) return *this;
    if (!registry_->DeclareArgument(*binding_, next_, location, name, description)) {
        registry_ = nullptr;
        return *this;
    }
    ++next_;
    return *this;
}

}  // namespace vclient
