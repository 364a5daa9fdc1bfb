#include "search/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "board/borderlistboard.h"
#include "board/patterntables.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "search/evaluate.h"
#include "search/score.h"
#include "search/verdicts.h"
#include "tests/board_reference.h"
#include "tests/position_builder.h"

namespace {

class MoveGenTest : public ::testing::Test {
  protected:
    void TearDown() override { boardref::EnsureTables(20, 20); }
    static std::vector<CellIndex> Listed(const BoardAI& b) {
        return std::vector<CellIndex>(b.genMoves, b.genMoves + b.genCount);
    }
};

TEST_F(MoveGenTest, OpeningMovesOn15x15) {
    boardref::EnsureTables(15, 15);
    BorderListBoard b;
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kFull), ScoreUnknown);
    ASSERT_EQ(b.genCount, 1u);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(7, 7));

    // dx = dy = 0 takes the horizontal branch towards lower x.
    b.MakeMove(Coord::xy2z(7, 7));
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kFull), ScoreUnknown);
    ASSERT_EQ(b.genCount, 1u);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(6, 7));
}

TEST_F(MoveGenTest, OpeningReplyFollowsTheFirstStoneTowardsTheCentre) {
    BoardAI b;  // 20 x 20, centre (10, 10)
    PlayMoves(b, {{10, 3}});
    GenerateMovesCore(b, GenMode::kFull);
    ASSERT_EQ(b.genCount, 1u);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(10, 4));  // |dx| < |dy|, dy > 0
}

TEST_F(MoveGenTest, TwoFivesThreatenedIsALossWithTheFirstBlockListed) {
    BoardAI b;
    // O has two separate fours; X to move.
    PlaceDiagram(b,
                 {
                     "....................",
                     ".OOOO...............",
                     "....................",
                     ".......OOOO.........",
                     "....................",
                     "X.X.X.X.X...........",
                     "....................",
                     "X.X.X.X.............",
                 },
                 1);
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kFull), ScoreLoss);
    ASSERT_GE(b.genCount, 1u);
    EXPECT_EQ(b.Category(2, b.genMoves[0]), kWin);
    EXPECT_EQ(b.genMoves[0], b.First(2, kWin));
}

TEST_F(MoveGenTest, OwnOpenFourWins) {
    BoardAI b;
    PlaceDiagram(b,
                 {
                     "....................",
                     "....XXX.............",
                     "....................",
                     "....O...O...O.......",
                 },
                 1);
    // X plays next to make an open four? No: X has three; make it four first.
    PlayMoves(b, {{7, 1}, {14, 10}});
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kFull), ScoreWin);
    ASSERT_GE(b.genCount, 1u);
    CellIndex m = b.genMoves[0];
    EXPECT_TRUE(m == Coord::xy2z(3, 1) || m == Coord::xy2z(8, 1));
}

TEST_F(MoveGenTest, OwnFiveIsPlayedFirst) {
    BoardAI b;
    PlaceDiagram(b, {"XXXX................", "OOOO................"}, 1);
    EXPECT_EQ(GenerateMoves(b, GenMode::kFull), ScoreWin);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(4, 0));
}

TEST_F(MoveGenTest, FiveThreatLeavesOnlyTheBlock) {
    BoardAI b;
    PlaceDiagram(b, {"OOOO................", "...........X........", "X.........X........."}, 1);
    int32_t v = GenerateMoves(b, GenMode::kFull);
    EXPECT_EQ(v, ScoreUnknown);
    ASSERT_EQ(b.genCount, 1u);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(4, 0));
}

TEST_F(MoveGenTest, AttackerModeWithoutFoursIsALossWithAnEmptyList) {
    BoardAI b;
    PlaceDiagram(b, {"....................", "....X.X.............", "....O..O............"}, 1);
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kVcfAttacker), ScoreLoss);
    EXPECT_EQ(b.genCount, 0u);
}

TEST_F(MoveGenTest, AttackerModeListsOnlyFours) {
    BoardAI b;
    PlaceDiagram(b,
                 {
                     "....................",
                     "....XXX.............",
                     "........O...........",
                     "....X.X.X...........",
                     "..O.................",
                 },
                 1);
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kVcfAttacker),
              ScoreWin);  // .XXX. plus one makes an open four
    b.ClearGenerated();
}

