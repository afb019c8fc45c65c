#include "binding/scalar_conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "binding/conversion_messages.h"
#include "binding/type_registry.h"
#include "util/format_positional.h"

namespace vclient {

namespace {

enum class ParseOutcome { kOk, kIncorrectFormat, kOutOfRange };

// The whole text as a C integer literal (decimal, "0x" hexadecimal, leading-0 octal). An
// empty text is 0; left-over characters, an embedded zero included, are a wrong format.
ParseOutcome ParseSignedText(const std::string& text, std::int64_t& value) {
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (end != text.c_str() + text.size()) return ParseOutcome::kIncorrectFormat;
    if (errno == ERANGE) return ParseOutcome::kOutOfRange;
    value = parsed;
    return ParseOutcome::kOk;
}

// As ParseSignedText for unsigned numbers. strtoull accepts a sign and negates, so a text
// that begins with "-" (after the blanks strtoull skips) is out of range even when parsed.
ParseOutcome ParseUnsignedText(const std::string& text, std::uint64_t& value) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (end != text.c_str() + text.size()) return ParseOutcome::kIncorrectFormat;
    const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
    if (errno == ERANGE || (first != std::string::npos && text[first] == '-')) return ParseOutcome::kOutOfRange;
    value = parsed;
    return ParseOutcome::kOk;
}

ParseOutcome ParseDoubleText(const std::string& text, double& value) {
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return ParseOutcome::kIncorrectFormat;
    // An underflow also sets ERANGE; only an overflow is out of range.
    if (errno == ERANGE && std::isinf(parsed)) return ParseOutcome::kOutOfRange;
    value = parsed;
    return ParseOutcome::kOk;
}

template <class Number>
bool FailOutOfRange(BindingResult& result, const Number& value, std::string_view name, std::string_view typeName) {
    result.Fail(Format(messages::kOutOfRange, value, name, typeName));
    return false;
}

bool FailRequired(BindingResult& result, std::string_view name) {
    result.Fail(Format(messages::kValueRequired, name));
    return false;
}

bool FailInvalidType(BindingResult& result, const BindingProperty& input, std::string_view name,
                     std::string_view typeName) {
    result.Fail(Format(messages::kInvalidType, name, typeName, KindName(input.Kind())));
    return false;
}

// Reports a failed parse of `text`; true when the parse succeeded.
bool CheckParse(BindingResult& result, ParseOutcome outcome, const std::string& text, std::string_view name,
                std::string_view typeName) {
    if (outcome == ParseOutcome::kIncorrectFormat) {
        result.Fail(Format(messages::kIncorrectFormat, text, name, typeName));
        return false;
    }
    if (outcome == ParseOutcome::kOutOfRange) return FailOutOfRange(result, text, name, typeName);
    return true;
}

// A double is accepted from `lowest` up to, but not including, max + 1, and then truncated
// toward zero: 255.9 is a uint8 255, -0.5 is no uint8. The upper bound is exclusive so
// that 2^63 never reaches a signed 64-bit conversion.
bool FloatFitsInteger(double value, double lowest, double maxPlusOne) noexcept {
    return value >= lowest && value < maxPlusOne;
}

bool NumberToEnum(BindingResult& result, std::int64_t value, const std::string& shown, std::string_view name,
                  const TypeRecord& enumeration, std::int32_t& out) {
    const EnumeratorRecord* enumerator = enumeration.FindEnumerator(value);
    if (enumerator == nullptr) {
        result.Fail(Format(messages::kNotAnEnumerator, shown, enumeration.name, name));
        return false;
    }
    out = enumerator->value;
    return true;
}

bool TextToEnum(BindingResult& result, const std::string& text, std::string_view name,
                const TypeRecord& enumeration, std::int32_t& out) {
    const auto named = enumeration.enumerators.find(text);
    if (named != enumeration.enumerators.end()) {
        out = named->second.value;
        return true;
    }
    std::int64_t number = 0;
    if (ParseSignedText(text, number) != ParseOutcome::kOk) {
        result.Fail(Format(messages::kNotAnEnumerator, text, enumeration.name, name));
        return false;
    }
    return NumberToEnum(result, number, text, name, enumeration, out);
}

}  // namespace

bool BoolFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, bool& out) {
    switch (input.Kind()) {
        case BindingPropertyType::Empty:
            return FailRequired(result, name);
        case BindingPropertyType::Bool:
            out = input.GetBool();
            return true;
        case BindingPropertyType::String: {
            const std::string& text = input.GetString();
            if (text == "true" || text == "1") {
                out = true;
                return true;
            }
            if (text == "false" || text == "0") {
                out = false;
                return true;
            }
            result.Fail(Format(messages::kBoolIncorrectFormat, text, name));
            return false;
        }
        default:
            result.Fail(Format(messages::kBoolInvalidType, name, KindName(input.Kind())));
            return false;
    }
}

bool SignedFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, std::int64_t min,
                       std::int64_t max, std::string_view typeName, std::int64_t& out) {
    switch (input.Kind()) {
        case BindingPropertyType::Empty:
            return FailRequired(result, name);
        case BindingPropertyType::Signed:
        case BindingPropertyType::Enum: {
            const std::int64_t value =
                input.Kind() == BindingPropertyType::Signed ? input.GetSigned() : input.GetEnum().value;
            if (value < min || value > max) return FailOutOfRange(result, value, name, typeName);
            out = value;
            return true;
        }
        case BindingPropertyType::Unsigned: {
            const std::uint64_t value = input.GetUnsigned();
            if (value > static_cast<std::uint64_t>(max)) return FailOutOfRange(result, value, name, typeName);
            out = static_cast<std::int64_t>(value);
            return true;
        }
        case BindingPropertyType::Float: {
            const double value = input.GetFloat();
            if (!FloatFitsInteger(value, static_cast<double>(min), static_cast<double>(max) + 1.0)) {
                return FailOutOfRange(result, value, name, typeName);
            }
            out = static_cast<std::int64_t>(value);
            return true;
        }
        case BindingPropertyType::String: {
            const std::string& text = input.GetString();
            std::int64_t value = 0;
            if (!CheckParse(result, ParseSignedText(text, value), text, name, typeName)) return false;
            if (value < min || value > max) return FailOutOfRange(result, text, name, typeName);
            out = value;
            return true;
        }
        default:
            return FailInvalidType(result, input, name, typeName);
    }
}

