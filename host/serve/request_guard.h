// What keeps the served host a local tool: a web page the user opens elsewhere must not
// be able to drive the plug-in through the user's browser.
// - The Host header must name this machine by a loopback name or address ("localhost",
//   "127.0.0.1" and the rest of 127/8, "[::1]"), with any port: a page whose own DNS
//   name was pointed at 127.0.0.1 sends its own name, and is refused.
// - An Origin header, which browsers send with every cross-origin request and every
//   POST, PUT and DELETE, must be a loopback origin too ("http://localhost:8080"); a
//   page elsewhere can otherwise make simple requests that change the host's state,
//   even though it cannot read their answers. "null" (a sandboxed page, a file) is
//   refused.
// When the host listens beyond loopback (--listen), an address literal is accepted in
// either header as well: a DNS name still is not.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qivhost {

[[nodiscard]] bool HostHeaderAllowed(std::string_view host, bool anyAddress);
[[nodiscard]] bool OriginAllowed(std::string_view origin, bool anyAddress);

// Whether a listening address is a loopback one (127/8, ::1, "localhost"): anything
// else is reachable from other machines.
[[nodiscard]] bool IsLoopbackListenAddress(const std::string& address);

// Why a request with these headers is refused (403), or nothing. `hostCount` is the
// number of Host headers: exactly one is required.
[[nodiscard]] std::optional<std::string> RefusalOf(std::size_t hostCount, std::string_view host,
                                                   std::optional<std::string_view> origin, bool anyAddress);

}  // namespace qivhost
