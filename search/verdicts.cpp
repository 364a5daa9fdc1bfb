#include "search/verdicts.h"

#include <cassert>
#include <utility>

#include "board/coord.h"
#include "board/patterntables.h"
#include "search/score.h"

namespace generator {

bool OpenFourAfter(Gen& g, CellIndex cell) {
    const uint16_t lists = g.b.ThreatListFlags();
    g.b.Toggle(cell);
    const bool kept = StraightCells(g.oppCount) > 0;
    g.b.Toggle(cell);
    g.b.RestoreThreatListFlags(lists);
    return kept;
}

// The side to move, without a four of its own to make, is lost when no stone it
// can place takes every open-four move away from the opponent. A stone changes a
// cell's category only from the cell itself or from its lines within five steps,
// so only the cells that see every open-four cell that way are tried.
bool EveryMoveLeavesOpenFour(Gen& g) {
    BoardAI& b = g.b;
    CellIndex straight[kMaxArea];
    const int ns = CellsOf(b, g.opp, k2xStraightFour, kStraightFour, straight);
    if (ns == 0) return false;
    auto seesAll = [&](CellIndex d) {
        for (int i = 1; i < ns; ++i)
            if (d != straight[i] && !Aligned(d, straight[i], 1, 5)) return false;
        return true;
    };
    const CellIndex first = straight[0];
    if (seesAll(first) && !OpenFourAfter(g, first)) return false;
    for (int d = 0; d < 4; ++d) {
        for (int k = -5; k <= 5; ++k) {
            if (k == 0) continue;
            const CellIndex z = Coord::Shift(first, k, d);
            if (z == kOffBoard || b.mCells[z] || !seesAll(z)) continue;
            if (!OpenFourAfter(g, z)) return false;
        }
    }
    return true;
}

// The four-three at z wins when the opponent's forced block of its four makes no
// four of the opponent's: the three then becomes an open four, and the opponent,
// who had no four before (no five threat reached this step), has no five to
// answer it with.
bool FourThreeWins(Gen& g, CellIndex z) {
    const CellIndex block = FourPartner(g.b, z, g.own);
    return block != kNoCell && g.Cat(g.opp, block) > kFour;
}

int32_t CheckFourThree(Gen& g) {
    BoardAI& b = g.b;
    const uint16_t* next = b.Next(g.own);
    for (uint16_t z = next[kNoCell + kFourThree]; z < kNoCell; z = next[z]) {
        if (FourThreeWins(g, z)) {
            b.ClearGenerated();
            if (g.List(z, kKindWin)) return ScoreWin;  // not a forbidden point
        }
    }
    // The defences' shape only suggests a win: the four-three it picks is listed
    // first and searched, the verdict stays open.
    for (uint16_t z = next[kNoCell + kFourThree]; z < kNoCell; z = next[z]) {
        // The opponent's defences against this four-three, seen from its side.
        std::swap(b.mToMove, b.mOpponent);
        b.DefenceMoves(z, nullptr, 0, false, 1);
        std::swap(b.mToMove, b.mOpponent);
        if (b.genCount >= 2 && g.Cat(g.opp, b.genMoves[1]) > kFour) {
            bool straightListed = false;
            const uint16_t* oppNext = b.Next(g.opp);
            for (uint16_t s = oppNext[kNoCell + kStraightFour]; s < kNoCell; s = oppNext[s])
                if (b.IsListed(s)) straightListed = true;
            if (!straightListed) {
                g.claimed = z;
                return ScoreContinue;
            }
        }
    }
    return ScoreContinue;
}

}  // namespace generator

CellIndex FourPartner(BoardAI& board, CellIndex cell, int player) {
    int d = 0;
    while (d < 4 && board.LineCat(player, cell, d) > kFour) ++d;
    if (d == 4) return kNoCell;
    const uint32_t w = board.mLinePattern[cell * 4 + d];
    auto slotValue = [w](int slot) { return (w >> (2 * slot)) & 3; };
    // Towards lower indices: over the player's stones to the first other cell.
    int slot = 4;
    while (slot >= 0 && slotValue(slot) == static_cast<uint32_t>(player)) --slot;
    if (slot >= 0 && slotValue(slot) == 0) {
        CellIndex z = Coord::Shift(cell, slot - 5, d);
        assert(!board.mCells[z] && "the line pattern shows the cell empty");
        if (board.LineCat(player, z, d) <= kFour) return z;
    }
    // Towards higher indices.
    slot = 5;
    while (slot <= 9 && slotValue(slot) == static_cast<uint32_t>(player)) ++slot;
    if (slot > 9 || slotValue(slot) != 0) return kNoCell;
    CellIndex z = Coord::Shift(cell, slot - 4, d);
    assert(!board.mCells[z] && "the line pattern shows the cell empty");
    return board.LineCat(player, z, d) <= kFour ? z : kNoCell;
}
