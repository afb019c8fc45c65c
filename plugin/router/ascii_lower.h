// AsciiLower: the router's one lower-casing of names, method words and media types. It
// changes only 'A' to 'Z': the C library's tolower depends on the locale and is undefined
// for negative chars, while these texts must compare the same everywhere.
#pragma once

namespace vclient {

[[nodiscard]] constexpr char AsciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace vclient
