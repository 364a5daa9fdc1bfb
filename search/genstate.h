#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "search/movegen.h"

// The generator's steps, split by job over movegen (listing), threatdefence
// (answers to the opponent's threats) and verdicts (won and lost positions);
// this is what they share.
namespace generator {

// The state one generation shares between its steps.
struct Gen {
    BoardAI& b;
    GenMode mode;
    int own;  // stone value of the side to move
    int opp;
    const uint16_t* ownCount;
    const uint16_t* oppCount;
    bool answered = true;  // extras of the positional steps allowed
    bool doubleThreeDefence = false;
    CellIndex claimed = kNoCell;  // a likely win, not proven: listed first

    Gen(BoardAI& board, GenMode m)
        : b(board),
          mode(m),
          own(static_cast<int>(board.mToMove)),
          opp(static_cast<int>(board.mOpponent)),
          ownCount(board.Counts(own)),
          oppCount(board.Counts(opp)) {}

    uint32_t Cat(int player, CellIndex z) const { return b.Category(player, z); }
    bool FourMaking(CellIndex z) const { return Cat(own, z) < k2xThree; }
    bool List(CellIndex z, uint8_t kind, uint32_t priority = 1) {
        return b.AddGenerated(z, kind, 0, false, priority);
    }
    uint32_t OppFourCells() const {
        return oppCount[kFourThree] + oppCount[kFourDevelopFour] + oppCount[kFourDevelopThree] +
               oppCount[kFour];
    }
    uint32_t OwnFourCells() const {
        return ownCount[kFourThree] + ownCount[kFourDevelopFour] + ownCount[kFourDevelopThree] +
               ownCount[kFour];
    }
    // Lists the side's defences against the opponent's threat at z.
    int ListDefences(CellIndex z) { return b.DefenceMoves(z, nullptr, 0, false, 1); }
    int Defences(CellIndex z, CellIndex* out) { return b.DefenceMoves(z, out, 0, false, 1); }
};

// A cell with a sort key, for the steps that list their best few.
struct Keyed {
    CellIndex cell;
    int64_t key;
};

// Highest key first; equal keys keep their order.
void SortByKey(Keyed* items, int n);

// Takes z off the generated list, keeping the order of the rest.
void Unlist(BoardAI& b, CellIndex z);
bool Contains(const CellIndex* cells, int n, CellIndex z);
// Keeps the cells of s that are also in t; a removed cell's place is taken by the
// last cell.
void Intersect(CellIndex* s, int& ns, const CellIndex* t, int nt);
// True when no stone of `player` lies strictly between a and b on their line.
bool NoStoneBetween(const BoardAI& b, CellIndex from, CellIndex to, int player);
// a and b share a line at a distance from minDist to maxDist.
bool Aligned(CellIndex a, CellIndex b, int minDist, int maxDist);
bool HasOccupiedNeighbour(const BoardAI& b, CellIndex z);
// The cells of the player's category lists `first` to `last`, in list order.
// Under the exact-five rule the defences of an open four are found with trial
// stones, which move cells to the ends of their lists: a walk that asks for
// defences walks this copy, or it may skip cells or never end.
int CellsOf(const BoardAI& b, int player, uint32_t first, uint32_t last, CellIndex* out);
// Number of the four line categories of z for player that equal `category`.
int CountLines(const BoardAI& b, CellIndex z, int player, uint32_t category);
// Potential category of z in the threat list t, or -1 when z is not in it.
int PotentialIn(const uint16_t* t, CellIndex z);

// Open-four cells (2xStraightFour, StraightFourFour, StraightFour) of a player.
inline uint32_t StraightCells(const uint16_t* count) {
    return count[k2xStraightFour] + count[kStraightFourFour] + count[kStraightFour];
}

// Lists the defences against every opponent cell of the categories
// 2xStraightFour .. `weakest`: the moves to search when no single one is known
// to hold.
void ListEveryDefence(Gen& g, uint32_t weakest);
// Lists up to `limit` cells of the side's lists Win..Other that touch a stone.
void ListCellsNextToStones(Gen& g, uint32_t limit);

}  // namespace generator
