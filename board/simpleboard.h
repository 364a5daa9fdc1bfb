#pragma once

#include <cstdint>

#include "board/coord.h"

// Stones placed by move making on any board; node and speed figures are
// differences of it. Removals and passes do not count.
extern uint32_t nodeCounter;

// Stones, side to move and move history. The board alternates sides strictly;
// the protocol inserts passes to keep owners in step.
class SimpleBoard {
  public:
    uint8_t mCells[kMaxArea];  // 0 empty, 1 or 2 a stone of that player
    uint8_t mSide = 1;         // 1 while player 1 is to move
    uint32_t mMoveCount = 0;
    uint16_t mMoves[kMaxArea];
    uint32_t mToMove = 1;  // stone value of the side to move
    uint32_t mOpponent = 2;

    SimpleBoard();

    // Places a stone of the side to move on an empty cell (true) or takes the
    // stone off an occupied one (false); a pass only switches the side.
    bool Toggle(CellIndex cell);

  protected:
    void SwitchSide() {
        mSide = static_cast<uint8_t>(1 - mSide);
        mToMove = 2u - mSide;
        mOpponent = mSide + 1u;
    }
};
