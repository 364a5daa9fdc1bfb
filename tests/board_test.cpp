#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/coord.h"
#include "board/listboard.h"
#include "board/patterntables.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "board_reference.h"

namespace {

using boardref::At;
using boardref::BoardConsistent;
using boardref::BoardTest;
using boardref::BorderConsistent;
using boardref::PlaceAs;
using boardref::Play;

// Cells of one category list, walked from its head.
std::vector<CellIndex> ListCells(const ListBoard& board, int player, uint32_t c) {
    std::vector<CellIndex> cells;
    const uint16_t* next = board.Next(player);
    for (uint16_t z = next[kNoCell + c]; z < kNoCell && cells.size() <= Coord::area; z = next[z])
        cells.push_back(z);
    return cells;
}

std::set<CellIndex> ListSet(const ListBoard& board, int player, uint32_t c) {
    const std::vector<CellIndex> cells = ListCells(board, player, c);
    return {cells.begin(), cells.end()};
}

// Everything a take-back must restore, lists compared as sets (a cell that
// re-enters a list goes to its end).
void ExpectSameListBoard(const ListBoard& a, const ListBoard& b) {
    const uint32_t area = Coord::area;
    EXPECT_EQ(0, memcmp(a.mCells, b.mCells, area));
    EXPECT_EQ(a.mSide, b.mSide);
    EXPECT_EQ(a.mToMove, b.mToMove);
    EXPECT_EQ(a.mOpponent, b.mOpponent);
    EXPECT_EQ(a.mMoveCount, b.mMoveCount);
    EXPECT_EQ(a.mHash, b.mHash);
    EXPECT_EQ(0, memcmp(a.mLinePattern, b.mLinePattern, sizeof(uint32_t) * 4 * area));
    EXPECT_EQ(0, memcmp(a.mCategoryWord, b.mCategoryWord, sizeof(uint32_t) * 2 * area));
    EXPECT_EQ(0, memcmp(a.mCategoryCount1, b.mCategoryCount1, sizeof a.mCategoryCount1));
    EXPECT_EQ(0, memcmp(a.mCategoryCount2, b.mCategoryCount2, sizeof a.mCategoryCount2));
    for (int p = 1; p <= 2; ++p)
        for (uint32_t c = 0; c < kCategoryCount; ++c)
            EXPECT_EQ(ListSet(a, p, c), ListSet(b, p, c)) << "player " << p << " list " << c;
}

void ExpectSameBorder(const BorderListBoard& a, const BorderListBoard& b) {
    const uint32_t area = Coord::area;
    EXPECT_EQ(0, memcmp(a.mBorderState, b.mBorderState, sizeof(uint32_t) * area));
    EXPECT_EQ(0, memcmp(a.mInsideBy, b.mInsideBy, sizeof(uint16_t) * area));
    EXPECT_EQ(0, memcmp(a.mBorderBy, b.mBorderBy, sizeof(uint16_t) * area));
    ASSERT_EQ(a.mBorderCount, b.mBorderCount);
    EXPECT_EQ(std::multiset<uint16_t>(a.mBorderList, a.mBorderList + a.mBorderCount),
              std::multiset<uint16_t>(b.mBorderList, b.mBorderList + b.mBorderCount));
}

// Two boards that went through the same operations hold identical state.
::testing::AssertionResult Identical(const ListBoard& a, const ListBoard& b) {
    const uint32_t area = Coord::area;
    if (memcmp(a.mCells, b.mCells, area) != 0) return ::testing::AssertionFailure() << "cells";
    if (a.mSide != b.mSide || a.mMoveCount != b.mMoveCount || a.mHash != b.mHash)
        return ::testing::AssertionFailure() << "side, move count or hash";
    if (memcmp(a.mLinePattern, b.mLinePattern, sizeof(uint32_t) * 4 * area) != 0 ||
        memcmp(a.mCategoryWord, b.mCategoryWord, sizeof(uint32_t) * 2 * area) != 0)
        return ::testing::AssertionFailure() << "patterns or category words";
    if (memcmp(a.mNext1, b.mNext1, sizeof a.mNext1) != 0 ||
        memcmp(a.mPrev1, b.mPrev1, sizeof a.mPrev1) != 0 ||
        memcmp(a.mNext2, b.mNext2, sizeof a.mNext2) != 0 ||
        memcmp(a.mPrev2, b.mPrev2, sizeof a.mPrev2) != 0)
        return ::testing::AssertionFailure() << "list links";
    return ::testing::AssertionSuccess();
}

// --- Randomized consistency ---------------------------------------------------

struct RandomGameCase {
    uint32_t width;
    uint32_t height;
    uint32_t rule;
    bool switchSix;  // switch the six-cell correction off and on at random
    uint32_t seed;
    int steps;
};

std::ostream& operator<<(std::ostream& os, const RandomGameCase& c) {
    return os << c.width << "x" << c.height << " rule " << c.rule
              << (c.switchSix ? " switch-six" : "") << " seed " << c.seed;
}

class RandomGameTest : public ::testing::TestWithParam<RandomGameCase> {
  protected:
    void SetUp() override {
        const RandomGameCase& c = GetParam();
        boardref::EnsureTables(c.width, c.height);
    }
    void TearDown() override { boardref::EnsureTables(20, 20); }
};

// Random games with LIFO take-backs and passes, played side by side through
// MakeMove and through Toggle alone; after every step both boards must match a
// from-scratch recomputation. Stones are mostly placed near others so that the
// games build real threats, fours and fives. With the six-cell correction
// switched at random, a stone placed while it is off may leave uncorrected
// categories around it; once every such stone is taken back the board must
// equal one built with the correction on, whatever the flag is then.
TEST_P(RandomGameTest, IncrementalStateMatchesReference) {
    const RandomGameCase& c = GetParam();
    std::mt19937 rng(c.seed);
    const uint32_t area = Coord::area;
    const int width = static_cast<int>(c.width), height = static_cast<int>(c.height);

    const Rules rules = Rules::FromProtocolValue(c.rule);
    BorderListBoard board(rules);
    BoardAI plain(rules);
    const BorderListBoard fresh(rules);
    std::vector<CellIndex> played;  // including passes, for the take-backs
    bool ownIsNext1 = true;         // a pass leaves the list pointers alone
    bool growing = true;
    // Index in `played` of the oldest standing stone placed with the flag off.
    size_t uncorrectedFrom = SIZE_MAX;
    int stretches = 0, checkedWithFlagOff = 0;

    auto pickCell = [&]() -> CellIndex {
        for (int tries = 0; tries < 20 && board.mMoveCount > 0; ++tries) {
            if (rng() % 4 == 0) break;
            const CellIndex base = board.mMoves[rng() % board.mMoveCount];
            const int x = base % width + static_cast<int>(rng() % 5) - 2;
            const int y = base / width + static_cast<int>(rng() % 5) - 2;
            if (x < 0 || y < 0 || x >= width || y >= height) continue;
            if (!board.mCells[y * width + x]) return static_cast<CellIndex>(y * width + x);
        }
        for (;;) {
            const CellIndex z = static_cast<CellIndex>(rng() % area);
            if (!board.mCells[z]) return z;
        }
    };
    auto apply = [&](CellIndex move) {
        if (move != kPass && !board.mCells[move] && !board.mLookSix &&
            uncorrectedFrom == SIZE_MAX) {
            uncorrectedFrom = played.size() - 1;
            ++stretches;
        }
        const bool placedBorder = board.MakeMove(move);
        const bool placedPlain = plain.Toggle(move);
        EXPECT_EQ(placedBorder, placedPlain);
        if (move != kPass) ownIsNext1 = board.mSide == 1;
    };

    for (int step = 0; step < c.steps; ++step) {
        if (rng() % 40 == 0) growing = !growing;
        // Stretches with the flag off are short, as around a forcing search.
        if (c.switchSix && rng() % (board.mLookSix ? 10 : 4) == 0)
            board.mLookSix = plain.mLookSix = !board.mLookSix;
        const uint32_t r = rng() % 100;
        const bool full = board.mMoveCount == area;
        const uint32_t undoBelow = uncorrectedFrom != SIZE_MAX ? 55u : growing ? 25u : 70u;
        if (!played.empty() && (full || r < undoBelow)) {
            const CellIndex undo = played.back();
            played.pop_back();
            if (played.size() <= uncorrectedFrom) uncorrectedFrom = SIZE_MAX;
            apply(undo);
        } else if (r >= 95) {
            played.push_back(kPass);
            apply(kPass);
        } else {
            const CellIndex cell = pickCell();
            played.push_back(cell);
            apply(cell);
        }

        ASSERT_TRUE(BorderConsistent(board)) << "step " << step;
        ASSERT_TRUE(Identical(board, plain)) << "step " << step;
        ASSERT_EQ(board.mOwnLists, ownIsNext1 ? board.mNext1 : board.mNext2) << "step " << step;
        ASSERT_EQ(plain.mOwnLists, ownIsNext1 ? plain.mNext1 : plain.mNext2) << "step " << step;
        if (uncorrectedFrom != SIZE_MAX) continue;
        // The reference models the board as built with the flag's value.
        const uint8_t flag = board.mLookSix;
        checkedWithFlagOff += !flag;
        board.mLookSix = 1;
        ASSERT_TRUE(BoardConsistent(board)) << "step " << step;
        board.mLookSix = flag;

        if (step % 101 == 50 && flag) {
            // A copy owns its lists and carries on independently.
            BoardAI copy;
            copy = board;
            EXPECT_EQ(copy.GameRules(), rules) << "a copy plays by the rules of its original";
            ASSERT_TRUE(BoardConsistent(copy)) << "copy at step " << step;
            ASSERT_TRUE(Identical(copy, board));
            EXPECT_EQ(copy.mOwnLists, copy.mSide == 1 ? copy.mNext1 : copy.mNext2);
            EXPECT_EQ(copy.mOppLists, copy.mSide == 1 ? copy.mNext2 : copy.mNext1);
            EXPECT_EQ(0, memcmp(copy.mBorderState, board.mBorderState, sizeof(uint32_t) * area));
            EXPECT_EQ(copy.mPlain, 0) << "the kind flag is copied too";
            const uint64_t hash = board.mHash;
            if (copy.mMoveCount < area) {
                CellIndex z = 0;
                while (copy.mCells[z]) ++z;
                copy.Toggle(z);
                ASSERT_TRUE(BoardConsistent(copy));
                copy.Toggle(z);
                ASSERT_TRUE(BoardConsistent(copy));
            }
            EXPECT_EQ(board.mHash, hash);
            ASSERT_TRUE(BoardConsistent(board));
        }
    }

    if (c.switchSix) {
        EXPECT_GT(stretches, 20) << "stones placed with the correction off";
        EXPECT_GT(checkedWithFlagOff, 20) << "checks with the correction off";
    }

    // Taking everything back leaves a fresh board (list order aside).
    while (!played.empty()) {
        apply(played.back());
        played.pop_back();
    }
    board.mLookSix = 1;
    ASSERT_TRUE(BoardConsistent(board));
    ExpectSameListBoard(board, fresh);
    ExpectSameBorder(board, fresh);
    EXPECT_EQ(board.mHash, 0u);
}

INSTANTIATE_TEST_SUITE_P(Boards, RandomGameTest,
                         ::testing::Values(RandomGameCase{20, 20, 0, false, 1, 2500},
                                           RandomGameCase{20, 20, 1, false, 2, 2500},
                                           RandomGameCase{20, 20, 0, true, 3, 2500},
                                           RandomGameCase{15, 15, 0, false, 4, 2500},
                                           RandomGameCase{15, 15, 1, true, 5, 2500},
                                           RandomGameCase{9, 7, 0, false, 6, 3000},
                                           RandomGameCase{9, 7, 1, false, 7, 3000},
                                           RandomGameCase{15, 15, 4, false, 8, 2500},
                                           RandomGameCase{20, 20, 8, true, 9, 2500},
                                           RandomGameCase{15, 15, 9, false, 10, 2500}),
                         [](const ::testing::TestParamInfo<RandomGameCase>& info) {
                             const RandomGameCase& c = info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) +
                                    "Rule" + std::to_string(c.rule) +
                                    (c.switchSix ? "SwitchSix" : "");
                         });

