#pragma once

#include <cstdint>

#include "board/coord.h"
#include "board/listboard.h"

// Renju's forbidden points of Black. Black may not make an overline (six or
// more), two or more fours, or two or more threes with one stone, unless the
// stone also makes exactly five. A four is a set of four stones that one more
// stone turns into exactly five (X.XXX.X holds two on one line); a three is a
// line that one more stone, itself not forbidden, turns into a straight four
// (.XXXX. with exactly five at either end), so a three's worth depends on
// whether its completions are forbidden in turn.
//
// The facts of one line come from the cell's pattern word (five cells to each
// side see every five, four and straight four through the cell); the deeper
// levels add their stones to those words, so the board is never changed.

// Whether Black (stone value `black`) may not play the empty cell.
bool IsForbiddenPoint(const ListBoard& board, CellIndex cell);

// Per position, the forbidden points already asked for, so that the generator
// can ask per cell: keyed by the board's hash and Black's stone value, and
// forgotten when either changes. Nothing is allocated.
class ForbiddenPoints {
  public:
    // Whether Black may not play the empty cell (always false off renju).
    bool IsForbidden(const ListBoard& board, CellIndex cell) {
        if (!board.GameRules().Renju()) return false;
        if (board.mHash != mHash || board.mBlack != mBlack) {
            mHash = board.mHash;
            mBlack = board.mBlack;
            mStamp += 2;
        }
        const uint32_t known = mKnown[cell];
        if ((known & ~1u) == mStamp) return known & 1;
        const bool forbidden = IsForbiddenPoint(board, cell);
        mKnown[cell] = mStamp | (forbidden ? 1u : 0u);
        return forbidden;
    }
    // Whether the side to move is Black under renju and may not play the cell.
    bool IsForbiddenToMove(const ListBoard& board, CellIndex cell) {
        return board.mToMove == board.mBlack && IsForbidden(board, cell);
    }

  private:
    uint64_t mHash = 0;
    uint8_t mBlack = 0;
    uint32_t mStamp = 2;           // even; bit 0 of an entry holds the answer
    uint32_t mKnown[kMaxArea] = {};  // stamp of the answer, 0 never asked
};
