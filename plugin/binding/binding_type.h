// BindingType: the declared type of a field, argument or result, as the type registry and
// the API description know it. The numbers are part of the host contract (they are the
// type codes of the exported API description), so they never change.
#pragma once

#include <cstdint>
#include <string_view>

namespace vclient {

enum class BindingType : std::uint32_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    Uint8 = 3,
    Int16 = 4,
    Uint16 = 5,
    Int32 = 6,
    Uint32 = 7,
    Int64 = 8,
    Uint64 = 9,
    Float = 10,
    Double = 11,
    String = 12,
    Object = 13,    // a BindingProperty held as it is
    Blob = 14,      // a byte vector
    Vector = 15,    // a vector of an element type
    Enum = 16,      // a registered enumeration
    Struct = 17,    // a registered record
    Callback = 18,  // a callback token; nothing converts it
    Map = 19,       // a map from text to an element type; nothing registers it
};

// The type's name ("bool", "int8", ... "map"); any other number gives the empty text.
[[nodiscard]] std::string_view BindingTypeName(BindingType type) noexcept;

}  // namespace vclient
