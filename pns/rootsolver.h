#pragma once

#include <cstdint>

#include "search/score.h"

class ProofSearcher;

// The threat solver before the normal search of a move request, on the
// searcher's position, within solverBudgetMs and never more than half the
// move's budget. Plays a proven win by threats (true, the move in result);
// otherwise, when the opponent given the move would win by threats, restricts
// the searcher's worker's root moves to those not proven to lose and adds those proven
// to stop it, or answers the one move left (true). Only where the normal
// search would search: an open position with a choice of moves and no random
// moves.
bool SolveAtRoot(ProofSearcher& proof, int32_t solverBudgetMs, int32_t moveBudgetMs,
                 SearchResult& result);
