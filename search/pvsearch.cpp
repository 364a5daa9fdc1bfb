#include "search/pvsearch.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "board/learnedtables.h"
#include "board/threatcategory.h"
#include "platform/clock.h"
#include "search/evaluate.h"
#include "search/history.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/searchmove.h"
#include "search/searchpool.h"
#include "search/searchworker.h"
#include "search/timebudget.h"
#include "search/trace.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"

namespace {

// The margins, reductions and limits are the SearchParameters' (settable);
// the tables of reductions and move limits are built from them per search.
constexpr int32_t kTableSize = 64;
constexpr int32_t kNoLimitMs = 1 << 30;

struct Candidate {
    CellIndex move;
    bool tactical;  // makes a three or a four, or stops one
    bool four;
    int32_t key;
};

struct RootMove {
    CellIndex move;
    bool tactical;
    bool four;
    int32_t score;
    uint32_t nodes;
};

uint32_t StraightCells(const uint16_t* count) {
    return count[k2xStraightFour] + count[kStraightFourFour] + count[kStraightFour];
}

bool MakesFour(const BoardAI& b, CellIndex cell) {
    return b.Category(static_cast<int>(b.mToMove), cell) < k2xThree;
}

// What a move costs of the depth: a forced single reply nothing, a four less
// than a ply, so four sequences reach deep.
int32_t MoveCost(uint32_t listed, bool four, int32_t fourCost) {
    if (listed == 1) return 0;
    return four ? fourCost : kPly;
}

// A move that is not quiet: it makes a three or better, or takes a cell where
// the opponent would make a four or better.
[[gnu::always_inline]] inline bool IsTactical(const BoardAI& b, CellIndex cell) {
    const int own = static_cast<int>(b.mToMove), opp = static_cast<int>(b.mOpponent);
    constexpr uint8_t kAnswers = kKindWin | kKindDefence | kKindCounter;
    return b.Category(own, cell) <= kThree || b.Category(opp, cell) <= kFour ||
           (b.IsListed(cell) && (b.genKind[cell] & kAnswers));
}

// Insertion sort, highest key first; equal keys keep their order.
template <typename T, typename Key>
void SortDescending(T* items, uint32_t n, Key key) {
    for (uint32_t i = 1; i < n; ++i) {
        T item = items[i];
        uint32_t j = i;
        for (; j > 0 && key(items[j - 1]) < key(item); --j) items[j] = items[j - 1];
        items[j] = item;
    }
}

// One search of one move request: the node and root searches, the state they
// share (deadline, abort, the static values along the line), its own copy of
// the parameters (set between searches, never during one) and the tables of
// reductions and move limits built from them.
class PvSearch {
  public:
    PvSearch(SearchWorker& worker, const TimeControl* tc, uint32_t deadline)
        : mWorker(worker),
          mHistory(worker.history),
          mTc(tc),
          mDeadline(deadline),
          mP(worker.shared.parameters),
          mHelper(worker.index > 0) {
        mLeafParams.timeControl = tc;
        mLeafParams.stop = worker.stopFlag;
        mLeafParams.vcfNoStandPat = false;
        const double scale = mP.reductionScale / 100.0;
        const double base = mP.moveLimitBase / 10.0;
        const double power = mP.moveLimitPower / 100.0;
        const double notImproving = mP.moveLimitNotImproving / 100.0;
        for (int32_t d = 0; d < kTableSize; ++d) {
            for (int32_t i = 0; i < kTableSize; ++i) {
                const bool reduced = d > 0 && i > 0;
                const double r = reduced ? scale * std::log(d) * std::log(i) : 0;
                mReduction[d][i] = static_cast<int16_t>(static_cast<int32_t>(r * kPly) +
                                                        (reduced ? mP.reductionOffset : 0));
            }
            const double limit = base + std::pow(static_cast<double>(d), power);
            mMoveLimit[0][d] = static_cast<int16_t>(limit * notImproving);
            mMoveLimit[1][d] = static_cast<int16_t>(limit);
        }
    }

    bool aborted = false;
    CellIndex iterationBest = kNoCell;  // a root move that beat the window's alpha

    int32_t Root(BoardAI& b, RootMove* moves, uint32_t n, int32_t depth, int32_t alpha,
                 int32_t beta);

