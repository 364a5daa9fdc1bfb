#include "pns/threatsolver.h"

#include <algorithm>
#include <memory>
#include <string>

#include "board/forbidden.h"
#include "board/threatcategory.h"
#include "platform/clock.h"
#include "pns/proofsearch.h"
#include "search/movegen.h"
#include "search/searchworker.h"

ProofPoolSize ProofPoolSizeFor(int64_t bytes) {
    ProofPoolSize size;
    int64_t room = bytes - kProofFixedBoards * kProofBoardBytes;
    if (room <= 0) return size;
    const int64_t entries = std::min<int64_t>(kProofCacheEntries, room / 4 / kProofBoardBytes);
    room -= entries * kProofBoardBytes;
    size.cacheEntries = static_cast<int32_t>(entries);
    size.capacity = static_cast<int32_t>(std::min<int64_t>(room / kProofNodeBytes, 1 << 30));
    return size;
}

ProofShape MeasureProof(const PnNode* root) {
    ProofShape shape;
    if (!root || root->pn != 0) return shape;
    // Explicit stack: proofs can be hundreds of plies deep.
    std::vector<std::pair<const PnNode*, uint32_t>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [node, ply] = stack.back();
        stack.pop_back();
        ++shape.nodes;
        shape.plies = std::max(shape.plies, ply);
        for (int i = 0; i < node->childCount; ++i) {
            const PnNode* child = node->children[i];
            if (child->pn != 0) continue;
            stack.push_back({child, ply + 1});
            if (node->side == 1) break;  // one proven move is the proof at an OR node
        }
    }
    return shape;
}

void ProofMoves(const PnNode* root, std::vector<CellIndex>& moves) {
    if (!root || root->pn != 0) return;
    std::vector<const PnNode*> queue{root};
    for (size_t i = 0; i < queue.size(); ++i) {
        const PnNode* node = queue[i];
        if (node->move < Coord::area &&
            std::find(moves.begin(), moves.end(), node->move) == moves.end())
            moves.push_back(node->move);
        for (int c = 0; c < node->childCount; ++c) {
            const PnNode* child = node->children[c];
            if (child->pn != 0) continue;
            queue.push_back(child);
            if (node->side == 1) break;
        }
    }
}

SearchResult ProveOn(ProofSearcher& proof, const BoardAI& position, int32_t budgetMs,
                     std::vector<CellIndex>* moves, int slot) {
    if (!proof.pnPool && proof.allocateStructures) proof.allocateStructures();
    // The slot's tree grows from the position given; the searcher's other
    // trees, its root bookkeeping and its settings are as they were afterwards,
    // however the search ends.
    struct Restore {
        ProofSearcher& proof;
        PnNode* current;
        uint32_t rootMoveCount;
        uint8_t rootSide;
        int slot;
        bool keep;
        bool prune;
        bool quiet;
        ~Restore() {
            proof.pnPruneSolved = prune;
            proof.quiet = quiet;
            proof.pnCurrentRoot = nullptr;
            if (!keep) ReleaseTree(proof, slot);
            proof.pnCurrentRoot = current;
            proof.pnRootMoveCount = rootMoveCount;
            proof.pnRootSide = rootSide;
        }
    } restore{proof,       proof.pnCurrentRoot, proof.pnRootMoveCount, proof.pnRootSide,
              slot,        false,               proof.pnPruneSolved,   proof.quiet};
    proof.pnPruneSolved = true;
    proof.quiet = true;
    proof.pnCurrentRoot = nullptr;
    ReleaseTree(proof, slot);
    uint32_t count = 0;
    SearchResult result = ProofSearch(proof, slot, budgetMs, GenMode::kProofAttacker,
                                      GenMode::kProofDefender, nullptr, count, &position);
    if (moves && result.proof == 0) ProofMoves(proof.pnRoots[slot], *moves);
    // A proof is kept when its moves are asked for, for ProofHolds.
    restore.keep = moves != nullptr && result.proof == 0;
    return result;
}

namespace {

enum class Defence { kStopping, kLosing, kOpen };

uint32_t StraightFourCells(const BoardAI& board, int player) {
    const uint16_t* counts = board.Counts(player);
    return counts[k2xStraightFour] + counts[kStraightFourFour] + counts[kStraightFour];
}

const PnNode* ProvenChild(const PnNode* node, CellIndex move) {
    for (int i = 0; i < node->childCount; ++i)
        if (node->children[i]->pn == 0 && (move == kNoCell || node->children[i]->move == move))
            return node->children[i];
    return nullptr;
}

}  // namespace

bool ProofHolds(const PnNode* node, BoardAI& board, uint32_t& evaluations) {
    ++evaluations;
    const int32_t v =
        GenerateMoves(board, node->side ? GenMode::kProofAttacker : GenMode::kProofDefender);
    if (v == ScoreWin || v == ScoreLoss) return (v == ScoreWin) == (node->side == 1);
    if (!node->expanded) return false;  // the proof ended on a verdict that is gone
    if (node->side == 1) {
        const PnNode* child = ProvenChild(node, kNoCell);
        if (!child || board.mCells[child->move]) return false;
        board.Toggle(child->move);
        const bool holds = ProofHolds(child, board, evaluations);
        board.Toggle(child->move);
        return holds;
    }
    // Every reply the defender has here must be one the proof answers.
    CellIndex replies[kMaxArea];
    const uint32_t n = std::min<uint32_t>(board.genCount, kMaxArea);
    std::copy(board.genMoves, board.genMoves + n, replies);
    for (uint32_t i = 0; i < n; ++i) {
        const CellIndex reply = replies[i];
        if (reply >= Coord::area || board.mCells[reply]) continue;
        const PnNode* child = ProvenChild(node, reply);
        if (!child) return false;
        board.Toggle(reply);
        const bool holds = ProofHolds(child, board, evaluations);
        board.Toggle(reply);
        if (!holds) return false;
    }
    return true;
}

