// The version of the plug-in API that a plug-in or the host core implements. Hosts and
// plug-ins compare these at load time; the text form "major.minor.patch[-preRelease][+build]"
// appears in messages, and the record is a formatting argument of its own (see
// util/format_argument.h) that prints as that text.
#pragma once

#include <cstdint>
#include <string>

namespace vclient {

struct PluginApiVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::string preRelease;  // printed after "-" when not empty
    std::string build;       // printed after "+" when not empty

    // "major.minor.patch", then "-" and the pre-release label, then "+" and the build label,
    // each label only when it is not empty.
    [[nodiscard]] std::string ToString() const;

    friend bool operator==(const PluginApiVersion&, const PluginApiVersion&) = default;
};

}  // namespace vclient
