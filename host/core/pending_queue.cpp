#include "core/pending_queue.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qivhost {

void PendingQueue::Add(std::string label, double delaySeconds, std::uint64_t delayTurns, Action action) {
    const double delay = std::isnan(delaySeconds) || delaySeconds < 0 ? 0.0 : delaySeconds;
    const std::uint64_t turn = delayTurns > std::numeric_limits<std::uint64_t>::max() - turns_
                                   ? std::numeric_limits<std::uint64_t>::max()
                                   : turns_ + delayTurns;
    items_.push_back(Item{std::move(label), now_ + delay, turn, nextSequence_++, std::move(action)});
}

bool PendingQueue::IsDue(const Item& item, std::uint64_t turn) const {
    return item.dueTurn <= turn && item.dueTime <= now_;
}

bool PendingQueue::HasDue(bool atNextTurn) const {
    const std::uint64_t turn = atNextTurn ? turns_ + 1 : turns_;
    return std::any_of(items_.begin(), items_.end(), [&](const Item& item) { return IsDue(item, turn); });
}

bool PendingQueue::CanProgress() const {
    return std::any_of(items_.begin(), items_.end(), [](const Item& item) { return std::isfinite(item.dueTime); });
}

void PendingQueue::JumpToEarliest() {
    double earliest = std::numeric_limits<double>::infinity();
    for (const Item& item : items_) {
        if (item.dueTurn <= turns_) earliest = std::min(earliest, item.dueTime);
    }
    if (std::isfinite(earliest) && earliest > now_) now_ = earliest;
}

std::size_t PendingQueue::Turn(bool jumpWhenIdle) {
    ++turns_;
    if (jumpWhenIdle && !HasDue()) JumpToEarliest();
    std::vector<Item> due;
    std::vector<Item> waiting;
    for (Item& item : items_) (IsDue(item, turns_) ? due : waiting).push_back(std::move(item));
    items_ = std::move(waiting);
    std::stable_sort(due.begin(), due.end(), [](const Item& a, const Item& b) {
        return a.dueTime != b.dueTime ? a.dueTime < b.dueTime : a.sequence < b.sequence;
    });
    for (Item& item : due) item.action();
    return due.size();
}

void PendingQueue::AdvanceClock(double seconds) {
    if (std::isnan(seconds) || seconds <= 0) return;
    now_ += seconds;
}

std::vector<std::string> PendingQueue::Labels() const {
    std::vector<std::string> labels;
    for (const Item& item : items_) labels.push_back(item.label);
    return labels;
}

}  // namespace qivhost
