// The ten kinds of a BindingProperty and their printed names, which messages show when
// they name the kind of an input ("... invalid type %2").
#pragma once

#include <cstdint>
#include <string_view>

namespace vclient {

enum class BindingPropertyType : std::uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};

// The printed name of a kind ("empty", "bool", ... "structure"); a number above 9 gives
// the empty text.
[[nodiscard]] std::string_view KindName(BindingPropertyType kind) noexcept;

}  // namespace vclient
