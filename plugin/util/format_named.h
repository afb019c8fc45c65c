// FormatNamed: message templates with named placeholders, for failures that carry both a
// readable message and its values.
//
//   PropertyMap properties;
//   FormatNamedMessage("Error response for {method} {url}: {error}", properties,
//                      method, url, error);
//   // -> "Error response for GET /qiv-login/v1/session: Not found",
//   //    properties = {error: "Not found", method: "GET", url: "/qiv-login/v1/session"}
//
// FormatNamed turns a template into a positional format for FormatPositional and records
// each placeholder's argument under its name. Placeholders and printf conversions are numbered
// from 1 in the order they appear; the n-th takes the n-th argument.
//
// Template syntax: "{{" is a literal "{", "}}" (or a lone "}") a literal "}", "%%" a literal
// "%"; other printf conversions are copied as they are. A placeholder is
//   "{" ["#"] name [":" printf-format] ["@" option] ["?" alternative] "}"
// with "!" anywhere inside making it silent and "\" taking the next character literally.
//   "#"            typed: the name gets "_bool", "_int", "_float" or "_str" by the value's
//                  type unless it already ends in one of those, "_long" or "_time".
//   ":format"      the reference becomes "%N$format".
//   "@str"         records the value as text ("true"/"false", decimal, "%f" for doubles);
//   "@hex"         records an integer as 16 upper-case hex digits and formats it "016llX".
//   "?text"        when the value is false, zero or an empty text, writes the text instead
//                  of a reference and records nothing.
//   "!"            records the value but writes nothing, and drops the whitespace before it.
// A placeholder without an argument (or not closed) stays in the message as written.
#pragma once

#include <array>        // the argument list of FormatNamedMessage
#include <cstddef>      // std::size_t
#include <string>       // formats and messages
#include <string_view>  // templates

#include "util/format_argument.h"    // FormatArgument
#include "util/format_positional.h"  // FormatToString, used by FormatNamedMessage
#include "util/named_value.h"        // PropertyMap

namespace vclient {

// Returns the positional format of `templ` and adds the named values to `properties`
// (replacing values already stored under the same names).
[[nodiscard]] std::string FormatNamed(std::string_view templ, const FormatArgument* arguments,
                                      std::size_t count, PropertyMap& properties);

// FormatNamed, then FormatPositional of the result with the same arguments.
template <class... A>
[[nodiscard]] std::string FormatNamedMessage(std::string_view templ, PropertyMap& properties,
                                             const A&... args) {
    const std::array<FormatArgument, sizeof...(A)> arguments{FormatArgument(args)...};
    const std::string format = FormatNamed(templ, arguments.data(), arguments.size(), properties);
    return FormatToString(format, arguments.data(), arguments.size());
}

}  // namespace vclient
