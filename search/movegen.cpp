#include "search/movegen.h"

#include <algorithm>
#include <cstdlib>

#include "board/borderlistboard.h"
#include "board/coord.h"
#include "board/patterntables.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "search/genstate.h"
#include "search/score.h"
#include "search/threatdefence.h"
#include "search/verdicts.h"

namespace generator {
namespace {

// Categories listed by the VCF attacker and by every other mode, in this order.
constexpr uint8_t kFourList[] = {kWin,          k2xStraightFour, kStraightFourFour,
                                 kStraightFour, kFourThree,      kFourDevelopFour};
constexpr uint8_t kThreatListOrder[] = {
    kWin,     k2xStraightFour,  kStraightFourFour, kStraightFour, kFourThree,
    k2xThree, kFourDevelopFour, kFourDevelopThree, kThreeDevelop, kFour,
    kThree};

// Category weights that order the listed moves. They start as the evaluation's
// numbers; each may be tuned without moving the other.
constexpr int32_t kListOwnWeight[kCategoryCount] = {
    1000000, 30000, 20000, 10000, 1100, 670, 580, 250, 730, 330, 200, 110, 130, 80, 50, 20, 0, -1};
constexpr int32_t kListOppWeight[kCategoryCount] = {-1800, -1500, -1450, -1400, -1300, -950,
                                                    -700,  -330,  -400,  -130,  -50,   -40,
                                                    -50,   -25,   -20,   -8,    0,     1};

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
            int64_t value = kListOwnWeight[c] - kListOppWeight[g.Cat(g.opp, z)];
            if (effective != c) value += (kListOwnWeight[effective] - kListOwnWeight[c]) * 10 / 8;
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
            for (int d = 0; d < 4; ++d) value -= kListOppWeight[b.LineCat(g.opp, z, d)];
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

// Moves a cell to the front of the list, listing it first when it is not listed.
void PutFirst(BoardAI& b, CellIndex z, uint8_t kind) {
    if (!b.IsListed(z) && !b.AddGenerated(z, kind, 0, false, 1)) return;  // forbidden
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

// Steps 2-16 of a generation; step 1, a fresh list, is GenerateMovesCore's.
int32_t Generate(Gen& g) {
    BoardAI& board = g.b;
    const GenMode mode = g.mode;
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
        // Two fives to stop, or the only block is forbidden for the side.
        if (g.oppCount[kWin] > 1 || !board.IsListed(block)) return ScoreLoss;
        uint32_t c = g.Cat(g.own, block);
        if (c < kFourThree) return ScoreWin;
        if (c < k2xThree) return ScoreUnknown;
        if (mode == GenMode::kVcfAttacker) return ScoreLoss;
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
    if (mode == GenMode::kVcfDefender) return ScoreWin;
    // 5. Own open four.
    for (int c = k2xStraightFour; c <= kStraightFour; ++c) {
        for (uint16_t z = ownNext[kNoCell + c]; z < kNoCell; z = ownNext[z])
            if (g.List(z, kKindWin)) return ScoreWin;  // the first that is not forbidden
    }
    // 6. Proof search defender: nothing of the opponent's to answer.
    if (mode == GenMode::kProofDefender && g.oppCount[kFourThree] == 0 &&
        g.oppCount[k2xThree] == 0 && StraightCells(g.oppCount) == 0)
        return ScoreWin;
    // 7. A lone four whose lines are otherwise dead.
    for (uint16_t z = ownNext[kNoCell + kFour]; z < kNoCell; z = ownNext[z]) {
        if (CountLines(board, z, g.opp, kImpossible) != 4) continue;
        if (CountLines(board, z, g.own, kImpossible) != 3) continue;
        CellIndex f = FourPartner(board, z, g.own);
        if (f == kNoCell) continue;
        int dead = CountLines(board, f, g.own, kImpossible);
        if ((dead < 3 || (dead == 3 && g.Cat(g.opp, f) < kTwo)) && g.List(f, kKindPositional))
            return ScoreUnknown;
    }
    // 8. Own four-three.
    if (g.ownCount[kFourThree] > 0) {
        int32_t v = CheckFourThree(g);
        if (v != ScoreContinue) return v;
    }
    // 9. VCF attacker: its fours only.
    if (mode == GenMode::kVcfAttacker) {
        AddCategoryMoves(g, kFourList, static_cast<int>(sizeof kFourList));
        return board.genCount == 0 ? ScoreLoss : ScoreUnknown;
    }
    // 10. The opponent's open-four and four-three threats.
    int32_t v = DefendThreats(g);
    if (v != ScoreContinue) return v;
    // 11. Own double three.
    if (g.ownCount[k2xThree] > 0) {
        bool listed = false;  // none is when every one is forbidden
        for (uint16_t z = ownNext[kNoCell + k2xThree]; z < kNoCell; z = ownNext[z]) {
            g.List(z, kKindThreat);
            listed = listed || board.IsListed(z);
        }
        // Won only when the opponent has no four to gain a tempo with, open or not
        // (the proof search's attacker can get here facing an open three).
        if (listed && g.OppFourCells() == 0 && StraightCells(g.oppCount) == 0) return ScoreWin;
    }
    // 12. The opponent's double threes.
    if (g.oppCount[k2xThree] > 0 && mode != GenMode::kProofAttacker)
        DefendDoubleThree(g, g.oppCount[k2xThree]);
    // 13. Four completions against dead lines, threat moves, developing moves.
    if (mode != GenMode::kLeafThreats || ListedAreExactlyOpponentDoubleThrees(g)) {
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
    if (mode == GenMode::kLeafThreats) return ScoreUnknown;
    ListPositional(g);
    if (mode == GenMode::kProofAttacker) return board.genCount > 0 ? ScoreUnknown : ScoreLoss;
    if (mode == GenMode::kProofDefender) return ScoreUnknown;
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

}  // namespace generator

using namespace generator;

int32_t GenerateMovesCore(BoardAI& board, GenMode mode) {
    // 1. Fresh list.
    board.ClearGenerated();
    board.genDanger = 0;
    board.genPending = 1;
    Gen g(board, mode);
    const int32_t v = Generate(g);
    if (!IsDecisive(v) && g.claimed != kNoCell) PutFirst(board, g.claimed, kKindWin);
    return v;
}

int32_t GenerateMoves(BoardAI& board, GenMode mode) {
    int32_t v = GenerateMovesCore(board, mode);
    if (board.genPending || IsDecisive(v) || mode == GenMode::kLeafThreats) return v;
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
    if (mode == GenMode::kFull) {
        if (board.mMoveCount < 10) {
            for (uint32_t z = 0; z < Coord::area; ++z)
                if (!board.mCells[z] && board.mBorderState[z] == 1)
                    board.AddGenerated(static_cast<CellIndex>(z), kKindPositional, 0, false, 1);
            return ScoreUnknown;
        }
        if (board.genCount == 0) {
            for (uint32_t z = 0; z < Coord::area; ++z) {
                if (!board.mCells[z] &&
                    board.AddGenerated(static_cast<CellIndex>(z), kKindFallback, 0, false, 1))
                    break;
            }
            // Nothing to list means no empty cell: the game is drawn, not lost.
            return board.genCount == 0 ? ScoreDraw : ScoreLoss;
        }
    }
    return ScoreUnknown;
}
