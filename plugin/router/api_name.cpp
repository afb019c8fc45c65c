#include "router/api_name.h"

#include "router/ascii_lower.h"

namespace vclient {
namespace {

// ASCII-only, like AsciiLower: names must not depend on the locale.
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsWordBreak(char c) {
    switch (c) {
        case '!': case '+': case '-': case '.': case '/': case '_': return true;
        default: return false;
    }
}

// "DELETE" -> "Delete/": the first character as given, the rest lowered.
std::string MethodPrefix(std::string_view methodWord) {
    if (methodWord.empty()) return {};
    std::string prefix(1, methodWord.front());
    for (const char c : methodWord.substr(1)) prefix += AsciiLower(c);
    prefix += '/';
    return prefix;
}

}  // namespace

std::string ToApiName(std::string_view methodWord, std::string_view path) {
    const std::string text = MethodPrefix(methodWord).append(path);
    std::string name;
    name.reserve(text.size() + 8);
    bool capitalise = true;
    for (const char c : text) {
        if (IsWordBreak(c)) {
            capitalise = true;
        } else if (c == '{') {
            name += "By";
            capitalise = true;
        } else if (c != '}') {
            name += capitalise ? AsciiUpper(c) : c;
            capitalise = false;
        }
    }
    return name;
}

}  // namespace vclient
