// HttpMethod: the method code shared by outgoing requests and the route table. Codes 1 to
// 7 stand for their words; 8 for a method given by its word beside the code; anything
// else counts as 0, no method.
#pragma once

#include <cstdint>
#include <string_view>

namespace vclient {

enum class HttpMethod : std::uint32_t {
    None = 0,
    Delete = 1,
    Get = 2,
    Head = 3,
    Options = 4,
    Patch = 5,
    Post = 6,
    Put = 7,
    Custom = 8,
};

// The code as it goes to the host: 1 to 8 unchanged, 0 otherwise.
[[nodiscard]] constexpr std::uint32_t HttpMethodCode(HttpMethod method) noexcept {
    const auto code = static_cast<std::uint32_t>(method);
    return code >= 1 && code <= 8 ? code : 0;
}

// The method of a code as the host gives it: 1 to 8 unchanged, None otherwise.
[[nodiscard]] constexpr HttpMethod HttpMethodFromCode(std::uint32_t code) noexcept {
    return code >= 1 && code <= 8 ? static_cast<HttpMethod>(code) : HttpMethod::None;
}

// The word of codes 1 to 7 ("DELETE" ... "PUT"); the empty text for any other code.
[[nodiscard]] constexpr std::string_view HttpMethodWord(HttpMethod method) noexcept {
    switch (method) {
        case HttpMethod::Delete: return "DELETE";
        case HttpMethod::Get: return "GET";
        case HttpMethod::Head: return "HEAD";
        case HttpMethod::Options: return "OPTIONS";
        case HttpMethod::Patch: return "PATCH";
        case HttpMethod::Post: return "POST";
        case HttpMethod::Put: return "PUT";
        default: return "";
    }
}

}  // namespace vclient
