#include "scenarios/scenario_player.h"

#include <cinttypes>
#include <sstream>

#include "components/honor_server.h"
#include "scenarios/step_effects.h"

namespace qivhost {
namespace {

constexpr std::size_t kStepIndent = 2;
constexpr std::size_t kActivityIndent = 4;
constexpr int kWordWidth = 10;

std::string Seconds(double seconds) {
    std::ostringstream text;
    text << seconds << " s";
    return text.str();
}

std::string LastPiece(const std::string& uri) { return uri.substr(uri.rfind('/') + 1); }

std::string DescribeServerScript(const ScenarioStep& step) {
    std::string text = step.text + (step.once ? " (next call only)" : "");
    switch (step.reply) {
        case ServerReplyKind::Answer: text += " answers " + step.json; break;
        case ServerReplyKind::Error: text += " fails with " + step.status + " \"" + step.error + "\""; break;
        case ServerReplyKind::Silence:
            return text + " stays silent (the proxy times out after " + Seconds(step.delaySeconds) + ")";
    }
    if (step.delaySeconds > 0) text += " after " + Seconds(step.delaySeconds);
    if (step.delayTurns > 0) text += " after " + std::to_string(step.delayTurns) + " turns";
    return text;
}

bool MakesActivity(StepKind kind) {
    return kind == StepKind::SetResource || kind == StepKind::DeleteResource || kind == StepKind::Message ||
           kind == StepKind::Sequence || kind == StepKind::Vyre || kind == StepKind::Call;
}

}  // namespace

ScenarioOutcome ScenarioPlayer::Play(const Scenario& scenario, const std::string& pluginPath,
                                     const HostVersion& version) {
    outcome_ = ScenarioOutcome{};
    std::fprintf(out_, "scenario %s%s\n", scenario.file.c_str(),
                 scenario.title.empty() ? "" : (": " + scenario.title).c_str());
    if (!Load(pluginPath, version)) return outcome_;
    Start(scenario);
    if (outcome_.started) {
        for (const ScenarioStep& step : scenario.steps) RunStep(step);
    }
    Stop();
    Heading("Done");
    std::fprintf(out_, "  %zu steps played, %zu expectations checked, %zu failed\n", outcome_.stepsPlayed,
                 outcome_.expectations, outcome_.failures);
    return outcome_;
}

bool ScenarioPlayer::Load(const std::string& pluginPath, const HostVersion& version) {
    Heading("Load");
    Say("load", pluginPath + " as host API " + ToString(version));
    std::fflush(out_);  // an incompatible plug-in may end the process right here
    outcome_.loaded = host_.Load(pluginPath, version);
    if (!outcome_.loaded) {
        Say("FAILED", host_.Error());
        return false;
    }
    const PluginLoadRecord& record = host_.LoadRecord();
    const char* shortName = record.shortName != nullptr ? record.shortName : "(null)";
    Say("loaded", std::string(shortName) + ", plug-in API " + std::to_string(record.apiMajor) + "." +
                      std::to_string(record.apiMinor) + "." + std::to_string(record.apiPatch) + ", " +
                      std::to_string(host_.Routes().size()) + " routes");
    return true;
}

void ScenarioPlayer::Start(const Scenario& scenario) {
    if (!scenario.beforeStart.empty()) {
        Heading("Before start");
        for (const ScenarioStep& step : scenario.beforeStart) {
            (void)Act(step);
            Flush();
        }
        // Nobody listens yet: the plug-in reads these resources while it starts.
        host_.RunUntilIdle();
    }
    Heading("Start");
    Say("initialize", "");
    outcome_.started = host_.Initialize();
    Flush();
    Say("started", outcome_.started ? "true (client handle " + std::to_string(host_.ClientHandle()) + ")"
                                    : "false (the plug-in refused to start)");
    host_.RunUntilIdle();
    Flush();
}

void ScenarioPlayer::Stop() {
    Heading("Shutdown");
    host_.RunUntilIdle();
    Flush();
    Say("shutdown", "");
    host_.Shutdown();
    Flush();
}

void ScenarioPlayer::RunStep(const ScenarioStep& step) {
    ++outcome_.stepsPlayed;
    const bool acted = Act(step);
    Flush();
    if (acted && MakesActivity(step.kind) && !step.hold) {
        host_.RunUntilIdle();
        Flush();
    }
}

// Performs one step and says what it did; false when nothing happened in the host.
bool ScenarioPlayer::Act(const ScenarioStep& step) {
    std::string error;
    switch (step.kind) {
        case StepKind::Title: Heading(step.text); return false;
        case StepKind::Comment: Say("#", step.text); return false;
        case StepKind::SetResource:
            Say("set", step.text);
            SayJson(step.json, 1);
            if (!host_.SetResource(step.text, step.json, &error)) Refused(error);
            return error.empty();
        case StepKind::DeleteResource:
            Say("delete", step.text);
            if (!host_.DeleteResource(step.text)) Say("", "(nothing was there; nothing announced)");
            return true;
        case StepKind::Message: {
            Say("message", LastPiece(step.text));
            SayJson(step.json, 1);
            const VmsEnvelope envelope{step.envelopeService, step.envelopeVersion, step.envelopeTimestamp};
            if (!host_.SetMessagingMessage(step.text, step.json, &error, envelope)) Refused(error);
            return error.empty();
        }
        case StepKind::Sequence:
            Say("sequence", "\"" + step.text + "\", priority " + std::to_string(step.priority));
            host_.SetCurrentSequenceEvent(step.text, step.priority);
            return true;
        case StepKind::Server: ScriptServer(step); return false;
        case StepKind::Vyre:
            Say("vyre", step.text);
            SayJson(step.json, 1);
            if (!host_.PushVyreMessage(step.text, step.json, &error)) Refused(error);
            return error.empty();
        case StepKind::Call: Call(step); return true;
        case StepKind::Pump:
            Say("pump", std::to_string(step.turns) + (step.turns == 1 ? " turn" : " turns"));
            for (std::uint64_t turn = 0; turn < step.turns; ++turn) (void)host_.Pump();
            return true;
        case StepKind::Settle:
            Say("settle", "until nothing is due");
            (void)host_.RunUntilIdle();
            return true;
        case StepKind::Advance:
            Say("advance", Seconds(step.seconds) + " (clock at " + Seconds(host_.Now() + step.seconds) + ")");
            (void)host_.AdvanceClock(step.seconds);
            return true;
    }
    return false;
}

void ScenarioPlayer::ScriptServer(const ScenarioStep& step) {
    Say("server", DescribeServerScript(step));
    HonorServer& server = host_.Components().server;
    if (step.once) {
        server.ScriptOnce(step.service, step.method, ReplyOf(step));
    } else {
        server.Script(step.service, step.method, ReplyOf(step));
    }
}

void ScenarioPlayer::Call(const ScenarioStep& step) {
    const RestCall call = CallOf(step);
    Say("call", step.httpMethod + " " + step.text);
    if (step.hasJson) SayJson(step.json, 1);
    const RestAnswer answer = host_.Call(call);
    Flush();
    const std::int32_t effective = EffectiveStatus(answer);
    std::string status = std::to_string(effective) + (answer.status == 0 ? " (no status set)" : "");
    if (answer.errorText) status += " error \"" + *answer.errorText + "\"";
    if (!answer.reachedPlugin) status += " (the plug-in was not called)";
    Say("answer", status);
    if (!answer.errorText) SayJson(answer.bodyJson, 1);
    if (step.expectStatus) {
        Expect(effective == *step.expectStatus, "status " + std::to_string(*step.expectStatus),
               "status " + std::to_string(effective));
    }
    if (step.expectBody) {
        Expect(answer.bodyJson.find(*step.expectBody) != std::string::npos, "a body containing " + *step.expectBody,
               "a body without it");
    }
}

void ScenarioPlayer::Expect(bool held, const std::string& wanted, const std::string& got) {
    ++outcome_.expectations;
    if (held) {
        Say("expect", "ok: " + wanted);
        return;
    }
    ++outcome_.failures;
    Say("EXPECT", "FAILED: wanted " + wanted + ", got " + got);
}

void ScenarioPlayer::Refused(const std::string& what) {
    ++outcome_.failures;
    Say("FAILED", what);
}

void ScenarioPlayer::Heading(const std::string& title) {
    std::fprintf(out_, "\n== %s ==\n", title.c_str());
}

void ScenarioPlayer::Say(const std::string& word, const std::string& text) {
    if (text.empty()) {
        std::fprintf(out_, "%*s%s\n", static_cast<int>(kStepIndent), "", word.c_str());
        return;
    }
    std::fprintf(out_, "%*s%-*s %s\n", static_cast<int>(kStepIndent), "", kWordWidth, word.c_str(), text.c_str());
}

void ScenarioPlayer::SayJson(const std::string& json, std::size_t depth) {
    const int indent = static_cast<int>(kStepIndent + kWordWidth + 1 + 2 * (depth - 1));
    for (const std::string& line : JsonForDisplay(json)) std::fprintf(out_, "%*s%s\n", indent, "", line.c_str());
}

void ScenarioPlayer::Flush() {
    const std::vector<HostCall>& calls = host_.History().Calls();
    for (; printed_ < calls.size(); ++printed_) {
        for (const FormattedLine& line : formatter_.Format(calls[printed_])) {
            const int indent = static_cast<int>(kActivityIndent + 2 * line.depth);
            std::fprintf(out_, "%*s%s\n", indent, "", line.text.c_str());
        }
    }
    std::fflush(out_);
}

}  // namespace qivhost
