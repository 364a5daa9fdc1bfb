#include "search/cutoffscan.h"

#include "board/zobrist.h"
#include "search/score.h"
#include "search/searchworker.h"
#include "search/transpositiontable.h"

bool EnhancedCutoffScan(SearchWorker& worker, BoardAI& board, MoveList& list, int32_t depth,
                        int32_t& alpha, int32_t beta, uint8_t& boundKind,
                        const SearchParams& params) {
    if (list.count == 0) return false;
    const TranspositionTable& table = *worker.shared.transpositionTable;
    uint32_t found = 0;
    int64_t sum = 0;  // several decisive scores overflow 32 bits
    bool known[kMoveListCapacity] = {};

    // Every child's entry is fetched at once rather than one miss after another.
    for (uint32_t i = 0; i < list.count; ++i) {
        const CellIndex move = list.entries[i].move;
        if (move != kNoCell && move != kPass)
            table.Prefetch(board.mHash ^ ZobristKey(move, board.mToMove, Coord::area));
    }
    for (uint32_t i = 0; i < list.count; ++i) {
        MoveEntry& entry = list.entries[i];
        const CellIndex move = entry.move;
        entry.score = 0;
        // 400 is no cell and has no key: it can have no entry.
        if (move == kNoCell) continue;
        uint64_t childKey = board.mHash;
        if (move != kPass) childKey ^= ZobristKey(move, board.mToMove, Coord::area);
        const std::optional<HashEntry> child = table.Lookup(childKey);
        if (!child) continue;

        const int32_t s = child->score;
        const uint8_t b = child->bound;
        int32_t lo = -beta;
        int32_t hi = -alpha;
        TranspositionTable::NarrowWindow(*child, depth - 1, lo, hi);
        sum += s;
        ++found;
        entry.score = s;
        known[i] = true;

        bool cutoff = false;
        if (lo == hi) {
            if (-hi >= beta) {
                cutoff = true;
            } else if (-hi > alpha) {
                alpha = -hi;
                boundKind = kBoundExact;
            }
        } else if (b == kBoundExact && -lo != beta) {
            if (-lo >= beta) {
                cutoff = true;
            } else if (-hi > alpha) {
                alpha = -hi;
                boundKind = kBoundExact;
            }
        }
        if (cutoff) {
            if (!SearchTimeUp(params))
                RecordNodeResult(worker, board.mHash, depth, beta, kBoundLower, move);
            SetBestMove(list, move);
            list.score = beta;
            return true;
        }
    }

    if (found >= 1 && found < list.count) {
        const int32_t average = static_cast<int32_t>(sum / found);
        for (uint32_t i = 0; i < list.count; ++i)
            if (!known[i]) list.entries[i].score = average;
    }
    return false;
}
