// Native conversion of a tree of 1,000 records of 10 fields through the type registry:
// FromBinding into native records, the same assignment written by hand against the tree
// (typed reads without the registry, the lower bound for any generic conversion), and
// ToBinding of the native records back into a tree beside the same tree built by hand.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "value/binding_result.h"
#include "binding/conversion.h"
#include "binding/register_type.h"
#include "binding/type_registry.h"

namespace {

using namespace vclient;

constexpr std::size_t kRecords = 1000;

struct Player {
    bool botPlayer = false;
    std::int32_t championId = 0;
    bool isReportingDisabled = false;
    std::uint64_t gameId = 0;
    bool leaver = false;
    std::int32_t profileIconId = 0;
    std::string skinName;
    std::string summonerName;
    std::int32_t teamId = 0;
    std::uint64_t userId = 0;
};

void RegisterPlayer(TypeRegistry& registry) {
    RegisterRecord<Player>(registry, "EndOfGamePlayer")
        .QIV_FIELD(botPlayer)
        .QIV_FIELD(championId)
        .QIV_FIELD(isReportingDisabled)
        .QIV_FIELD(gameId)
        .QIV_FIELD(leaver)
        .QIV_FIELD(profileIconId)
        .QIV_FIELD(skinName)
        .QIV_FIELD(summonerName)
        .QIV_FIELD(teamId)
        .QIV_FIELD(userId);
}

std::vector<Player> MakePlayers() {
    std::vector<Player> players(kRecords);
    for (std::size_t i = 0; i < kRecords; ++i) {
        Player& p = players[i];
        p.botPlayer = i % 7 == 0;
        p.championId = static_cast<std::int32_t>(i % 160);
        p.gameId = 4000000000ULL + i / 10;
        p.profileIconId = static_cast<std::int32_t>(i);
        p.skinName = "Skin " + std::to_string(i % 30);
        p.summonerName = "Summoner" + std::to_string(i);
        p.teamId = i % 2 == 0 ? 100 : 200;
        p.userId = 1000000ULL + i;
    }
    return players;
}

BindingProperty MakeTree(const TypeRegistry& registry) {
    BindingResult result;
    (void)ToBinding(result, MakePlayers(), registry);
    return std::move(result.Value());
}

// The hand-written counterpart: the same fields with typed reads, no checks or messages.
void ReadByHand(const BindingProperty& tree, std::vector<Player>& players) {
    players.clear();
    players.resize(tree.Size());
    for (std::size_t i = 0; i < players.size(); ++i) {
        const BindingProperty& e = tree.At(i);
        Player& p = players[i];
        p.botPlayer = e.Find("botPlayer").GetBool();
        p.championId = static_cast<std::int32_t>(e.Find("championId").GetSigned());
        p.isReportingDisabled = e.Find("isReportingDisabled").GetBool();
        p.gameId = e.Find("gameId").GetUnsigned();
        p.leaver = e.Find("leaver").GetBool();
        p.profileIconId = static_cast<std::int32_t>(e.Find("profileIconId").GetSigned());
        p.skinName = e.Find("skinName").GetString();
        p.summonerName = e.Find("summonerName").GetString();
        p.teamId = static_cast<std::int32_t>(e.Find("teamId").GetSigned());
        p.userId = e.Find("userId").GetUnsigned();
    }
}

void BM_FromBindingRegistry(benchmark::State& state) {
    TypeRegistry registry;
    RegisterPlayer(registry);
    const BindingProperty tree = MakeTree(registry);
    std::vector<Player> players;
    for (auto _ : state) {
        BindingResult result;
        const bool ok = FromBinding(result, tree, players, "players", registry);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(players.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}

void BM_FromBindingByHand(benchmark::State& state) {
    TypeRegistry registry;
    RegisterPlayer(registry);
    const BindingProperty tree = MakeTree(registry);
    std::vector<Player> players;
    for (auto _ : state) {
        ReadByHand(tree, players);
        benchmark::DoNotOptimize(players.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}

void BM_ToBindingRegistry(benchmark::State& state) {
    TypeRegistry registry;
    RegisterPlayer(registry);
    const std::vector<Player> players = MakePlayers();
    for (auto _ : state) {
        BindingResult result;
        const bool ok = ToBinding(result, players, registry);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(result.Value().Size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}

// The tree of ToBinding written by hand: the cost of the tree itself.
void BM_ToBindingByHand(benchmark::State& state) {
    const std::vector<Player> players = MakePlayers();
    for (auto _ : state) {
        BindingProperty tree;
        tree.EnsureCollection();
        (void)tree.Reserve(players.size());
        for (const Player& p : players) {
            BindingProperty& e = tree.Append();
            e.Field("botPlayer").SetBool(p.botPlayer);
            e.Field("championId").SetSigned(p.championId);
            e.Field("isReportingDisabled").SetBool(p.isReportingDisabled);
            e.Field("gameId").SetUnsigned(p.gameId);
            e.Field("leaver").SetBool(p.leaver);
            e.Field("profileIconId").SetSigned(p.profileIconId);
            e.Field("skinName").SetString(p.skinName);
            e.Field("summonerName").SetString(p.summonerName);
            e.Field("teamId").SetSigned(p.teamId);
            e.Field("userId").SetUnsigned(p.userId);
        }
        benchmark::DoNotOptimize(tree.Size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRecords));
}

BENCHMARK(BM_FromBindingRegistry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FromBindingByHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ToBindingRegistry)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ToBindingByHand)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
