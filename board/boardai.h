#pragma once

#include "board/forbidden.h"
#include "board/listboard.h"

// A ListBoard with the move generator's working storage (the generated move list
// and its per-cell marks); also the owner of the one call that builds every
// process-wide table of the board model.
class BoardAI : public ListBoard {
  public:
    uint8_t mPlain = 1;  // 1 for a plain BoardAI, 0 for a BorderListBoard (has candidate cells)
    uint32_t genLimit;
    uint16_t genMoves[kMaxArea];
    uint16_t genFlags[kMaxArea];
    uint8_t genKind[kMaxArea];
    uint32_t genPriority[kMaxArea];
    uint32_t genCount = 0;
    uint32_t mBorderState[kMaxArea];  // 0 inside, 1 border (listed), 2 outside
    uint32_t genDanger = 0;
    uint8_t genPending = 0;
    // Renju: Black's forbidden points of the current position, asked for per
    // cell; none of them is ever listed for Black.
    ForbiddenPoints forbidden;

    explicit BoardAI(Rules rules = Rules{});
    BoardAI(const BoardAI& other);
    BoardAI& operator=(const BoardAI& other);

    // Lists a cell in genMoves (true) or, when it is listed already and update is
    // set, merges its flags or, with flag 1024, moves it to the end (false). A
    // forbidden point of Black to move is not listed (false).
    bool AddGenerated(CellIndex cell, uint8_t kind, uint16_t flags, bool update, uint32_t priority);
    void ClearGenerated();

    // The answers to the opponent's threat at cell: written to out when it is
    // given, else listed in genMoves (AddGenerated with update = add). Only
    // stones that raise the threat's distance by minGain or more. Answers the
    // number of cells.
    int DefenceMoves(CellIndex cell, CellIndex* out, uint16_t flags, bool add, int minGain);
    int LineDefenceMoves(CellIndex cell, int d, CellIndex* out, bool withStone, uint16_t flags,
                         bool add, int minGain);
    bool IsListed(CellIndex cell) const { return genFlags[cell] & kListedFlag; }
    static constexpr uint16_t kListedFlag = 256;
    static constexpr uint16_t kMoveToEndFlag = 1024;

    // Builds the keys, the category tables, update rows and rays for the current
    // Coord shape, and the pattern tables of the default rules; loads the
    // learned tables (learnedtables.h) the first time. Run after
    // Coord::SetSize, before any board.
    static void Alloc();
    static void Free();

  protected:
    // LineDefenceMoves for a straight four under the exact-five rule, checked by
    // trial stones (see the definition).
    bool OwnStoneSixAway(CellIndex cell, int d, int owner) const;
    int ExactFiveLineDefences(CellIndex cell, int d, CellIndex* out, uint16_t flags, bool add,
                              int minGain);
    void ResetSearchBlock();
    void EmitDefence(CellIndex cell, uint16_t flags, bool add, int priority);
    void CopySearchBlock(const BoardAI& other);
};
