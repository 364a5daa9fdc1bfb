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
    const size_t tags = (n + 63) & ~size_t{63};
    const size_t extras = (n * sizeof(uint16_t) + 63) & ~size_t{63};
    mBytes = tags + extras + n * sizeof(Record);
    char* block = static_cast<char*>(AllocateTableMemory(mBytes));
    if (!block) throw std::bad_alloc();
    mTags = reinterpret_cast<uint8_t*>(block);
    mExtras = reinterpret_cast<uint16_t*>(block + tags);
    mRecords = reinterpret_cast<Record*>(block + tags + extras);
}

void TranspositionTable::Release() {
    FreeTableMemory(mTags, mBytes);
    mTags = nullptr;
    mExtras = nullptr;
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
TranspositionTable::Seen TranspositionTable::Victim(uint64_t key, int16_t age) const {
    const uint8_t tag = TagOf(key);
    const int32_t begin = RunBegin(key);
    const int32_t end = RunEnd(begin);
    Seen victim{begin, 0, 0};
    int32_t smallest = INT32_MAX;
    for (int32_t i = begin; i < end; ++i) {
        const uint8_t t = LoadTag(i);
        if (t == 0 || t == kDeadTag) return Seen{i, 0, 0};
        const uint64_t data = LoadData(i);
        if (t == tag && KeyOf(LoadCheck(i), data, LoadExtra(i)) == key) return Seen{i, data, 0};
        if (AgeOf(data) < age) return Seen{i, data, 0};
        const int16_t valueDepth = ValueDepthOf(data);
        if (valueDepth < smallest) {
            smallest = valueDepth;
            victim = Seen{i, data, 0};
        }
    }
    return victim;
}

bool TranspositionTable::ProbeHash(uint64_t key, int32_t depth, int32_t& alpha, int32_t& beta,
                                   CellIndex& move, uint8_t& bound, int32_t& score) const {
    const Seen seen = Find(key);
    if (seen.index < 0) {
        move = kNoCell;
        bound = 0;
        return false;
    }
    const HashEntry e = Decode(key, seen.data, seen.extra);
    move = e.move;
    bound = e.bound;
    score = e.score;
    NarrowWindow(e, depth, alpha, beta);
    return true;
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
    const int32_t i = slot.index;
    const uint8_t t = LoadTag(i);
    if (t != 0 && t != kDeadTag && AgeOf(slot.data) + ValueDepthOf(slot.data) >= age + valueDepth)
        return;
    // The weight and the depth as 16-bit values, the depth as the weight less
    // the adjustment (0 to 5).
    const uint64_t data = static_cast<uint64_t>(static_cast<uint16_t>(valueDepth)) << 48 |
                          static_cast<uint64_t>(static_cast<uint16_t>(age)) << 32 |
                          static_cast<uint32_t>(score);
    const uint16_t extra = static_cast<uint16_t>((valueDepth - depth) << kExtraShift |
                                                 (bound & 3) << kBoundShift | (move & 0x1FF));
    std::atomic_ref<uint8_t>(mTags[i]).store(bound != 0 ? TagOf(key) : kDeadTag,
                                             std::memory_order_relaxed);
    std::atomic_ref<uint16_t>(mExtras[i]).store(extra, std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(mRecords[i].data).store(data, std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(mRecords[i].check)
        .store(key ^ data ^ extra * kExtraMix, std::memory_order_relaxed);
}
