// Renju's forbidden points: a table of diagrams, each with a twin one stone
// away that turns the answer, checked with Black as either stone value; and the
// fast detector against the slow reference over random positions.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/forbidden.h"
#include "tests/board_reference.h"
#include "tests/renju_reference.h"

namespace {

class ForbiddenTest : public ::testing::Test {
  protected:
    void SetUp() override { boardref::EnsureTables(15, 15); }
    void TearDown() override { boardref::EnsureTables(20, 20); }
};

// 'X' Black, 'O' White, '?' the cell asked about, row 0 first, placed with its
// top left corner at (left, top) of a 15 x 15 board.
struct Diagram {
    const char* name;
    int left, top;
    std::vector<std::string> rows;
    bool forbidden;
};

const Diagram kDiagrams[] = {
    {"overline", 4, 7, {"XX?XXX"}, true},
    {"exact five", 4, 7, {"XX?XXO"}, false},
    {"overline and a five on another line", 4, 3,
     {"...X..",
      "...X..",
      "...X..",
      "...X..",
      "XXX?XX"}, false},
    {"overline and a four on another line", 4, 3,
     {"......",
      "...X..",
      "...X..",
      "...X..",
      "XXX?XX"}, true},
    {"four-four on two lines", 3, 3,
     {"....O.",
      "....X.",
      "....X.",
      "....X.",
      "OXXX?."}, true},
    {"four-three", 3, 3,
     {"....O.",
      "......",
      "....X.",
      "....X.",
      "OXXX?."}, false},
    {"four-four on one line X.XXX.X", 3, 7, {"X.X?X.X"}, true},
    {"four-four on one line XX.XX.XX", 3, 7, {"XX.?X.XX"}, true},
    {"one four where the other end makes six", 3, 7, {"X.X?X.XX"}, false},
    {"three-three", 3, 2,
     {"........",
      "....X...",
      "....X...",
      "..XX?...",
      "........",
      "........"}, true},
    {"three-three, one of them blocked", 3, 2,
     {"........",
      "....X...",
      "....X...",
      ".OXX?...",
      "........",
      "........"}, false},
    // The horizontal three's only completion (left of '?') makes a straight four
    // and a four across it: forbidden, so that three is no three.
    {"three whose completion is a double four", 3, 3,
     {"..........",
      "..X.X?....",
      "...X.X....",
      "...X.X....",
      "...X......",
      "...O......",
      ".........."}, false},
    {"three whose completion is a four-three", 3, 3,
     {"..........",
      "..X.X?....",
      "...X.X....",
      "...X.X....",
      "..........",
      "..........",
      ".........."}, true},
    // Two levels: the horizontal three's completion e (left of '?') makes a
    // straight four and two threes, one of them on the anti-diagonal, whose only
    // completion f (below e, to the left) is a double four when the stone left of
    // f stands: then that three is none, e is no double three, and '?' is one.
    {"three-three through a completion whose own three is refuted", 2, 2,
     {".........",
      ".........",
      "...X.X?..",
      "..X.X.X..",
      "..X.X.X..",
      ".X.......",
      ".........",
      "........."}, true},
    {"no three-three when the completion's three stands", 2, 2,
     {".........",
      ".........",
      "...X.X?..",
      "....X.X..",
      "..X.X.X..",
      ".X.......",
      ".........",
      "........."}, false},
    {"five and a double four", 3, 3,
     {".X..X",
      "..X.X",
      "...XX",
      "XXXX?"}, false},
    {"double four without the five", 3, 3,
     {".X..X",
      "..X.X",
      "...XX",
      ".XXX?"}, true},
    {"three-three by the edge", 0, 4,
     {"........",
      ".X......",
      ".X......",
      ".?XX....",
      "........",
      "........"}, true},
    {"no three against the edge", 0, 4,
     {"........",
      "X.......",
      "X.......",
      "?XX.....",
      "........",
      "........"}, false},
    {"double four in the corner", 0, 0,
     {"?XXX.",
      "X....",
      "X....",
      "X....",
      "....."}, true},
    {"four-three in the corner", 0, 0,
     {"?XXX.",
      "X....",
      "X....",
      ".....",
      "....."}, false},
};

// The diagram on a renju board with Black's stones of value `black` (Black's
// stones first, then White's), Black to move; answers the cell asked about.
CellIndex Place(const Diagram& diagram, int black, BoardAI& board, renju_reference::Grid& grid) {
    if (black == 2) board.Toggle(kPass);
    CellIndex asked = kNoCell;
    for (const char colour : {'X', 'O'}) {
        for (size_t y = 0; y < diagram.rows.size(); ++y) {
            for (size_t x = 0; x < diagram.rows[y].size(); ++x) {
                const int bx = diagram.left + static_cast<int>(x), by = diagram.top + static_cast<int>(y);
                const char c = diagram.rows[y][x];
                const CellIndex cell = Coord::xy2z(static_cast<uint32_t>(bx), static_cast<uint32_t>(by));
                if (c == '?') asked = cell;
                if (c != colour) continue;
                const uint32_t stone = c == 'X' ? static_cast<uint32_t>(black) : 3u - black;
                if (board.mToMove != stone) board.Toggle(kPass);
                board.Toggle(cell);
                grid.Set(bx, by, c);
            }
        }
    }
    if (board.mToMove != static_cast<uint32_t>(black)) board.Toggle(kPass);
    return asked;
}

std::string Picture(const renju_reference::Grid& grid) {
    std::string picture;
    for (int y = 0; y < grid.Height(); ++y) {
        for (int x = 0; x < grid.Width(); ++x) picture += grid.Get(x, y);
        picture += '\n';
    }
    return picture;
}

TEST_F(ForbiddenTest, DiagramsBothWaysForEitherStoneValue) {
    for (const Diagram& diagram : kDiagrams) {
        for (int black : {1, 2}) {
            BoardAI board(Rules{WinRule::kRenju});
            renju_reference::Grid grid(15, 15);
            const CellIndex asked = Place(diagram, black, board, grid);
            ASSERT_EQ(board.mBlack, black);
            const int x = asked % 15, y = asked / 15;
            EXPECT_EQ(grid.Forbidden(x, y), diagram.forbidden) << diagram.name << " (reference)";
            EXPECT_EQ(IsForbiddenPoint(board, asked), diagram.forbidden)
                << diagram.name << ", Black " << black;
            ForbiddenPoints cache;
            EXPECT_EQ(cache.IsForbidden(board, asked), diagram.forbidden) << diagram.name;
            EXPECT_EQ(cache.IsForbidden(board, asked), diagram.forbidden) << diagram.name << " (cached)";
        }
    }
}

TEST_F(ForbiddenTest, CacheFollowsThePositionAndTheRules) {
    BoardAI board(Rules{WinRule::kRenju});
    renju_reference::Grid grid(15, 15);
    const CellIndex asked = Place(kDiagrams[0], 1, board, grid);  // XX?XXX: an overline
    ForbiddenPoints cache;
    EXPECT_TRUE(cache.IsForbiddenToMove(board, asked)) << "Black to move";
    board.Toggle(kPass);
    EXPECT_FALSE(cache.IsForbiddenToMove(board, asked)) << "White may play it";
    board.Toggle(kPass);
    // Taking back the stone at the end of the six leaves XX?XX, an exact five.
    const CellIndex end = board.mMoves[board.mMoveCount - 1];
    ASSERT_EQ(end, Coord::xy2z(9, 7));
    board.Toggle(kPass);
    board.Toggle(end);
    board.Toggle(kPass);
    EXPECT_FALSE(cache.IsForbidden(board, asked)) << "a new position is asked afresh";
    board.Toggle(kPass);
    board.Toggle(end);
    EXPECT_TRUE(cache.IsForbidden(board, asked)) << "and the old one again";
    BoardAI freestyle(Rules{});
    renju_reference::Grid unused(15, 15);
    Place(kDiagrams[0], 1, freestyle, unused);
    EXPECT_FALSE(cache.IsForbidden(freestyle, asked)) << "no forbidden points off renju";
}

// Random crowded corners and centres, Black a little more often than White:
// every empty cell gets the same answer from both.
TEST_F(ForbiddenTest, AgreesWithTheReferenceOnRandomPositions) {
    std::mt19937 rng(2026);
    int forbiddenSeen = 0, cells = 0;
    for (int position = 0; position < 3000; ++position) {
        const int black = 1 + position % 2;
        BoardAI board(Rules{WinRule::kRenju});
        renju_reference::Grid grid(15, 15);
        if (black == 2) board.Toggle(kPass);
        const int size = 7 + static_cast<int>(rng() % 5);
        const int left = rng() % 2 ? 0 : static_cast<int>(rng() % (15 - size + 1));
        const int top = rng() % 2 ? 15 - size : static_cast<int>(rng() % (15 - size + 1));
        const int stones = 8 + static_cast<int>(rng() % (size * size / 3));
        for (int i = 0; i < stones; ++i) {
            const int x = left + static_cast<int>(rng() % size), y = top + static_cast<int>(rng() % size);
            if (grid.Get(x, y) != '.') continue;
            // Black's stone first: a pass before any stone would hand Black over.
            const bool isBlack = rng() % 100 < 62 || i == 0;
            const uint32_t stone = isBlack ? static_cast<uint32_t>(black) : 3u - black;
            if (board.mToMove != stone) board.Toggle(kPass);
            board.Toggle(Coord::xy2z(static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
            grid.Set(x, y, isBlack ? 'X' : 'O');
        }
        for (int y = top; y < top + size; ++y) {
            for (int x = left; x < left + size; ++x) {
                if (grid.Get(x, y) != '.') continue;
                const CellIndex cell = Coord::xy2z(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
                const bool expected = grid.Forbidden(x, y);
                ++cells;
                forbiddenSeen += expected;
                ASSERT_EQ(IsForbiddenPoint(board, cell), expected)
                    << "position " << position << " cell " << x << "," << y << "\n"
                    << Picture(grid);
            }
        }
    }
    // The positions must hold enough forbidden points for the comparison to mean anything.
    EXPECT_GT(forbiddenSeen, 1000) << forbiddenSeen << " of " << cells;
}

}  // namespace