// --- Move making --------------------------------------------------------------

TEST_F(BoardTest, FirstPlacementAndItsRemoval) {
    const BoardAI fresh;
    BoardAI board;
    const uint32_t nodes = board.StonesCounted();
    const uint32_t c1 = board.Category(1, 210), c2 = board.Category(2, 210);

    EXPECT_TRUE(board.Toggle(210));
    EXPECT_EQ(board.mCells[210], 1);
    EXPECT_EQ(board.mMoveCount, 1u);
    EXPECT_EQ(board.mMoves[0], 210);
    EXPECT_EQ(board.mSide, 0);
    EXPECT_EQ(board.mToMove, 2u);
    EXPECT_EQ(board.mOpponent, 1u);
    EXPECT_EQ(board.mHash, zobristKeys[210]);
    EXPECT_EQ(board.mOwnLists, board.mNext2);
    EXPECT_EQ(board.mOppLists, board.mNext1);
    EXPECT_EQ(board.StonesCounted(), nodes + 1);
    EXPECT_TRUE(BoardConsistent(board));

    EXPECT_FALSE(board.Toggle(210));
    EXPECT_EQ(board.mHash, 0u);
    EXPECT_EQ(board.mMoves[0], 210) << "the history entry is not cleared";
    EXPECT_EQ(board.StonesCounted(), nodes + 1) << "a removal does not count";
    EXPECT_EQ(board.mOwnLists, board.mNext1);
    ExpectSameListBoard(board, fresh);
    // The cell went back to the end of its lists: it now follows cell 399,
    // which no move touched.
    for (int p = 1; p <= 2; ++p) {
        const uint32_t c = p == 1 ? c1 : c2;
        ASSERT_EQ(fresh.Category(p, 399), c);
        const std::vector<CellIndex> before = ListCells(fresh, p, c);
        const std::vector<CellIndex> after = ListCells(board, p, c);
        EXPECT_LT(std::find(before.begin(), before.end(), 210),
                  std::find(before.begin(), before.end(), 399));
        EXPECT_GT(std::find(after.begin(), after.end(), 210),
                  std::find(after.begin(), after.end(), 399));
    }
    EXPECT_TRUE(BoardConsistent(board));
}

