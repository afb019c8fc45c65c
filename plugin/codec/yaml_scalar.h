// How the YAML reader gives a scalar its kind. libyaml hands over a scalar's text, its tag
// and its style; this file decides what BindingProperty it becomes.
//
// - Tagged: "tag:yaml.org,2002:str" is a String; ":int" is Unsigned (Signed when the text
//   starts with "-"), parsed in base 0 (decimal, "0x" hexadecimal, leading-0 octal);
//   ":float" is a Float within the double range; ":bool" takes the true and false words
//   below, and any other text is an error. Any other tag is an error.
// - Quoted (single or double) and untagged: a String of the whole text.
// - Plain and untagged: a null word gives Empty; a text that C strtod reads whole is a
//   number (except one that overflows to positive infinity): Float when it has a fraction
//   (or is NaN), else Signed when negative and Unsigned when not, so 1, 1.0, 1e3 and 0x10
//   are all Unsigned; a true or false word gives Bool; anything else is a String.
//   Integral numbers beyond the 64-bit ranges stay Float, and decimal integers are read
//   exactly rather than through a double.
//
// Words (exact case): null "", "~", "null", "Null", "NULL"; true "true", "True", "TRUE",
// "y", "Y", "yes", "Yes", "YES", "on", "On", "ON"; false "false", "False", "FALSE", "n",
// "N", "no", "No", "NO", "off", "Off", "OFF".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "value/binding_property.h"

namespace vclient {

inline constexpr std::string_view kYamlStrTag = "tag:yaml.org,2002:str";
inline constexpr std::string_view kYamlIntTag = "tag:yaml.org,2002:int";
inline constexpr std::string_view kYamlFloatTag = "tag:yaml.org,2002:float";
inline constexpr std::string_view kYamlBoolTag = "tag:yaml.org,2002:bool";

struct YamlScalar {
    std::string_view tag;  // empty when the scalar has no tag
    // The whole text, followed by a zero byte (as libyaml hands it over); it may itself
    // contain zero bytes.
    const char* text = "";
    std::size_t length = 0;
    bool quoted = false;  // single- or double-quoted; block scalars are not
};

[[nodiscard]] bool IsYamlNullWord(std::string_view text) noexcept;
[[nodiscard]] bool IsYamlTrueWord(std::string_view text) noexcept;
[[nodiscard]] bool IsYamlFalseWord(std::string_view text) noexcept;

// Sets `target` to the scalar's value. On failure leaves `target` alone, puts the message
// into `error` and returns false.
[[nodiscard]] bool TypeYamlScalar(const YamlScalar& scalar, BindingProperty& target, std::string& error);

}  // namespace vclient
