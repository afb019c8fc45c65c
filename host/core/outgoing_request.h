// A request the plug-in sent through PerformRequest, copied out of its HostRequest so
// that the host can keep, route and describe it after the call: method, URL (path and
// query as given), positional or named parameters (deep copies) and clientHandle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/host_value_json.h"
#include "qiv/plugin_abi.h"

namespace qivhost {

struct RequestParameter {
    std::string name;  // empty for a positional parameter
    bool named = false;
    OwnedHostValue value;
};

struct OutgoingRequest {
    std::uint32_t method = 0;
    std::string methodWord;  // the word of the code, or the request's own word for code 8
    std::string url;
    bool hasUrl = false;
    std::vector<RequestParameter> parameters;
    std::uint32_t clientHandle = 0;

    // Reads the record defensively: a null URL, a null parameter array with a count, and
    // codes outside 1 to 8 are all tolerated (the route layer answers them).
    [[nodiscard]] static OutgoingRequest From(const HostRequest& request);
    // "POST /url" followed by the parameters as JSON, for the transcript.
    [[nodiscard]] std::string Describe() const;
    // The URL without its query string.
    [[nodiscard]] std::string Path() const;
    // Parameter i as text (kinds 5 and 6), or false.
    [[nodiscard]] bool TextParameter(std::size_t index, std::string& out) const;
    // Parameter i as an unsigned 32-bit number (unsigned, or signed and not negative).
    [[nodiscard]] bool HandleParameter(std::size_t index, std::uint32_t& out) const;
};

// The longest parameter list the host copies from one request.
inline constexpr std::uint32_t kMaxRequestParameters = 64;

}  // namespace qivhost
