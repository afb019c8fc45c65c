// BindingToJson: the JSON text of a BindingProperty tree.
//
// Kinds map to JSON as follows: Empty is null (an Empty root gives the empty text, not
// "null"); Bool, Signed and Unsigned as literals and integers; Float as the shortest
// decimal that reads back as the same double, integral values with ".0" (0.0, -0.0, 1.0),
// and NaN or infinite values as null so that the text stays valid JSON; String as a JSON
// string (quotation mark, backslash and control characters escaped, "\u00XX" with upper
// case digits, solidus and bytes above 0x7F unchanged); Blob as its Base64 text; Enum as
// the enumerator's name when `registry` knows the pair, otherwise its number; Collection
// as an array; Structure as an object with members in name order.
//
// Layout: a null or empty `lineBreak` gives the compact layout without any white space.
// Any other text gives the indented layout (4 spaces per level, one element or member per
// line, ": " after member names, empty arrays and objects as [] and {}); when `lineBreak`
// is not exactly "\n", every line feed of the layout is replaced by it ("\r\n" gives
// Windows line ends). Line feeds inside strings are escaped and so never replaced.
//
// Writing never fails and never recurses, whatever the depth of the tree. Thread-safe as
// long as the tree is not changed meanwhile.
#pragma once

#include <string>

#include "value/binding_property.h"
#include "binding/enum_names.h"

namespace vclient {

[[nodiscard]] std::string BindingToJson(const BindingProperty& value, const EnumNames* registry = nullptr,
                                        const char* lineBreak = nullptr);

}  // namespace vclient