namespace {

// After the side to move on board plays move: does the opponent still win? A
// proof of the opponent's win with the move handed over is tried first.
Defence TryDefence(ProofSearcher& proof, const BoardAI& board, CellIndex move, int32_t budgetMs,
                   const PnNode* handedProof, uint32_t& nodes) {
    const int own = static_cast<int>(board.mToMove);
    const int opp = static_cast<int>(board.mOpponent);
    // Renju: a forbidden point is no defence for Black.
    const bool renju = board.GameRules().Renju();
    if (renju && own == board.mBlack && IsForbiddenPoint(board, move)) return Defence::kLosing;
    BoardAI after = board;
    after.CountStonesIn(proof.worker.nodeCounter);
    after.Toggle(move);
    bool tempo = false;
    if (after.Counts(own)[kWin] > 0) {
        // A four: the opponent must block (an open four or a five is won; the
        // opponent's own five comes first, and Black may not block on a
        // forbidden point).
        if (after.Counts(opp)[kWin] > 0) return Defence::kLosing;
        if (after.Counts(own)[kWin] > 1) return Defence::kStopping;
        if (renju && opp == after.mBlack && IsForbiddenPoint(after, after.First(own, kWin)))
            return Defence::kStopping;
        after.Toggle(after.First(own, kWin));
        after.Toggle(kPass);
        tempo = true;
    }
    const bool newThree = !tempo && StraightFourCells(after, own) > StraightFourCells(board, own);
    if (!tempo && handedProof) {
        BoardAI probe = after;
        probe.CountStonesIn(proof.worker.nodeCounter);
        probe.genLimit = Coord::area;
        const bool holds = ProofHolds(handedProof, probe, nodes);
        if (holds) return Defence::kLosing;
    }
    const uint32_t before = proof.pnEvaluationCounter;
    SearchResult r = ProveOn(proof, after, budgetMs, nullptr, kProofSlotC);
    nodes += proof.pnEvaluationCounter - before;
    if (r.proof == 0) {
        // After a four and a pass the opponent was given a move it does not get.
        return tempo ? Defence::kOpen : Defence::kLosing;
    }
    if (r.disproof == 0 && !newThree) return Defence::kStopping;
    return Defence::kOpen;
}

void AddUnique(std::vector<CellIndex>& list, CellIndex cell) {
    if (std::find(list.begin(), list.end(), cell) == list.end()) list.push_back(cell);
}

bool NearStone(const BoardAI& board, uint32_t x, uint32_t y) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int nx = static_cast<int>(x) + dx, ny = static_cast<int>(y) + dy;
            if (nx < 0 || ny < 0 || nx >= static_cast<int>(Coord::width) ||
                ny >= static_cast<int>(Coord::height))
                continue;
            if (board.mCells[static_cast<uint32_t>(ny) * Coord::width + static_cast<uint32_t>(nx)])
                return true;
        }
    return false;
}

}  // namespace

DefenceReport AnalyseDefences(ProofSearcher& proof, int32_t budgetMs,
                              const std::vector<CellIndex>& first, bool wide) {
    const uint32_t start = NowMs();
    DefenceReport report;
    const BoardAI board = *proof.board;
    // 1. The opponent to move: a win by threats?
    BoardAI handed = board;
    handed.Toggle(kPass);
    std::vector<CellIndex> proofMoves;
    uint32_t before = proof.pnEvaluationCounter;
    SearchResult threat = ProveOn(proof, handed, budgetMs / 2, &proofMoves, kProofSlotA);
    report.nodes = proof.pnEvaluationCounter - before;
    if (threat.proof != 0) return report;
    report.threat = true;
    // The proof stays for the candidates, and goes with this analysis.
    struct Release {
        ProofSearcher& proof;
        ~Release() {
            proof.pnCurrentRoot = nullptr;
            ReleaseTree(proof, kProofSlotA);
        }
    } release{proof};
    const PnNode* handedProof = proof.pnRoots[kProofSlotA];
    // 2. Candidates.
    std::vector<CellIndex> candidates;
    for (CellIndex c : first)
        if (c < Coord::area && board.mCells[c] == 0) AddUnique(candidates, c);
    for (CellIndex c : proofMoves)
        if (board.mCells[c] == 0) AddUnique(candidates, c);
    if (wide)
        for (uint32_t z = 0; z < Coord::area; ++z)
            if (board.mCells[z] == 0 && NearStone(board, z % Coord::width, z / Coord::width))
                AddUnique(candidates, static_cast<CellIndex>(z));
    // 3. Each in turn, with an equal share of the time left.
    for (size_t i = 0; i < candidates.size(); ++i) {
        const int32_t left = budgetMs - StampDiff(NowMs(), start);
        if (left <= 0) {
            report.open.insert(report.open.end(), candidates.begin() + static_cast<long>(i),
                               candidates.end());
            break;
        }
        const int32_t share =
            std::max<int32_t>(1, left / static_cast<int32_t>(candidates.size() - i));
        switch (TryDefence(proof, board, candidates[i], share, handedProof, report.nodes)) {
            case Defence::kStopping:
                report.stopping.push_back(candidates[i]);
                break;
            case Defence::kLosing:
                report.losing.push_back(candidates[i]);
                break;
            case Defence::kOpen:
                report.open.push_back(candidates[i]);
                break;
        }
    }
    return report;
}
