#include "pns/proofsearch.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "board/simpleboard.h"
#include "board/threatcategory.h"
#include "board/zobrist.h"
#include "platform/clock.h"
#include "pns/pnnodepool.h"
#include "search/movegen.h"
#include "search/searchworker.h"

namespace {

// The loop stops once no more than this many nodes are free.
constexpr int32_t kFreeReserve = 50;

enum Verdict { kOpen, kProverWins, kProverLoses };

// Solved numbers; the value is seen from the side to move at the node, so that
// negating a child's value gives the parent's view.
void SetSolved(PnNode* node, bool proverWins) {
    node->pn = proverWins ? 0 : kInfinity;
    node->dn = proverWins ? kInfinity : 0;
    node->value = proverWins == (node->side == 1) ? ScoreWin : ScoreLoss;
}

// Sum of two proof numbers: infinite when either is, and never reaching
// infinity by overflow, which would read as a solved node.
uint32_t AddNumbers(uint32_t a, uint32_t b) {
    if (a == kInfinity || b == kInfinity) return kInfinity;
    uint64_t sum = static_cast<uint64_t>(a) + b;
    return sum >= kInfinity ? kInfinity - 1 : static_cast<uint32_t>(sum);
}

// Generates at the node with the mode of its side; win and loss are turned into
// the prover's view.
Verdict Generate(ProofSearcher& proof, PnNode* node, BoardAI*& board) {
    board = &GetNodeBoard(proof, node);
    int32_t v = GenerateMoves(*board, node->side ? proof.pnAttackerMode : proof.pnDefenderMode);
    if (v != ScoreWin && v != ScoreLoss) return kOpen;
    bool sideToMoveWins = v == ScoreWin;
    return sideToMoveWins == (node->side == 1) ? kProverWins : kProverLoses;
}

// The parent whose position leads to the node's by the node's move.
PnNode* ParentOnPath(const PnNode* node) {
    if (node->parentCount == 1) return node->parents.one;
    const uint64_t k1 = ZobristKey(node->move, 1, Coord::area);
    const uint64_t k2 = ZobristKey(node->move, 2, Coord::area);
    for (int i = 0; i < node->parentCount; ++i) {
        const uint64_t h = node->Parent(i)->hash;
        if ((h ^ k1) == node->hash || (h ^ k2) == node->hash) return node->Parent(i);
    }
    return node->Parent(0);
}

// Slots C, B and A, in that order, none of them current while it goes.
void ReleaseAllTrees(ProofSearcher& proof) {
    for (int slot = kProofSlotC; slot >= kProofSlotA; --slot) {
        proof.pnCurrentRoot = nullptr;
        ReleaseTree(proof, slot);
    }
}

PnNode* FirstProvenChild(const PnNode* node) {
    for (int i = 0; i < node->childCount; ++i)
        if (node->children[i]->pn == 0) return node->children[i];
    return nullptr;
}

// Marks what a solved node's result does not rest on: everything below a
// disproven node, and at a proven OR node every child but the proving one.
// The proof itself stays.
void PruneSolved(PnNodePool& pool, PnNode* node) {
    if (node->Proven() && node->side == 0) return;  // every child is part of the proof
    const PnNode* keep = node->Proven() ? FirstProvenChild(node) : nullptr;
    for (int i = 0; i < node->childCount; ++i) {
        PnNode* child = node->children[i];
        if (child != keep && !child->Marked()) pool.Mark(child);
    }
}

}  // namespace

ProofSearcher::ProofSearcher(SearchWorker& owner)
    : worker(owner), board(std::make_unique<BoardAI>()) {
    board->CountStonesIn(worker.nodeCounter);
}

ProofSearcher::~ProofSearcher() {
    DestroyProofPool(*this);
}

void ProofSearcher::SetPosition(const BoardAI& position) {
    *board = position;
    ReleaseProofTrees(*this);
}

void CreateProofPool(ProofSearcher& proof) {
    CreateProofPool(proof, 0, 0);
}

void CreateProofPool(ProofSearcher& proof, int32_t capacity, int32_t cacheEntries) {
    if (proof.pnPool) {
        ReleaseAllTrees(proof);
        proof.pnPool.reset();
    }
    proof.pnPool = std::make_unique<PnNodePool>(sizeof(BoardAI), cacheEntries, capacity);
}

void ReleaseProofTrees(ProofSearcher& proof) {
    ReleaseAllTrees(proof);
    if (proof.board) {
        proof.pnRootMoveCount = proof.board->mMoveCount;
        proof.pnRootSide = proof.board->mSide;
    }
}

