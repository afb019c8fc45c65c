// The YAML reader: turns one YAML document into a BindingProperty tree. libyaml parses
// the text into events; the reader builds the tree from them.
//
//   BindingResult read = YamlToBinding("a: 1\nb: [x, ~]\n");
//   // {"a": Unsigned 1, "b": [String "x", Empty]}
//
// Scalars are typed as described in yaml_scalar.h. Mapping keys must be untagged or
// "!!str" scalars (an alias to an anchored key or to a string also serves as a key).
// A key that repeats within one mapping: a later scalar value replaces an earlier scalar
// value (Empty included; an alias to a scalar counts as one), and the key is refused
// when either value is a mapping or sequence. Anchors and aliases work within the
// document: an alias is a deep copy of the finished anchored node; an alias to a node
// still being built (a cycle), to an unknown anchor, a second anchor of the same name,
// and alias copies that would create more than 1,000,000 nodes in total are errors.
// Mappings and sequences nest at most kMaxNestingDepth (256) levels. A stream of more
// than one document is refused once a document has produced a value.
//
// Errors fail the result with a text that names the 1-based line and column of the
// offending node; libyaml's own parse errors are reported after reading as
// "YAML parser error: <problem>. At line: L col: C" with libyaml's 0-based mark.
// An empty text is a success holding Empty. Never throws.
//
// Threading: no shared state; any number of threads may read at once.
#pragma once

#include <string_view>

#include "value/binding_result.h"

namespace vclient {

[[nodiscard]] BindingResult YamlToBinding(std::string_view text);

}  // namespace vclient
