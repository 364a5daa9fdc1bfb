#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "board/boardai.h"
#include "board/coord.h"

// Builds positions for tests. Moves alternate between the two sides; the marker
// kPassMove inserts a pass.
constexpr std::pair<int, int> kPassMove{-1, -1};

// A BorderListBoard keeps its candidate cells only through MakeMove.
template <typename Board>
void MakeTestMove(Board& board, CellIndex cell) {
    if constexpr (requires { board.MakeMove(cell); })
        board.MakeMove(cell);
    else
        board.Toggle(cell);
}

template <typename Board>
void PlayMoves(Board& board, std::initializer_list<std::pair<int, int>> moves) {
    for (auto [x, y] : moves) {
        MakeTestMove(board, x < 0 ? kPass : Coord::xy2z(x, y));
    }
}

// Places stones from a diagram: 'X' for player 1, 'O' for player 2, '.' empty;
// row 0 first. Player 1's and player 2's stones are interleaved with passes as
// needed; afterwards `toMove` (1 or 2) is to move.
template <typename Board>
void PlaceDiagram(Board& board, const std::vector<std::string>& rows, int toMove) {
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            char c = rows[y][x];
            if (c != 'X' && c != 'O') continue;
            uint32_t stone = c == 'X' ? 1u : 2u;
            if (board.mToMove != stone) MakeTestMove(board, kPass);
            MakeTestMove(board, Coord::xy2z(static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
        }
    }
    if (board.mToMove != static_cast<uint32_t>(toMove)) MakeTestMove(board, kPass);
}
