#include "search/transpositiontable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/tablememory.h"
#include "search/score.h"

namespace {

constexpr int32_t kSize = 25;

// The n-th key whose home slot is `home` in a table of kSize entries.
uint64_t KeyAt(int32_t home, int n) {
    return static_cast<uint64_t>(home) + 1000u * kSize * (n + 1);
}

// The slot a lookup of the key finds, -1 for none.
int32_t SlotOf(const TranspositionTable& tt, uint64_t key) {
    return tt.LookupSlot(key);
}

// A store at the given generation.
void Store(TranspositionTable& tt, uint64_t key, int32_t depth, int32_t score, uint8_t bound,
           CellIndex move, int16_t age) {
    tt.SetAge(age);
    tt.RecordHash(key, depth, score, bound, move);
}

// Empty slots are all zero: bound 0 marks them, whatever key they show.
void ExpectCleared(const HashEntry& e) {
    EXPECT_EQ(e.bound, 0);
    EXPECT_EQ(e.key, 0u);
    EXPECT_EQ(e.depth, 0);
}

TEST(TranspositionTable, StartsAndClearsToEmptySlots) {
    TranspositionTable tt(kSize);
    EXPECT_EQ(tt.Size(), kSize);
    for (int32_t i = 0; i < kSize; ++i) ExpectCleared(tt.At(i));
    EXPECT_FALSE(tt.Lookup(123456789));
    // The empty board's hash is 0, the key every empty slot shows: bound 0 keeps
    // them from matching, and a store then finds its own slot again.
    EXPECT_FALSE(tt.Lookup(0));
    Store(tt, 0, 2, 9, kBoundExact, 5, 0);
    ASSERT_TRUE(tt.Lookup(0));
    EXPECT_EQ(tt.Lookup(0)->score, 9);
    tt.ClearTable();

    for (int n = 0; n < 10; ++n) Store(tt, KeyAt(3, n), 5, 7, kBoundExact, 11, 20);
    Store(tt, 123456789, 5, 7, kBoundExact, 11, 20);
    ASSERT_TRUE(tt.Lookup(123456789));
    tt.ClearTable();
    for (int32_t i = 0; i < kSize; ++i) ExpectCleared(tt.At(i));
    EXPECT_FALSE(tt.Lookup(123456789));
    EXPECT_FALSE(tt.Lookup(KeyAt(3, 0)));

    // A cleared slot takes any store, however shallow: VCF stores negative depths.
    Store(tt, KeyAt(3, 0), -9, 1, kBoundLower, kNoCell, 0);
    EXPECT_TRUE(tt.Lookup(KeyAt(3, 0)));
}

// The home slot is the key's remainder for every key and table size, the
// largest keys and the table's own multiples included.
// Sizes around the 2 MiB pages the block is aligned to and trimmed at: each block
// reads zero at both ends, takes writes there, and goes back whole; a wrong trim
// faults at the last byte or unmaps a neighbour's pages.
TEST(TableMemory, BlocksOfEverySizeAreZeroedWritableAndFreed) {
    const size_t kPage = size_t{2} << 20;
    const size_t sizes[] = {1, 4095, kPage - 1, kPage, kPage + 1, 3 * kPage + 12345};
    std::vector<std::pair<unsigned char*, size_t>> blocks;
    for (size_t bytes : sizes) {
        auto* block = static_cast<unsigned char*>(AllocateTableMemory(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        EXPECT_EQ(block[0], 0) << bytes;
        EXPECT_EQ(block[bytes / 2], 0) << bytes;
        EXPECT_EQ(block[bytes - 1], 0) << bytes;
        block[0] = block[bytes - 1] = 0xAB;
        blocks.emplace_back(block, bytes);
    }
    // Freed out of order, so that a block freeing too much would take another's pages.
    for (size_t i = 0; i < blocks.size(); i += 2)
        FreeTableMemory(blocks[i].first, blocks[i].second);
    for (size_t i = 1; i < blocks.size(); i += 2) {
        EXPECT_EQ(blocks[i].first[0], 0xAB);
        EXPECT_EQ(blocks[i].first[blocks[i].second - 1], 0xAB);
        FreeTableMemory(blocks[i].first, blocks[i].second);
    }
}

TEST(TranspositionTable, HomeSlotIsTheRemainder) {
    std::mt19937_64 rng(5);
    for (int32_t size : {1, 2, 3, 25, 1000, 65521, 4194301, 50000017}) {
        TranspositionTable tt(size);
        const uint64_t s = static_cast<uint64_t>(size);
        std::vector<uint64_t> keys = {0,
                                      1,
                                      s - 1,
                                      s,
                                      s + 1,
                                      ~0ull,
                                      ~0ull - 1,
                                      ~0ull / s * s,
                                      ~0ull / s * s - 1,
                                      1ull << 63,
                                      (1ull << 63) - 1};
        for (int i = 0; i < 2000; ++i) keys.push_back(rng() >> (i % 64));
        for (uint64_t key : keys)
            ASSERT_EQ(tt.FindSlot(key, 0), static_cast<int32_t>(key % s))
                << "size " << size << " key " << key;
    }
}

TEST(TranspositionTable, RejectsEmptyTable) {
    EXPECT_THROW(TranspositionTable(0), std::runtime_error);
    EXPECT_THROW(TranspositionTable(-5), std::runtime_error);
}

TEST(TranspositionTable, StoresAllFieldsAtTheHomeSlot) {
    TranspositionTable tt(kSize);
    Store(tt, KeyAt(7, 0), 6, -321, kBoundUpper, 399, 12);
    const std::optional<HashEntry> e = tt.Lookup(KeyAt(7, 0));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(SlotOf(tt, KeyAt(7, 0)), 7);
    EXPECT_EQ(e->key, KeyAt(7, 0));
    EXPECT_EQ(e->depth, 6);
    EXPECT_EQ(e->age, 12);
    EXPECT_EQ(e->bound, kBoundUpper);
    EXPECT_EQ(e->valueDepth, 6);
    EXPECT_EQ(e->score, -321);
    EXPECT_EQ(e->move, 399);
    EXPECT_FALSE(tt.Lookup(KeyAt(7, 1)));  // same home, other key

    // The home is the unsigned 64-bit remainder.
    Store(tt, 0xFFFFFFFFFFFFFFFFull, 1, 0, kBoundLower, 0, 0);
    EXPECT_EQ(SlotOf(tt, 0xFFFFFFFFFFFFFFFFull), 15);
}

TEST(TranspositionTable, RunsHoldTenSlotsAndNeverWrap) {
    TranspositionTable tt(kSize);
    for (int n = 0; n < 10; ++n) Store(tt, KeyAt(2, n), 5 + n, 0, kBoundLower, 0, 1);
    for (int n = 0; n < 10; ++n) EXPECT_EQ(SlotOf(tt, KeyAt(2, n)), 2 + n);
    // An eleventh key displaces the least valuable slot of the run, not slot 12.
    Store(tt, KeyAt(2, 10), 30, 0, kBoundLower, 0, 1);
    EXPECT_EQ(SlotOf(tt, KeyAt(2, 10)), 2);
    EXPECT_FALSE(tt.Lookup(KeyAt(2, 0)));
    ExpectCleared(tt.At(12));

    // Home among the last nine slots: the run stops at the last slot.
    for (int n = 0; n < 5; ++n) Store(tt, KeyAt(20, n), 5 + n, 0, kBoundLower, 0, 1);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(SlotOf(tt, KeyAt(20, n)), 20 + n);
    Store(tt, KeyAt(20, 5), 30, 0, kBoundLower, 0, 1);
    EXPECT_EQ(SlotOf(tt, KeyAt(20, 5)), 20);
    ExpectCleared(tt.At(0));
    ExpectCleared(tt.At(1));

    // Home at the last slot: a run of one.
    TranspositionTable last(kSize);
    Store(last, KeyAt(24, 0), 3, 0, kBoundLower, 0, 1);
    Store(last, KeyAt(24, 1), 4, 0, kBoundLower, 0, 1);
    EXPECT_FALSE(last.Lookup(KeyAt(24, 0)));
    EXPECT_EQ(SlotOf(last, KeyAt(24, 1)), 24);
    ExpectCleared(last.At(0));
}

TEST(TranspositionTable, FindSlotTakesFirstEmptyOwnOrOlderSlot) {
    TranspositionTable tt(kSize);
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 0), 10), 4);
    Store(tt, KeyAt(4, 0), 8, 0, kBoundLower, 0, 10);
    Store(tt, KeyAt(4, 1), 8, 0, kBoundLower, 0, 10);
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 2), 10), 6);  // first empty slot
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 1), 10), 5);  // its own slot

    // Slots 4..9 stored at move 10 (slot 7 the least valuable), 10..13 at move 9.
    for (int n = 2; n < 10; ++n) {
        Store(tt, KeyAt(4, n), n == 3 ? 1 : 8, 0, kBoundLower, 0, n < 6 ? 10 : 9);
    }
    ASSERT_EQ(SlotOf(tt, KeyAt(4, 9)), 13);
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 10), 10), 10);  // older beats less valuable
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 2), 10), 6);
    // The walk answers the older slot before reaching the key's own slot.
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 8), 10), 10);
    // At an earlier move (after a takeback) nothing is older: least valueDepth.
    EXPECT_EQ(tt.FindSlot(KeyAt(4, 10), 9), 7);

    // The newer copy, first in the run, is the one found.
    Store(tt, KeyAt(4, 8), 8, 555, kBoundLower, 0, 10);
    EXPECT_EQ(SlotOf(tt, KeyAt(4, 8)), 10);
    EXPECT_EQ(tt.Lookup(KeyAt(4, 8))->score, 555);
    EXPECT_FALSE(tt.Lookup(KeyAt(4, 6)));
}

