#include "runtime/plugin_name.h"

#include "log/log.h"
#include "util/format_positional.h"

namespace vclient {

PluginKind BackendPluginKind() { return PluginKind{"backend", ""}; }
PluginKind FrontendPluginKind() { return PluginKind{"frontend", ""}; }

PluginName GetFullNameFromShortNameAndType(std::string_view shortName, const PluginKind& kind) {
    std::string_view prefix = "qpx-xx-";
    if (kind.name == "backend") {
        prefix = "qpx-be-";
    } else if (kind.name == "frontend") {
        prefix = "qpx-fe-";
    } else {
        const std::string message = Format(
            "GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type", shortName, kind.name);
        Log(LogLevel::Error, kLogGroupDbg, "            Plugin Manager| %s", message.c_str());
    }
    PluginName name;
    name.fullName.reserve(prefix.size() + shortName.size());
    name.fullName.append(prefix).append(shortName);
    name.shortName = std::string(shortName);
    name.kind = kind;
    return name;
}

}  // namespace vclient
