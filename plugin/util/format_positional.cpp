#include "util/format_positional.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace vclient {
namespace {

constexpr std::ptrdiff_t kMaxConversionLength = 60;

// The caller's buffer; keeps room for the terminator.
class Output {
public:
    Output(char* buffer, std::size_t size) : buffer_(buffer), size_(size) {}

    [[nodiscard]] bool Full() const { return length_ + 1 >= size_; }
    void Put(char c) { buffer_[length_++] = c; }
    void Write(const FormatArgument& argument, const PrintfConversion& conversion) {
        length_ += argument.type().format(buffer_ + length_, size_ - length_, conversion,
                                          argument.value());
    }
    std::size_t Finish() {
        buffer_[length_] = '\0';
        return length_;
    }

private:
    char* buffer_;
    std::size_t size_;
    std::size_t length_ = 0;
};

// The arguments, numbered from 1, and the sequence that ordinary conversions and "*" take from.
class ArgumentList {
public:
    ArgumentList(const FormatArgument* arguments, std::size_t count)
        : arguments_(arguments), count_(arguments == nullptr ? 0 : count) {}

    [[nodiscard]] std::size_t count() const { return count_; }
    [[nodiscard]] const FormatArgument* At(std::size_t number) const {
        if (number == 0 || number > count_) return nullptr;
        return &arguments_[number - 1];
    }
    const FormatArgument* TakeNext() { return next_ > count_ ? nullptr : &arguments_[next_++ - 1]; }

private:
    const FormatArgument* arguments_;
    std::size_t count_;
    std::size_t next_ = 1;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits, saturating at `limit`.
template <class N>
const char* ReadNumber(const char* p, N& number, N limit) {
    number = 0;
    for (; IsDigit(*p); ++p) {
        const N digit = static_cast<N>(*p - '0');
        number = number > (limit - digit) / 10 ? limit : static_cast<N>(number * 10 + digit);
    }
    return p;
}

const char* ReadFlags(const char* p, unsigned& flags) {
    for (;; ++p) {
        switch (*p) {
            case '-': flags |= PrintfConversion::kLeft; break;
            case '+': flags |= PrintfConversion::kSign; break;
            case ' ': flags |= PrintfConversion::kSpace; break;
            case '#': flags |= PrintfConversion::kAlternate; break;
            case '0': flags |= PrintfConversion::kZero; break;
            default: return p;
        }
    }
}

// Reads the value of a "*" (p is just after it): from "N$" when present, else from the
// sequence. Null when formatting must stop.
const char* ReadStar(const char* p, ArgumentList& arguments, int& value) {
    std::size_t number = 0;
    const char* afterDigits = ReadNumber(p, number, SIZE_MAX);
    const FormatArgument* source = nullptr;
    if (afterDigits != p && *afterDigits == '$') {
        source = arguments.At(number);
        p = afterDigits + 1;
    } else {
        source = arguments.TakeNext();
    }
    if (source == nullptr || !source->type().readableAsInteger) return nullptr;
    value = source->type().readInteger(source->value());
    return p;
}

const char* ReadWidth(const char* p, ArgumentList& arguments, PrintfConversion& conversion) {
    if (*p != '*') {
        if (IsDigit(*p)) p = ReadNumber(p, conversion.width, INT_MAX);
        return p;
    }
    int width = 0;
    p = ReadStar(p + 1, arguments, width);
    if (width < 0) {  // as in C: a negative "*" width left-justifies
        conversion.flags |= PrintfConversion::kLeft;
        width = width == INT_MIN ? INT_MAX : -width;
    }
    conversion.width = width;
    return p;
}

const char* ReadPrecision(const char* p, ArgumentList& arguments, PrintfConversion& conversion) {
    if (*p != '*') return ReadNumber(p, conversion.precision, INT_MAX);
    int precision = 0;
    p = ReadStar(p + 1, arguments, precision);
    conversion.precision = precision < 0 ? -1 : precision;  // as in C: negative means none
    return p;
}

const char* SkipLength(const char* p) {
    if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l')) return p + 2;
    if (std::strchr("Ljtzhl", *p) != nullptr && *p != '\0') return p + 1;
    return p;
}

// Parses flags, width, precision and length; returns the position of the conversion
// character, or null when a "*" ends the formatting.
const char* ParseConversion(const char* p, ArgumentList& arguments, PrintfConversion& conversion) {
    p = ReadFlags(p, conversion.flags);
    p = ReadWidth(p, arguments, conversion);
    if (p == nullptr) return nullptr;
    if (*p == '.') {
        p = ReadPrecision(p + 1, arguments, conversion);
        if (p == nullptr) return nullptr;
    }
    return SkipLength(p);
}

char ResolveCharacter(const FormatArgument& argument, char character) {
    const char* allowed = argument.type().conversions;
    if (std::strchr(allowed, character) != nullptr) return character;
    return allowed[0];
}

// Formats the conversion whose "%" is at `percent`; returns where copying goes on, or null
// when formatting ends.
const char* FormatConversion(const char* percent, ArgumentList& arguments, Output& output) {
    const char* p = percent + 1;
    std::size_t number = 0;
    const char* afterNumber = (*p >= '1' && *p <= '9') ? ReadNumber(p, number, SIZE_MAX) : p;
    const FormatArgument* argument = arguments.At(number);
    if (argument != nullptr) {
        if (*afterNumber != '$') {
            PrintfConversion bare;
            bare.character = argument->DefaultConversion();
            output.Write(*argument, bare);
            return afterNumber;
        }
        p = afterNumber + 1;
    }
    PrintfConversion conversion;
    const char* character = ParseConversion(p, arguments, conversion);
    if (character == nullptr || *character == '\0') return nullptr;
    if (character + 1 - percent > kMaxConversionLength) return nullptr;
    if (argument == nullptr) argument = arguments.TakeNext();
    if (argument == nullptr) return nullptr;
    if (*character != 'n') {
        conversion.character = ResolveCharacter(*argument, *character);
        output.Write(*argument, conversion);
    }
    return character + 1;
}

}  // namespace

std::size_t FormatPositional(char* buffer, std::size_t size, const char* format,
                             const FormatArgument* arguments, std::size_t count) noexcept {
    if (buffer == nullptr || size == 0) return 0;
    Output output(buffer, size);
    ArgumentList list(arguments, count);
    const char* p = format == nullptr ? "" : format;
    while (*p != '\0' && !output.Full()) {
        if (*p != '%') {
            output.Put(*p++);
        } else if (p[1] == '%') {
            output.Put('%');
            p += 2;
        } else {
            p = FormatConversion(p, list, output);
            if (p == nullptr) break;
        }
    }
    return output.Finish();
}

std::string FormatToString(std::string_view format, const FormatArgument* arguments,
                           std::size_t count) {
    const std::string terminated(format);
    char buffer[kMessageBufferSize];
    const std::size_t length =
        FormatPositional(buffer, sizeof buffer, terminated.c_str(), arguments, count);
    return std::string(buffer, length);
}

}  // namespace vclient
