#include "search/movegen.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "board/borderlistboard.h"
#include "board/counters.h"
#include "board/patterntables.h"
#include "board/segment.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "search/score.h"
#include "search/stablesort.h"

namespace {

// Categories listed by the VCF attacker and by every other mode, in this order.
constexpr uint8_t kFourList[] = {kWin,          k2xStraightFour, kStraightFourFour,
                                 kStraightFour, kFourThree,      kFourDevelopFour};
constexpr uint8_t kThreatListOrder[] = {
    kWin,     k2xStraightFour,  kStraightFourFour, kStraightFour, kFourThree,
    k2xThree, kFourDevelopFour, kFourDevelopThree, kThreeDevelop, kFour,
    kThree};

constexpr int kNoDirection = 4;
constexpr int kRestDirection = 5;

// The state one generation shares between its steps.
struct Gen {
    BoardAI& b;
    int32_t mode;
    int own;  // stone value of the side to move
    int opp;
    const uint16_t* ownCount;
    const uint16_t* oppCount;
    bool answered = true;  // extras of the positional steps allowed
    bool doubleThreeDefence = false;
    CellIndex claimed = kNoCell;  // a likely win, not proven: listed first

    Gen(BoardAI& board, int32_t m)
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

// Keeps the cells of s that are also in t; a removed cell's place is taken by the
// last cell.
void Intersect(CellIndex* s, int& ns, const CellIndex* t, int nt) {
    for (int i = 0; i < ns;) {
        if (Contains(t, nt, s[i])) {
            ++i;
        } else {
            s[i] = s[--ns];
        }
    }
}

// True when no stone of `player` lies strictly between a and b on their line.
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

// Open-four cells (2xStraightFour, StraightFourFour, StraightFour) of a player.
uint32_t StraightCells(const uint16_t* count) {
    return count[k2xStraightFour] + count[kStraightFourFour] + count[kStraightFour];
}

// Whether the opponent still has a move to an open four after the side to move
// plays `cell`; the board is left as it was.
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
    const uint16_t* oppNext = b.Next(g.opp);
    CellIndex straight[kMaxArea];
    int ns = 0;
    for (int c = k2xStraightFour; c <= kStraightFour; ++c)
        for (uint16_t z = oppNext[kNoCell + c]; z < kNoCell; z = oppNext[z]) straight[ns++] = z;
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

// Lists the defences against every opponent cell of the categories
// 2xStraightFour .. `weakest`: the moves to search when no single one is known
// to hold.
void ListEveryDefence(Gen& g, uint32_t weakest) {
    const uint16_t* oppNext = g.b.Next(g.opp);
    for (uint32_t c = k2xStraightFour; c <= weakest; ++c)
        for (uint16_t z = oppNext[kNoCell + c]; z < kNoCell; z = oppNext[z]) g.ListDefences(z);
}

// Lists up to `limit` cells of the side's lists Win..Other that touch a stone.
void ListCellsNextToStones(Gen& g, uint32_t limit) {
    uint32_t listed = 0;
    const uint16_t* next = g.b.Next(g.own);
    for (int c = kWin; c <= kOther && listed < limit; ++c)
        for (uint16_t z = next[kNoCell + c]; z < kNoCell && listed < limit; z = next[z])
            if (HasOccupiedNeighbour(g.b, z) && g.List(z, kKindFallback)) ++listed;
}

// Number of the four line categories of z for player that equal `category`.
int CountLines(const BoardAI& b, CellIndex z, int player, uint32_t category) {
    int n = 0;
    for (int d = 0; d < 4; ++d)
        if (b.LineCat(player, z, d) == category) ++n;
    return n;
}

// Opponent's lines through z are dead for the category moves: three or more
// impossible, or only weak lines with at least one impossible.
bool OpponentLinesDead(const BoardAI& b, CellIndex z, int opponent) {
    int nImpossible = 0, nStrong = 0, nMid = 0, nTwoDef = 0;
    for (int d = 0; d < 4; ++d) {
        uint32_t lc = b.LineCat(opponent, z, d);
        if (lc == kImpossible)
            ++nImpossible;
        else if (lc < kThreeDef)
            ++nStrong;
        else if (lc <= kTwo)
            ++nMid;
        else if (lc == kTwoDef)
            ++nTwoDef;
    }
    if (nImpossible >= 3) return true;
    return nStrong == 0 && nMid == 0 && nTwoDef <= 1 && nImpossible >= 1;
}

// Potential category of z in the threat list t, or -1 when z is not in it.
int PotentialIn(const uint16_t* t, CellIndex z) {
    for (; ThreatCell(*t) != kNoCell; ++t)
        if (ThreatCell(*t) == z) return static_cast<int>(ThreatPotential(*t));
    return -1;
}

struct Keyed {
    CellIndex cell;
    int64_t key;
};

void SortByKey(Keyed* items, int n) {
    Keyed scratch[kMaxArea];
    StableSort(items, n, scratch, [](const Keyed& a, const Keyed& b) { return a.key > b.key; });
}

void AddCategoryMoves(Gen& g, const uint8_t* categories, int count) {
    BoardAI& b = g.b;
    // 1. The side's threat list upgrades cells that combine with others.
    const uint16_t* t = b.ThreatList(g.own);
    Keyed found[kMaxArea];
    int n = 0;
    const uint16_t* next = b.Next(g.own);
    // 2. Value every cell of the listed categories.
    for (int i = 0; i < count; ++i) {
        const uint32_t c = categories[i];
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            bool skip = false;
            if (c == kWin || c == k2xStraightFour || c == kStraightFourFour || c == kStraightFour ||
                c == kFour || c == kThree)
                skip = OpponentLinesDead(b, z, g.opp);
            int potential = PotentialIn(t, z);
            uint32_t effective = c;
            if (potential >= 0) {
                if (potential < k2xThree + 1) skip = false;
                effective = static_cast<uint32_t>(potential);
            }
            if (skip) continue;
            int64_t value = ownWeight[c] - oppWeight[g.Cat(g.opp, z)];
            if (effective != c) value += (ownWeight[effective] - ownWeight[c]) * 10 / 8;
            found[n++] = {z, value * 256 + static_cast<int64_t>(zobristKeys[z] & 0xFF)};
        }
    }
    // 3-4. Best first, capped by the node's limit.
    SortByKey(found, n);
    int keep = std::min<int64_t>(n, static_cast<int64_t>(b.genLimit));
    for (int i = 0; i < keep; ++i) g.List(found[i].cell, kKindThreat);
}

void AddOwnDevelopingMoves(Gen& g) {
    BoardAI& b = g.b;
    // 1. Enough moves already.
    if (b.genCount > 16) return;
    // 2. Cells of the weak categories that still have three living lines; every
    //    double two is a candidate of the steps below, living lines or not.
    Keyed collected[kMaxArea];
    int n = 0;
    const uint16_t* next = b.Next(g.own);
    for (uint32_t c : {kThreeDef, k2xTwo, kTwoTwoDef, kTwo}) {
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            int living = 0;
            for (int d = 0; d < 4; ++d)
                if (b.LineCat(g.own, z, d) <= kTwo) ++living;
            if (living >= 3) g.List(z, kKindPositional);
            if (c == k2xTwo) collected[n++] = {z, CountLines(b, z, g.own, k2xTwo)};
        }
    }
    // 3. Score the collected cells by their neighbours on common lines.
    if (n == 0) return;
    if (n >= 2) {
        for (int i = 0; i < n; ++i) {
            uint32_t state = b.mBorderState[collected[i].cell];
            if (state == 0) collected[i].key -= 4;
            if (state == 1) collected[i].key += 2;
        }
        for (int i = 0; i < n; ++i) {
            for (int j = i + 1; j < n; ++j) {
                CellIndex a = collected[i].cell, c = collected[j].cell;
                if (!Aligned(a, c, 1, 4) || !NoStoneBetween(b, a, c, g.opp)) continue;
                int gain = std::abs(Coord::Dist(a, c)) < 4 ? 10 : 5;
                collected[i].key += gain;
                collected[j].key += gain;
            }
        }
        if (n > 4) {
            for (int i = 0; i < n; ++i) {
                CellIndex a = collected[i].cell;
                for (uint32_t c = kFourThree; c <= kFour; ++c) {
                    for (uint16_t w = next[kNoCell + c]; w < kNoCell; w = next[w]) {
                        if (!Aligned(a, w, 1, 4) || !NoStoneBetween(b, a, w, g.opp)) continue;
                        int bonus =
                            13 - static_cast<int>(c) + (std::abs(Coord::Dist(a, w)) < 4 ? 1 : 0);
                        collected[i].key += bonus * bonus;
                    }
                }
            }
        }
        SortByKey(collected, n);
    }
    // 4. The best few that score well.
    int top = std::min(n, 4);
    for (int i = 0; i < top; ++i) {
        if (collected[i].key < 11) break;
        g.List(collected[i].cell, kKindPositional);
    }
    // 5. A couple more on the border of the play.
    if (b.genCount <= 13) {
        int added = 0;
        for (int i = 0; i < top && added < 2; ++i)
            if (b.mBorderState[collected[i].cell] == 1 &&
                g.List(collected[i].cell, kKindPositional))
                ++added;
    }
}

