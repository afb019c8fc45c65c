// Calling the plug-in's REST API the way the client's plug-in manager does: the host
// picks the function entry (plugin_routes.h), builds the incoming HostRequest (method code
// and word, URL, typed parameters, the entry's dispatch context, headers, content type,
// body bytes, the caller's handle), calls the entry's HandleCall with a zeroed response,
// reads the answer and hands the response back through its release.
//
// A streamed answer is read to its end (at most kMaxStreamReads reads) and closed; its
// text is the body. When no entry's path matches, the plug-in is not called and the
// answer is 404 "No route for <METHOD> <url>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/plugin_routes.h"
#include "core/transcript.h"

namespace qivhost {

inline constexpr std::uint32_t kMaxStreamReads = 1u << 20;
// The handle the host uses for calls of the user interface.
inline constexpr std::uint32_t kUserInterfaceHandle = 0x10;

struct RestCall {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::string> body;
    std::string contentType;
    // Typed parameters: name (empty for positional) and JSON text of the value.
    std::vector<std::pair<std::string, std::string>> parameters;
    std::uint32_t clientHandle = kUserInterfaceHandle;
};

struct [[nodiscard]] RestAnswer {
    bool reachedPlugin = false;
    std::string routeName;
    std::int32_t status = 0;
    std::optional<std::string> errorText;
    std::uint8_t errorFlag = 0;
    std::uint8_t resultFlag = 0;
    std::uint32_t resultMode = 0;
    std::string resultText;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string bodyJson = "null";  // the body value as JSON, or the streamed text
    bool streamed = false;
    bool streamFailed = false;
    bool released = false;  // the response had a release callback and it was called
};

// Fails (status 400, plug-in not called) when a parameter is not valid JSON.
RestAnswer CallRoute(const std::vector<RouteInfo>& routes, const RestCall& call, Transcript& transcript);

}  // namespace qivhost
