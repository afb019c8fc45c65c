#include "documents.h"

#include <bit>
#include <cstring>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace qivbench {

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
    const std::uint64_t id = 2000u + static_cast<std::uint64_t>(team) * 10u + static_cast<std::uint64_t>(slot);
    out += '{';
    NumberMember(out, "userId", id);
    NumberMember(out, "summonerId", id);
    NumberMember(out, "gameId", 5123456789ull);
    TextMember(out, "summonerName", "Player " + std::to_string(team) + "-" + std::to_string(slot));
    TextMember(out, "puuid", "6f1c3e2a-" + std::to_string(numbers.Below(9000) + 1000) + "-4b7d-9a2e-0c" +
                                 std::to_string(numbers.Next()));
    NumberMember(out, "championId", numbers.Below(160));
    TextMember(out, "skinName", "Skin " + std::to_string(numbers.Below(40)));
    NumberMember(out, "skinIndex", numbers.Below(12));
    NumberMember(out, "profileIconId", numbers.Below(5000));
    NumberMember(out, "teamId", static_cast<std::uint64_t>(team) * 100);
    NumberMember(out, "wins", numbers.Below(900));
    Member(out, "botPlayer");
    out += "false,";
    Member(out, "isReportingDisabled");
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

// MessagePack of a parsed document, each value in its smallest encoding.
class MsgPackOut {
public:
    void Value(const rapidjson::Value& value) {
        switch (value.GetType()) {
            case rapidjson::kNullType:
                bytes_.push_back(0xC0);
                break;
            case rapidjson::kFalseType:
                bytes_.push_back(0xC2);
                break;
            case rapidjson::kTrueType:
                bytes_.push_back(0xC3);
                break;
            case rapidjson::kStringType:
                Text(value.GetString(), value.GetStringLength());
                break;
            case rapidjson::kNumberType:
                Number(value);
                break;
            case rapidjson::kArrayType:
                Head(value.Size(), 0x90, 0xDC, 0xDD);
                for (const rapidjson::Value& element : value.GetArray()) {
                    Value(element);
                }
                break;
            case rapidjson::kObjectType:
                Head(value.MemberCount(), 0x80, 0xDE, 0xDF);
                for (const auto& member : value.GetObject()) {
                    Text(member.name.GetString(), member.name.GetStringLength());
                    Value(member.value);
                }
                break;
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    void Big(std::uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    void Head(std::uint32_t count, std::uint8_t fix, std::uint8_t sixteen, std::uint8_t thirtyTwo) {
        if (count < 16) {
            bytes_.push_back(static_cast<std::uint8_t>(fix | count));
        } else if (count <= 0xFFFF) {
            bytes_.push_back(sixteen);
            Big(count, 2);
        } else {
            bytes_.push_back(thirtyTwo);
            Big(count, 4);
        }
    }
    void Text(const char* text, std::uint32_t length) {
        if (length < 32) {
            bytes_.push_back(static_cast<std::uint8_t>(0xA0 | length));
        } else if (length <= 0xFF) {
            bytes_.push_back(0xD9);
            Big(length, 1);
        } else if (length <= 0xFFFF) {
            bytes_.push_back(0xDA);
            Big(length, 2);
        } else {
            bytes_.push_back(0xDB);
            Big(length, 4);
        }
        bytes_.insert(bytes_.end(), text, text + length);
    }
    void Number(const rapidjson::Value& value) {
        if (value.IsUint64()) {
            const std::uint64_t n = value.GetUint64();
            if (n < 128) {
                bytes_.push_back(static_cast<std::uint8_t>(n));
            } else if (n <= 0xFF) {
                bytes_.push_back(0xCC);
                Big(n, 1);
            } else if (n <= 0xFFFF) {
                bytes_.push_back(0xCD);
                Big(n, 2);
            } else if (n <= 0xFFFFFFFFu) {
                bytes_.push_back(0xCE);
                Big(n, 4);
            } else {
                bytes_.push_back(0xCF);
                Big(n, 8);
            }
        } else if (value.IsInt64()) {
            const std::int64_t n = value.GetInt64();
            if (n >= -32) {
                bytes_.push_back(static_cast<std::uint8_t>(n));
            } else if (n >= -128) {
                bytes_.push_back(0xD0);
                Big(static_cast<std::uint64_t>(n), 1);
            } else if (n >= -32768) {
                bytes_.push_back(0xD1);
                Big(static_cast<std::uint64_t>(n), 2);
            } else if (n >= INT32_MIN) {
                bytes_.push_back(0xD2);
                Big(static_cast<std::uint64_t>(n), 4);
            } else {
                bytes_.push_back(0xD3);
                Big(static_cast<std::uint64_t>(n), 8);
            }
        } else {
            bytes_.push_back(0xCB);
            Big(std::bit_cast<std::uint64_t>(value.GetDouble()), 8);
        }
    }

    std::vector<std::uint8_t> bytes_;
};

// Block-style YAML of a parsed document: mappings and sequences indented by two, texts
// double-quoted with JSON's escapes (which YAML's double-quoted style shares), empty
// containers in flow style.
class YamlOut {
public:
    void Document(const rapidjson::Value& value) {
        if (IsBlock(value)) {
            Block(value, 0);
        } else {
            Scalar(value);
            text_ += '\n';
        }
    }
    std::string Take() { return std::move(text_); }

private:
    static bool IsBlock(const rapidjson::Value& value) {
        return (value.IsObject() && value.MemberCount() != 0) || (value.IsArray() && !value.Empty());
    }
    void Indent(std::size_t depth) { text_.append(2 * depth, ' '); }
    void Quoted(const char* text, std::uint32_t length) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        writer.String(text, length);
        text_.append(buffer.GetString(), buffer.GetSize());
    }
    void Key(const char* text, std::uint32_t length) {
        bool plain = length != 0 && (std::strchr("-0123456789", text[0]) == nullptr);
        for (std::uint32_t i = 0; plain && i < length; ++i) {
            const char c = text[i];
            plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        }
        if (plain) {
            text_.append(text, length);
        } else {
            Quoted(text, length);
        }
    }
    void Scalar(const rapidjson::Value& value) {
        if (value.IsString()) {
            Quoted(value.GetString(), value.GetStringLength());
            return;
        }
        if (value.IsObject()) {
            text_ += "{}";
            return;
        }
        if (value.IsArray()) {
            text_ += "[]";
            return;
        }
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        value.Accept(writer);
        text_.append(buffer.GetString(), buffer.GetSize());
    }
    // A block container whose first line continues the current one (after "- " or at the
    // start of the document); later lines are indented by `depth`.
    void Block(const rapidjson::Value& value, std::size_t depth) {
        bool first = true;
        const auto lineStart = [&] {
            if (!first) {
                Indent(depth);
            }
            first = false;
        };
        if (value.IsObject()) {
            for (const auto& member : value.GetObject()) {
                lineStart();
                Key(member.name.GetString(), member.name.GetStringLength());
                if (IsBlock(member.value)) {
                    if (member.value.IsObject()) {
                        text_ += ":\n";
                        Indent(depth + 1);
                        Block(member.value, depth + 1);
                    } else {
                        text_ += ":\n";
                        Indent(depth);
                        Block(member.value, depth);
                    }
                } else {
                    text_ += ": ";
                    Scalar(member.value);
                    text_ += '\n';
                }
            }
            return;
        }
        for (const rapidjson::Value& element : value.GetArray()) {
            lineStart();
            text_ += "- ";
            if (IsBlock(element)) {
                Block(element, depth + 1);
            } else {
                Scalar(element);
                text_ += '\n';
            }
        }
    }

    std::string text_;
};

}  // namespace

std::string EndOfGameJson() {
    Numbers numbers;
    std::string out = "{";
    NumberMember(out, "gameId", 5123456789ull);
    NumberMember(out, "reportGameId", 5123456789ull);
    NumberMember(out, "gameLength", 1834);
    TextMember(out, "gameMode", "CLASSIC");
    TextMember(out, "gameType", "MATCHED_GAME");
    TextMember(out, "queueType", "RANKED_SOLO");
    TextMember(out, "difficulty", "");
    TextMember(out, "summonerName", "Player 1-0");
    NumberMember(out, "summonerId", 2010);
    NumberMember(out, "accountId", 3010);
    NumberMember(out, "championId", 24);
    TextMember(out, "myTeamStatus", "WIN");
    Member(out, "ranked");
    out += "true,";
    Member(out, "invalid");
    out += "false,";
    Member(out, "gameEndedInEarlySurrender");
    out += "false,";
    Member(out, "gameMutators");
    out += "[],";
    Member(out, "teams");
    out += '[';
    for (int team = 1; team <= 2; ++team) {
        out += '{';
        NumberMember(out, "teamId", static_cast<std::uint64_t>(team) * 100);
        TextMember(out, "name", team == 1 ? "Blue" : "Red");
        TextMember(out, "tag", "");
        TextMember(out, "fullId", "");
        TextMember(out, "memberStatusString", "");
        Member(out, "isPlayerTeam");
        out += team == 1 ? "true," : "false,";
        Member(out, "isBottomTeam");
        out += team == 1 ? "true," : "false,";
        Member(out, "isWinningTeam");
        out += team == 1 ? "true," : "false,";
        Member(out, "championBans");
        out += '[';
        out += std::to_string(numbers.Below(160));
        out += ',';
        out += std::to_string(numbers.Below(160));
        out += "],";
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

std::string GenericJson(std::size_t bytes) {
    Numbers numbers;
    std::string out = "{\"source\":\"generator\",\"version\":3,\"records\":[";
    while (out.size() < bytes) {
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

// Four maps keyed by ids, filled in turn: players (records of a few shapes), item counts,
// flags and labels. Every key is a new id.
std::string DistinctNamesJson(std::size_t bytes) {
    Numbers numbers;
    std::string players = "\"players\":{";
    std::string counts = "\"itemCounts\":{";
    std::string flags = "\"flags\":{";
    std::string labels = "\"labels\":{";
    std::size_t total = 0;
    std::uint32_t id = 100000;
    while (total < bytes) {
        const std::size_t before = players.size() + counts.size() + flags.size() + labels.size();
        id += 1 + numbers.Below(50);
        const std::string key = std::to_string(id);
        switch (numbers.Below(4)) {
            case 0:
                players += "\"player-" + key + "\":{\"level\":" + std::to_string(numbers.Below(500)) +
                           ",\"name\":\"p" + std::to_string(numbers.Next()) + "\"";
                if (numbers.Below(2) == 0) {
                    players += ",\"ratio\":" + std::to_string(numbers.Below(10000) / 97.0);
                }
                if (numbers.Below(3) == 0) {
                    players += ",\"friends\":[" + std::to_string(numbers.Next()) + "," + std::to_string(numbers.Next()) + "]";
                }
                players += "},";
                break;
            case 1:
                counts += "\"item" + key + "\":" + std::to_string(numbers.Below(1000)) + ",";
                break;
            case 2:
                flags += "\"f_" + key + "\":" + (numbers.Below(2) == 0 ? "true," : "false,");
                break;
            default:
                labels += "\"label:" + key + "\":\"" + (numbers.Below(5) == 0 ? "-" : "text " + std::to_string(numbers.Next())) +
                          "\",";
                break;
        }
        total += players.size() + counts.size() + flags.size() + labels.size() - before;
    }
    for (std::string* map : {&players, &counts, &flags, &labels}) {
        CloseWith(*map, '}');
    }
    return "{\"snapshot\":" + std::to_string(numbers.Next()) + "," + players + "," + counts + "," + flags + "," + labels + "}";
}

std::vector<std::uint8_t> JsonToMsgPack(const std::string& json) {
    rapidjson::Document document;
    if (document.Parse(json.c_str()).HasParseError()) {
        return {};
    }
    MsgPackOut out;
    out.Value(document);
    return out.Take();
}

std::string JsonToYaml(const std::string& json) {
    rapidjson::Document document;
    if (document.Parse(json.c_str()).HasParseError()) {
        return {};
    }
    YamlOut out;
    out.Document(document);
    return out.Take();
}

const std::string& EndOfGame() {
    static const std::string document = EndOfGameJson();
    return document;
}

const std::string& Generic1MB() {
    static const std::string document = GenericJson(1'000'000);
    return document;
}

const std::string& DistinctNames1MB() {
    static const std::string document = DistinctNamesJson(1'000'000);
    return document;
}

const std::string& Json(Doc which) {
    switch (which) {
        case Doc::EndOfGame:
            return EndOfGame();
        case Doc::Generic1MB:
            return Generic1MB();
        case Doc::DistinctNames1MB:
            break;
    }
    return DistinctNames1MB();
}

}  // namespace qivbench
