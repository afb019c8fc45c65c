// Assigning a BindingProperty to the native scalars: the rules that every field, argument
// and value of a scalar type shares. Each function leaves `out` alone and fails the context
// with one of the texts of conversion_messages.h when the input does not fit, and returns
// whether it succeeded. `name` is the wire name shown in the texts. Callers check that the
// context has not failed yet.
//
// Numbers are never turned into texts, and texts are parsed as a whole ("12abc" fails).
// Signed and unsigned inputs outside the 32-bit range are compared with enumerator values
// as 64-bit numbers, never truncated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value/binding_property.h"
#include "value/binding_result.h"
#include "binding/type_record.h"

namespace vclient {

class TypeRegistry;

bool BoolFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, bool& out);
// Signed integers with limits [min, max]; `typeName` is "int8" to "int64".
bool SignedFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, std::int64_t min,
                       std::int64_t max, std::string_view typeName, std::int64_t& out);
// Unsigned integers with limit max; `typeName` is "uint8" to "uint64".
bool UnsignedFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                         std::uint64_t max, std::string_view typeName, std::uint64_t& out);
// float or double with limits [lowest, max]; a NaN passes.
bool FloatFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, double lowest,
                      double max, std::string_view typeName, double& out);
// A String's text, or an Enum's enumerator name when the registry knows the pair.
bool StringFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                       const TypeRegistry& registry, std::string& out);
// A Blob's bytes; no other kind converts.
bool BlobFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, BindingBlob& out);
// An enumerator of `enumeration` by name or value; a null enumeration was never registered.
bool EnumFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                     const TypeRecord* enumeration, std::int32_t& out);

}  // namespace vclient
