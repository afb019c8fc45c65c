// Whole-tree operations of BindingProperty: releasing a payload and deep copying. Both
// walk with explicit work lists instead of recursion, so a tree of any depth can be
// cleared, destroyed or copied without exhausting the stack.
#include "value/binding_property.h"

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "value/field_tree.h"
#include "value/property_arena.h"
#include "value/property_parts.h"

namespace vclient {

namespace {

bool IsContainer(BindingPropertyType kind) {
    return kind == BindingPropertyType::Collection || kind == BindingPropertyType::Structure;
}

}  // namespace

void BindingProperty::ReleasePayload(bool mayResetArena) noexcept {
    switch (kind_) {
        case BindingPropertyType::String:
            if (payload_.string != &detail::EmptyStringEntry()) {
                arena_->ReleaseString(payload_.string);
            }
            break;
        case BindingPropertyType::Blob:
            payload_.blob->link.Unlink();
            arena_->Delete(payload_.blob);
            break;
        case BindingPropertyType::Enum: arena_->Delete(payload_.enumPair); break;
        case BindingPropertyType::Collection:
        case BindingPropertyType::Structure:
        {
            // A root's container is everything its arena holds: unless a replacement is
            // already in the arena, its slots and texts are dropped wholesale.
            if (mayResetArena && OwnsArena()) {
                DropTrackedBuffers(*arena_);
                arena_->Reset();
                break;
            }
            DestroyContainers(*arena_, kind_, payload_.collection);
            break;
        }
        default: break;
    }
    kind_ = BindingPropertyType::Empty;
    payload_.bits = 0;
}

// Frees the general-heap buffers of every collection and blob of the arena, ahead of a
// wholesale PropertyArena::Reset; the tree itself is never visited.
void BindingProperty::DropTrackedBuffers(PropertyArena& arena) noexcept {
    detail::HeapLink& collections = arena.Collections();
    for (detail::HeapLink* link = collections.next; link != &collections; link = link->next) {
        ::operator delete(reinterpret_cast<detail::CollectionPart*>(link)->elements);
    }
    collections.prev = collections.next = &collections;
    detail::HeapLink& blobs = arena.Blobs();
    for (detail::HeapLink* link = blobs.next; link != &blobs; link = link->next) {
        reinterpret_cast<detail::BlobPart*>(link)->bytes.~BindingBlob();
    }
    blobs.prev = blobs.next = &blobs;
}

// Releases a child's payload at once, except that a child container's part is chained
// onto the pending lists for the caller's loop to take apart.
void BindingProperty::DetachChild(BindingProperty& child, detail::CollectionPart*& collections,
                                  detail::StructurePart*& structures) noexcept {
    if (child.kind_ == BindingPropertyType::Collection) {
        child.payload_.collection->pending = collections;
        collections = child.payload_.collection;
    } else if (child.kind_ == BindingPropertyType::Structure) {
        child.payload_.structure->pending = structures;
        structures = child.payload_.structure;
    } else {
        child.Clear();
        return;
    }
    child.kind_ = BindingPropertyType::Empty;
    child.payload_.bits = 0;
}

// Takes apart a container and everything below it, part by part.
void BindingProperty::DestroyContainers(PropertyArena& arena, BindingPropertyType kind, void* part) noexcept {
    detail::CollectionPart* collections = nullptr;
    detail::StructurePart* structures = nullptr;
    if (kind == BindingPropertyType::Collection) {
        collections = static_cast<detail::CollectionPart*>(part);
    } else {
        structures = static_cast<detail::StructurePart*>(part);
    }
    while (collections != nullptr || structures != nullptr) {
        if (collections != nullptr) {
            detail::CollectionPart* collection = collections;
            collections = collection->pending;
            for (std::uint32_t i = 0; i < collection->size; ++i) {
                DetachChild(collection->elements[i], collections, structures);
            }
            ::operator delete(collection->elements);
            collection->link.Unlink();
            arena.Delete(collection);
            continue;
        }
        detail::StructurePart* structure = structures;
        structures = structure->pending;
        // Rotating every left child up turns the tree into a list along right links,
        // which is then freed front to back.
        detail::FieldNode* node = structure->root;
        while (node != nullptr) {
            if (detail::FieldNode* left = node->left; left != nullptr) {
                node->left = left->right;
                left->right = node;
                node = left;
                continue;
            }
            detail::FieldNode* next = node->right;
            DetachChild(node->value, collections, structures);
            arena.ReleaseString(node->name);
            arena.Delete(node);
            node = next;
        }
        arena.Delete(structure);
    }
}

// What one deep copy carries along: the containers still to fill, and a small cache from
// source entries to the target arena's entries, since the same names and texts repeat
// across a tree. Target entries only gain references during a copy, so cached pointers
// stay valid.
struct BindingProperty::CopyContext {
    static constexpr std::size_t kCacheSize = 64;

