// Read throughput against document size: the generic document (documents.h) of 1 KiB to
// 4 MiB read by each road, our readers and the references side by side in one process.
//
//   Sweep/Json/<bytes>          JsonToBinding
//   Sweep/RapidJson/<bytes>     RapidJSON's Document::Parse of the same text
//   Sweep/MsgPack/<bytes>       MsgPackToBinding of the same content as MessagePack
//   Sweep/Yaml/<bytes>          YamlToBinding of the same content as block YAML
//   Sweep/LibyamlEvents/<bytes> libyaml's bare event loop on that YAML (every event parsed
//                               and released, nothing kept): the floor of any YAML reader
//
// <bytes> is the size asked of the generator; each benchmark reports the bytes of its
// own input as processed, so bytes_per_second is the throughput of what that road reads.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "codec/json_reader.h"
#include "codec/msgpack_reader.h"
#include "codec/yaml_reader.h"
#include "documents.h"
#include "libyaml_events.h"

namespace {

constexpr std::size_t kSizes[] = {1 << 10, 4 << 10, 16 << 10, 64 << 10, 256 << 10, 1 << 20, 4 << 20};

struct Inputs {
    std::string json;
    std::vector<std::uint8_t> msgpack;
    std::string yaml;
};

// The three encodings of one size, made on first use and kept for the process.
const Inputs& InputsOf(std::size_t bytes) {
    static std::map<std::size_t, Inputs> made;
    auto found = made.find(bytes);
    if (found == made.end()) {
        Inputs inputs;
        inputs.json = qivbench::GenericJson(bytes);
        inputs.msgpack = qivbench::JsonToMsgPack(inputs.json);
        inputs.yaml = qivbench::JsonToYaml(inputs.json);
        found = made.emplace(bytes, std::move(inputs)).first;
    }
    return found->second;
}

void Processed(benchmark::State& state, std::size_t inputBytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(inputBytes));
}

void Json(benchmark::State& state) {
    const std::string& text = InputsOf(static_cast<std::size_t>(state.range(0))).json;
    for (auto _ : state) {
        vclient::BindingResult read = vclient::JsonToBinding(text);
        if (!read.Succeeded()) {
            state.SkipWithError(read.ErrorMessage().c_str());
            return;
        }
        benchmark::DoNotOptimize(read);
    }
    Processed(state, text.size());
}

void RapidJson(benchmark::State& state) {
    const std::string& text = InputsOf(static_cast<std::size_t>(state.range(0))).json;
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str(), text.size());
        if (document.HasParseError()) {
            state.SkipWithError("RapidJSON did not parse the document");
            return;
        }
        benchmark::DoNotOptimize(document);
    }
    Processed(state, text.size());
}

void MsgPack(benchmark::State& state) {
    const std::vector<std::uint8_t>& bytes = InputsOf(static_cast<std::size_t>(state.range(0))).msgpack;
    if (bytes.empty()) {
        state.SkipWithError("the document has no MessagePack form");
        return;
    }
    for (auto _ : state) {
        vclient::MsgPackReadResult read = vclient::MsgPackToBinding(bytes.data(), bytes.size());
        if (!read.result.Succeeded() || read.consumed != bytes.size()) {
            state.SkipWithError("the MessagePack document did not read whole");
            return;
        }
        benchmark::DoNotOptimize(read);
    }
    Processed(state, bytes.size());
}

void Yaml(benchmark::State& state) {
    const std::string& text = InputsOf(static_cast<std::size_t>(state.range(0))).yaml;
    for (auto _ : state) {
        vclient::BindingResult read = vclient::YamlToBinding(text);
        if (!read.Succeeded()) {
            state.SkipWithError(read.ErrorMessage().c_str());
            return;
        }
        benchmark::DoNotOptimize(read);
    }
    Processed(state, text.size());
}

void LibyamlEvents(benchmark::State& state) {
    const std::string& text = InputsOf(static_cast<std::size_t>(state.range(0))).yaml;
    for (auto _ : state) {
        const std::size_t events = qivbench::LibyamlEvents(text);
        if (events == 0) {
            state.SkipWithError("libyaml did not parse the document");
            return;
        }
        benchmark::DoNotOptimize(events);
    }
    Processed(state, text.size());
}

bool RegisterSweep() {
    const struct {
        const char* name;
        void (*run)(benchmark::State&);
    } roads[] = {{"Json", Json},
                 {"RapidJson", RapidJson},
                 {"MsgPack", MsgPack},
                 {"Yaml", Yaml},
                 {"LibyamlEvents", LibyamlEvents}};
    for (const auto& road : roads) {
        benchmark::internal::Benchmark* family =
            benchmark::RegisterBenchmark((std::string("Sweep/") + road.name).c_str(), road.run);
        for (const std::size_t bytes : kSizes) {
            family->Arg(static_cast<std::int64_t>(bytes));
        }
        family->Unit(benchmark::kMicrosecond);
    }
    return true;
}

[[maybe_unused]] const bool kRegistered = RegisterSweep();

}  // namespace

BENCHMARK_MAIN();
