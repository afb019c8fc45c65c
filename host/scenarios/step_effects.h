// What a scenario step asks of the host, shared by the scenario player and the served
// host's controls: the honor server's scripted reply, the REST call, and the status a
// call's expectation is checked against.
#pragma once

#include <cstdint>

#include "components/honor_server.h"
#include "core/route_caller.h"
#include "scenarios/scenario.h"

namespace qivhost {

// The reply a "server" step scripts.
[[nodiscard]] ServerReply ReplyOf(const ScenarioStep& step);

// The call a "call" step makes: its method and URL, and its JSON body when it has one.
[[nodiscard]] RestCall CallOf(const ScenarioStep& step);

// A handler that sets no status leaves 0 in the response; the host answers such a call
// with 200 when it succeeded and 500 when it failed, and expectations see that status.
[[nodiscard]] std::int32_t EffectiveStatus(const RestAnswer& answer);

}  // namespace qivhost
