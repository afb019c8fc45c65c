// Cost of the router's per-call work on a path: building the pattern from the template (done
// afresh for every call) and matching it, for everyday URLs and for a megabyte-long one.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "router/api_name.h"
#include "router/route_pattern.h"

namespace {

void BM_BuildAndMatchSegment(benchmark::State& state) {
    for (auto _ : state) {
        vclient::PathArguments arguments;
        const vclient::RoutePattern pattern("/qiv-honor-v2/v1/players/{id}/honors");
        benchmark::DoNotOptimize(pattern.Match("/qiv-honor-v2/v1/players/a%20b/honors", arguments));
    }
}
BENCHMARK(BM_BuildAndMatchSegment);

void BM_MatchLiteral(benchmark::State& state) {
    const vclient::RoutePattern pattern("/qiv-honor-v2/v1/ballot");
    for (auto _ : state) benchmark::DoNotOptimize(pattern.MatchGroups("/qiv-honor-v2/v1/ballot"));
}
BENCHMARK(BM_MatchLiteral);

// Three greedy groups over a long URL that almost matches: the case that makes a
// backtracking engine explode.
void BM_MatchLongUrlThreeRests(benchmark::State& state) {
    std::string url = "/";
    while (url.size() < static_cast<std::size_t>(state.range(0))) url += "a/";
    const vclient::RoutePattern pattern("/{+a}/{+b}/{+c}x");
    for (auto _ : state) benchmark::DoNotOptimize(pattern.MatchGroups(url));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(url.size()));
}
BENCHMARK(BM_MatchLongUrlThreeRests)->Range(1 << 10, 1 << 20);

void BM_ToApiName(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(vclient::ToApiName("POST", "/qiv-honor-v2/v1/level-change/ack"));
    }
}
BENCHMARK(BM_ToApiName);

}  // namespace

BENCHMARK_MAIN();
