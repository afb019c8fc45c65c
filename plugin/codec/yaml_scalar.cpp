#include "codec/yaml_scalar.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>

namespace vclient {
namespace {

// The name under which tagged conversions report, in place of a field name.
constexpr std::string_view kValueName = "yaml";

constexpr std::array<std::string_view, 5> kNullWords = {"", "~", "null", "Null", "NULL"};
constexpr std::array<std::string_view, 11> kTrueWords = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                         "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::array<std::string_view, 11> kFalseWords = {"false", "False", "FALSE", "n",   "N",  "no",
                                                          "No",    "NO",    "off",   "Off", "OFF"};

// 2^63 and 2^64, exactly representable as doubles.
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

template <std::size_t N>
bool IsOneOf(const std::array<std::string_view, N>& words, std::string_view text) noexcept {
    return std::find(words.begin(), words.end(), text) != words.end();
}

std::string IncorrectFormat(std::string_view text, std::string_view typeName) {
    return "Value " + std::string(text) + " for '" + std::string(kValueName) + "' of type " +
           std::string(typeName) + " is in an incorrect format";
}

std::string OutOfRange(std::string_view text, std::string_view typeName) {
    return "Value " + std::string(text) + " for '" + std::string(kValueName) + "' of type " +
           std::string(typeName) + " is out of range";
}

// strtoll/strtoull skip leading white space and then accept a sign, so the sign that
// decides between the signed and unsigned reading is the first character after it.
bool StartsNegative(const YamlScalar& scalar) noexcept {
    std::string_view text(scalar.text, scalar.length);
    const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
    return first != std::string_view::npos && text[first] == '-';
}

bool ConvertInteger(const YamlScalar& scalar, BindingProperty& target, std::string& error) {
    const std::string_view text(scalar.text, scalar.length);
    char* end = nullptr;
    errno = 0;
    if (StartsNegative(scalar)) {
        const long long value = std::strtoll(scalar.text, &end, 0);
        if (end != scalar.text + scalar.length) {
            error = IncorrectFormat(text, "int64_t");
            return false;
        }
        if (errno == ERANGE) {
            error = OutOfRange(text, "int64_t");
            return false;
        }
        target.SetSigned(value);
        return true;
    }
    const unsigned long long value = std::strtoull(scalar.text, &end, 0);
    if (end != scalar.text + scalar.length) {
        error = IncorrectFormat(text, "uint64_t");
        return false;
    }
    if (errno == ERANGE) {
        error = OutOfRange(text, "uint64_t");
        return false;
    }
    target.SetUnsigned(value);
    return true;
}

bool ConvertFloat(const YamlScalar& scalar, BindingProperty& target, std::string& error) {
    const std::string_view text(scalar.text, scalar.length);
    char* end = nullptr;
    const double value = std::strtod(scalar.text, &end);
    if (end != scalar.text + scalar.length) {
        error = IncorrectFormat(text, "double");
        return false;
    }
    if (value < -DBL_MAX || value > DBL_MAX) {  // overflow to infinity; NaN passes
        error = OutOfRange(text, "double");
        return false;
    }
    target.SetFloat(value);
    return true;
}

bool TypeTagged(const YamlScalar& scalar, BindingProperty& target, std::string& error) {
    const std::string_view text(scalar.text, scalar.length);
    if (scalar.tag == kYamlStrTag) {
        target.SetString(text);
        return true;
    }
    if (scalar.tag == kYamlIntTag) {
        return ConvertInteger(scalar, target, error);
    }
    if (scalar.tag == kYamlFloatTag) {
        return ConvertFloat(scalar, target, error);
    }
    if (scalar.tag == kYamlBoolTag) {
        if (!IsYamlTrueWord(text) && !IsYamlFalseWord(text)) {
            error = IncorrectFormat(text, "bool");
            return false;
        }
        target.SetBool(IsYamlTrueWord(text));
        return true;
    }
    error = "Unsupported YAML tag '" + std::string(scalar.tag) + "'.";
    return false;
}

// An optional sign followed by decimal digits only: such a text is read as an integer
// directly, since a double would round it beyond 2^53.
bool IsDecimalInteger(std::string_view text) noexcept {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An integral plain number: exact for decimal texts, else the double's value when it fits
// the 64-bit range; beyond it the number stays a Float.
void SetIntegral(const YamlScalar& scalar, double value, BindingProperty& target) {
    const bool negative = value < 0;
    if (IsDecimalInteger(std::string_view(scalar.text, scalar.length))) {
        errno = 0;
        const long long exactSigned = negative ? std::strtoll(scalar.text, nullptr, 10) : 0;
        const unsigned long long exactUnsigned = negative ? 0 : std::strtoull(scalar.text, nullptr, 10);
        if (errno == ERANGE) {
            target.SetFloat(value);
        } else if (negative) {
            target.SetSigned(exactSigned);
        } else {
            target.SetUnsigned(exactUnsigned);
        }
        return;
    }
    if (negative ? value < -kTwoTo63 : value >= kTwoTo64) {
        target.SetFloat(value);
    } else if (negative) {
        target.SetSigned(static_cast<std::int64_t>(value));
    } else {
        target.SetUnsigned(static_cast<std::uint64_t>(value));
    }
}

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// The end of the run of decimal digits from `at`.
std::size_t SkipDigits(std::string_view text, std::size_t at) noexcept {
    while (at < text.size() && IsDigit(text[at])) {
        ++at;
    }
    return at;
}

// The plain numbers most documents hold, read without strtod. An integer of an optional
// minus and up to 18 digits is exact as it stands: set here, as the general path would
// set it. A decimal fraction "-?digits(.digits)?([eE][+-]?digits)?" is read by
// std::from_chars, which rounds correctly as strtod does, into `value` (false for any
// other text, or one out of the double's range: the caller then asks strtod).
enum class SimpleNumber { None, Integer, Decimal };
SimpleNumber ReadSimpleNumber(std::string_view text, BindingProperty& target, double& value) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::size_t first = negative ? 1 : 0;
    std::size_t at = SkipDigits(text, first);
    if (at == first) {
        return SimpleNumber::None;
    }
    if (at == text.size() && at - first <= 18) {
        std::uint64_t magnitude = 0;
        for (std::size_t i = first; i < at; ++i) {
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        }
        if (negative && magnitude != 0) {
            target.SetSigned(-static_cast<std::int64_t>(magnitude));
        } else {
            target.SetUnsigned(magnitude);  // "-0" reads as 0, as strtod's -0.0 does
        }
        return SimpleNumber::Integer;
    }
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = at + 1;
        at = SkipDigits(text, fraction);
        if (at == fraction) {
            return SimpleNumber::None;
        }
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            ++at;
        }
        const std::size_t exponent = at;
        at = SkipDigits(text, exponent);
        if (at == exponent) {
            return SimpleNumber::None;
        }
    }
    if (at != text.size()) {
        return SimpleNumber::None;
    }
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end ? SimpleNumber::Decimal : SimpleNumber::None;
}

