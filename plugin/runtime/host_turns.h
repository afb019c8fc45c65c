// HostTurns: how the module waits without blocking a thread, and how it defers work. The
// plug-in never sleeps and never blocks on a future: it hands the host one turn at a time
// (BeginWait, RunPending, EndWait) until what it waits for is there, and it asks the host
// for one-shot timers to run work on a later turn.
//
//   MaybeType<Failure, Reply> reply = turns.Await(CallSomething());  // turns until ready
//   turns.ScheduleCallback("Event: ...", [] { ... }, MonotonicNanoseconds());
//
// Threading: RunPending is where the host delivers the events, replies and timers that
// complete a future, so other handlers of the module may run nested inside a wait; no lock
// of the module is held meanwhile. The timer table has its own lock, held only to insert
// and to remove entries, never while an entry's function runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/static_type.h"
#include "qiv/plugin_abi.h"
#include "runtime/module_part.h"
#include "util/failure.h"
#include "util/maybe_type.h"

namespace vclient {

// Now on the monotonic high-resolution clock, in nanoseconds: the time base of
// ScheduleCallback deadlines.
[[nodiscard]] std::int64_t MonotonicNanoseconds();

class HostTurns : ModulePart {
public:
    explicit HostTurns(AppModule& module) : ModulePart(module) {}
    // Forgets the pending timers: a timer that the host fires later finds nothing and
    // runs nothing.
    ~HostTurns();

    // Waits for the future by giving the host turns: a zero-timeout poll, then one
    // RunPending, until it is ready. Opens one wait (BeginWait "Wait: future<...>" ...
    // EndWait) only when the first poll finds it not ready. A broken promise or a future
    // without state is fatal ("ALE-6D828C10").
    template <class T>
    MaybeType<Failure, T> Await(std::future<MaybeType<Failure, T>> future);
    // Gives the host one turn; returns what EndWait returned.
    std::uint64_t Yield();
    // Runs `function` once on a later host turn, at or after `deadline`
    // (MonotonicNanoseconds). `name` labels the timer for the host. Returns the timer id,
    // 1 for the first timer of a module; ids are never reused.
    std::uint64_t ScheduleCallback(const std::string& name, std::function<void()> function, std::int64_t deadline);
    // The number of timers scheduled and not yet fired.
    [[nodiscard]] std::size_t PendingTimerCount() const;

private:
    struct TimerEntry {
        AppModule* owner;
        std::uint64_t id;
        std::function<void()> function;
        std::uintptr_t ticket;
    };

    // The wait of one Await: opened at the first turn that finds the future not ready,
    // closed when the future is.
    class Wait {
    public:
        Wait(AppModule& module, std::string_view typeName) : module_(module), typeName_(typeName) {}
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;
        ~Wait();
        void NotReady();

    private:
        AppModule& module_;
        std::string_view typeName_;
        bool opened_ = false;
    };

    static void QIV_CALL TimerFired(void* context);
    [[noreturn]] static void RaiseBrokenFuture(const std::future_error& error);

    mutable std::mutex timerLock_;
    std::unordered_map<std::uint64_t, TimerEntry> timers_;
    std::uint64_t nextTimerId_ = 1;
};

template <class T>
MaybeType<Failure, T> HostTurns::Await(std::future<MaybeType<Failure, T>> future) {
    try {
        if (!future.valid()) throw std::future_error(std::future_errc::no_state);
        {
            Wait wait(module_, StaticType::Name<MaybeType<Failure, T>>());
            while (future.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) wait.NotReady();
        }
        return future.get();
    } catch (const std::future_error& error) {
        RaiseBrokenFuture(error);
    }
}

}  // namespace vclient
