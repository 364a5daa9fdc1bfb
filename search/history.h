#pragma once

#include <cstdint>

#include "board/coord.h"

// What the principal-variation search learns about move order while it runs:
// a history score per player and cell, two killers per ply, and the reply that
// last refuted each opponent move. Owned by the one search that fills it and
// aged between move requests, so a game's later searches start from the
// earlier ones' experience.
class SearchHistory {
  public:
    static constexpr int32_t kMaxPly = 128;
    static constexpr int32_t kLimit = 16384;  // |score| stays below it (gravity)

    SearchHistory() { Clear(); }
    void Clear();
    // Halves every score and forgets the killers: the position moved on.
    void Age();

    int32_t Score(uint32_t player, CellIndex cell) const { return mQuiet[player - 1][cell]; }
    // Bonus for the quiet move that cut off, malus for the quiet moves tried before it.
    void Reward(uint32_t player, CellIndex cell, int32_t bonus);
    void Penalise(uint32_t player, CellIndex cell, int32_t bonus) { Reward(player, cell, -bonus); }

    bool IsKiller(int32_t ply, CellIndex cell) const {
        return ply < kMaxPly && (mKillers[ply][0] == cell || mKillers[ply][1] == cell);
    }
    void AddKiller(int32_t ply, CellIndex cell);

    // The answer that last refuted the opponent's move `previous`.
    CellIndex Counter(uint32_t player, CellIndex previous) const {
        return previous < kMaxArea ? mCounter[player - 1][previous] : kNoCell;
    }
    void SetCounter(uint32_t player, CellIndex previous, CellIndex reply) {
        if (previous < kMaxArea) mCounter[player - 1][previous] = reply;
    }

  private:
    int16_t mQuiet[2][kMaxArea] = {};
    CellIndex mKillers[kMaxPly][2] = {};
    CellIndex mCounter[2][kMaxArea] = {};
};
