// Cost of serving a REST call through the route table's HandleCall, against calling the
// bound member operation directly with arguments already converted, in the same run:
//   - a literal GET route returning a small record;
//   - a templated POST route with a 1 KB JSON body.
// Each dispatch benchmark reports "ratio": its time per call over the direct call's.
//
// A bare member call that returns a constant record costs a nanosecond or two, less than
// handing any value across the boundary. So the GET route is also measured against the
// direct call whose record is then delivered the way the host takes results: converted
// to a tree, then to a host value, which is released ("ratio_delivered"). What is left
// over is the dispatch itself: the route match, argument binding, the response record.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "binding/conversion.h"
#include "binding/host_value.h"
#include "binding/register_type.h"
#include "qiv/plugin_abi.h"
#include "router/api_registry.h"
#include "router/handle_call.h"

namespace {

using namespace vclient;

struct Summary {
    std::string name;
    std::int32_t level = 0;
    bool locked = false;
};

struct Vote {
    std::string player;
    std::uint64_t gameId = 0;
    std::vector<std::string> notes;
};

class Service {
public:
    Summary GetSummary() const { return Summary{"summary", 3, true}; }
    std::string PostVote(const std::string& id, const Vote& vote) const {
        return id.size() + vote.notes.size() > 0 ? vote.player : std::string();
    }
};

struct Fixture {
    Fixture() {
        RegisterRecord<Summary>(registry, "Summary").QIV_FIELD(name).QIV_FIELD(level).QIV_FIELD(locked);
        RegisterRecord<Vote>(registry, "Vote").QIV_FIELD(player).QIV_FIELD(gameId).QIV_FIELD(notes);
        registry.AddRoute(HttpMethod::Get, "/qiv-honor-v2/v1/summary", &service, &Service::GetSummary);
        registry.AddRoute(HttpMethod::Post, "/qiv-honor-v2/v1/votes/{id}", &service, &Service::PostVote)
            .Path("id")
            .Body("vote");
        const RouteTableDescriptor* table = registry.BuildRouteTable();
        summary = &table->functions[0];
        vote = &table->functions[1];
        body = "{\"player\":\"somebody\",\"gameId\":1234567890,\"notes\":[";
        while (body.size() < 1000) body += "\"a note of some length\",";
        body += "\"end\"]}";
    }

    ApiRegistry registry;
    Service service;
    const RouteFunctionEntry* summary = nullptr;
    const RouteFunctionEntry* vote = nullptr;
    std::string body;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

double gDirectSummaryNs = 0;
double gDeliveredSummaryNs = 0;
double gDirectVoteNs = 0;

// Runs `body` for every iteration and returns the time per iteration in nanoseconds.
template <class Body>
double TimeLoop(benchmark::State& state, Body body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) body();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto iterations = static_cast<double>(state.iterations());
    return iterations > 0 ? std::chrono::duration<double, std::nano>(elapsed).count() / iterations : 0.0;
}

void Call(const RouteFunctionEntry& entry, HostRequest& request) {
    request.dispatchContext = entry.function.dispatchContext;
    HostResponse response{};
    const RouteHandleCallFunction handleCall = entry.HandleCall;
    handleCall(&response, &request);
    benchmark::DoNotOptimize(response.status);
    const HostReleaseResponseFunction release = response.release;
    release(&response);
}

void BM_DirectGetSummary(benchmark::State& state) {
    const Service& service = Shared().service;
    gDirectSummaryNs = TimeLoop(state, [&] {
        Summary summary = service.GetSummary();
        benchmark::DoNotOptimize(summary);
    });
}
BENCHMARK(BM_DirectGetSummary);

void BM_DirectGetSummaryDelivered(benchmark::State& state) {
    Fixture& fixture = Shared();
    const Service& service = fixture.service;
    gDeliveredSummaryNs = TimeLoop(state, [&] {
        BindingResult tree;
        if (!ToBinding(tree, service.GetSummary(), fixture.registry)) {
            state.SkipWithError("the record did not convert");
        }
        HostValue value{};
        benchmark::DoNotOptimize(BindingToHostValue(value, tree.Value(), &fixture.registry));
        HostValueClear(value);
    });
}
BENCHMARK(BM_DirectGetSummaryDelivered);

void BM_HandleCallGetSummary(benchmark::State& state) {
    Fixture& fixture = Shared();
    HostRequest request{};
    request.method = QIV_HTTP_GET;
    request.url = "/qiv-honor-v2/v1/summary";
    const double ns = TimeLoop(state, [&] { Call(*fixture.summary, request); });
    if (gDirectSummaryNs > 0) state.counters["ratio"] = ns / gDirectSummaryNs;
    if (gDeliveredSummaryNs > 0) state.counters["ratio_delivered"] = ns / gDeliveredSummaryNs;
}
BENCHMARK(BM_HandleCallGetSummary);

void BM_DirectPostVote(benchmark::State& state) {
    const Service& service = Shared().service;
    Vote vote;
    vote.player = "somebody";
    vote.gameId = 1234567890;
    vote.notes.assign(40, "a note of some length");
    const std::string id = "42";
    gDirectVoteNs = TimeLoop(state, [&] {
        std::string answer = service.PostVote(id, vote);
        benchmark::DoNotOptimize(answer);
    });
}
BENCHMARK(BM_DirectPostVote);

void BM_HandleCallPostVote(benchmark::State& state) {
    Fixture& fixture = Shared();
    HostRequest request{};
    request.method = QIV_HTTP_POST;
    request.url = "/qiv-honor-v2/v1/votes/42";
    request.contentType = "application/json";
    request.body = fixture.body.data();
    request.bodyLength = static_cast<std::uint32_t>(fixture.body.size());
    const double ns = TimeLoop(state, [&] { Call(*fixture.vote, request); });
    if (gDirectVoteNs > 0) state.counters["ratio"] = ns / gDirectVoteNs;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fixture.body.size()));
}
BENCHMARK(BM_HandleCallPostVote);

}  // namespace

BENCHMARK_MAIN();
