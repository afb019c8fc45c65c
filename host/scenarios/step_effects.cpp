#include "scenarios/step_effects.h"

namespace qivhost {

ServerReply ReplyOf(const ScenarioStep& step) {
    if (step.reply == ServerReplyKind::Silence) return ServerReply::Silence(step.delaySeconds);
    ServerReply reply =
        step.reply == ServerReplyKind::Error ? ServerReply::Failure(step.error, step.status) : ServerReply::Answer(step.json);
    reply.delaySeconds = step.delaySeconds;
    reply.delayTurns = step.delayTurns;
    return reply;
}

RestCall CallOf(const ScenarioStep& step) {
    RestCall call;
    call.method = step.httpMethod;
    call.url = step.text;
    if (step.hasJson) {
        call.body = step.json;
        call.contentType = "application/json";
    }
    return call;
}

std::int32_t EffectiveStatus(const RestAnswer& answer) {
    if (answer.status != 0) return answer.status;
    return answer.errorText ? 500 : 200;
}

}  // namespace qivhost
