// The user-facing texts of native conversion, filled with Format ("%1", "%2", "%3" in
// argument order). Clients and tests compare them byte for byte.
#pragma once

#include <string_view>

namespace vclient::messages {

// %1 the name.
inline constexpr std::string_view kValueRequired = "A value for '%1' is required.";
// %1 the name, %2 the input's kind.
inline constexpr std::string_view kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
// %1 the text, %2 the name.
inline constexpr std::string_view kBoolIncorrectFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\".";
// %1 the text, %2 the name, %3 the type name.
inline constexpr std::string_view kIncorrectFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
// %1 the value as text, %2 the name, %3 the type name.
inline constexpr std::string_view kOutOfRange = "Value %1 for '%2' of type %3 is out of range";
// %1 the name, %2 the type name, %3 the input's kind.
inline constexpr std::string_view kInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
// %1 the text or number, %2 the enumeration's name, %3 the name.
inline constexpr std::string_view kNotAnEnumerator = "%1 is not a valid %2 enumeration value for '%3'.";
// %1 the name, %2 the input's kind.
inline constexpr std::string_view kEnumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
// %1 the number, %2 the name.
inline constexpr std::string_view kUnknownEnumValue = "%1 is not a valid enumeration value for '%2'.";
// %1 the name.
inline constexpr std::string_view kNotAString = "Couldn't assign value to '%1' because the input is not a string.";
// %1 the name.
inline constexpr std::string_view kUnregisteredInput =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
// %1 the name, %2 the record's name.
inline constexpr std::string_view kNotAStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
// %1 the name, %2 the record's name, %3 the missing field.
inline constexpr std::string_view kMissingRequiredField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
// %1 the name.
inline constexpr std::string_view kNotACollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr std::string_view kUnregisteredNative =
    "Couldn't convert native value because it's an unregistered structure.";

}  // namespace vclient::messages