bool UnsignedFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                         std::uint64_t max, std::string_view typeName, std::uint64_t& out) {
    switch (input.Kind()) {
        case BindingPropertyType::Empty:
            return FailRequired(result, name);
        case BindingPropertyType::Signed:
        case BindingPropertyType::Enum: {
            const std::int64_t value =
                input.Kind() == BindingPropertyType::Signed ? input.GetSigned() : input.GetEnum().value;
            if (value < 0 || static_cast<std::uint64_t>(value) > max) {
                return FailOutOfRange(result, value, name, typeName);
            }
            out = static_cast<std::uint64_t>(value);
            return true;
        }
        case BindingPropertyType::Unsigned: {
            const std::uint64_t value = input.GetUnsigned();
            if (value > max) return FailOutOfRange(result, value, name, typeName);
            out = value;
            return true;
        }
        case BindingPropertyType::Float: {
            const double value = input.GetFloat();
            if (!FloatFitsInteger(value, 0.0, static_cast<double>(max) + 1.0)) {
                return FailOutOfRange(result, value, name, typeName);
            }
            out = static_cast<std::uint64_t>(value);
            return true;
        }
        case BindingPropertyType::String: {
            const std::string& text = input.GetString();
            std::uint64_t value = 0;
            if (!CheckParse(result, ParseUnsignedText(text, value), text, name, typeName)) return false;
            if (value > max) return FailOutOfRange(result, text, name, typeName);
            out = value;
            return true;
        }
        default:
            return FailInvalidType(result, input, name, typeName);
    }
}

bool FloatFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, double lowest,
                      double max, std::string_view typeName, double& out) {
    double value = 0.0;
    switch (input.Kind()) {
        case BindingPropertyType::Empty:
            return FailRequired(result, name);
        case BindingPropertyType::Signed:
            value = static_cast<double>(input.GetSigned());
            break;
        case BindingPropertyType::Unsigned:
            value = static_cast<double>(input.GetUnsigned());
            break;
        case BindingPropertyType::Enum:
            value = input.GetEnum().value;
            break;
        case BindingPropertyType::Float:
            value = input.GetFloat();
            break;
        case BindingPropertyType::String: {
            const std::string& text = input.GetString();
            if (!CheckParse(result, ParseDoubleText(text, value), text, name, typeName)) return false;
            if (value < lowest || value > max) return FailOutOfRange(result, text, name, typeName);
            out = value;
            return true;
        }
        default:
            return FailInvalidType(result, input, name, typeName);
    }
    // NaN compares false both ways and passes.
    if (value < lowest || value > max) return FailOutOfRange(result, value, name, typeName);
    out = value;
    return true;
}

bool StringFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                       const TypeRegistry& registry, std::string& out) {
    switch (input.Kind()) {
        case BindingPropertyType::Empty:
            return FailRequired(result, name);
        case BindingPropertyType::String:
            out = input.GetString();
            return true;
        case BindingPropertyType::Enum: {
            const BindingEnumPair pair = input.GetEnum();
            const std::string* enumerator =
                registry.FindEnumeratorName(static_cast<std::uint32_t>(pair.typeKey), pair.value);
            if (enumerator == nullptr) {
                result.Fail(Format(messages::kUnknownEnumValue, pair.value, name));
                return false;
            }
            out = *enumerator;
            return true;
        }
        default:
            result.Fail(Format(messages::kNotAString, name));
            return false;
    }
}

bool BlobFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name, BindingBlob& out) {
    if (input.IsEmpty()) return FailRequired(result, name);
    if (input.Kind() != BindingPropertyType::Blob) return FailInvalidType(result, input, name, "blob");
    out = input.GetBlob();
    return true;
}

bool EnumFromBinding(BindingResult& result, const BindingProperty& input, std::string_view name,
                     const TypeRecord* enumeration, std::int32_t& out) {
    if (input.IsEmpty()) return FailRequired(result, name);
    if (enumeration == nullptr || !enumeration->isEnumeration) {
        result.Fail(Format(messages::kUnregisteredInput, name));
        return false;
    }
    switch (input.Kind()) {
        case BindingPropertyType::String:
            return TextToEnum(result, input.GetString(), name, *enumeration, out);
        case BindingPropertyType::Signed: {
            const std::int64_t value = input.GetSigned();
            return NumberToEnum(result, value, Format("%1", value), name, *enumeration, out);
        }
        case BindingPropertyType::Unsigned: {
            const std::uint64_t value = input.GetUnsigned();
            // Above the signed range it cannot be an enumerator; -1 is never its stand-in.
            const std::int64_t compared = value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                ? std::numeric_limits<std::int64_t>::min()
                : static_cast<std::int64_t>(value);
            return NumberToEnum(result, compared, Format("%1", value), name, *enumeration, out);
        }
        case BindingPropertyType::Enum: {
            const std::int32_t value = input.GetEnum().value;
            return NumberToEnum(result, value, Format("%1", value), name, *enumeration, out);
        }
        default:
            result.Fail(Format(messages::kEnumInvalidType, name, KindName(input.Kind())));
            return false;
    }
}

}  // namespace vclient
