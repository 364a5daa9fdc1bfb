#pragma once

#include <cstdint>

#include "board/coord.h"

// Stones, side to move and move history. The board alternates sides strictly;
// the protocol inserts passes to keep owners in step. Every stone it places is
// counted in the counter its owner pointed it at (a search worker's
// nodeCounter), or else in a count of its own. The pointer is never copied: a
// copy counts in its own count (from the figure the original's counter showed)
// until its owner points it elsewhere, and an assignment keeps the target's
// counter, so that a board copied to another thread never counts into the
// first thread's counter.
class SimpleBoard {
  public:
    uint8_t mCells[kMaxArea];  // 0 empty, 1 or 2 a stone of that player
    uint8_t mSide = 1;         // 1 while player 1 is to move
    // Stone value of Black, the player who moves first on this board: the side
    // to move while no stone stands, so passes before the first stone change it.
    uint8_t mBlack = 1;
    uint32_t mMoveCount = 0;
    uint16_t mMoves[kMaxArea];
    uint32_t mToMove = 1;  // stone value of the side to move
    uint32_t mOpponent = 2;

    SimpleBoard();
    SimpleBoard(const SimpleBoard& other);
    SimpleBoard& operator=(const SimpleBoard& other);

    // Places a stone of the side to move on an empty cell (true) or takes the
    // stone off an occupied one (false); a pass only switches the side.
    bool Toggle(CellIndex cell);

    // Placements from now on count in counter, which must outlive the board
    // and its copies.
    void CountStonesIn(uint32_t& counter) { mStoneCounter = &counter; }
    // The counter placements go to (node and speed figures are differences of it).
    uint32_t StonesCounted() const { return *mStoneCounter; }

  protected:
    void SwitchSide() {
        mSide = static_cast<uint8_t>(1 - mSide);
        mToMove = 2u - mSide;
        mOpponent = mSide + 1u;
    }
    void CountStone() { ++*mStoneCounter; }

  private:
    void CopyStones(const SimpleBoard& other);

    uint32_t mOwnStones = 0;
    uint32_t* mStoneCounter = &mOwnStones;
};
