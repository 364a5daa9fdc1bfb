#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/movelist.h"

// A root search restricted to given moves (the threat solver's): the root
// searches exactly those, whatever the generator lists, and its children
// search as usual.

bool IsRootMove(const SearchParams& params, CellIndex cell);

// The table knows the unrestricted position, whose bounds may come from a move
// left out: at a restricted root only a listed table move is kept, for the
// order, and the window stays as it came.
void RestrictTableProbe(const SearchParams& params, bool& hadEntry, CellIndex& tableMove,
                        int32_t& alpha, int32_t& beta, int32_t alphaIn, int32_t betaIn);

// Replaces the generated list with the root moves: those the generator listed
// in its order, then the others in the given order.
void RestrictToRootMoves(BoardAI& board, const SearchParams& params);

inline SearchParams ChildParams(const SearchParams& params) {
    SearchParams child = params;
    child.rootMoves = nullptr;
    child.rootMoveCount = 0;
    child.root = false;
    return child;
}
