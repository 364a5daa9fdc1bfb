#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "board/boardai.h"
#include "board/coord.h"
#include "pns/pnnode.h"
#include "pns/pnnodepool.h"
#include "search/movegen.h"
#include "search/score.h"

class SearchWorker;

// One proof-number search of the engine: its node pool, its three tree roots
// and the position new roots are made from (its own copy, set by the owner
// after every change of the game's board; ProveOn is given any other). Its
// stones count in the worker's counter, its lines go to the worker's
// diagnostics unless it is quiet, and the worker's stop flag ends it. No other
// object's board or text is borrowed while it proves.
class ProofSearcher {
  public:
    explicit ProofSearcher(SearchWorker& worker);
    ~ProofSearcher();
    ProofSearcher(const ProofSearcher&) = delete;
    ProofSearcher& operator=(const ProofSearcher&) = delete;

    SearchWorker& worker;
    // The position proved; a new position releases every tree.
    std::unique_ptr<BoardAI> board;
    void SetPosition(const BoardAI& position);

    // Creates the pool (and the engine's other search structures) when a proof
    // finds none; set by the owner.
    std::function<void()> allocateStructures;

    // The node pool and three tree roots (slot 0 is never filled by the entry
    // operations).
    std::unique_ptr<PnNodePool> pnPool;
    PnNode* pnRoots[3] = {nullptr, nullptr, nullptr};
    PnNode* pnCurrentRoot = nullptr;
    GenMode pnAttackerMode = GenMode::kFull;
    GenMode pnDefenderMode = GenMode::kFull;
    uint32_t pnRootMoveCount = 0;
    uint8_t pnRootSide = 1;
    // Solved subtrees give their nodes back, all but the proofs (the analysis
    // words and the root solver; the entry operations alone keep every node).
    bool pnPruneSolved = false;
    // No statistics line (the threat solver's proofs).
    bool quiet = false;
    float pnLastSpeed = 0.0f;                    // stones per millisecond
    uint32_t depthHistogram[kMaxArea + 2] = {};  // nodes per depth below the root
    uint32_t pnEvaluationCounter = 0;            // proof-number evaluations made
};

// Root slots of the engine's proof-number trees. Slot A is never filled by an
// entry operation.
constexpr int kProofSlotA = 0;
constexpr int kProofSlotB = 1;  // ProveWin, ProveWinResult
constexpr int kProofSlotC = 2;  // FindDefences

// Pool lifecycle. The one-argument form is the engine's own: a board buffer of
// sizeof(BoardAI), no cache entries and no nodes, so that a run evaluates the
// root only. Replacing a pool releases its trees first.
void CreateProofPool(ProofSearcher& proof);
void CreateProofPool(ProofSearcher& proof, int32_t capacity, int32_t cacheEntries);
// After every change of the engine's board: releases slots C, B and A and takes
// the root's move count and side from the board. Safe without a pool.
void ReleaseProofTrees(ProofSearcher& proof);
// Frees every tree and the pool.
void DestroyProofPool(ProofSearcher& proof);

// Entry operations; each takes its time budget in milliseconds. ProveWin
// answers ScoreWin (proven), ScoreUnknown (open) or ScoreLoss (disproven).
int32_t ProveWin(ProofSearcher& proof, int32_t budgetMs, CellIndex& move);
SearchResult ProveWinResult(ProofSearcher& proof, int32_t budgetMs);
// Proves defences for the side to move; moves (room for 400) receives the proven
// ones in the order found, or, when none is proven, the open root's moves by
// proof number.
SearchResult FindDefences(ProofSearcher& proof, int32_t budgetMs, CellIndex* moves,
                          uint32_t& count);

// Grows the tree of a root slot until the root is solved, the budget runs out or
// the pool is nearly empty; a second run on the same slot continues the tree.
// The generator modes are for nodes with side 1 and side 0.
// A new root is made from position, or from the searcher's own when none is given.
SearchResult ProofSearch(ProofSearcher& proof, int rootSlot, int32_t budgetMs, GenMode attackerMode,
                         GenMode defenderMode, CellIndex* moves, uint32_t& count,
                         const BoardAI* position = nullptr);

// Node operations of the search, on the engine's pool and current modes.
//
// The node's board: from its cache entry, or rebuilt from its parent's board
// by one move into the least recently used entry.
BoardAI& GetNodeBoard(ProofSearcher& proof, PnNode* node);
// First evaluation: numbers from the generator's verdict, or from the move
// count and the reply estimate while undecided.
void EvaluateNode(ProofSearcher& proof, PnNode* node);
// How many replies the player to move needs, guessed from the counts of the
// player who is not to move.
uint32_t ReplyEstimate(const BoardAI& board);
// Adds a child per generated move; with none, the side to move there has lost.
// False when the pool cannot supply them all: the node then stays unexpanded
// and keeps its numbers.
bool ExpandNode(ProofSearcher& proof, PnNode* node);
bool ExpandAndEvaluate(ProofSearcher& proof, PnNode* node);
// Numbers of an open node from its children.
void UpdateNode(ProofSearcher& proof, PnNode* node);
// The child that carries the node's deciding number; null without children.
PnNode* SelectChild(PnNode* node);
// Updates upward from node; answers the node from which the next descent starts.
PnNode* UpdateAncestors(ProofSearcher& proof, PnNode* node, bool top);
// Marks and collects the tree of a slot and empties the slot.
void ReleaseTree(ProofSearcher& proof, int rootSlot);
