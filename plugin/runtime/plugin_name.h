// The names under which a plug-in is known to the host: its short name ("qiv-honor-v2")
// and the full name that prefixes it with its kind ("qpx-be-qiv-honor-v2").
#pragma once

#include <string>
#include <string_view>

namespace vclient {

// The kind of a plug-in: a name and a second text that is empty for every kind known here.
struct PluginKind {
    std::string name;
    std::string detail;
};

PluginKind BackendPluginKind();
PluginKind FrontendPluginKind();

struct PluginName {
    std::string fullName;
    std::string shortName;
    PluginKind kind;
};

// "qpx-be-" for the kind "backend", "qpx-fe-" for "frontend" (both compared byte for
// byte) and "qpx-xx-" for anything else, which is also logged as an error.
PluginName GetFullNameFromShortNameAndType(std::string_view shortName, const PluginKind& kind);

}  // namespace vclient
