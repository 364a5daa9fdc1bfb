#include "pns/rootsolver.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "pns/proofsearch.h"
#include "pns/threatsolver.h"
#include "search/movegen.h"
#include "search/searchworker.h"
#include "search/trace.h"

bool SolveAtRoot(ProofSearcher& proof, int32_t solverBudgetMs, int32_t moveBudgetMs,
                 SearchResult& result) {
    proof.worker.restrictedCount = 0;
    // Only where the normal search would search: the generator leaves the
    // position open with a choice of moves.
    const BoardAI& board = *proof.board;
    BoardAI copy = board;
    copy.mPlain = 1;
    const int32_t verdict = GenerateMoves(copy, GenMode::kFull);
    if (IsDecisive(verdict) || copy.genCount < 2 || copy.mMoveCount <= 1 ||
        proof.worker.shared.randomMoveProbability > 0)
        return false;
    const int32_t solverMs = std::min(solverBudgetMs, moveBudgetMs / 2);
    if (solverMs <= 0) return false;
    const uint32_t start = NowMs();

    // a. A win by threats for the engine is played at once.
    proof.pnPruneSolved = true;
    proof.quiet = true;
    SearchResult own = ProveWinResult(proof, solverMs / 3);
    proof.pnPruneSolved = false;
    proof.quiet = false;
    if (own.proof == 0 && own.move < Coord::area && board.mCells[own.move] == 0) {
        const ProofShape shape = MeasureProof(proof.pnRoots[kProofSlotB]);
        proof.worker.Message("threat win proven: " + std::to_string(shape.nodes) + " nodes, " +
                       std::to_string(shape.plies) + " plies");
        result = own;
        return true;
    }
    proof.pnCurrentRoot = nullptr;
    ReleaseTree(proof, kProofSlotB);

    // b. The opponent's threats: the search keeps only the moves not proven to
    //    lose to them, and gains those proven to stop them.
    const int32_t left = solverMs - StampDiff(NowMs(), start);
    if (left <= 0) return false;
    const std::vector<CellIndex> candidates(copy.genMoves, copy.genMoves + copy.genCount);
    DefenceReport report = AnalyseDefences(proof, left, candidates, false);
    if (!report.threat) return false;
    std::vector<CellIndex> kept;
    for (CellIndex c : candidates)
        if (std::find(report.losing.begin(), report.losing.end(), c) == report.losing.end())
            kept.push_back(c);
    for (CellIndex c : report.stopping)
        if (std::find(kept.begin(), kept.end(), c) == kept.end()) kept.push_back(c);
    std::stringstream& diagnostics = proof.worker.diagnostics;
    diagnostics << "DEBUG PNS: threatened; " << kept.size() << " of " << candidates.size()
                << " moves kept, " << report.stopping.size() << " stop it, " << report.losing.size()
                << " lose, " << report.nodes << " nodes, " << StampDiff(NowMs(), start) << " ms";
    for (CellIndex c : report.losing)
        diagnostics << (c == report.losing[0] ? "; lost: " : " ") << CellText(c);
    diagnostics << '\n';
    // Every move loses: the search chooses as usual.
    if (kept.empty()) return false;
    if (kept.size() == 1) {
        result = SearchResult{0, 1, 1, kept[0]};
        return true;
    }
    if (report.losing.empty() && kept.size() == candidates.size()) return false;
    proof.worker.restrictedCount = static_cast<uint32_t>(std::min<size_t>(kept.size(), kMaxArea));
    std::copy(kept.begin(), kept.begin() + proof.worker.restrictedCount, proof.worker.restrictedMoves);
    return false;
}