void DestroyProofPool(ProofSearcher& proof) {
    ReleaseAllTrees(proof);
    proof.pnPool.reset();
}

int32_t ProveWin(ProofSearcher& proof, int32_t budgetMs, CellIndex& move) {
    uint32_t count = 0;
    SearchResult result = ProofSearch(proof, kProofSlotB, budgetMs, GenMode::kProofAttacker,
                                      GenMode::kProofDefender, nullptr, count);
    move = result.move;
    if (result.proof == 0) return ScoreWin;
    return result.disproof > 0 ? ScoreUnknown : ScoreLoss;
}

SearchResult ProveWinResult(ProofSearcher& proof, int32_t budgetMs) {
    uint32_t count = 0;
    return ProofSearch(proof, kProofSlotB, budgetMs, GenMode::kProofAttacker,
                       GenMode::kProofDefender, nullptr, count);
}

SearchResult FindDefences(ProofSearcher& proof, int32_t budgetMs, CellIndex* moves,
                          uint32_t& count) {
    return ProofSearch(proof, kProofSlotC, budgetMs, GenMode::kProofDefender,
                       GenMode::kProofAttacker, moves, count);
}

BoardAI& GetNodeBoard(ProofSearcher& proof, PnNode* node) {
    PnNodePool& pool = *proof.pnPool;
    // 1. Cached.
    if (node->cacheEntry) {
        pool.Touch(node->cacheEntry);
        return *node->cacheEntry->board;
    }
    if (node->parentCount == 0) throw std::logic_error("Proof tree root without a board.");
    // 2. The parent's board, rebuilt the same way if need be.
    BoardAI& parentBoard = GetNodeBoard(proof, ParentOnPath(node));
    // 3. The least recently used entry; without any, the spare board, unbound.
    BoardCacheEntry* entry = pool.AcquireEntry(node);
    BoardAI& board = entry ? *entry->board : pool.SpareBoard();
    // 4. One move on from the parent. With a single entry, or the spare, the
    //    parent's board is this buffer and is simply moved on.
    if (&board != &parentBoard) board = parentBoard;
    board.CountStonesIn(proof.worker.nodeCounter);
    board.Toggle(node->move);
    return board;
}

uint32_t ReplyEstimate(const BoardAI& board) {
    const uint16_t* opp = board.Counts(static_cast<int>(board.mOpponent));
    if (opp[k2xStraightFour]) return 1;
    if (opp[kStraightFourFour] || opp[kStraightFour]) return 2;
    if (opp[kFourThree] || opp[kFourDevelopFour] || opp[kFourDevelopThree] || opp[kFour]) return 1;
    if (opp[k2xThree] == 0) return 10;
    return board.Counts(static_cast<int>(board.mToMove))[kFour] + 5u;
}

void EvaluateNode(ProofSearcher& proof, PnNode* node) {
    // 1-3. Decided positions.
    BoardAI* board = nullptr;
    Verdict verdict = Generate(proof, node, board);
    if (verdict != kOpen) {
        SetSolved(node, verdict == kProverWins);
    } else {
        // 4. Deeper positions and more replies make a proof or disproof dearer.
        const uint32_t m = board->mMoveCount;
        const uint32_t e = ReplyEstimate(*board);
        node->pn = node->dn = m + 1;
        if (node->side)
            node->dn = m + e;
        else
            node->pn = m + e;
        node->value = 0;
    }
    // 5.
    node->evaluated = 1;
    if (board->genCount > 0) node->bestMove = board->genMoves[0];
    ++proof.pnEvaluationCounter;
}

bool ExpandNode(ProofSearcher& proof, PnNode* node) {
    if (node->expanded) return true;
    // 1. Regenerate. An open node keeps its numbers until UpdateNode derives new
    //    ones, so that UpdateAncestors sees whether the parent's view changed.
    BoardAI* board = nullptr;
    Verdict verdict = Generate(proof, node, board);
    if (verdict != kOpen) {
        SetSolved(node, verdict == kProverWins);
        return true;
    }
    // 2. A child per listed move, or none at all when the pool cannot supply them.
    PnNodePool& pool = *proof.pnPool;
    const uint32_t n = std::min<uint32_t>(board->genCount, kMaxArea);
    if (pool.freeCount < static_cast<int32_t>(n)) return false;
    const uint32_t stone = board->mToMove;
    uint32_t depth = board->mMoveCount - proof.pnRootMoveCount + 1;
    depth = std::min<uint32_t>(depth, kMaxArea + 1);
    for (uint32_t i = 0; i < n; ++i) {
        const CellIndex move = board->genMoves[i];
        if (move >= Coord::area || board->mCells[move]) continue;
        ++proof.depthHistogram[depth];
        PnNode* child = pool.TakeNode();
        if (!child) break;  // cannot happen: the free count covered n nodes
        child->move = move;
        child->side = static_cast<uint8_t>(1 - node->side);
        child->hash = board->mHash ^ ZobristKey(move, stone, Coord::area);
        child->AddParent(node);
        node->AppendChild(child);
    }
    node->expanded = 1;
    // Nothing to play: the side to move here loses.
    if (node->childCount == 0) SetSolved(node, node->side == 0);
    return true;
}

