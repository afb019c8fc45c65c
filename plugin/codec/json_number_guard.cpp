#include "codec/json_number_guard.h"

#include <algorithm>
#include <cstring>

namespace vclient {

namespace {

// The parser stops accumulating a negative exponent once it reaches this value.
constexpr int kExponentCeiling = 214748364;
constexpr std::size_t kHugeExponentDigits = 9;  // 99,999,999 is still below the ceiling

[[nodiscard]] bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

[[nodiscard]] bool IsNumberCharacter(char c) noexcept {
    return IsDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

[[nodiscard]] std::size_t DigitsFrom(std::string_view text, std::size_t at, std::size_t enough) noexcept {
    std::size_t count = 0;
    while (at + count < text.size() && count < enough && IsDigit(text[at + count])) {
        ++count;
    }
    return count;
}

}  // namespace

bool MayHoldHugeNegativeExponent(std::string_view text) noexcept {
    return MayHoldHugeNegativeExponent(text, 0, text.size());
}

bool MayHoldHugeNegativeExponent(std::string_view text, std::size_t from, std::size_t to) noexcept {
    const char* const begin = text.data();
    const char* const end = begin + std::min(to, text.size());
    const char* cursor = begin + std::min(from, text.size());
    while (cursor < end) {
        const void* found = std::memchr(cursor, '-', static_cast<std::size_t>(end - cursor));
        if (found == nullptr) {
            return false;
        }
        const char* minus = static_cast<const char*>(found);
        const std::size_t at = static_cast<std::size_t>(minus - begin);
        if (at > 0 && (minus[-1] == 'e' || minus[-1] == 'E') &&
            DigitsFrom(text, at + 1, kHugeExponentDigits) == kHugeExponentDigits) {
            return true;
        }
        cursor = minus + 1;
    }
    return false;
}

bool IsHugeNegativeExponent(std::string_view number) noexcept {
    const std::size_t mark = number.find_first_of("eE");
    if (mark == std::string_view::npos || mark + 1 >= number.size() || number[mark + 1] != '-') {
        return false;
    }
    int exponent = 0;
    for (std::size_t i = mark + 2; i < number.size() && IsDigit(number[i]); ++i) {
        exponent = exponent * 10 + (number[i] - '0');
        if (exponent >= kExponentCeiling) {
            return true;
        }
    }
    return false;
}

// Any run of kRunawayDigitRun digits covers one of the probed positions, which lie at
// most that far apart, so ordinary text is examined at one byte in a hundred million.
std::size_t FindRunawayNumber(std::string_view text) noexcept {
    std::size_t probe = kRunawayDigitRun - 1;
    while (probe < text.size()) {
        if (!IsDigit(text[probe])) {
            probe += kRunawayDigitRun;
            continue;
        }
        std::size_t first = probe;
        while (first > 0 && IsDigit(text[first - 1])) {
            --first;
        }
        std::size_t end = probe + 1;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        if (end - first >= kRunawayDigitRun) {
            while (first > 0 && IsNumberCharacter(text[first - 1])) {
                --first;
            }
            return first;
        }
        probe = end + kRunawayDigitRun;  // a longer run would have to start after `end`
    }
    return std::string_view::npos;
}

}  // namespace vclient
