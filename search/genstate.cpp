#include "search/genstate.h"

#include <cstdlib>

#include "board/coord.h"
#include "board/threatlist.h"
#include "search/stablesort.h"

namespace generator {

void Unlist(BoardAI& b, CellIndex z) {
    for (uint32_t i = 0; i < b.genCount; ++i) {
        if (b.genMoves[i] != z) continue;
        for (uint32_t k = i; k + 1 < b.genCount; ++k) {
            b.genMoves[k] = b.genMoves[k + 1];
            b.genPriority[k] = b.genPriority[k + 1];
        }
        --b.genCount;
        b.genFlags[z] = 0;
        return;
    }
}

bool Contains(const CellIndex* cells, int n, CellIndex z) {
    for (int i = 0; i < n; ++i)
        if (cells[i] == z) return true;
    return false;
}

void Intersect(CellIndex* s, int& ns, const CellIndex* t, int nt) {
    for (int i = 0; i < ns;) {
        if (Contains(t, nt, s[i])) {
            ++i;
        } else {
            s[i] = s[--ns];
        }
    }
}

bool NoStoneBetween(const BoardAI& b, CellIndex from, CellIndex to, int player) {
    uint32_t d = Coord::Dir(from, to);
    int dist = Coord::Dist(from, to);
    int stepSign = dist > 0 ? 1 : -1;
    if (d <= 3) {
        // The cells between two cells of a line are on the board: plain steps.
        const int step = stepSign * static_cast<int>(Coord::step[d]);
        for (int k = 1, z = from + step; k < std::abs(dist); ++k, z += step)
            if (b.mCells[z] == player) return false;
        return true;
    }
    for (int k = 1; k < std::abs(dist); ++k) {
        CellIndex z = Coord::Shift(from, k * stepSign, static_cast<int>(d));
        if (z != kOffBoard && b.mCells[z] == player) return false;
    }
    return true;
}

bool Aligned(CellIndex a, CellIndex b, int minDist, int maxDist) {
    uint32_t d = Coord::Dir(a, b);
    if (d > 3) return minDist == 0 && a == b;
    int dist = std::abs(Coord::Dist(a, b));
    return dist >= minDist && dist <= maxDist;
}

bool HasOccupiedNeighbour(const BoardAI& b, CellIndex z) {
    for (const CellIndex* n = Coord::neighbours[z]; *n != kNoCell; ++n)
        if (b.mCells[*n]) return true;
    return false;
}

int CellsOf(const BoardAI& b, int player, uint32_t first, uint32_t last, CellIndex* out) {
    const uint16_t* next = b.Next(player);
    int n = 0;
    for (uint32_t c = first; c <= last; ++c)
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) out[n++] = z;
    return n;
}

void ListEveryDefence(Gen& g, uint32_t weakest) {
    CellIndex cells[kMaxArea];
    const int n = CellsOf(g.b, g.opp, k2xStraightFour, weakest, cells);
    for (int i = 0; i < n; ++i) g.ListDefences(cells[i]);
}

void ListCellsNextToStones(Gen& g, uint32_t limit) {
    uint32_t listed = 0;
    const uint16_t* next = g.b.Next(g.own);
    for (int c = kWin; c <= kOther && listed < limit; ++c)
        for (uint16_t z = next[kNoCell + c]; z < kNoCell && listed < limit; z = next[z])
            if (HasOccupiedNeighbour(g.b, z) && g.List(z, kKindFallback)) ++listed;
}

int CountLines(const BoardAI& b, CellIndex z, int player, uint32_t category) {
    int n = 0;
    for (int d = 0; d < 4; ++d)
        if (b.LineCat(player, z, d) == category) ++n;
    return n;
}

int PotentialIn(const uint16_t* t, CellIndex z) {
    for (; ThreatCell(*t) != kNoCell; ++t)
        if (ThreatCell(*t) == z) return static_cast<int>(ThreatPotential(*t));
    return -1;
}

void SortByKey(Keyed* items, int n) {
    Keyed scratch[kMaxArea];
    StableSort(items, n, scratch, [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
}

}  // namespace generator