// Where placements are counted: a search worker's counter when the board is
// pointed at one, else the board's own count. A copy never takes the pointer
// (it counts for itself from the original's figure), and an assignment keeps
// the target's counter: a board copied to another thread counts there.
TEST_F(BoardTest, StonesCountInTheCounterTheBoardWasGiven) {
    uint32_t worker = 100;
    BoardAI board;
    board.Toggle(At(1, 1));
    EXPECT_EQ(board.StonesCounted(), 1u);
    board.CountStonesIn(worker);
    board.Toggle(At(2, 2));
    board.Toggle(kPass);
    board.Toggle(At(2, 2));
    EXPECT_EQ(worker, 101u) << "a pass and a removal do not count";
    BoardAI copy = board;
    copy.Toggle(At(3, 3));
    EXPECT_EQ(copy.StonesCounted(), 102u) << "the copy counts for itself";
    uint32_t other = 0;
    BoardAI assigned;
    assigned.CountStonesIn(other);
    assigned = board;
    assigned.Toggle(At(4, 4));
    EXPECT_EQ(other, 1u) << "the assigned board keeps its counter";
    EXPECT_EQ(worker, 101u);
    EXPECT_EQ(board.StonesCounted(), 101u);

    BoardAI own;
    own.Toggle(At(1, 1));
    BoardAI ownCopy = own;
    ownCopy.Toggle(At(2, 2));
    EXPECT_EQ(own.StonesCounted(), 1u) << "a copy of a self-counting board counts for itself";
    EXPECT_EQ(ownCopy.StonesCounted(), 2u);
    EXPECT_EQ(worker, 101u);
}

