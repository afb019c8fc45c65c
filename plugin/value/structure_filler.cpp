#include "value/structure_filler.h"

#include <algorithm>
#include <string>

#include "value/field_tree.h"
#include "value/property_arena.h"
#include "value/property_parts.h"

namespace vclient {

void StructureFiller::Open(BindingProperty& value, std::size_t depth) {
    if (current_ != nullptr && depth <= current_->depth) {
        depth = current_->depth + 1;  // a shape in use is never replaced
    }
    // Readers mostly open a new, Empty value of the tree: its Structure needs no checks.
    bool empty = true;
    if (value.kind_ == BindingPropertyType::Empty && value.arena_ != nullptr) {
        value.payload_.structure = value.arena_->New<detail::StructurePart>();
        value.kind_ = BindingPropertyType::Structure;
    } else {
        value.EnsureStructure();
        empty = value.payload_.structure->count == 0;
    }
    arena_ = value.arena_;
    if (openCount_ == open_.size()) {
        if (open_.empty()) {
            open_.reserve(kDepthsAtFirst);
        }
        open_.emplace_back();
    }
    OpenStructure& open = open_[openCount_];
    open.value = &value;
    open.depth = depth;
    open.duplicate = false;
    open.matched = 0;
    open.arrived.clear();
    open.slot = kNoShape;
    open.shapeNames = nullptr;
    open.shapeSize = 0;
    open.following = empty && depth < shapes_.size();
    if (open.following) {
        // Records of one depth mostly come in runs of one shape: follow the last one's at
        // once, so that the first name costs no more than the others when the guess holds.
        ShapeSet& set = shapes_[depth];
        if (set.last != kNoShape && !set.shapes[set.last].names.empty()) {
            Follow(open, set, set.last);
        }
    }
    ++openCount_;
    current_ = &open;
}

// Field's way when the name is not simply the next one of the followed shape: the first
// name of a record (which picks its shape), or a record that leaves its shape.
BindingProperty& StructureFiller::FieldOffShape(OpenStructure& open, std::string_view name) {
    if (open.following) {
        if (open.matched == 0 && PickShape(open, name)) {
            return Hold(open);
        }
        StopFollowing(open);
    }
    return PlainField(open, name);
}

// Picks the shape of this depth that starts with `firstName`, if any.
bool StructureFiller::PickShape(OpenStructure& open, std::string_view firstName) {
    ShapeSet& set = shapes_[open.depth];
    for (std::size_t slot = 0; slot < kShapesPerDepth; ++slot) {
        const std::vector<detail::StringEntry*>& names = set.shapes[slot].names;
        if (!names.empty() && detail::SameBytes(names.front()->text, firstName)) {
            Follow(open, set, slot);
            return true;
        }
    }
    return false;
}

void StructureFiller::GrowHeld(OpenStructure& open, std::size_t size) {
    open.held.resize(size);
}

BindingProperty& StructureFiller::PlainField(OpenStructure& open, std::string_view name) {
    detail::StructurePart& tree = *open.value->payload_.structure;
    detail::FieldInsertPoint where;
    if (detail::FieldNode* node = detail::FindFieldNode(tree, name, &where)) {
        open.duplicate = true;
        lastName_ = node->name;
        lastIsNew_ = false;
        return node->value;
    }
    const bool remember = !open.duplicate && open.matched + open.arrived.size() < kMaxShapeNames;
    if (remember && open.arrived.size() == open.arrived.capacity()) {
        open.arrived.reserve(std::max<std::size_t>(8, open.arrived.size() * 2));
    }
    detail::FieldNode* node = open.value->InsertFieldNode(arena_->Intern(name), where.parent, where.left);
    if (remember) {
        open.arrived.push_back(node->name);
    } else {
        open.duplicate = true;  // too many names for a shape
    }
    lastName_ = node->name;
    lastIsNew_ = true;
    return node->value;
}

void StructureFiller::Settle() noexcept {
    for (std::size_t index = 0; index < openCount_; ++index) {
        if (open_[index].following) {
            StopFollowing(open_[index]);
        }
    }
}

// The held fields go into the tree one by one; they are distinct and the tree started empty.
void StructureFiller::StopFollowing(OpenStructure& open) noexcept {
    detail::StructurePart& tree = *open.value->payload_.structure;
    if (open.slot != kNoShape) {
        for (std::size_t index = 0; index < open.matched; ++index) {
            detail::FieldNode* node = open.held[index];
            detail::FieldInsertPoint where;
            static_cast<void>(detail::FindFieldNode(tree, node->name->text, &where));
            detail::InsertFieldNode(tree, node, where);
        }
    }
    open.following = false;
    open.shapeSize = 0;
}

void StructureFiller::Close() {
    OpenStructure& open = *current_;
    --openCount_;
    current_ = openCount_ == 0 ? nullptr : &open_[openCount_ - 1];
    if (open.following && open.slot != kNoShape) {
        Shape& shape = shapes_[open.depth].shapes[open.slot];
        if (open.matched == shape.names.size()) {
            if (shape.plan.empty()) {
                // First time this shape came round again: work out its plan (may throw; the
                // fields are then linked one by one).
                try {
                    LearnPlan(shape);
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

// The balanced tree of the shape's names in name order: the middle name at the root, the
// halves below it, and so on. Every level but the deepest is full, so colouring the deepest
// level red (when it is not full itself) and every other node black keeps the red-black
// rules: each path to a leaf has the same number of black nodes.
void StructureFiller::LearnPlan(Shape& shape) {
    const auto count = static_cast<std::uint16_t>(shape.names.size());
    std::vector<std::uint16_t> sorted = std::move(shape.order);
    if (sorted.size() != count) {
        sorted = SortedByName(shape.names);
    }
    std::size_t deepest = 0;  // floor(log2(count))
    while ((std::size_t{2} << deepest) <= count) {
        ++deepest;
    }
    const bool deepestFull = count == (std::size_t{2} << deepest) - 1;
    const std::size_t redDepth = deepestFull ? count : deepest;
    std::vector<LinkStep> plan(count);
    // Places sorted[lo, hi) under `parent` at `depth`; the arrival index of its root, or
    // `count` for none.
    const auto place = [&](const auto& self, std::size_t lo, std::size_t hi, std::size_t depth,
                           std::uint16_t parent) -> std::uint16_t {
        if (lo >= hi) {
            return count;
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        const std::uint16_t index = sorted[mid];
        plan[index].parent = parent;
        plan[index].red = depth == redDepth;
        plan[index].left = self(self, lo, mid, depth + 1, index);
        plan[index].right = self(self, mid + 1, hi, depth + 1, index);
        return index;
    };
    shape.root = place(place, 0, count, 0, count);
    shape.last = sorted.back();
    shape.plan = std::move(plan);
}

// The arrival indices of `names` in name order. Sorted by the first eight bytes read
// big-endian (zero-padded) first: two such keys order as their names do, so whole names
// are compared only on equal keys.
std::vector<std::uint16_t> StructureFiller::SortedByName(const std::vector<detail::StringEntry*>& names) {
    struct SortKey {
        std::uint64_t prefix;
        std::uint16_t index;
    };
    const std::size_t count = names.size();
    std::vector<SortKey> keys(count);
    for (std::size_t index = 0; index < count; ++index) {
        const std::string& text = names[index]->text;
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            prefix = (prefix << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
        }
        keys[index] = {prefix, static_cast<std::uint16_t>(index)};
    }
    std::sort(keys.begin(), keys.end(), [&names](const SortKey& a, const SortKey& b) {
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix;
        }
        return detail::CompareFieldNames(names[a.index]->text, names[b.index]->text) < 0;
    });
    std::vector<std::uint16_t> sorted(count);
    for (std::size_t position = 0; position < count; ++position) {
        sorted[position] = keys[position].index;
    }
    return sorted;
}

// The arrival indices of `names` in name order, read off a tree that holds all of them
// (and perhaps others, which are skipped) without comparing a single name; empty when the
// tree lacks one of them.
std::vector<std::uint16_t> StructureFiller::NameOrder(const detail::StructurePart& tree,
                                                      const std::vector<detail::StringEntry*>& names) {
    // Arrival index by entry, in an open-addressed table at most half full.
    constexpr std::size_t kMostSlots = 2 * kMaxShapeNames;
    std::size_t slots = 32;
    while (slots < 2 * names.size()) {
        slots *= 2;
    }
    const detail::StringEntry* entries[kMostSlots];
    std::uint16_t indices[kMostSlots];
    std::fill_n(entries, slots, nullptr);
    const auto home = [slots](const detail::StringEntry* entry) {
        std::size_t bits = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(entry) >> 4);
        bits ^= bits >> 9;
        return bits & (slots - 1);
    };
    for (std::size_t index = 0; index < names.size(); ++index) {
        std::size_t slot = home(names[index]);
        while (entries[slot] != nullptr) {
            slot = (slot + 1) & (slots - 1);
        }
        entries[slot] = names[index];
        indices[slot] = static_cast<std::uint16_t>(index);
    }
    std::vector<std::uint16_t> order;
    order.reserve(names.size());
    for (detail::FieldNode* node = detail::FirstFieldNode(tree); node != nullptr; node = detail::NextFieldNode(node)) {
        std::size_t slot = home(node->name);
        while (entries[slot] != nullptr && entries[slot] != node->name) {
            slot = (slot + 1) & (slots - 1);
        }
        if (entries[slot] != nullptr) {
            order.push_back(indices[slot]);
        }
    }
    if (order.size() != names.size()) {
        order.clear();
    }
    return order;
}

void StructureFiller::LinkBalanced(OpenStructure& open, const Shape& shape) noexcept {
    detail::FieldNode* const* held = open.held.data();  // held[count] is null
    const LinkStep* steps = shape.plan.data();
    const std::size_t count = shape.plan.size();
    for (std::size_t index = 0; index < count; ++index) {
        detail::FieldNode* node = held[index];
        node->left = held[steps[index].left];
        node->right = held[steps[index].right];
        node->SetParentAndColour(held[steps[index].parent], steps[index].red);
    }
    detail::StructurePart& tree = *open.value->payload_.structure;
    tree.root = held[shape.root];
    tree.count = count;
    tree.last = held[shape.last];
    open.following = false;
    open.shapeSize = 0;
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
        shapes_.reserve(std::max(depth + 1, kDepthsAtFirst));
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
    std::vector<std::uint16_t> order;
    if (names.size() >= kOrderFromTree) {
        order = NameOrder(*open.value->payload_.structure, names);
    }
    for (detail::StringEntry* entry : names) {
        ++entry->count;  // before the old shape lets go of the names both share
    }
    Shape& shape = set.shapes[slot];
    ReleaseShape(shape);
    shape.names = std::move(names);
    shape.order = std::move(order);
    set.last = slot;
}

void StructureFiller::ReleaseShape(Shape& shape) noexcept {
    for (detail::StringEntry* entry : shape.names) {
        arena_->ReleaseString(entry);
    }
    shape.names.clear();
    shape.plan.clear();
    shape.order.clear();
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
    current_ = nullptr;
    lastName_ = nullptr;
}

}  // namespace vclient