  private:
    int32_t Node(BoardAI& b, int32_t depth, int32_t alpha, int32_t beta, int32_t ply, bool pv,
                 bool cutNode);
    int32_t Leaf(BoardAI& b, int32_t beta);
    // A stop request counts as the time running out. A helper, which has no
    // clock, publishes its stones here for the node limit.
    bool OutOfTime() const {
        if (mHelper) [[unlikely]]
            PublishNodes();
        return mWorker.StopRequested() ||
               (mTc && (StampDiff(NowMs(), mDeadline) >= 0 || Halted(*mTc)));
    }
    // Out of line: the main worker's nodes, which never publish, stay small.
    [[gnu::noinline, gnu::cold]] void PublishNodes() const { mWorker.PublishNodes(); }
    int32_t Reduction(int32_t depth, uint32_t index) const {
        return mReduction[std::min(depth / kPly, kTableSize - 1)]
                         [std::min<uint32_t>(index, kTableSize - 1)];
    }

    SearchWorker& mWorker;
    SearchHistory& mHistory;
    const TimeControl* mTc;
    uint32_t mDeadline;
    const SearchParameters mP;
    const bool mHelper;
    SearchParams mLeafParams;
    int32_t mRootPlies = 0;  // the iteration's depth
    int32_t mStatic[SearchHistory::kMaxPly + 1] = {};
    int16_t mReduction[kTableSize][kTableSize];
    int16_t mMoveLimit[2][kTableSize];  // [improving][plies]
};

int32_t PvSearch::Leaf(BoardAI& b, int32_t beta) {
    // The fours first, as the classic horizon does; then the static judgement.
    CellIndex four = kNoCell;
    b.mLookSix = 0;
    const int32_t v = VCF(mWorker, b, 0, mLeafParams, four, true, beta, nullptr);
    b.mLookSix = 1;
    if (v != ScoreLoss && four < kNoCell) return v;
    const int32_t verdict = GenerateMovesCore(b, GenMode::kLeafThreats);
    return IsDecisive(verdict) ? verdict : Evaluate(b);
}

int32_t PvSearch::Node(BoardAI& b, int32_t depth, int32_t alpha, int32_t beta, int32_t ply, bool pv,
                       bool cutNode) {
    mWorker.maxMoveCount = std::max(mWorker.maxMoveCount, b.mMoveCount);
    if (b.mMoveCount >= Coord::area) return ScoreDraw;
    if (depth < kPly || ply >= SearchHistory::kMaxPly) return Leaf(b, beta);
    if (OutOfTime()) {
        aborted = true;
        return 0;
    }
    const int32_t alphaIn = alpha;

    // 1. Table: a cut-off outside the principal line, its move first anyway.
    CellIndex tableMove = kNoCell;
    const std::optional<HashEntry> entry = mWorker.shared.transpositionTable->Lookup(b.mHash);
    if (const std::optional<HashEntry>& e = entry) {
        if (e->move < Coord::area && b.mCells[e->move] == 0) tableMove = e->move;
        const bool decisive = IsDecisive(e->score);
        if ((e->depth >= depth / kPly || decisive) && (!pv || decisive)) {
            if (e->bound == kBoundExact) return e->score;
            if ((e->bound & kBoundLower) && e->score >= beta) return e->score;
            if ((e->bound & kBoundUpper) && e->score <= alpha) return e->score;
        }
    }

    // Internal iterative reduction: without a table move the order is a guess,
    // and the next iteration comes back with one.
    if (mP.iirDepth > 0 && tableMove == kNoCell && depth >= mP.iirDepth && (pv || cutNode))
        depth -= kPly;
    const int32_t plies = depth / kPly;

    // 2. The generator decides, or lists the moves; against a threat it lists
    //    only the defences and the side's own fours.
    b.genLimit = static_cast<uint32_t>(plies + mP.listLimitOffset);
    const int32_t verdict = GenerateMoves(b, GenMode::kFull);
    if (IsDecisive(verdict)) return verdict;
    const uint32_t own = b.mToMove;
    const uint16_t* oppCount = b.Counts(static_cast<int>(b.mOpponent));
    const bool threatened = oppCount[kWin] > 0 || StraightCells(oppCount) > 0 ||
                            oppCount[kFourThree] > 0 || b.genDanger != 0;
    const uint16_t* ownCount = b.Counts(static_cast<int>(own));
    const bool attacking = StraightCells(ownCount) > 0 || ownCount[kFourThree] > 0;
    const CellIndex previous = b.mMoveCount > 0 ? b.mMoves[b.mMoveCount - 1] : kNoCell;
    const CellIndex counter = mHistory.Counter(own, previous);

    // 3. The list, ordered: table move, fours and other threats in the
    //    generator's order, killers and the counter move, then by history.
    Candidate moves[kMoveListCapacity];
    uint32_t n = 0;
    // Inlined with what it calls: the list is built at every node.
    auto add = [&](CellIndex m, int32_t rank) __attribute__((always_inline)) {
        Candidate c{m, IsTactical(b, m), MakesFour(b, m), 0};
        if (m == tableMove)
            c.key = 1 << 30;
        else if (c.four)
            c.key = (1 << 29) - rank;
        else if (mP.learnedOrder > 0 && !threatened)
            c.key = mP.learnedOrder * MoveScore(b, m) + mHistory.Score(own, m) +
                    (mHistory.IsKiller(ply, m) ? mP.learnedOrderKiller : 0) +
                    (m == counter ? mP.learnedOrderKiller / 2 : 0) +
                    (c.tactical && mP.learnedTacticalFirst ? 1 << 28 : 0);
        else if (c.tactical)
            c.key = (1 << 28) - rank;
        else if (mHistory.IsKiller(ply, m))
            c.key = (1 << 27) - rank;
        else if (m == counter)
            c.key = 1 << 26;
        else
            c.key = mHistory.Score(own, m) - 8 * rank;
        moves[n++] = c;
    };
    for (uint32_t i = 0; i < b.genCount && n < kMoveListCapacity; ++i) {
        const CellIndex m = b.genMoves[i];
        if (m < Coord::area && b.mCells[m] == 0) add(m, static_cast<int32_t>(i));
    }
    if (tableMove != kNoCell && !b.IsListed(tableMove) && n < kMoveListCapacity &&
        !b.forbidden.IsForbiddenToMove(b, tableMove))
        add(tableMove, 0);
    if (n == 0) return Evaluate(b);
    SortDescending(moves, n, [](const Candidate& c) { return c.key; });

    // 4. Static value; outside the principal line and any running attack, a
    //    position far above beta is cut (reverse futility), one far below alpha
    //    is left to the fours (razoring).
    const int32_t staticValue = Evaluate(b);
    mStatic[ply] = staticValue;
    const bool improving = ply >= 2 && staticValue > mStatic[ply - 2];
    if (!pv && !threatened && !attacking && !IsDecisive(alpha) && !IsDecisive(beta)) {
        if (depth < mP.futilityDepth &&
            static_cast<int64_t>(staticValue) - mP.futilityMargin * depth / kPly >= beta)
            return staticValue;
        if (depth < mP.razorDepth && static_cast<int64_t>(staticValue) + mP.razorMargin < alpha) {
            CellIndex four = kNoCell;
            const int32_t v = VCF(mWorker, b, 0, mLeafParams, four, true, alpha + 1, nullptr);
            if (v <= alpha) return v;
        }
    }

    // 5. Singular extension: when the table's lower bound stands above what
    //    every other move reaches at half the depth by a margin, the table
    //    move is the only good one and is searched deeper. Capped at twice
    //    the iteration's depth, so that a line of such moves ends.
    const int32_t moveLimit = mMoveLimit[improving ? 1 : 0][std::min(plies, kTableSize - 1)];
    int32_t extension = 0;
    if (mP.singularDepth > 0 && depth >= mP.singularDepth && tableMove != kNoCell &&
        moves[0].move == tableMove && n > 1 && (entry->bound & kBoundLower) &&
        entry->depth >= plies - 3 && !IsDecisive(entry->score) && ply < 2 * mRootPlies) {
        const int32_t singularBeta = entry->score - mP.singularMargin * plies;
        bool singular = true;
        int32_t quietTried = 0;
        for (uint32_t i = 1; i < n && singular; ++i) {
            const Candidate& c = moves[i];
            if (!c.tactical && !threatened && quietTried++ >= moveLimit) break;
            MakeSearchMove(b, c.move);
            const int32_t s = -Node(b, depth / 2 - MoveCost(n, c.four, mP.fourCost),
                                    -singularBeta, -singularBeta + 1, ply + 1, false, true);
            UndoSearchMove(b, c.move);
            if (aborted) return 0;
            singular = s < singularBeta;
        }
        if (singular) extension = mP.singularExtension;
    }

    // 6. Move loop.
    int32_t best = ScoreLoss;
    CellIndex bestMove = moves[0].move;
    bool searched = false;
    CellIndex quiets[kTableSize];
    uint32_t quietCount = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const Candidate& c = moves[i];
        const bool quiet = !c.tactical;
        // Move-count pruning: enough quiet moves (or moves of any kind but
        // fours) tried once one does not lose.
        if ((quiet || (mP.pruneTactical && !c.four)) && !threatened && searched &&
            best > ScoreLoss &&
            static_cast<int32_t>(mP.pruneTactical ? i : quietCount) >= moveLimit)
            break;
        const int32_t next = depth - MoveCost(n, c.four, mP.fourCost) + (i == 0 ? extension : 0);
        MakeSearchMove(b, c.move);
        int32_t s;
        if (!searched) {
            s = -Node(b, next, -beta, -alpha, ply + 1, pv, false);
        } else {
            int32_t r = 0;
            if (depth >= mP.reductionDepth && (quiet || (mP.reduceTactical && !c.four)) &&
                (!threatened || (mP.reduceThreatened && oppCount[kWin] == 0))) {
                r = Reduction(depth, i);
                if (pv) r -= mP.reductionPv;
                if (cutNode) r += mP.reductionCutNode;
                if (!pv && !improving) r += mP.reductionNotImproving;
                if (!quiet) r -= mP.reductionTactical;
                if (pv && alpha > alphaIn) r += mP.reductionAfterAlpha;
                if (mHistory.IsKiller(ply, c.move)) r -= mP.reductionKiller;
                r -= mHistory.Score(own, c.move) * kPly / mP.reductionHistoryDivisor;
                r = std::clamp(r, 0, std::max(next - kPly, 0));
            }
            s = -Node(b, next - r, -alpha - 1, -alpha, ply + 1, false, !cutNode);
            if (s > alpha && r > 0 && !aborted)
                s = -Node(b, next, -alpha - 1, -alpha, ply + 1, false, !cutNode);
            if (pv && s > alpha && s < beta && !aborted)
                s = -Node(b, next, -beta, -alpha, ply + 1, true, false);
        }
        UndoSearchMove(b, c.move);
        if (aborted) return 0;
        if (!searched || s > best) {
            best = s;
            bestMove = c.move;
        }
        searched = true;
        if (s > alpha) {
            alpha = s;
            if (s >= beta) {
                if (quiet) {
                    const int32_t bonus = std::min(32 * plies * plies, 2048);
                    mHistory.Reward(own, c.move, bonus);
                    for (uint32_t q = 0; q < quietCount; ++q)
                        mHistory.Penalise(own, quiets[q], bonus);
                    mHistory.AddKiller(ply, c.move);
                    mHistory.SetCounter(own, previous, c.move);
                }
                break;
            }
        }
        if (quiet && quietCount < kTableSize) quiets[quietCount++] = c.move;
    }

