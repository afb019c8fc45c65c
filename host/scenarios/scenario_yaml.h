// YAML scenario files: reads one YAML document into the same JSON tree that a JSON
// scenario file gives, so that one step reader serves both formats.
//
// Plain scalars become null (empty, "~", "null"), booleans ("true", "false"), integers
// and decimal numbers when they read as such, and strings otherwise; quoted scalars and
// scalars tagged "!!str" are always strings. Aliases, more than one document and mapping
// keys that are not scalars are refused, as is nesting deeper than `maxDepth`.
#pragma once

#include <rapidjson/document.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace qivhost {

// False with `error` reading "LINE:COLUMN: what is wrong" (1-based).
[[nodiscard]] bool YamlToDocument(std::string_view text, std::size_t maxDepth, rapidjson::Document& out,
                                  std::string& error);

}  // namespace qivhost
