#include "search/driver.h"

#include <stdexcept>

#include "board/simpleboard.h"
#include "board/threatcategory.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "platform/clock.h"
#include "search/alphabeta.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/searchcontext.h"
#include "search/timebudget.h"
#include "search/trace.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"

namespace {

int64_t Remaining(const TimeControl* tc) {
    return tc ? TimeRemaining(*tc) : kUnlimitedMs;
}

}  // namespace

SearchResult ChooseMove(SearchContext& context, TimeControl& tc) {
    // 1. Search structures, and a copy of the board to search on.
    if (!context.transpositionTable) context.AllocSearch();
    if (!context.transpositionTable) throw std::runtime_error("search structures not allocated");
    BoardAI copy = *context.board;
    // A BoardAI copy has no candidate-cell list, whatever the original was.
    copy.mPlain = 1;
    InvalidateThreatLists();

    // 2. The generator may settle the move alone.
    const int32_t verdict = GenerateMoves(copy, 0);
    const uint32_t n = copy.genCount;
    uint32_t index = 0;
    bool search = false;
    if (verdict == ScoreWin) {
        // 3. Won: a five to complete now, or a forced win.
        if (copy.Counts(copy.mToMove)[kWin] > 0)
            WriteVictoryPicture(context);
        else
            context.Message(":-))");
    } else if (verdict == ScoreLoss) {
        context.Message(":-((");
    } else if (n == 1) {
        // 4. A single candidate: the table only chooses the message.
        int32_t alpha = ScoreLoss;
        int32_t beta = ScoreWin;
        CellIndex move;
        uint8_t bound;
        int32_t score;
        context.transpositionTable->ProbeHash(copy.mHash, 1, alpha, beta, move, bound, score);
        if (alpha == ScoreWin)
            context.Message(";-)");
        else if (beta == ScoreLoss)
            context.Message(";-(");
    } else if (context.randomMoveProbability > 0 &&
               DrawRandom() % 100 < context.randomMoveProbability) {
        // 5. A random candidate, drawn from the process-wide generator.
        if (n > 0) index = static_cast<uint32_t>(DrawRandom()) % n;
    } else {
        // 6. No search on an empty or one-stone board, or with the turn already over.
        search = copy.mMoveCount > 1 && StampDiff(tc.turnDeadline, NowMs()) > 0;
    }

    if (search) {
        // 7. Search.
        const uint32_t msBefore = NowMs();
        const uint32_t nodesBefore = nodeCounter;
        SearchResult result = IterativeDeepening(context, copy, &tc, context.maxDepth);
        WriteSearchStatistics(context, nodesBefore, nodeCounter, msBefore, NowMs());
        if (result.proof == 0) {
            context.Message(":-)");
        } else if (result.disproof == 0) {
            context.Message(":-(");
            // The next move's searches start without the lost analysis.
            context.transpositionTable->ClearTable();
        }
        return result;
    }

    // 8. Without search: the generator's verdict and its chosen candidate.
    SearchResult result{0, 1, 1, kNoCell};
    SetVerdict(result, verdict);
    result.value = 0;
    result.move = n > 0 ? copy.genMoves[index] : kNoCell;
    return result;
}

SearchResult IterativeDeepening(SearchContext& context, BoardAI& board, TimeControl* tc,
                                int32_t maxDepth) {
    // 1. The generator's first candidate is the fallback.
    SearchResult result{0, 1, 1, kNoCell};
    GenerateMoves(board, 0);
    CellIndex keep = board.genCount > 0 ? board.genMoves[0] : kNoCell;
    if (context.restrictedCount > 0) keep = context.restrictedMoves[0];  // root moves given
    result.move = keep;
    int64_t previousLeft = Remaining(tc);
    context.maxMoveCount = board.mMoveCount;

    // 2. Deepen.
    const uint32_t liveStartMs = NowMs(), liveStartNodes = nodeCounter;
    int32_t depth = 2;
    for (;; ++depth) {
        if (context.showDetail) context.Live("REALTIME REFRESH");
        const SearchResult iteration = SearchIteration(context, board, depth, tc);
        if (iteration.move == kNoCell) break;
        // An iteration that time cut short gives its verdict but not its move;
        // a proven win is the exception: its move is the winning one (a forcing
        // line that was searched to its end), and the previous move may not win.
        SetVerdict(result, iteration.value);
        const int64_t left = Remaining(tc);
        if (left > 0 || result.proof == 0) result = iteration;
        if (context.showDetail && (left > 0 || result.proof == 0))
            WriteIterationLines(context, board, depth,
                                static_cast<int64_t>(context.maxMoveCount) - board.mMoveCount,
                                result, nodeCounter - liveStartNodes,
                                StampDiff(NowMs(), liveStartMs));
        const int64_t spent = previousLeft - left;
        previousLeft = left;
        if (result.proof == 0) {
            keep = result.move;
            break;
        }
        if (result.disproof == 0) break;
        keep = result.move;
        if (tc) RefreshMoveDeadline(*tc, result.value);
        if (depth > maxDepth || left < 1 || 2 * left <= spent ||
            static_cast<int64_t>(board.mMoveCount) + depth >= static_cast<int64_t>(Coord::area) - 1)
            break;
    }
    result.move = keep;

    // 3. Depth line.
    WriteDepthLine(context, depth, static_cast<int64_t>(context.maxMoveCount) - board.mMoveCount,
                   result.value);
    return result;
}

SearchResult SearchIteration(SearchContext& context, BoardAI& board, int32_t depth,
                             const TimeControl* tc) {
    board.genLimit = Coord::area;
    SearchParams params;
    params.timeControl = tc;
    params.genMode = 0;
    params.vcfNoStandPat = true;
    params.iidSearch = false;
    params.vcfFloor = -9;
    params.root = true;
    if (context.restrictedCount > 0) {  // root moves given by the threat solver
        params.rootMoves = context.restrictedMoves;
        params.rootMoveCount = context.restrictedCount;
    }

    // 1. A forced win by fours ends the iteration.
    CellIndex move = kNoCell;
    int32_t value = VCF(context, board, depth, params, move, true, ScoreWin, nullptr);
    if (value == ScoreWin) {
        if (move > kNoCell) throw std::runtime_error("invalid bestMove in VCF");
    } else {
        // 2. Otherwise the fours' value is the lower bound of the full search.
        MoveList list;
        params.vcfNoStandPat = false;
        AlphaBeta(context, list, board, depth, value, ScoreWin, params);
        if (list.best > kNoCell) throw std::runtime_error("invalid bestMove in AlphaBeta");
        move = list.best;
        value = list.score;
    }
    board.genLimit = Coord::area;

    SearchResult result{0, 1, 1, move};
    SetVerdict(result, value);
    return result;
}
