#include "board/cellcodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <vector>

#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/patterntables.h"
#include "board_reference.h"

namespace {

using boardref::At;
using boardref::BoardTest;
using boardref::SetUpDiagram;

bool Consistent(const ListBoard& b) {
    return b.mCodes.Consistent(b.mCells, b.mCategoryWord);
}

// Every ordering of the same four categories gives one code, different
// multisets different codes, and the codes fill 0 .. kCellCodeCount - 1.
TEST(CellCodeTest, NumbersEachMultisetOfFourCategoriesOnce) {
    std::vector<int> seen(kCellCodeCount, 0);
    for (uint32_t a = 0; a < kCategoryCount; ++a)
        for (uint32_t b = a; b < kCategoryCount; ++b)
            for (uint32_t c = b; c < kCategoryCount; ++c)
                for (uint32_t d = c; d < kCategoryCount; ++d) {
                    std::array<uint32_t, 4> v{a, b, c, d};
                    const uint32_t code = CellCode(CombinedIndex(a, b, c, d));
                    ASSERT_LT(code, static_cast<uint32_t>(kCellCodeCount));
                    ++seen[code];
                    do {
                        ASSERT_EQ(CellCode(CombinedIndex(v[0], v[1], v[2], v[3])), code);
                    } while (std::next_permutation(v.begin(), v.end()));
                    uint8_t back[4];
                    CodeCategories(code, back);
                    EXPECT_EQ(back[0], a);
                    EXPECT_EQ(back[1], b);
                    EXPECT_EQ(back[2], c);
                    EXPECT_EQ(back[3], d);
                }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), kCellCodeCount);
}

// Each code's value: 1 for a cell of the side to move, 1000 for the opponent's.
std::unique_ptr<CodeValues> CountingTable() {
    auto t = std::make_unique<CodeValues>();
    for (auto& v : t->value) {
        v[0] = 1;
        v[1] = 1000;
    }
    return t;
}

// The sums count each empty cell exactly once per player, whatever its code.
TEST_F(BoardTest, CellSumsCountEveryEmptyCellOnce) {
    const auto table = CountingTable();
    BoardAI board;
    board.AttachCodeValues(table.get());
    const int32_t area = static_cast<int32_t>(Coord::area);
    EXPECT_EQ(board.mCodes.sum[0][0], area);
    EXPECT_EQ(board.mCodes.sum[1][1], 1000 * area);
    SetUpDiagram(board, {"XXX.O", ".OO.X"}, 8, 8, 1);
    EXPECT_EQ(board.mCodes.sum[0][0], area - 7);
    EXPECT_EQ(board.mCodes.sum[1][0], area - 7);
    EXPECT_EQ(board.mCodes.sum[0][1], 1000 * (area - 7));
    EXPECT_TRUE(Consistent(board));
}

// Random values, random games with LIFO take-backs, passes and stretches with
// the six-cell correction off, on both board kinds: after every step the sums
// and codes equal a recomputation from the board's category words, and copies
// carry them on.
TEST_F(BoardTest, CellSumsFollowMoveMaking) {
    std::mt19937 rng(7);
    auto table = std::make_unique<CodeValues>();
    for (auto& v : table->value) {
        v[0] = static_cast<int32_t>(rng() % 2001) - 1000;
        v[1] = static_cast<int32_t>(rng() % 2001) - 1000;
    }
    BorderListBoard border;
    BoardAI plain;
    border.AttachCodeValues(table.get());
    plain.AttachCodeValues(table.get());
    std::vector<CellIndex> played;
    for (int step = 0; step < 3000; ++step) {
        if (rng() % 8 == 0) border.mLookSix = plain.mLookSix = !border.mLookSix;
        const uint32_t r = rng() % 100;
        CellIndex move;
        if (!played.empty() && (r < 35 || played.size() > 60)) {
            move = played.back();
            played.pop_back();
        } else if (r >= 97) {
            move = kPass;
            played.push_back(move);
        } else {
            // Mostly in the middle, so that threes, fours and fives appear.
            do {
                const int x = 6 + static_cast<int>(rng() % 9), y = 6 + static_cast<int>(rng() % 9);
                move = rng() % 10 ? At(x, y) : static_cast<CellIndex>(rng() % Coord::area);
            } while (border.mCells[move]);
            played.push_back(move);
        }
        border.MakeMove(move);
        plain.Toggle(move);
        ASSERT_TRUE(Consistent(border)) << "step " << step;
        ASSERT_TRUE(Consistent(plain)) << "step " << step;
        ASSERT_EQ(0, memcmp(border.mCodes.sum, plain.mCodes.sum, sizeof plain.mCodes.sum));
        if (step % 97 == 0) {
            BoardAI copy = plain;
            ASSERT_TRUE(Consistent(copy));
            CellIndex z = 0;
            while (copy.mCells[z]) ++z;
            copy.Toggle(z);
            ASSERT_TRUE(Consistent(copy));
        }
    }
    plain.AttachCodeValues(nullptr);
    EXPECT_EQ(plain.mCodes.values, nullptr);
}

TEST_F(BoardTest, PresenceFlagsNameTheThreatKindsHeld) {
    struct Case {
        std::vector<std::string> rows;
        uint32_t x, o;  // flags of player 1 and 2
    };
    // Flags: 1 five point, 2 open-four point, 4 four-three, 8 four, 16 double
    // three, 32 three.
    const Case cases[] = {
        {{"X.X"}, 32, 0},             // the gap makes an open three
        {{".XX."}, 32, 0},
        {{"..XXX.."}, 2 | 8, 0},      // an open three: open-four points and fours
        {{"OXXXX."}, 1 | 8, 0},       // its five point, and past it a second four
        {{".O.O."}, 0, 32},           // O's two makes threes
    };
    for (const Case& c : cases) {
        BoardAI board;
        SetUpDiagram(board, c.rows, 6, 6, 1);
        EXPECT_EQ(PresenceFlags(board.Counts(1)), c.x) << c.rows[0];
        EXPECT_EQ(PresenceFlags(board.Counts(2)), c.o) << c.rows[0];
    }
}

}  // namespace
