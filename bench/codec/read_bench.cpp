// The MessagePack and YAML readers side by side with their references, on the documents
// of documents.h encoded each way (the same content as the JSON documents):
// - MessagePack -> tree against JSON -> tree of the same content: MessagePack needs no
//   number parsing and no unescaping, so it should read clearly faster;
// - YAML -> tree against libyaml's raw event loop over the same text (parse and release
//   every event, nothing else): the floor that any YAML reader on libyaml pays.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/msgpack_reader.h"
#include "codec/yaml_reader.h"
#include "documents.h"
#include "libyaml_events.h"
#include "side_by_side.h"

namespace {

using qivbench::Doc;
using qivbench::Json;

const std::vector<std::uint8_t>& MsgPack(Doc which) {
    static const std::vector<std::uint8_t> documents[] = {qivbench::JsonToMsgPack(Json(Doc::EndOfGame)),
                                                          qivbench::JsonToMsgPack(Json(Doc::Generic1MB)),
                                                          qivbench::JsonToMsgPack(Json(Doc::DistinctNames1MB))};
    return documents[static_cast<int>(which)];
}

const std::string& Yaml(Doc which) {
    static const std::string documents[] = {qivbench::JsonToYaml(Json(Doc::EndOfGame)),
                                            qivbench::JsonToYaml(Json(Doc::Generic1MB)),
                                            qivbench::JsonToYaml(Json(Doc::DistinctNames1MB))};
    return documents[static_cast<int>(which)];
}

bool ReadMsgPack(const std::vector<std::uint8_t>& document) {
    vclient::MsgPackReadResult read = vclient::MsgPackToBinding(document.data(), document.size());
    benchmark::DoNotOptimize(read);
    return read.result.Succeeded() && read.consumed == document.size();
}

bool ReadYaml(const std::string& document) {
    vclient::BindingResult read = vclient::YamlToBinding(document);
    benchmark::DoNotOptimize(read);
    return read.Succeeded();
}

void LibyamlEvents(const std::string& document) {
    benchmark::DoNotOptimize(qivbench::LibyamlEvents(document));
}

void MsgPackVsJsonSideBySide(benchmark::State& state, Doc doc) {
    const std::vector<std::uint8_t>& msgpack = MsgPack(doc);
    const std::string& json = Json(doc);
    if (!ReadMsgPack(msgpack) || !vclient::JsonToBinding(json).Succeeded()) {
        state.SkipWithError("the sample document did not read");
        return;
    }
    qivbench::SideBySide(
        state, [&msgpack] { ReadMsgPack(msgpack); },
        [&json] {
            vclient::BindingResult read = vclient::JsonToBinding(json);
            benchmark::DoNotOptimize(read);
        });
    state.counters["msgpack_bytes"] = static_cast<double>(msgpack.size());
    state.counters["json_bytes"] = static_cast<double>(json.size());
}

void YamlVsLibyamlSideBySide(benchmark::State& state, Doc doc) {
    const std::string& yaml = Yaml(doc);
    if (!ReadYaml(yaml)) {
        state.SkipWithError("the sample document did not read");
        return;
    }
    qivbench::SideBySide(state, [&yaml] { ReadYaml(yaml); }, [&yaml] { LibyamlEvents(yaml); });
    state.counters["yaml_bytes"] = static_cast<double>(yaml.size());
}

// Each reader alone, with its throughput, for profiles.
void MsgPackToBinding(benchmark::State& state, Doc doc) {
    const std::vector<std::uint8_t>& document = MsgPack(doc);
    for (auto _ : state) {
        if (!ReadMsgPack(document)) {
            state.SkipWithError("the sample document did not read");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}

void YamlToBinding(benchmark::State& state, Doc doc) {
    const std::string& document = Yaml(doc);
    for (auto _ : state) {
        if (!ReadYaml(document)) {
            state.SkipWithError("the sample document did not read");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}

}  // namespace

BENCHMARK_CAPTURE(MsgPackVsJsonSideBySide, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(MsgPackVsJsonSideBySide, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(MsgPackVsJsonSideBySide, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(YamlVsLibyamlSideBySide, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(YamlVsLibyamlSideBySide, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(YamlVsLibyamlSideBySide, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(MsgPackToBinding, Generic1MB, Doc::Generic1MB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(YamlToBinding, Generic1MB, Doc::Generic1MB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