void AddOpponentThreatCells(Gen& g) {
    BoardAI& b = g.b;
    Keyed collected[kMaxArea];
    int n = 0;
    const uint16_t* next = b.Next(g.opp);
    for (uint32_t c : {kFourThree, kFourDevelopFour, kFourDevelopThree, k2xThree, kThreeDevelop}) {
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            if (b.mBorderState[z] == 2) continue;
            int64_t key = static_cast<int64_t>(c * 4 + g.Cat(g.own, z)) * 65536 +
                          static_cast<int64_t>(zobristKeys[z] & 0xFFF);
            collected[n++] = {z, key};
        }
        if (n >= 4) break;
    }
    SortByKey(collected, n);
    for (int i = 0; i < std::min(n, 4); ++i) g.List(collected[i].cell, kKindDevelopDefence);
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
            g.List(z, kKindWin);
            return ScoreWin;
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

void DefendDoubleThree(Gen& g, uint32_t n) {
    BoardAI& b = g.b;
    g.doubleThreeDefence = true;
    const uint16_t* next = b.Next(g.opp);
    CellIndex first = next[kNoCell + k2xThree];
    if (n == 1) {
        g.ListDefences(first);
        return;
    }
    b.genDanger |= 2;
    uint32_t before = b.genCount;
    for (uint16_t z = first; z < kNoCell; z = next[z]) g.List(z, kKindDefence);
    if (n != 2) return;
    CellIndex second = next[first];
    CellIndex d1[kMaxArea], d2[kMaxArea];
    int n1 = g.Defences(first, d1);
    int n2 = g.Defences(second, d2);
    for (int i = 0; i < n1; ++i) g.List(d1[i], kKindDefence);
    for (int i = 0; i < n2; ++i) g.List(d2[i], kKindDefence);
    bool overlap = false;
    for (int i = 0; i < n1; ++i)
        if (Contains(d2, n2, d1[i])) overlap = true;
    if (!overlap) return;
    // Of the moves this step listed, keep those that defend against both.
    CellIndex added[kMaxArea];
    int na = 0;
    for (uint32_t i = before; i < b.genCount; ++i) added[na++] = b.genMoves[i];
    for (int i = 0; i < na; ++i)
        if (!(Contains(d1, n1, added[i]) && Contains(d2, n2, added[i]))) Unlist(b, added[i]);
}

