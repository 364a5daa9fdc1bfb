#include "board/boardai.h"

#include <cstring>

#include "board/coord.h"
#include "board/learnedtables.h"
#include "board/patterntables.h"
#include "board/zobrist.h"

BoardAI::BoardAI(Rules rules) : ListBoard(rules) {
    ResetSearchBlock();
}

BoardAI::BoardAI(const BoardAI& other) : ListBoard(other) {
    CopySearchBlock(other);
}

BoardAI& BoardAI::operator=(const BoardAI& other) {
    if (this != &other) {
        ListBoard::operator=(other);
        CopySearchBlock(other);
    }
    return *this;
}

void BoardAI::ResetSearchBlock() {
    mPlain = 1;
    genLimit = Coord::area;
    memset(genMoves, 0, sizeof genMoves);
    memset(genFlags, 0, sizeof genFlags);
    memset(genKind, 0, sizeof genKind);
    memset(genPriority, 0, sizeof genPriority);
    genCount = 0;
    memset(mBorderState, 0, sizeof mBorderState);
    genDanger = 0;
    genPending = 0;
}

void BoardAI::CopySearchBlock(const BoardAI& other) {
    mPlain = other.mPlain;
    genLimit = other.genLimit;
    memcpy(genMoves, other.genMoves, sizeof genMoves);
    memcpy(genFlags, other.genFlags, sizeof genFlags);
    memcpy(genKind, other.genKind, sizeof genKind);
    memcpy(genPriority, other.genPriority, sizeof genPriority);
    genCount = other.genCount;
    memcpy(mBorderState, other.mBorderState, sizeof mBorderState);
    genDanger = other.genDanger;
    genPending = other.genPending;
}

bool BoardAI::AddGenerated(CellIndex cell, uint8_t kind, uint16_t flags, bool update,
                           uint32_t priority) {
    if (GameRules().Renju() && cell < Coord::area && !mCells[cell] && !IsListed(cell) &&
        forbidden.IsForbiddenToMove(*this, cell))
        return false;
    genKind[cell] = kind;
    if (!IsListed(cell)) {
        genPriority[genCount] = priority;
        genMoves[genCount++] = cell;
        genFlags[cell] = flags | kListedFlag;
        return true;
    }
    if (update) {
        if (!(flags & kMoveToEndFlag)) {
            genFlags[cell] |= flags;
        } else {
            uint32_t i = 0;
            while (i < genCount && genMoves[i] != cell) ++i;
            uint32_t kept = genPriority[i];
            for (; i + 1 < genCount; ++i) {
                genMoves[i] = genMoves[i + 1];
                genPriority[i] = genPriority[i + 1];
            }
            genMoves[genCount - 1] = cell;
            genPriority[genCount - 1] = kept;
        }
    }
    return false;
}

void BoardAI::ClearGenerated() {
    for (uint32_t i = 0; i < genCount; ++i)
        if (genMoves[i] < kMaxArea) genFlags[genMoves[i]] = 0;
    genCount = 0;
}

void BoardAI::Alloc() {
    BuildZobristKeys();
    BuildCombinedTable();
    Coord::BuildUpdateList();
    BuildCategoryNames();
    Coord::BuildRays();
    // Five or more wins unless the manager says otherwise: those tables at once,
    // others when a board of other rules is first built.
    PatternTablesFor(Rules{});
    // Once per process: the learned tables do not depend on the shape.
    LearnedTables::Load();
}

void BoardAI::Free() {
    Coord::FreeRays();
    FreePatternTables();
    Coord::FreeUpdateList();
    FreeZobristKeys();
}
