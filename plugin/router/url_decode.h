// UrlDecode: the decoding of path variables and query keys and values.
//
// "+" becomes a blank and "%" followed by two hexadecimal digits (either case) becomes the
// byte they spell; every other byte is copied. A "%" that does not start such an escape
// (fewer than two characters after it, or a non-hexadecimal character among those two) is
// copied as an ordinary character and decoding goes on with the character after it, so
// "%zz" stays "%zz", "100%" stays "100%" and "%%41" is "%A". Decoded bytes are not checked
// for UTF-8; "%00" yields a zero byte inside the returned string.
#pragma once

#include <string>
#include <string_view>

namespace vclient {

[[nodiscard]] std::string UrlDecode(std::string_view text);

}  // namespace vclient
