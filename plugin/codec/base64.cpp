#include "codec/base64.h"

#include <cstddef>

namespace vclient {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[nodiscard]] char Sextet(std::uint32_t group, int shift) noexcept {
    return kAlphabet[(group >> shift) & 0x3Fu];
}

}  // namespace

void AppendBase64(std::span<const std::uint8_t> bytes, std::string& out) {
    const std::size_t whole = bytes.size() / 3 * 3;
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char* cursor = out.data() + start;
    for (std::size_t i = 0; i < whole; i += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        *cursor++ = Sextet(group, 18);
        *cursor++ = Sextet(group, 12);
        *cursor++ = Sextet(group, 6);
        *cursor++ = Sextet(group, 0);
    }
    const std::size_t rest = bytes.size() - whole;
    if (rest == 0) {
        return;
    }
    // The last one or two bytes: the missing bits are zero, the missing characters '='.
    std::uint32_t group = std::uint32_t{bytes[whole]} << 16;
    if (rest == 2) {
        group |= std::uint32_t{bytes[whole + 1]} << 8;
    }
    *cursor++ = Sextet(group, 18);
    *cursor++ = Sextet(group, 12);
    *cursor++ = rest == 2 ? Sextet(group, 6) : '=';
    *cursor = '=';
}

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
    std::string text;
    AppendBase64(bytes, text);
    return text;
}

}  // namespace vclient
