// One scenario step applied to the host outside a scenario file: the /host/ controls of
// the served host take step objects, and `qiv-host serve --scenario` plays a file's
// steps with the plug-in left running afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/dev_host.h"
#include "scenarios/scenario.h"
#include "scenarios/step_effects.h"

namespace qivhost {

// Applies a step other than a call; false with `error` when the host refused it (a value
// that is not JSON). Settling afterwards is the caller's.
[[nodiscard]] bool ApplyHostStep(DevHost& host, const ScenarioStep& step, std::string& error);

// Makes a call step and checks its expectations; the failed ones are appended to
// `failures`. Returns the number of expectations checked.
std::size_t CallStep(DevHost& host, const ScenarioStep& step, std::vector<std::string>& failures);

}  // namespace qivhost
