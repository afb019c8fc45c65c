// How the scenario player shows the host's transcript to a person: one short line per
// thing that happened, in words ("request", "publish", "log", "wait"), with JSON payloads
// inline when short and indented below when long. Entries that the player reports in
// its own words (the host's own actions, REST calls, Initialize and Shutdown) and the
// host turns of a wait (RunPending) give no lines. What happens while the plug-in waits
// is indented one step deeper than the wait.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/transcript.h"

namespace qivhost {

// JSON payloads whose compact form is longer than this are shown indented, one member
// per line.
inline constexpr std::size_t kInlineJsonWidth = 72;

struct FormattedLine {
    std::size_t depth = 0;  // levels of indentation below the entry's own
    std::string text;
};

// A JSON text for display: one line when short, otherwise indented lines. Text that is
// not JSON comes back unchanged as one line.
[[nodiscard]] std::vector<std::string> JsonForDisplay(std::string_view json, std::size_t inlineWidth = kInlineJsonWidth);

class TranscriptFormatter {
public:
    // The lines for one entry; empty for entries the player shows itself.
    [[nodiscard]] std::vector<FormattedLine> Format(const HostCall& call);
    // How many waits are open at this point of the transcript.
    [[nodiscard]] std::size_t WaitDepth() const { return waitDepth_; }

private:
    std::vector<FormattedLine> Published(const std::string& detail);
    std::vector<FormattedLine> Delivered(const std::string& detail) const;
    std::vector<FormattedLine> Request(const std::string& detail) const;
    std::vector<FormattedLine> Log(const std::string& detail) const;
    std::vector<FormattedLine> Line(std::string text) const;

    std::size_t waitDepth_ = 0;
    std::string lastPublished_;  // payload of the last DispatchEvent, to fold its "OnJsonApiEvent" twin
};

}  // namespace qivhost
