// The ordered map behind a Structure: a red-black tree of FieldNodes keyed by field
// name. Names compare byte by byte as unsigned 8-bit values, a shorter name first at a
// common prefix. Fields are only ever inserted or destroyed all together, so the tree
// has no erase. Internal to the binding library.
#pragma once

#include <string_view>

#include "value/property_parts.h"

namespace vclient::detail {

// <0, 0 or >0 as `a` orders before, equal to or after `b`.
[[nodiscard]] int CompareFieldNames(std::string_view a, std::string_view b) noexcept;

// Where a missing name would be linked in: under `parent` (null for an empty tree), on
// its left or right.
struct FieldInsertPoint {
    FieldNode* parent = nullptr;
    bool left = true;
};

// The node named `name`, or null; on a miss, `where` receives the insertion point. Given
// `where` (a lookup before an insertion), a name at or after the last one is settled by
// comparing with that one alone.
[[nodiscard]] FieldNode* FindFieldNode(const StructurePart& tree, std::string_view name,
                                       FieldInsertPoint* where) noexcept;
// Links `node` at `where` (found by FindFieldNode with no insert in between) and rebalances.
void InsertFieldNode(StructurePart& tree, FieldNode* node, FieldInsertPoint where) noexcept;
// Whether the tree keeps its rules: names strictly ascending in order, parent links and
// count right, `last` the greatest node, a black root, no red node with a red child, and
// the same number of black nodes on every path down.
[[nodiscard]] bool FieldTreeHoldsRules(const StructurePart& tree) noexcept;
// The node with the smallest name, or null for an empty tree.
[[nodiscard]] FieldNode* FirstFieldNode(const StructurePart& tree) noexcept;

}  // namespace vclient::detail