    std::vector<std::pair<const BindingProperty*, BindingProperty*>> work;
    std::array<std::pair<const detail::StringEntry*, detail::StringEntry*>, kCacheSize> cache{};

    detail::StringEntry* Intern(PropertyArena& arena, const detail::StringEntry* source) {
        if (source == &detail::EmptyStringEntry()) {
            return &detail::EmptyStringEntry();
        }
        auto& slot = cache[(reinterpret_cast<std::uintptr_t>(source) / alignof(detail::StringEntry)) % kCacheSize];
        if (slot.first == source) {
            ++slot.second->count;
            return slot.second;
        }
        detail::StringEntry* target = arena.Intern(source->text, source->hash);
        slot = {source, target};
        return target;
    }
};

void BindingProperty::CopyFrom(const BindingProperty& source) {
    static_cast<void>(CopyTree(source, nullptr));
}

// Copies `source` into this value, which must not lie in the same tree. Returns whether
// `watch` is `source` or one of its descendants.
bool BindingProperty::CopyTree(const BindingProperty& source, const BindingProperty* watch) {
    CopyContext context;
    bool seen = CopyNode(source, watch, context);
    while (!context.work.empty()) {
        const auto [from, to] = context.work.back();
        context.work.pop_back();
        seen = to->CopyNode(*from, watch, context) || seen;
    }
    return seen;
}

// Copies one node: scalars and texts completely, containers one level deep with their
// container children queued on the context.
bool BindingProperty::CopyNode(const BindingProperty& source, const BindingProperty* watch, CopyContext& context) {
    bool seen = &source == watch;
    switch (source.kind_) {
        case BindingPropertyType::String:
            SetStringEntry(context.Intern(EnsureArena(), source.payload_.string));
            return seen;
        case BindingPropertyType::Blob: SetBlob(source.payload_.blob->bytes); return seen;
        case BindingPropertyType::Enum: SetEnum(*source.payload_.enumPair); return seen;
        case BindingPropertyType::Collection: {
            Clear();
            EnsureCollection();
            static_cast<void>(Reserve(source.Size()));
            for (const BindingProperty& element : source.Elements()) {
                seen = seen || &element == watch;
                BindingProperty& target = AppendUnchecked();
                if (IsContainer(element.kind_)) {
                    context.work.emplace_back(&element, &target);
                } else {
                    target.CopyNode(element, nullptr, context);
                }
            }
            return seen;
        }
        case BindingPropertyType::Structure: {
            Clear();
            EnsureStructure();
            // The copy's field tree mirrors the source's node for node, colours included:
            // a valid red-black tree of the same names, built without a comparison.
            const detail::StructurePart& from = *source.payload_.structure;
            if (from.root != nullptr) {
                MirrorFields(from, from.root, nullptr, false, watch, seen, context);
            }
            return seen;
        }
        default:
            // Empty and the scalars: the payload is the whole value.
            Clear();
            kind_ = source.kind_;
            payload_ = source.payload_;
            return seen;
    }
}

// The twin of the source field `node` under `parent` (the root when null) of this
// Structure, then the twins of its subtrees. Each twin is linked as soon as it is made,
// so the tree stays a valid search tree of what was copied even if memory runs out;
// recursion is as deep as the field tree is high (at most twice the log of its size).
void BindingProperty::MirrorFields(const detail::StructurePart& from, const detail::FieldNode* node,
                                   detail::FieldNode* parent, bool left, const BindingProperty* watch, bool& seen,
                                   CopyContext& context) {
    detail::StringEntry* name = context.Intern(*arena_, node->name);
    detail::FieldNode* twin = nullptr;
    try {
        twin = arena_->New<detail::FieldNode>(name, arena_);
    } catch (...) {
        arena_->ReleaseString(name);
        throw;
    }
    detail::StructurePart& to = *payload_.structure;
    twin->SetParentAndColour(parent, node->Red());
    (parent == nullptr ? to.root : (left ? parent->left : parent->right)) = twin;
    ++to.count;
    if (node == from.last) {
        to.last = twin;
    }
    seen = seen || &node->value == watch;
    if (IsContainer(node->value.kind_)) {
        context.work.emplace_back(&node->value, &twin->value);
    } else {
        twin->value.CopyNode(node->value, nullptr, context);
    }
    if (node->left != nullptr) {
        MirrorFields(from, node->left, twin, true, watch, seen, context);
    }
    if (node->right != nullptr) {
        MirrorFields(from, node->right, twin, false, watch, seen, context);
    }
}

}  // namespace vclient
