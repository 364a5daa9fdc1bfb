#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "board/coord.h"

// A copy of one stored search result, as a probe hands it out:
//
//   offset  0  key         u64  Zobrist hash of the position
//           8  depth       i16  nominal depth searched
//          10  age         i16  the table's generation when stored
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

// Open addressing over short runs of slots. Entries carry the table's
// generation, so results stored for earlier positions of the game give way first.
//
// Sharing. Any number of threads may probe and store at once, without locks:
// every word of a slot is read and written as a relaxed atomic, and a slot's
// check word is its key XOR its other words, so a probe that reads words of
// two different stores (a torn read) finds no key it asks for and misses. A
// probe hands out a copy, never a reference into the table. Two stores racing
// for one slot can leave a slot that matches no key: it is lost, not wrong.
// What a hit yields is a position's result only up to a 64-bit hash collision,
// so callers check that the stored move is legal before playing it. Creating,
// clearing and SetAge are for the owner alone, while no search runs.
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

    // The generation that stores are stamped with: the move count of the
    // engine's own board, set by the owner before each search.
    void SetAge(int16_t age) { mAge = age; }
    int16_t Age() const { return mAge; }

    // Index of the slot a store of this key at this generation should go to.
    int32_t FindSlot(uint64_t key, int16_t age) const { return Victim(key, age).index; }

    // A copy of the live entry of this key, if there is one.
    std::optional<HashEntry> Lookup(uint64_t key) const {
        const Seen seen = Find(key);
        if (seen.index < 0) return std::nullopt;
        return Decode(key, seen.data, seen.extra);
    }
    // The slot of the live entry of this key, or -1.
    int32_t LookupSlot(uint64_t key) const { return Find(key).index; }

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

    // Stores at the table's generation unless the slot FindSlot picks holds
    // something worth at least as much; an empty slot always takes the store.
    void RecordHash(uint64_t key, int32_t depth, int32_t score, uint8_t bound, CellIndex move);

    // Narrows (lo, hi) with the entry as a probe of the given depth does: only when
    // the entry is deep enough or decisive; an exact decisive score fixes both.
    static void NarrowWindow(const HashEntry& entry, int32_t depth, int32_t& lo, int32_t& hi);

    int32_t Size() const { return mSize; }
    // Slot index as it reads now, whatever it holds (an empty slot shows key 0).
    HashEntry At(int32_t index) const {
        // A cleared slot keeps its old words behind a zero tag.
        if (LoadTag(index) == 0) return HashEntry{0, 0, 0, 0, 0, 0, 0};
        const uint64_t data = LoadData(index);
        const uint16_t extra = LoadExtra(index);
        return Decode(KeyOf(LoadCheck(index), data, extra), data, extra);
    }

  private:
    static constexpr size_t kClearInPlaceBytes = size_t{128} << 20;

    // A slot is three words in three blocks: a tag byte, a 16-byte record and a
    // 16-bit extra word.
    //
    // The tags, one byte a slot, tell at once which slots of a run can hold a
    // key, so that a probe that misses reads one cache line instead of four or
    // five. A tag is only a hint, derived from the key: the record's check
    // decides.
    //
    //   tag: 0 empty (never stored, or cleared); odd: a live entry, 1 | the key's
    //   top 7 bits << 1; kDeadTag: a slot stored with bound 0 (empty, key kept).
    static constexpr uint8_t kDeadTag = 2;

    // The record, aligned so that it never straddles a cache line; it holds
    // what the choice of a slot to replace reads.
    //
    // data:
    //   63           48 47          32 31                           0
    //   +--------------+--------------+-----------------------------+
    //   |  valueDepth  |     age      |            score            |
    //   +--------------+--------------+-----------------------------+
    //
    // check: key ^ data ^ extra * kExtraMix. The key a reader recovers is the
    // one stored only when all three words are of one store: words of two
    // stores of other keys differ by a random key difference, and the product
    // spreads the extra word over all 64 bits, so that its difference (a few
    // low bits) never cancels a data difference (score, weight) of two stores of
    // one key.
    struct alignas(16) Record {
        uint64_t check;
        uint64_t data;
    };

    // extra:
    //   15  14 13      11 10     9 8                    0
    //   +------+----------+--------+--------------------+
    //   | zero | vd-depth |  bound |        move        |
    //   +------+----------+--------+--------------------+
    //
    //   vd-depth: valueDepth - depth, 0 to 5 (the bound's and the score's
    //   adjustments), so depth = valueDepth - vd-depth as 16-bit values.
    static constexpr int kBoundShift = 9;
    static constexpr int kExtraShift = 11;
    static constexpr uint64_t kExtraMix = 0x9E3779B97F4A7C15ull;  // odd: one-to-one

    // A slot as one walk read it: its index and the words seen then.
    struct Seen {
        int32_t index;
        uint64_t data;
        uint16_t extra;
    };

    static uint64_t KeyOf(uint64_t check, uint64_t data, uint16_t extra) {
        return check ^ data ^ extra * kExtraMix;
    }
    static uint8_t TagOf(uint64_t key) { return static_cast<uint8_t>(key >> 57 << 1 | 1); }
    static int16_t AgeOf(uint64_t data) { return static_cast<int16_t>(data >> 32); }
    static int16_t ValueDepthOf(uint64_t data) { return static_cast<int16_t>(data >> 48); }
    static HashEntry Decode(uint64_t key, uint64_t data, uint16_t extra) {
        const int16_t valueDepth = ValueDepthOf(data);
        return HashEntry{key,
                         static_cast<int16_t>(valueDepth - (extra >> kExtraShift)),
                         AgeOf(data),
                         static_cast<uint8_t>(extra >> kBoundShift & 3),
                         valueDepth,
                         static_cast<int32_t>(static_cast<uint32_t>(data)),
                         static_cast<uint16_t>(extra & 0x1FF)};
    }

    uint8_t LoadTag(int32_t i) const {
        return std::atomic_ref<uint8_t>(mTags[i]).load(std::memory_order_relaxed);
    }
    uint64_t LoadCheck(int32_t i) const {
        return std::atomic_ref<uint64_t>(mRecords[i].check).load(std::memory_order_relaxed);
    }
    uint64_t LoadData(int32_t i) const {
        return std::atomic_ref<uint64_t>(mRecords[i].data).load(std::memory_order_relaxed);
    }
    uint16_t LoadExtra(int32_t i) const {
        return std::atomic_ref<uint16_t>(mExtras[i]).load(std::memory_order_relaxed);
    }

    // The live slot of this key as read; index -1 when none, or when the first
    // slot of the key holds bound 0.
    Seen Find(uint64_t key) const;
    Seen Victim(uint64_t key, int16_t age) const;

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
    int16_t mAge = 0;
    unsigned __int128 mModMagic;
    // One block: the tags, the extra words, then from a cache line on the records.
    uint8_t* mTags = nullptr;
    uint16_t* mExtras = nullptr;
    Record* mRecords = nullptr;
    size_t mBytes = 0;
};

// The first slot of the run holding the key decides: a miss when its bound is
// 0. Cleared slots hold key 0 and come after every live slot of key 0 in its
// run (a store takes the first empty slot), so only a slot stored with bound 0
// can stop the walk. A slot whose words are of two stores shows a key nobody
// stored and is passed over.
inline TranspositionTable::Seen TranspositionTable::Find(uint64_t key) const {
    const uint8_t tag = TagOf(key);
    const int32_t begin = RunBegin(key);
    const int32_t end = RunEnd(begin);
    for (int32_t i = begin; i < end; ++i) {
        const uint8_t t = LoadTag(i);
        if (t != tag && t != kDeadTag) continue;
        const uint64_t check = LoadCheck(i);
        const uint64_t data = LoadData(i);
        const uint16_t extra = LoadExtra(i);
        if (KeyOf(check, data, extra) != key) continue;
        return Seen{(extra >> kBoundShift & 3) == 0 ? -1 : i, data, extra};
    }
    return Seen{-1, 0, 0};
}
