#include "search/threatdefence.h"

#include <algorithm>
#include <cstdlib>

#include "board/coord.h"
#include "board/patterntables.h"
#include "board/segment.h"
#include "search/score.h"
#include "search/verdicts.h"

namespace generator {

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

namespace {

constexpr int kNoDirection = 4;
constexpr int kRestDirection = 5;

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

}  // namespace

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
        return g.mode == GenMode::kProofAttacker ? ScoreContinue : ScoreUnknown;
    };

    auto fourThrees = [&]() -> int32_t {
        // 9. Four-threes.
        if (g.oppCount[kFourThree] == 0 || g.mode == GenMode::kProofAttacker) return ScoreContinue;
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
    if (g.mode == GenMode::kProofAttacker && g.ownCount[k2xThree] == 0) {
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
        CellIndex straight[kMaxArea];
        const int nStraight = CellsOf(b, g.opp, kStraightFour, kStraightFour, straight);
        ns = g.Defences(straight[0], s);
        for (int i = 0; i < ns; ++i)
            if (g.FourMaking(s[i])) {
                g.List(s[i], kKindDefence);
                g.answered = true;
            }
        for (int j = 1; j < nStraight; ++j) {
            int nt = g.Defences(straight[j], t);
            for (int i = 0; i < nt; ++i)
                if (g.FourMaking(t[i])) {
                    g.List(t[i], kKindDefence);
                    g.answered = true;
                }
            Intersect(s, ns, t, nt);
        }
        if (g.oppCount[kFourThree] > 0) {
            for (uint16_t z = oppNext[kNoCell + kFourThree]; z < kNoCell; z = oppNext[z]) {
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

}  // namespace generator
