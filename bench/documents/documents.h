// The documents every benchmark reads, generated the same way on every run (a fixed
// pseudo-random sequence), and the same content in the other encodings the plug-in reads.
//
// - EndOfGameJson: the end-of-game statistics block of two teams of five players as the
//   client sends it (about 30 KB): the fields the honor records read, each player's many
//   statistics, items, timeline and perks.
// - GenericJson: a list of records of one repeated shape with nested objects, short
//   arrays, escaped texts, floats and negative numbers, of about `bytes` bytes.
// - DistinctNamesJson: objects used as maps keyed by ids (tens of thousands of distinct
//   member names per megabyte) holding mixed value kinds, of about `bytes` bytes.
// - JsonToMsgPack / JsonToYaml: the same content as MessagePack (smallest encodings, as a
//   writer of the format produces them) and as block-style YAML.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qivbench {

[[nodiscard]] std::string EndOfGameJson();
[[nodiscard]] std::string GenericJson(std::size_t bytes);
[[nodiscard]] std::string DistinctNamesJson(std::size_t bytes);

// The JSON text must be valid (these are generated documents); an invalid one gives an
// empty result.
[[nodiscard]] std::vector<std::uint8_t> JsonToMsgPack(const std::string& json);
[[nodiscard]] std::string JsonToYaml(const std::string& json);

// The documents of the side-by-side figures, made once per process.
[[nodiscard]] const std::string& EndOfGame();
[[nodiscard]] const std::string& Generic1MB();
[[nodiscard]] const std::string& DistinctNames1MB();

// The same three by name, for benchmarks captured once per document.
enum class Doc { EndOfGame, Generic1MB, DistinctNames1MB };
[[nodiscard]] const std::string& Json(Doc which);

}  // namespace qivbench