TEST(TranspositionTable, FindSlotVictimIsFirstOfLeastValueDepth) {
    TranspositionTable tt(kSize);
    const int32_t depths[10] = {5, 3, 7, 2, 9, 2, 4, 8, 6, 3};
    for (int n = 0; n < 10; ++n) Store(tt, KeyAt(0, n), depths[n], 0, kBoundUpper, 0, 3);
    EXPECT_EQ(tt.FindSlot(KeyAt(0, 10), 3), 3);

    // All equal: the home slot.
    TranspositionTable flat(kSize);
    for (int n = 0; n < 10; ++n) Store(flat, KeyAt(10, n), 4, 0, kBoundUpper, 0, 3);
    EXPECT_EQ(flat.FindSlot(KeyAt(10, 10), 3), 10);
}

TEST(TranspositionTable, ReplacementNeedsStrictlyMoreAgePlusValueDepth) {
    TranspositionTable tt(kSize);
    const uint64_t key = KeyAt(9, 0);
    Store(tt, key, 6, 100, kBoundLower, 1, 10);

    Store(tt, key, 6, 200, kBoundLower, 2, 10);  // equal worth: refused
    EXPECT_EQ(tt.Lookup(key)->score, 100);
    Store(tt, key, 5, 200, kBoundExact, 2, 10);  // exact: 5 + 1, still equal
    EXPECT_EQ(tt.Lookup(key)->score, 100);
    Store(tt, key, 4, 200, kBoundLower, 2, 10);  // shallower: refused
    EXPECT_EQ(tt.Lookup(key)->score, 100);
    Store(tt, key, 7, 300, kBoundLower, 3, 10);  // deeper: stored
    EXPECT_EQ(tt.Lookup(key)->score, 300);
    EXPECT_EQ(tt.Lookup(key)->move, 3);

    // A later move replaces a slightly deeper old entry...
    Store(tt, key, 6, 400, kBoundUpper, 4, 12);
    EXPECT_EQ(tt.Lookup(key)->score, 400);
    EXPECT_EQ(tt.Lookup(key)->age, 12);
    // ...but not one that outweighs the age difference.
    Store(tt, key, 20, 500, kBoundUpper, 5, 12);
    Store(tt, key, 2, 600, kBoundUpper, 6, 13);
    EXPECT_EQ(tt.Lookup(key)->score, 500);

    // Equal worth over another key of a full run is refused as well.
    TranspositionTable full(kSize);
    for (int n = 0; n < 10; ++n) Store(full, KeyAt(1, n), 5, n, kBoundLower, 0, 2);
    Store(full, KeyAt(1, 10), 5, 99, kBoundLower, 0, 2);
    EXPECT_FALSE(full.Lookup(KeyAt(1, 10)));
    EXPECT_EQ(full.Lookup(KeyAt(1, 0))->score, 0);
    // An older entry anywhere in the run gives way.
    Store(full, KeyAt(1, 10), 5, 99, kBoundLower, 0, 3);
    EXPECT_EQ(SlotOf(full, KeyAt(1, 10)), 1);
    EXPECT_FALSE(full.Lookup(KeyAt(1, 0)));
}