// Side's four-making moves (and cells tied to them) that answer the opponent's
// threat by a counter-attack; answers the number of cells handled.
int AddCounterFours(Gen& g, bool noDefence) {
    BoardAI& b = g.b;
    struct Entry {
        CellIndex cell;
        int score;
        int dir;
        int group;  // index of the four's own entry, or -1
    };
    Entry entries[kMaxArea * 3];
    CellIndex partner[kMaxArea * 3];
    int n = 0;
    const int capacity = kMaxArea * 3;

    // 1. Collection.
    const uint32_t top = g.OppFourCells() > 0 ? kFour : kThreeDevelop;
    const uint16_t* next = b.Next(g.own);
    for (uint32_t c = kFourThree; c <= top; ++c) {
        for (uint16_t z = next[kNoCell + c]; z < kNoCell && n + 3 <= capacity; z = next[z]) {
            if (c == kFourThree || c == kFourDevelopFour) {
                int d = b.StrongestDirection(z, g.own);
                uint32_t word = b.mCategoryWord[z][g.own - 1];
                uint32_t without =
                    combinedCategory[(word & ~(31u << (5 * d))) | uint32_t{kImpossible} << (5 * d)];
                if (without > k2xTwo) {
                    int self = n;
                    partner[self] = kNoCell;
                    entries[n++] = {z, b.OpponentFourNear(z, d, g.own) ? 2 : 0, d, self};
                    int neg = 0, pos = 0;
                    SegmentCode code = SegmentOf(g.own, b.mLinePattern[z * 4 + d], neg, pos, 1);
                    uint16_t firstBlock = b.Patterns().blockOrder[code][0];
                    if (firstBlock != kBlockOrderEnd) {
                        CellIndex bcell = Coord::Shift(z, BlockPosition(firstBlock) - neg, d);
                        partner[self] = bcell;
                        int s = bcell < z ? 1 : -1;
                        for (int k : {4, 5}) {
                            int idx =
                                static_cast<int>(bcell) + k * s * static_cast<int>(Coord::step[d]);
                            if (idx >= 0 && idx < static_cast<int>(Coord::area) && !b.mCells[idx]) {
                                partner[n] = kNoCell;
                                entries[n++] = {static_cast<CellIndex>(idx), -1, d, self};
                            }
                        }
                    }
                } else {
                    partner[n] = kNoCell;
                    entries[n++] = {z, 2, kRestDirection, -1};
                }
            } else {
                int below = 0, impossible = 0, mid = 0, twoDef = 0;
                for (int d = 0; d < 4; ++d) {
                    uint32_t lc = b.LineCat(g.own, z, d);
                    if (lc < kThreeDef) ++below;
                    if (lc == kImpossible) ++impossible;
                    if (lc >= kThreeDef && lc <= kTwo) ++mid;
                    if (lc == kTwoDef) ++twoDef;
                }
                bool weak = below < 2 && impossible >= 1 && mid == 0 && twoDef <= 1;
                if (weak && b.IsQuietCell(z, g.opp, 0)) {
                    int potential = PotentialIn(b.ThreatList(g.own), z);
                    if (potential < 0 || potential > kFourDevelopFour) continue;
                }
                partner[n] = kNoCell;
                entries[n++] = {z, 0, kNoDirection, -1};
            }
        }
    }

    // 2. Scoring: cells that support each other on a line.
    for (int i = 0; i < n; ++i) {
        int lineCount[4] = {0, 0, 0, 0};
        for (int j = i + 1; j < n; ++j) {
            const Entry& a = entries[i];
            Entry& c = entries[j];
            if (a.cell == c.cell) continue;
            if (a.dir == kRestDirection && c.dir == kRestDirection) continue;
            if (a.group >= 0 && (c.group == a.group || c.cell == partner[a.group])) continue;
            if (c.group >= 0 && partner[c.group] == a.cell) continue;
            uint32_t d = Coord::Dir(a.cell, c.cell);
            if (d > 3) continue;
            int dist = std::abs(Coord::Dist(a.cell, c.cell));
            if (dist < 1 || dist > 4) continue;
            uint32_t lc = b.LineCat(g.own, c.cell, static_cast<int>(d));
            if (lc <= kFour) continue;
            if (lc > kTwoDef) {
                ++lineCount[d];
            } else if (!(dist == 4 && g.Cat(g.own, c.cell) >= k2xThree)) {
                entries[i].score += 2;
                c.score += 2;
            }
        }
        for (int d = 0; d < 4; ++d)
            if (lineCount[d] > 1) entries[i].score += 4;
    }

    // 3. Listing.
    int count = 0;
    for (int i = 0; i < n; ++i) {
        CellIndex z = entries[i].cell;
        int s = entries[i].score;
        if (s >= 1) {
            CellIndex four = entries[i].group >= 0 ? entries[entries[i].group].cell : z;
            if (g.FourMaking(four)) {
                if (!b.IsListed(four)) g.List(four, kKindCounter);
                b.genKind[four] = kKindCounter;
                ++count;
            }
        } else if (s == 0 && g.Cat(g.opp, z) < kFourThree) {
            g.List(z, kKindCounter);
            ++count;
        } else if (!noDefence) {
            if (!b.IsListed(z)) g.List(z, kKindCounter);
            b.genKind[z] = kKindCounter;
            ++count;
        }
    }
    return count;
}

