#include "search/transpositiontable.h"

#include <atomic>
#include <cassert>
#include <climits>
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
    const size_t hints = (n * sizeof(uint32_t) + 63) & ~size_t{63};
    mBytes = hints + n * sizeof(Record);
    char* block = static_cast<char*>(AllocateTableMemory(mBytes));
    if (!block) throw std::bad_alloc();
    mHints = reinterpret_cast<uint32_t*>(block);
    mRecords = reinterpret_cast<Record*>(block + hints);
}

void TranspositionTable::Release() {
    FreeTableMemory(mHints, mBytes);
    mHints = nullptr;
    mRecords = nullptr;
}

void TranspositionTable::ClearTable() {
    // A table of moderate size is zeroed in place: quicker than fresh pages,
    // which the system must fault in and zero again. A larger table takes fresh
    // pages, so that clearing never stalls a move for long.
    if (mBytes <= kClearInPlaceBytes) {
        std::memset(static_cast<void*>(mHints), 0, mBytes);
        return;
    }
    Release();
    Allocate();
}

// A slot's bound is 0 exactly when its tag is 0 or kDeadTag; a live slot's key
// can equal the probed key only when the tags agree.
TranspositionTable::Seen TranspositionTable::Victim(uint64_t key, int16_t age) const {
    const uint8_t tag = TagOf(key);
    const int32_t begin = RunBegin(key);
    const int32_t end = RunEnd(begin);
    Seen victim{begin, 0, 0};
    int32_t smallest = INT32_MAX;
    for (int32_t i = begin; i < end; ++i) {
        const uint32_t hint = LoadHint(i);
        const uint8_t t = TagOfHint(hint);
        if (t == 0 || t == kDeadTag) return Seen{i, hint, 0};
        const uint64_t data = LoadData(i);
        if (t == tag && KeyOf(LoadCheck(i), hint, data) == key) return Seen{i, hint, data};
        if (AgeOf(data) < age) return Seen{i, hint, data};
        const int16_t valueDepth = ValueDepthOf(hint, data);
        if (valueDepth < smallest) {
            smallest = valueDepth;
            victim = Seen{i, hint, data};
        }
    }
    return victim;
}

// The first slot of the run holding the key decides: a miss when its bound is
// 0. Cleared slots hold key 0 and come after every live slot of key 0 in its
// run (a store takes the first empty slot), so only a slot stored with bound 0
// can stop the walk. A slot whose words are of two stores shows a key nobody
// stored and is passed over.
TranspositionTable::Seen TranspositionTable::Find(uint64_t key) const {
    const uint8_t tag = TagOf(key);
    const int32_t begin = RunBegin(key);
    const int32_t end = RunEnd(begin);
    for (int32_t i = begin; i < end; ++i) {
        const uint32_t hint = LoadHint(i);
        const uint8_t t = TagOfHint(hint);
        if (t != tag && t != kDeadTag) continue;
        const uint64_t check = LoadCheck(i);
        const uint64_t data = LoadData(i);
        if (KeyOf(check, hint, data) == key) return Seen{t == kDeadTag ? -1 : i, hint, data};
    }
    return Seen{-1, 0, 0};
}

std::optional<HashEntry> TranspositionTable::Lookup(uint64_t key) const {
    const Seen seen = Find(key);
    if (seen.index < 0) return std::nullopt;
    return Decode(key, seen.hint, seen.data);
}

int32_t TranspositionTable::LookupSlot(uint64_t key) const {
    return Find(key).index;
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
    const Seen seen = Find(key);
    if (seen.index < 0) {
        move = kNoCell;
        bound = 0;
        return false;
    }
    const HashEntry e = Decode(key, seen.hint, seen.data);
    move = e.move;
    bound = e.bound;
    score = e.score;
    NarrowWindow(e, depth, alpha, beta);
    return true;
}

void TranspositionTable::RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound,
                                    CellIndex move) {
    assert(move <= kNoCell);
    int32_t valueDepth = bound == kBoundExact ? depth + 1 : depth;
    if (score == ScoreWin) {
        valueDepth += 4;
        if (bound == kBoundLower) bound = kBoundExact;
    } else if (score == ScoreLoss) {
        valueDepth += 1;
        if (bound == kBoundUpper) bound = kBoundExact;
    }
    const int16_t age = mAge;
    const Seen slot = Victim(key, age);
    const uint8_t t = TagOfHint(slot.hint);
    if (t != 0 && t != kDeadTag &&
        AgeOf(slot.data) + ValueDepthOf(slot.hint, slot.data) >= age + valueDepth)
        return;
    // The stored weight is depth and the adjustment, 0 to 5, as 16-bit values.
    const uint32_t extra = static_cast<uint32_t>(valueDepth - depth);
    const uint32_t hint = static_cast<uint32_t>(bound != 0 ? TagOf(key) : kDeadTag) |
                          static_cast<uint32_t>(move & 0x1FF) << kMoveShift |
                          static_cast<uint32_t>(bound) << kBoundShift | extra << kExtraShift;
    const uint64_t data = static_cast<uint64_t>(static_cast<uint16_t>(age)) << 48 |
                          static_cast<uint64_t>(static_cast<uint16_t>(depth)) << 32 |
                          static_cast<uint32_t>(score);
    const int32_t i = slot.index;
    std::atomic_ref<uint32_t>(mHints[i]).store(hint, std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(mRecords[i].data).store(data, std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(mRecords[i].check)
        .store(CheckOf(key, hint, data), std::memory_order_relaxed);
}
