// Bookkeeping of the plug-in's cooperative waits: BeginWait opens a wait with a label,
// EndWait closes the innermost one and returns the number of host turns (RunPending
// calls) made while it was open. Waits nest when a handler waits inside a delivery made
// during another wait. An EndWait without an open wait returns 0 and is counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qivhost {

class WaitTracker {
public:
    void Begin(std::string label);
    std::uint64_t End();
    // Called for each RunPending; counts into every open wait.
    void CountTurn();

    [[nodiscard]] std::size_t Depth() const { return open_.size(); }
    [[nodiscard]] std::size_t MaxDepth() const { return maxDepth_; }
    [[nodiscard]] std::uint64_t Begun() const { return begun_; }
    [[nodiscard]] std::uint64_t Ended() const { return ended_; }
    [[nodiscard]] std::uint64_t UnmatchedEnds() const { return unmatchedEnds_; }
    // Turns counted in the innermost open wait (0 when none is open).
    [[nodiscard]] std::uint64_t CurrentTurns() const { return open_.empty() ? 0 : open_.back().turns; }
    // How many waits were begun under each label.
    const std::map<std::string, std::uint64_t>& Labels() const { return labels_; }

private:
    struct OpenWait {
        std::string label;
        std::uint64_t turns = 0;
    };
    std::vector<OpenWait> open_;
    std::map<std::string, std::uint64_t> labels_;
    std::size_t maxDepth_ = 0;
    std::uint64_t begun_ = 0;
    std::uint64_t ended_ = 0;
    std::uint64_t unmatchedEnds_ = 0;
};

}  // namespace qivhost
