#pragma once

#include <cstdint>

#include "board/boardai.h"

// The learned evaluation: the board's running sums of per-cell code values
// (the table attached to it, cellcodes.h) for the side to move and the
// opponent, the pair of threat kinds both sides hold, and the generator's
// danger marks. Same units as the classic evaluation.
int32_t LearnedEvaluate(const BoardAI& board);
