// StructureFiller: fills the Structures of one tree for a reader that meets their fields
// one name at a time (a JSON, MessagePack or YAML document), and makes arrays of records
// cheap.
//
// Records at the same nesting depth mostly repeat the names of the one before, in the
// same order. The filler keeps, per depth, the names of the last few records of distinct
// first names (their "shapes", holding a reference to each name's entry) and the order
// that sorts them. A new, empty Structure follows the shape of the last record of its
// depth from the start; a first name that does not fit picks the shape it begins. While
// the Structure meets exactly the shape's names, in that order, each field is allocated but
// not yet linked: no name is hashed, looked up or compared with the tree. When the
// Structure closes after the last of them, its tree is built at once, balanced, from the
// known order. Any other name (or a Structure that was not empty) falls back to the plain
// path of BindingProperty::Field: the fields held so far are linked as usual and the rest
// go in one by one, with the same results as Field, duplicates included. The first time a
// shape comes round again, the filler works out once where each of its names sits in the
// balanced tree (a large shape reads its name order off the tree of the record that made
// it); every later record of that shape is linked by that plan, with no comparisons at all.
//
// A filler belongs to one tree: Open only Structures of that tree, and call Finish (or
// destroy the filler) before the tree's root is cleared, moved or destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "value/binding_property.h"
#include "value/property_arena.h"
#include "value/string_table.h"

namespace vclient {

class PropertyArena;

namespace detail {
struct FieldNode;
struct StringEntry;
}  // namespace detail

class StructureFiller {
public:
    // Records with more names than this are filled the plain way.
    static constexpr std::size_t kMaxShapeNames = 256;
    // Shapes kept per depth (arrays of different records alternate at one depth).
    static constexpr std::size_t kShapesPerDepth = 4;
    // Shapes of at least this many names take their name order from the tree of the record
    // that made them; smaller ones are sorted when they first repeat.
    static constexpr std::size_t kOrderFromTree = 16;
    // Depths the filler makes room for at once (documents are seldom deeper).
    static constexpr std::size_t kDepthsAtFirst = 8;

    StructureFiller() = default;
    ~StructureFiller() { Finish(); }
    StructureFiller(const StructureFiller&) = delete;
    StructureFiller& operator=(const StructureFiller&) = delete;

    // Makes `value` a Structure (clearing another kind, keeping an existing Structure) and
    // makes it the innermost open one; `depth` is its nesting depth in the document (taken
    // as at least one more than the enclosing open Structure's).
    void Open(BindingProperty& value, std::size_t depth);
    // The field `name` of the innermost open Structure, as Field(name) would give it.
    BindingProperty& Field(std::string_view name) {
        OpenStructure& open = *current_;
        // While following a shape, the next name of the shape is all there is to check.
        if (open.matched < open.shapeSize && detail::SameBytes(open.shapeNames[open.matched]->text, name)) {
            return Hold(open);
        }
        return FieldOffShape(open, name);
    }
    // Closes the innermost open Structure.
    void Close();
    // The name of the field Field returned last: a hint for a reader about the value it is
    // filling. Not counted; only compare it, since it may be gone with its field.
    [[nodiscard]] const detail::StringEntry* LastName() const noexcept { return lastName_; }
    // Whether the field Field returned last was new to its Structure (false: the name came
    // before in the same Structure and Field returned its value).
    [[nodiscard]] bool LastFieldIsNew() const noexcept { return lastIsNew_; }
    // Links every field held so far into its Structure, so that the tree can be read
    // while it is being filled (a YAML alias resolving a path); the open Structures go on
    // the plain way.
    void Settle() noexcept;
    // Links every field still held, closes everything and gives back the names of the
    // shapes. Safe to call more than once.
    void Finish() noexcept;

private:
    // Where the field of one arrival index goes in the balanced tree: the arrival indices
    // of its left and right children and its parent (the shape's size for none), and its
    // colour.
    struct LinkStep {
        std::uint16_t left;
        std::uint16_t right;
        std::uint16_t parent;
        bool red;
    };
    struct Shape {
        std::vector<detail::StringEntry*> names;  // in arrival order, each counted once for the shape
        std::vector<LinkStep> plan;               // by arrival index; empty until the shape repeats
        // Arrival indices in name order, read off the tree of the record that made a large
        // shape (so that its plan needs no sorting); empty when not known.
        std::vector<std::uint16_t> order;
        std::uint16_t root = 0;                   // arrival index of the root
        std::uint16_t last = 0;                   // arrival index of the greatest name
    };
    static constexpr std::size_t kNoShape = kShapesPerDepth;
    struct ShapeSet {
        Shape shapes[kShapesPerDepth];
        std::size_t next = 0;        // the slot a shape of a new first name replaces
        std::size_t last = kNoShape;  // the slot of the last record of this depth: the next one's guess
    };
    struct OpenStructure {
        BindingProperty* value = nullptr;
        std::size_t depth = 0;
        bool following = false;   // every name so far matched the shape of `depth`
        bool duplicate = false;   // a name came twice: the record makes no shape
        std::size_t matched = 0;  // names matched while following
        // The shape followed: guessed when the record opens (the shape of the last record of
        // its depth), picked again by the first name when the guess was wrong.
        std::size_t slot = kNoShape;
        // The shape's names while following, and their count (0 when not following, so
        // that Field's check fails at once). The shape's vector is not replaced while a
        // record of its depth is open, and moving the shapes keeps the buffer.
        detail::StringEntry* const* shapeNames = nullptr;
        std::size_t shapeSize = 0;
        // Allocated, not yet linked fields by arrival index (following only: the first
        // `matched` slots); the slot at the shape's size is null and stands for "no node"
        // in the link plan.
        std::vector<detail::FieldNode*> held;
        std::vector<detail::StringEntry*> arrived;  // names in arrival order (plain path)
    };

