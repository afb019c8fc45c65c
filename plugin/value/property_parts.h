// The heap parts of Collection and Structure values, allocated from the arena's slab
// pools. Internal to the binding library.
//
// Collections and blobs own general-heap buffers; they sit on their arena's lists so that
// dropping a root's whole tree frees those buffers without walking the tree. Containers
// also carry a `pending` link used while a subtree is cleared part by part: parts waiting
// to be released are chained through it, so clearing needs neither recursion nor memory
// of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "value/binding_property.h"
#include "value/property_arena.h"

namespace vclient::detail {

// CollectionPart is defined with BindingProperty, whose element append is inline.

// A byte vector; the buffer comes from the general heap.
struct BlobPart {
    HeapLink link;  // first member: a link converts back to its part
    BindingBlob bytes;
};

// The root of a red-black tree of FieldNodes ordered by name, and its node count.
struct StructurePart {
    FieldNode* root = nullptr;
    FieldNode* last = nullptr;  // the field with the greatest name: readers often add names in order
    std::size_t count = 0;
    StructurePart* pending = nullptr;
};

}  // namespace vclient::detail