// Black is the player who moves first on the board: player 1 unless the board
// began with a pass.
TEST_F(BoardTest, BlackIsTheFirstMoverWhateverTheTurn) {
    BoardAI board;
    EXPECT_EQ(board.mBlack, 1);
    board.Toggle(At(5, 5));
    board.Toggle(kPass);
    EXPECT_EQ(board.mBlack, 1) << "a pass later does not change it";
    EXPECT_EQ(board.mToMove, 1u);

    BoardAI handed;
    handed.Toggle(kPass);
    EXPECT_EQ(handed.mBlack, 2);
    handed.Toggle(At(5, 5));
    EXPECT_EQ(handed.mCells[At(5, 5)], 2);
    EXPECT_EQ(handed.mBlack, 2);
    BoardAI copy = handed;
    EXPECT_EQ(copy.mBlack, 2);
    handed.Toggle(At(5, 5));
    handed.Toggle(kPass);
    EXPECT_EQ(handed.mBlack, 1) << "on an empty board it follows the side to move";
}

TEST_F(BoardTest, PassOnlyHandsTheTurnOver) {
    BoardAI board;
    board.Toggle(At(10, 10));
    const uint64_t hash = board.mHash;
    const uint32_t nodes = board.StonesCounted();
    const uint16_t* own = board.mOwnLists;

    EXPECT_FALSE(board.Toggle(kPass));
    EXPECT_EQ(board.mHash, hash);
    EXPECT_EQ(board.mMoveCount, 1u);
    EXPECT_EQ(board.StonesCounted(), nodes);
    EXPECT_EQ(board.mSide, 1);
    EXPECT_EQ(board.mToMove, 1u);
    EXPECT_EQ(board.mOpponent, 2u);
    EXPECT_EQ(board.mOwnLists, own) << "a pass leaves the list pointers as they were";

    // Player 1 moves again after player 2 passed.
    board.Toggle(At(11, 10));
    EXPECT_EQ(board.mCells[At(11, 10)], 1);
    EXPECT_EQ(board.mHash, zobristKeys[At(10, 10)] ^ zobristKeys[At(11, 10)]);
    EXPECT_TRUE(BoardConsistent(board));

    // A second pass undoes the first.
    BorderListBoard border;
    border.MakeMove(At(10, 10));
    const BorderListBoard before = border;
    border.MakeMove(kPass);
    border.MakeMove(kPass);
    EXPECT_TRUE(Identical(border, before));
    ExpectSameBorder(border, before);
}

