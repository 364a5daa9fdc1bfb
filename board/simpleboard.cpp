#include "board/simpleboard.h"

#include <cstring>

uint32_t nodeCounter = 0;

SimpleBoard::SimpleBoard() {
    memset(mCells, 0, sizeof mCells);
    memset(mMoves, 0, sizeof mMoves);
}

bool SimpleBoard::Toggle(CellIndex cell) {
    bool placed = false;
    if (cell != kPass) {
        if (mCells[cell]) {
            --mMoveCount;
            mCells[cell] = 0;
        } else {
            ++nodeCounter;
            mMoves[mMoveCount++] = cell;
            mCells[cell] = static_cast<uint8_t>(2 - mSide);
            placed = true;
        }
    }
    SwitchSide();
    return placed;
}
