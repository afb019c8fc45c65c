// Read throughput of the MessagePack and YAML readers on generated documents of about
// 1 MB: a list of player records, each with nested objects and a short list. The YAML
// reader runs beside a bare libyaml event loop (parse and release every event, nothing
// else), the floor that any YAML reader on libyaml pays.
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/msgpack_reader.h"
#include "codec/yaml_reader.h"

namespace {

constexpr std::size_t kTargetSize = 1 << 20;

// Just enough of a MessagePack writer to build the sample document.
class MsgPackWriter {
public:
    void Map(std::uint8_t pairs) { bytes_.push_back(static_cast<std::uint8_t>(0x80 | pairs)); }
    void Array32(std::uint32_t count) {
        bytes_.push_back(0xDD);
        Big(count, 4);
    }
    void FixArray(std::uint8_t count) { bytes_.push_back(static_cast<std::uint8_t>(0x90 | count)); }
    void Str(const std::string& text) {
        bytes_.push_back(0xD9);
        bytes_.push_back(static_cast<std::uint8_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void Uint(std::uint32_t value) {
        bytes_.push_back(0xCE);
        Big(value, 4);
    }
    void Float(double value) {
        bytes_.push_back(0xCB);
        Big(std::bit_cast<std::uint64_t>(value), 8);
    }
    void Bool(bool value) { bytes_.push_back(value ? 0xC3 : 0xC2); }
    [[nodiscard]] std::size_t Size() const { return bytes_.size(); }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Rewrites the count of the array 32 that opens the document.
    void PatchLeadingCount(std::uint32_t count) {
        for (int i = 0; i < 4; ++i) {
            bytes_[static_cast<std::size_t>(1 + i)] = static_cast<std::uint8_t>(count >> (24 - 8 * i));
        }
    }

private:
    void Big(std::uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }

    std::vector<std::uint8_t> bytes_;
};

void WriteRecord(MsgPackWriter& out, std::uint32_t id) {
    out.Map(7);
    out.Str("id");
    out.Uint(id);
    out.Str("name");
    out.Str("player-" + std::to_string(id));
    out.Str("level");
    out.Uint(id % 500);
    out.Str("score");
    out.Float(1.5 * id);
    out.Str("active");
    out.Bool(id % 3 == 0);
    out.Str("tags");
    out.FixArray(3);
    out.Str("support");
    out.Str("ranked");
    out.Str("team-" + std::to_string(id % 5));
    out.Str("stats");
    out.Map(4);
    out.Str("kills");
    out.Uint(id % 17);
    out.Str("deaths");
    out.Uint(id % 11);
    out.Str("assists");
    out.Uint(id % 23);
    out.Str("champion");
    out.Map(2);
    out.Str("id");
    out.Uint(id % 160);
    out.Str("name");
    out.Str("champion-" + std::to_string(id % 160));
}

std::vector<std::uint8_t> MsgPackDocument() {
    MsgPackWriter out;
    out.Array32(0);
    std::uint32_t count = 0;
    while (out.Size() < kTargetSize) {
        WriteRecord(out, count++);
    }
    out.PatchLeadingCount(count);
    return out.Bytes();
}

std::string YamlRecord(std::uint32_t id) {
    const std::string n = std::to_string(id);
    return "- id: " + n + "\n  name: player-" + n + "\n  level: " + std::to_string(id % 500) +
           "\n  score: " + std::to_string(1.5 * id) + "\n  active: " + (id % 3 == 0 ? "true" : "false") +
           "\n  tags: [support, ranked, team-" + std::to_string(id % 5) + "]\n  stats:\n    kills: " +
           std::to_string(id % 17) + "\n    deaths: " + std::to_string(id % 11) +
           "\n    assists: " + std::to_string(id % 23) + "\n    champion:\n      id: " + std::to_string(id % 160) +
           "\n      name: \"champion-" + std::to_string(id % 160) + "\"\n";
}

std::string YamlDocument() {
    std::string text;
    for (std::uint32_t id = 0; text.size() < kTargetSize; ++id) {
        text += YamlRecord(id);
    }
    return text;
}

const std::vector<std::uint8_t>& SampleMsgPack() {
    static const std::vector<std::uint8_t> document = MsgPackDocument();
    return document;
}

const std::string& SampleYaml() {
    static const std::string document = YamlDocument();
    return document;
}

void BM_MsgPackToBinding(benchmark::State& state) {
    const std::vector<std::uint8_t>& document = SampleMsgPack();
    for (auto _ : state) {
        vclient::MsgPackReadResult read = vclient::MsgPackToBinding(document.data(), document.size());
        if (!read.result.Succeeded() || read.consumed != document.size()) {
            state.SkipWithError("the sample document did not read");
            break;
        }
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}

void BM_YamlToBinding(benchmark::State& state) {
    const std::string& document = SampleYaml();
    for (auto _ : state) {
        vclient::BindingResult read = vclient::YamlToBinding(document);
        if (!read.Succeeded()) {
            state.SkipWithError("the sample document did not read");
            break;
        }
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}

// The floor: libyaml's events parsed and released, with an empty handler.
void BM_LibyamlEventsOnly(benchmark::State& state) {
    const std::string& document = SampleYaml();
    for (auto _ : state) {
        yaml_parser_t parser;
        yaml_parser_initialize(&parser);
        yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(document.data()),
                                     document.size());
        yaml_event_t event;
        std::size_t events = 0;
        bool done = false;
        while (!done && yaml_parser_parse(&parser, &event) != 0) {
            done = event.type == YAML_STREAM_END_EVENT;
            ++events;
            yaml_event_delete(&event);
        }
        yaml_parser_delete(&parser);
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(document.size()));
}

BENCHMARK(BM_MsgPackToBinding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_YamlToBinding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibyamlEventsOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
