// FormatPositional: the type-safe printf that builds the system's messages.
//
// A format mixes ordinary printf conversions ("%d", "%-8s", "%*d") with references to
// arguments by number: "%1" formats the first argument with its type's default conversion
// (an integer in decimal, a double with "g", a text as is), "%2$08X" applies a printf
// conversion to the second. Conversions the argument's type does not allow fall back to its
// default, so a message never reads a value as the wrong type:
//
//   Format("Index %1 is out of range", index);
//   Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
//          name, pluginVersion, coreVersion);
//
// Output never exceeds the buffer: at most size - 1 characters and a terminator. Formatting
// stops early, keeping what was written, at a conversion longer than 60 characters, at an
// ordinary conversion or "*" that would take an argument beyond `count`, and at a "*" whose
// argument cannot be read as an integer. FormatPositional itself allocates nothing.
#pragma once

#include <array>        // the argument list of Format
#include <cstddef>      // std::size_t
#include <string>       // formatted messages
#include <string_view>  // formats of the convenience functions

#include "util/format_argument.h"  // FormatArgument

namespace vclient {

// The buffer size the system formats messages into; messages have at most 4095 characters.
inline constexpr std::size_t kMessageBufferSize = 4096;

// Formats into `buffer` (when size > 0) and returns the number of characters written, not
// counting the terminator. A null format formats as an empty one.
std::size_t FormatPositional(char* buffer, std::size_t size, const char* format,
                             const FormatArgument* arguments, std::size_t count) noexcept;

// FormatPositional into a kMessageBufferSize buffer, returned as a string. The format ends at
// its first zero character.
[[nodiscard]] std::string FormatToString(std::string_view format, const FormatArgument* arguments,
                                         std::size_t count);

template <class... A>
[[nodiscard]] std::string Format(std::string_view format, const A&... args) {
    const std::array<FormatArgument, sizeof...(A)> arguments{FormatArgument(args)...};
    return FormatToString(format, arguments.data(), arguments.size());
}

}  // namespace vclient
