#include "core/http_method_names.h"

#include <array>

namespace qivhost {
namespace {

constexpr std::array<std::string_view, 8> kWords = {"", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"};

}  // namespace

std::string MethodWord(std::uint32_t code) { return code < kWords.size() ? std::string(kWords[code]) : std::string(); }

std::uint32_t MethodCode(std::string_view word) {
    if (word.empty()) return 0;
    for (std::uint32_t code = 1; code < kWords.size(); ++code) {
        if (kWords[code] == word) return code;
    }
    return 8;
}

}  // namespace qivhost