TEST_F(BoardTest, ConstructionBuildsListsInCellOrder) {
    boardref::EnsureTables(9, 7);
    const BorderListBoard board;
    EXPECT_TRUE(BoardConsistent(board));
    EXPECT_EQ(board.mPlain, 0);
    EXPECT_EQ(board.genLimit, Coord::area);
    EXPECT_EQ(board.mLookSix, 1);
    for (int p = 1; p <= 2; ++p) {
        size_t total = 0;
        for (uint32_t c = 0; c < kCategoryCount; ++c) {
            const std::vector<CellIndex> cells = ListCells(board, p, c);
            EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end())) << "list " << c;
            total += cells.size();
        }
        EXPECT_EQ(total, Coord::area);
    }
    const BoardAI plain;
    EXPECT_EQ(plain.mPlain, 1);
}

TEST_F(BoardTest, PatternsAtTheEdge) {
    const ListBoard board;
    // Cell 0: nothing before it on any line, and nothing at all on the
    // anti-diagonal, which runs off the board both ways.
    EXPECT_EQ(board.mLinePattern[0 * 4 + 0], 0x3FFu);
    EXPECT_EQ(board.mLinePattern[0 * 4 + 1], 0x3FFu);
    EXPECT_EQ(board.mLinePattern[0 * 4 + 2], 0x3FFu);
    EXPECT_EQ(board.mLinePattern[0 * 4 + 3], 0xFFFFFu);
    // The last cell of the first row: the row ends after it; the
    // anti-diagonal starts there and runs down-left.
    EXPECT_EQ(board.mLinePattern[19 * 4 + 0], 0xFFC00u);
    EXPECT_EQ(board.mLinePattern[19 * 4 + 3], 0x3FFu);
    // Two cells from the left edge: slots -5..-3 off the board.
    EXPECT_EQ(board.mLinePattern[At(2, 10) * 4 + 0], 0x3Fu);
    // The anti-diagonal of cell 0 has one cell: no five is possible there.
    EXPECT_EQ(board.LineCat(1, 0, 3), kImpossible);
    EXPECT_EQ(board.Category(1, At(10, 10)), kOther);

    // A stone at the edge enters the words of the cells next to it.
    ListBoard withStone;
    withStone.Toggle(At(0, 10));
    EXPECT_EQ(withStone.mLinePattern[At(1, 10) * 4 + 0], 0x1FFu);  // slot -1 holds 1
    EXPECT_EQ(withStone.mLinePattern[At(0, 11) * 4 + 1] & 0x300u, 0x100u);
    EXPECT_TRUE(BoardConsistent(withStone));
}

