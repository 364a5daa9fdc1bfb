#include "board/threatlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/coord.h"
#include "board/listboard.h"
#include "board/patterntables.h"
#include "board_reference.h"

namespace {

using boardref::At;
using boardref::BoardTest;
using boardref::SetUpDiagram;

struct Entry {
    CellIndex cell;
    uint32_t strength;
    uint32_t potential;
    bool operator<(const Entry& o) const {
        return std::tie(cell, strength, potential) < std::tie(o.cell, o.strength, o.potential);
    }
    bool operator==(const Entry& o) const {
        return cell == o.cell && strength == o.strength && potential == o.potential;
    }
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "(" << e.cell % Coord::width << "," << e.cell / Coord::width << " s" << e.strength
              << " p" << e.potential << ")";
}

std::vector<Entry> Entries(const uint16_t* list) {
    std::vector<Entry> out;
    for (; ThreatCell(*list) != kNoCell && out.size() <= kMaxArea; ++list)
        out.push_back({ThreatCell(*list), ThreatStrength(*list), ThreatPotential(*list)});
    return out;
}

std::vector<CellIndex> Defence(BoardAI& board, CellIndex cell, int minGain) {
    CellIndex out[kMaxArea];
    const int n = board.DefenceMoves(cell, out, 0, false, minGain);
    return std::vector<CellIndex>(out, out + n);
}

// --- A slow threat list, straight from its definition --------------------------

uint32_t WithLine(uint32_t word, int d, uint32_t value) {
    const uint32_t shift = 5 * static_cast<uint32_t>(d);
    return combinedCategory[(word & ~(31u << shift)) | value << shift];
}

// The pattern word with a stone of `player` at signed distance `dist`.
uint32_t WithStone(uint32_t word, int dist, int player) {
    const int slot = dist < 0 ? dist + 5 : dist + 4;
    return (word & ~(3u << (2 * slot))) | static_cast<uint32_t>(player) << (2 * slot);
}

std::vector<Entry> ReferenceThreatList(const ListBoard& board, int player) {
    static constexpr uint32_t kOrder[] = {0, 1, 2, 3, 4, 8, 5, 6, 9, 7, 10};
    const uint8_t* table = board.Patterns().LineTable(player);
    struct Item {
        CellIndex cell;
        uint32_t copy[4];
        int counter;
    };
    std::vector<Item> items;
    for (uint32_t c : kOrder) {
        const uint16_t* next = board.Next(player);
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            Item item{z, {}, 0};
            for (int d = 0; d < 4; ++d) item.copy[d] = board.mLinePattern[z * 4 + d];
            items.push_back(item);
        }
    }
    // What a stone on `from` does for the category of `to`, on their line d.
    auto gain = [&](CellIndex from, CellIndex to, int d) {
        const uint32_t word = board.mCategoryWord[to][player - 1];
        const uint32_t line =
            table[WithStone(board.mLinePattern[to * 4 + d], Coord::Dist(to, from), player)];
        return static_cast<int>(combinedCategory[word]) - static_cast<int>(WithLine(word, d, line));
    };
    std::vector<uint32_t> strength(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        for (size_t j = i + 1; j < items.size(); ++j) {
            const CellIndex a = items[i].cell, b = items[j].cell;
            const int d = static_cast<int>(Coord::Dir(a, b));
            if (d > 3 || std::abs(Coord::Dist(a, b)) > 3) continue;
            if (WithLine(board.mCategoryWord[a][player - 1], d, kImpossible) >= 11) continue;
            if (WithLine(board.mCategoryWord[b][player - 1], d, kImpossible) > 10) continue;
            items[j].copy[d] = WithStone(items[j].copy[d], Coord::Dist(b, a), player);
            items[i].copy[d] = WithStone(items[i].copy[d], Coord::Dist(a, b), player);
            items[i].counter += gain(a, b, d);
            items[j].counter += gain(b, a, d);
        }
        if (items[i].counter <= 0) {
            // The last entry takes the slot and is paired from there.
            items[i] = items.back();
            items.pop_back();
            --i;
            continue;
        }
        strength[i] = static_cast<uint32_t>(std::min(items[i].counter, 4));
    }
    std::vector<Entry> out;
    for (size_t i = 0; i < items.size(); ++i) {
        uint32_t word = 0;
        for (int d = 0; d < 4; ++d) word |= uint32_t(table[items[i].copy[d]]) << (5 * d);
        uint32_t pc = combinedCategory[word];
        const uint32_t c = board.Category(player, items[i].cell);
        if (pc < 4 && c >= 4)
            pc = 4;
        else if (c >= 8 && pc < 8)
            pc = 8;
        out.push_back({items[i].cell, strength[i], pc});
    }
    return out;
}