TEST_F(MoveGenTest, DefenderModeWithoutFiveThreatIsAWin) {
    BoardAI b;
    PlayMoves(b, {{5, 5}, {6, 6}, {7, 7}});
    EXPECT_EQ(GenerateMovesCore(b, GenMode::kVcfDefender), ScoreWin);
}

// Ten separate twos of the side to move, each giving a three; genLimit 3 keeps
// the three best keys in key order.
TEST_F(MoveGenTest, GenLimitKeepsTheBestKeysInOrder) {
    BoardAI b;
    PlaceDiagram(b, {"....................", ".XX.....XX..........", "....................",
                     "....................", ".XX.....XX..........", "....................",
                     "....................", ".XX.....XX..........", "....................",
                     "....................", ".XX.....XX..........", "....................",
                     "....................", ".XX.....XX..........", "....................",
                     "..............O.O.O.", "....................", "..............O.O.O.",
                     "....................", ".............O...O.O"},
                 1);
    b.genLimit = static_cast<uint32_t>(Coord::area);
    GenerateMovesCore(b, GenMode::kFull);
    std::vector<CellIndex> all;
    for (uint32_t i = 0; i < b.genCount; ++i)
        if (b.genKind[b.genMoves[i]] == kKindThreat) all.push_back(b.genMoves[i]);
    ASSERT_GE(all.size(), 4u);

    b.genLimit = 3;
    GenerateMovesCore(b, GenMode::kFull);
    std::vector<CellIndex> limited;
    for (uint32_t i = 0; i < b.genCount; ++i)
        if (b.genKind[b.genMoves[i]] == kKindThreat) limited.push_back(b.genMoves[i]);
    ASSERT_EQ(limited.size(), 3u);
    EXPECT_EQ(limited, std::vector<CellIndex>(all.begin(), all.begin() + 3));
}

TEST_F(MoveGenTest, ListingIsRepeatable) {
    auto run = [] {
        BoardAI b;
        PlayMoves(b, {{9, 9}, {10, 10}, {9, 10}, {10, 9}, {8, 11}, {11, 8}, {9, 11}});
        GenerateMoves(b, GenMode::kFull);
        return std::vector<CellIndex>(b.genMoves, b.genMoves + b.genCount);
    };
    std::vector<CellIndex> first = run();
    EXPECT_EQ(run(), first);
    EXPECT_FALSE(first.empty());
}

TEST_F(MoveGenTest, ListedMovesAreEmptyDistinctCells) {
    BorderListBoard b;
    const std::pair<int, int> game[] = {{9, 9},  {10, 10}, {9, 10}, {10, 9}, {8, 11}, {11, 8},
                                        {9, 11}, {9, 12},  {8, 10}, {7, 10}, {8, 9},  {8, 8}};
    for (auto [x, y] : game) {
        b.MakeMove(Coord::xy2z(x, y));
        for (GenMode mode :
             {GenMode::kFull, GenMode::kVcfAttacker, GenMode::kVcfDefender, GenMode::kProofAttacker,
              GenMode::kProofDefender, GenMode::kLeafThreats}) {
            GenerateMoves(b, mode);
            std::vector<CellIndex> moves(b.genMoves, b.genMoves + b.genCount);
            for (CellIndex m : moves) {
                ASSERT_LT(m, Coord::area) << "mode " << static_cast<int>(mode);
                EXPECT_EQ(b.mCells[m], 0) << "mode " << static_cast<int>(mode);
                EXPECT_TRUE(b.IsListed(m));
            }
            std::sort(moves.begin(), moves.end());
            EXPECT_EQ(std::adjacent_find(moves.begin(), moves.end()), moves.end());
        }
    }
}

TEST_F(MoveGenTest, FourPartnerCompletesTheLine) {
    BoardAI b;
    PlaceDiagram(b, {"....................", "...XXX..............", "O.O.O..............."}, 1);
    // Playing (6,1) makes XXXX with (2,1) and (7,1) open; the partner is one end.
    CellIndex partner = FourPartner(b, Coord::xy2z(6, 1), 1);
    EXPECT_TRUE(partner == Coord::xy2z(2, 1) || partner == Coord::xy2z(7, 1)) << partner;
    EXPECT_EQ(FourPartner(b, Coord::xy2z(15, 15), 1), kNoCell);
}

