#include "search/learnedeval.h"

int32_t LearnedEvaluate(const BoardAI& board) {
    const CodeValues& t = *board.mCodes.values;
    const int own = static_cast<int>(board.mToMove), opp = static_cast<int>(board.mOpponent);
    int64_t total = static_cast<int64_t>(board.mCodes.sum[own - 1][0]) + board.mCodes.sum[opp - 1][1] +
                    t.presence[PresenceIndex(PresenceFlags(board.Counts(own)),
                                             PresenceFlags(board.Counts(opp)))];
    if (board.genDanger & 1)
        total += t.danger[0];
    else if (board.genDanger & 2)
        total += t.danger[1];
    return static_cast<int32_t>(total / 100);
}