TEST(TranspositionTable, DecisiveScoresAdjustBoundAndValueDepth) {
    struct Case {
        int32_t score;
        uint8_t bound;
        uint8_t storedBound;
        int32_t valueDepth;  // for depth 6
    };
    const Case cases[] = {
        {50, kBoundUpper, kBoundUpper, 6},        {50, kBoundLower, kBoundLower, 6},
        {50, kBoundExact, kBoundExact, 7},        {ScoreWin, kBoundLower, kBoundExact, 10},
        {ScoreWin, kBoundExact, kBoundExact, 11}, {ScoreWin, kBoundUpper, kBoundUpper, 10},
        {ScoreLoss, kBoundUpper, kBoundExact, 7}, {ScoreLoss, kBoundExact, kBoundExact, 8},
        {ScoreLoss, kBoundLower, kBoundLower, 7}, {ScoreUnknown, kBoundLower, kBoundLower, 6},
    };
    for (const Case& c : cases) {
        TranspositionTable tt(kSize);
        Store(tt, KeyAt(5, 0), 6, c.score, c.bound, 42, 1);
        const std::optional<HashEntry> e = tt.Lookup(KeyAt(5, 0));
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->bound, c.storedBound) << c.score << " bound " << int(c.bound);
        EXPECT_EQ(e->valueDepth, c.valueDepth) << c.score << " bound " << int(c.bound);
        EXPECT_EQ(e->depth, 6);
        EXPECT_EQ(e->score, c.score);
    }
}

