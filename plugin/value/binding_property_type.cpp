#include "value/binding_property_type.h"

#include <array>
#include <cstddef>

namespace vclient {

namespace {

constexpr std::array<std::string_view, 10> kKindNames = {
    "empty", "bool", "signed", "unsigned", "float",
    "string", "blob", "enum", "collection", "structure",
};

}  // namespace

std::string_view KindName(BindingPropertyType kind) noexcept {
    const auto index = static_cast<std::size_t>(kind);
    if (index >= kKindNames.size()) {
        return {};
    }
    return kKindNames[index];
}

}  // namespace vclient
