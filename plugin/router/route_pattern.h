// RoutePattern: what a function's path template turns into, and the test of a URL against it.
//
// A template without "{" is a literal path and matches only itself, byte for byte. Any other
// template is read as text with variables in braces:
//
//   {name}    capture kind 1, one path segment, possibly empty     pattern piece "([^/]*)"
//   {+name}   capture kind 2, the rest of the path, "/" included   pattern piece "(.*)"
//   {#name}   capture kind 3, a "#" and everything after it        pattern piece "#(.*)"
//
// Outside braces the characters ^ $ . * + ? ( ) [ ] | \ are escaped with a backslash and
// everything else is kept, which gives the ECMAScript pattern of PatternText(). Inside braces
// a leading "+" or "#" picks the kind and every other character belongs to the name; a
// variable left open at the end of the template contributes nothing.
//
// Matching gives exactly the verdict and the groups that ECMAScript's regex_match of
// PatternText() would give over the whole URL: groups are greedy, the earliest group taking
// the longest text that still lets the rest match; "." stops at "\r" and "\n", "[^/]" at "/"
// only. It does so without a regex engine: for a URL of n bytes and k variables it takes
// O(k * n) time and about k + 2 flag bytes per URL byte, with no recursion, so long URLs
// are safe.
//
// A RoutePattern is immutable once built; Match may be called from several threads at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vclient {

enum class CaptureKind : std::uint8_t {
    Segment = 1,   // {name}
    Rest = 2,      // {+name}
    Fragment = 3,  // {#name}
};

struct RouteCapture {
    CaptureKind kind = CaptureKind::Segment;
    std::string name;

    friend bool operator==(const RouteCapture&, const RouteCapture&) = default;
};

// Path-variable name to URL-decoded text.
using PathArguments = std::unordered_map<std::string, std::string>;

class RoutePattern {
public:
    explicit RoutePattern(std::string_view pathTemplate);

    // True for a template without "{", compared exactly.
    [[nodiscard]] bool IsLiteral() const noexcept { return literal_; }
    // The ECMAScript pattern of a template with variables; the path itself for a literal one.
    [[nodiscard]] const std::string& PatternText() const noexcept { return patternText_; }
    // The variables in template order, one per group of the pattern.
    [[nodiscard]] const std::vector<RouteCapture>& Captures() const noexcept { return captures_; }

    // The raw text of every group (views into `url`) when the whole URL matches.
    [[nodiscard]] std::optional<std::vector<std::string_view>> MatchGroups(std::string_view url) const;

    // When the whole URL matches, stores each group's URL-decoded text in `arguments` under
    // its variable's name (a later variable of the same name replacing an earlier one, and
    // replacing what the map held under that name) and returns true. On no match returns
    // false and leaves `arguments` unchanged.
    [[nodiscard]] bool Match(std::string_view url, PathArguments& arguments) const;

private:
    void AddCharacter(char c);
    void CloseVariable(RouteCapture capture);

    bool literal_ = false;
    std::string patternText_;
    std::vector<RouteCapture> captures_;
    // The fixed text around the groups: literals_[i] precedes group i and the last one ends
    // the pattern, so there is always one more literal than captures. A fragment's "#" is the
    // end of the literal before its group.
    std::vector<std::string> literals_;
};

}  // namespace vclient
