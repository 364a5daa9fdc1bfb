#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "board/threatcategory.h"

// The static evaluation's weights per category, for the side to move and for the
// opponent. The generator's listing keeps its own copy for ordering.
extern const int32_t ownWeight[kCategoryCount];
extern const int32_t oppWeight[kCategoryCount];

// Static score for the side to move.
int32_t Evaluate(BoardAI& board);
