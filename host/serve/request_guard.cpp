#include "serve/request_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qivhost {
namespace {

enum class HostKind { Invalid, LoopbackName, LoopbackAddress, OtherAddress, OtherName };

HostKind Classify(std::string_view host) {
    if (host.empty() || host.size() > 255) return HostKind::Invalid;
    std::string text(host);
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "localhost") return HostKind::LoopbackName;
    if (text.front() == '[') {
        if (text.back() != ']') return HostKind::Invalid;
        in6_addr address{};
        if (inet_pton(AF_INET6, text.substr(1, text.size() - 2).c_str(), &address) != 1) return HostKind::Invalid;
        return std::memcmp(&address, &in6addr_loopback, sizeof address) == 0 ? HostKind::LoopbackAddress
                                                                               : HostKind::OtherAddress;
    }
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) == 1) {
        return (ntohl(address.s_addr) >> 24) == 127 ? HostKind::LoopbackAddress : HostKind::OtherAddress;
    }
    const bool nameLike = std::all_of(lower.begin(), lower.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
    return nameLike ? HostKind::OtherName : HostKind::Invalid;
}

// Splits "host[:port]" ("[v6][:port]" for IPv6); false when the port is not a number.
bool SplitPort(std::string_view text, std::string_view& host) {
    std::size_t colon = std::string_view::npos;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return false;
            colon = close + 1;
        }
    } else {
        colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) return false;
    }
    host = text.substr(0, colon);
    if (colon == std::string_view::npos) return true;
    const std::string_view port = text.substr(colon + 1);
    return !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool HostHeaderAllowed(std::string_view hostHeader, bool anyAddress) {
    std::string_view host;
    if (!SplitPort(hostHeader, host)) return false;
    const HostKind kind = Classify(host);
    return kind == HostKind::LoopbackName || kind == HostKind::LoopbackAddress ||
           (anyAddress && kind == HostKind::OtherAddress);
}

bool OriginAllowed(std::string_view origin, bool anyAddress) {
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (origin.substr(0, scheme.size()) == scheme) return HostHeaderAllowed(origin.substr(scheme.size()), anyAddress);
    }
    return false;
}

bool IsLoopbackListenAddress(const std::string& address) {
    const bool v6 = address.find(':') != std::string::npos && address[0] != '[';
    return HostHeaderAllowed(v6 ? "[" + address + "]" : address, false);
}

std::optional<std::string> RefusalOf(std::size_t hostCount, std::string_view host,
                                     std::optional<std::string_view> origin, bool anyAddress) {
    if (hostCount != 1) return std::string("A request needs exactly one Host header");
    if (!HostHeaderAllowed(host, anyAddress)) {
        return "Refused: the Host header \"" + std::string(host) + "\" does not name this machine's loopback interface";
    }
    if (origin && !OriginAllowed(*origin, anyAddress)) {
        return "Refused: requests from the origin \"" + std::string(*origin) + "\" may not drive the host";
    }
    return std::nullopt;
}

}  // namespace qivhost
