#include "runtime/plugin_resource_event.h"

namespace vclient {

std::string EventNameForUri(std::string_view uri) {
    std::string name = "OnJsonApiEvent";
    std::size_t pieces = 1;
    std::size_t limit = 4;
    std::size_t at = 0;
    while (at < uri.size() && pieces < limit) {
        const std::size_t slash = uri.find('/', at);
        const std::size_t end = slash == std::string_view::npos ? uri.size() : slash;
        if (end > at) {
            const std::string_view piece = uri.substr(at, end - at);
            if (pieces == 1 && piece == "qiv-platform-config") limit = 6;
            name.append("_").append(piece);
            ++pieces;
        }
        at = end + 1;
    }
    return name;
}

bool UriMatchesPattern(std::string_view pattern, std::string_view uri) {
    std::size_t p = 0;
    std::size_t u = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            // A star takes the characters of one segment; it may take none only when a
            // "/" follows, never at the very end of the URI.
            if (u >= uri.size()) return false;
            while (u < uri.size() && uri[u] != '/') ++u;
            ++p;
            continue;
        }
        if (u >= uri.size() || pattern[p] != uri[u]) return false;
        ++p;
        ++u;
    }
    return u == uri.size();
}

}  // namespace vclient