    // 7. Node end.
    const uint8_t bound =
        best >= beta ? kBoundLower : (pv && best > alphaIn ? kBoundExact : kBoundUpper);
    RecordNodeResult(mWorker, b.mHash, plies, best, bound, bestMove);
    return best;
}

int32_t PvSearch::Root(BoardAI& b, RootMove* moves, uint32_t n, int32_t depth, int32_t alpha,
                       int32_t beta) {
    int32_t best = ScoreLoss;
    uint32_t bestIndex = 0;
    mRootPlies = depth / kPly;
    const bool live = mWorker.showDetail;
    for (uint32_t i = 0; i < n; ++i) {
        RootMove& rm = moves[i];
        if (live) LiveCell(mWorker, "POS", rm.move);
        const uint32_t start = mWorker.nodeCounter;
        const int32_t next = depth - MoveCost(n, rm.four, mP.fourCost);
        MakeSearchMove(b, rm.move);
        int32_t s;
        if (i == 0) {
            s = -Node(b, next, -beta, -alpha, 1, true, false);
        } else {
            int32_t r = 0;
            if (depth >= mP.reductionDepth && !rm.tactical &&
                i >= static_cast<uint32_t>(mP.rootReductionFirst))
                r = std::clamp(Reduction(depth, i) - mP.rootReductionOffset, 0,
                               std::max(next - kPly, 0));
            s = -Node(b, next - r, -alpha - 1, -alpha, 1, false, true);
            if (s > alpha && r > 0 && !aborted)
                s = -Node(b, next, -alpha - 1, -alpha, 1, false, true);
            if (s > alpha && s < beta && !aborted)
                s = -Node(b, next, -beta, -alpha, 1, true, false);
        }
        UndoSearchMove(b, rm.move);
        rm.nodes += mWorker.nodeCounter - start;
        if (aborted) break;
        rm.score = s;
        if (live) LiveCell(mWorker, s == ScoreLoss ? "LOST" : "DONE", rm.move);
        if (i == 0 || s > best) {
            best = s;
            bestIndex = i;
            if (live) {
                LiveCell(mWorker, "BEST", rm.move);
                LiveValue(mWorker, s);
            }
        }
        if (s > alpha) {
            alpha = s;
            iterationBest = rm.move;
            if (s >= beta) break;
        }
    }
    // The best move leads the next iteration; the others keep their order.
    std::rotate(moves, moves + bestIndex, moves + bestIndex + 1);
    return best;
}

}  // namespace

