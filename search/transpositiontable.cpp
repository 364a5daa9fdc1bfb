#include "search/transpositiontable.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

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
    mBytes = static_cast<size_t>(mSize) * sizeof(HashEntry);
    mSlots = static_cast<HashEntry*>(std::calloc(static_cast<size_t>(mSize), sizeof(HashEntry)));
    if (!mSlots) throw std::bad_alloc();
}

void TranspositionTable::Release() {
    std::free(mSlots);
    mSlots = nullptr;
}

void TranspositionTable::ClearTable() {
    // A table of moderate size is zeroed in place: quicker than fresh pages,
    // which the system must fault in and zero again. A larger table takes fresh
    // pages, so that clearing never stalls a move for long. (Large pages would
    // spare the probes' address translations, but the system compacts memory
    // for them at their first touch, which costs more than they save.)
    if (mBytes <= kClearInPlaceBytes) {
        std::memset(static_cast<void*>(mSlots), 0, mBytes);
        return;
    }
    Release();
    Allocate();
}

int32_t TranspositionTable::FindSlot(uint64_t key, int16_t age) const {
    int32_t begin = RunBegin(key);
    int32_t end = RunEnd(begin);
    int32_t victim = begin;
    int32_t smallest = INT32_MAX;
    for (int32_t i = begin; i < end; ++i) {
        const HashEntry& e = mSlots[i];
        if (e.bound == 0 || e.key == key) return i;
        if (e.age < age) return i;
        if (e.valueDepth < smallest) {
            smallest = e.valueDepth;
            victim = i;
        }
    }
    return victim;
}

const HashEntry* TranspositionTable::Lookup(uint64_t key) const {
    int32_t begin = RunBegin(key);
    int32_t end = RunEnd(begin);
    for (int32_t i = begin; i < end; ++i) {
        const HashEntry& e = mSlots[i];
        if (e.key == key) return e.bound == 0 ? nullptr : &e;
    }
    return nullptr;
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
    const HashEntry* e = Lookup(key);
    if (e == nullptr) {
        move = kNoCell;
        bound = 0;
        return false;
    }
    move = e->move;
    bound = e->bound;
    score = e->score;
    NarrowWindow(*e, depth, alpha, beta);
    return true;
}

void TranspositionTable::RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound,
                                    CellIndex move, int16_t age) {
    if (move > kNoCell) throw std::runtime_error("invalid coord RecordHash");
    int32_t valueDepth = bound == kBoundExact ? depth + 1 : depth;
    if (score == ScoreWin) {
        valueDepth += 4;
        if (bound == kBoundLower) bound = kBoundExact;
    } else if (score == ScoreLoss) {
        valueDepth += 1;
        if (bound == kBoundUpper) bound = kBoundExact;
    }
    HashEntry& slot = mSlots[FindSlot(key, age)];
    if (slot.bound != 0 && slot.age + slot.valueDepth >= age + valueDepth) return;
    slot.key = key;
    slot.depth = static_cast<int16_t>(depth);
    slot.age = age;
    slot.bound = bound;
    slot.valueDepth = static_cast<int16_t>(valueDepth);
    slot.score = score;
    slot.move = move;
}