class ThreatListRandomTest : public ::testing::TestWithParam<uint32_t> {
  protected:
};

// Random clustered positions: the cached list equals the slow one, entry by
// entry and in order, for both players.
TEST_P(ThreatListRandomTest, MatchesSlowDefinition) {
    std::mt19937 rng(100 + GetParam());
    int nonEmpty = 0;
    for (int game = 0; game < 30; ++game) {
        BorderListBoard board(Rules::FromProtocolValue(GetParam()));
        const int stones = 4 + static_cast<int>(rng() % 30);
        for (int s = 0; s < stones; ++s) {
            CellIndex z;
            do {
                const int x = 6 + static_cast<int>(rng() % 8), y = 6 + static_cast<int>(rng() % 8);
                z = At(x, y);
            } while (board.mCells[z]);
            board.MakeMove(z);
            for (int p = 1; p <= 2; ++p) {
                const std::vector<Entry> expected = ReferenceThreatList(board, p);
                ASSERT_EQ(Entries(board.ThreatList(p)), expected)
                    << "game " << game << " stone " << s << " player " << p;
                nonEmpty += !expected.empty();
            }
        }
    }
    EXPECT_GT(nonEmpty, 100) << "the positions should hold real threats";
}

INSTANTIATE_TEST_SUITE_P(Rules, ThreatListRandomTest, ::testing::Values(0u, 1u));

// --- Threat list ---------------------------------------------------------------

TEST_F(BoardTest, ThreatListsAreCachedPerBoardUntilAStoneChangesIt) {
    BorderListBoard board;
    const uint16_t* list1 = board.ThreatList(1);
    EXPECT_EQ(list1[0], kNoCell);
    EXPECT_TRUE(board.ThreatListValid(1));
    EXPECT_FALSE(board.ThreatListValid(2)) << "each player's list is built when asked for";
    EXPECT_EQ(board.ThreatList(1), list1) << "served from the cache";

    // Another board's stones leave this board's lists alone, and a copy starts
    // without any.
    BoardAI other;
    other.Toggle(At(10, 10));
    EXPECT_TRUE(board.ThreatListValid(1));
    const BorderListBoard copy = board;
    EXPECT_FALSE(copy.ThreatListValid(1));

    // X's cluster X.X.X over X.X.X, O's stones far apart: every stone placed or
    // taken back invalidates both lists, a pass neither.
    const CellIndex game[] = {At(5, 5), At(15, 15), At(7, 5), At(15, 18), At(9, 5), At(18, 15),
                              At(5, 6), At(2, 17),  At(7, 6), At(17, 2),  At(9, 6), At(1, 1)};
    for (CellIndex z : game) {
        board.ThreatList(1);
        board.ThreatList(2);
        board.MakeMove(z);
        EXPECT_FALSE(board.ThreatListValid(1));
        EXPECT_FALSE(board.ThreatListValid(2));
    }
    board.ThreatList(1);
    board.MakeMove(kPass);
    EXPECT_TRUE(board.ThreatListValid(1));
    board.MakeMove(kPass);
    // The rebuilt list is the one a fresh board with these stones gives.
    BorderListBoard fresh;
    for (CellIndex z : game) fresh.MakeMove(z);
    std::vector<uint16_t> rebuilt, expected;
    for (const uint16_t* e = board.ThreatList(1); ThreatCell(*e) != kNoCell; ++e)
        rebuilt.push_back(*e);
    for (const uint16_t* e = fresh.ThreatList(1); ThreatCell(*e) != kNoCell; ++e)
        expected.push_back(*e);
    EXPECT_GT(expected.size(), 10u) << "X's cluster holds many threats";
    EXPECT_EQ(rebuilt, expected);
    board.MakeMove(At(1, 1));
    board.MakeMove(At(9, 6));
    rebuilt.clear();
    for (const uint16_t* e = board.ThreatList(1); ThreatCell(*e) != kNoCell; ++e)
        rebuilt.push_back(*e);
    EXPECT_NE(rebuilt, expected) << "a take-back is seen at once";
}

