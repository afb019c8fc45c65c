// CallContext: what a route handler may learn about the call it serves. A member operation
// receives it when its first parameter is `const CallContext&` or `CallContext`; that
// parameter is not an API argument. The router builds the context only for such handlers.
//
// The context lives for the duration of the handler's call; copy what must outlive it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "router/http_method.h"

namespace vclient {

class TypeRegistry;

// Request header name to value; a later header of the same name replaces an earlier one.
using HeaderMap = std::unordered_map<std::string, std::string>;

struct CallContext {
    // When the router received the call.
    std::chrono::steady_clock::time_point timeStamp;
    // The registry of the called function: converts native values, names enumerators.
    const TypeRegistry* registry = nullptr;
    // The URL as the host passed it (query string included, when the host sends one).
    std::string url;
    // The call's method; codes outside 1 to 8 count as None.
    HttpMethod method = HttpMethod::None;
    // The method's word when method is Custom, else empty.
    std::string methodWord;
    // The request headers, names as the host passed them.
    HeaderMap headers;
    // The caller's handle, as the host passed it.
    std::uint32_t clientHandle = 0;
};

}  // namespace vclient