bool ExpandAndEvaluate(ProofSearcher& proof, PnNode* node) {
    if (!ExpandNode(proof, node)) return false;
    for (int i = 0; i < node->childCount; ++i) {
        PnNode* child = node->children[i];
        if (child->evaluated) continue;
        EvaluateNode(proof, child);
        UpdateNode(proof, child);
    }
    return true;
}

void UpdateNode(ProofSearcher& proof, PnNode* node) {
    if (node->Solved()) return;
    // 1. A leaf keeps its evaluation.
    if (!node->expanded) {
        if (!node->evaluated) {
            node->value = 0;
            node->pn = node->dn = 1;
        }
        return;
    }
    if (node->childCount == 0) {
        // 2. Only a root whose proven moves were all taken away (ExpandNode
        //    solves a node with nothing to play): nothing is left to search, and
        //    the root stays open.
        BoardAI* board = nullptr;
        Generate(proof, node, board);
        return;
    } else {
        // 3-4. OR nodes take the smallest proof number and sum the disproof
        //      numbers, AND nodes the other way round.
        const PnNode* first = node->children[0];
        uint32_t pn = first->pn, dn = first->dn;
        int32_t value = -first->value;
        for (int i = 1; i < node->childCount; ++i) {
            const PnNode* child = node->children[i];
            if (node->side) {
                dn = AddNumbers(dn, child->dn);
                pn = std::min(pn, child->pn);
            } else {
                pn = AddNumbers(pn, child->pn);
                dn = std::min(dn, child->dn);
            }
            value = std::max(value, -child->value);
        }
        node->pn = pn;
        node->dn = dn;
        node->value = value;
    }
    // 5. A solved node below the root needs its board no more.
    if (node->Solved() && node->parentCount > 0) {
        GetNodeBoard(proof, node);
        proof.pnPool->ReleaseEntry(node);
        if (proof.pnPruneSolved) PruneSolved(*proof.pnPool, node);
    }
}

PnNode* SelectChild(PnNode* node) {
    if (node->childCount == 0) return nullptr;
    PnNode* best = node->children[0];
    for (int i = 0; i < node->childCount; ++i) {
        PnNode* child = node->children[i];
        if (node->side ? child->pn == node->pn : child->dn == node->dn) return child;
        // Kept in case the numbers disagree: the smallest deciding number.
        if (node->side ? child->pn < best->pn : child->dn < best->dn) best = child;
    }
    return best;
}

PnNode* UpdateAncestors(ProofSearcher& proof, PnNode* node, bool top) {
    for (;;) {
        // 1.
        const uint32_t pn = node->pn, dn = node->dn;
        UpdateNode(proof, node);
        const bool changed = pn != node->pn || dn != node->dn;
        // 2, 5. Several parents: each line upward gets its own walk.
        if (node->parentCount > 1) {
            for (int i = 0; i < node->parentCount; ++i) {
                PnNode* parent = node->Parent(i);
                if (!parent->Marked()) UpdateAncestors(proof, parent, false);
            }
            return top ? proof.pnCurrentRoot : nullptr;
        }
        // 3-4.
        if (node->parentCount == 0 || (!changed && !node->Solved())) return node;
        node = node->parents.one;
    }
}

void ReleaseTree(ProofSearcher& proof, int rootSlot) {
    PnNode*& root = proof.pnRoots[rootSlot];
    if (!root) return;
    // Roots come with a pool and die with it.
    if (proof.pnPool) {
        proof.pnPool->Mark(root);
        proof.pnPool->CollectGarbage();
    }
    root = nullptr;
}

