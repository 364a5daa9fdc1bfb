#include "search/vcf.h"

#include <algorithm>

#include "platform/clock.h"
#include "search/evaluate.h"
#include "search/movegen.h"
#include "search/score.h"
#include "search/searchmove.h"
#include "search/searchworker.h"
#include "search/timebudget.h"
#include "search/transpositiontable.h"

namespace {

CellIndex FirstGenerated(const BoardAI& board) {
    return board.genCount > 0 ? board.genMoves[0] : kNoCell;
}

bool AmongFirst(const CellIndex* cells, uint32_t count, CellIndex cell) {
    return std::find(cells, cells + count, cell) != cells + count;
}

bool PastTurnDeadline(const SearchParams& params) {
    return (params.stop && params.stop->load(std::memory_order_relaxed)) ||
           (params.timeControl && TurnOver(*params.timeControl));
}

void NoteDepth(SearchWorker& worker, const BoardAI& board) {
    worker.maxMoveCount = std::max(worker.maxMoveCount, board.mMoveCount);
}

}  // namespace

int32_t VCF(SearchWorker& worker, BoardAI& board, int32_t depth, const SearchParams& params,
            CellIndex& move, bool top, int32_t upper, const CellIndex* tried) {
    move = kNoCell;
    NoteDepth(worker, board);

    // 1. Floor: judge the position without attacking further.
    if (depth <= params.vcfFloor) {
        int32_t verdict = GenerateMovesCore(board, top ? GenMode::kFull : GenMode::kLeafThreats);
        if (top) move = FirstGenerated(board);
        return IsDecisive(verdict) ? verdict : Evaluate(board);
    }

    // The depth floor alone does not bound the time of a probe with many fours:
    // a probe that grows past a thousand levels checks the turn's hard limit (less
    // the reply reserve), and once it has passed answers "no four sequence found", a safe lower
    // bound that is not stored.
    if (top) worker.vcfLevels = 0;
    if ((++worker.vcfLevels & 1023) == 0 && PastTurnDeadline(params)) return ScoreLoss;

    // 2. Table.
    if (const auto entry = worker.shared.transpositionTable->Lookup(board.mHash)) {
        int32_t lo = ScoreLoss;
        int32_t hi = upper;
        TranspositionTable::NarrowWindow(*entry, depth, lo, hi);
        if (entry->bound == kBoundExact && IsDecisive(entry->score)) {
            move = entry->move;
            return entry->score;
        }
        if (lo == hi) {
            move = entry->move;
            return hi;
        }
    }

    // 3. The side's fours.
    int32_t verdict = GenerateMovesCore(board, GenMode::kVcfAttacker);
    if (verdict == ScoreWin) {
        move = FirstGenerated(board);
        return ScoreWin;
    }
    if (board.genCount == 0) return params.vcfNoStandPat ? ScoreLoss : Evaluate(board);
    move = board.genMoves[0];
    if (verdict == ScoreLoss) return ScoreLoss;
    // The deeper levels overwrite the generated list.
    const uint32_t n = std::min(board.genCount, kMaxVcfFours);
    CellIndex fours[kMaxVcfFours];
    std::copy(board.genMoves, board.genMoves + n, fours);

    // 4. Tried list: the fours still open from the level above (and its own four,
    // prev), then this level's new ones.
    CellIndex own[kMaxArea + 1];
    uint32_t length = 0;
    uint32_t inherited = 0;
    int32_t skip = -1;
    const bool chained = tried != nullptr && board.mMoveCount > 1;
    if (chained) {
        const CellIndex prev = board.mMoves[board.mMoveCount - 2];
        for (const CellIndex* t = tried; *t != kNoCell && length < kMaxArea; ++t)
            if (board.mCells[*t] == 0 || *t == prev) own[length++] = *t;
        inherited = length;
        for (uint32_t i = 0; i < n && length < kMaxArea; ++i)
            if (!AmongFirst(own, inherited, fours[i])) own[length++] = fours[i];
        const CellIndex* at = std::find(own, own + length, prev);
        if (at != own + length) skip = static_cast<int32_t>(at - own);
    } else {
        for (uint32_t i = 0; i < n; ++i) own[length++] = fours[i];
    }
    own[length] = kNoCell;

    // 5. Each four, answered by its forced block.
    int32_t best = ScoreLoss;
    bool stopped = false;
    for (uint32_t i = 0; i < n; ++i) {
        const CellIndex four = fours[i];
        // Tried before prev one level up: this order of the same fours was covered.
        if (skip > 0 && AmongFirst(own, static_cast<uint32_t>(skip), four)) continue;
        const CellIndex* handed = length > 0 && (tried == nullptr || i < inherited) ? own : nullptr;
        MakeSearchMove(board, four);
        int32_t s = -VcfDefence(worker, board, depth - 1, params, -upper, handed);
        UndoSearchMove(board, four);
        if (s > best) {
            best = s;
            move = four;
        }
        if (s >= upper || s == ScoreWin) {
            stopped = true;
            break;
        }
    }

    // 6. Stand pat: the attacker may also stop attacking.
    if (!stopped && !params.vcfNoStandPat) {
        int32_t still = GenerateMovesCore(board, GenMode::kLeafThreats);
        if (!IsDecisive(still)) still = Evaluate(board);
        best = std::max(best, still);
    }

    if (best > ScoreLoss) RecordNodeResult(worker, board.mHash, depth, best, kBoundLower, move);
    return best;
}

int32_t VcfDefence(SearchWorker& worker, BoardAI& board, int32_t depth, const SearchParams& params,
                   int32_t upper, const CellIndex* tried) {
    NoteDepth(worker, board);
    int32_t verdict = GenerateMovesCore(board, GenMode::kVcfDefender);
    if (IsDecisive(verdict)) return verdict;
    // The generator lists the block whenever it leaves the verdict open.
    if (board.genCount == 0) return Evaluate(board);
    const CellIndex block = board.genMoves[0];
    MakeSearchMove(board, block);
    CellIndex ignored;
    int32_t s = VCF(worker, board, depth - 1, params, ignored, false, -upper, tried);
    UndoSearchMove(board, block);
    return -s;
}
