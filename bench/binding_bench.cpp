// Building, deep-copying and destroying a tree of 1,000 records of 10 fields, once as a
// BindingProperty tree (arena, slab pools, interned names) and once as the same tree of
// general-heap nodes (std::map / std::vector of a variant value), side by side in the
// same run. Counters: the time of each variant per tree, the heap/arena ratio, and the
// pages and chunks the arena tree takes from the page source.
//
// The argument is the page source's spare chunk limit: 0 is the default policy (a chunk
// goes back to the operating system as soon as its last page does), 32 keeps emptied
// chunks for the next tree.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "value/binding_property.h"
#include "value/page_source.h"

namespace {

using vclient::BindingPageSource;
using vclient::BindingProperty;

constexpr int kRecords = 1000;

// The general-heap counterpart of a BindingProperty.
struct HeapNode {
    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string,
                 std::vector<HeapNode>, std::map<std::string, HeapNode>>
        value;
};
using HeapMap = std::map<std::string, HeapNode>;
using HeapList = std::vector<HeapNode>;

// Value texts are made once so that neither variant pays for formatting.
struct Texts {
    std::vector<std::string> names;
    std::vector<std::string> tags;
    Texts() {
        for (int i = 0; i < kRecords; ++i) {
            names.push_back(std::string("player-name-").append(std::to_string(i)));
            tags.push_back(std::string("tag-").append(std::to_string(i % 40)));
        }
    }
};

const Texts& SharedTexts() {
    static const Texts texts;
    return texts;
}

void BuildArenaTree(BindingProperty& root) {
    const Texts& texts = SharedTexts();
    BindingProperty& records = root.Field("records");
    static_cast<void>(records.EnsureCollection().Reserve(kRecords));
    for (int i = 0; i < kRecords; ++i) {
        BindingProperty& record = records.Append();
        record.Field("id").SetSigned(i);
        record.Field("name").SetString(texts.names[static_cast<std::size_t>(i)]);
        record.Field("level").SetUnsigned(static_cast<std::uint64_t>(i % 500));
        record.Field("score").SetFloat(i * 0.5);
        record.Field("active").SetBool(i % 2 == 0);
        record.Field("team").SetString(i % 2 == 0 ? "blue" : "red");
        record.Field("tag").SetString(texts.tags[static_cast<std::size_t>(i)]);
        record.Field("rank").SetSigned(-i);
        record.Field("region").SetString("EUW");
        record.Field("champion").SetString("champion-with-a-long-name");
    }
}

void BuildHeapTree(HeapNode& root) {
    const Texts& texts = SharedTexts();
    HeapList& records = root.value.emplace<HeapMap>()["records"].value.emplace<HeapList>();
    records.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        HeapMap& record = records.emplace_back().value.emplace<HeapMap>();
        record["id"].value.emplace<std::int64_t>(i);
        record["name"].value.emplace<std::string>(texts.names[static_cast<std::size_t>(i)]);
        record["level"].value.emplace<std::uint64_t>(static_cast<std::uint64_t>(i % 500));
        record["score"].value.emplace<double>(i * 0.5);
        record["active"].value.emplace<bool>(i % 2 == 0);
        record["team"].value.emplace<std::string>(i % 2 == 0 ? "blue" : "red");
        record["tag"].value.emplace<std::string>(texts.tags[static_cast<std::size_t>(i)]);
        record["rank"].value.emplace<std::int64_t>(-i);
        record["region"].value.emplace<std::string>("EUW");
        record["champion"].value.emplace<std::string>("champion-with-a-long-name");
    }
}

// Applies the benchmark's spare chunk limit for its duration.
class SpareChunks {
public:
    explicit SpareChunks(const benchmark::State& state) {
        BindingPageSource::Instance().SetSpareChunkLimit(static_cast<std::size_t>(state.range(0)));
    }
    ~SpareChunks() { BindingPageSource::Instance().SetSpareChunkLimit(BindingPageSource::kDefaultSpareChunks); }
    SpareChunks(const SpareChunks&) = delete;
    SpareChunks& operator=(const SpareChunks&) = delete;
};

template <typename Action>
double Seconds(Action&& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(benchmark::State& state, double arena, double heap, std::size_t pages, std::size_t chunks) {
    const auto n = static_cast<double>(state.iterations());
    state.counters["arena_us"] = arena / n * 1e6;
    state.counters["heap_us"] = heap / n * 1e6;
    state.counters["heap_over_arena"] = heap / arena;
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["chunks"] = static_cast<double>(chunks);
}

void BM_Build(benchmark::State& state) {
    const SpareChunks spares(state);
    double arena = 0;
    double heap = 0;
    std::size_t pages = 0;
    std::size_t chunks = 0;
    for (auto _ : state) {
        {
            BindingProperty tree;
            arena += Seconds([&] { BuildArenaTree(tree); });
            pages = BindingPageSource::Instance().PagesOut();
            chunks = BindingPageSource::Instance().ChunksHeld();
            benchmark::DoNotOptimize(tree);
        }
        HeapNode node;
        heap += Seconds([&] { BuildHeapTree(node); });
        benchmark::DoNotOptimize(node);
    }
    Report(state, arena, heap, pages, chunks);
}

void BM_DeepCopy(benchmark::State& state) {
    const SpareChunks spares(state);
    BindingProperty tree;
    BuildArenaTree(tree);
    HeapNode node;
    BuildHeapTree(node);
    double arena = 0;
    double heap = 0;
    std::size_t pages = 0;
    std::size_t chunks = 0;
    for (auto _ : state) {
        {
            BindingProperty copy;
            arena += Seconds([&] { copy = tree; });
            pages = BindingPageSource::Instance().PagesOut();
            chunks = BindingPageSource::Instance().ChunksHeld();
            benchmark::DoNotOptimize(copy);
        }
        HeapNode heapCopy;
        heap += Seconds([&] { heapCopy = node; });
        benchmark::DoNotOptimize(heapCopy);
    }
    Report(state, arena, heap, pages, chunks);
}

void BM_Destroy(benchmark::State& state) {
    const SpareChunks spares(state);
    double arena = 0;
    double heap = 0;
    for (auto _ : state) {
        auto* tree = new BindingProperty();
        BuildArenaTree(*tree);
        arena += Seconds([&] { delete tree; });
        auto* node = new HeapNode();
        BuildHeapTree(*node);
        heap += Seconds([&] { delete node; });
    }
    Report(state, arena, heap, BindingPageSource::Instance().PagesOut(), BindingPageSource::Instance().ChunksHeld());
}

// The whole life of one tree per request: build, then throw away.
void BM_ArenaBuildAndDestroy(benchmark::State& state) {
    const SpareChunks spares(state);
    for (auto _ : state) {
        BindingProperty tree;
        BuildArenaTree(tree);
        benchmark::DoNotOptimize(tree);
    }
}

void BM_HeapBuildAndDestroy(benchmark::State& state) {
    for (auto _ : state) {
        HeapNode node;
        BuildHeapTree(node);
        benchmark::DoNotOptimize(node);
    }
}

BENCHMARK(BM_Build)->Arg(0)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeepCopy)->Arg(0)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Destroy)->Arg(0)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ArenaBuildAndDestroy)->Arg(0)->Arg(64)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeapBuildAndDestroy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