TEST_F(BoardTest, LoneThreatCellIsNotListed) {
    // (10,4) completes a five and is X's only threat cell.
    BorderListBoard board;
    SetUpDiagram(board, {"X", "X", "X", "X", ".", "O"}, 10, 0, 1);
    int threats = 0;
    for (CellIndex z = 0; z < Coord::area; ++z)
        threats += !board.mCells[z] && board.Category(1, z) <= kThree;
    ASSERT_EQ(threats, 1);
    ASSERT_EQ(board.Category(1, At(10, 4)), kWin);
    EXPECT_TRUE(Entries(board.ThreatList(1)).empty());
}

TEST_F(BoardTest, ThreatsOnlyOnTheSharedLineAreNotListed) {
    // An open two: its three-making cells all lie on its own line.
    BorderListBoard board;
    SetUpDiagram(board, {"XX"}, 9, 10, 1);
    ASSERT_EQ(board.Category(1, At(8, 10)), kThree);
    ASSERT_EQ(board.Category(1, At(11, 10)), kThree);
    EXPECT_TRUE(Entries(board.ThreatList(1)).empty());
}

TEST_F(BoardTest, ReinforcingFoursAreListed) {
    // Two columns of three X against the top edge, kept apart by O stones.
    // (10,3) and (12,3) make Fours; each one's stone adds a Two to the other's
    // row, making it FourDevelopThree. (10,4) and (12,4) are FourDevelopThree
    // already, which a Two does not improve, so they drop out.
    BorderListBoard board;
    SetUpDiagram(board, {"XOX", "XOX", "XOX"}, 10, 0, 1);
    ASSERT_EQ(board.Category(1, At(10, 3)), kFour);
    ASSERT_EQ(board.Category(1, At(12, 3)), kFour);
    ASSERT_EQ(board.Category(1, At(10, 4)), kFourDevelopThree);
    ASSERT_EQ(board.Category(1, At(12, 4)), kFourDevelopThree);
    std::vector<Entry> entries = Entries(board.ThreatList(1));
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<Entry>{{At(10, 3), 1, kFourDevelopThree},
                                           {At(12, 3), 1, kFourDevelopThree}}));
    // O's four-making cells share their column only.
    EXPECT_EQ(board.Category(2, At(11, 3)), kFour);
    EXPECT_TRUE(Entries(board.ThreatList(2)).empty());
}

TEST_F(BoardTest, DenseClusterEntriesAreSensible) {
    BorderListBoard board;
    SetUpDiagram(board, {"X.X.X", "X.X.X"}, 8, 8, 1);
    const std::vector<Entry> entries = Entries(board.ThreatList(1));
    ASSERT_FALSE(entries.empty());
    std::set<CellIndex> cells;
    uint32_t strongest = 0;
    for (const Entry& e : entries) {
        EXPECT_TRUE(cells.insert(e.cell).second) << e;
        EXPECT_EQ(board.mCells[e.cell], 0) << e;
        EXPECT_LE(board.Category(1, e.cell), kThree) << e;
        // Partners only add stones: the potential is never weaker, and a
        // cell that is no four yet counts at most as FourThree.
        EXPECT_LE(e.potential, board.Category(1, e.cell)) << e;
        if (board.Category(1, e.cell) >= kFourThree) {
            EXPECT_GE(e.potential, kFourThree) << e;
        }
        strongest = std::max(strongest, e.strength);
    }
    EXPECT_GT(strongest, 1u);
    EXPECT_EQ(entries, ReferenceThreatList(board, 1));
}

