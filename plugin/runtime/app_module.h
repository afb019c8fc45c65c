// The module base of a plug-in object: the forwarders to the host core, cooperative
// waiting (Await, Yield), one-shot timers (ScheduleCallback), and (as the runtime grows)
// the subscription, handler and service-proxy tables that the host's callbacks reach.
// The host core is only ever called through these forwarders, so a test can stand in for
// the host by overriding them.
//
// Threading: the host decides on which threads it calls in. Await and Yield hand the
// thread back to the host through RunPending, during which other handlers of this module
// may run nested; the module holds none of its own locks while it waits.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <unordered_map>

#include "binding/static_type.h"
#include "qiv/plugin_abi.h"
#include "runtime/failure.h"
#include "runtime/maybe_type.h"

namespace vclient {

// Now on the monotonic high-resolution clock, in nanoseconds: the time base of
// ScheduleCallback deadlines.
[[nodiscard]] std::int64_t MonotonicNanoseconds();

class AppModule {
public:
    AppModule() = default;
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;
    // Forgets the module's pending timers: a timer that the host fires later finds
    // nothing and runs nothing.
    virtual ~AppModule();

    // Unsubscribes every event name that has a handler and empties the handler tables.
    // Called once by Shutdown, right before the object is destroyed.
    virtual void UnsubscribeAll();

    // One forwarder per host core slot 0 to 8, in slot order. Slot 9 (WriteLog) is
    // reached only through the plug-in's log target.
    virtual void PerformRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void Reserved1(std::uint32_t first, std::uint32_t second) = 0;
    virtual void DispatchEvent(const HostEvent* event) = 0;
    virtual void SubscribeEvent(const char* name, std::uint32_t clientHandle, HostEventCallback callback,
                                void* context, std::uint32_t flag) = 0;
    virtual void UnsubscribeEvent(const char* name, std::uint32_t clientHandle) = 0;
    virtual void ScheduleTimer(const char* name, HostTimerCallback callback, void* context, double delaySeconds,
                               std::uint32_t zero) = 0;
    virtual void RunPending() = 0;
    virtual void BeginWait(const char* label, std::uint32_t zero) = 0;
    virtual std::uint64_t EndWait() = 0;

    // Waits for the future by giving the host turns: a zero-timeout poll, then one
    // RunPending, until it is ready. Opens one wait (BeginWait "Wait: future<...>" ...
    // EndWait) only when the first poll finds it not ready. A broken promise or a future
    // without state is fatal ("ALE-6D828C10").
    template <class T>
    MaybeType<Failure, T> Await(std::future<MaybeType<Failure, T>> future);

    // Gives the host one turn; returns what EndWait returned.
    std::uint64_t Yield();

    // Runs `function` once on a later host turn, at or after `deadline`
    // (MonotonicNanoseconds). `name` labels the timer for the host. Returns the timer id
    // (1 for the first timer of a module).
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

    static void QIV_CALL TimerFired(void* context);
    // Fatal: a future error while awaiting.
    [[noreturn]] static void RaiseBrokenFuture(const std::future_error& error);

    // Poll and turn bookkeeping shared by every Await instantiation.
    class WaitTurns {
    public:
        WaitTurns(AppModule& module, std::string_view typeName) : module_(module), typeName_(typeName) {}
        ~WaitTurns();
        void NotReady();

    private:
        AppModule& module_;
        std::string_view typeName_;
        bool opened_ = false;
    };

    mutable std::mutex timerLock_;
    std::unordered_map<std::uint64_t, TimerEntry> timers_;
    std::uint64_t nextTimerId_ = 1;
};

template <class T>
MaybeType<Failure, T> AppModule::Await(std::future<MaybeType<Failure, T>> future) {
    try {
        if (!future.valid()) throw std::future_error(std::future_errc::no_state);
        {
            WaitTurns turns(*this, StaticType::Name<MaybeType<Failure, T>>());
            while (future.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) turns.NotReady();
        }
        return future.get();
    } catch (const std::future_error& error) {
        RaiseBrokenFuture(error);
    }
}

}  // namespace vclient
