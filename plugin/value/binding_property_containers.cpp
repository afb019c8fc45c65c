// The container side of BindingProperty: fields of Structures, elements of Collections
// and their iteration.
#include "value/binding_property.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "value/field_tree.h"
#include "util/fnv1a.h"
#include "value/property_arena.h"
#include "value/property_parts.h"

namespace vclient {

BindingProperty& BindingProperty::Field(std::string_view name) {
    if (kind_ != BindingPropertyType::Structure) {
        return FieldOfNewStructure(name, Fnv1a(name));
    }
    detail::FieldInsertPoint where;
    if (detail::FieldNode* node = detail::FindFieldNode(*payload_.structure, name, &where)) {
        return node->value;
    }
    return InsertField(arena_->Intern(name), where.parent, where.left);
}

BindingProperty& BindingProperty::Field(std::string_view name, std::uint32_t nameHash) {
    if (kind_ != BindingPropertyType::Structure) {
        return FieldOfNewStructure(name, nameHash);
    }
    detail::FieldInsertPoint where;
    if (detail::FieldNode* node = detail::FindFieldNode(*payload_.structure, name, &where)) {
        return node->value;
    }
    return InsertField(arena_->Intern(name, nameHash), where.parent, where.left);
}

const BindingProperty& BindingProperty::Find(std::string_view name) const noexcept {
    if (kind_ != BindingPropertyType::Structure) {
        return EmptyValue();
    }
    const detail::FieldNode* node = detail::FindFieldNode(*payload_.structure, name, nullptr);
    return node == nullptr ? EmptyValue() : node->value;
}

bool BindingProperty::FieldTreeHoldsRules() const noexcept {
    return kind_ != BindingPropertyType::Structure || detail::FieldTreeHoldsRules(*payload_.structure);
}

bool BindingProperty::HasField(std::string_view name) const noexcept {
    return kind_ == BindingPropertyType::Structure &&
           detail::FindFieldNode(*payload_.structure, name, nullptr) != nullptr;
}

BindingProperty& BindingProperty::EnsureStructure() {
    if (kind_ == BindingPropertyType::Structure) {
        return *this;
    }
    auto* part = EnsureArena().New<detail::StructurePart>();
    Discard();
    kind_ = BindingPropertyType::Structure;
    payload_.structure = part;
    return *this;
}

// The name is interned before the old payload goes, since it may be a text of that payload.
BindingProperty& BindingProperty::FieldOfNewStructure(std::string_view name, std::uint32_t nameHash) {
    detail::StringEntry* entry = EnsureArena().Intern(name, nameHash);
    try {
        EnsureStructure();
    } catch (...) {
        arena_->ReleaseString(entry);
        throw;
    }
    return InsertField(entry, nullptr, true);
}

BindingProperty& BindingProperty::InsertField(detail::StringEntry* name, detail::FieldNode* parent, bool left) {
    return InsertFieldNode(name, parent, left)->value;
}

// Links a new field named by the (already counted) entry at the given place.
detail::FieldNode* BindingProperty::InsertFieldNode(detail::StringEntry* name, detail::FieldNode* parent,
                                                    bool left) {
    detail::FieldNode* node = nullptr;
    try {
        node = arena_->New<detail::FieldNode>(name, arena_);
    } catch (...) {
        arena_->ReleaseString(name);
        throw;
    }
    detail::InsertFieldNode(*payload_.structure, node, {parent, left});
    return node;
}

BindingProperty& BindingProperty::Element(std::size_t index) {
    BindingProperty* element = TryElement(index);
    if (element == nullptr) {
        throw std::length_error("BindingProperty collection too long");
    }
    return *element;
}

BindingProperty* BindingProperty::TryElement(std::size_t index) {
    if (index >= kMaxCollectionSize) {
        return nullptr;
    }
    EnsureCollection();
    detail::CollectionPart& collection = *payload_.collection;
    if (index < collection.size) {
        return &collection.elements[index];
    }
    if (index >= collection.capacity) {
        GrowElements(index + 1);
    }
    while (collection.size <= index) {
        AppendUnchecked();
    }
    return &collection.elements[index];
}

BindingProperty& BindingProperty::Append() {
    EnsureCollection();
    return Element(payload_.collection->size);
}

BindingProperty* BindingProperty::TryAppendGrowing(std::size_t firstCapacity) {
    if (kind_ != BindingPropertyType::Collection) {
        return nullptr;
    }
    detail::CollectionPart& collection = *payload_.collection;
    if (collection.size >= kMaxCollectionSize) {
        return nullptr;
    }
    if (collection.capacity == 0 && !Reserve(firstCapacity)) {
        return nullptr;
    }
    return &AppendUnchecked();
}

const BindingProperty& BindingProperty::At(std::size_t index) const noexcept {
    if (kind_ != BindingPropertyType::Collection || index >= payload_.collection->size) {
        return EmptyValue();
    }
    return payload_.collection->elements[index];
}

bool BindingProperty::Reserve(std::size_t count) {
    if (count > kMaxCollectionSize) {
        return false;
    }
    if (kind_ != BindingPropertyType::Collection || count <= payload_.collection->capacity) {
        return true;
    }
    detail::CollectionPart& collection = *payload_.collection;
    auto* elements = static_cast<BindingProperty*>(::operator new(count * sizeof(BindingProperty)));
    if (collection.size != 0) {
        // Elements hold no pointers to themselves, so their bytes can simply move.
        std::memcpy(static_cast<void*>(elements), collection.elements, collection.size * sizeof(BindingProperty));
    }
    ::operator delete(collection.elements);
    collection.elements = elements;
    collection.capacity = static_cast<std::uint32_t>(count);
    return true;
}

BindingProperty& BindingProperty::EnsureCollection() {
    if (kind_ == BindingPropertyType::Collection) {
        return *this;
    }
    PropertyArena& arena = EnsureArena();
    auto* part = arena.New<detail::CollectionPart>();
    part->link.LinkAfter(arena.Collections());
    Discard();
    kind_ = BindingPropertyType::Collection;
    payload_.collection = part;
    return *this;
}

// Appends one Empty element to a Collection, growing the buffer when it is full.
BindingProperty& BindingProperty::AppendUnchecked() {
    detail::CollectionPart& collection = *payload_.collection;
    if (collection.size == collection.capacity) {
        GrowElements(std::size_t{collection.size} + 1);
    }
    auto* element = ::new (&collection.elements[collection.size]) BindingProperty(arena_, ChildTag{});
    ++collection.size;
    return *element;
}

void BindingProperty::GrowElements(std::size_t minimum) {
    const detail::CollectionPart& collection = *payload_.collection;
    const std::size_t grown = std::size_t{collection.capacity} + collection.capacity / 2;
    const std::size_t capacity = std::min(std::max(minimum, grown), kMaxCollectionSize);
    if (capacity < minimum || !Reserve(capacity)) {
        throw std::length_error("BindingProperty collection too long");
    }
}

BindingFieldRange<false> BindingProperty::Fields() noexcept {
    if (kind_ != BindingPropertyType::Structure) {
        return BindingFieldRange<false>(nullptr);
    }
    return BindingFieldRange<false>(detail::FirstFieldNode(*payload_.structure));
}

BindingFieldRange<true> BindingProperty::Fields() const noexcept {
    if (kind_ != BindingPropertyType::Structure) {
        return BindingFieldRange<true>(nullptr);
    }
    return BindingFieldRange<true>(detail::FirstFieldNode(*payload_.structure));
}

std::span<BindingProperty> BindingProperty::Elements() noexcept {
    if (kind_ != BindingPropertyType::Collection) {
        return {};
    }
    return {payload_.collection->elements, payload_.collection->size};
}

std::span<const BindingProperty> BindingProperty::Elements() const noexcept {
    if (kind_ != BindingPropertyType::Collection) {
        return {};
    }
    return {payload_.collection->elements, payload_.collection->size};
}

}  // namespace vclient
