#include "util/format_named.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>
#include <variant>

namespace vclient {
namespace {

constexpr std::size_t kUnclosed = std::string_view::npos;

struct Placeholder {
    bool typed = false;
    bool silent = false;
    bool hasAlternative = false;
    std::string name;
    std::string format;
    std::string option;
    std::string alternative;
};

// Parses the placeholder whose "{" is at `open`; returns the index after its "}", or
// kUnclosed when the template ends first.
std::size_t ParsePlaceholder(std::string_view templ, std::size_t open, Placeholder& placeholder) {
    std::size_t i = open + 1;
    if (i < templ.size() && templ[i] == '#') {
        placeholder.typed = true;
        ++i;
    }
    std::string* part = &placeholder.name;
    for (; i < templ.size(); ++i) {
        switch (templ[i]) {
            case '}': return i + 1;
            case '\\':
                if (++i < templ.size()) part->push_back(templ[i]);
                break;
            case '!': placeholder.silent = true; break;
            case ':': part = &placeholder.format; break;
            case '@': part = &placeholder.option; break;
            case '?':
                part = &placeholder.alternative;
                placeholder.hasAlternative = true;
                break;
            default: part->push_back(templ[i]);
        }
    }
    return kUnclosed;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Finds the end of the printf conversion at `percent` (the same syntax FormatPositional
// reads) and counts the argument numbers it takes: itself and each "*" without "N$".
std::size_t ConversionEnd(std::string_view templ, std::size_t percent, std::size_t& numbers) {
    std::size_t i = percent + 1;
    const auto at = [&](std::size_t k) { return k < templ.size() ? templ[k] : '\0'; };
    const auto readField = [&] {
        if (at(i) != '*') {
            while (IsDigit(at(i))) ++i;
            return;
        }
        std::size_t k = ++i;
        while (IsDigit(at(k))) ++k;
        if (k > i && at(k) == '$') {
            i = k + 1;
        } else {
            ++numbers;
        }
    };
    while (at(i) != '\0' && std::strchr("-+ #0", at(i)) != nullptr) ++i;
    readField();
    if (at(i) == '.') {
        ++i;
        readField();
    }
    if ((at(i) == 'h' && at(i + 1) == 'h') || (at(i) == 'l' && at(i + 1) == 'l')) {
        i += 2;
    } else if (at(i) != '\0' && std::strchr("Ljtzhl", at(i)) != nullptr) {
        ++i;
    }
    if (i < templ.size()) {
        ++numbers;
        ++i;
    }
    return i;
}

// Literal text inside a positional format: "%" must be doubled.
void AppendLiteral(std::string& out, std::string_view text) {
    for (char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
}

void TrimTrailingSpace(std::string& out) {
    while (!out.empty() && std::strchr(" \t\r\n\v\f", out.back()) != nullptr) out.pop_back();
}

bool IsInteger(const NamedValue& value) {
    return std::holds_alternative<std::int64_t>(value) ||
           std::holds_alternative<std::uint64_t>(value);
}

std::uint64_t IntegerBits(const NamedValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return static_cast<std::uint64_t>(*number);
    return std::get<std::uint64_t>(value);
}

std::string AsText(const NamedValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<V, double>) {
                std::array<char, 512> text{};  // "%f" of the largest double fits
                const int length = std::snprintf(text.data(), text.size(), "%f", v);
                return std::string(text.data(), static_cast<std::size_t>(length > 0 ? length : 0));
            } else if constexpr (std::is_same_v<V, std::string>) {
                return v;
            } else {
                return std::to_string(v);
            }
        },
        value);
}

// The "@" option: the value recorded, and for "hex" the printf format used.
void ApplyOption(const std::string& option, NamedValue& value, std::string& format) {
    if (option == "str") {
        value = AsText(value);
        return;
    }
    if (option != "hex" || !IsInteger(value)) return;
    char text[24];
    std::snprintf(text, sizeof text, "%016llX",
                  static_cast<unsigned long long>(IntegerBits(value)));
    value = std::string(text);
    format = "016llX";
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool HasTypeSuffix(std::string_view name) {
    for (std::string_view suffix : {"_bool", "_int", "_long", "_float", "_str", "_time"}) {
        if (EndsWith(name, suffix)) return true;
    }
    return false;
}

std::string_view TypeSuffix(const NamedValue& value) {
    if (std::holds_alternative<bool>(value)) return "_bool";
    if (IsInteger(value)) return "_int";
    if (std::holds_alternative<double>(value)) return "_float";
    return "_str";
}

bool IsEmptyValue(const NamedValue& value) {
    return std::visit(
        [](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::string>) {
                return v.empty();
            } else if constexpr (std::is_same_v<V, bool>) {
                return !v;
            } else {
                return v == V{0};
            }
        },
        value);
}

// Walks one template, writing the positional format.
class TemplateWriter {
public:
    TemplateWriter(std::string_view templ, const FormatArgument* arguments, std::size_t count,
                   PropertyMap& properties)
        : templ_(templ),
          arguments_(arguments),
          count_(arguments == nullptr ? 0 : count),
          properties_(properties) {}

