// HTTP method codes of the ABI and their words: 1 "DELETE", 2 "GET", 3 "HEAD",
// 4 "OPTIONS", 5 "PATCH", 6 "POST", 7 "PUT"; 8 for any other word, which then travels
// beside the code; codes outside 1 to 8 mean no method (empty word).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qivhost {

[[nodiscard]] std::string MethodWord(std::uint32_t code);
// The code of a word, compared exactly; 8 for any other non-empty word, 0 for "".
[[nodiscard]] std::uint32_t MethodCode(std::string_view word);

}  // namespace qivhost
