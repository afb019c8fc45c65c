#include "util/format_argument.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "util/plugin_api_version.h"

namespace vclient {
namespace {

// Widths and precisions are capped here: beyond this no buffer the system uses shows a
// difference, and the C runtime would otherwise pad or allocate without bound.
constexpr int kMaxField = 1 << 16;

bool Contains(const char* set, char c) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The flags C defines for each conversion; any other combination is undefined behaviour.
bool FlagAllowed(unsigned flag, char conversion) {
    switch (flag) {
        case PrintfConversion::kLeft: return true;
        case PrintfConversion::kAlternate: return Contains("oxXaAeEfFgG", conversion);
        case PrintfConversion::kZero: return Contains("diouxXaAeEfFgG", conversion);
        default: return Contains("diaAeEfFgG", conversion);  // "+" and " ": signed conversions
    }
}

char* AppendNumber(char* at, char* end, int number) {
    return std::to_chars(at, end, std::min(number, kMaxField)).ptr;
}

// The C format for one conversion: "%", the flags valid for it, width, precision, the length
// that matches the value passed, the conversion character. `starPrecision` writes ".*".
struct CFormat {
    char text[40];
};

CFormat BuildFormat(const PrintfConversion& conversion, const char* length,
                    bool starPrecision = false) {
    static constexpr struct {
        unsigned flag;
        char text;
    } kFlags[] = {
        {PrintfConversion::kLeft, '-'},  {PrintfConversion::kSign, '+'},
        {PrintfConversion::kSpace, ' '}, {PrintfConversion::kAlternate, '#'},
        {PrintfConversion::kZero, '0'},
    };
    CFormat format{};
    char* at = format.text;
    char* const end = format.text + sizeof format.text;
    *at++ = '%';
    for (const auto& flag : kFlags) {
        if ((conversion.flags & flag.flag) != 0 && FlagAllowed(flag.flag, conversion.character))
            *at++ = flag.text;
    }
    if (conversion.width >= 0) at = AppendNumber(at, end, conversion.width);
    if (starPrecision) {
        *at++ = '.';
        *at++ = '*';
    } else if (conversion.precision >= 0 && conversion.character != 'c') {
        *at++ = '.';
        at = AppendNumber(at, end, conversion.precision);
    }
    while (*length != '\0') *at++ = *length++;
    *at++ = conversion.character;
    *at = '\0';
    return format;
}

std::size_t Written(int result, std::size_t size) {
    if (result < 0) return 0;
    return std::min(static_cast<std::size_t>(result), size - 1);
}

// The formats are built above from checked pieces, never taken from a caller.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class V>
std::size_t Print(char* out, std::size_t size, const CFormat& format, V value) {
    return Written(std::snprintf(out, size, format.text, value), size);
}

std::size_t PrintText(char* out, std::size_t size, const CFormat& format, int precision,
                      const char* text) {
    return Written(std::snprintf(out, size, format.text, precision, text), size);
}
#pragma GCC diagnostic pop

// ---- integers -----------------------------------------------------------------------------

template <class T>
constexpr bool kWide = sizeof(T) == 8;

template <class T>
std::size_t FormatInteger(char* out, std::size_t size, const PrintfConversion& conversion,
                          const void* value) {
    const T number = *static_cast<const T*>(value);
    if (conversion.character == 'c')
        return Print(out, size, BuildFormat(conversion, ""), static_cast<int>(number));
    const bool isSigned = conversion.character == 'd' || conversion.character == 'i';
    if constexpr (kWide<T>) {
        if (isSigned)
            return Print(out, size, BuildFormat(conversion, "ll"), static_cast<long long>(number));
        return Print(out, size, BuildFormat(conversion, "ll"),
                     static_cast<unsigned long long>(number));
    } else {
        // Narrow values reach the C runtime promoted to int, as they would through "...".
        if (isSigned)
            return Print(out, size, BuildFormat(conversion, ""), static_cast<int>(number));
        return Print(out, size, BuildFormat(conversion, ""),
                     static_cast<unsigned>(static_cast<int>(number)));
    }
}

// 64-bit values give their low 32 bits.
template <class T>
int ReadInteger(const void* value) {
    const T number = *static_cast<const T*>(value);
    if constexpr (kWide<T>) return static_cast<int>(static_cast<std::uint32_t>(number));
    return static_cast<int>(number);
}

template <class T>
NamedValue ReadNamedInteger(const void* value) {
    const T number = *static_cast<const T*>(value);
    if constexpr (std::is_same_v<T, bool>) return NamedValue(std::in_place_type<bool>, number);
    if constexpr (std::is_same_v<T, char> || std::is_signed_v<T>) {
        return NamedValue(std::in_place_type<std::int64_t>, number);
    }
    return NamedValue(std::in_place_type<std::uint64_t>, number);
}

template <class T>
constexpr const char* IntegerConversions() {
    if constexpr (std::is_same_v<T, char>) return "cdiouxX";
    if constexpr (std::is_same_v<T, bool> || std::is_signed_v<T>) return "dciouxX";
    return "ucdioxX";
}

// ---- doubles ------------------------------------------------------------------------------

template <class T>
std::size_t FormatReal(char* out, std::size_t size, const PrintfConversion& conversion,
                       const void* value) {
    return Print(out, size, BuildFormat(conversion, ""),
                 static_cast<double>(*static_cast<const T*>(value)));
}

template <class T>
NamedValue ReadNamedReal(const void* value) {
    return NamedValue(std::in_place_type<double>,
                      static_cast<double>(*static_cast<const T*>(value)));
}

template <class T>
constexpr FormatArgumentType MakeNumberType() {
    if constexpr (std::is_floating_point_v<T>) {
        return {&FormatReal<T>, nullptr, false, "gaefGAEF", &ReadNamedReal<T>};
    } else {
        return {&FormatInteger<T>, &ReadInteger<T>, true, IntegerConversions<T>(),
                &ReadNamedInteger<T>};
    }
}

template <class T>
constexpr FormatArgumentType kNumberType = MakeNumberType<T>();

// ---- texts --------------------------------------------------------------------------------

// The precision goes through "*" so that texts without a terminator (string views) and texts
// longer than kMaxField are bounded exactly by their length.
std::size_t FormatText(char* out, std::size_t size, const PrintfConversion& conversion,
                       std::string_view text) {
    PrintfConversion textConversion = conversion;
    textConversion.character = 's';
    std::size_t shown = text.size();
    if (conversion.precision >= 0)
        shown = std::min(shown, static_cast<std::size_t>(conversion.precision));
    const int precision = static_cast<int>(std::min<std::size_t>(shown, INT_MAX));
    const char* characters = text.data() != nullptr ? text.data() : "";
    return PrintText(out, size, BuildFormat(textConversion, "", true), precision, characters);
}

constexpr std::string_view kNullText = "(null)";

std::string_view CStringOf(const void* value) {
    return value == nullptr ? kNullText : std::string_view(static_cast<const char*>(value));
}

std::size_t FormatCString(char* out, std::size_t size, const PrintfConversion& conversion,
                          const void* value) {
    return FormatText(out, size, conversion, CStringOf(value));
}

NamedValue ReadNamedCString(const void* value) {
    if (value == nullptr) return NamedValue(std::in_place_type<std::string>);
    return NamedValue(std::in_place_type<std::string>, static_cast<const char*>(value));
}

template <class S>
std::size_t FormatStringObject(char* out, std::size_t size, const PrintfConversion& conversion,
                               const void* value) {
    return FormatText(out, size, conversion, std::string_view(*static_cast<const S*>(value)));
}

template <class S>
NamedValue ReadNamedStringObject(const void* value) {
    return NamedValue(std::in_place_type<std::string>, *static_cast<const S*>(value));
}

constexpr FormatArgumentType kCStringType = {&FormatCString, nullptr, false, "s",
                                             &ReadNamedCString};
constexpr FormatArgumentType kStdStringType = {&FormatStringObject<std::string>, nullptr, false,
                                               "s", &ReadNamedStringObject<std::string>};
constexpr FormatArgumentType kStringViewType = {&FormatStringObject<std::string_view>, nullptr,
                                                false, "s",
                                                &ReadNamedStringObject<std::string_view>};

// ---- versions -----------------------------------------------------------------------------

// Collects the pieces of a padded field; never writes past size - 1.
class FieldWriter {
public:
    FieldWriter(char* out, std::size_t size) : out_(out), room_(size - 1) {}
    void Fill(std::size_t count) {
        const std::size_t n = std::min(count, room_ - length_);
        std::memset(out_ + length_, ' ', n);
        length_ += n;
    }
    void Append(std::string_view text) {
        const std::size_t n = std::min(text.size(), room_ - length_);
        std::memcpy(out_ + length_, text.data(), n);
        length_ += n;
    }
    std::size_t Finish() {
        out_[length_] = '\0';
        return length_;
    }

private:
    char* out_;
    std::size_t room_;
    std::size_t length_ = 0;
};

// The version is written as the text "major.minor.patch[-preRelease][+build]" under "%s"
// rules, piece by piece, so that no temporary string is needed.
std::size_t FormatVersion(char* out, std::size_t size, const PrintfConversion& conversion,
                          const void* value) {
    const auto& version = *static_cast<const PluginApiVersion*>(value);
    char numbers[40];
    const int length = std::snprintf(
        numbers, sizeof numbers, "%lu.%lu.%lu", static_cast<unsigned long>(version.major),
        static_cast<unsigned long>(version.minor), static_cast<unsigned long>(version.patch));
    const std::string_view pieces[] = {
        std::string_view(numbers, static_cast<std::size_t>(std::max(length, 0))),
        version.preRelease.empty() ? "" : "-", version.preRelease, version.build.empty() ? "" : "+",
        version.build};
    std::size_t total = 0;
    for (std::string_view piece : pieces) total += piece.size();
    std::size_t shown = total;
    if (conversion.precision >= 0)
        shown =
            std::min(shown, static_cast<std::size_t>(std::min(conversion.precision, kMaxField)));
    const auto width = static_cast<std::size_t>(std::clamp(conversion.width, 0, kMaxField));
    const std::size_t padding = width > shown ? width - shown : 0;
    const bool left = (conversion.flags & PrintfConversion::kLeft) != 0;
    FieldWriter writer(out, size);
    if (!left) writer.Fill(padding);
    std::size_t remaining = shown;
    for (std::string_view piece : pieces) {
        const std::size_t n = std::min(piece.size(), remaining);
        writer.Append(piece.substr(0, n));
        remaining -= n;
    }
    if (left) writer.Fill(padding);
    return writer.Finish();
}

NamedValue ReadNamedVersion(const void* value) {
    return NamedValue(std::in_place_type<std::string>,
                      static_cast<const PluginApiVersion*>(value)->ToString());
}

constexpr FormatArgumentType kVersionType = {&FormatVersion, nullptr, false, "s",
                                             &ReadNamedVersion};

}  // namespace

namespace detail {

template <FormatNumber T>
const FormatArgumentType& NumberType() noexcept {
    return kNumberType<T>;
}

template const FormatArgumentType& NumberType<bool>() noexcept;
template const FormatArgumentType& NumberType<char>() noexcept;
template const FormatArgumentType& NumberType<signed char>() noexcept;
template const FormatArgumentType& NumberType<unsigned char>() noexcept;
template const FormatArgumentType& NumberType<short>() noexcept;
template const FormatArgumentType& NumberType<unsigned short>() noexcept;
template const FormatArgumentType& NumberType<int>() noexcept;
template const FormatArgumentType& NumberType<unsigned int>() noexcept;
template const FormatArgumentType& NumberType<long>() noexcept;
template const FormatArgumentType& NumberType<unsigned long>() noexcept;
template const FormatArgumentType& NumberType<long long>() noexcept;
template const FormatArgumentType& NumberType<unsigned long long>() noexcept;
template const FormatArgumentType& NumberType<float>() noexcept;
template const FormatArgumentType& NumberType<double>() noexcept;

}  // namespace detail

FormatArgument::FormatArgument(const char* text) noexcept : value_(text), type_(&kCStringType) {}

FormatArgument::FormatArgument(const std::string& text) noexcept
    : value_(&text), type_(&kStdStringType) {}

FormatArgument::FormatArgument(const std::string_view& text) noexcept
    : value_(&text), type_(&kStringViewType) {}

FormatArgument::FormatArgument(const PluginApiVersion& version) noexcept
    : value_(&version), type_(&kVersionType) {}

}  // namespace vclient