// Answers the opponent's open-four threats and four-threes.
int32_t DefendThreats(Gen& g) {
    BoardAI& b = g.b;
    const uint16_t* oppNext = b.Next(g.opp);
    const uint32_t k = StraightCells(g.oppCount);
    const uint32_t f = g.OwnFourCells();
    CellIndex s[kMaxArea], t[kMaxArea];
    int ns = 0;
    CellIndex remembered = kNoCell;

    auto counterFours = [&]() -> int32_t {
        // 8. Counter-fours.
        if (!g.answered) b.genDanger |= 1;
        int found = 0;
        if (f > 0) found = AddCounterFours(g, !g.answered);
        if (!g.answered) {
            if (found > 0) return ScoreUnknown;
            if (b.genCount == 0) {
                CellIndex mark = remembered != kNoCell ? remembered : ns > 0 ? s[0] : kNoCell;
                // With nothing else to name, the opponent's strongest threat cell.
                for (int c = k2xStraightFour; mark == kNoCell && c <= kStraightFour; ++c)
                    if (g.oppCount[c]) mark = oppNext[kNoCell + c];
                if (mark != kNoCell) g.List(mark, kKindLossMark);
            }
            // Proven only without a four to answer with and without a stone that
            // stops every open four; otherwise every threat's defences are searched.
            if (f == 0 && EveryMoveLeavesOpenFour(g)) return ScoreLoss;
            ListEveryDefence(g, kFourThree);
            return ScoreUnknown;
        }
        return g.mode == 2 ? ScoreContinue : ScoreUnknown;
    };

    auto fourThrees = [&]() -> int32_t {
        // 9. Four-threes.
        if (g.oppCount[kFourThree] == 0 || g.mode == 2) return ScoreContinue;
        CellIndex firstFt = oppNext[kNoCell + kFourThree];
        bool branchTwo = false, branchTwoAnswered = false;
        if (g.ownCount[kFourThree] > 0) {
            g.List(firstFt, kKindThreat);
            g.ListDefences(firstFt);
        } else if (g.oppCount[kFourThree] > 1) {
            branchTwo = true;
            CellIndex earlier[kMaxArea];
            int ne = 0;
            for (uint16_t z = firstFt; z < kNoCell; z = oppNext[z]) {
                if (b.genCount > 0) {
                    bool near = false;
                    for (uint32_t i = 0; i < b.genCount && !near; ++i)
                        near = Aligned(z, b.genMoves[i], 0, 4);
                    if (near) g.List(z, kKindDefence);
                } else {
                    g.List(z, kKindDefence);
                }
                int nt = g.Defences(z, t);
                for (int i = 0; i < nt; ++i) {
                    if (g.Cat(g.own, t[i]) <= kThreeDevelop || Contains(earlier, ne, t[i])) {
                        g.List(t[i], kKindDefence);
                        branchTwoAnswered = true;
                    }
                }
                for (int i = 0; i < nt && ne < kMaxArea; ++i)
                    if (!Contains(earlier, ne, t[i])) earlier[ne++] = t[i];
            }
            if (!branchTwoAnswered && b.genCount == 1) b.ClearGenerated();
        } else {
            g.ListDefences(firstFt);
            CellIndex listed[kMaxArea];
            uint32_t nl = b.genCount;
            std::copy(b.genMoves, b.genMoves + nl, listed);
            for (uint32_t i = 0; i < nl; ++i) {
                CellIndex u = listed[i];
                if (u == firstFt || g.Cat(g.opp, u) >= k2xThree) continue;
                if (g.Cat(g.own, u) < k2xThree) return ScoreContinue;
                for (int d = 0; d < 4; ++d) {
                    if (b.LineCat(g.own, u, d) >= k2xTwo) continue;
                    for (const CellIndex* c = Coord::lineCells[u][d]; *c != kNoCell; ++c)
                        if (!b.mCells[*c] && b.LineCat(g.own, *c, d) < k2xTwo)
                            g.List(*c, kKindDefence);
                }
            }
        }
        int found = AddCounterFours(g, branchTwo && !branchTwoAnswered);
        // Nothing found to list is no proof of a loss: every defence is searched.
        if (found == 0 && b.genCount == 0) {
            ListEveryDefence(g, kFourThree);
            if (b.genCount == 0) ListCellsNextToStones(g, 1);
        }
        return ScoreUnknown;
    };

    // 1. Nothing that becomes an open four.
    if (k == 0) return g.oppCount[kFourThree] == 0 ? ScoreContinue : fourThrees();

    // 2. Proof search, attacker without a double three: only strong defences.
    if (g.mode == 2 && g.ownCount[k2xThree] == 0) {
        CellIndex first = kNoCell;
        for (int c = k2xStraightFour; first == kNoCell && c <= kStraightFour; ++c)
            if (g.oppCount[c]) first = oppNext[kNoCell + c];
        g.ListDefences(first);
        for (int i = static_cast<int>(b.genCount) - 1; i >= 0; --i)
            if (g.Cat(g.own, b.genMoves[i]) > kThree) Unlist(b, b.genMoves[i]);
        int32_t v = counterFours();
        return v == ScoreContinue ? fourThrees() : v;
    }

    if (g.oppCount[k2xStraightFour] > 0) {
        // 3. Only the cell itself stops a double straight four.
        g.List(oppNext[kNoCell + k2xStraightFour], kKindDefence);
        if (f == 0) return k > 2 && EveryMoveLeavesOpenFour(g) ? ScoreLoss : ScoreUnknown;
    } else if (g.oppCount[kStraightFourFour] > 0) {
        // 4. A straight four with a four.
        CellIndex c = oppNext[kNoCell + kStraightFourFour];
        if (k > 3) {
            g.answered = false;
            remembered = c;
        } else {
            g.List(c, kKindDefence);
        }
        if (f == 0) {
            if (k > 2) {
                g.List(c, kKindLossMark);
                if (EveryMoveLeavesOpenFour(g)) return ScoreLoss;
            }
            return ScoreUnknown;
        }
    } else {
        // 5. Straight-four cells: defences common to all of them.
        g.answered = false;
        uint16_t z = oppNext[kNoCell + kStraightFour];
        ns = g.Defences(z, s);
        for (int i = 0; i < ns; ++i)
            if (g.FourMaking(s[i])) {
                g.List(s[i], kKindDefence);
                g.answered = true;
            }
        for (z = oppNext[z]; z < kNoCell; z = oppNext[z]) {
            int nt = g.Defences(z, t);
            for (int i = 0; i < nt; ++i)
                if (g.FourMaking(t[i])) {
                    g.List(t[i], kKindDefence);
                    g.answered = true;
                }
            Intersect(s, ns, t, nt);
        }
        if (g.oppCount[kFourThree] > 0) {
            for (z = oppNext[kNoCell + kFourThree]; z < kNoCell; z = oppNext[z]) {
                int nt = g.Defences(z, t);
                for (int i = 0; i < nt; ++i)
                    if (g.FourMaking(t[i])) {
                        g.List(t[i], kKindDefence);
                        g.answered = true;
                    }
                if (!(nt > 2 && g.Cat(g.own, t[1]) < kTwoTwoDef)) Intersect(s, ns, t, nt);
            }
        }
        // 6. The common defences.
        for (int i = 0; i < ns; ++i) {
            g.List(s[i], kKindDefence);
            b.genKind[s[i]] = kKindDefence;
            g.answered = true;
        }
        // 7. Double-three cover: weak common defences must also meet the
        //    opponent's double threes.
        bool cover = g.answered && g.oppCount[k2xThree] > 0 && ns > 0;
        for (int i = 0; cover && i < ns; ++i) {
            uint32_t c = g.Cat(g.own, s[i]);
            if (c < kThreeDef) cover = false;
            if (cover && c == kThreeDef) {
                const uint16_t* ownNext = b.Next(g.own);
                for (uint32_t wc : {kFourThree, kFourDevelopFour, kFourDevelopThree, k2xThree,
                                    kThreeDevelop, k2xTwo}) {
                    for (uint16_t w = ownNext[kNoCell + wc]; w < kNoCell && cover; w = ownNext[w])
                        if (Aligned(w, s[i], 1, 4) && NoStoneBetween(b, w, s[i], g.opp))
                            cover = false;
                }
            }
        }
        if (cover) {
            bool allLeftOne = true, lastLeftNone = false;
            for (uint16_t dt = oppNext[kNoCell + k2xThree]; dt < kNoCell; dt = oppNext[dt]) {
                if (b.IsListed(dt)) continue;
                const uint32_t before = b.genCount;
                int returned = g.ListDefences(dt);
                const uint32_t added = b.genCount - before;
                CellIndex addedCells[kMaxArea];
                std::copy(b.genMoves + before, b.genMoves + b.genCount, addedCells);
                if (static_cast<int>(added) < returned) {
                    for (uint32_t i = 0; i < added; ++i) Unlist(b, addedCells[i]);
                    continue;
                }
                int kept = 0;
                for (int i = static_cast<int>(added) - 1; i >= 0; --i) {
                    CellIndex zc = addedCells[i];
                    bool stays = g.FourMaking(zc);
                    if (!stays && g.Cat(g.own, zc) < kTwoDef) {
                        for (uint32_t m = 0; m < before && !stays; ++m) {
                            CellIndex mv = b.genMoves[m];
                            if (!Aligned(zc, mv, 1, 4) || !NoStoneBetween(b, zc, mv, g.opp))
                                continue;
                            int d = static_cast<int>(Coord::Dir(zc, mv));
                            int n1 = 0, p1 = 0, n2 = 0, p2 = 0;
                            SegmentCode a = SegmentOf(g.own, b.mLinePattern[zc * 4 + d], n1, p1, 1);
                            SegmentCode c = SegmentOf(g.own, b.mLinePattern[mv * 4 + d], n2, p2, 1);
                            stays = b.Patterns().distFive[a] < 3 && b.Patterns().distFive[c] < 3;
                        }
                    }
                    if (stays) {
                        b.genKind[zc] = kKindDefence;
                        ++kept;
                    } else {
                        Unlist(b, zc);
                    }
                }
                if (kept == 0) allLeftOne = false;
                lastLeftNone = kept == 0;
            }
            g.answered = allLeftOne;
            if (lastLeftNone) b.genDanger |= 2;
        }
    }
    int32_t v = counterFours();
    return v == ScoreContinue ? fourThrees() : v;
}

