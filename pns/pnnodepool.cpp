#include "pns/pnnodepool.h"

#include <algorithm>
#include <stdexcept>

#include "board/zobrist.h"

PnNodePool::PnNodePool(size_t boardBytes, int32_t cacheEntries, int32_t nodeCapacity)
    : capacity(nodeCapacity < 0 ? 0 : nodeCapacity),
      freeCount(capacity),
      entryCount(cacheEntries < 0 ? 0 : cacheEntries) {
    if (boardBytes < sizeof(BoardAI)) throw std::invalid_argument("Board buffer too small.");
    deletionHead.nextInList = &deletionHead;
    freeHead.nextInList = &freeHead;
    cacheHead.next = cacheHead.prev = &cacheHead;
    cacheHead.board = std::make_unique<BoardAI>();
    entries = std::make_unique<BoardCacheEntry[]>(static_cast<size_t>(entryCount));
    // Entry boards are made at their first use: a pool sized for a long proof
    // costs nothing resident until a search needs them.
    for (int32_t i = 0; i < entryCount; ++i) InsertAfter(&entries[i], cacheHead.prev);
}

// Nodes still linked into trees are freed with their chunks.
PnNodePool::~PnNodePool() {
    for (PnNode* root : roots) {
        ReleaseEntry(root);
        delete root;
    }
}

bool PnNodePool::IsRoot(const PnNode* node) const {
    for (const PnNode* root : roots)
        if (root == node) return true;
    return false;
}

PnNode* PnNodePool::TakeNode() {
    PnNode* node = nullptr;
    if (freeHead.nextInList != &freeHead) {
        node = freeHead.nextInList;
        freeHead.nextInList = node->nextInList;
        node->Reset();
    } else if (taken < capacity) {
        if (chunkUsed == kChunkNodes) {
            chunks.push_back(std::make_unique<PnNode[]>(kChunkNodes));
            chunkUsed = 0;
        }
        node = &chunks.back()[chunkUsed++];
        ++taken;
    } else {
        return nullptr;
    }
    --freeCount;
    if (Live() > peakLive) peakLive = Live();
    return node;
}

void PnNodePool::Mark(PnNode* node) {
    node->nextInList = deletionHead.nextInList;
    deletionHead.nextInList = node;
    if (!IsRoot(node)) ++freeCount;
    for (int i = 0; i < node->childCount; ++i) {
        PnNode* child = node->children[i];
        if (child->Marked()) continue;
        bool orphaned = true;
        for (int p = 0; p < child->parentCount && orphaned; ++p)
            orphaned = child->Parent(p)->Marked();
        if (orphaned) Mark(child);
    }
    ReleaseEntry(node);
}

void PnNodePool::CollectGarbage() {
    if (!HasDeletions()) return;
    // 1. Cut every link between a marked node and a node that stays. Nothing is
    //    freed yet, so that marked neighbours can still be inspected.
    for (PnNode* node = deletionHead.nextInList; node != &deletionHead; node = node->nextInList) {
        for (int p = 0; p < node->parentCount; ++p) {
            PnNode* parent = node->Parent(p);
            if (!parent->Marked()) parent->RemoveChild(node);
        }
        for (int i = 0; i < node->childCount; ++i) {
            PnNode* child = node->children[i];
            if (child->Marked()) continue;
            child->RemoveParent(node);
            // The move that leads to the child now comes from a remaining parent.
            const uint64_t key = child->Parent(0)->hash ^ child->hash;
            for (uint32_t z = 0; z < Coord::area; ++z) {
                if (zobristKeys[z] == key || zobristKeys[Coord::area + z] == key) {
                    child->move = static_cast<CellIndex>(z);
                    break;
                }
            }
        }
        ReleaseEntry(node);
    }
    // 2. Recycle the pool's nodes; marked roots go back to the heap.
    PnNode* node = deletionHead.nextInList;
    deletionHead.nextInList = &deletionHead;
    while (node != &deletionHead) {
        PnNode* next = node->nextInList;
        node->FreeLinks();
        if (IsRoot(node)) {
            roots.erase(std::find(roots.begin(), roots.end(), node));
            delete node;
        } else {
            node->nextInList = freeHead.nextInList;
            freeHead.nextInList = node;
        }
        node = next;
    }
}

BoardCacheEntry* PnNodePool::AcquireEntry(PnNode* node) {
    BoardCacheEntry* entry = cacheHead.next;
    if (entry == &cacheHead) return nullptr;
    if (entry->owner) entry->owner->cacheEntry = nullptr;
    if (!entry->board) entry->board = std::make_unique<BoardAI>();
    entry->owner = node;
    node->cacheEntry = entry;
    Touch(entry);
    return entry;
}

void PnNodePool::Touch(BoardCacheEntry* entry) {
    if (entry->Detached()) return;
    Unlink(entry);
    InsertAfter(entry, cacheHead.prev);
}

void PnNodePool::ReleaseEntry(PnNode* node) {
    BoardCacheEntry* entry = node->cacheEntry;
    if (!entry) return;
    node->cacheEntry = nullptr;
    if (entry->Detached()) {
        delete entry;
        return;
    }
    entry->owner = nullptr;
    Unlink(entry);
    InsertAfter(entry, &cacheHead);
}

PnNode* PnNodePool::CreateRoot(const BoardAI& board) {
    PnNode* root = new PnNode;
    BoardCacheEntry* entry = new BoardCacheEntry;
    entry->board = std::make_unique<BoardAI>(board);
    entry->owner = root;
    root->cacheEntry = entry;
    roots.push_back(root);
    return root;
}

void PnNodePool::Unlink(BoardCacheEntry* entry) {
    entry->prev->next = entry->next;
    entry->next->prev = entry->prev;
}

void PnNodePool::InsertAfter(BoardCacheEntry* entry, BoardCacheEntry* at) {
    entry->prev = at;
    entry->next = at->next;
    at->next->prev = entry;
    at->next = entry;
}
