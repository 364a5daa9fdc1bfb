#include "search/history.h"

#include <algorithm>
#include <cstdlib>

void SearchHistory::Clear() {
    std::fill(&mQuiet[0][0], &mQuiet[0][0] + 2 * kMaxArea, int16_t{0});
    std::fill(&mKillers[0][0], &mKillers[0][0] + 2 * kMaxPly, kNoCell);
    std::fill(&mCounter[0][0], &mCounter[0][0] + 2 * kMaxArea, kNoCell);
}

void SearchHistory::Age() {
    for (auto& side : mQuiet)
        for (int16_t& h : side) h = static_cast<int16_t>(h / 2);
    std::fill(&mKillers[0][0], &mKillers[0][0] + 2 * kMaxPly, kNoCell);
}

void SearchHistory::Reward(uint32_t player, CellIndex cell, int32_t bonus) {
    if (cell >= kMaxArea) return;
    int16_t& h = mQuiet[player - 1][cell];
    bonus = std::clamp(bonus, -kLimit, kLimit);
    // Gravity: the closer to the limit, the less a bonus moves it.
    const int32_t next = h + bonus - h * std::abs(bonus) / kLimit;
    h = static_cast<int16_t>(std::clamp(next, -kLimit, kLimit));
}

void SearchHistory::AddKiller(int32_t ply, CellIndex cell) {
    if (ply >= kMaxPly || mKillers[ply][0] == cell) return;
    mKillers[ply][1] = mKillers[ply][0];
    mKillers[ply][0] = cell;
}