TEST(TranspositionTable, RecordHashRefusesMovesPastNoCell) {
    TranspositionTable tt(kSize);
    EXPECT_NO_THROW(Store(tt, KeyAt(0, 0), 3, 0, kBoundLower, kNoCell, 0));
#ifndef NDEBUG
    // Only a fault of the search records anything else: debug builds stop there.
    for (CellIndex bad : {CellIndex(401), kPass, kOffBoard})
        EXPECT_DEATH(Store(tt, KeyAt(1, 0), 3, 0, kBoundLower, bad, 0), "move <= kNoCell")
            << bad;
#endif
    EXPECT_FALSE(tt.Lookup(KeyAt(1, 0)));
}

TEST(TranspositionTable, ProbeMissLeavesWindow) {
    TranspositionTable tt(kSize);
    int32_t alpha = -10, beta = 10, score = 77;
    CellIndex move = 5;
    uint8_t bound = 3;
    EXPECT_FALSE(tt.ProbeHash(KeyAt(0, 0), 1, alpha, beta, move, bound, score));
    EXPECT_EQ(move, kNoCell);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(alpha, -10);
    EXPECT_EQ(beta, 10);
}

struct NarrowCase {
    uint8_t bound;
    int32_t score;
    int32_t storedDepth;
    int32_t probeDepth;
    int32_t alpha, beta;
    int32_t wantAlpha, wantBeta;
};

