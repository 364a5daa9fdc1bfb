#pragma once

#include <cstddef>
#include <cstdint>

#include "board/coord.h"

class BoardCacheEntry;

// One position of a proof-number tree: its numbers, its links to children and
// parents, and the cache entry that may hold its board. It owns its child array
// and, with several parents, its parent array; the nodes they point to belong
// to the tree (the pool, or the engine for a root).
//
// Fields, in order (offsets on a 64-bit build):
//
//   off size field        meaning
//     0   4  value        score for the result, side to move's view; 0 while open
//     4   4  pn           proof number, 0 = proven, 4294967295 = infinite
//     8   4  dn           disproof number, 0 = disproven
//    12   2  bestMove     first generated move at the first evaluation, 400 = none
//    16   8  children     childCount child pointers, null when there are none
//    24   1  expanded     the generator listed this node's children
//    25   1  evaluated    the first evaluation was made
//    26   2  dumpMark     mark of the last dump walk that visited the node
//    28   2  move         move from the parent, 400 at a root
//    30   1  side         1 = the prover is to move (OR), 0 = the opponent (AND)
//    32   8  nextInList   link of the pool's deletion or free list; non-null = marked
//    40   8  hash         Zobrist hash of the position
//    48   8  parents      one parent pointer, or an array of parentCount when > 1
//    56   2  childCount
//    58   2  parentCount
//    64   8  cacheEntry   entry holding the node's board, or null
class PnNode {
  public:
    union Parents {
        PnNode* one;    // parentCount == 1
        PnNode** many;  // parentCount > 1
    };

    int32_t value = 0;
    uint32_t pn = 1;
    uint32_t dn = 1;
    CellIndex bestMove = kNoCell;
    PnNode** children = nullptr;
    uint8_t expanded = 0;
    uint8_t evaluated = 0;
    uint16_t dumpMark = 0;
    CellIndex move = kNoCell;
    uint8_t side = 1;
    PnNode* nextInList = nullptr;
    uint64_t hash = 0;
    Parents parents{nullptr};
    int16_t childCount = 0;
    int16_t parentCount = 0;
    BoardCacheEntry* cacheEntry = nullptr;

    PnNode() = default;
    PnNode(const PnNode&) = delete;
    PnNode& operator=(const PnNode&) = delete;
    ~PnNode() { FreeLinks(); }

    bool Proven() const { return pn == 0; }
    bool Disproven() const { return dn == 0; }
    bool Solved() const { return pn == 0 || dn == 0; }
    bool Marked() const { return nextInList != nullptr; }

    PnNode* Parent(int i) const { return parentCount == 1 ? parents.one : parents.many[i]; }
    PnNode* Child(int i) const { return children[i]; }

    // Child order is the generator's order and decides selection among equals.
    void AppendChild(PnNode* child);
    // Removes the first link to child, keeping the order of the others; an array
    // that becomes empty is freed.
    void RemoveChild(PnNode* child);
    void AddParent(PnNode* parent);
    void RemoveParent(PnNode* parent);
    // Frees both link arrays and forgets every link.
    void FreeLinks();
    // Back to the state of a new node.
    void Reset();
};

static_assert(offsetof(PnNode, value) == 0);
static_assert(offsetof(PnNode, pn) == 4);
static_assert(offsetof(PnNode, dn) == 8);
static_assert(offsetof(PnNode, bestMove) == 12);
static_assert(offsetof(PnNode, expanded) == offsetof(PnNode, children) + sizeof(void*));
static_assert(offsetof(PnNode, move) == offsetof(PnNode, dumpMark) + 2);
static_assert(offsetof(PnNode, hash) == offsetof(PnNode, nextInList) + sizeof(void*));
static_assert(offsetof(PnNode, parentCount) == offsetof(PnNode, childCount) + 2);

inline void PnNode::AppendChild(PnNode* child) {
    // The array holds bit_ceil(childCount) pointers: it grows when the count is a
    // power of two, so no capacity field is needed.
    const int count = childCount;
    if (count == 0 || (count & (count - 1)) == 0) {
        PnNode** grown = new PnNode*[count == 0 ? 1 : 2 * count];
        for (int i = 0; i < count; ++i) grown[i] = children[i];
        delete[] children;
        children = grown;
    }
    children[childCount++] = child;
}

inline void PnNode::RemoveChild(PnNode* child) {
    int i = 0;
    while (i < childCount && children[i] != child) ++i;
    if (i == childCount) return;
    for (; i + 1 < childCount; ++i) children[i] = children[i + 1];
    if (--childCount == 0) {
        delete[] children;
        children = nullptr;
    }
}

inline void PnNode::AddParent(PnNode* parent) {
    if (parentCount == 0) {
        parents.one = parent;
    } else {
        PnNode** grown = new PnNode*[parentCount + 1];
        for (int i = 0; i < parentCount; ++i) grown[i] = Parent(i);
        grown[parentCount] = parent;
        if (parentCount > 1) delete[] parents.many;
        parents.many = grown;
    }
    ++parentCount;
}

inline void PnNode::RemoveParent(PnNode* parent) {
    int i = 0;
    while (i < parentCount && Parent(i) != parent) ++i;
    if (i == parentCount) return;
    if (parentCount == 1) {
        parents.one = nullptr;
    } else if (parentCount == 2) {
        // One parent left: back to the single pointer.
        PnNode* kept = parents.many[1 - i];
        delete[] parents.many;
        parents.one = kept;
    } else {
        for (; i + 1 < parentCount; ++i) parents.many[i] = parents.many[i + 1];
    }
    --parentCount;
}

inline void PnNode::FreeLinks() {
    delete[] children;
    children = nullptr;
    childCount = 0;
    if (parentCount > 1) delete[] parents.many;
    parents.one = nullptr;
    parentCount = 0;
}

inline void PnNode::Reset() {
    FreeLinks();
    value = 0;
    pn = 1;
    dn = 1;
    bestMove = kNoCell;
    expanded = 0;
    evaluated = 0;
    dumpMark = 0;
    move = kNoCell;
    side = 1;
    nextInList = nullptr;
    hash = 0;
    cacheEntry = nullptr;
}