bool ListedAreExactlyOpponentDoubleThrees(const Gen& g) {
    if (g.b.genCount < 2 || g.b.genCount != g.oppCount[k2xThree]) return false;
    for (uint32_t i = 0; i < g.b.genCount; ++i)
        if (g.Cat(g.opp, g.b.genMoves[i]) != k2xThree) return false;
    return true;
}

void ListOpening(Gen& g) {
    BoardAI& b = g.b;
    const uint32_t w = Coord::width, h = Coord::height;
    if (b.mMoveCount == 0) {
        g.List(Coord::xy2z(w / 2, h / 2), kKindPositional);
        return;
    }
    if (b.mMoveCount == 1) {
        int x = b.mMoves[0] % w, y = b.mMoves[0] / w;
        int dx = static_cast<int>(w / 2) - x, dy = static_cast<int>(h / 2) - y;
        if (std::abs(dx) < std::abs(dy))
            y += dy > 0 ? 1 : -1;
        else
            x += dx > 0 ? 1 : -1;
        g.List(static_cast<CellIndex>(y * w + x), kKindPositional);
        return;
    }
    CellIndex best = kNoCell;
    for (const CellIndex* n = Coord::neighbours[b.mMoves[0]]; *n != kNoCell; ++n) {
        if (b.mCells[*n] || g.Cat(g.own, *n) == kImpossible) continue;
        if (best == kNoCell || g.Cat(g.own, *n) < g.Cat(g.own, best)) best = *n;
    }
    if (best != kNoCell) {
        g.List(best, kKindPositional);
    } else {
        // No cell to name: the list carries the no-cell mark, which searches skip.
        b.genMoves[b.genCount++] = kNoCell;
    }
}

