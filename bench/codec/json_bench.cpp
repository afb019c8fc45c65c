// Reading JSON into BindingProperty trees and writing them back, measured beside
// RapidJSON's Document (parse, and Writer from the document) and nlohmann::json (parse,
// dump) on two generated documents: the end-of-game statistics of two teams of five
// players (about 30 KB) and a generic document of about 1 MB. The *SideBySide benchmarks
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

#include "value/page_source.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"

namespace {

// A small deterministic generator, so every run measures the same documents.
class Numbers {
public:
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::uint32_t Below(std::uint32_t bound) { return Next() % bound; }

private:
    std::uint32_t state_ = 12345u;
};

void Member(std::string& out, const char* name) {
    out += '"';
    out += name;
    out += "\":";
}

void NumberMember(std::string& out, const char* name, std::uint64_t value) {
    Member(out, name);
    out += std::to_string(value);
    out += ',';
}

void TextMember(std::string& out, const char* name, const std::string& value) {
    Member(out, name);
    out += '"' + value + "\",";
}

void CloseWith(std::string& out, char closing) {
    if (out.back() == ',') {
        out.back() = closing;
    } else {
        out += closing;
    }
}

const char* const kStatNames[] = {
    "actionsTaken", "assists", "bonusCollected", "bonusMissed", "checkpointsReached", "combatScore",
    "damageBlocked", "damageBlockedForAllies", "damageDealt", "damageDealtToStructures", "damageTaken",
    "damageTakenFromStructures", "deaths", "distanceTravelled", "doubleScores", "energyRestored", "energySpent",
    "firstCapture", "flagsCaptured", "flagsReturned", "goldEarned", "goldSpent", "healingDone", "healingReceived",
    "itemsBought", "itemsSold", "kills", "largestStreak", "levelReached", "longestTimeAlive", "objectivesCaptured",
    "objectivesContested", "objectivesLost", "pickupsCollected", "pingsSent", "powerUpsUsed", "quadScores",
    "rescuesMade", "revivesGiven", "revivesReceived", "scoreRank", "shieldsGiven", "shotsFired", "shotsHit",
    "skillOneUsed", "skillTwoUsed", "structuresDestroyed", "structuresRepaired", "teamObjective", "timeAlive",
    "timeSpentDead", "totalDamage", "totalHealing", "totalScore", "tripleScores", "unitsDefeated",
    "unitsDefeatedInOwnZone", "wasIdle", "win",
};

void AppendPlayer(std::string& out, Numbers& numbers, int team, int slot) {
    out += '{';
    NumberMember(out, "accountId", 2000000000ull + numbers.Next());
    TextMember(out, "playerName", "Player " + std::to_string(team) + "-" + std::to_string(slot));
    TextMember(out, "playerKey", "6f1c3e2a-" + std::to_string(numbers.Below(9000) + 1000) + "-4b7d-9a2e-0c" +
                                 std::to_string(numbers.Next()));
    NumberMember(out, "avatarId", numbers.Below(160));
    TextMember(out, "avatarName", "Avatar" + std::to_string(numbers.Below(160)));
    NumberMember(out, "profileIconId", numbers.Below(5000));
    NumberMember(out, "teamId", static_cast<std::uint64_t>(team) * 100);
    Member(out, "botPlayer");
    out += "false,";
    Member(out, "leaver");
    out += numbers.Below(20) == 0 ? "true," : "false,";
    Member(out, "items");
    out += '[';
    for (int i = 0; i < 7; ++i) {
        out += std::to_string(numbers.Below(4000)) + ',';
    }
    CloseWith(out, ']');
    out += ',';
    Member(out, "stats");
    out += '{';
    for (const char* name : kStatNames) {
        NumberMember(out, name, numbers.Below(60000));
    }
    Member(out, "damagePerMinute");
    out += std::to_string(numbers.Below(200000) / 100.0) + ',';
    CloseWith(out, '}');
    out += ',';
    Member(out, "timeline");
    out += '[';
    for (int minute = 1; minute <= 20; ++minute) {
        out += "{\"minute\":" + std::to_string(minute) + ",\"gold\":" + std::to_string(numbers.Below(20000)) +
               ",\"xp\":" + std::to_string(numbers.Below(20000)) + ",\"units\":" + std::to_string(numbers.Below(300)) + "},";
    }
    CloseWith(out, ']');
    out += ',';
    Member(out, "perks");
    out += '[';
    for (int i = 0; i < 6; ++i) {
        out += "{\"id\":" + std::to_string(8000 + numbers.Below(500)) + ",\"vars\":[" + std::to_string(numbers.Below(900)) +
               ',' + std::to_string(numbers.Below(90)) + ",0]},";
    }
    CloseWith(out, ']');
    out += '}';
}

std::string EndOfGameDocument() {
    Numbers numbers;
    std::string out = "{";
    NumberMember(out, "gameId", 5123456789ull);
    NumberMember(out, "gameLength", 1834);
    TextMember(out, "gameMode", "CLASSIC");
    TextMember(out, "queueType", "RANKED_SOLO");
    NumberMember(out, "reportGameId", 77123456);
    Member(out, "ranked");
    out += "true,";
    Member(out, "teams");
    out += '[';
    for (int team = 1; team <= 2; ++team) {
        out += '{';
        NumberMember(out, "teamId", static_cast<std::uint64_t>(team) * 100);
        Member(out, "isWinningTeam");
        out += team == 1 ? "true," : "false,";
        Member(out, "stats");
        out += "{\"kills\":" + std::to_string(numbers.Below(50)) + ",\"deaths\":" + std::to_string(numbers.Below(50)) +
               ",\"towers\":" + std::to_string(numbers.Below(11)) + "},";
        Member(out, "players");
        out += '[';
        for (int slot = 0; slot < 5; ++slot) {
            AppendPlayer(out, numbers, team, slot);
            out += ',';
        }
        CloseWith(out, ']');
        out += "},";
    }
    CloseWith(out, ']');
    out += '}';
    return out;
}

std::string GenericDocument() {
    Numbers numbers;
    std::string out = "{\"source\":\"generator\",\"version\":3,\"records\":[";
    while (out.size() < 1'000'000) {
        out += '{';
        NumberMember(out, "id", numbers.Next());
        TextMember(out, "name", "record-" + std::to_string(numbers.Next()));
        TextMember(out, "note", "Line with \\\"quotes\\\", a tab\\t and unicode \\u00e9 " + std::to_string(numbers.Next()));
        Member(out, "score");
        out += std::to_string(numbers.Next() / 1024.0) + ',';
        Member(out, "delta");
        out += '-' + std::to_string(numbers.Below(100000)) + ',';
        Member(out, "active");
        out += numbers.Below(2) == 0 ? "true," : "false,";
        Member(out, "parent");
        out += "null,";
        Member(out, "tags");
        out += "[\"alpha\",\"beta\",\"gamma\"],";
        Member(out, "position");
        out += "{\"x\":" + std::to_string(numbers.Below(100000) / 7.0) + ",\"y\":" + std::to_string(numbers.Below(100000) / 3.0) +
               ",\"z\":0.5}";
        out += "},";
    }
    CloseWith(out, ']');
    out += '}';
    return out;
}

const std::string& Document(bool endOfGame) {
    static const std::string eog = EndOfGameDocument();
    static const std::string generic = GenericDocument();
    return endOfGame ? eog : generic;
}

void ReadBinding(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
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
void ReadBindingSpares(benchmark::State& state, bool endOfGame) {
    vclient::BindingPageSource& pages = vclient::BindingPageSource::Instance();
    const std::size_t previous = pages.SpareChunkLimit();
    pages.SetSpareChunkLimit(static_cast<std::size_t>(state.range(0)));
    ReadBinding(state, endOfGame);
    pages.SetSpareChunkLimit(previous);
}

void ReadRapidDocument(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The floor under any SAX reader: RapidJSON's tokenizer with a handler that keeps nothing.
void ReadRapidSaxOnly(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
    for (auto _ : state) {
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::StringStream stream(text.c_str());
        benchmark::DoNotOptimize(reader.Parse(stream, handler));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The same tokenizer parsing a copy of the text in place, as JsonToBinding does.
void ReadRapidSaxInsitu(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
    for (auto _ : state) {
        std::string copy = text;
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::InsituStringStream stream(copy.data());
        benchmark::DoNotOptimize(reader.Parse<rapidjson::kParseInsituFlag>(stream, handler));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void ReadNlohmann(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
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

void WriteBinding(benchmark::State& state, bool endOfGame) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(endOfGame));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = vclient::BindingToJson(tree.Value(), nullptr, nullptr);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void WriteRapidDocument(benchmark::State& state, bool endOfGame) {
    rapidjson::Document document;
    document.Parse(Document(endOfGame).c_str());
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

void WriteNlohmann(benchmark::State& state, bool endOfGame) {
    const nlohmann::json document = nlohmann::json::parse(Document(endOfGame));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = document.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void IndentBinding(benchmark::State& state, bool endOfGame) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(endOfGame));
    for (auto _ : state) {
        std::string text = vclient::BindingToJson(tree.Value(), nullptr, "\r\n");
        benchmark::DoNotOptimize(text);
    }
}

// Side by side in one loop: each iteration times our step and the reference's step on
// the same text back to back, so both meet the same machine conditions (this machine's
// speed drifts from one process, and one minute, to the next). Reports the two mean times
// and their ratio as counters; the loop's own time is the sum of both.
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

// JsonToBinding against RapidJSON's Document parse.
void ReadSideBySide(benchmark::State& state, bool endOfGame) {
    const std::string& text = Document(endOfGame);
    SideBySide(
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
void WriteSideBySide(benchmark::State& state, bool endOfGame) {
    const vclient::BindingResult tree = vclient::JsonToBinding(Document(endOfGame));
    rapidjson::Document document;
    document.Parse(Document(endOfGame).c_str());
    SideBySide(
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

BENCHMARK_CAPTURE(ReadSideBySide, EndOfGame, true);
BENCHMARK_CAPTURE(ReadSideBySide, Generic1MB, false);
BENCHMARK_CAPTURE(WriteSideBySide, EndOfGame, true);
BENCHMARK_CAPTURE(WriteSideBySide, Generic1MB, false);
BENCHMARK_CAPTURE(ReadBinding, EndOfGame, true);
BENCHMARK_CAPTURE(ReadBindingSpares, EndOfGame, true)->Arg(0)->Arg(4)->Arg(16)->Arg(64);
BENCHMARK_CAPTURE(ReadRapidDocument, EndOfGame, true);
BENCHMARK_CAPTURE(ReadRapidSaxOnly, EndOfGame, true);
BENCHMARK_CAPTURE(ReadRapidSaxInsitu, EndOfGame, true);
BENCHMARK_CAPTURE(ReadNlohmann, EndOfGame, true);
BENCHMARK_CAPTURE(ReadBinding, Generic1MB, false);
BENCHMARK_CAPTURE(ReadBindingSpares, Generic1MB, false)->Arg(0)->Arg(16)->Arg(64);
BENCHMARK_CAPTURE(ReadRapidDocument, Generic1MB, false);
BENCHMARK_CAPTURE(ReadRapidSaxOnly, Generic1MB, false);
BENCHMARK_CAPTURE(ReadRapidSaxInsitu, Generic1MB, false);
BENCHMARK_CAPTURE(ReadNlohmann, Generic1MB, false);
BENCHMARK(ReadEventBinding);
BENCHMARK(ReadEventRapidDocument);
BENCHMARK_CAPTURE(WriteBinding, EndOfGame, true);
BENCHMARK_CAPTURE(WriteRapidDocument, EndOfGame, true);
BENCHMARK_CAPTURE(WriteNlohmann, EndOfGame, true);
BENCHMARK_CAPTURE(WriteBinding, Generic1MB, false);
BENCHMARK_CAPTURE(WriteRapidDocument, Generic1MB, false);
BENCHMARK_CAPTURE(WriteNlohmann, Generic1MB, false);
BENCHMARK_CAPTURE(IndentBinding, EndOfGameCrLf, true);

BENCHMARK_MAIN();