SearchResult PvDeepening(SearchWorker& worker, BoardAI& board, const TimeControl* tc,
                         int32_t maxDepth, bool quiet) {
    const uint32_t start = NowMs();
    const SearchParameters p = worker.shared.parameters;
    MoveTimePlan plan{kNoLimitMs, kNoLimitMs};
    if (tc) plan = PlanMoveTime(*tc, start, p);
    const uint32_t deadline = start + static_cast<uint32_t>(plan.limitMs);
    worker.maxMoveCount = board.mMoveCount;
    board.CountStonesIn(worker.nodeCounter);
    worker.history.Age();
    // The board keeps the learned evaluation's sums only when it is asked for;
    // Evaluate reads them where they are kept.
    board.AttachCodeValues(worker.shared.learnedEval ? &LearnedTables::Values() : nullptr);

    // 1. The root moves: the generator's, or those the threat solver left.
    SearchResult result{0, 1, 1, kNoCell};
    board.genLimit = Coord::area;
    GenerateMoves(board, GenMode::kFull);
    RootMove moves[kMoveListCapacity];
    uint32_t n = 0;
    auto add = [&](CellIndex m) {
        if (m >= Coord::area || board.mCells[m] || n >= kMoveListCapacity) return;
        for (uint32_t i = 0; i < n; ++i)
            if (moves[i].move == m) return;
        moves[n++] = {m, IsTactical(board, m), MakesFour(board, m), 0, 0};
    };
    if (worker.restrictedCount > 0) {
        for (uint32_t i = 0; i < worker.restrictedCount; ++i) add(worker.restrictedMoves[i]);
    } else {
        for (uint32_t i = 0; i < board.genCount; ++i) add(board.genMoves[i]);
    }
    if (n == 0) return result;
    result.move = moves[0].move;

    // 2. Deepen.
    PvSearch search(worker, tc, deadline);
    SearchParams vcfParams;
    vcfParams.timeControl = tc;
    vcfParams.stop = worker.stopFlag;
    vcfParams.vcfNoStandPat = true;
    int32_t previous = 0;
    int32_t completed = 0;
    int32_t stable = 0;
    const uint32_t liveNodes = worker.AllNodes();
    uint32_t lastIterationNodes = 0;
    // Searching beside helpers: each depth is counted while a worker is on it.
    SearchPool* const team = worker.pool && worker.pool->HelpersRunning() ? worker.pool : nullptr;
    struct DepthClaim {
        SearchPool* team;
        int32_t depth;
        ~DepthClaim() {
            if (team) team->LeaveDepth(depth);
        }
    };
    for (int32_t depth = 2;; ++depth) {
        if (team && !team->EnterDepth(worker, depth)) {
            if (depth > maxDepth) break;
            continue;
        }
        const DepthClaim claim{team, depth};
        if (worker.showDetail) worker.Live("REALTIME REFRESH");
        const uint32_t iterationStartMs = NowMs();
        const uint32_t iterationStartNodes = worker.nodeCounter;
        // a. A win by continuous fours ends the search.
        CellIndex four = kNoCell;
        if (VCF(worker, board, depth, vcfParams, four, true, ScoreWin, nullptr) == ScoreWin &&
            four < Coord::area && !worker.IsBlocked(four)) {
            result = {ScoreWin, 0, kInfinity, four};
            completed = depth;
            break;
        }
        // b. An aspiration window around the last score, widened on failure.
        int64_t delta =
            p.aspirationDelta + std::abs(static_cast<int64_t>(previous)) * p.aspirationShare / 100;
        int64_t alpha = ScoreLoss, beta = ScoreWin;
        if (depth >= p.aspirationDepth && !IsDecisive(previous)) {
            alpha = std::max<int64_t>(ScoreLoss, previous - delta);
            beta = std::min<int64_t>(ScoreWin, previous + delta);
        }
        search.iterationBest = kNoCell;
        for (auto& m : moves) m.nodes = 0;
        int32_t score;
        for (;;) {
            score = search.Root(board, moves, n, depth * kPly, static_cast<int32_t>(alpha),
                                static_cast<int32_t>(beta));
            if (search.aborted) break;
            if (score <= alpha && alpha > ScoreLoss) {
                alpha = std::max<int64_t>(ScoreLoss, score - delta);
            } else if (score >= beta && beta < ScoreWin) {
                beta = std::min<int64_t>(ScoreWin, score + delta);
            } else {
                break;
            }
            delta += delta * p.aspirationGrowth / 100 + p.aspirationWiden;
            if (delta > p.aspirationFull) alpha = ScoreLoss, beta = ScoreWin;
        }
        // c. A cut-short iteration counts only by a move that beat the last best.
        if (search.aborted) {
            if (search.iterationBest != kNoCell) result.move = search.iterationBest;
            break;
        }
        const CellIndex lastBest = result.move;
        result.move = moves[0].move;
        SetVerdict(result, score);
        completed = depth;
        // Beside helpers: a helper's finished iteration is told to the pool,
        // and the main worker goes on from the deepest one finished, its
        // move first, rather than search again what a helper has searched.
        if (team && worker.index > 0) {
            team->ReportIteration(depth, result.move, score);
        } else if (team) {
            SearchPool::Iteration deeper;
            RootMove* first = moves + n;
            if (team->DeeperIteration(depth, deeper))
                first = std::find_if(moves, moves + n,
                                     [&](const RootMove& m) { return m.move == deeper.move; });
            if (first != moves + n) {
                std::rotate(moves, first, first + 1);
                depth = deeper.depth;
                score = deeper.score;
                result.move = deeper.move;
                SetVerdict(result, score);
                completed = depth;
            }
        }
        if (worker.showDetail)
            WriteIterationLines(worker, board, depth,
                                static_cast<int64_t>(worker.maxMoveCount) - board.mMoveCount,
                                result, worker.AllNodes() - liveNodes, StampDiff(NowMs(), start));
        if (IsDecisive(score)) break;
        stable = result.move == lastBest ? stable + 1 : 0;

        // d. Time: a settled best move ends early, a changed or falling one
        //    buys more.
        if (tc) {
            const int32_t percent = stable >= 3   ? p.timeStable3
                                    : stable == 2 ? p.timeStable2
                                    : stable == 1 ? p.timeStable1
                                                  : p.timeUnstable;
            double factor = percent / 100.0;
            if (depth > 2 && score < previous - p.timeFallingDrop) factor *= p.timeFalling / 100.0;
            const uint32_t now = NowMs();
            const int32_t elapsed = StampDiff(now, start);
            if (elapsed >= plan.targetMs * factor) break;
            // The next iteration costs what this one did times the growth seen
            // from the last: not started when not even its given share can end
            // before the limit.
            const uint32_t iterationNodes = worker.nodeCounter - iterationStartNodes;
            if (p.timeFinish > 0 && lastIterationNodes > 0) {
                const double growth =
                    std::clamp(static_cast<double>(iterationNodes) / lastIterationNodes, 1.2, 6.0);
                const double next = StampDiff(now, iterationStartMs) * growth * p.timeFinish / 100.0;
                if (elapsed + next > plan.limitMs) break;
            }
            lastIterationNodes = iterationNodes;
        }
        previous = score;
        if (depth > maxDepth ||
            static_cast<int64_t>(board.mMoveCount) + depth >= static_cast<int64_t>(Coord::area) - 1)
            break;
    }

    // 3. Every move lost: the one whose refutation took most nodes.
    if (result.disproof == 0) {
        uint32_t most = 0;
        for (uint32_t i = 0; i < n; ++i)
            if (moves[i].nodes > most) most = moves[i].nodes, result.move = moves[i].move;
    }
    worker.completedDepth = completed;
    if (!quiet)
        WriteDepthLine(worker, completed,
                       static_cast<int64_t>(worker.maxMoveCount) - board.mMoveCount, result.value);
    return result;
}
