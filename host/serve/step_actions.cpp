#include "serve/step_actions.h"

#include "components/honor_server.h"
#include "scenarios/step_effects.h"

namespace qivhost {

bool ApplyHostStep(DevHost& host, const ScenarioStep& step, std::string& error) {
    switch (step.kind) {
        case StepKind::Title:
        case StepKind::Comment: return true;
        case StepKind::SetResource: return host.SetResource(step.text, step.json, &error);
        case StepKind::DeleteResource: (void)host.DeleteResource(step.text); return true;
        case StepKind::Message: {
            const VmsEnvelope envelope{step.envelopeService, step.envelopeVersion, step.envelopeTimestamp};
            return host.SetMessagingMessage(step.text, step.json, &error, envelope);
        }
        case StepKind::Sequence: host.SetCurrentSequenceEvent(step.text, step.priority); return true;
        case StepKind::Server:
            if (step.once) {
                host.Components().server.ScriptOnce(step.service, step.method, ReplyOf(step));
            } else {
                host.Components().server.Script(step.service, step.method, ReplyOf(step));
            }
            return true;
        case StepKind::Vyre: return host.PushVyreMessage(step.text, step.json, &error);
        case StepKind::Pump:
            for (std::uint64_t turn = 0; turn < step.turns; ++turn) (void)host.Pump();
            return true;
        case StepKind::Settle: (void)host.RunUntilIdle(); return true;
        case StepKind::Advance: (void)host.AdvanceClock(step.seconds); return true;
        case StepKind::Call: error = "a call is made over HTTP, not as a host step"; return false;
    }
    error = "unknown step";
    return false;
}

std::size_t CallStep(DevHost& host, const ScenarioStep& step, std::vector<std::string>& failures) {
    const RestAnswer answer = host.Call(CallOf(step));
    const std::string what = step.httpMethod + " " + step.text + ": ";
    const std::int32_t status = EffectiveStatus(answer);
    if (step.expectStatus && status != *step.expectStatus) {
        failures.push_back(what + "wanted status " + std::to_string(*step.expectStatus) + ", got " +
                           std::to_string(status));
    }
    if (step.expectBody && answer.bodyJson.find(*step.expectBody) == std::string::npos) {
        failures.push_back(what + "wanted a body containing " + *step.expectBody + ", got " + answer.bodyJson);
    }
    return (step.expectStatus ? 1 : 0) + (step.expectBody ? 1 : 0);
}

}  // namespace qivhost