void ListPositional(Gen& g) {
    BoardAI& b = g.b;
    // The side's best double twos.
    if (g.oppCount[k2xThree] < 2 && g.answered) {
        Keyed twos[kMaxArea];
        int n = 0;
        const uint16_t* next = b.Next(g.own);
        for (uint16_t z = next[kNoCell + k2xTwo]; z < kNoCell; z = next[z]) {
            int64_t value = 0;
            for (int d = 0; d < 4; ++d) value -= oppWeight[b.LineCat(g.opp, z, d)];
            if (b.mBorderState[z] == 1) value += 20;
            twos[n++] = {z, value};
        }
        SortByKey(twos, n);
        int take = std::min(n, b.genCount < 21 ? 4 : 1);
        for (int i = 0; i < take; ++i) g.List(twos[i].cell, kKindPositional);
    }
    if (!g.doubleThreeDefence) {
        AddOpponentThreatCells(g);
    } else if (b.genCount < 10) {
        uint32_t added = 0;
        const uint16_t* next = b.Next(g.own);
        for (int c = kWin; c <= k2xTwo && added < 4; ++c)
            for (uint16_t z = next[kNoCell + c]; z < kNoCell && added < 4; z = next[z])
                if (g.List(z, kKindThreat)) ++added;
    }
    // The opponent's developing threats.
    const uint16_t* t = b.ThreatList(g.opp);
    CellIndex defences[kMaxArea];
    for (; ThreatCell(*t) != kNoCell; ++t) {
        CellIndex z = ThreatCell(*t);
        uint32_t pot = ThreatPotential(*t);
        bool take = pot < kFourDevelopFour || pot == k2xThree ||
                    (pot >= kFourDevelopFour && pot <= kThree && g.Cat(g.opp, z) <= kFour);
        if (!take) continue;
        g.List(z, kKindDevelopDefence);
        int nd = g.Defences(z, defences);
        if (nd <= 1) continue;
        CellIndex nearest = kNoCell;
        int bestDist = 1000;
        for (int i = 0; i < nd; ++i) {
            if (defences[i] == z) continue;
            int dist =
                Coord::Dir(z, defences[i]) <= 3 ? std::abs(Coord::Dist(z, defences[i])) : 127;
            if (dist < bestDist) {
                bestDist = dist;
                nearest = defences[i];
            }
        }
        if (nearest != kNoCell) g.List(nearest, kKindDevelopDefence);
    }
}

}  // namespace

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
        if (board.mCells[z]) throw std::runtime_error("!IsEmpty(potencialFoundedL)");
        if (board.LineCat(player, z, d) <= kFour) return z;
    }
    // Towards higher indices.
    slot = 5;
    while (slot <= 9 && slotValue(slot) == static_cast<uint32_t>(player)) ++slot;
    if (slot > 9 || slotValue(slot) != 0) return kNoCell;
    CellIndex z = Coord::Shift(cell, slot - 4, d);
    if (board.mCells[z]) throw std::runtime_error("!IsEmpty(potencialFoundedR)");
    return board.LineCat(player, z, d) <= kFour ? z : kNoCell;
}

