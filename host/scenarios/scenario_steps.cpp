#include "scenarios/scenario_steps.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "components/messaging_service.h"

namespace qivhost {
namespace {

// The largest number of turns or seconds a step may ask for; beyond that a scenario is
// surely mistaken, and the host would only spin.
constexpr std::uint64_t kMaxTurns = 1000000;
constexpr double kMaxSeconds = 1e9;

const char* KindName(const rapidjson::Value& value) {
    switch (value.GetType()) {
        case rapidjson::kNullType: return "null";
        case rapidjson::kFalseType:
        case rapidjson::kTrueType: return "a boolean";
        case rapidjson::kObjectType: return "an object";
        case rapidjson::kArrayType: return "an array";
        case rapidjson::kStringType: return "a string";
        case rapidjson::kNumberType: return "a number";
    }
    return "a value";
}

std::string CompactJson(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// Reads the fields of one object; the first failure is kept and every later read fails.
class FieldReader {
public:
    FieldReader(const rapidjson::Value& object, std::string prefix) : object_(object), prefix_(std::move(prefix)) {}

    [[nodiscard]] const rapidjson::Value* Find(std::string_view name) const {
        const auto member = object_.FindMember(rapidjson::StringRef(name.data(), name.size()));
        return member == object_.MemberEnd() ? nullptr : &member->value;
    }

    bool Fail(const std::string& what) {
        if (error_.empty()) error_ = what;
        return false;
    }

    bool Missing(std::string_view name) { return Fail("needs the field \"" + Name(name) + "\""); }

    bool Wrong(std::string_view name, const char* expected, const rapidjson::Value& value) {
        return Fail("\"" + Name(name) + "\" must be " + expected + ", not " + KindName(value));
    }

    bool Text(std::string_view name, std::string& out, bool required) {
        const rapidjson::Value* value = Find(name);
        if (value == nullptr) return !required || Missing(name);
        if (!value->IsString()) return Wrong(name, "a string", *value);
        out.assign(value->GetString(), value->GetStringLength());
        if (out.empty()) return Fail("\"" + Name(name) + "\" must not be empty");
        // Texts reach the plug-in as C strings, which would silently end at a NUL.
        if (out.find('\0') != std::string::npos) return Fail("\"" + Name(name) + "\" must not contain a NUL character");
        return true;
    }

    bool Int64(std::string_view name, std::int64_t& out, std::int64_t low, std::int64_t high) {
        const rapidjson::Value* value = Find(name);
        if (value == nullptr) return true;
        if (!value->IsInt64()) return Wrong(name, "an integer", *value);
        if (value->GetInt64() < low || value->GetInt64() > high) {
            return Fail("\"" + Name(name) + "\" must be between " + std::to_string(low) + " and " +
                        std::to_string(high));
        }
        out = value->GetInt64();
        return true;
    }

    bool Int32(std::string_view name, std::int32_t& out, std::int32_t low, std::int32_t high) {
        std::int64_t wide = out;
        if (!Int64(name, wide, low, high)) return false;
        out = static_cast<std::int32_t>(wide);
        return true;
    }

    bool Count(std::string_view name, std::uint64_t& out, std::uint64_t low) {
        std::int64_t wide = static_cast<std::int64_t>(out);
        if (!Int64(name, wide, static_cast<std::int64_t>(low), static_cast<std::int64_t>(kMaxTurns))) return false;
        out = static_cast<std::uint64_t>(wide);
        return true;
    }

    bool Seconds(std::string_view name, double& out) {
        const rapidjson::Value* value = Find(name);
        if (value == nullptr) return true;
        if (!value->IsNumber()) return Wrong(name, "a number of seconds", *value);
        const double seconds = value->GetDouble();
        if (!std::isfinite(seconds) || seconds < 0 || seconds > kMaxSeconds) {
            return Fail("\"" + Name(name) + "\" must be between 0 and 1e9 seconds");
        }
        out = seconds;
        return true;
    }

    bool Flag(std::string_view name, bool& out) {
        const rapidjson::Value* value = Find(name);
        if (value == nullptr) return true;
        if (!value->IsBool()) return Wrong(name, "true or false", *value);
        out = value->GetBool();
        return true;
    }

    bool Json(std::string_view name, std::string& out, bool required) {
        const rapidjson::Value* value = Find(name);
        if (value == nullptr) return !required || Missing(name);
        out = CompactJson(*value);
        return true;
    }

    const std::string& Error() const { return error_; }
    std::string Name(std::string_view name) const { return prefix_ + std::string(name); }

private:
    const rapidjson::Value& object_;
    std::string prefix_;
    std::string error_;
};

bool ReadUri(FieldReader& fields, std::string_view name, std::string& out) {
    if (!fields.Text(name, out, true)) return false;
    if (out[0] != '/') return fields.Fail("\"" + std::string(name) + "\" must be a path beginning with \"/\"");
    return true;
}

bool ReadTitle(FieldReader& fields, ScenarioStep& step) { return fields.Text("title", step.text, true); }
bool ReadComment(FieldReader& fields, ScenarioStep& step) { return fields.Text("comment", step.text, true); }

bool ReadSet(FieldReader& fields, ScenarioStep& step) {
    step.hasJson = true;
    return ReadUri(fields, "set", step.text) && fields.Json("value", step.json, true);
}

bool ReadDelete(FieldReader& fields, ScenarioStep& step) { return ReadUri(fields, "delete", step.text); }

// A messaging-service resource by its last piece ("level-change") or by its path.
bool ResolveMessageUri(FieldReader& fields, std::string& target) {
    static constexpr const char* kUris[] = {kMessagingPostGameCeremony, kMessagingLevelChange, kMessagingRewardGranted,
                                            kMessagingFullTeamVote, kMessagingVoteCompletion};
    if (target[0] == '/') return true;
    std::string known;
    for (const char* uri : kUris) {
        const std::string_view path(uri);
        const std::string_view last = path.substr(path.rfind('/') + 1);
        if (last == target) {
            target = uri;
            return true;
        }
        known += std::string(known.empty() ? "" : ", ") + "\"" + std::string(last) + "\"";
    }
    return fields.Fail("\"message\" must be a path or one of " + known + ", not \"" + target + "\"");
}

bool ReadEnvelope(FieldReader& fields, ScenarioStep& step) {
    const rapidjson::Value* envelope = fields.Find("envelope");
    if (envelope == nullptr) return true;
    if (!envelope->IsObject()) return fields.Wrong("envelope", "an object", *envelope);
    FieldReader inner(*envelope, "envelope.");
    for (const auto& member : envelope->GetObject()) {
        const std::string_view name(member.name.GetString(), member.name.GetStringLength());
        if (name != "service" && name != "version" && name != "timestamp") {
            return fields.Fail("unknown field \"" + inner.Name(name) + "\"");
        }
    }
    const bool ok = inner.Text("service", step.envelopeService, false) &&
                    inner.Text("version", step.envelopeVersion, false) &&
                    inner.Int64("timestamp", step.envelopeTimestamp, std::numeric_limits<std::int64_t>::min(),
                                std::numeric_limits<std::int64_t>::max());
    return ok || fields.Fail(inner.Error());
}

bool ReadMessage(FieldReader& fields, ScenarioStep& step) {
    step.hasJson = true;
    return fields.Text("message", step.text, true) && ResolveMessageUri(fields, step.text) &&
           fields.Json("record", step.json, true) && ReadEnvelope(fields, step);
}

bool ReadSequence(FieldReader& fields, ScenarioStep& step) {
    return fields.Text("sequence", step.text, true) &&
           fields.Int32("priority", step.priority, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max());
}

// "honor.server.honorPlayer": the method is the last piece, the service all before it.
bool SplitServiceMethod(FieldReader& fields, ScenarioStep& step) {
    const std::size_t dot = step.text.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == step.text.size()) {
        return fields.Fail("\"server\" must read \"service.method\", not \"" + step.text + "\"");
    }
    step.service = step.text.substr(0, dot);
    step.method = step.text.substr(dot + 1);
    return true;
}

bool ReadStatus(FieldReader& fields, ScenarioStep& step) {
    const rapidjson::Value* status = fields.Find("status");
    if (status == nullptr) return true;
    if (step.reply != ServerReplyKind::Error) return fields.Fail("\"status\" goes only with \"error\"");
    if (status->IsInt()) {
        step.status = std::to_string(status->GetInt());
        return true;
    }
    return fields.Text("status", step.status, false);
}

bool ReadSilence(FieldReader& fields, ScenarioStep& step) {
    const rapidjson::Value* silence = fields.Find("silence");
    step.delaySeconds = 30;
    if (silence->IsTrue()) return true;
    if (silence->IsNumber()) return fields.Seconds("silence", step.delaySeconds);
    return fields.Wrong("silence", "true or the seconds until the proxy times out", *silence);
}

bool ReadReplyKind(FieldReader& fields, ScenarioStep& step) {
    const bool answer = fields.Find("answer") != nullptr;
    const bool error = fields.Find("error") != nullptr;
    const bool silence = fields.Find("silence") != nullptr;
    const int given = (answer ? 1 : 0) + (error ? 1 : 0) + (silence ? 1 : 0);
    if (given != 1) return fields.Fail("needs exactly one of \"answer\", \"error\" or \"silence\"");
    if (answer) {
        step.hasJson = true;
        return fields.Json("answer", step.json, true);
    }
    if (error) {
        step.reply = ServerReplyKind::Error;
        return fields.Text("error", step.error, true);
    }
    step.reply = ServerReplyKind::Silence;
    if (fields.Find("delay") != nullptr) return fields.Fail("\"delay\" does not go with \"silence\"");
    return ReadSilence(fields, step);
}

bool ReadServer(FieldReader& fields, ScenarioStep& step) {
    return fields.Text("server", step.text, true) && SplitServiceMethod(fields, step) && ReadReplyKind(fields, step) &&
           ReadStatus(fields, step) && fields.Seconds("delay", step.delaySeconds) &&
           fields.Count("delayTurns", step.delayTurns, 0) && fields.Flag("once", step.once);
}

bool ReadVyre(FieldReader& fields, ScenarioStep& step) {
    step.hasJson = true;
    return fields.Text("vyre", step.text, true) && fields.Json("body", step.json, true);
}

// "METHOD /path?query": an upper-case word, one space, a path.
bool SplitCall(FieldReader& fields, ScenarioStep& step) {
    const std::string call = step.text;
    const std::size_t space = call.find(' ');
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const bool wordOk = space != std::string::npos && space > 0 &&
                        std::all_of(call.begin(), call.begin() + static_cast<std::ptrdiff_t>(space), upper);
    if (!wordOk || space + 1 >= call.size() || call[space + 1] != '/') {
        return fields.Fail("\"call\" must read \"METHOD /path\", not \"" + call + "\"");
    }
    step.httpMethod = call.substr(0, space);
    step.text = call.substr(space + 1);
    return true;
}

bool ReadCall(FieldReader& fields, ScenarioStep& step) {
    if (!fields.Text("call", step.text, true) || !SplitCall(fields, step)) return false;
    step.hasJson = fields.Find("body") != nullptr;
    if (!fields.Json("body", step.json, false)) return false;
    if (fields.Find("expectStatus") != nullptr) {
        std::int32_t status = 0;
        if (!fields.Int32("expectStatus", status, 100, 599)) return false;
        step.expectStatus = status;
    }
    if (fields.Find("expectBody") != nullptr) {
        std::string text;
        if (!fields.Text("expectBody", text, true)) return false;
        step.expectBody = std::move(text);
    }
    return true;
}

bool ReadPump(FieldReader& fields, ScenarioStep& step) {
    step.hold = true;
    return fields.Count("pump", step.turns, 1);
}

bool ReadSettle(FieldReader& fields, ScenarioStep&) {
    const rapidjson::Value* settle = fields.Find("settle");
    return settle->IsTrue() || fields.Wrong("settle", "true", *settle);
}

bool ReadAdvance(FieldReader& fields, ScenarioStep& step) { return fields.Seconds("advance", step.seconds); }

struct ActionRule {
    std::string_view key;
    StepKind kind;
    std::vector<std::string_view> fields;  // allowed besides the action and "hold"
    bool (*read)(FieldReader&, ScenarioStep&);
};

const std::vector<ActionRule>& Rules() {
    static const std::vector<ActionRule> rules = {
        {"title", StepKind::Title, {}, &ReadTitle},
        {"comment", StepKind::Comment, {}, &ReadComment},
        {"set", StepKind::SetResource, {"value"}, &ReadSet},
        {"delete", StepKind::DeleteResource, {}, &ReadDelete},
        {"message", StepKind::Message, {"record", "envelope"}, &ReadMessage},
        {"sequence", StepKind::Sequence, {"priority"}, &ReadSequence},
        {"server", StepKind::Server, {"answer", "error", "status", "silence", "delay", "delayTurns", "once"}, &ReadServer},
        {"vyre", StepKind::Vyre, {"body"}, &ReadVyre},
        {"call", StepKind::Call, {"body", "expectStatus", "expectBody"}, &ReadCall},
        {"pump", StepKind::Pump, {}, &ReadPump},
        {"settle", StepKind::Settle, {}, &ReadSettle},
        {"advance", StepKind::Advance, {}, &ReadAdvance},
    };
    return rules;
}

const ActionRule* RuleFor(std::string_view key) {
    for (const ActionRule& rule : Rules()) {
        if (rule.key == key) return &rule;
    }
    return nullptr;
}

std::string ActionList() {
    std::string list;
    for (const ActionRule& rule : Rules()) list += std::string(list.empty() ? "" : ", ") + "\"" + std::string(rule.key) + "\"";
    return list;
}

// The one action field of the step, or an error.
const ActionRule* FindAction(const rapidjson::Value& object, std::string& error) {
    const ActionRule* found = nullptr;
    for (const auto& member : object.GetObject()) {
        const ActionRule* rule = RuleFor(std::string_view(member.name.GetString(), member.name.GetStringLength()));
        if (rule == nullptr) continue;
        if (found != nullptr) {
            error = "has two actions, \"" + std::string(found->key) + "\" and \"" + std::string(rule->key) + "\"";
            return nullptr;
        }
        found = rule;
    }
    if (found == nullptr) error = "has no action; a step needs one of " + ActionList();
    return found;
}

bool CheckFieldNames(const rapidjson::Value& object, const ActionRule& rule, FieldReader& fields) {
    for (const auto& member : object.GetObject()) {
        const std::string_view name(member.name.GetString(), member.name.GetStringLength());
        if (name == rule.key || name == "hold") continue;
        if (std::find(rule.fields.begin(), rule.fields.end(), name) != rule.fields.end()) continue;
        return fields.Fail("unknown field \"" + std::string(name) + "\"");
    }
    return true;
}

}  // namespace

bool ReadScenarioStep(const rapidjson::Value& object, const std::string& place, ScenarioStep& out, std::string& error) {
    if (!object.IsObject()) {
        error = place + ": must be an object, not " + KindName(object);
        return false;
    }
    std::string why;
    const ActionRule* rule = FindAction(object, why);
    if (rule == nullptr) {
        error = place + ": " + why;
        return false;
    }
    ScenarioStep step;
    step.kind = rule->kind;
    FieldReader fields(object, "");
    const bool ok = CheckFieldNames(object, *rule, fields) && rule->read(fields, step) && fields.Flag("hold", step.hold);
    if (!ok) {
        error = place + " (\"" + std::string(rule->key) + "\"): " + fields.Error();
        return false;
    }
    out = std::move(step);
    return true;
}

}  // namespace qivhost
