#include "serve/plugin_thread.h"

namespace qivhost {

bool PluginThread::Run(Work work) {
    std::future<void> finished;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (refusing_) return false;
        Job& job = jobs_.emplace_back(Job{std::move(work), std::promise<void>()});
        finished = job.done.get_future();
    }
    wake_.notify_one();
    finished.get();
    return true;
}

void PluginThread::RequestStop() {
    stopRequested_ = true;
    wake_.notify_one();
}

bool PluginThread::StopWanted() const { return stopRequested_ || (stopFlag_ != nullptr && *stopFlag_ != 0); }

void PluginThread::Serve(DevHost& host, const std::function<void()>& afterRound) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    for (bool stopping = false;;) {
        std::deque<Job> jobs;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, tick_, [&] { return !jobs_.empty() || StopWanted(); });
            if (StopWanted()) refusing_ = true;
            stopping = refusing_;
            jobs.swap(jobs_);
        }
        for (Job& job : jobs) {
            try {
                job.work(host);
                host.RunUntilIdle();
                afterRound();
                job.done.set_value();
            } catch (...) {  // the worker that handed it in answers the failure
                job.done.set_exception(std::current_exception());
            }
        }
        const Clock::time_point now = Clock::now();
        host.AdvanceClock(std::chrono::duration<double>(now - last).count());
        last = now;
        afterRound();
        if (stopping) {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (jobs_.empty()) return;
        }
    }
}

}  // namespace qivhost
