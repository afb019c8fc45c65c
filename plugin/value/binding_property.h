// BindingProperty: the one dynamic value of the system. Every REST body, event payload,
// function argument and native record on its way to or from the wire is a tree of these.
//
// Kinds: Empty, Bool, Signed, Unsigned, Float, String, Blob, Enum, Collection, Structure
// (see binding_property_type.h).
//
// Memory. A root value (default-constructed, or any value that lives outside a tree)
// creates a PropertyArena the first time it needs a heap part or an interned text, owns
// it and destroys it with itself; clearing a root keeps its arena for reuse. Values inside
// collections and structures share their root's arena. Texts are interned once per arena
// and shared by reference count; small heap parts come from the arena's slab pools.
//
// Construction and copying:
//   BindingProperty value;             // Empty, no arena yet
//   value.Field("id").SetSigned(7);    // now a Structure {"id": 7}
//   BindingProperty copy = value;      // deep copy into copy's own arena
//   BindingProperty taken = std::move(value);
//     Moving between two roots swaps them whole and clears the source. Moving from or to
//     a value inside a tree copies, then clears the source. A moved-from value is Empty.
//
// Lookups. Field(name) and Element(index) create what is missing (and replace a value of
// another kind); Find(name) and At(index) never change anything and return the static
// Empty value when there is nothing. Typed reads (GetBool, GetFloat, ...) return the
// caller's default when the kind does not match; they never convert between kinds.
//
// Fields iterate in the unsigned byte order of their names (shorter first at a common
// prefix), elements in index order:
//   for (const auto& [name, field] : value.Fields()) { ... }
//   for (const BindingProperty& element : value.Elements()) { ... }
//
// Limits and failures. A collection holds at most kMaxCollectionSize elements: Reserve
// and TryElement report the limit as a value; Element and Append, meant for indices the
// program controls, throw std::length_error past it. Code that takes counts or indices
// from outside the process uses Reserve/TryElement. Running out of memory throws
// std::bad_alloc, as any standard container does. Clearing, copying and destroying never
// recurse, so trees of any depth are safe.
//
// Threading: a tree is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "value/binding_property_type.h"
#include "value/heap_link.h"
#include "value/string_table.h"

namespace vclient {

class PropertyArena;
class BindingProperty;

using BindingBlob = std::vector<std::uint8_t>;

// An enumerator as a value: its number and the type key of its enumeration.
struct BindingEnumPair {
    std::int32_t value = 0;
    std::int32_t typeKey = 0;
    friend bool operator==(const BindingEnumPair&, const BindingEnumPair&) = default;
};

namespace detail {
struct FieldNode;
struct StructurePart;
struct CollectionPart;
struct BlobPart;
}  // namespace detail

// Iteration over a Structure's fields as (name, value) pairs, in name order.
template <bool Const>
class BindingFieldIterator {
public:
    using Value = std::conditional_t<Const, const BindingProperty, BindingProperty>;
    struct Entry {
        const std::string& name;
        Value& value;
    };

    BindingFieldIterator() = default;
    explicit BindingFieldIterator(detail::FieldNode* node) : node_(node) {}

    [[nodiscard]] Entry operator*() const;
    BindingFieldIterator& operator++();
    friend bool operator==(const BindingFieldIterator&, const BindingFieldIterator&) = default;

private:
    detail::FieldNode* node_ = nullptr;
};

template <bool Const>
class BindingFieldRange {
public:
    explicit BindingFieldRange(detail::FieldNode* first) : first_(first) {}
    [[nodiscard]] BindingFieldIterator<Const> begin() const { return BindingFieldIterator<Const>(first_); }
    [[nodiscard]] BindingFieldIterator<Const> end() const { return {}; }

private:
    detail::FieldNode* first_;
};

class BindingProperty {
public:
    static constexpr std::size_t kMaxCollectionSize = 0xFFFFFFF;  // 268,435,455

