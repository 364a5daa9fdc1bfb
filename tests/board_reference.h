#pragma once

// A slow, from-scratch model of everything the incremental board keeps, and
// small helpers to set up positions in tests.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/borderlistboard.h"
#include "board/listboard.h"

namespace boardref {

// What the board should hold for one cell: the pattern words, the line
// categories per player (index player - 1), the category words and the
// combined categories. For an occupied cell the values are those of the
// moment its stone was placed.
struct CellModel {
    std::array<uint32_t, 4> pattern{};
    std::array<std::array<uint32_t, 4>, 2> line{};
    std::array<uint32_t, 2> word{};
    std::array<uint32_t, 2> category{};
};

struct BoardModel {
    std::array<CellModel, kMaxArea> cells{};
    std::array<std::array<uint32_t, kCategoryCount>, 2> counts{};
    uint64_t hash = 0;
};

// Recomputes the model from the stones (mCells), the move order (mMoves, for
// the frozen words of occupied cells) and mLookSix.
BoardModel ComputeModel(const ListBoard& board);

// Pattern word of an empty cell computed from its neighbourhood: slots -5..-1
// then +1..+5, 0 empty, 1 or 2 a stone, 3 off the board.
uint32_t ModelPattern(const SimpleBoard& board, CellIndex cell, int d);

// Compares every incremental field with the model: side fields, history,
// hash, patterns, category words, counts, and the category lists (order
// insensitive, each a well-formed circular doubly linked list through its
// head; counts equal list lengths and sum to the number of empty cells).
::testing::AssertionResult BoardConsistent(const ListBoard& board);
bool ExpectBoardConsistent(const ListBoard& board);

// Candidate cells replayed from the move history: inside = the outermost ring,
// every stone and every gap a stone closed; border = the cells that are not
// inside and touch a cell made inside by a move.
struct BorderModel {
    std::array<uint32_t, kMaxArea> state{};     // 0 inside, 1 border, 2 outside
    std::array<uint16_t, kMaxArea> insideBy{};  // the stone that made the cell inside
};
BorderModel ComputeBorderModel(const SimpleBoard& board);

// CheckBorderList plus a comparison with the replayed model and the owner
// invariants of mInsideBy / mBorderBy.
::testing::AssertionResult BorderConsistent(const BorderListBoard& board);

// --- Setting up positions ----------------------------------------------------

// Rebuilds the geometry and every table when they do not already match.
void EnsureTables(uint32_t width, uint32_t height);

// Fixture that provides the 20 x 20 geometry and leaves the process in that
// state, whatever ran before.
class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override { EnsureTables(20, 20); }
    void TearDown() override { EnsureTables(20, 20); }
};

// Moves through the full move operation or through Toggle alone (then the
// threat-list caches are invalidated here, as every such caller must).
void Play(BorderListBoard& board, CellIndex cell);
void Play(ListBoard& board, CellIndex cell);

// Places a stone of `player`, passing first when the other side is to move.
template <class Board>
void PlaceAs(Board& board, CellIndex cell, int player) {
    if (static_cast<int>(board.mToMove) != player) Play(board, kPass);
    Play(board, cell);
}

struct DiagramStone {
    CellIndex cell;
    int player;
};

// Rows top to bottom: 'X' a stone of player 1, 'O' of player 2, anything else
// empty; the diagram's top-left character is the cell (left, top).
std::vector<DiagramStone> ParseDiagram(const std::vector<std::string>& rows, int left, int top);

// Places the stones of a diagram alternately X, O, X, ... (passing for a side
// that has run out), then passes if needed so that `toMove` is to move.
template <class Board>
void SetUpDiagram(Board& board, const std::vector<std::string>& rows, int left, int top,
                  int toMove) {
    std::vector<CellIndex> xs, os;
    for (const DiagramStone& s : ParseDiagram(rows, left, top))
        (s.player == 1 ? xs : os).push_back(s.cell);
    for (size_t i = 0; i < xs.size() || i < os.size(); ++i) {
        if (i < xs.size()) PlaceAs(board, xs[i], 1);
        if (i < os.size()) PlaceAs(board, os[i], 2);
    }
    if (static_cast<int>(board.mToMove) != toMove) Play(board, kPass);
}

inline CellIndex At(int x, int y) {
    return static_cast<CellIndex>(y * static_cast<int>(Coord::width) + x);
}

}  // namespace boardref
