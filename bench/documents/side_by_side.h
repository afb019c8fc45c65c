// Side by side in one loop: each iteration times our step and the reference's step on
// the same input back to back, so both meet the same machine conditions (this machine's
// speed drifts from one process, and one minute, to the next). Reports the two mean times
// (counters "ours_us" and "reference_us") and their ratio ("ratio", ours over the
// reference: below 1 means ours is faster); the loop's own time is the sum of both.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

namespace qivbench {

template <typename Ours, typename Reference>
void SideBySide(benchmark::State& state, Ours&& ours, Reference&& reference) {
    using Clock = std::chrono::steady_clock;
    Clock::duration oursTotal{};
    Clock::duration referenceTotal{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        ours();
        const Clock::time_point middle = Clock::now();
        reference();
        referenceTotal += Clock::now() - middle;
        oursTotal += middle - start;
    }
    const auto microseconds = [&state](Clock::duration total) {
        return std::chrono::duration<double, std::micro>(total).count() / static_cast<double>(state.iterations());
    };
    state.counters["ours_us"] = microseconds(oursTotal);
    state.counters["reference_us"] = microseconds(referenceTotal);
    state.counters["ratio"] = microseconds(oursTotal) / microseconds(referenceTotal);
}

}  // namespace qivbench
