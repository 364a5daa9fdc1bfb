#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "board/threatcategory.h"

// The static evaluation's weights per category, for the side to move and for the
// opponent. The generator's listing keeps its own copy for ordering.
extern const int32_t ownWeight[kCategoryCount];
extern const int32_t oppWeight[kCategoryCount];

// Static score for the side to move: the learned evaluation when the board
// keeps cell codes under a table, else the category counts weighted.
int32_t Evaluate(BoardAI& board);
