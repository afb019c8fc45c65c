// Typed arguments of the message formatters (util/format_positional.h, util/format_named.h).
//
// A FormatArgument refers to one of the caller's values -- it does not copy it -- and carries
// the descriptor of the value's type: the type's formatter, its integer reader (for "*" widths
// and precisions), whether it may be read as an integer at all, the printf conversions it
// allows (the first one is its default) and how FormatNamed records it.
//
//   int index = 7; std::string name = "ballot";
//   Format("Index %1 of %2 is out of range", index, name);
//
// Arguments are built implicitly from: every integer type (mapped by size and signedness onto
// the 32-bit and 64-bit rows; `char` is a character; `bool` formats as a 32-bit signed integer
// and is recorded as a boolean), float (as double) and double, text as `const char*`,
// `std::string` or `std::string_view`, and PluginApiVersion (formatted as its text). The value
// must stay alive until the formatting call returns; a text argument given as `const char*`
// refers to the characters themselves, so a decayed string literal is safe to pass.
#pragma once

#include <cstddef>      // std::size_t
#include <string>       // text arguments held in a std::string
#include <string_view>  // text arguments held in a std::string_view
#include <type_traits>  // std::is_same_v for the FormatNumber concept

#include "util/named_value.h"  // NamedValue: what FormatNamed records for an argument

namespace vclient {

struct PluginApiVersion;

// One printf conversion as FormatPositional hands it to an argument's formatter. The
// conversion character is one the argument's type allows. A width or precision of -1 means
// none; a negative "*" width has already become the left-justify flag. The formatter picks the
// length modifier that matches the stored value, so a caller's "h" or "ll" never misreads it.
struct PrintfConversion {
    enum Flag : unsigned {
        kLeft = 1u << 0,       // "-"
        kSign = 1u << 1,       // "+"
        kSpace = 1u << 2,      // " "
        kAlternate = 1u << 3,  // "#"
        kZero = 1u << 4,       // "0"
    };
    unsigned flags = 0;
    int width = -1;
    int precision = -1;
    char character = 0;
};

// The descriptor shared by every argument of one type.
struct FormatArgumentType {
    // Writes `value` for `conversion` into `out`: at most size - 1 characters and a terminator
    // (size >= 1). Returns the number of characters written.
    std::size_t (*format)(char* out, std::size_t size, const PrintfConversion& conversion,
                          const void* value);
    // The value as a "*" width or precision; null when readableAsInteger is false.
    int (*readInteger)(const void* value);
    bool readableAsInteger;
    // The conversion characters the type allows; the first is its default.
    const char* conversions;
    // The value as FormatNamed records it.
    NamedValue (*readNamed)(const void* value);
};

// The arithmetic types an argument can be built from.
template <class T>
concept FormatNumber = std::is_same_v<T, bool> || std::is_same_v<T, char> ||
    std::is_same_v<T, signed char> || std::is_same_v<T, unsigned char> ||
    std::is_same_v<T, short> || std::is_same_v<T, unsigned short> || std::is_same_v<T, int> ||
    std::is_same_v<T, unsigned int> || std::is_same_v<T, long> ||
    std::is_same_v<T, unsigned long> || std::is_same_v<T, long long> ||
    std::is_same_v<T, unsigned long long> || std::is_same_v<T, float> || std::is_same_v<T, double>;

namespace detail {
// Defined for every FormatNumber type in format_argument.cpp.
template <FormatNumber T>
const FormatArgumentType& NumberType() noexcept;
}  // namespace detail

class FormatArgument {
public:
    // Implicit on purpose: arguments are built at the call site from the values themselves.
    template <FormatNumber T>
    FormatArgument(const T& number) noexcept
        : value_(&number), type_(&detail::NumberType<T>()) {}
    FormatArgument(const char* text) noexcept;
    FormatArgument(const std::string& text) noexcept;
    FormatArgument(const std::string_view& text) noexcept;
    FormatArgument(const PluginApiVersion& version) noexcept;

    [[nodiscard]] const void* value() const noexcept { return value_; }
    [[nodiscard]] const FormatArgumentType& type() const noexcept { return *type_; }
    [[nodiscard]] char DefaultConversion() const noexcept { return type_->conversions[0]; }

private:
    const void* value_;
    const FormatArgumentType* type_;
};

}  // namespace vclient
