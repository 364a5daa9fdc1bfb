#include "board/simpleboard.h"

#include <cstring>

SimpleBoard::SimpleBoard() {
    memset(mCells, 0, sizeof mCells);
    memset(mMoves, 0, sizeof mMoves);
}

SimpleBoard::SimpleBoard(const SimpleBoard& other) {
    CopyStones(other);
    mOwnStones = other.StonesCounted();
}

SimpleBoard& SimpleBoard::operator=(const SimpleBoard& other) {
    if (this != &other) CopyStones(other);
    return *this;
}

void SimpleBoard::CopyStones(const SimpleBoard& other) {
    memcpy(mCells, other.mCells, sizeof mCells);
    mSide = other.mSide;
    mBlack = other.mBlack;
    mMoveCount = other.mMoveCount;
    memcpy(mMoves, other.mMoves, sizeof mMoves);
    mToMove = other.mToMove;
    mOpponent = other.mOpponent;
}

bool SimpleBoard::Toggle(CellIndex cell) {
    bool placed = false;
    if (cell != kPass) {
        if (mCells[cell]) {
            --mMoveCount;
            mCells[cell] = 0;
        } else {
            CountStone();
            mMoves[mMoveCount++] = cell;
            mCells[cell] = static_cast<uint8_t>(2 - mSide);
            placed = true;
        }
    }
    SwitchSide();
    if (cell == kPass && mMoveCount == 0) mBlack = static_cast<uint8_t>(mToMove);
    return placed;
}
