#include "binding/binding_type.h"

#include <array>

namespace vclient {

namespace {

constexpr std::array<std::string_view, 20> kNames = {
    "",      "bool",  "int8",   "uint8",  "int16", "uint16", "int32",  "uint32",   "int64", "uint64",
    "float", "double", "string", "object", "blob",  "vector", "enum",  "struct", "callback", "map",
};

}  // namespace

std::string_view BindingTypeName(BindingType type) noexcept {
    const auto index = static_cast<std::uint32_t>(type);
    if (index >= kNames.size()) return {};
    return kNames[index];
}

}  // namespace vclient
