// The host's pending work and its clock: event deliveries, service replies and timers,
// each due at a point of host time and at a host turn. Nothing here sleeps; host time
// moves only through AdvanceClock or, inside a turn that asks for it, by jumping to the
// earliest pending item when nothing is due.
//
// Contract:
// - Add(label, delaySeconds, delayTurns, action): the action becomes due once the clock
//   has reached now + delaySeconds and at least delayTurns more turns have started. A
//   negative or NaN delay counts as 0; an infinite one never becomes due.
// - Turn(jumpWhenIdle) starts one turn: it counts the turn, optionally jumps the clock,
//   then runs every item that was due when the turn started, earliest due time first,
//   in the order added among equals. Items added while the turn runs (a plug-in that
//   dispatches from inside a delivery) wait for a later turn, so one turn is bounded.
// - An action may call Turn again (a plug-in waiting inside a delivery); the items of the
//   outer turn have already left the queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qivhost {

class PendingQueue {
public:
    using Action = std::function<void()>;

    void Add(std::string label, double delaySeconds, std::uint64_t delayTurns, Action action);
    // Returns the number of items run.
    std::size_t Turn(bool jumpWhenIdle);
    // Moves the clock forward (a negative or NaN amount does nothing); runs nothing.
    void AdvanceClock(double seconds);

    [[nodiscard]] double Now() const { return now_; }
    [[nodiscard]] std::uint64_t Turns() const { return turns_; }
    [[nodiscard]] std::size_t Size() const { return items_.size(); }
    [[nodiscard]] bool Empty() const { return items_.empty(); }
    // Whether an item is due now, or would be at the next turn.
    [[nodiscard]] bool HasDue(bool atNextTurn = false) const;
    // Whether some item can still become due (its due time is finite).
    [[nodiscard]] bool CanProgress() const;
    [[nodiscard]] std::vector<std::string> Labels() const;
    void Clear() { items_.clear(); }

private:
    struct Item {
        std::string label;
        double dueTime = 0;
        std::uint64_t dueTurn = 0;
        std::uint64_t sequence = 0;
        Action action;
    };
    [[nodiscard]] bool IsDue(const Item& item, std::uint64_t turn) const;
    void JumpToEarliest();

    std::vector<Item> items_;
    double now_ = 0;
    std::uint64_t turns_ = 0;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace qivhost
