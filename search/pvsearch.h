#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/score.h"
#include "search/timecontrol.h"

class SearchWorker;

// Depth of the principal-variation search in sixteenths of a ply, so that a
// four and its forced block can cost less than one ply together.
constexpr int32_t kPly = 16;

// The engine's default search: iterative deepening over a principal-variation
// search with aspiration windows, move-count pruning, late-move reductions,
// reverse futility and razoring, ordered by the table move, the generator's
// threat order and a history of cut-offs. Iterations run from depth 2 to
// maxDepth + 1 unless time or a proven result stops them; tc null means no
// time limit. Answers the move and its verdict; the board is left as it was.
// The depth line is written unless quiet.
SearchResult PvDeepening(SearchWorker& worker, BoardAI& board, const TimeControl* tc,
                         int32_t maxDepth, bool quiet = false);
