#include "tests/counterqueries.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/threatlist.h"
#include "board_reference.h"
#include "search/evaluate.h"

namespace {

using boardref::At;
using boardref::BoardTest;
using boardref::SetUpDiagram;

std::string ErrorOf(void (*f)()) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

TEST(CounterIndexTest, ReadsTheNumberAfterThePrefix) {
    EXPECT_EQ(CounterIndex("combCounter7", "combCounter"), 7);
    EXPECT_EQ(CounterIndex("combCounter", "combCounter"), 0);
    EXPECT_EQ(CounterIndex("inflCounter7", "combCounter"), -1);
    EXPECT_EQ(CounterIndex("combCounter17", "combCounter"), 17);
    EXPECT_EQ(CounterIndex("combCounter12x", "combCounter"), 12) << "digits up to the first other";
    EXPECT_EQ(CounterIndex("comb", "combCounter"), -1) << "shorter than the prefix";
    EXPECT_EQ(CounterIndex("xcombCounter3", "combCounter"), -1);
}

TEST(CounterWeightTest, NamedWeights) {
    EXPECT_EQ(CounterWeight("combCounter0", 0), -5400.0) << "three times the opponent weight";
    EXPECT_EQ(CounterWeight("combCounter0", 1), 1000000.0);
    EXPECT_EQ(CounterWeight("combCounter8", 1), 730.0);
    EXPECT_EQ(CounterWeight("combCounter17", 0), 3.0);
    EXPECT_EQ(CounterWeight("inflCounter10", 1), 41.0);
    EXPECT_EQ(CounterWeight("inflCounter10", 0), -33.0);
    EXPECT_EQ(CounterWeight("inflCounter2", 0), -5.0);
    EXPECT_EQ(CounterWeight("inflCounter17", 1), 0.0);
    EXPECT_EQ(CounterWeight("someCounter3", 1), 0.0);
    EXPECT_EQ(CounterWeight("", 0), 0.0);
    EXPECT_EQ(ErrorOf([] { CounterWeight("inflCounter18", 1); }), "inclCount >= inflCounterMax");
}

TEST(CounterWeightTest, WeightTables) {
    // The evaluation relies on these exact values; a few that stand out.
    EXPECT_EQ(ownWeight[k2xThree], 730);
    EXPECT_GT(ownWeight[k2xThree], ownWeight[kFour]) << "not monotonic in the category";
    EXPECT_EQ(ownWeight[kImpossible], -1);
    EXPECT_EQ(oppWeight[kStraightFourFour], -1450);
    EXPECT_EQ(oppWeight[kImpossible], 1);
    EXPECT_EQ(inflWeightOwn[kStraightFour], 13);
    EXPECT_EQ(inflWeightOpp[kFour], -20);
    for (int k = kThreeDef; k < kCategoryCount; ++k) {
        EXPECT_EQ(inflWeightOwn[k], 0) << k;
        EXPECT_EQ(inflWeightOpp[k], 0) << k;
    }
}

TEST(CategoryNameTest, NamesAndOverflow) {
    EXPECT_STREQ(CategoryName(0), "Win");
    EXPECT_STREQ(CategoryName(kFourDevelopThree), "FourDevelopThree");
    EXPECT_STREQ(CategoryName(17), "Impossible");
    EXPECT_EQ(ErrorOf([] { CategoryName(18); }), "Category index overflow.");
}

TEST_F(BoardTest, CounterCellsOnEmptyBoard) {
    BoardAI board;
    std::vector<CellIndex> all(Coord::area);
    for (uint32_t z = 0; z < Coord::area; ++z) all[z] = static_cast<CellIndex>(z);
    EXPECT_EQ(CategoryCounterCells(board, "combCounter16", 1), all);
    EXPECT_EQ(CounterCells(board, "combCounter16", 0), all)
        << "the threat-list query falls back to the category lists";
    EXPECT_TRUE(CounterCells(board, "combCounter17", 1).empty());
    EXPECT_TRUE(CounterCells(board, "combCounter18", 1).empty()) << "no such list";
    for (const char* name : {"inflCounter0", "inflCounter8", "inflCounter16"}) {
        EXPECT_TRUE(CounterCells(board, name, 1).empty()) << name;
        EXPECT_TRUE(CategoryCounterCells(board, name, 1).empty()) << name;
    }
    EXPECT_TRUE(CounterCells(board, "other", 1).empty());
}

TEST_F(BoardTest, CounterCellsFollowTheSides) {
    // X: an open three in the row. O to move: side 1 is O, side 0 is X.
    BorderListBoard board;
    SetUpDiagram(board, {"XXX"}, 8, 10, 2);
    ListBoard& base = board;
    const std::vector<CellIndex> xFours = CategoryCounterCells(base, "combCounter3", 0);
    EXPECT_EQ(std::set<CellIndex>(xFours.begin(), xFours.end()),
              (std::set<CellIndex>{At(7, 10), At(11, 10)}));
    EXPECT_TRUE(CategoryCounterCells(base, "combCounter3", 1).empty());
    // In list order: from the head along the forward links.
    std::vector<CellIndex> walked;
    for (uint16_t z = board.mNext1[kNoCell + kStraightFour]; z < kNoCell; z = board.mNext1[z])
        walked.push_back(z);
    EXPECT_EQ(xFours, walked);
}

TEST_F(BoardTest, InfluenceCountersMatchTheThreatList) {
    BorderListBoard board;
    SetUpDiagram(board,
                 {
                     "X.X.X",
                     "X.X.X",
                     "..O..",
                     ".O.O.",
                 },
                 8, 8, 2);
    for (int side = 0; side <= 1; ++side) {
        const int player = side ? 2 : 1;
        std::array<uint32_t, kCategoryCount> expected{};
        std::vector<std::vector<CellIndex>> byPotential(kCategoryCount);
        int n = 0;
        for (const uint16_t* e = board.ThreatList(player); ThreatCell(*e) != kNoCell; ++e, ++n) {
            ++expected[ThreatPotential(*e)];
            byPotential[ThreatPotential(*e)].push_back(ThreatCell(*e));
        }
        if (side == 0) {
            EXPECT_GT(n, 10) << "X's cluster holds many threats";
        }
        EXPECT_EQ(InfluenceHistogram(board, side), expected) << "side " << side;
        for (int k = 0; k < kCategoryCount; ++k)
            EXPECT_EQ(CounterCells(board, "inflCounter" + std::to_string(k), side), byPotential[k])
                << "side " << side << " potential " << k;
    }
    // The counters read the board's cached lists, which every stone taken back
    // invalidates: they count what a fresh copy of the board counts.
    while (board.mMoveCount > 0) {
        // The diagram was set up with passes: the stone's owner takes it back.
        const CellIndex last = board.mMoves[board.mMoveCount - 1];
        if (board.mCells[last] != board.mOpponent) board.MakeMove(kPass);
        board.MakeMove(last);
        BoardAI copy = board;
        for (int side = 0; side <= 1; ++side)
            EXPECT_EQ(InfluenceHistogram(board, side), InfluenceHistogram(copy, side))
                << board.mMoveCount << " stones, side " << side;
    }
    EXPECT_EQ(InfluenceHistogram(board, 0), (std::array<uint32_t, kCategoryCount>{}));
}

}  // namespace
