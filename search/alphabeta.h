#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/movelist.h"

class SearchWorker;

// Fail-hard negamax search of one node to the nominal depth. The result is in
// list: score (clamped to [alpha, beta]), best move and the searched entries. The
// board is restored before return. Leaves (depth <= 0 with player 1 to move) are
// judged by a forcing-four search or the static evaluation.
void AlphaBeta(SearchWorker& worker, MoveList& list, BoardAI& board, int32_t depth, int32_t alpha,
               int32_t beta, SearchParams params);
