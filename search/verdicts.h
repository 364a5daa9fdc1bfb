#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/genstate.h"

// The generator's won and lost positions: the checks that settle a position
// without a search, each proven from the shape of the threats.
namespace generator {

// Whether the opponent still has a move to an open four after the side to move
// plays `cell`; the board is left as it was.
bool OpenFourAfter(Gen& g, CellIndex cell);
// The side to move, without a four of its own, cannot stop every open four.
bool EveryMoveLeavesOpenFour(Gen& g);
// The side's four-three at z wins outright.
bool FourThreeWins(Gen& g, CellIndex z);
// A four-three of the side's that wins lists it and answers ScoreWin; one whose
// defences only suggest a win is claimed (listed first later).
int32_t CheckFourThree(Gen& g);

}  // namespace generator

// The cell that completes, on the same line, the four the player makes at cell.
CellIndex FourPartner(BoardAI& board, CellIndex cell, int player);
