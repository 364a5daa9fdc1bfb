#include "search/alphabeta.h"

#include <algorithm>

#include "search/cutoffscan.h"
#include "search/evaluate.h"
#include "search/movegen.h"
#include "search/rootmoves.h"
#include "search/score.h"
#include "search/searchmove.h"
#include "search/searchworker.h"
#include "search/trace.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"

namespace {

CellIndex FirstGenerated(const BoardAI& board) {
    return board.genCount > 0 ? board.genMoves[0] : kNoCell;
}

// The leaf judgement without searching: a decisive threat verdict or the evaluation.
int32_t StaticValue(BoardAI& board) {
    int32_t verdict = GenerateMovesCore(board, GenMode::kLeafThreats);
    return IsDecisive(verdict) ? verdict : Evaluate(board);
}

}  // namespace

void AlphaBeta(SearchWorker& worker, MoveList& list, BoardAI& board, int32_t depth, int32_t alpha,
               int32_t beta, SearchParams params) {
    // 1. Entry.
    list.best = kNoCell;
    worker.maxMoveCount = std::max(worker.maxMoveCount, board.mMoveCount);

    // A full board is a drawn end, whoever filled it.
    if (board.mMoveCount >= Coord::area) {
        list.score = ScoreDraw;
        return;
    }

    // 2. Horizon: only with player 1 to move, so every leaf is judged from one side.
    if (depth <= 0 && board.mSide == 1) {
        CellIndex four = kNoCell;
        board.mLookSix = 0;
        int32_t v = VCF(worker, board, 0, params, four, true, beta, nullptr);
        board.mLookSix = 1;
        if (v != ScoreLoss && four < kNoCell) {
            AddMove(list, four, 0);
            SetBestMove(list, four);
            list.score = v;
            return;
        }
        v = StaticValue(board);
        if (board.genCount > 0) SetBestMove(list, board.genMoves[0]);
        list.score = v;
        return;
    }

    // 3. Table probe.
    const int32_t alphaIn = alpha;
    const int32_t betaIn = beta;
    CellIndex tableMove = kNoCell;
    uint8_t tableBound = 0;
    int32_t tableScore = 0;
    bool hadEntry = worker.shared.transpositionTable->ProbeHash(board.mHash, depth, alpha, beta,
                                                                tableMove, tableBound, tableScore);
    if (params.rootMoves)
        RestrictTableProbe(params, hadEntry, tableMove, alpha, beta, alphaIn, betaIn);
    if (hadEntry) {
        SetBestMove(list, tableMove);
        if (alpha == beta || (alpha > alphaIn && tableBound == kBoundExact)) {
            SetBestMoveAndScore(list, tableMove, alpha);
            return;
        }
    }

    // 4. Internal deepening when the table offers no move to start with.
    MoveList scratch;
    bool deepened = false;
    if (depth >= 7 && list.best == kNoCell && static_cast<int64_t>(beta) - alpha > 1) {
        SearchParams shallow = params;
        shallow.iidSearch = true;
        AlphaBeta(worker, scratch, board, depth - 4, alpha, beta, shallow);
        if (IsDecisive(scratch.score)) {
            SetBestMoveAndScore(list, scratch.best, scratch.score);
            return;
        }
        deepened = true;
    }

    // 5. Generation, its width capped by the remaining depth.
    board.genLimit = static_cast<uint32_t>(depth + (params.iidSearch ? 25 : 5));
    const int32_t verdict = GenerateMoves(board, params.genMode);
    if (params.rootMoves) RestrictToRootMoves(board, params);
    const CellIndex first = FirstGenerated(board);
    if (IsDecisive(verdict)) {
        if (list.best == kNoCell) SetBestMove(list, first);
        if (board.genCount > 0) AddMove(list, first, verdict == ScoreWin ? 1 : 2);
        list.score = verdict;
        return;
    }

    // 6. Out of time: answer at once with the first move and a static value.
    if (SearchTimeUp(params)) {
        if (list.best == kNoCell) SetBestMove(list, first);
        if (board.genCount > 0) AddMove(list, first, 0);
        list.score = StaticValue(board);
        return;
    }

    // 7. The list: the table move first, then the generator's order.
    if (list.best < kNoCell) {
        const CellIndex t = list.best;
        const bool listed = board.IsListed(t);
        AddMove(list, t, listed ? board.genKind[t] : 0, listed ? board.genFlags[t] : 0);
    }
    for (uint32_t i = 0; i < board.genCount; ++i) {
        // The generator may list 400 (no cell); it has no per-cell marks.
        const CellIndex m = board.genMoves[i];
        if (m < kNoCell)
            AddMove(list, m, board.genKind[m], board.genFlags[m]);
        else
            AddMove(list, m, 0);
    }

    // 8. Table scan of the children.
    uint8_t boundKind = kBoundUpper;
    if (!hadEntry && list.count >= 2 &&
        EnhancedCutoffScan(worker, board, list, depth, alpha, beta, boundKind, params))
        return;

    // 9. Order by the internal deepening's scores.
    if (deepened) {
        if (!scratch.bestKnown) list = scratch;
        SortMoveList(list);
    }

    // 10. Move loop. The iteration's root reports its moves to live analysis.
    const bool live = params.root && !params.iidSearch && worker.showDetail;
    int32_t bestScore = ScoreLoss;
    if (list.count > 0) SetBestMove(list, list.entries[0].move);
    // A forced single reply costs no depth.
    const int32_t childDepth = list.count > 1 ? depth - 1 : depth;
    for (uint32_t i = 0; i < list.count; ++i) {
        MoveEntry& entry = list.entries[i];
        if (entry.move == kNoCell || entry.score == ScoreLoss) continue;
        // The shallower search proved this move lost (its list is in another order).
        if (deepened && ScoreOf(scratch, entry.move) == ScoreLoss) continue;

        if (live) LiveCell(worker, "POS", entry.move);
        const uint32_t start = board.StonesCounted();
        MakeSearchMove(board, entry.move);
        MoveList child;
        AlphaBeta(worker, child, board, childDepth, -beta, -alpha, ChildParams(params));
        const int32_t s = -child.score;
        entry.nodes = board.StonesCounted() - start;
        entry.score = s;
        if (live) LiveCell(worker, s == ScoreLoss ? "LOST" : "DONE", entry.move);
        if (s > bestScore) {
            SetBestMove(list, entry.move);
            list.score = s;
            bestScore = s;
            if (live) {
                LiveCell(worker, "BEST", entry.move);
                LiveValue(worker, s);
            }
        }
        if (s >= beta) {
            UndoSearchMove(board, entry.move);
            if (!SearchTimeUp(params))
                RecordNodeResult(worker, board.mHash, depth, beta, kBoundLower, list.best);
            list.score = beta;
            return;
        }
        UndoSearchMove(board, entry.move);
        if (s > alpha) {
            alpha = s;
            boundKind = kBoundExact;
        }
    }

    // 11. Every move lost: keep the one whose refutation was hardest to find.
    if (bestScore == ScoreLoss) PickBestByNodes(list);

    // 12. Node end.
    if (depth > 2 && !SearchTimeUp(params))
        RecordNodeResult(worker, board.mHash, depth, alpha, boundKind, list.best);
    list.score = alpha;
}