TEST_F(MoveGenTest, EvaluateIsAntisymmetricOnAMirroredPosition) {
    BoardAI a;
    PlaceDiagram(a, {"....................", "....XX.............."}, 1);
    BoardAI b;
    PlaceDiagram(b, {"....................", "....OO.............."}, 2);
    GenerateMovesCore(a, GenMode::kLeafThreats);
    int32_t va = Evaluate(a);
    GenerateMovesCore(b, GenMode::kLeafThreats);
    int32_t vb = Evaluate(b);
    EXPECT_EQ(va, vb);  // the same position seen by the same side
    EXPECT_GT(va, 0);
}

}  // namespace

// Decisive verdicts end the search and are reported as proven, so the generator
// claims one only where the position is decided; elsewhere it lists the move it
// would have claimed first and leaves the verdict open.
struct VerdictCase {
    const char* name;
    std::vector<std::string> rows;  // X (player 1) to move
    int32_t verdict;
    std::pair<uint32_t, uint32_t> first;
};

class GeneratorVerdicts : public MoveGenTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(GeneratorVerdicts, ClaimOnlyWhatIsDecided) {
    const VerdictCase& c = GetParam();
    const auto side = static_cast<uint32_t>(c.rows[0].size());
    boardref::EnsureTables(side, side);
    BorderListBoard b;
    PlaceDiagram(b, c.rows, 1);
    EXPECT_EQ(GenerateMoves(b, GenMode::kFull), c.verdict);
    ASSERT_GE(b.genCount, 1u);
    EXPECT_EQ(b.genMoves[0], Coord::xy2z(c.first.first, c.first.second));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneratorVerdicts,
    ::testing::Values(
        // X must block at (5,1) and then has three open-four cells, but O's four at
        // (8,10) spoils one three while X blocks (8,9), and O then stops the other.
        VerdictCase{"BlockWithOpenFourCellsIsNoProvenWin",
                    {
                        "....................",
                        "XOOOO.X.............",
                        "....................",
                        "..........X.........",
                        "....................",
                        "..........X.........",
                        "..........X.........",
                        "....................",
                        "....................",
                        "....................",
                        ".....XXX............",
                        "........O...........",
                        "........O...........",
                        "........O...........",
                        "........X...........",
                    },
                    ScoreUnknown,
                    {5, 1}},
        // After X's block at (7,7) O still makes an open four on row 8: lost.
        VerdictCase{"BlockThatLeavesAnOpenFourLoses",
                    {
                        "...............",
                        ".............X.",
                        "............X..",
                        "...............",
                        "...............",
                        ".......X.......",
                        ".......X.......",
                        "..XOOOO........",
                        "......OOO......",
                        ".....O.O.O.....",
                        "....O..O..O....",
                        "...............",
                        "...............",
                        ".X.............",
                    },
                    ScoreLoss,
                    {7, 7}},
        // The four-three at (5,5) wins: O's block at (6,5) makes nothing, and O's
        // own closed three elsewhere cannot answer the open four that follows.
        VerdictCase{"FourThreeWhoseBlockMakesNoFourWins",
                    {
                        "...............",
                        "...............",
                        "...............",
                        "...............",
                        "...............",
                        ".OXXX..........",
                        ".....X.........",
                        ".....X.........",
                        "...............",
                        "...............",
                        "...........OOOX",
                    },
                    ScoreWin,
                    {5, 5}},
        // The same four-three, but O's block at (6,5) makes a four of O's: X must
        // answer it and O then stops the three.
        VerdictCase{"FourThreeWhoseBlockMakesAFourIsOpen",
                    {
                        "...............",
                        "...............",
                        "...............",
                        "...............",
                        "...............",
                        ".OXXX..........",
                        ".....XO........",
                        ".....XO........",
                        "......O........",
                        "......X........",
                    },
                    ScoreUnknown,
                    {5, 5}}),
    [](const ::testing::TestParamInfo<VerdictCase>& info) { return std::string(info.param.name); });

