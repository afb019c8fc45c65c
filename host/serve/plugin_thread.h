// The one thread that calls into the plug-in, as the client's main thread does. HTTP
// worker threads hand it work (a REST call, a resource change) and wait for it to be
// done; between pieces of work it keeps the host's turn loop going: the host clock
// follows the real clock, so timers and delayed replies come due while no request is
// made. After every piece of work and every tick it settles the host and calls
// `afterRound` on the plug-in thread (the event stream forwards what was dispatched).
//
// Stopping: RequestStop may be called from any thread (a signal handler sets the flag
// through stopFlag). The loop then refuses new work, finishes what was already handed to
// it and returns, so no worker is left waiting.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <future>
#include <mutex>

#include "core/dev_host.h"

namespace qivhost {

class PluginThread {
public:
    using Work = std::function<void(DevHost&)>;

    explicit PluginThread(std::chrono::milliseconds tick = std::chrono::milliseconds(20)) : tick_(tick) {}

    // Runs `work` on the plug-in thread and returns when it is done; false (work not run)
    // once the thread stops taking work. What the work throws is thrown here.
    bool Run(Work work);
    // The loop; returns after a stop was requested and the work handed in is done.
    void Serve(DevHost& host, const std::function<void()>& afterRound);
    void RequestStop();
    // Set by a signal handler: the loop stops when it reads nonzero.
    void WatchFlag(const volatile std::sig_atomic_t* flag) { stopFlag_ = flag; }

private:
    struct Job {
        Work work;
        std::promise<void> done;
    };
    bool StopWanted() const;

    const std::chrono::milliseconds tick_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool refusing_ = false;
    std::atomic<bool> stopRequested_{false};
    const volatile std::sig_atomic_t* stopFlag_ = nullptr;
};

}  // namespace qivhost