TEST_F(BoardTest, CellThatOnlyWeakensItsPartnerIsNotListed) {
    // Exactly five wins. (6,10) makes a four in the row (X.XXX*, the five at
    // (7,10)) and has a three in its column; (8,10) has one in its own column.
    // A stone on (8,10) turns that five into six, so it takes the four away:
    // its counter falls below zero, and a cell that only weakens is no threat.
    BorderListBoard board(Rules{WinRule::kExactlyFive});
    SetUpDiagram(board,
                 {".......X",  //
                  ".......X",  //
                  "........",  //
                  "X.XXX...",  //
                  "........",  //
                  ".....X..",  //
                  ".....X.."},
                 1, 7, 1);
    ASSERT_EQ(board.Category(1, At(6, 10)), kFourThree);
    ASSERT_LE(board.Category(1, At(8, 10)), kThree);
    const std::vector<Entry> entries = Entries(board.ThreatList(1));
    for (const Entry& e : entries) EXPECT_NE(e.cell, At(8, 10)) << e;
    EXPECT_EQ(entries, ReferenceThreatList(board, 1));
}

// --- Defence moves --------------------------------------------------------------

TEST_F(BoardTest, DefenceAgainstDoubleStraightFourIsTheCellOnly) {
    BoardAI board;
    SetUpDiagram(board,
                 {
                     "...X",
                     "...X",
                     "...X",
                     "XXX.",
                 },
                 7, 7, 2);
    const CellIndex cell = At(10, 10);
    ASSERT_EQ(board.Category(1, cell), k2xStraightFour);
    EXPECT_EQ(Defence(board, cell, 0), std::vector<CellIndex>{cell});

    // Without an output array the cell goes to the generated moves.
    EXPECT_EQ(board.DefenceMoves(cell, nullptr, 0, false, 0), 1);
    ASSERT_EQ(board.genCount, 1u);
    EXPECT_EQ(board.genMoves[0], cell);
    EXPECT_EQ(board.genPriority[0], 3u);
    EXPECT_EQ(board.genKind[cell], 4);
}

TEST_F(BoardTest, DefenceAgainstOpenFourInOneLine) {
    // Segment .XXX.. of X's row between two O stones; (10,10) at position 4
    // makes an open four.
    BoardAI board;
    SetUpDiagram(board, {"O.XXX..O"}, 5, 10, 2);
    const CellIndex cell = At(10, 10);
    ASSERT_EQ(board.Category(1, cell), kStraightFour);
    const std::vector<CellIndex> all = {cell, At(6, 10), At(11, 10)};
    EXPECT_EQ(Defence(board, cell, 0), all);
    EXPECT_EQ(Defence(board, cell, 1), all);
    EXPECT_EQ(Defence(board, cell, 2), std::vector<CellIndex>{cell});
    EXPECT_EQ(Defence(board, cell, 5), std::vector<CellIndex>{cell});
    EXPECT_TRUE(Defence(board, cell, 6).empty());

    EXPECT_EQ(board.DefenceMoves(cell, nullptr, 7, false, 1), 3);
    ASSERT_EQ(board.genCount, 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(board.genMoves[i], all[i]);
        EXPECT_EQ(board.genPriority[i], 3u);
        EXPECT_EQ(board.genKind[all[i]], 4);
        EXPECT_EQ(board.genFlags[all[i]] & 7, 7);
    }
}

TEST_F(BoardTest, DefenceAgainstWeakOrWinningCellIsTheCell) {
    BoardAI board;
    SetUpDiagram(board, {"XXXX."}, 6, 10, 2);
    EXPECT_EQ(Defence(board, At(10, 10), 0), std::vector<CellIndex>{At(10, 10)});
    EXPECT_EQ(Defence(board, At(15, 15), 0), std::vector<CellIndex>{At(15, 15)});
    board.DefenceMoves(At(10, 10), nullptr, 0, false, 0);
    EXPECT_EQ(board.genPriority[0], 1u);
}