    constexpr BindingProperty() noexcept {}  // user-provided so that `const BindingProperty v;` works
    BindingProperty(const BindingProperty& other);
    BindingProperty(BindingProperty&& other) noexcept;
    BindingProperty& operator=(const BindingProperty& other);
    BindingProperty& operator=(BindingProperty&& other);
    ~BindingProperty();

    [[nodiscard]] BindingPropertyType Kind() const noexcept { return kind_; }
    [[nodiscard]] bool IsEmpty() const noexcept { return kind_ == BindingPropertyType::Empty; }
    [[nodiscard]] bool OwnsArena() const noexcept { return ownsArena_ != 0; }
    // The arena of this value's tree; null for a root that has needed none yet.
    [[nodiscard]] const PropertyArena* Arena() const noexcept { return arena_; }

    // Setters: each replaces whatever the value held.
    void SetBool(bool value) noexcept {
        Clear();
        kind_ = BindingPropertyType::Bool;
        payload_.boolean = value;
    }
    void SetSigned(std::int64_t value) noexcept {
        Clear();
        kind_ = BindingPropertyType::Signed;
        payload_.signedValue = value;
    }
    void SetUnsigned(std::uint64_t value) noexcept {
        Clear();
        kind_ = BindingPropertyType::Unsigned;
        payload_.unsignedValue = value;
    }
    void SetFloat(double value) noexcept {
        Clear();
        kind_ = BindingPropertyType::Float;
        payload_.floatValue = value;
    }
    // An empty or null text refers to the process-wide empty entry and counts nothing.
    void SetString(std::string_view text);
    void SetString(const char* text);
    void SetString(const std::string& text);
    // A text new to the arena becomes the shared entry without a copy.
    void SetString(std::string&& text);
    void SetBlob(const BindingBlob& bytes);
    // Takes over the vector's buffer; the source is left empty.
    void SetBlob(BindingBlob&& bytes);
    void SetEnum(BindingEnumPair pair);

    // Typed reads: the payload when the kind matches, else the default.
    [[nodiscard]] bool GetBool(bool fallback = false) const noexcept {
        return kind_ == BindingPropertyType::Bool ? payload_.boolean : fallback;
    }
    [[nodiscard]] std::int64_t GetSigned(std::int64_t fallback = 0) const noexcept {
        return kind_ == BindingPropertyType::Signed ? payload_.signedValue : fallback;
    }
    [[nodiscard]] std::uint64_t GetUnsigned(std::uint64_t fallback = 0) const noexcept {
        return kind_ == BindingPropertyType::Unsigned ? payload_.unsignedValue : fallback;
    }
    [[nodiscard]] double GetFloat(double fallback = 0.0) const noexcept {
        return kind_ == BindingPropertyType::Float ? payload_.floatValue : fallback;
    }
    // The text of a String, else the static empty string.
    [[nodiscard]] const std::string& GetString() const noexcept;
    [[nodiscard]] const BindingBlob& GetBlob() const noexcept;
    [[nodiscard]] const BindingBlob& GetBlob(const BindingBlob& fallback) const noexcept;
    [[nodiscard]] BindingEnumPair GetEnum(BindingEnumPair fallback = {}) const noexcept;

    // Structures.
    // The field `name`, inserted Empty when missing; a value of another kind is first
    // cleared and made an empty Structure. The name is interned in the arena.
    BindingProperty& Field(std::string_view name);
    // As Field(name) with the name's FNV-1a hash already known (it must equal Fnv1a(name)).
    BindingProperty& Field(std::string_view name, std::uint32_t nameHash);
    [[nodiscard]] const BindingProperty& Find(std::string_view name) const noexcept;
    [[nodiscard]] bool HasField(std::string_view name) const noexcept;
    // Makes the value an empty Structure unless it already is a Structure.
    BindingProperty& EnsureStructure();
    // For tests and assertions: whether a Structure's field tree keeps its ordering and
    // balancing rules (always true for other kinds). Recursive; for modest trees.
    [[nodiscard]] bool FieldTreeHoldsRules() const noexcept;