TEST_F(BoardTest, ZobristKeysComeFromTheSeededGenerator) {
    // The first key by hand: the first five draws from seed 1 are 41, 18467,
    // 6334, 26500, 19169.
    const uint64_t first = (41u & 0x3FFF) | uint64_t(18467 & 0x3FFF) << 14 |
                           uint64_t(6334 & 0x3FFF) << 28 | uint64_t(26500 & 0x3FFF) << 42 |
                           uint64_t(19169 & 0xFF) << 56;
    EXPECT_EQ(zobristKeys[0], first);
    EXPECT_EQ(zobristKeys[0], 0xE19E118BE208C029u);

    uint32_t state = 1;
    auto draw = [&state]() -> uint64_t {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFF;
    };
    std::vector<uint64_t> keys;
    for (uint32_t i = 0; i < 2 * Coord::area; ++i) {
        const uint64_t r1 = draw(), r2 = draw(), r3 = draw(), r4 = draw(), r5 = draw();
        keys.push_back((r1 & 0x3FFF) | (r2 & 0x3FFF) << 14 | (r3 & 0x3FFF) << 28 |
                       (r4 & 0x3FFF) << 42 | r5 << 56);
        ASSERT_EQ(zobristKeys[i], keys.back()) << "key " << i;
    }
    // The generator's state after building the keys is fixed.
    EXPECT_EQ(static_cast<uint64_t>(RandomGenerator::AfterZobristKeys().Draw()), draw());

    // Keys are drawn in index order from seed 1 on every build: a smaller
    // board gets a prefix of the same sequence.
    boardref::EnsureTables(15, 15);
    for (uint32_t i = 0; i < 2 * Coord::area; ++i) ASSERT_EQ(zobristKeys[i], keys[i]) << i;
}

TEST_F(BoardTest, CopiesOwnTheirLists) {
    BorderListBoard board;
    boardref::SetUpDiagram(board, {"XO", ".X"}, 9, 9, 2);
    board.MakeMove(kPass);  // the list pointers now lag the side
    ASSERT_EQ(board.mSide, 1);
    ASSERT_EQ(board.mOwnLists, board.mNext2);

    BoardAI copy;
    copy = board;
    EXPECT_EQ(copy.mOwnLists, copy.mNext1) << "a copy aims its pointers by its side";
    EXPECT_EQ(copy.mOppLists, copy.mNext2);
    EXPECT_TRUE(Identical(copy, board));
    EXPECT_EQ(0, memcmp(copy.mBorderState, board.mBorderState, sizeof copy.mBorderState));
    EXPECT_TRUE(BoardConsistent(copy));

    const ListBoard constructed(board);
    EXPECT_EQ(constructed.mOwnLists, constructed.mNext1);
    EXPECT_TRUE(Identical(constructed, board));

    // Moves on the copy leave the original alone.
    const uint64_t hash = board.mHash;
    copy.Toggle(At(0, 0));
    EXPECT_EQ(board.mHash, hash);
    EXPECT_EQ(board.mCells[At(0, 0)], 0);
    EXPECT_TRUE(BoardConsistent(board));
    EXPECT_TRUE(BoardConsistent(copy));
}

// --- Six-cell correction -------------------------------------------------------

// The row through (10,10) on a 20 x 20 board, columns 4..16, '*' = (10,10).
struct SixCellCase {
    const char* name;
    const char* row;   // 13 characters for columns 4..16
    uint32_t sixth;    // column of the stone beyond the window
    uint32_t without;  // the row's line category without that stone
    uint32_t with;     // and with it
};

class SixCellTest : public BoardTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