TEST_F(BoardTest, DefenceAgainstFourThreeBlocksTheFourFirst) {
    // (10,10): a Four in the row (blocked by O at (6,10)) and an open Three in
    // the column. The cell, then the four's completion, then the three's ends.
    BoardAI board;
    SetUpDiagram(board,
                 {
                     "....X",
                     "....X",
                     "OXXX.",
                 },
                 6, 8, 2);
    const CellIndex cell = At(10, 10);
    ASSERT_EQ(board.Category(1, cell), kFourThree);
    EXPECT_EQ(Defence(board, cell, 0),
              (std::vector<CellIndex>{cell, At(11, 10), At(10, 7), At(10, 11)}));
}

TEST_F(BoardTest, DefenceAgainstTwoEqualLinesTakesTheSecondFirst) {
    // Two open threes, row (first) and column (second), equally far from a
    // five: the column is defended first.
    BoardAI board;
    SetUpDiagram(board,
                 {
                     "..X",
                     "..X",
                     "XX.",
                 },
                 8, 8, 2);
    const CellIndex cell = At(10, 10);
    ASSERT_EQ(board.Category(1, cell), k2xThree);
    EXPECT_EQ(Defence(board, cell, 0),
              (std::vector<CellIndex>{cell, At(10, 7), At(10, 11), At(7, 10), At(11, 10)}));

    // Two blocked fours make a StraightFour without an open-four line; the
    // later direction is taken as the first line, so the row comes first.
    BoardAI fours;
    SetUpDiagram(fours,
                 {
                     "....O",
                     "....X",
                     "....X",
                     "....X",
                     "OXXX.",
                 },
                 6, 6, 2);
    ASSERT_EQ(fours.Category(1, cell), kStraightFour);
    EXPECT_EQ(Defence(fours, cell, 0), (std::vector<CellIndex>{cell, At(11, 10), At(10, 11)}));
}

TEST_F(BoardTest, ForkWithoutThreatLineStopsDebugBuilds) {
    BoardAI board;
    board.Toggle(kPass);  // player 2 to move, defending against player 1
    const CellIndex cell = At(10, 10);
    // Line categories no real line gives: a combined StraightFourFour with no
    // line from FourThree to Three.
    board.mCategoryWord[cell][0] =
        kStraightFourFour | kImpossible << 5 | kImpossible << 10 | kImpossible << 15;
    board.mCellCategory[cell][0] = combinedCategory[board.mCategoryWord[cell][0]];
    ASSERT_EQ(board.Category(1, cell), kStraightFourFour);
#ifdef NDEBUG
    GTEST_SKIP() << "an invariant checked in debug builds only";
#else
    CellIndex out[kMaxArea];
    EXPECT_DEATH(board.DefenceMoves(cell, out, 0, false, 0), "a fork cell has a line");
#endif
}

// --- Small per-cell queries -----------------------------------------------------

uint32_t Lines(uint32_t d0, uint32_t d1, uint32_t d2, uint32_t d3) {
    return d0 | d1 << 5 | d2 << 10 | d3 << 15;
}

TEST_F(BoardTest, StrongestDirectionTakesTheLowestOnTies) {
    ListBoard board;
    const CellIndex z = At(10, 10);
    EXPECT_EQ(board.StrongestDirection(z, 1), 0) << "all Other";
    board.mCategoryWord[z][0] = Lines(kOther, kThree, kThree, kOther);
    EXPECT_EQ(board.StrongestDirection(z, 1), 1);
    board.mCategoryWord[z][0] = Lines(kThree, kOther, kOther, kThree);
    EXPECT_EQ(board.StrongestDirection(z, 1), 0);
    board.mCategoryWord[z][0] = Lines(kOther, kOther, kTwoDef, kTwo);
    EXPECT_EQ(board.StrongestDirection(z, 1), 3);
    board.mCategoryWord[z][1] = Lines(kOther, kFour, kOther, kWin);
    EXPECT_EQ(board.StrongestDirection(z, 2), 3) << "per player";
}

