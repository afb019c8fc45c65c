// Reading a scenario file (scenario.h): JSON, or YAML for files named *.yaml or *.yml.
//
// The file is one object:
//   { "title": "...", "beforeStart": [ step... ], "steps": [ step... ] }
// "steps" is required, the other two are optional. A step is an object with exactly one
// action field, which names the kind of step, and the fields that kind allows; the
// vocabulary is described in examples/README.md.
//
// Contract: never throws and never crashes on any input. A file that cannot be used gives
// ok false and an error that names the file and the place: "FILE:LINE:COLUMN: ..." for
// a syntax error, "FILE: step N (\"action\"): ..." (or "before-start step N") for a step
// with a missing, unknown or wrong field, "FILE: ..." for the file's outer shape.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "scenarios/scenario.h"

namespace qivhost {

struct [[nodiscard]] ScenarioParse {
    bool ok = false;
    std::string error;
    Scenario scenario;
};

// Values nested deeper than this are refused, so that no reader or writer recurses
// without bound.
inline constexpr std::size_t kMaxScenarioDepth = 64;

[[nodiscard]] ScenarioParse ParseScenarioJson(std::string_view text, const std::string& fileName);
[[nodiscard]] ScenarioParse ParseScenarioYaml(std::string_view text, const std::string& fileName);
// Reads the file and picks the format by its name.
[[nodiscard]] ScenarioParse LoadScenarioFile(const std::string& path);

// The 1-based line and column of a byte offset into `text`; columns count characters
// (UTF-8 sequences), not bytes.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;
};
[[nodiscard]] TextPosition PositionOfOffset(std::string_view text, std::size_t offset);

}  // namespace qivhost
