#include "search/driver.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <stdexcept>

#include "board/simpleboard.h"
#include "board/threatcategory.h"
#include "board/zobrist.h"
#include "platform/clock.h"
#include "search/alphabeta.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/pvsearch.h"
#include "search/searchpool.h"
#include "search/searchworker.h"
#include "search/timebudget.h"
#include "search/trace.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"

namespace {

// A stop request counts as time run out.
int64_t Remaining(const SearchWorker& worker, const TimeControl* tc) {
    if (worker.StopRequested()) return -1;
    return tc ? TimeRemaining(*tc) : kUnlimitedMs;
}

// Takes the blocked cells out of the generator's list; when every candidate
// was blocked, the other empty cells stand in, nearest the centre first. True
// when the list changed.
bool RemoveBlocked(const SearchWorker& worker, BoardAI& board) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < board.genCount; ++i)
        if (!worker.IsBlocked(board.genMoves[i])) board.genMoves[kept++] = board.genMoves[i];
    if (kept == board.genCount) return false;
    if (kept == 0) {
        for (uint32_t z = 0; z < Coord::area; ++z) {
            const auto cell = static_cast<CellIndex>(z);
            if (!board.mCells[z] && !worker.IsBlocked(cell) &&
                !board.forbidden.IsForbiddenToMove(board, cell))
                board.genMoves[kept++] = cell;
        }
        const auto fromCentre = [](CellIndex c) {
            const int w = static_cast<int>(Coord::width), h = static_cast<int>(Coord::height);
            const int dx = std::abs(2 * static_cast<int>(c % Coord::width) - w + 1);
            const int dy = std::abs(2 * static_cast<int>(c / Coord::width) - h + 1);
            return std::max(dx, dy) * kMaxArea + c;
        };
        std::sort(board.genMoves, board.genMoves + kept,
                  [&](CellIndex a, CellIndex b) { return fromCentre(a) < fromCentre(b); });
    }
    board.genCount = kept;
    return true;
}

}  // namespace

