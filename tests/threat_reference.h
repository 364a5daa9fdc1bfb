#pragma once

// Threat sequences decided by brute force from the board's categories alone,
// independent of the move generator and the searches.

#include "board/boardai.h"
#include "board/threatcategory.h"

// Whether the player to move wins by continuous fours within `fours` moves of
// its own; the defender only ever blocks the five. Independent of the searches.
inline bool WinsByFours(BoardAI& b, int fours) {
    const int att = static_cast<int>(b.mToMove), def = static_cast<int>(b.mOpponent);
    if (b.Counts(att)[kWin]) return true;
    if (fours == 0 || b.Counts(def)[kWin]) return false;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (b.mCells[z] || b.Category(att, static_cast<CellIndex>(z)) > kFour) continue;
        const CellIndex four = static_cast<CellIndex>(z);
        b.Toggle(four);
        bool win = false;
        if (!b.Counts(def)[kWin]) {
            if (b.Counts(att)[kWin] >= 2) {
                win = true;
            } else if (b.Counts(att)[kWin] == 1) {
                const CellIndex block = b.First(att, kWin);
                b.Toggle(block);
                win = WinsByFours(b, fours - 1);
                b.Toggle(block);
            }
        }
        b.Toggle(four);
        if (win) return true;
    }
    return false;
}
