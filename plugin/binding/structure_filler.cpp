#include "binding/structure_filler.h"

#include <algorithm>
#include <numeric>

#include "binding/field_tree.h"
#include "binding/property_arena.h"
#include "binding/property_parts.h"

namespace vclient {

namespace {

// Links ordered[lo, hi) as a balanced subtree under `parent`. Every level but the deepest
// is full, so colouring the deepest level red (when it is not full itself) and every
// other node black keeps the red-black rules: each path to a leaf has `deepest` black nodes.
detail::FieldNode* LinkRange(const std::vector<detail::FieldNode*>& ordered, std::size_t lo, std::size_t hi,
                             std::size_t depth, std::size_t redDepth, detail::FieldNode* parent) noexcept {
    if (lo >= hi) {
        return nullptr;
    }
    const std::size_t mid = lo + (hi - lo) / 2;
    detail::FieldNode* node = ordered[mid];
    node->parent = parent;
    node->red = depth == redDepth;
    node->left = LinkRange(ordered, lo, mid, depth + 1, redDepth, node);
    node->right = LinkRange(ordered, mid + 1, hi, depth + 1, redDepth, node);
    return node;
}

}  // namespace

void StructureFiller::Open(BindingProperty& value, std::size_t depth) {
    if (openCount_ != 0) {
        depth = std::max(depth, open_[openCount_ - 1].depth + 1);  // a shape in use is never replaced
    }
    value.EnsureStructure();
    if (arena_ == nullptr) {
        arena_ = value.arena_;
    }
    if (openCount_ == open_.size()) {
        open_.emplace_back();
    }
    OpenStructure& open = open_[openCount_];
    open.value = &value;
    open.depth = depth;
    open.duplicate = false;
    open.matched = 0;
    open.held.clear();
    open.arrived.clear();
    open.slot = kNoShape;
    open.shapeNames = nullptr;
    open.shapeSize = 0;
    open.following = value.payload_.structure->count == 0 && depth < shapes_.size();  // until the first name
    ++openCount_;
}

BindingProperty& StructureFiller::Field(std::string_view name) {
    OpenStructure& open = open_[openCount_ - 1];
    if (open.following && (open.slot != kNoShape || PickShape(open, name))) {
        if (open.matched < open.shapeSize && detail::SameBytes(open.shapeNames[open.matched]->text, name)) {
            detail::StringEntry* entry = open.shapeNames[open.matched];
            auto* node = arena_->New<detail::FieldNode>(entry, arena_);
            ++entry->count;
            open.held.push_back(node);  // within the reserved capacity
            ++open.matched;
            return node->value;
        }
        StopFollowing(open);
    }
    open.following = false;
    return PlainField(open, name);
}

// Picks the shape of this depth that starts with `firstName`, if any.
bool StructureFiller::PickShape(OpenStructure& open, std::string_view firstName) {
    ShapeSet& set = shapes_[open.depth];
    for (std::size_t slot = 0; slot < kShapesPerDepth; ++slot) {
        const std::vector<detail::StringEntry*>& names = set.shapes[slot].names;
        if (!names.empty() && detail::SameBytes(names.front()->text, firstName)) {
            open.held.reserve(names.size());
            open.slot = slot;
            open.shapeNames = names.data();
            open.shapeSize = names.size();
            return true;
        }
    }
    return false;
}

BindingProperty& StructureFiller::PlainField(OpenStructure& open, std::string_view name) {
    detail::StructurePart& tree = *open.value->payload_.structure;
    detail::FieldInsertPoint where;
    if (detail::FieldNode* node = detail::FindFieldNode(tree, name, &where)) {
        open.duplicate = true;
        return node->value;
    }
    const bool remember = !open.duplicate && open.matched + open.arrived.size() < kMaxShapeNames;
    if (remember && open.arrived.size() == open.arrived.capacity()) {
        open.arrived.reserve(std::max<std::size_t>(8, open.arrived.size() * 2));
    }
    detail::StringEntry* entry = arena_->Intern(name);
    detail::FieldNode* node = nullptr;
    try {
        node = arena_->New<detail::FieldNode>(entry, arena_);
    } catch (...) {
        arena_->ReleaseString(entry);
        throw;
    }
    detail::InsertFieldNode(tree, node, where);
    if (remember) {
        open.arrived.push_back(entry);
    } else {
        open.duplicate = true;  // too many names for a shape
    }
    return node->value;
}

// The held fields go into the tree one by one; they are distinct and the tree started empty.
void StructureFiller::StopFollowing(OpenStructure& open) noexcept {
    detail::StructurePart& tree = *open.value->payload_.structure;
    for (detail::FieldNode* node : open.held) {
        detail::FieldInsertPoint where;
        static_cast<void>(detail::FindFieldNode(tree, node->name->text, &where));
        detail::InsertFieldNode(tree, node, where);
    }
    open.held.clear();
    open.following = false;
}

void StructureFiller::Close() {
    OpenStructure& open = open_[openCount_ - 1];
    --openCount_;
    if (open.following && open.slot != kNoShape) {
        Shape& shape = shapes_[open.depth].shapes[open.slot];
        if (open.matched == shape.names.size()) {
            if (shape.sorted.empty()) {
                // First time this shape came round again: learn its order (may throw; the
                // fields are then linked one by one).
                try {
                    std::vector<std::uint32_t> sorted(shape.names.size());
                    std::iota(sorted.begin(), sorted.end(), 0u);
                    std::sort(sorted.begin(), sorted.end(), [&shape](std::uint32_t a, std::uint32_t b) {
                        return detail::CompareFieldNames(shape.names[a]->text, shape.names[b]->text) < 0;
                    });
                    ordered_.reserve(sorted.size());
                    shape.sorted = std::move(sorted);
                } catch (...) {
                    StopFollowing(open);
                    throw;
                }
            }
            LinkBalanced(open, shape);
            return;  // the same shape again
        }
    }
    if (open.following) {
        StopFollowing(open);
    }
    if (!open.duplicate) {
        RecordShape(open.depth, open);
    }
}

void StructureFiller::LinkBalanced(OpenStructure& open, const Shape& shape) noexcept {
    ordered_.clear();
    for (const std::uint32_t index : shape.sorted) {
        ordered_.push_back(open.held[index]);  // capacity reserved with the order
    }
    const std::size_t count = ordered_.size();
    std::size_t deepest = 0;  // the depth of the deepest level: floor(log2(count))
    while ((std::size_t{2} << deepest) <= count) {
        ++deepest;
    }
    const bool deepestFull = count == (std::size_t{2} << deepest) - 1;
    detail::StructurePart& tree = *open.value->payload_.structure;
    tree.root = LinkRange(ordered_, 0, count, 0, deepestFull ? count : deepest, nullptr);
    tree.count = count;
    tree.last = ordered_.back();
    open.held.clear();
    open.following = false;
}

void StructureFiller::RecordShape(std::size_t depth, const OpenStructure& open) {
    if (open.matched + open.arrived.size() == 0) {
        return;  // an empty record says nothing about the next one
    }
    std::vector<detail::StringEntry*> names;
    names.reserve(open.matched + open.arrived.size());
    if (open.matched != 0) {
        const std::vector<detail::StringEntry*>& previous = shapes_[depth].shapes[open.slot].names;
        names.assign(previous.begin(), previous.begin() + static_cast<std::ptrdiff_t>(open.matched));
    }
    names.insert(names.end(), open.arrived.begin(), open.arrived.end());
    if (shapes_.size() <= depth) {
        shapes_.resize(depth + 1);
    }
    // One shape per first name: a record replaces the shape it started like, else the
    // oldest slot in turn.
    ShapeSet& set = shapes_[depth];
    std::size_t slot = open.matched != 0 ? open.slot : kNoShape;
    for (std::size_t candidate = 0; slot == kNoShape && candidate < kShapesPerDepth; ++candidate) {
        const std::vector<detail::StringEntry*>& existing = set.shapes[candidate].names;
        if (!existing.empty() && existing.front() == names.front()) {
            slot = candidate;
        }
    }
    if (slot == kNoShape) {
        slot = set.next;
        set.next = (set.next + 1) % kShapesPerDepth;
    }
    for (detail::StringEntry* entry : names) {
        ++entry->count;  // before the old shape lets go of the names both share
    }
    Shape& shape = set.shapes[slot];
    ReleaseShape(shape);
    shape.names = std::move(names);
}

void StructureFiller::ReleaseShape(Shape& shape) noexcept {
    for (detail::StringEntry* entry : shape.names) {
        arena_->ReleaseString(entry);
    }
    shape.names.clear();
    shape.sorted.clear();
}

void StructureFiller::Finish() noexcept {
    while (openCount_ > 0) {
        OpenStructure& open = open_[--openCount_];
        if (open.following) {
            StopFollowing(open);
        }
    }
    for (ShapeSet& set : shapes_) {
        for (Shape& shape : set.shapes) {
            ReleaseShape(shape);
        }
    }
    shapes_.clear();
    arena_ = nullptr;
}

}  // namespace vclient
