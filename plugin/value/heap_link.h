// HeapLink: a link in one of an arena's circular lists of heap parts.
#pragma once

namespace vclient::detail {

// A link in one of the arena's lists of heap parts that own general-heap buffers
// (collections and blobs), so that a whole tree can be dropped without visiting it.
struct HeapLink {
    HeapLink* prev = this;
    HeapLink* next = this;

    void LinkAfter(HeapLink& head) noexcept {
        prev = &head;
        next = head.next;
        head.next->prev = this;
        head.next = this;
    }
    void Unlink() noexcept {
        prev->next = next;
        next->prev = prev;
        prev = this;
        next = this;
    }
};

}  // namespace vclient::detail