SearchResult ChooseMove(SearchWorker& worker, TimeControl& tc) {
    // 1. Search structures, and a copy of the board to search on.
    if (!worker.shared.transpositionTable && worker.allocateStructures) worker.allocateStructures();
    if (!worker.shared.transpositionTable)
        throw std::runtime_error("search structures not allocated");
    SetTableAge(worker);
    BoardAI copy = *worker.board;
    // A BoardAI copy has no candidate-cell list, whatever the original was.
    copy.mPlain = 1;

    // 2. The generator may settle the move alone.
    int32_t verdict = GenerateMoves(copy, GenMode::kFull);
    // Blocked cells leave the list; the generator's verdict may rest on one, so
    // the search then decides among the others, restricted to them.
    const uint32_t restrictedBefore = worker.restrictedCount;
    if (worker.blockedCount > 0 && RemoveBlocked(worker, copy)) {
        verdict = ScoreUnknown;
        uint32_t kept = 0;
        if (worker.restrictedCount > 0) {
            for (uint32_t i = 0; i < worker.restrictedCount; ++i)
                if (!worker.IsBlocked(worker.restrictedMoves[i]))
                    worker.restrictedMoves[kept++] = worker.restrictedMoves[i];
        }
        if (kept == 0)
            for (uint32_t i = 0; i < copy.genCount; ++i) worker.restrictedMoves[kept++] = copy.genMoves[i];
        worker.restrictedCount = kept;
    }
    struct Restore {
        uint32_t& count;
        uint32_t value;
        ~Restore() { count = value; }
    } restore{worker.restrictedCount, restrictedBefore};
    const uint32_t n = copy.genCount;
    uint32_t index = 0;
    bool search = false;
    if (verdict == ScoreWin) {
        // 3. Won: a five to complete now, or a forced win.
        if (copy.Counts(copy.mToMove)[kWin] > 0)
            WriteVictoryPicture(worker);
        else
            worker.Message(":-))");
    } else if (verdict == ScoreLoss) {
        worker.Message(":-((");
    } else if (n == 1) {
        // 4. A single candidate: the table only chooses the message.
        int32_t alpha = ScoreLoss;
        int32_t beta = ScoreWin;
        CellIndex move;
        uint8_t bound;
        int32_t score;
        worker.shared.transpositionTable->ProbeHash(copy.mHash, 1, alpha, beta, move, bound, score);
        if (alpha == ScoreWin)
            worker.Message(";-)");
        else if (beta == ScoreLoss)
            worker.Message(";-(");
    } else if (worker.shared.randomMoveProbability > 0 &&
               worker.random.Draw() % 100 < worker.shared.randomMoveProbability) {
        // 5. A random candidate, drawn from the worker's generator.
        if (n > 0) index = static_cast<uint32_t>(worker.random.Draw()) % n;
    } else {
        // 6. No search on an empty or one-stone board, or with the turn already over.
        search = copy.mMoveCount > 1 && StampDiff(tc.turnDeadline, NowMs()) > 0;
    }

    if (search) {
        // 7. Search.
        const uint32_t msBefore = NowMs();
        const uint32_t nodesBefore = worker.AllNodes();
        SearchResult result = worker.shared.classic
                                  ? IterativeDeepening(worker, copy, &tc, worker.shared.maxDepth)
                                  : DefaultSearch(worker, copy, &tc, worker.shared.maxDepth);
        WriteSearchStatistics(worker, nodesBefore, worker.AllNodes(), msBefore, NowMs());
        if (worker.IsBlocked(result.move) && n > 0) result.move = copy.genMoves[0];
        if (result.proof == 0) {
            worker.Message(":-)");
        } else if (result.disproof == 0) {
            worker.Message(":-(");
            // The next move's searches start without the lost analysis; the
            // helpers, if any, have stopped.
            if (worker.pool)
                worker.pool->ClearTable();
            else
                worker.shared.transpositionTable->ClearTable();
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

SearchResult DefaultSearch(SearchWorker& worker, BoardAI& board, const TimeControl* tc,
                           int32_t maxDepth, bool quiet) {
    if (worker.pool && &worker.pool->main == &worker)
        return worker.pool->Deepen(board, tc, maxDepth, quiet);
    return PvDeepening(worker, board, tc, maxDepth, quiet);
}

SearchResult IterativeDeepening(SearchWorker& worker, BoardAI& board, TimeControl* tc,
                                int32_t maxDepth) {
    // 1. The generator's first candidate is the fallback.
    board.CountStonesIn(worker.nodeCounter);
    SearchResult result{0, 1, 1, kNoCell};
    GenerateMoves(board, GenMode::kFull);
    CellIndex keep = board.genCount > 0 ? board.genMoves[0] : kNoCell;
    if (worker.restrictedCount > 0) keep = worker.restrictedMoves[0];  // root moves given
    result.move = keep;
    int64_t previousLeft = Remaining(worker, tc);
    worker.maxMoveCount = board.mMoveCount;

    // 2. Deepen.
    const uint32_t liveStartMs = NowMs(), liveStartNodes = worker.nodeCounter;
    int32_t depth = 2;
    int32_t completed = 0;
    for (;; ++depth) {
        if (worker.showDetail) worker.Live("REALTIME REFRESH");
        const SearchResult iteration = SearchIteration(worker, board, depth, tc);
        if (iteration.move == kNoCell) break;
        // An iteration that time cut short gives its verdict but not its move;
        // a proven win is the exception: its move is the winning one (a forcing
        // line that was searched to its end), and the previous move may not win.
        SetVerdict(result, iteration.value);
        const int64_t left = Remaining(worker, tc);
        if (left > 0 || result.proof == 0) {
            result = iteration;
            completed = depth;
        }
        if (worker.showDetail && (left > 0 || result.proof == 0))
            WriteIterationLines(
                worker, board, depth, static_cast<int64_t>(worker.maxMoveCount) - board.mMoveCount,
                result, worker.nodeCounter - liveStartNodes, StampDiff(NowMs(), liveStartMs));
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
    worker.completedDepth = completed;

    // 3. Depth line.
    WriteDepthLine(worker, depth, static_cast<int64_t>(worker.maxMoveCount) - board.mMoveCount,
                   result.value);
    return result;
}

SearchResult SearchIteration(SearchWorker& worker, BoardAI& board, int32_t depth,
                             const TimeControl* tc) {
    board.genLimit = Coord::area;
    board.CountStonesIn(worker.nodeCounter);
    SearchParams params;
    params.timeControl = tc;
    params.stop = worker.stopFlag;
    params.genMode = GenMode::kFull;
    params.vcfNoStandPat = true;
    params.iidSearch = false;
    params.vcfFloor = -9;
    params.root = true;
    if (worker.restrictedCount > 0) {  // root moves given by the threat solver
        params.rootMoves = worker.restrictedMoves;
        params.rootMoveCount = worker.restrictedCount;
    }

    // 1. A forced win by fours ends the iteration.
    CellIndex move = kNoCell;
    int32_t value = VCF(worker, board, depth, params, move, true, ScoreWin, nullptr);
    if (value != ScoreWin) {
        // 2. Otherwise the fours' value is the lower bound of the full search.
        MoveList list;
        params.vcfNoStandPat = false;
        AlphaBeta(worker, list, board, depth, value, ScoreWin, params);
        move = list.best;
        value = list.score;
    }
    assert(move <= kNoCell);
    board.genLimit = Coord::area;

    SearchResult result{0, 1, 1, move};
    SetVerdict(result, value);
    return result;
}