TEST_F(BoardTest, IsQuietCellCases) {
    ListBoard board;
    // A corner of the empty board: one line has no room for five.
    EXPECT_TRUE(board.IsQuietCell(0, 1, 0));
    EXPECT_FALSE(board.IsQuietCell(At(10, 10), 1, 0)) << "no Impossible line";

    const CellIndex z = At(10, 10);
    struct Case {
        uint32_t word;
        int maxStrong;
        bool quiet;
    } cases[] = {
        {Lines(kImpossible, kOther, kOther, kOther), 0, true},
        {Lines(kImpossible, kTwoDef, kOther, kOther), 0, true},
        {Lines(kImpossible, kTwoDef, kTwoDef, kOther), 0, false},
        {Lines(kImpossible, kTwo, kOther, kOther), 0, true},
        {Lines(kImpossible, kThreeDef, kOther, kOther), 0, true},
        {Lines(kImpossible, kTwo, kOther, kOther), 1, false},
        {Lines(kImpossible, kTwo, kTwoDef, kOther), 0, false},
        {Lines(kImpossible, kTwo, kTwo, kOther), 0, false},
        {Lines(kImpossible, kThree, kOther, kOther), 0, false},
        {Lines(kImpossible, kThree, kOther, kOther), 1, true},
        {Lines(kImpossible, kThree, kFour, kOther), 1, false},
        {Lines(kImpossible, kThree, kFour, kOther), 2, true},
        {Lines(kImpossible, kThree, kTwo, kOther), 1, false},
        {Lines(kOther, kOther, kOther, kOther), 0, false},
        {Lines(kImpossible, kImpossible, kImpossible, kImpossible), 0, true},
    };
    for (const Case& c : cases) {
        board.mCategoryWord[z][1] = c.word;
        EXPECT_EQ(board.IsQuietCell(z, 2, c.maxStrong), c.quiet)
            << "lines " << board.LineCat(2, z, 0) << " " << board.LineCat(2, z, 1) << " "
            << board.LineCat(2, z, 2) << " " << board.LineCat(2, z, 3) << ", maxStrong "
            << c.maxStrong;
    }
}

TEST_F(BoardTest, OpponentFourNearLooksTwoAndThreeStepsAway) {
    // O's open three in the row: (6,10) and (10,10) make open fours.
    BorderListBoard board;
    SetUpDiagram(board, {".OOO."}, 6, 10, 1);
    ASSERT_EQ(board.Category(2, At(10, 10)), kStraightFour);
    ASSERT_EQ(board.Category(2, At(6, 10)), kStraightFour);
    EXPECT_TRUE(board.OpponentFourNear(At(12, 10), 0, 1));  // -2
    EXPECT_TRUE(board.OpponentFourNear(At(13, 10), 0, 1));  // -3
    EXPECT_TRUE(board.OpponentFourNear(At(4, 10), 0, 1));   // +2
    EXPECT_TRUE(board.OpponentFourNear(At(3, 10), 0, 1));   // +3
    EXPECT_FALSE(board.OpponentFourNear(At(11, 10), 0, 1)) << "one step is not looked at";
    EXPECT_FALSE(board.OpponentFourNear(At(14, 10), 0, 1)) << "four steps are too far";
    EXPECT_TRUE(board.OpponentFourNear(At(10, 12), 1, 1));
    EXPECT_TRUE(board.OpponentFourNear(At(12, 12), 2, 1));
    EXPECT_FALSE(board.OpponentFourNear(At(12, 10), 1, 1)) << "another line";
    EXPECT_FALSE(board.OpponentFourNear(At(12, 10), 0, 2)) << "its own threats do not count";
    // Steps off the board are skipped.
    EXPECT_FALSE(board.OpponentFourNear(0, 0, 1));
    EXPECT_FALSE(board.OpponentFourNear(At(19, 19), 3, 1));

    // A blocked cell keeps the category it had when its stone came: the query
    // reads it as it stands.
    board.MakeMove(At(10, 10));
    EXPECT_EQ(board.Category(2, At(10, 10)), kStraightFour);
    EXPECT_TRUE(board.OpponentFourNear(At(12, 10), 0, 1));
    EXPECT_FALSE(board.OpponentFourNear(At(4, 10), 0, 1)) << "(6,10) is only a Four now";
}

}  // namespace
