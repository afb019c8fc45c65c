#include "router/member_path.h"

#include <cstdint>
#include <utility>

#include "util/format_positional.h"

namespace vclient {

namespace {

constexpr std::uint64_t kIndexLimit = 2147483648u;

// The digit's value, or 16 for a character that is no hexadecimal digit.
unsigned DigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return 16;
}

bool IsDecimalDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The base and the position of the first digit, as strtoul detects them: "0x" counts as a
// prefix only when a hexadecimal digit follows it, otherwise the "0" alone is read.
std::pair<unsigned, std::size_t> DetectBase(std::string_view part) noexcept {
    if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X') && DigitValue(part[2]) < 16) {
        return {16, 2};
    }
    if (part[0] == '0') return {8, 0};
    return {10, 0};
}

BindingProperty* StepInto(BindingResult& result, BindingProperty& current, std::string_view part) {
    if (part.empty() || !IsDecimalDigit(part[0])) return &current.Field(part);
    const MemberIndex index = ParseMemberIndex(part);
    if (index.outcome == MemberIndexOutcome::IncorrectFormat) {
        result.Fail(Format("Index %1 is in an incorrect format", part));
        return nullptr;
    }
    BindingProperty* element = nullptr;
    if (index.outcome == MemberIndexOutcome::Ok && index.value <= kMaxMemberIndex) {
        element = current.TryElement(static_cast<std::size_t>(index.value));
    }
    if (element == nullptr) result.Fail(Format("Index %1 is out of range", part));
    return element;
}

}  // namespace

MemberIndex ParseMemberIndex(std::string_view part) noexcept {
    if (part.empty() || !IsDecimalDigit(part[0])) return {MemberIndexOutcome::IncorrectFormat, 0};
    const auto [base, start] = DetectBase(part);
    std::uint64_t value = 0;
    bool overflow = false;
    std::size_t at = start;
    for (; at < part.size(); ++at) {
        const unsigned digit = DigitValue(part[at]);
        if (digit >= base) break;
        if (value > (UINT64_MAX - digit) / base) overflow = true;
        if (!overflow) value = value * base + digit;
    }
    if (at != part.size()) return {MemberIndexOutcome::IncorrectFormat, 0};
    if (overflow || value >= kIndexLimit) return {MemberIndexOutcome::OutOfRange, 0};
    return {MemberIndexOutcome::Ok, value};
}

BindingProperty* WalkMemberPath(BindingResult& result, BindingProperty& root, std::string_view path) {
    BindingProperty* current = &root;
    while (current != nullptr) {
        const std::size_t dot = path.find('.');
        current = StepInto(result, *current, path.substr(0, dot));
        if (dot == std::string_view::npos) break;
        path.remove_prefix(dot + 1);
    }
    return current;
}

}  // namespace vclient
