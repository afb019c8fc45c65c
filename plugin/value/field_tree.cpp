#include "value/field_tree.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace vclient::detail {

namespace {

void RotateLeft(StructurePart& tree, FieldNode* node) noexcept {
    FieldNode* pivot = node->right;
    node->right = pivot->left;
    if (pivot->left != nullptr) {
        pivot->left->SetParent(node);
    }
    pivot->SetParent(node->Parent());
    if (node->Parent() == nullptr) {
        tree.root = pivot;
    } else if (node == node->Parent()->left) {
        node->Parent()->left = pivot;
    } else {
        node->Parent()->right = pivot;
    }
    pivot->left = node;
    node->SetParent(pivot);
}

void RotateRight(StructurePart& tree, FieldNode* node) noexcept {
    FieldNode* pivot = node->left;
    node->left = pivot->right;
    if (pivot->right != nullptr) {
        pivot->right->SetParent(node);
    }
    pivot->SetParent(node->Parent());
    if (node->Parent() == nullptr) {
        tree.root = pivot;
    } else if (node == node->Parent()->right) {
        node->Parent()->right = pivot;
    } else {
        node->Parent()->left = pivot;
    }
    pivot->right = node;
    node->SetParent(pivot);
}

bool IsRed(const FieldNode* node) noexcept {
    return node != nullptr && node->Red();
}

// Restores the red-black rules after `node` was linked in red.
void Rebalance(StructurePart& tree, FieldNode* node) noexcept {
    while (IsRed(node->Parent())) {
        FieldNode* parent = node->Parent();
        FieldNode* grandparent = parent->Parent();  // a red parent is never the root
        const bool parentIsLeft = parent == grandparent->left;
        FieldNode* uncle = parentIsLeft ? grandparent->right : grandparent->left;
        if (IsRed(uncle)) {
            parent->SetRed(false);
            uncle->SetRed(false);
            grandparent->SetRed(true);
            node = grandparent;
            continue;
        }
        if (parentIsLeft) {
            if (node == parent->right) {
                node = parent;
                RotateLeft(tree, node);
            }
            node->Parent()->SetRed(false);
            grandparent->SetRed(true);
            RotateRight(tree, grandparent);
        } else {
            if (node == parent->left) {
                node = parent;
                RotateRight(tree, node);
            }
            node->Parent()->SetRed(false);
            grandparent->SetRed(true);
            RotateLeft(tree, grandparent);
        }
    }
    tree.root->SetRed(false);
}

}  // namespace

// Eight bytes at a time. Read big-endian, a word orders as its bytes do one by one, so
// the first differing word decides; the end of the common prefix is read as a word that
// overlaps bytes already found equal.
int CompareFieldNames(std::string_view a, std::string_view b) noexcept {
    const std::size_t common = std::min(a.size(), b.size());
    const auto order = [](std::uint64_t left, std::uint64_t right) {
        if constexpr (std::endian::native == std::endian::little) {
            left = __builtin_bswap64(left);
            right = __builtin_bswap64(right);
        }
        return left < right ? -1 : 1;
    };
    if (common >= 8) {
        for (std::size_t i = 0; i + 8 < common; i += 8) {
            const auto left = LoadWord<std::uint64_t>(a.data() + i);
            const auto right = LoadWord<std::uint64_t>(b.data() + i);
            if (left != right) {
                return order(left, right);
            }
        }
        const auto left = LoadWord<std::uint64_t>(a.data() + common - 8);
        const auto right = LoadWord<std::uint64_t>(b.data() + common - 8);
        if (left != right) {
            return order(left, right);
        }
    } else {
        for (std::size_t i = 0; i < common; ++i) {
            const auto left = static_cast<unsigned char>(a[i]);
            const auto right = static_cast<unsigned char>(b[i]);
            if (left != right) {
                return left < right ? -1 : 1;
            }
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

FieldNode* FindFieldNode(const StructurePart& tree, std::string_view name,
                         FieldInsertPoint* where) noexcept {
    if (where != nullptr && tree.last != nullptr) {
        // Names added in order go after the last one: one comparison instead of a descent.
        const int order = CompareFieldNames(name, tree.last->name->text);
        if (order >= 0) {
            *where = {tree.last, false};
            return order == 0 ? tree.last : nullptr;
        }
    }
    FieldNode* node = tree.root;
    FieldInsertPoint point;
    while (node != nullptr) {
        const int order = CompareFieldNames(name, node->name->text);
        if (order == 0) {
            return node;
        }
        point = {node, order < 0};
        node = order < 0 ? node->left : node->right;
    }
    if (where != nullptr) {
        *where = point;
    }
    return nullptr;
}

void InsertFieldNode(StructurePart& tree, FieldNode* node, FieldInsertPoint where) noexcept {
    node->SetParentAndColour(where.parent, true);
    node->left = nullptr;
    node->right = nullptr;
    if (where.parent == nullptr) {
        tree.root = node;
        tree.last = node;
    } else if (where.left) {
        where.parent->left = node;
    } else {
        where.parent->right = node;
        if (where.parent == tree.last) {
            tree.last = node;
        }
    }
    ++tree.count;
    Rebalance(tree, node);
}

namespace {

// The black height of the subtree at `node`, or -1 when a rule is broken below it.
int BlackHeight(const FieldNode* node, const FieldNode* parent, std::size_t& count) noexcept {
    if (node == nullptr) {
        return 0;
    }
    ++count;
    if (node->Parent() != parent || (node->Red() && IsRed(node->left)) || (node->Red() && IsRed(node->right))) {
        return -1;
    }
    if ((node->left != nullptr && CompareFieldNames(node->left->name->text, node->name->text) >= 0) ||
        (node->right != nullptr && CompareFieldNames(node->right->name->text, node->name->text) <= 0)) {
        return -1;
    }
    const int left = BlackHeight(node->left, node, count);
    const int right = BlackHeight(node->right, node, count);
    if (left < 0 || left != right) {
        return -1;
    }
    return left + (node->Red() ? 0 : 1);
}

}  // namespace

bool FieldTreeHoldsRules(const StructurePart& tree) noexcept {
    std::size_t count = 0;
    if (IsRed(tree.root) || BlackHeight(tree.root, nullptr, count) < 0 || count != tree.count) {
        return false;
    }
    // In-order names strictly ascending (the local checks above do not see across levels).
    const FieldNode* previous = nullptr;
    for (FieldNode* node = FirstFieldNode(tree); node != nullptr; node = NextFieldNode(node)) {
        if (previous != nullptr && CompareFieldNames(previous->name->text, node->name->text) >= 0) {
            return false;
        }
        previous = node;
    }
    return previous == tree.last;
}

FieldNode* FirstFieldNode(const StructurePart& tree) noexcept {
    FieldNode* node = tree.root;
    if (node == nullptr) {
        return nullptr;
    }
    while (node->left != nullptr) {
        node = node->left;
    }
    return node;
}

}  // namespace vclient::detail
