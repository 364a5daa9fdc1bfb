#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/score.h"
#include "search/timecontrol.h"

class SearchWorker;

// The time left that a search without a time control sees.
constexpr int32_t kUnlimitedMs = 2147483647;

// The move the engine plays on its own board, which is left unchanged: settles
// wins, losses, single candidates, random moves and the opening without search,
// otherwise deepens iteratively within the time control's budget. Allocates the
// engine's search structures when they do not exist yet.
SearchResult ChooseMove(SearchWorker& worker, TimeControl& tc);

// The PV search (PvDeepening), on every worker of the worker's pool when it
// is the pool's main worker, else on the worker alone.
SearchResult DefaultSearch(SearchWorker& worker, BoardAI& board, const TimeControl* tc,
                           int32_t maxDepth, bool quiet = false);

// Iterations of depth 2, 3, ... up to maxDepth + 1 unless time, a proven result or
// the board's size stops them first. With no time control there is no time limit:
// the time left counts as kUnlimitedMs and the move deadline is not renewed.
SearchResult IterativeDeepening(SearchWorker& worker, BoardAI& board, TimeControl* tc,
                                int32_t maxDepth);

// One iteration: a forcing-four probe, then, unless it wins, the alpha-beta search
// with the probe's value as its lower bound. tc may be null (no time limit).
SearchResult SearchIteration(SearchWorker& worker, BoardAI& board, int32_t depth,
                             const TimeControl* tc);