SearchResult ProofSearch(ProofSearcher& proof, int rootSlot, int32_t budgetMs, GenMode attackerMode,
                         GenMode defenderMode, CellIndex* moves, uint32_t& count,
                         const BoardAI* position) {
    // 1. The search structures.
    if (!proof.pnPool && proof.allocateStructures) proof.allocateStructures();
    if (!proof.pnPool) CreateProofPool(proof);
    PnNodePool& pool = *proof.pnPool;
    // 2.
    proof.pnAttackerMode = attackerMode;
    proof.pnDefenderMode = defenderMode;
    const uint32_t start = NowMs();
    // 3. A new root holds its own copy of the position.
    if (!proof.pnRoots[rootSlot]) {
        BoardAI board = position ? *position : *proof.board;
        GenerateMoves(board, GenMode::kFull);
        PnNode* root = pool.CreateRoot(board);
        root->side = 1;
        BoardAI& own = *root->cacheEntry->board;
        own.CountStonesIn(proof.worker.nodeCounter);
        GenerateMoves(own, GenMode::kFull);
        own.genLimit = Coord::area;
        root->hash = board.mHash;
        proof.pnRoots[rootSlot] = root;
        proof.pnRootMoveCount = board.mMoveCount;
        proof.pnRootSide = board.mSide;
    }
    // 4.
    PnNode* root = proof.pnRoots[rootSlot];
    proof.pnCurrentRoot = root;
    if (!root->evaluated) EvaluateNode(proof, root);
    if (!root->Solved()) UpdateNode(proof, root);
    // 5.
    const uint32_t evaluationsBefore = proof.pnEvaluationCounter;
    const uint32_t stonesBefore = proof.worker.nodeCounter;
    count = 0;
    const int32_t setupMs = StampDiff(NowMs(), start);
    // 6. Grow the tree from the most-proving leaf.
    PnNode* current = root;
    for (;;) {
        // 6.1
        if (root->Solved() || StampDiff(NowMs(), start) >= budgetMs ||
            pool.freeCount <= kFreeReserve || proof.worker.StopRequested())
            break;
        // 6.2
        PnNode* node = current;
        while (node->expanded && node->childCount > 0) node = SelectChild(node);
        if (node->Solved() || node->expanded) break;  // nothing left to grow
        // 6.3
        if (!ExpandAndEvaluate(proof, node)) break;  // the pool ran dry
        current = UpdateAncestors(proof, node, true);
        pool.CollectGarbage();
        // 6.4
        if (root->pn != 0) continue;
        // 6.5 Record each proven root move and search on for the next.
        if (!moves) break;
        while (root->pn == 0) {
            PnNode* proven = FirstProvenChild(root);
            if (!proven) break;
            moves[count++] = proven->move;
            pool.Mark(proven);
            pool.CollectGarbage();
            root->value = 0;
            root->pn = root->dn = 1;
            if (root->childCount == 0) break;
            UpdateNode(proof, root);
        }
        if (root->childCount == 0) break;
        current = root;
    }
    // 7. Statistics.
    const uint32_t evaluations = proof.pnEvaluationCounter - evaluationsBefore;
    const int32_t stones = static_cast<int32_t>(proof.worker.nodeCounter - stonesBefore);
    std::ostringstream line;
    line << "DEBUG PNS: searched=" << evaluations << " moves=" << stones;
    if (stones > 1000) {
        int32_t ms = StampDiff(NowMs(), start) - setupMs;
        if (ms < 1) ms = 1;
        proof.pnLastSpeed = static_cast<float>(stones) / static_cast<float>(ms);
        line << " speed= " << static_cast<int64_t>(proof.pnLastSpeed * 1000.0f) << "/s";
    }
    if (!proof.quiet) proof.worker.diagnostics << line.str() << '\n';
    // 8. The result.
    SearchResult result{0, 1, 1, kNoCell};
    if (count > 0)
        result.move = moves[0];
    else if (root->childCount == 0)
        result.move = root->bestMove;
    else
        result.move = SelectChild(root)->move;
    if (count > 0) {
        result.value = ScoreWin;
        result.proof = 0;
        result.disproof = kInfinity;
        return result;
    }
    result.value = root->value;
    result.proof = root->pn;
    result.disproof = root->dn;
    if (!root->Solved() && moves) {
        count = static_cast<uint32_t>(root->childCount);
        std::pair<uint32_t, CellIndex> ranked[kMaxArea];
        for (uint32_t i = 0; i < count; ++i)
            ranked[i] = {root->children[i]->pn, root->children[i]->move};
        std::sort(ranked, ranked + count,
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (uint32_t i = 0; i < count; ++i) moves[i] = ranked[i].second;
    }
    return result;
}
