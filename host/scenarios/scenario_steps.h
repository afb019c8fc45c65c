// The step vocabulary of a scenario: turns one step object of a parsed scenario file
// into a ScenarioStep, checking that it has exactly one action field, only the fields
// that action allows, and that each has the right kind of value. Used by
// scenario_parser.cpp for JSON and YAML files alike.
#pragma once

#include <rapidjson/document.h>

#include <string>

#include "scenarios/scenario.h"

namespace qivhost {

// `place` names the step for messages ("step 3"). On failure `error` reads
// "<place> (\"<action>\"): <what is wrong>" (without the action when none was found).
[[nodiscard]] bool ReadScenarioStep(const rapidjson::Value& object, const std::string& place, ScenarioStep& out,
                                    std::string& error);

}  // namespace qivhost
