#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/movelist.h"

class SearchWorker;

// Before a node searches its moves, asks the table about each child. Every entry's
// score becomes the child's stored score (its own point of view), or the average
// of those found when it has none. A child whose value is known may raise alpha
// (boundKind then becomes exact) or cut the node off: then best and score are set,
// the cutoff is stored, and the answer is true.
bool EnhancedCutoffScan(SearchWorker& worker, BoardAI& board, MoveList& list, int32_t depth,
                        int32_t& alpha, int32_t beta, uint8_t& boundKind,
                        const SearchParams& params);
