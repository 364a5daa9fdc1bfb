#pragma once

#include <cstdint>

#include "board/coord.h"

// Scores are from the side to move's point of view. A win and a loss are exact
// negatives, so negating a child's score maps one onto the other; heuristic
// evaluations lie far inside them.
constexpr int32_t ScoreWin = 2147483646;
constexpr int32_t ScoreLoss = -2147483646;
constexpr int32_t ScoreUnknown = -2147483647;  // generator verdict: not decided, evaluate
constexpr int32_t ScoreContinue = INT32_MIN;
constexpr int32_t ScoreDraw = 0;  // a full board: nobody can move any more

static_assert(ScoreLoss == -ScoreWin);

inline bool IsDecisive(int32_t score) {
    return score == ScoreWin || score == ScoreLoss;
}

constexpr uint32_t kInfinity = 4294967295u;  // infinite proof or disproof number

struct SearchResult {
    int32_t value;
    uint32_t proof;     // 0 = proven won
    uint32_t disproof;  // 0 = proven lost
    CellIndex move;     // kNoCell = none
};

// Value and proof numbers from a score; the move is left alone.
inline void SetVerdict(SearchResult& result, int32_t score) {
    result.value = score;
    if (score == ScoreWin) {
        result.proof = 0;
        result.disproof = kInfinity;
    } else if (score == ScoreLoss) {
        result.proof = kInfinity;
        result.disproof = 0;
    } else {
        result.proof = 1;
        result.disproof = 1;
    }
}