    // Collections.
    // The element `index`, appending Empty elements up to it; a value of another kind is
    // first cleared and made an empty Collection. Throws std::length_error when `index`
    // is not below kMaxCollectionSize.
    BindingProperty& Element(std::size_t index);
    // As Element, but null (and nothing changed) when `index` is not below the limit.
    [[nodiscard]] BindingProperty* TryElement(std::size_t index);
    // Element(Size()) of a Collection: appends one Empty element.
    BindingProperty& Append();
    // For readers filling arrays one element at a time: on a Collection, appends one
    // Empty element and returns it, an empty buffer first getting room for
    // `firstCapacity` elements; null (nothing changed) on another kind or at the limit.
    [[nodiscard]] BindingProperty* TryAppend(std::size_t firstCapacity);  // the common case inline
    [[nodiscard]] const BindingProperty& At(std::size_t index) const noexcept;
    // On a Collection, grows the capacity to at least `count`. Returns false, changing
    // nothing, when `count` is above kMaxCollectionSize; other kinds are left alone.
    [[nodiscard]] bool Reserve(std::size_t count);
    // Makes the value an empty Collection unless it already is a Collection.
    BindingProperty& EnsureCollection();

    // Empty 0, String its length in bytes, Blob its byte count, Collection its element
    // count, Structure its field count, every other kind 1.
    [[nodiscard]] std::size_t Size() const noexcept;
    // Releases the payload and makes the value Empty; a root keeps its arena.
    void Clear() noexcept {
        if (kind_ != BindingPropertyType::Empty) {
            ReleasePayload(true);
        }
    }

    [[nodiscard]] BindingFieldRange<false> Fields() noexcept;
    [[nodiscard]] BindingFieldRange<true> Fields() const noexcept;
    [[nodiscard]] std::span<BindingProperty> Elements() noexcept;
    [[nodiscard]] std::span<const BindingProperty> Elements() const noexcept;

    // The process-wide empties that lookups and reads fall back to.
    [[nodiscard]] static const BindingProperty& EmptyValue() noexcept;
    [[nodiscard]] static const std::string& EmptyString() noexcept;
    [[nodiscard]] static const BindingBlob& EmptyBlob() noexcept;
    [[nodiscard]] static const BindingEnumPair& EmptyEnum() noexcept;

private:
    friend struct detail::FieldNode;
    friend class StructureFiller;
    struct ChildTag {};
    struct CopyContext;

    // A value inside a container: the container's arena, not owned.
    BindingProperty(PropertyArena* arena, ChildTag) noexcept : arena_(arena), ownsArena_(0) {}

    PropertyArena& EnsureArena() { return arena_ != nullptr ? *arena_ : CreateArena(); }
    PropertyArena& CreateArena();
    // Releases the payload before a replacement that is already allocated in the arena,
    // so the arena must not be reset wholesale.
    void Discard() noexcept {
        if (kind_ != BindingPropertyType::Empty) {
            ReleasePayload(false);
        }
    }
    void ReleasePayload(bool mayResetArena) noexcept;
    static void DropTrackedBuffers(PropertyArena& arena) noexcept;
    void ReplaceWithBlob(BindingBlob&& bytes);
    static void DestroyContainers(PropertyArena& arena, BindingPropertyType kind, void* part) noexcept;
    static void DetachChild(BindingProperty& child, detail::CollectionPart*& collections,
                            detail::StructurePart*& structures) noexcept;
    void SetStringEntry(detail::StringEntry* entry) noexcept;
    BindingProperty& FieldOfNewStructure(std::string_view name, std::uint32_t nameHash);
    BindingProperty& InsertField(detail::StringEntry* name, detail::FieldNode* parent, bool left);
    detail::FieldNode* InsertFieldNode(detail::StringEntry* name, detail::FieldNode* parent, bool left);
    BindingProperty& AppendUnchecked();
    // The rest of TryAppend: another kind, the limit, or a buffer to make or grow.
    BindingProperty* TryAppendGrowing(std::size_t firstCapacity);
    void GrowElements(std::size_t minimum);