namespace {

// Moves a cell to the front of the list, listing it first when it is not listed.
void PutFirst(BoardAI& b, CellIndex z, uint8_t kind) {
    if (!b.IsListed(z)) b.AddGenerated(z, kind, 0, false, 1);
    b.genKind[z] = kind;
    uint32_t i = 0;
    while (i < b.genCount && b.genMoves[i] != z) ++i;
    const uint32_t priority = b.genPriority[i];
    for (; i > 0; --i) {
        b.genMoves[i] = b.genMoves[i - 1];
        b.genPriority[i] = b.genPriority[i - 1];
    }
    b.genMoves[0] = z;
    b.genPriority[0] = priority;
}

int32_t Generate(Gen& g) {
    BoardAI& board = g.b;
    const int32_t mode = g.mode;
    const uint16_t* ownNext = board.Next(g.own);
    const uint16_t* oppNext = board.Next(g.opp);

    // 2. Own five.
    if (g.ownCount[kWin] > 0) {
        g.List(ownNext[kNoCell + kWin], kKindWin);
        return ScoreWin;
    }
    // 3. The opponent threatens five: the block is the only move.
    if (g.oppCount[kWin] > 0) {
        CellIndex block = oppNext[kNoCell + kWin];
        g.List(block, kKindDefence);
        if (g.oppCount[kWin] > 1) return ScoreLoss;
        uint32_t c = g.Cat(g.own, block);
        if (c < kFourThree) return ScoreWin;
        if (c < k2xThree) return ScoreUnknown;
        if (mode == 1) return ScoreLoss;
        // Counting the side's open-four cells proves nothing: one block or the
        // opponent's fours may take them all away, so the block is searched.
        // A loss is claimed only when the opponent keeps a move to an open four
        // after the block, which makes no four of the side's (c >= 2xThree).
        const uint32_t oppStraight = StraightCells(g.oppCount);
        if (oppStraight < 2 || c >= k2xTwo) return ScoreUnknown;
        bool lossShape = g.oppCount[kStraightFour] != 2;
        if (!lossShape) {
            CellIndex second = oppNext[oppNext[kNoCell + kStraightFour]];
            if (Coord::Dir(block, second) > 3) return ScoreUnknown;
            lossShape = !NoStoneBetween(board, block, second, g.own);
        }
        return lossShape && OpenFourAfter(g, block) ? ScoreLoss : ScoreUnknown;
    }
    // 4. The VCF defender faces no five threat.
    if (mode == -1) return ScoreWin;
    // 5. Own open four.
    for (int c = k2xStraightFour; c <= kStraightFour; ++c) {
        if (g.ownCount[c] > 0) {
            g.List(ownNext[kNoCell + c], kKindWin);
            return ScoreWin;
        }
    }
    // 6. Proof search defender: nothing of the opponent's to answer.
    if (mode == -2 && g.oppCount[kFourThree] == 0 && g.oppCount[k2xThree] == 0 &&
        StraightCells(g.oppCount) == 0)
        return ScoreWin;
    // 7. A lone four whose lines are otherwise dead.
    for (uint16_t z = ownNext[kNoCell + kFour]; z < kNoCell; z = ownNext[z]) {
        if (CountLines(board, z, g.opp, kImpossible) != 4) continue;
        if (CountLines(board, z, g.own, kImpossible) != 3) continue;
        CellIndex f = FourPartner(board, z, g.own);
        if (f == kNoCell) continue;
        int dead = CountLines(board, f, g.own, kImpossible);
        if (dead < 3 || (dead == 3 && g.Cat(g.opp, f) < kTwo)) {
            g.List(f, kKindPositional);
            return ScoreUnknown;
        }
    }
    // 8. Own four-three.
    if (g.ownCount[kFourThree] > 0) {
        int32_t v = CheckFourThree(g);
        if (v != ScoreContinue) return v;
    }
    // 9. VCF attacker: its fours only.
    if (mode == 1) {
        AddCategoryMoves(g, kFourList, static_cast<int>(sizeof kFourList));
        return board.genCount == 0 ? ScoreLoss : ScoreUnknown;
    }
    // 10. The opponent's open-four and four-three threats.
    int32_t v = DefendThreats(g);
    if (v != ScoreContinue) return v;
    // 11. Own double three.
    if (g.ownCount[k2xThree] > 0) {
        for (uint16_t z = ownNext[kNoCell + k2xThree]; z < kNoCell; z = ownNext[z])
            g.List(z, kKindThreat);
        // Won only when the opponent has no four to gain a tempo with, open or not
        // (the proof search's attacker can get here facing an open three).
        if (g.OppFourCells() == 0 && StraightCells(g.oppCount) == 0) return ScoreWin;
    }
    // 12. The opponent's double threes.
    if (g.oppCount[k2xThree] > 0 && mode != 2) DefendDoubleThree(g, g.oppCount[k2xThree]);
    // 13. Four completions against dead lines, threat moves, developing moves.
    if (mode != 6 || ListedAreExactlyOpponentDoubleThrees(g)) {
        for (uint32_t c = kFourThree; c <= kFour; ++c) {
            for (uint16_t z = ownNext[kNoCell + c]; z < kNoCell; z = ownNext[z]) {
                if (!board.IsQuietCell(z, g.opp, 0)) continue;
                CellIndex f = FourPartner(board, z, g.own);
                if (f != kNoCell && g.Cat(g.opp, f) < kTwo) g.List(f, kKindPositional);
            }
        }
        AddCategoryMoves(g, kThreatListOrder, static_cast<int>(sizeof kThreatListOrder));
        if (g.oppCount[k2xThree] < 3 && g.answered) AddOwnDevelopingMoves(g);
    }
    // 14. Uncovered double threes stop the listing; otherwise positional cells.
    // Two double threes are not lost when one stone on their common line stops both,
    // so the listed defences are searched rather than the side declared lost.
    if (board.genDanger & 2) return ScoreUnknown;
    if (mode == 6) return ScoreUnknown;
    ListPositional(g);
    if (mode == 2) return board.genCount > 0 ? ScoreUnknown : ScoreLoss;
    if (mode == -2) return ScoreUnknown;
    // 15. Opening moves.
    if (board.mMoveCount <= 2) {
        ListOpening(g);
        return ScoreUnknown;
    }
    // 16. Cells next to stones.
    if (board.mPlain || board.genCount < 2) ListCellsNextToStones(g, 4);
    board.genPending = 0;
    return ScoreUnknown;
}

}  // namespace

