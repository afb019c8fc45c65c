#include "components/client_event_names.h"

#include <vector>

namespace qivhost {
namespace {

std::vector<std::string_view> NonEmptyPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t slash = text.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? text.size() : slash;
        if (end > start) pieces.push_back(text.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return pieces;
}

}  // namespace

std::string EventNameForUri(std::string_view uri) {
    std::vector<std::string_view> pieces = NonEmptyPieces(uri);
    pieces.insert(pieces.begin(), kResourceEventName);
    const std::size_t limit = pieces.size() > 1 && pieces[1] == "qiv-platform-config" ? 6 : 4;
    if (pieces.size() > limit) pieces.resize(limit);
    std::string name;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) name += '_';
        name += pieces[i];
    }
    return name;
}

std::string VyreEventName(std::string_view typeName) {
    std::string name = "OnVyreEvent_";
    for (const char c : typeName) name += c == '.' ? '_' : c;
    return name;
}

}  // namespace qivhost
