#include "search/evaluate.h"

#include "board/patterntables.h"
#include "board/threatlist.h"

const int32_t ownWeight[kCategoryCount] = {1000000, 30000, 20000, 10000, 1100, 670, 580, 250, 730,
                                           330,     200,   110,   130,   80,   50,  20,  0,   -1};
const int32_t oppWeight[kCategoryCount] = {-1800, -1500, -1450, -1400, -1300, -950,
                                           -700,  -330,  -400,  -130,  -50,   -40,
                                           -50,   -25,   -20,   -8,    0,     1};
int32_t Evaluate(BoardAI& board) {
    const int own = static_cast<int>(board.mToMove), opp = static_cast<int>(board.mOpponent);
    const uint16_t* ownCount = board.Counts(own);
    const uint16_t* oppCount = board.Counts(opp);
    // 1. Cells per category, weighted.
    int64_t a = 0, b = 0;
    for (int c = 0; c <= kTwoDef; ++c) {
        a += static_cast<int64_t>(ownCount[c]) * ownWeight[c];
        b += static_cast<int64_t>(oppCount[c]) * oppWeight[c];
    }
    // 2. What the threat lists add on top.
    int64_t dA = 0, dB = 0;
    for (const uint16_t* t = board.ThreatList(own); ThreatCell(*t) != kNoCell; ++t)
        dA += ownWeight[ThreatPotential(*t)] - ownWeight[board.Category(own, ThreatCell(*t))];
    for (const uint16_t* t = board.ThreatList(opp); ThreatCell(*t) != kNoCell; ++t)
        dB += oppWeight[ThreatPotential(*t)] - oppWeight[board.Category(opp, ThreatCell(*t))];
    // 3. Combined in single precision, as the weights were tuned.
    int64_t total = a + static_cast<int64_t>(static_cast<float>(dA) * 0.9f) + b +
                    static_cast<int64_t>(static_cast<float>(dB) * 0.9f);
    // 4. Threats the generator could not answer.
    if (board.genDanger & 1)
        total -= 100000;
    else if (board.genDanger & 2)
        total -= 20000;
    return static_cast<int32_t>(total / 100);
}
