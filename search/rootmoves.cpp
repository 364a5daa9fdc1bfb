#include "search/rootmoves.h"

#include "search/movegen.h"

bool IsRootMove(const SearchParams& params, CellIndex cell) {
    for (uint32_t i = 0; i < params.rootMoveCount; ++i)
        if (params.rootMoves[i] == cell) return true;
    return false;
}

void RestrictTableProbe(const SearchParams& params, bool& hadEntry, CellIndex& tableMove,
                        int32_t& alpha, int32_t& beta, int32_t alphaIn, int32_t betaIn) {
    if (!hadEntry) return;
    alpha = alphaIn;
    beta = betaIn;
    if (!IsRootMove(params, tableMove)) {
        hadEntry = false;
        tableMove = kNoCell;
    }
}

void RestrictToRootMoves(BoardAI& board, const SearchParams& params) {
    CellIndex kept[kMaxArea];
    uint32_t n = 0;
    for (uint32_t i = 0; i < board.genCount; ++i) {
        const CellIndex m = board.genMoves[i];
        if (m >= kNoCell) continue;
        if (IsRootMove(params, m))
            kept[n++] = m;
        else
            board.genFlags[m] = 0;
    }
    for (uint32_t i = 0; i < params.rootMoveCount && n < kMaxArea; ++i) {
        const CellIndex m = params.rootMoves[i];
        if (m >= Coord::area || board.mCells[m] || board.IsListed(m)) continue;
        board.genKind[m] = kKindPositional;
        board.genFlags[m] = BoardAI::kListedFlag;
        kept[n++] = m;
    }
    for (uint32_t i = 0; i < n; ++i) board.genMoves[i] = kept[i];
    board.genCount = n;
}
