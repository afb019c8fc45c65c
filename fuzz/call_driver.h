// One REST call per input, through a fresh plug-in in a minimal host (minimal_host.h):
// the input picks the function entry, the method (code and word), the URL (raw, or the
// entry's path template with fuzzed variables and query), headers, typed parameters
// (host values of any shape), the content type and the body. The call is made through
// the entry's HandleCall, as a host that routes calls itself would; the router checks
// method and path again, so a URL meant for another entry is part of the test.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <vector>

#include "host_value_source.h"
#include "minimal_host.h"

namespace qivfuzz {

struct CallOptions {
    // Resources the host serves when the first input bit is set (JSON by URI).
    std::vector<std::pair<std::string, std::string>> resources;
    // Header names worth trying besides random ones.
    std::vector<std::string> headerNames;
};

inline std::string FromTemplate(FuzzedDataProvider& in, const char* pathTemplate) {
    std::string url;
    for (const char* c = pathTemplate; *c != '\0'; ++c) {
        if (*c != '{') {
            url += *c;
            continue;
        }
        while (*c != '\0' && *c != '}') ++c;
        url += in.ConsumeRandomLengthString(24);
        if (*c == '\0') break;
    }
    if (in.ConsumeBool()) url += "?" + in.ConsumeRandomLengthString(96);
    return url;
}

inline void RunCall(const std::uint8_t* data, std::size_t size, const CallOptions& options) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t flags = in.ConsumeIntegral<std::uint8_t>();
    MinimalHost host;
    if ((flags & 1) != 0) {
        for (const auto& [uri, json] : options.resources) host.SetResource(uri, json);
    }
    Check(host.Start(), "the plug-in starts");
    const RouteTableDescriptor& routes = host.Routes();
    Check(routes.functionCount > 0, "the plug-in declares routes");
    const std::uint32_t index = in.ConsumeIntegralInRange<std::uint32_t>(0, routes.functionCount - 1);
    const RouteFunctionEntry& entry = routes.functions[index];

    std::deque<std::string> texts;  // every text the request points to
    auto keep = [&texts](std::string text) { return texts.emplace_back(std::move(text)).c_str(); };

    HostRequest request{};
    request.method = (flags & 2) != 0 ? entry.method : in.ConsumeIntegralInRange<std::uint32_t>(0, 9);
    request.methodWord = keep(in.ConsumeBool() && entry.methodWord != nullptr ? entry.methodWord
                                                                                : in.ConsumeRandomLengthString(8));
    request.url = keep((flags & 4) != 0 ? in.ConsumeRandomLengthString(160) : FromTemplate(in, entry.pathTemplate));

    std::vector<HostRequestHeader> headers(in.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (HostRequestHeader& header : headers) {
        const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, options.headerNames.size());
        header.name = keep(pick < options.headerNames.size() ? options.headerNames[pick] : in.ConsumeRandomLengthString(12));
        header.value = keep(in.ConsumeRandomLengthString(48));
    }
    request.headers = headers.empty() ? nullptr : headers.data();
    request.headerCount = static_cast<std::uint32_t>(headers.size());

    HostValueSource values(in);
    std::vector<HostRequestParameter> parameters(in.ConsumeIntegralInRange<std::size_t>(0, 2));
    for (HostRequestParameter& parameter : parameters) {
        const bool named = in.ConsumeBool();
        const std::uint32_t argument = in.ConsumeIntegralInRange<std::uint32_t>(0, 3);
        if (named) {
            parameter.name = argument < entry.function.argumentCount ? entry.function.arguments[argument].name
                                                                      : keep(in.ConsumeRandomLengthString(12));
        }
        parameter.value = values.Next();
    }
    request.parameters = parameters.empty() ? nullptr : parameters.data();
    request.parameterCount = static_cast<std::uint32_t>(parameters.size());

    static const char* const kContentTypes[] = {
        "application/json",     "application/x-msgpack", "application/vnd.api+json", "application/x-yaml",
        "text/x-yaml",          "Application/JSON; charset=utf-8", "APPLICATION/X-MSGPACK", "text/plain", ""};
    const std::size_t type = in.ConsumeIntegralInRange<std::size_t>(0, std::size(kContentTypes));
    request.contentType = type < std::size(kContentTypes) ? kContentTypes[type] : keep(in.ConsumeRandomLengthString(32));
    request.clientHandle = in.ConsumeIntegral<std::uint32_t>();
    const bool withBody = (flags & 8) == 0;
    // The body is the rest of the input, in a buffer of its exact size (no terminator), so
    // that AddressSanitizer sees any read past its end.
    const std::vector<char> body = in.ConsumeRemainingBytes<char>();
    std::vector<char> exact(body.begin(), body.end());
    if (withBody) {
        request.body = exact.empty() ? "" : exact.data();
        request.bodyLength = static_cast<std::uint32_t>(exact.size());
    }
    host.Call(index, request);
    host.Shutdown();
}

}  // namespace qivfuzz
