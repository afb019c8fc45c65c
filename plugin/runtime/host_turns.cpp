#include "runtime/host_turns.h"

#include "log/fatal_error.h"
#include "platform/platform.h"
#include "runtime/app_module.h"
#include "runtime/host_boundary.h"
#include "util/format_positional.h"

namespace vclient {
namespace {

// The host cannot cancel a timer, so the context it hands back to TimerFired is a ticket
// rather than an address: a ticket whose module is gone (or that already fired) finds no
// entry here, and nothing runs. Tickets are never reused while the process lives.
class TimerTickets {
public:
    struct Target {
        HostTurns* turns;
        std::uint64_t id;
    };

    std::uintptr_t Issue(HostTurns* turns, std::uint64_t id) {
        std::lock_guard<std::mutex> hold(lock_);
        if (++last_ == 0) ++last_;  // 0 is never a ticket
        targets_.emplace(last_, Target{turns, id});
        return last_;
    }

    // Takes the ticket out; false when it is unknown.
    bool Redeem(std::uintptr_t ticket, Target& out) {
        std::lock_guard<std::mutex> hold(lock_);
        const auto found = targets_.find(ticket);
        if (found == targets_.end()) return false;
        out = found->second;
        targets_.erase(found);
        return true;
    }

    void Void(std::uintptr_t ticket) {
        std::lock_guard<std::mutex> hold(lock_);
        targets_.erase(ticket);
    }

private:
    std::mutex lock_;
    std::uintptr_t last_ = 0;
    std::unordered_map<std::uintptr_t, Target> targets_;
};

TimerTickets& Tickets() {
    static TimerTickets* tickets = new TimerTickets();  // lives as long as the process
    return *tickets;
}

}  // namespace

std::int64_t MonotonicNanoseconds() {
    static const std::int64_t frequency = platform::QueryPerformanceFrequency();
    const std::int64_t counter = platform::QueryPerformanceCounter();
    // Split to keep counter * 1e9 from overflowing.
    return (counter / frequency) * 1000000000 + (counter % frequency) * 1000000000 / frequency;
}

HostTurns::~HostTurns() {
    std::lock_guard<std::mutex> hold(timerLock_);
    for (const auto& [id, entry] : timers_) Tickets().Void(entry.ticket);
    timers_.clear();
}

HostTurns::Wait::~Wait() {
    if (opened_) module_.EndWait();
}

void HostTurns::Wait::NotReady() {
    if (!opened_) {
        opened_ = true;
        const std::string label = Format("Wait: future<%1>", typeName_);
        module_.BeginWait(label.c_str(), 0);
    }
    module_.RunPending();
}

void HostTurns::RaiseBrokenFuture(const std::future_error& error) {
    const std::string why =
        Format("Caught std::future_error in AppModule::Await: (%1) %2", error.code().value(), error.what());
    RaiseFatalError("ALE-6D828C10", why.c_str());
}

std::uint64_t HostTurns::Yield() {
    module_.BeginWait("Wait: yield", 0);
    module_.RunPending();
    return module_.EndWait();
}

std::uint64_t HostTurns::ScheduleCallback(const std::string& name, std::function<void()> function,
                                          std::int64_t deadline) {
    const std::int64_t remaining = deadline - MonotonicNanoseconds();
    const double delay = remaining > 0 ? static_cast<double>(remaining) * 1e-9 : 0.0;
    std::uintptr_t ticket = 0;
    std::uint64_t id = 0;
    {
        std::lock_guard<std::mutex> hold(timerLock_);
        id = nextTimerId_++;
        ticket = Tickets().Issue(this, id);
        timers_.emplace(id, TimerEntry{&module_, id, std::move(function), ticket});
    }
    module_.ScheduleTimer(name.c_str(), &HostTurns::TimerFired, reinterpret_cast<void*>(ticket), delay, 0);
    return id;
}

std::size_t HostTurns::PendingTimerCount() const {
    std::lock_guard<std::mutex> hold(timerLock_);
    return timers_.size();
}

void QIV_CALL HostTurns::TimerFired(void* context) {
    TimerTickets::Target target{};
    if (!Tickets().Redeem(reinterpret_cast<std::uintptr_t>(context), target)) return;
    HostTurns& turns = *target.turns;
    std::function<void()>* function = nullptr;
    {
        std::lock_guard<std::mutex> hold(turns.timerLock_);
        const auto found = turns.timers_.find(target.id);
        if (found == turns.timers_.end()) return;
        function = &found->second.function;
    }
    // The entry stays in the table while it runs (nodes of the map do not move); a
    // nested turn may add timers meanwhile.
    if (*function) ContainAtBoundary("TimerFired", *function);
    std::lock_guard<std::mutex> hold(turns.timerLock_);
    turns.timers_.erase(target.id);
}

}  // namespace vclient
