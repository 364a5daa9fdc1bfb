#pragma once

#include <cstdint>
#include <memory>
#include <optional>

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

// The table keeps a run of tags (one byte a slot) beside the slots' records,
// so that a probe tells at once which slots can hold its key: one that misses
// reads one cache line instead of four or five, and a store writes two. 22
// bytes a slot, no more than a 24-byte entry.
//
//   tag: 0 empty (never stored, or cleared); odd: a live entry, 1 | the key's
//   top 7 bits << 1; kDeadTag: a slot stored with bound 0 (empty, key kept).
struct [[gnu::packed]] HashRecord {
    uint64_t key;
    int16_t age;
    int16_t valueDepth;
    int32_t score;
    int16_t depth;
    uint16_t move;
    uint8_t bound;
};
static_assert(sizeof(HashRecord) == 21);

constexpr uint8_t kBoundUpper = 1;  // true score <= stored score
constexpr uint8_t kBoundLower = 2;  // true score >= stored score
constexpr uint8_t kBoundExact = 3;  // both

// Open addressing over short runs of slots. Entries carry the game's move count,
// so results from earlier positions of the game give way first.
class TranspositionTable {
  public:
    static constexpr int32_t kRunLength = 10;

    // Slots start as zeroed pages that the system hands out untouched, so that even
    // a table of gigabytes costs nothing until it fills; clearing zeroes up to
    // 128 MiB of tags in place (under a millisecond for a 100 MiB table) and
    // gives a larger table fresh pages. A slot whose tag is 0 is empty, and
    // reads as all zero.
    explicit TranspositionTable(int32_t entries);
    ~TranspositionTable();
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    void ClearTable();

    // Index of the slot a store of this key should go to.
    int32_t FindSlot(uint64_t key, int16_t age) const;

    // A copy of the live entry of this key, if there is one.
    std::optional<HashEntry> Lookup(uint64_t key) const {
        const int32_t slot = LookupSlot(key);
        if (slot < 0) return std::nullopt;
        return At(slot);
    }
    // The slot of the live entry of this key, or -1.
    int32_t LookupSlot(uint64_t key) const;

    // On a hit hands back the stored move, bound and score and narrows the window
    // (alpha == beta afterwards means a cutoff). On a miss sets move to kNoCell and
    // bound to 0 and leaves the rest alone.
    bool ProbeHash(uint64_t key, int32_t depth, int32_t& alpha, int32_t& beta, CellIndex& move,
                   uint8_t& bound, int32_t& score) const;

    // Starts fetching the tags of this key's run into the cache, so that a
    // Lookup of it soon after does not wait for memory.
    void Prefetch(uint64_t key) const {
        const int32_t begin = RunBegin(key);
        __builtin_prefetch(mTags + begin);
        __builtin_prefetch(mTags + RunEnd(begin) - 1);
    }

    // Stores unless the slot FindSlot picks holds something worth at least as much;
    // an empty slot always takes the store.
    // age is the move count of the engine's own board, not of the searched one.
    void RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound, CellIndex move,
                    int16_t age);

    // Narrows (lo, hi) with the entry as a probe of the given depth does: only when
    // the entry is deep enough or decisive; an exact decisive score fixes both.
    static void NarrowWindow(const HashEntry& entry, int32_t depth, int32_t& lo, int32_t& hi);

    int32_t Size() const { return mSize; }
    HashEntry At(int32_t index) const {
        // A cleared slot keeps its old record behind a zero tag.
        if (mTags[index] == 0) return HashEntry{0, 0, 0, 0, 0, 0, 0};
        const HashRecord& r = mRecords[index];
        return HashEntry{r.key, r.depth, r.age, r.bound, r.valueDepth, r.score, r.move};
    }

  private:
    static constexpr size_t kClearInPlaceBytes = size_t{128} << 20;
    static constexpr uint8_t kDeadTag = 2;
    static uint8_t TagOf(uint64_t key) { return static_cast<uint8_t>(key >> 57 << 1 | 1); }
    // key % mSize without a division: with M = ceil(2^128 / mSize), the low 128
    // bits of M * key are the fraction key / mSize, and its product with mSize
    // has the remainder in the top 64 bits (exact for every 64-bit key).
    int32_t RunBegin(uint64_t key) const {
        const unsigned __int128 fraction = mModMagic * key;
        const uint64_t low = static_cast<uint64_t>(fraction);
        const uint64_t high = static_cast<uint64_t>(fraction >> 64);
        const uint64_t size = static_cast<uint64_t>(mSize);
        const unsigned __int128 top = (static_cast<unsigned __int128>(low) * size >> 64) +
                                      static_cast<unsigned __int128>(high) * size;
        return static_cast<int32_t>(top >> 64);
    }
    // Runs never wrap: they stop early at the last slot.
    int32_t RunEnd(int32_t begin) const {
        return begin + kRunLength < mSize ? begin + kRunLength : mSize;
    }

    void Allocate();
    void Release();

    int32_t mSize;
    unsigned __int128 mModMagic;
    // One block: the tags, then from a cache line on the records.
    uint8_t* mTags = nullptr;
    HashRecord* mRecords = nullptr;
    size_t mBytes = 0;
};
