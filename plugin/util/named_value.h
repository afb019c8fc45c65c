// Typed values recorded under names: what FormatNamed stores for each placeholder of a
// message template, and what a failure carries beside its message. A value is a boolean, a
// signed or unsigned 64-bit integer, a double or a text; narrower numbers widen to these.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace vclient {

using NamedValue = std::variant<bool, std::int64_t, std::uint64_t, double, std::string>;

// Names to values, ordered by name so that listings are stable.
using PropertyMap = std::map<std::string, NamedValue>;

}  // namespace vclient