// For both players: gap, stone, gap, stone, gap and a sixth stone raise the
// line of (10,10) even though the window shows only five cells to each side.
TEST_P(SixCellTest, SixthStoneRaisesTheLine) {
    static const SixCellCase kCases[] = {
        // .X.X.* alone is a three that cannot become an open four.
        {"low side", "X.X.X.*......", 4, kThreeDef, kThree},
        {"high side", "......*.X.X.X", 16, kThreeDef, kThree},
        // Both sides show the shape.
        {"both sides", "X.X.X.*.X.X.X", 16, kThree, k2xThree},
        // The other side alone gives a four: a four and a three in one line.
        {"with a four", "X.X.X.*.XXX..", 4, kFourDevelopFour, kFourThree},
    };
    const auto [caseIndex, player] = GetParam();
    const SixCellCase& c = kCases[caseIndex];
    SCOPED_TRACE(c.name);
    const CellIndex cell = At(10, 10), sixth = At(c.sixth, 10);

    std::vector<CellIndex> stones;
    for (uint32_t i = 0; i < 13; ++i)
        if (c.row[i] == 'X' && At(4 + i, 10) != sixth) stones.push_back(At(4 + i, 10));

    // The sixth stone last: only the second pass reaches (10,10).
    BorderListBoard board;
    for (CellIndex z : stones) PlaceAs(board, z, player);
    EXPECT_EQ(board.LineCat(player, cell, 0), c.without);
    PlaceAs(board, sixth, player);
    EXPECT_EQ(board.LineCat(player, cell, 0), c.with);
    EXPECT_TRUE(BoardConsistent(board));
    board.MakeMove(sixth);
    EXPECT_EQ(board.LineCat(player, cell, 0), c.without);
    EXPECT_TRUE(BoardConsistent(board));

    // The sixth stone first: the first pass applies the correction.
    BorderListBoard other;
    PlaceAs(other, sixth, player);
    for (CellIndex z : stones) PlaceAs(other, z, player);
    EXPECT_EQ(other.LineCat(player, cell, 0), c.with);

    // Switched off, the window is all there is.
    BorderListBoard plain;
    plain.mLookSix = 0;
    PlaceAs(plain, sixth, player);
    for (CellIndex z : stones) PlaceAs(plain, z, player);
    EXPECT_EQ(plain.LineCat(player, cell, 0), c.without);
    EXPECT_TRUE(BoardConsistent(plain));

    // Stones placed and taken back with the correction off (as around the
    // search's leaf forcing search) leave the corrected line as it was.
    std::vector<CellIndex> made;
    auto place = [&](CellIndex z, int p) {
        if (static_cast<int>(board.mToMove) != p) {
            board.MakeMove(kPass);
            made.push_back(kPass);
        }
        board.MakeMove(z);
        made.push_back(z);
    };
    auto takeBack = [&](size_t keep) {
        for (; made.size() > keep; made.pop_back()) board.MakeMove(made.back());
    };
    for (uint32_t x = 3; x <= 17; ++x) {
        if (board.mCells[At(x, 10)] || At(x, 10) == sixth) continue;
        SCOPED_TRACE(x);
        for (int mover = 1; mover <= 2; ++mover) {
            board.mLookSix = 0;
            place(sixth, player);
            place(At(x, 10), mover);
            takeBack(0);
            board.mLookSix = 1;
            EXPECT_EQ(board.LineCat(player, cell, 0), c.without);

            place(sixth, player);
            const size_t mark = made.size();
            board.mLookSix = 0;
            place(At(x, 10), mover);
            takeBack(mark);
            board.mLookSix = 1;
            EXPECT_EQ(board.LineCat(player, cell, 0), c.with);
            EXPECT_TRUE(BoardConsistent(board));
            takeBack(0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, SixCellTest,
                         ::testing::Combine(::testing::Range(0, 4), ::testing::Values(1, 2)));

TEST_F(BoardTest, SixCellCorrectionNeedsTheSameColour) {
    BorderListBoard board;
    for (uint32_t x : {6u, 8u}) PlaceAs(board, At(x, 10), 1);
    PlaceAs(board, At(4, 10), 2);
    EXPECT_EQ(board.LineCat(1, At(10, 10), 0), kThreeDef);
    EXPECT_TRUE(BoardConsistent(board));
}

// --- Border list ---------------------------------------------------------------

TEST_F(BoardTest, FreshBorderListIsEmpty) {
    const BorderListBoard board;
    EXPECT_EQ(board.CheckBorderList(), 0u);
    EXPECT_EQ(board.mBorderState[At(0, 5)], 0u) << "the outermost ring is inside";
    EXPECT_EQ(board.mBorderState[At(19, 19)], 0u);
    EXPECT_EQ(board.mBorderState[At(1, 1)], 2u);
    EXPECT_EQ(board.mInsideBy[At(0, 5)], kNobody);
    EXPECT_TRUE(BorderConsistent(board));
}

TEST_F(BoardTest, CheckBorderListReportsEachInconsistency) {
    BorderListBoard board;
    board.MakeMove(At(10, 10));
    ASSERT_EQ(board.CheckBorderList(), 8u);
    auto message = [](const BorderListBoard& b) -> std::string {
        try {
            b.CheckBorderList();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    };
    BorderListBoard bad = board;
    bad.mBorderList[0] = static_cast<uint16_t>(Coord::area);
    bad.mBorderState[bad.mBorderList[1]] = 2;  // also wrong, reported later
    EXPECT_EQ(message(bad), "Border list inconsintency(5).");
    bad = board;
    bad.mBorderState[bad.mBorderList[0]] = 0;
    bad.mBorderBy[bad.mBorderList[0]] = kNobody;
    EXPECT_EQ(message(bad), "Border list inconsintency(1).");
    bad = board;
    bad.mBorderBy[bad.mBorderList[3]] = kNobody;
    EXPECT_EQ(message(bad), "Border list inconsintency(6).");
    bad = board;
    bad.mBorderState[At(1, 1)] = 1;
    EXPECT_EQ(message(bad), "Border list inconsintency(2).");
}

TEST_F(BoardTest, StoneMakesItsNeighboursBorderCells) {
    BorderListBoard board;
    const CellIndex c = At(10, 10);
    board.MakeMove(c);
    EXPECT_EQ(board.mBorderState[c], 0u);
    EXPECT_EQ(board.mInsideBy[c], c);
    std::set<uint16_t> listed(board.mBorderList, board.mBorderList + board.mBorderCount);
    std::set<uint16_t> expected(Coord::neighbours[c], Coord::neighbours[c] + 8);
    EXPECT_EQ(listed, expected);
    for (uint16_t n : listed) EXPECT_EQ(board.mBorderBy[n], c);
    board.MakeMove(c);
    ExpectSameBorder(board, BorderListBoard());
}

TEST_F(BoardTest, StoneClosesGapsUpToThreeCells) {
    // Three cells apart along the row: the two cells between become inside,
    // owned by the later stone. Four apart: nothing closes.
    BorderListBoard board;
    boardref::SetUpDiagram(board, {"X..O...X"}, 5, 5, 1);
    EXPECT_EQ(board.mInsideBy[At(6, 5)], At(8, 5));
    EXPECT_EQ(board.mInsideBy[At(7, 5)], At(8, 5));
    EXPECT_EQ(board.mBorderState[At(9, 5)], 1u);
    EXPECT_EQ(board.mBorderState[At(11, 5)], 1u);
    EXPECT_EQ(board.mBorderState[At(10, 5)], 2u) << "two steps from both stones";
    EXPECT_TRUE(BorderConsistent(board));

    // A gap closed against an inside cell that no stone occupies.
    board.MakeMove(At(7, 8));
    EXPECT_EQ(board.mInsideBy[At(7, 6)], At(7, 8));
    EXPECT_EQ(board.mInsideBy[At(7, 7)], At(7, 8));
    EXPECT_TRUE(BorderConsistent(board));
    board.MakeMove(At(7, 8));
    EXPECT_EQ(board.mInsideBy[At(7, 6)], kNobody);
    EXPECT_TRUE(BorderConsistent(board));
}

TEST_F(BoardTest, ClosedCellsTakeOwnershipFromTheFarEnd) {
    // (3,5) closes (2,5) and (1,5) against the ring; (1,5), nearest the ring,
    // becomes inside first and so owns the border cells only it touches.
    BorderListBoard board;
    board.MakeMove(At(3, 5));
    EXPECT_EQ(board.mInsideBy[At(1, 5)], At(3, 5));
    EXPECT_EQ(board.mInsideBy[At(2, 5)], At(3, 5));
    EXPECT_EQ(board.mBorderBy[At(1, 4)], At(1, 5));
    EXPECT_EQ(board.mBorderBy[At(1, 6)], At(1, 5));
    EXPECT_EQ(board.mBorderBy[At(2, 4)], At(3, 5)) << "the stone's own neighbours come first";
    EXPECT_TRUE(BorderConsistent(board));
    board.MakeMove(At(3, 5));
    ExpectSameBorder(board, BorderListBoard());
}

TEST_F(BoardTest, StoneOnTheOutermostRing) {
    BorderListBoard board;
    const CellIndex edge = At(0, 5);
    board.MakeMove(edge);
    EXPECT_EQ(board.mBorderState[edge], 0u);
    EXPECT_EQ(board.mInsideBy[edge], kNobody) << "it was inside before the stone";
    EXPECT_EQ(board.mBorderCount, 0u) << "a ring cell makes no border cells";
    board.MakeMove(edge);
    ExpectSameBorder(board, BorderListBoard());

    // (2,5) is closed between two stones, (1,5) is a border cell: the ring
    // stone's ray closes (1,5) and its removal releases exactly that.
    boardref::SetUpDiagram(board, {"..X", "...", "..O"}, 0, 4, 1);
    ASSERT_EQ(board.mInsideBy[At(2, 5)], At(2, 6));
    ASSERT_EQ(board.mBorderState[At(1, 5)], 1u);
    const BorderListBoard before = board;
    board.MakeMove(edge);
    EXPECT_EQ(board.mBorderState[edge], 0u);
    EXPECT_EQ(board.mInsideBy[edge], kNobody);
    EXPECT_EQ(board.mInsideBy[At(1, 5)], edge);
    EXPECT_EQ(board.mInsideBy[At(2, 5)], At(2, 6));
    EXPECT_TRUE(BorderConsistent(board));
    board.MakeMove(edge);
    ExpectSameBorder(board, before);
}

}  // namespace