    void CopyFrom(const BindingProperty& source);
    bool CopyTree(const BindingProperty& source, const BindingProperty* watch);
    bool CopyNode(const BindingProperty& source, const BindingProperty* watch, CopyContext& context);
    void MirrorFields(const detail::StructurePart& from, const detail::FieldNode* node, detail::FieldNode* parent,
                      bool left, const BindingProperty* watch, bool& seen, CopyContext& context);
    void SwapWith(BindingProperty& other) noexcept;

    union Payload {
        std::uint64_t bits = 0;
        bool boolean;
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue;
        detail::StringEntry* string;
        detail::BlobPart* blob;
        BindingEnumPair* enumPair;
        detail::CollectionPart* collection;
        detail::StructurePart* structure;
    };

    Payload payload_;
    PropertyArena* arena_ = nullptr;
    BindingPropertyType kind_ = BindingPropertyType::Empty;
    std::uint8_t ownsArena_ = 1;
};

namespace detail {

// A growable vector of elements; the element buffer comes from the general heap and
// every element carries the collection's arena, not owned. Allocated from the arena's
// slab pools; `pending` chains parts waiting to be released while a subtree is cleared.
struct CollectionPart {
    HeapLink link;  // first member: a link converts back to its part
    BindingProperty* elements = nullptr;
    std::uint32_t size = 0;
    std::uint32_t capacity = 0;
    CollectionPart* pending = nullptr;
};

// A node of a Structure's field tree (a red-black tree ordered by name).
struct FieldNode {
    FieldNode(StringEntry* fieldName, PropertyArena* arena) noexcept
        : name(fieldName), value(arena, BindingProperty::ChildTag{}) {}

    static constexpr std::uintptr_t kRedBit = 1;

    [[nodiscard]] FieldNode* Parent() const noexcept { return reinterpret_cast<FieldNode*>(parentLink & ~kRedBit); }
    [[nodiscard]] bool Red() const noexcept { return (parentLink & kRedBit) != 0; }
    void SetParent(FieldNode* parent) noexcept {
        parentLink = reinterpret_cast<std::uintptr_t>(parent) | (parentLink & kRedBit);
    }
    void SetRed(bool red) noexcept { parentLink = (parentLink & ~kRedBit) | (red ? kRedBit : 0); }
    void SetParentAndColour(FieldNode* parent, bool red) noexcept {
        parentLink = reinterpret_cast<std::uintptr_t>(parent) | (red ? kRedBit : 0);
    }

    FieldNode* left = nullptr;
    FieldNode* right = nullptr;
    StringEntry* name;
    BindingProperty value;
    // The parent link with the node's colour in its lowest bit (set: red). Nodes are at
    // least 4-byte aligned, so the bit is free; a node takes 56 bytes instead of 64 on
    // 64-bit builds.
    std::uintptr_t parentLink = kRedBit;
};

// The in-order successor of `node`, or null after the last one.
[[nodiscard]] inline FieldNode* NextFieldNode(FieldNode* node) noexcept {
    if (node->right != nullptr) {
        node = node->right;
        while (node->left != nullptr) {
            node = node->left;
        }
        return node;
    }
    FieldNode* parent = node->Parent();
    while (parent != nullptr && node == parent->right) {
        node = parent;
        parent = parent->Parent();
    }
    return parent;
}

}  // namespace detail

inline BindingProperty* BindingProperty::TryAppend(std::size_t firstCapacity) {
    if (kind_ == BindingPropertyType::Collection) {
        detail::CollectionPart& collection = *payload_.collection;
        if (collection.size < collection.capacity) {
            return ::new (&collection.elements[collection.size++]) BindingProperty(arena_, ChildTag{});
        }
    }
    return TryAppendGrowing(firstCapacity);
}

template <bool Const>
typename BindingFieldIterator<Const>::Entry BindingFieldIterator<Const>::operator*() const {
    return Entry{node_->name->text, node_->value};
}

template <bool Const>
BindingFieldIterator<Const>& BindingFieldIterator<Const>::operator++() {
    node_ = detail::NextFieldNode(node_);
    return *this;
}

}  // namespace vclient