    std::string Run() {
        std::size_t i = 0;
        while (i < templ_.size()) i = Step(i);
        return std::move(out_);
    }

private:
    char At(std::size_t i) const { return i < templ_.size() ? templ_[i] : '\0'; }

    std::size_t Step(std::size_t i) {
        const char c = templ_[i];
        if (c == '%' && At(i + 1) == '%') {
            out_ += "%%";
            return i + 2;
        }
        if (c == '%') {
            const std::size_t end = ConversionEnd(templ_, i, number_);
            out_.append(templ_.substr(i, end - i));
            return end;
        }
        if (c == '{' && At(i + 1) == '{') {
            out_ += '{';
            return i + 2;
        }
        if (c == '}') {
            out_ += '}';
            return At(i + 1) == '}' ? i + 2 : i + 1;
        }
        if (c == '{') return ReadPlaceholder(i);
        out_ += c;
        return i + 1;
    }

    std::size_t ReadPlaceholder(std::size_t open) {
        Placeholder placeholder;
        const std::size_t end = ParsePlaceholder(templ_, open, placeholder);
        if (end == kUnclosed) {
            AppendLiteral(out_, templ_.substr(open));
            return templ_.size();
        }
        const std::size_t number = ++number_;
        if (number > count_) {
            AppendLiteral(out_, templ_.substr(open, end - open));
            return end;
        }
        Emit(placeholder, number, arguments_[number - 1], At(end));
        return end;
    }

    void Emit(Placeholder& placeholder, std::size_t number, const FormatArgument& argument,
              char following) {
        NamedValue value = argument.type().readNamed(argument.value());
        ApplyOption(placeholder.option, value, placeholder.format);
        std::string& name = placeholder.name;
        if (placeholder.typed && !name.empty() && !HasTypeSuffix(name)) name += TypeSuffix(value);
        if (placeholder.hasAlternative && IsEmptyValue(value)) {
            AppendLiteral(out_, placeholder.alternative);
            return;
        }
        if (!name.empty()) properties_.insert_or_assign(std::move(name), std::move(value));
        if (placeholder.silent) {
            TrimTrailingSpace(out_);
            return;
        }
        WriteReference(number, placeholder.format, argument, following);
    }

    // "%N", or "%N$format". A bare "%N" followed by a digit or "$" would read as another
    // number or a conversion, so it is closed with the argument's default conversion.
    void WriteReference(std::size_t number, const std::string& format,
                        const FormatArgument& argument, char following) {
        out_ += '%';
        out_ += std::to_string(number);
        if (!format.empty()) {
            out_ += '$';
            out_ += format;
        } else if (IsDigit(following) || following == '$') {
            out_ += '$';
            out_ += argument.DefaultConversion();
        }
    }

    std::string_view templ_;
    const FormatArgument* arguments_;
    std::size_t count_;
    PropertyMap& properties_;
    std::string out_;
    std::size_t number_ = 0;
};

}  // namespace

std::string FormatNamed(std::string_view templ, const FormatArgument* arguments, std::size_t count,
                        PropertyMap& properties) {
    return TemplateWriter(templ, arguments, count, properties).Run();
}

}  // namespace vclient
