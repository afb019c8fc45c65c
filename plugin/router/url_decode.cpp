#include "router/url_decode.h"

namespace vclient {
namespace {

constexpr int kNotHex = -1;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return kNotHex;
}

// The byte of the escape starting at text[at] (a "%"), or kNotHex when there is none.
int EscapedByte(std::string_view text, std::size_t at) {
    if (text.size() - at < 3) return kNotHex;
    const int high = HexValue(text[at + 1]);
    const int low = HexValue(text[at + 2]);
    if (high == kNotHex || low == kNotHex) return kNotHex;
    return high * 16 + low;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
            continue;
        }
        const int byte = c == '%' ? EscapedByte(text, i) : kNotHex;
        if (byte == kNotHex) {
            decoded += c;
            continue;
        }
        decoded += static_cast<char>(static_cast<unsigned char>(byte));
        i += 2;
    }
    return decoded;
}

}  // namespace vclient