int32_t GenerateMovesCore(BoardAI& board, int32_t mode) {
    // 1. Fresh list; the mode must be one the generator knows.
    board.ClearGenerated();
    board.genDanger = 0;
    board.genPending = 1;
    if (mode == 3) throw std::runtime_error("mGoodPosition not supported");
    if (mode != 0 && mode != 1 && mode != -1 && mode != 2 && mode != -2 && mode != 6)
        throw std::runtime_error("Not implemented.");
    Gen g(board, mode);
    const int32_t v = Generate(g);
    if (!IsDecisive(v) && g.claimed != kNoCell) PutFirst(board, g.claimed, kKindWin);
    return v;
}

int32_t GenerateMoves(BoardAI& board, int32_t mode) {
    int32_t v = GenerateMovesCore(board, mode);
    if (board.genPending || IsDecisive(v) || mode == 6) return v;
    const int own = static_cast<int>(board.mToMove), opp = static_cast<int>(board.mOpponent);
    // 1. A few candidate cells of the border, away from the listed moves.
    if (board.genCount < 7 && !board.mPlain) {
        const BorderListBoard& bl = static_cast<const BorderListBoard&>(board);
        Keyed candidates[kMaxArea];
        int n = 0;
        for (uint32_t i = 0; i < bl.mBorderCount; ++i)
            if (!board.IsListed(bl.mBorderList[i]))
                candidates[n++] = {bl.mBorderList[i], 100 - static_cast<int64_t>(board.Category(
                                                                opp, bl.mBorderList[i]))};
        if (n >= 2) {
            int kept = 0;
            for (int i = 0; i < n; ++i) {
                bool adjacent = false;
                for (uint32_t m = 0; m < board.genCount && !adjacent; ++m)
                    adjacent = Aligned(candidates[i].cell, board.genMoves[m], 1, 1);
                if (!adjacent) candidates[kept++] = candidates[i];
            }
            n = kept;
            SortByKey(candidates, n);
        }
        int take = std::min<int>(std::min(n, 3), 7 - static_cast<int>(board.genCount));
        for (int i = 0; i < take; ++i)
            board.AddGenerated(candidates[i].cell, kKindPositional, 0, false, 1);
    }
    // 2. Nothing at all: the side's strongest cell.
    if (board.genCount == 0) {
        const uint16_t* next = board.Next(own);
        for (int c = kWin; c <= kImpossible; ++c) {
            if (next[kNoCell + c] < kNoCell) {
                board.AddGenerated(next[kNoCell + c], kKindFallback, 0, false, 1);
                break;
            }
        }
    }
    // 3. Early in the game every border cell is worth a look.
    if (mode == 0) {
        if (board.mMoveCount < 10) {
            for (uint32_t z = 0; z < Coord::area; ++z)
                if (!board.mCells[z] && board.mBorderState[z] == 1)
                    board.AddGenerated(static_cast<CellIndex>(z), kKindPositional, 0, false, 1);
            return ScoreUnknown;
        }
        if (board.genCount == 0) {
            for (uint32_t z = 0; z < Coord::area; ++z) {
                if (!board.mCells[z]) {
                    board.AddGenerated(static_cast<CellIndex>(z), kKindFallback, 0, false, 1);
                    break;
                }
            }
            // Nothing to list means no empty cell: the game is drawn, not lost.
            return board.genCount == 0 ? ScoreDraw : ScoreLoss;
        }
    }
    return ScoreUnknown;
}

int32_t Evaluate(BoardAI& board) {
    const int own = static_cast<int>(board.mToMove), opp = static_cast<int>(board.mOpponent);
    const uint16_t* ownCount = board.Counts(own);
    const uint16_t* oppCount = board.Counts(opp);
    // 1. Cells per category, weighted.
    int64_t a = 0, b = 0;
    for (int c = 0; c <= kTwoDef; ++c) {
        a += static_cast<int64_t>(ownCount[c]) * ownWeight[c];
        b += static_cast<int64_t>(oppCount[c]) * oppWeight[c];
    }
    // 2. What the threat lists add on top.
    int64_t dA = 0, dB = 0;
    for (const uint16_t* t = board.ThreatList(own); ThreatCell(*t) != kNoCell; ++t)
        dA += ownWeight[ThreatPotential(*t)] - ownWeight[board.Category(own, ThreatCell(*t))];
    for (const uint16_t* t = board.ThreatList(opp); ThreatCell(*t) != kNoCell; ++t)
        dB += oppWeight[ThreatPotential(*t)] - oppWeight[board.Category(opp, ThreatCell(*t))];
    // 3. Combined in single precision, as the weights were tuned.
    int64_t total = a + static_cast<int64_t>(static_cast<float>(dA) * 0.9f) + b +
                    static_cast<int64_t>(static_cast<float>(dB) * 0.9f);
    // 4. Threats the generator could not answer.
    if (board.genDanger & 1)
        total -= 100000;
    else if (board.genDanger & 2)
        total -= 20000;
    return static_cast<int32_t>(total / 100);
}
