#pragma once

#include "board/boardai.h"
#include "board/borderlistboard.h"

// Makes a move on a search board, or takes it back when the cell is occupied. A
// BorderListBoard must keep its candidate cells in step, so it goes through its
// own MakeMove.
inline void ToggleSearchMove(BoardAI& board, CellIndex cell) {
    if (board.mPlain == 0)
        static_cast<BorderListBoard&>(board).MakeMove(cell);
    else
        board.Toggle(cell);
}

inline void MakeSearchMove(BoardAI& board, CellIndex cell) {
    ToggleSearchMove(board, cell);
}
inline void UndoSearchMove(BoardAI& board, CellIndex cell) {
    ToggleSearchMove(board, cell);
}
