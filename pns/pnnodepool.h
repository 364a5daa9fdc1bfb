#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "board/boardai.h"
#include "pns/pnnode.h"

// One board buffer of the node pool's board cache, and its place in the cache's
// least-recently-used order. An entry outside that order (next and prev null)
// belongs to a root alone and is freed with it.
class BoardCacheEntry {
  public:
    BoardCacheEntry* next = nullptr;
    BoardCacheEntry* prev = nullptr;
    PnNode* owner = nullptr;
    std::unique_ptr<BoardAI> board;

    bool Detached() const { return next == nullptr; }
};

// Owns the nodes of every proof-number tree below the roots: a bounded number
// taken from the heap and recycled through a free list, the deletion list of
// nodes marked for release, and the bounded board cache in which the nodes'
// positions are kept (an LRU list whose head carries a spare board).
class PnNodePool {
  public:
    // boardBytes is the size of one board buffer; it must hold a BoardAI.
    PnNodePool(size_t boardBytes, int32_t cacheEntries, int32_t capacity);
    ~PnNodePool();
    PnNodePool(const PnNodePool&) = delete;
    PnNodePool& operator=(const PnNodePool&) = delete;

    std::unique_ptr<BoardCacheEntry[]> entries;
    PnNode deletionHead;  // circular through nextInList; empty when it points to itself
    PnNode freeHead;
    int32_t capacity;
    int32_t taken = 0;          // nodes taken from the heap so far
    int32_t freeCount;          // capacity minus live nodes
    int32_t peakLive = 0;       // most nodes live at once since the last ResetPeak
    BoardCacheEntry cacheHead;  // next = least, prev = most recently used; board = spare

    // A fresh node, or null when the capacity is used up.
    PnNode* TakeNode();
    // Puts the node on the deletion list, then every child whose parents are
    // now all marked; their cache entries are given up.
    void Mark(PnNode* node);
    // Unlinks every marked node from the nodes that stay and recycles it; a
    // marked root goes back to the heap.
    void CollectGarbage();
    bool HasDeletions() const { return deletionHead.nextInList != &deletionHead; }
    int32_t Live() const { return capacity - freeCount; }
    int32_t CacheEntries() const { return entryCount; }
    void ResetPeak() { peakLive = Live(); }

    // Board cache. Acquire binds the least recently used entry to node (its
    // previous owner loses it); null when the cache has no entries.
    BoardCacheEntry* AcquireEntry(PnNode* node);
    void Touch(BoardCacheEntry* entry);  // most recently used
    // The node loses its entry, which is reused first; a root's own entry is freed.
    void ReleaseEntry(PnNode* node);
    // A root from the general heap, with a board of its own outside the reuse
    // order. Roots do not count against the capacity; the pool deletes those
    // still alive when it is destroyed.
    PnNode* CreateRoot(const BoardAI& board);
    BoardAI& SpareBoard() { return *cacheHead.board; }

  private:
    static constexpr int32_t kChunkNodes = 1024;

    int32_t entryCount;
    std::vector<std::unique_ptr<PnNode[]>> chunks;  // every node taken from the heap
    int32_t chunkUsed = kChunkNodes;
    std::vector<PnNode*> roots;  // live roots, which are not the pool's nodes

    bool IsRoot(const PnNode* node) const;

    void Unlink(BoardCacheEntry* entry);
    void InsertAfter(BoardCacheEntry* entry, BoardCacheEntry* at);
};

