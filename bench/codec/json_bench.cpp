// Reading JSON into BindingProperty trees and writing them back, measured beside
// RapidJSON's Document (parse, and Writer from the document) and nlohmann::json (parse,
// dump) on three generated documents (documents.h): the end-of-game statistics of two
// teams of five players (about 30 KB), a generic document of about 1 MB, and a 1 MB
// document of objects used as maps keyed by ids. The *SideBySide benchmarks
// alternate ours and RapidJSON's in one loop and report the ratio directly.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "documents.h"
#include "side_by_side.h"
#include "value/page_source.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"

namespace {

using qivbench::Doc;

const std::string& Document(Doc which) {
    return qivbench::Json(which);
}

void ReadBinding(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    std::size_t chunks = 0;
    for (auto _ : state) {
        vclient::BindingResult result = vclient::JsonToBinding(text);
        benchmark::DoNotOptimize(result);
        if (!result.Succeeded()) {
            state.SkipWithError(result.ErrorMessage().c_str());
            return;
        }
        chunks = vclient::BindingPageSource::Instance().ChunksHeld();
    }
    state.counters["chunks"] = static_cast<double>(chunks);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// As ReadBinding, with the page source given another spare-chunk limit for the run: 0
// releases every chunk the moment its last page comes back, so each tree reserves,
// faults in and releases its memory anew.
void ReadBindingSpares(benchmark::State& state, Doc doc) {
    vclient::BindingPageSource& pages = vclient::BindingPageSource::Instance();
    const std::size_t previous = pages.SpareChunkLimit();
    pages.SetSpareChunkLimit(static_cast<std::size_t>(state.range(0)));
    ReadBinding(state, doc);
    pages.SetSpareChunkLimit(previous);
}

void ReadRapidDocument(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The floor under any SAX reader: RapidJSON's tokenizer with a handler that keeps nothing.
void ReadRapidSaxOnly(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    for (auto _ : state) {
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::StringStream stream(text.c_str());
        benchmark::DoNotOptimize(reader.Parse(stream, handler));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The same tokenizer parsing a copy of the text in place, as JsonToBinding does.
void ReadRapidSaxInsitu(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    for (auto _ : state) {
        std::string copy = text;
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::InsituStringStream stream(copy.data());
        benchmark::DoNotOptimize(reader.Parse<rapidjson::kParseInsituFlag>(stream, handler));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void ReadNlohmann(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    for (auto _ : state) {
        nlohmann::json document = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// An event payload of the everyday size: what most reads in the plug-in look like.
const char* const kEventPayload =
    R"({"eventType":"Update","uri":"/qiv-honor-v2/v1/ballot","data":{"gameId":5123456789,)"
    R"("players":[{"summonerId":1234,"summonerName":"Player 1-1","championId":24},)"
    R"({"summonerId":5678,"summonerName":"Player 1-2","championId":99}],"voteCount":3}})";

void ReadEventBinding(benchmark::State& state) {
    const std::string text = kEventPayload;
    for (auto _ : state) {
        vclient::BindingResult result = vclient::JsonToBinding(text);
        benchmark::DoNotOptimize(result);
    }
}

void ReadEventRapidDocument(benchmark::State& state) {
    const std::string text = kEventPayload;
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document);
    }
}

void WriteBinding(benchmark::State& state, Doc doc) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(doc));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = vclient::BindingToJson(tree.Value(), nullptr, nullptr);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void WriteRapidDocument(benchmark::State& state, Doc doc) {
    rapidjson::Document document;
    document.Parse(Document(doc).c_str());
    std::size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void WriteNlohmann(benchmark::State& state, Doc doc) {
    const nlohmann::json document = nlohmann::json::parse(Document(doc));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = document.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void IndentBinding(benchmark::State& state, Doc doc) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(doc));
    for (auto _ : state) {
        std::string text = vclient::BindingToJson(tree.Value(), nullptr, "\r\n");
        benchmark::DoNotOptimize(text);
    }
}

// JsonToBinding against RapidJSON's Document parse.
void ReadSideBySide(benchmark::State& state, Doc doc) {
    const std::string& text = Document(doc);
    qivbench::SideBySide(
        state,
        [&text] {
            vclient::BindingResult result = vclient::JsonToBinding(text);
            benchmark::DoNotOptimize(result);
        },
        [&text] {
            rapidjson::Document document;
            document.Parse(text.c_str());
            benchmark::DoNotOptimize(document);
        });
}

// BindingToJson against RapidJSON's Writer from a Document of the same text.
void WriteSideBySide(benchmark::State& state, Doc doc) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(doc));
    rapidjson::Document document;
    document.Parse(Document(doc).c_str());
    qivbench::SideBySide(
        state,
        [&tree] {
            std::string text = vclient::BindingToJson(tree.Value(), nullptr, nullptr);
            benchmark::DoNotOptimize(text);
        },
        [&document] {
            rapidjson::StringBuffer buffer;
            rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
            document.Accept(writer);
            benchmark::DoNotOptimize(buffer.GetString());
        });
}

}  // namespace

BENCHMARK_CAPTURE(ReadSideBySide, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadSideBySide, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(ReadSideBySide, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(WriteSideBySide, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(WriteSideBySide, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(WriteSideBySide, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(ReadBinding, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadBindingSpares, EndOfGame, Doc::EndOfGame)->Arg(0)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK_CAPTURE(ReadRapidDocument, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadRapidSaxOnly, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadRapidSaxInsitu, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadNlohmann, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(ReadBinding, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(ReadBindingSpares, Generic1MB, Doc::Generic1MB)->Arg(0)->Arg(16)->Arg(64);
BENCHMARK_CAPTURE(ReadRapidDocument, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(ReadBinding, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(ReadRapidDocument, DistinctNames1MB, Doc::DistinctNames1MB);
BENCHMARK_CAPTURE(ReadRapidSaxOnly, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(ReadRapidSaxInsitu, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(ReadNlohmann, Generic1MB, Doc::Generic1MB);
BENCHMARK(ReadEventBinding);
BENCHMARK(ReadEventRapidDocument);
BENCHMARK_CAPTURE(WriteBinding, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(WriteRapidDocument, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(WriteNlohmann, EndOfGame, Doc::EndOfGame);
BENCHMARK_CAPTURE(WriteBinding, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(WriteRapidDocument, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(WriteNlohmann, Generic1MB, Doc::Generic1MB);
BENCHMARK_CAPTURE(IndentBinding, EndOfGameCrLf, Doc::EndOfGame);

BENCHMARK_MAIN();
