// The anchors of one YAML document. An anchored mapping or sequence is remembered by its
// path from the document's root (element indices and field names), so that an alias can
// find the finished node in the tree and copy it; an anchored scalar is remembered as
// read (text, tag, quoting) and typed again for each alias, since a later scalar under a
// repeated key may replace it in the tree; an anchored mapping key is remembered by its
// text. Names are unique: recording a name twice is refused.
//
// The table also keeps the document's alias budget: the number of nodes that alias
// copies may create in total, so that nested aliases cannot expand exponentially.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "value/binding_property.h"

namespace vclient {

// One step from a node to its child: an element index or a field name.
struct YamlPathStep {
    enum class Kind : std::uint8_t { Root, Index, Field };
    Kind kind = Kind::Root;
    std::size_t index = 0;
    std::string name;
};

struct YamlAnchor {
    enum class Kind : std::uint8_t { Key, Scalar, Node };
    Kind kind = Kind::Node;
    std::string text;                // Key: the key's text; Scalar: the scalar's text
    std::string tag;                 // Scalar: its tag, empty when it has none
    bool quoted = false;             // Scalar: single- or double-quoted
    std::vector<YamlPathStep> path;  // Node: from the root
};

class YamlAnchorTable {
public:
    static constexpr std::size_t kMaxAliasNodes = 1'000'000;

    YamlAnchorTable();

    // False, changing nothing, when the name is already recorded.
    [[nodiscard]] bool Record(std::string_view name, YamlAnchor anchor);
    // The anchor of that name, or null.
    [[nodiscard]] const YamlAnchor* Find(std::string_view name) const;
    // Forgets every anchor and restores the alias budget (a new document).
    void Clear();

    // Charges the nodes of `node` to the alias budget; false (the budget then spent)
    // when the copy would take the document past kMaxAliasNodes.
    [[nodiscard]] bool ChargeCopy(const BindingProperty& node);

private:
    struct NameHash {
        std::size_t operator()(const std::string& name) const noexcept;
    };

    std::unordered_map<std::string, YamlAnchor, NameHash> anchors_;
    std::size_t aliasNodes_ = 0;
};

// The node at `path` below `root`, or the static Empty value when the path leads nowhere.
[[nodiscard]] const BindingProperty& ResolveYamlPath(const BindingProperty& root,
                                                     const std::vector<YamlPathStep>& path) noexcept;

}  // namespace vclient