namespace {

int StraightFourCells(const BoardAI& b, int player) {
    const uint16_t* n = b.Counts(player);
    return n[k2xStraightFour] + n[kStraightFourFour] + n[kStraightFour];
}

// Against an open three, with no four of its own to answer with, the side to
// move gets exactly the cells after which the opponent has no open four left:
// a missed cell hides a defence from every search, an extra one wastes width.
class DefenceListRandomTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(DefenceListRandomTest, DefencesOfAnOpenThreeAreExact) {
    std::mt19937 rng(700 + GetParam());
    int checked = 0;
    for (int game = 0; game < 400 && checked < 150; ++game) {
        BorderListBoard b(Rules::FromProtocolValue(GetParam()));
        const int stones = 5 + static_cast<int>(rng() % 20);
        for (int s = 0; s < stones; ++s) {
            CellIndex z;
            do {
                z = Coord::xy2z(5 + rng() % 10, 5 + rng() % 10);
            } while (b.mCells[z]);
            b.MakeMove(z);
            const int own = static_cast<int>(b.mToMove), opp = static_cast<int>(b.mOpponent);
            const uint16_t* oppCount = b.Counts(opp);
            bool ownFour = false;
            for (int c = kWin; c <= kFour; ++c) ownFour |= b.Counts(own)[c] > 0;
            if (ownFour || oppCount[kWin] || oppCount[kFourThree] || oppCount[k2xThree] ||
                StraightFourCells(b, opp) == 0)
                continue;
            std::vector<CellIndex> expected;
            for (uint32_t z2 = 0; z2 < Coord::area; ++z2) {
                if (b.mCells[z2]) continue;
                BorderListBoard after = b;
                after.MakeMove(static_cast<CellIndex>(z2));
                if (StraightFourCells(after, opp) == 0) expected.push_back(z2);
            }
            if (expected.empty()) continue;  // no stone stops them all: a verdict's case
            BorderListBoard copy = b;
            GenerateMovesCore(copy, GenMode::kFull);
            std::vector<CellIndex> listed(copy.genMoves, copy.genMoves + copy.genCount);
            std::sort(listed.begin(), listed.end());
            ASSERT_EQ(listed, expected) << "game " << game << " stone " << s;
            ++checked;
        }
    }
    EXPECT_GE(checked, 50) << "too few positions with an open three to answer";
}

INSTANTIATE_TEST_SUITE_P(Rules, DefenceListRandomTest, ::testing::Values(0u, 1u));

// Exact five, X to move; O's column 9 holds two open-four cells, (9,6) and
// (9,14), each with an O six away, so their defences are found by trial stones:
//
//      x=4        x=16
//   5  .....O.......
//   6  .............
//   7  .....O.......
//   8  ...XOOOOX....
//   9  .............
//  10  ..........O..
//  11  ...X.....X...
//  12  ....XOXXX....
//  13  .....O.X.....
//  14  ......X......
//  15  .....O.......
//
// The trials move the two cells to the ends of their list in turn, so a
// generator walking the live list went from one to the other for ever (a
// managed game never got its reply). Played in the game's order, as the lists'
// order depends on it. No stone stops both fours; each is answered, once.
TEST(ExactFiveDefences, TwoOpenFourCellsWithTrialStonesAreEachAnsweredOnce) {
    BorderListBoard b(Rules::FromProtocolValue(1));
    PlayMoves(b, {{12, 12}, {8, 8},  {7, 11},  {11, 8}, {10, 14}, {10, 8}, {12, 8},
                  {9, 7},   {11, 13}, {9, 15}, {8, 12}, {9, 8},   {7, 8},  {9, 13},
                  {13, 11}, {14, 10}, {10, 12}, {9, 5}, {11, 12}, {9, 12}});
    ASSERT_EQ(b.mToMove, 1u);
    ASSERT_EQ(b.Counts(2)[kStraightFour], 2u);
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (b.mCells[z]) continue;
        BorderListBoard after = b;
        after.MakeMove(static_cast<CellIndex>(z));
        ASSERT_GT(StraightFourCells(after, 2), 0) << z;
    }
    BorderListBoard copy = b;
    GenerateMovesCore(copy, GenMode::kFull);
    std::vector<CellIndex> listed(copy.genMoves, copy.genMoves + copy.genCount);
    for (CellIndex four : {Coord::xy2z(9, 6), Coord::xy2z(9, 14)})
        EXPECT_NE(std::find(listed.begin(), listed.end(), four), listed.end()) << four;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end());
}

}  // namespace
