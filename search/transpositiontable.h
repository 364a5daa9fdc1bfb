#pragma once

#include <cstdint>
#include <memory>

#include "board/coord.h"

// One stored search result, 24 bytes:
//
//   offset  0  key         u64  Zobrist hash of the position
//           8  depth       i16  nominal depth searched
//          10  age         i16  move count of the engine's game when stored
//          12  bound       u8   0 empty, bit 0 upper bound, bit 1 lower bound
//          13  (padding)
//          14  valueDepth  i16  replacement weight
//          16  score       i32  for the side to move in that position
//          20  move        u16  best move, kNoCell = none
//          22  (padding)
struct HashEntry {
    uint64_t key;
    int16_t depth;
    int16_t age;
    uint8_t bound;
    int16_t valueDepth;
    int32_t score;
    uint16_t move;
};
static_assert(sizeof(HashEntry) == 24);

constexpr uint8_t kBoundUpper = 1;  // true score <= stored score
constexpr uint8_t kBoundLower = 2;  // true score >= stored score
constexpr uint8_t kBoundExact = 3;  // both

// Open addressing over short runs of slots. Entries carry the game's move count,
// so results from earlier positions of the game give way first.
class TranspositionTable {
  public:
    static constexpr int32_t kRunLength = 10;

    // Slots start as zeroed pages that the system hands out untouched, so that even
    // a table of gigabytes costs nothing until it fills: creating or clearing it
    // never eats into a move's time. An all-zero slot (bound 0) is empty.
    explicit TranspositionTable(int32_t entries);
    ~TranspositionTable();
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    void ClearTable();

    // Index of the slot a store of this key should go to.
    int32_t FindSlot(uint64_t key, int16_t age) const;

    // The live entry of this key, or nullptr.
    const HashEntry* Lookup(uint64_t key) const;

    // On a hit hands back the stored move, bound and score and narrows the window
    // (alpha == beta afterwards means a cutoff). On a miss sets move to kNoCell and
    // bound to 0 and leaves the rest alone.
    bool ProbeHash(uint64_t key, int32_t depth, int32_t& alpha, int32_t& beta, CellIndex& move,
                   uint8_t& bound, int32_t& score) const;

    // Stores unless the slot FindSlot picks holds something worth at least as much;
    // an empty slot always takes the store.
    // age is the move count of the engine's own board, not of the searched one.
    void RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound, CellIndex move,
                    int16_t age);

    // Narrows (lo, hi) with the entry as a probe of the given depth does: only when
    // the entry is deep enough or decisive; an exact decisive score fixes both.
    static void NarrowWindow(const HashEntry& entry, int32_t depth, int32_t& lo, int32_t& hi);

    int32_t Size() const { return mSize; }
    const HashEntry& At(int32_t index) const { return mSlots[index]; }

  private:
    int32_t RunBegin(uint64_t key) const {
        return static_cast<int32_t>(key % static_cast<uint64_t>(mSize));
    }
    // Runs never wrap: they stop early at the last slot.
    int32_t RunEnd(int32_t begin) const {
        return begin + kRunLength < mSize ? begin + kRunLength : mSize;
    }

    int32_t mSize;
    HashEntry* mSlots = nullptr;
};