// Each case through ProbeHash and through the shared narrowing helper.
void CheckNarrowing(const NarrowCase& c) {
    SCOPED_TRACE(::testing::Message() << "bound " << int(c.bound) << " score " << c.score
                                      << " window " << c.alpha << ".." << c.beta);
    TranspositionTable tt(kSize);
    const uint64_t key = KeyAt(6, 0);
    Store(tt, key, c.storedDepth, c.score, c.bound, 123, 1);

    int32_t alpha = c.alpha, beta = c.beta, score = 0;
    CellIndex move = kNoCell;
    uint8_t bound = 0;
    ASSERT_TRUE(tt.ProbeHash(key, c.probeDepth, alpha, beta, move, bound, score));
    EXPECT_EQ(move, 123);
    EXPECT_EQ(bound, tt.Lookup(key)->bound);
    EXPECT_EQ(score, c.score);
    EXPECT_EQ(alpha, c.wantAlpha);
    EXPECT_EQ(beta, c.wantBeta);

    int32_t lo = c.alpha, hi = c.beta;
    TranspositionTable::NarrowWindow(*tt.Lookup(key), c.probeDepth, lo, hi);
    EXPECT_EQ(lo, c.wantAlpha);
    EXPECT_EQ(hi, c.wantBeta);
}

TEST(TranspositionTable, ProbeNarrowsWithUpperBound) {
    const NarrowCase cases[] = {
        {kBoundUpper, -20, 4, 4, -10, 10, -10, -10},  // below the window: cutoff
        {kBoundUpper, -10, 4, 4, -10, 10, -10, -10}, {kBoundUpper, 3, 4, 4, -10, 10, -10, 3},
        {kBoundUpper, 10, 4, 4, -10, 10, -10, 10},   {kBoundUpper, 40, 4, 4, -10, 10, -10, 10},
        {kBoundUpper, 3, 4, 5, -10, 10, -10, 10},  // too shallow
        {kBoundUpper, 3, 6, 5, -10, 10, -10, 3},   // deeper than asked
    };
    for (const NarrowCase& c : cases) CheckNarrowing(c);
}

TEST(TranspositionTable, ProbeNarrowsWithLowerBound) {
    const NarrowCase cases[] = {
        {kBoundLower, 20, 4, 4, -10, 10, 10, 10},  // above the window: cutoff
        {kBoundLower, 10, 4, 4, -10, 10, 10, 10},   {kBoundLower, 3, 4, 4, -10, 10, 3, 10},
        {kBoundLower, -10, 4, 4, -10, 10, -10, 10}, {kBoundLower, -40, 4, 4, -10, 10, -10, 10},
        {kBoundLower, 3, 3, 4, -10, 10, -10, 10},  // too shallow
    };
    for (const NarrowCase& c : cases) CheckNarrowing(c);
}

TEST(TranspositionTable, ProbeNarrowsWithExactScore) {
    const NarrowCase cases[] = {
        {kBoundExact, 3, 4, 4, -10, 10, 3, 10},  // inside: only alpha moves
        {kBoundExact, -10, 4, 4, -10, 10, -10, -10}, {kBoundExact, -30, 4, 4, -10, 10, -10, -10},
        {kBoundExact, 10, 4, 4, -10, 10, 10, 10},    {kBoundExact, 30, 4, 4, -10, 10, 10, 10},
        {kBoundExact, 3, 2, 4, -10, 10, -10, 10},  // too shallow
    };
    for (const NarrowCase& c : cases) CheckNarrowing(c);
}

TEST(TranspositionTable, ProvenResultsEndProbesAtAnyDepth) {
    const NarrowCase cases[] = {
        // Stored as exact ScoreWin, the way a won cutoff is recorded.
        {kBoundLower, ScoreWin, 1, 50, -100, 100, ScoreWin, ScoreWin},
        {kBoundExact, ScoreWin, 1, 50, ScoreLoss, ScoreWin, ScoreWin, ScoreWin},
        {kBoundExact, ScoreWin, 1, 1, -100, 100, ScoreWin, ScoreWin},
        {kBoundUpper, ScoreLoss, 1, 50, -100, 100, ScoreLoss, ScoreLoss},
        {kBoundExact, ScoreLoss, 1, 50, ScoreLoss, ScoreWin, ScoreLoss, ScoreLoss},
        // Not proven: an upper bound of a win says nothing.
        {kBoundUpper, ScoreWin, 1, 50, -100, 100, -100, 100},
    };
    for (const NarrowCase& c : cases) CheckNarrowing(c);
}

}  // namespace
