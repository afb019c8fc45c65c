#include "util/plugin_api_version.h"

namespace vclient {

std::string PluginApiVersion::ToString() const {
    std::string text = std::to_string(major);
    text += '.';
    text += std::to_string(minor);
    text += '.';
    text += std::to_string(patch);
    if (!preRelease.empty()) {
        text += '-';
        text += preRelease;
    }
    if (!build.empty()) {
        text += '+';
        text += build;
    }
    return text;
}

}  // namespace vclient
