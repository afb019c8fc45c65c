#include "core/wait_tracker.h"

#include <algorithm>

namespace qivhost {

void WaitTracker::Begin(std::string label) {
    ++labels_[label];
    open_.push_back(OpenWait{std::move(label), 0});
    maxDepth_ = std::max(maxDepth_, open_.size());
    ++begun_;
}

std::uint64_t WaitTracker::End() {
    if (open_.empty()) {
        ++unmatchedEnds_;
        return 0;
    }
    const std::uint64_t turns = open_.back().turns;
    open_.pop_back();
    ++ended_;
    return turns;
}

void WaitTracker::CountTurn() {
    for (OpenWait& wait : open_) ++wait.turns;
}

}  // namespace qivhost
