// The served development host under load: concurrent keep-alive clients on loopback
// against `qiv-host serve`, side by side with the same calls made in-process through the
// host's HandleCall road, so that the HTTP layer's share shows as a ratio.
//
//   serve_load_bench --benchmark_counters_tabular=true
//
// Two calls, on the fake plug-in the host's tests use: a literal GET that dispatches an
// event ("/fake/dispatch?name=load"), and a POST of a 1 KB JSON body that the plug-in
// echoes ("/fake/echo"). Each served run lasts a fixed time with a fixed number of
// clients; it reports requests per second, the median and 99th-percentile latency, the
// ratio of its mean latency to the in-process call's, the failed requests, and the events
// the dispatching calls published that the event stream did not deliver. Both of the last
// two must be 0.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/dev_host.h"
#include "serve/serve_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRunTime = 2s;
constexpr char kDispatch[] = "/fake/dispatch?name=load&text=x";

std::string JsonBody() {
    std::string body = "{\"items\":[";
    for (int i = 0; body.size() < 1000; ++i) body += (i != 0 ? "," : "") + std::to_string(i * 7919);
    return body + "]}";
}

// The mean in-process latency of each call, in microseconds, for the served runs' ratios.
double gInProcessGet = 0;
double gInProcessPost = 0;

void InProcess(benchmark::State& state, bool post) {
    qivhost::DevHost host;
    if (!host.Load(QIV_FAKE_PLUGIN_PATH, qivhost::HostVersion{}) || !host.Initialize()) {
        state.SkipWithError("the fake plug-in does not load");
        return;
    }
    const std::string body = JsonBody();
    std::int64_t failed = 0;
    for (auto _ : state) {
        const qivhost::RestAnswer answer = post ? host.Call("POST", "/fake/echo", body) : host.Call("GET", kDispatch);
        failed += answer.errorText.has_value() ? 1 : 0;
        host.RunUntilIdle();
    }
    state.counters["failed"] = static_cast<double>(failed);
    host.Shutdown();
}

void InProcessGet(benchmark::State& state) {
    const auto start = Clock::now();
    InProcess(state, false);
    gInProcessGet = std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
                    static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void InProcessPost(benchmark::State& state) {
    const auto start = Clock::now();
    InProcess(state, true);
    gInProcessPost = std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
                     static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// Counts the "load" events of GET /events, read on a thread of its own.
class EventCounter {
public:
    explicit EventCounter(int port)
        : thread_([this, port] {
              httplib::Client client("127.0.0.1", port);
              client.set_read_timeout(60, 0);
              std::string carry;
              (void)client.Get("/events", httplib::Headers{}, [this, &carry](const char* data, std::size_t length) {
                  carry.append(data, length);
                  std::size_t found = 0;
                  std::size_t at = 0;
                  while ((at = carry.find("event: load\n", at)) != std::string::npos) {
                      ++found;
                      at += 12;
                  }
                  carry.erase(0, carry.size() > 11 ? carry.size() - 11 : 0);
                  {
                      const std::lock_guard<std::mutex> lock(mutex_);
                      count_ += found;
                  }
                  changed_.notify_all();
                  return !stop_;
              });
          }) {}
    ~EventCounter() {
        stop_ = true;
        thread_.join();
    }
    // Waits up to five seconds for `expected` events; returns how many came.
    std::size_t WaitFor(std::size_t expected) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 5s, [&] { return count_ >= expected; });
        return count_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t count_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// One served host for the whole process, on a free loopback port.
class Served {
public:
    Served() {
        options_.pluginPath = QIV_FAKE_PLUGIN_PATH;
        out_ = std::tmpfile();
        session_ = std::make_unique<qivhost::ServeSession>(options_, out_);
        opened_ = session_->Open();
        if (opened_) thread_ = std::thread([this] { session_->Serve(); });
    }
    ~Served() {
        if (thread_.joinable()) {
            session_->RequestStop();
            thread_.join();
        }
        if (out_ != nullptr) std::fclose(out_);
    }
    bool Opened() const { return opened_; }
    int Port() const { return session_->Port(); }

private:
    qivhost::ServeOptions options_;
    std::FILE* out_ = nullptr;
    std::unique_ptr<qivhost::ServeSession> session_;
    bool opened_ = false;
    std::thread thread_;
};

Served& Server() {
    static Served served;
    return served;
}

double Percentile(std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(fraction * static_cast<double>(sorted.size())))];
}

void ServedLoad(benchmark::State& state, bool post) {
    Served& served = Server();
    if (!served.Opened()) {
        state.SkipWithError("the served host does not start");
        return;
    }
    const int clients = static_cast<int>(state.range(0));
    const std::string body = JsonBody();
    for (auto _ : state) {
        EventCounter events(served.Port());
        std::this_thread::sleep_for(100ms);  // the stream is open before the first event
        std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
        std::atomic<std::int64_t> failed{0};
        std::vector<std::thread> threads;
        const auto start = Clock::now();
        const auto end = start + kRunTime;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", served.Port());
                client.set_keep_alive(true);
                client.set_tcp_nodelay(true);
                std::vector<double>& mine = latencies[static_cast<std::size_t>(c)];
                while (Clock::now() < end) {
                    const auto sent = Clock::now();
                    const httplib::Result result =
                        post ? client.Post("/fake/echo", body, "application/json") : client.Get(kDispatch);
                    mine.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
                    if (!result || result->status != 200) ++failed;
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);

        std::vector<double> all;
        for (const std::vector<double>& some : latencies) all.insert(all.end(), some.begin(), some.end());
        std::sort(all.begin(), all.end());
        double mean = 0;
        for (double latency : all) mean += latency;
        mean /= static_cast<double>(std::max<std::size_t>(all.size(), 1));
        const std::size_t published = post ? 0 : all.size();
        const std::size_t delivered = post ? 0 : events.WaitFor(published);
        const double inProcess = post ? gInProcessPost : gInProcessGet;

        state.counters["clients"] = clients;
        state.counters["requests_per_s"] = static_cast<double>(all.size()) / seconds;
        state.counters["p50_us"] = Percentile(all, 0.50);
        state.counters["p99_us"] = Percentile(all, 0.99);
        state.counters["x_in_process"] = inProcess > 0 ? mean / inProcess : 0;
        state.counters["failed"] = static_cast<double>(failed.load());
        state.counters["lost_events"] = static_cast<double>(published > delivered ? published - delivered : 0);
    }
}

void ServedGet(benchmark::State& state) { ServedLoad(state, false); }
void ServedPost(benchmark::State& state) { ServedLoad(state, true); }

BENCHMARK(InProcessGet)->MinTime(1.0);
BENCHMARK(InProcessPost)->MinTime(1.0);
BENCHMARK(ServedGet)->Arg(1)->Arg(4)->Arg(16)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ServedPost)->Arg(1)->Arg(4)->Arg(16)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