    // The next field of the followed shape, allocated and held.
    BindingProperty& Hold(OpenStructure& open) {
        detail::StringEntry* entry = open.shapeNames[open.matched];
        auto* node = arena_->New<detail::FieldNode>(entry, arena_);
        ++entry->count;
        open.held[open.matched] = node;
        ++open.matched;
        lastName_ = entry;
        lastIsNew_ = true;  // shape names are distinct: none came before in this record
        return node->value;
    }
    BindingProperty& FieldOffShape(OpenStructure& open, std::string_view name);
    BindingProperty& PlainField(OpenStructure& open, std::string_view name);
    void StopFollowing(OpenStructure& open) noexcept;
    bool PickShape(OpenStructure& open, std::string_view firstName);
    // Makes the record follow the shape in `slot` of its depth's `set` (a shape with names).
    void Follow(OpenStructure& open, ShapeSet& set, std::size_t slot) {
        const std::vector<detail::StringEntry*>& names = set.shapes[slot].names;
        if (open.held.size() <= names.size()) {
            GrowHeld(open, names.size() + 1);  // never shrunk: records of other shapes come back
        }
        open.held[names.size()] = nullptr;  // "no node" in the link plan
        open.slot = slot;
        open.shapeNames = names.data();
        open.shapeSize = names.size();
        set.last = slot;
    }
    static void GrowHeld(OpenStructure& open, std::size_t size);
    static void LearnPlan(Shape& shape);
    [[nodiscard]] static std::vector<std::uint16_t> SortedByName(const std::vector<detail::StringEntry*>& names);
    [[nodiscard]] static std::vector<std::uint16_t> NameOrder(const detail::StructurePart& tree,
                                                              const std::vector<detail::StringEntry*>& names);
    void RecordShape(std::size_t depth, const OpenStructure& open);
    void ReleaseShape(Shape& shape) noexcept;
    static void LinkBalanced(OpenStructure& open, const Shape& shape) noexcept;

    PropertyArena* arena_ = nullptr;  // the tree's, known from the first Open
    std::vector<ShapeSet> shapes_;    // by depth
    std::vector<OpenStructure> open_;  // innermost last; entries past openCount_ are kept for reuse
    std::size_t openCount_ = 0;
    OpenStructure* current_ = nullptr;  // open_[openCount_ - 1]
    const detail::StringEntry* lastName_ = nullptr;
    bool lastIsNew_ = false;
};

}  // namespace vclient