// A plain text that strtod reads whole; false when it is not a number.
bool TypePlainNumber(const YamlScalar& scalar, BindingProperty& target) {
    if (scalar.length == 0) {
        return false;
    }
    double value = 0.0;
    const SimpleNumber simple = ReadSimpleNumber(std::string_view(scalar.text, scalar.length), target, value);
    if (simple == SimpleNumber::Integer) {
        return true;
    }
    if (simple == SimpleNumber::None) {
        char* end = nullptr;
        value = std::strtod(scalar.text, &end);
        if (end != scalar.text + scalar.length || (std::isinf(value) && value > 0)) {
            return false;
        }
    }
    double whole = 0.0;
    if (std::isnan(value) || std::modf(value, &whole) != 0.0) {
        target.SetFloat(value);
        return true;
    }
    SetIntegral(scalar, value, target);
    return true;
}

}  // namespace

bool IsYamlNullWord(std::string_view text) noexcept {
    return IsOneOf(kNullWords, text);
}

bool IsYamlTrueWord(std::string_view text) noexcept {
    return IsOneOf(kTrueWords, text);
}

bool IsYamlFalseWord(std::string_view text) noexcept {
    return IsOneOf(kFalseWords, text);
}

bool TypeYamlScalar(const YamlScalar& scalar, BindingProperty& target, std::string& error) {
    const std::string_view text(scalar.text, scalar.length);
    if (!scalar.tag.empty()) {
        return TypeTagged(scalar, target, error);
    }
    if (scalar.quoted) {
        target.SetString(text);
        return true;
    }
    if (IsYamlNullWord(text)) {
        target.Clear();
        return true;
    }
    if (TypePlainNumber(scalar, target)) {
        return true;
    }
    if (IsYamlTrueWord(text) || IsYamlFalseWord(text)) {
        target.SetBool(IsYamlTrueWord(text));
        return true;
    }
    target.SetString(text);
    return true;
}

}  // namespace vclient
