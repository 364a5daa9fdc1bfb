#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/movelist.h"

class SearchWorker;

// At most this many fours are searched at one attacker level.
constexpr uint32_t kMaxVcfFours = 40;

// Forcing search over continuous fours for the side to move: it plays only
// four-making moves, the opponent only the forced block. Answers the side's score,
// a lower bound unless ScoreWin, and in move the four that reached it (400 none).
// tried: cells ended by 400, handed down from the attacker level two plies above
// so that one set of fours is not searched in every order; nullptr for none.
int32_t VCF(SearchWorker& worker, BoardAI& board, int32_t depth, const SearchParams& params,
            CellIndex& move, bool top, int32_t upper, const CellIndex* tried);

// The defender's ply: plays the block of the attacker's five-threat and answers
// the defender's score.
int32_t VcfDefence(SearchWorker& worker, BoardAI& board, int32_t depth, const SearchParams& params,
                   int32_t upper, const CellIndex* tried);
