#include "search/transpositiontable.h"

#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/tablememory.h"
#include "search/score.h"

TranspositionTable::TranspositionTable(int32_t entries) : mSize(entries) {
    if (entries < 1) throw std::runtime_error("invalid hash table size");
    const unsigned __int128 all = ~static_cast<unsigned __int128>(0);
    mModMagic = all / static_cast<uint64_t>(entries) + 1;
    Allocate();
}

TranspositionTable::~TranspositionTable() {
    Release();
}

void TranspositionTable::Allocate() {
    const size_t n = static_cast<size_t>(mSize);
    const size_t tags = (n + 63) & ~size_t{63};
    mBytes = tags + n * sizeof(HashRecord);
    char* block = static_cast<char*>(AllocateTableMemory(mBytes));
    if (!block) throw std::bad_alloc();
    mTags = reinterpret_cast<uint8_t*>(block);
    mRecords = reinterpret_cast<HashRecord*>(block + tags);
}

void TranspositionTable::Release() {
    FreeTableMemory(mTags, mBytes);
    mTags = nullptr;
    mRecords = nullptr;
}

void TranspositionTable::ClearTable() {
    // The tags alone decide which slots are live, so clearing them empties
    // the table: a lost move clears it inside the turn, and the tags are a
    // twenty-second of the records' bytes (80 MiB of table, 4 MiB of tags).
    // Tags of a huge table take fresh pages instead, so that clearing never
    // stalls a move for long.
    const size_t tags = (static_cast<size_t>(mSize) + 63) & ~size_t{63};
    if (tags <= kClearInPlaceBytes) {
        std::memset(mTags, 0, tags);
        return;
    }
    Release();
    Allocate();
}

// A slot's bound is 0 exactly when its tag is 0 or kDeadTag; a live slot's key
// can equal the probed key only when the tags agree.
int32_t TranspositionTable::FindSlot(uint64_t key, int16_t age) const {
    const uint8_t tag = TagOf(key);
    int32_t begin = RunBegin(key);
    int32_t end = RunEnd(begin);
    int32_t victim = begin;
    int32_t smallest = INT32_MAX;
    for (int32_t i = begin; i < end; ++i) {
        const uint8_t t = mTags[i];
        const HashRecord& e = mRecords[i];
        if (t == 0 || t == kDeadTag || (t == tag && e.key == key)) return i;
        if (e.age < age) return i;
        if (e.valueDepth < smallest) {
            smallest = e.valueDepth;
            victim = i;
        }
    }
    return victim;
}

// The first slot of the run holding the key decides: a miss when its bound is
// 0. Cleared slots hold key 0 and come after every live slot of key 0 in its
// run (a store takes the first empty slot), so only a slot stored with bound 0
// can stop the walk.
int32_t TranspositionTable::LookupSlot(uint64_t key) const {
    const uint8_t tag = TagOf(key);
    int32_t begin = RunBegin(key);
    int32_t end = RunEnd(begin);
    for (int32_t i = begin; i < end; ++i) {
        const uint8_t t = mTags[i];
        if ((t == tag || t == kDeadTag) && mRecords[i].key == key) return t == kDeadTag ? -1 : i;
    }
    return -1;
}

void TranspositionTable::NarrowWindow(const HashEntry& entry, int32_t depth, int32_t& lo,
                                      int32_t& hi) {
    int32_t s = entry.score;
    uint8_t b = entry.bound;
    if (entry.depth >= depth || IsDecisive(s)) {
        if (b == kBoundExact && lo < s && s < hi) {
            lo = s;
        } else {
            if (b & kBoundUpper) {
                if (s <= lo) {
                    hi = lo;
                } else if (s < hi) {
                    hi = s;
                }
            }
            if (b & kBoundLower) {
                if (s >= hi) {
                    lo = hi;
                } else if (s > lo) {
                    lo = s;
                }
            }
        }
    }
    if (b == kBoundExact && IsDecisive(s)) lo = hi = s;
}

bool TranspositionTable::ProbeHash(uint64_t key, int32_t depth, int32_t& alpha, int32_t& beta,
                                   CellIndex& move, uint8_t& bound, int32_t& score) const {
    const int32_t slot = LookupSlot(key);
    if (slot < 0) {
        move = kNoCell;
        bound = 0;
        return false;
    }
    const HashEntry e = At(slot);
    move = e.move;
    bound = e.bound;
    score = e.score;
    NarrowWindow(e, depth, alpha, beta);
    return true;
}

void TranspositionTable::RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound,
                                    CellIndex move, int16_t age) {
    assert(move <= kNoCell);
    int32_t valueDepth = bound == kBoundExact ? depth + 1 : depth;
    if (score == ScoreWin) {
        valueDepth += 4;
        if (bound == kBoundLower) bound = kBoundExact;
    } else if (score == ScoreLoss) {
        valueDepth += 1;
        if (bound == kBoundUpper) bound = kBoundExact;
    }
    const int32_t index = FindSlot(key, age);
    const uint8_t t = mTags[index];
    HashRecord& slot = mRecords[index];
    if (t != 0 && t != kDeadTag && slot.age + slot.valueDepth >= age + valueDepth) return;
    mTags[index] = bound != 0 ? TagOf(key) : kDeadTag;
    slot.key = key;
    slot.age = age;
    slot.valueDepth = static_cast<int16_t>(valueDepth);
    slot.depth = static_cast<int16_t>(depth);
    slot.bound = bound;
    slot.score = score;
    slot.move = move;
}
