// YAML text -> tree. libyaml parses; the reader builds the tree (anchors, aliases, tags,
// typed plain scalars). Checks: no crash, leak or runaway (alias expansion is bounded);
// reading is deterministic; a failure carries a text; a success is a tree within the
// nesting limit whose field trees keep their rules and whose JSON text reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/yaml_reader.h"
#include "fuzz_support.h"
#include "value/nesting_limit.h"

namespace {

using vclient::BindingProperty;
using vclient::BindingPropertyType;
using qivfuzz::Check;

std::size_t Depth(const BindingProperty& value) {
    std::size_t deepest = 0;
    if (value.Kind() == BindingPropertyType::Collection) {
        for (const BindingProperty& element : value.Elements()) deepest = std::max(deepest, Depth(element));
        return deepest + 1;
    }
    if (value.Kind() == BindingPropertyType::Structure) {
        for (const auto& [name, field] : value.Fields()) deepest = std::max(deepest, Depth(field));
        return deepest + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string input = qivfuzz::Quoted(text);
    const vclient::BindingResult first = vclient::YamlToBinding(text);
    const vclient::BindingResult second = vclient::YamlToBinding(text);
    Check(first.Succeeded() == second.Succeeded(), "reading is deterministic", input);
    if (!first.Succeeded()) {
        Check(!first.ErrorMessage().empty(), "a failure carries a text", input);
        Check(first.ErrorMessage() == second.ErrorMessage(), "the same failure twice", input);
        return 0;
    }
    const BindingProperty& tree = first.Value();
    Check(qivfuzz::Difference(tree, second.Value()).empty(), "the same tree twice", input);
    // Small inputs only: the trees of large alias expansions are slow to walk recursively.
    if (size > 2048) return 0;
    const std::size_t depth = Depth(tree);
    Check(depth <= vclient::kMaxNestingDepth, "nesting within the limit", input + "\ndepth " + std::to_string(depth));
    Check(tree.FieldTreeHoldsRules(), "field trees keep their rules", input);
    const std::string json = vclient::BindingToJson(tree);
    const vclient::BindingResult again = vclient::JsonToBinding(json);
    Check(again.Succeeded(), "the tree writes as JSON", input + "\n" + again.ErrorMessage());
    return 0;
}
