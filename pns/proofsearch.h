#pragma once

#include <cstdint>

#include "board/boardai.h"
#include "board/coord.h"
#include "pns/pnnode.h"
#include "search/movegen.h"
#include "search/score.h"

class SearchWorker;

// Root slots of the engine's proof-number trees. Slot A is never filled by an
// entry operation.
constexpr int kProofSlotA = 0;
constexpr int kProofSlotB = 1;  // ProveWin, ProveWinResult
constexpr int kProofSlotC = 2;  // FindDefences

// Pool lifecycle. The one-argument form is the engine's own: a board buffer of
// sizeof(BoardAI), no cache entries and no nodes, so that a run evaluates the
// root only. Replacing a pool releases its trees first.
void CreateProofPool(SearchWorker& worker);
void CreateProofPool(SearchWorker& worker, int32_t capacity, int32_t cacheEntries);
// After every change of the engine's board: releases slots C, B and A and takes
// the root's move count and side from the board. Safe without a pool.
void ReleaseProofTrees(SearchWorker& worker);
// Frees every tree and the pool.
void DestroyProofPool(SearchWorker& worker);

// Entry operations; each takes its time budget in milliseconds. ProveWin
// answers ScoreWin (proven), ScoreUnknown (open) or ScoreLoss (disproven).
int32_t ProveWin(SearchWorker& worker, int32_t budgetMs, CellIndex& move);
SearchResult ProveWinResult(SearchWorker& worker, int32_t budgetMs);
// Proves defences for the side to move; moves (room for 400) receives the proven
// ones in the order found, or, when none is proven, the open root's moves by
// proof number.
SearchResult FindDefences(SearchWorker& worker, int32_t budgetMs, CellIndex* moves,
                          uint32_t& count);

// Grows the tree of a root slot until the root is solved, the budget runs out or
// the pool is nearly empty; a second run on the same slot continues the tree.
// The generator modes are for nodes with side 1 and side 0.
SearchResult ProofSearch(SearchWorker& worker, int rootSlot, int32_t budgetMs, GenMode attackerMode,
                         GenMode defenderMode, CellIndex* moves, uint32_t& count);

// Node operations of the search, on the engine's pool and current modes.
//
// The node's board: from its cache entry, or rebuilt from its parent's board
// by one move into the least recently used entry.
BoardAI& GetNodeBoard(SearchWorker& worker, PnNode* node);
// First evaluation: numbers from the generator's verdict, or from the move
// count and the reply estimate while undecided.
void EvaluateNode(SearchWorker& worker, PnNode* node);
// How many replies the player to move needs, guessed from the counts of the
// player who is not to move.
uint32_t ReplyEstimate(const BoardAI& board);
// Adds a child per generated move; with none, the side to move there has lost.
// False when the pool cannot supply them all: the node then stays unexpanded
// and keeps its numbers.
bool ExpandNode(SearchWorker& worker, PnNode* node);
bool ExpandAndEvaluate(SearchWorker& worker, PnNode* node);
// Numbers of an open node from its children.
void UpdateNode(SearchWorker& worker, PnNode* node);
// The child that carries the node's deciding number; null without children.
PnNode* SelectChild(PnNode* node);
// Updates upward from node; answers the node from which the next descent starts.
PnNode* UpdateAncestors(SearchWorker& worker, PnNode* node, bool top);
// Marks and collects the tree of a slot and empties the slot.
void ReleaseTree(SearchWorker& worker, int rootSlot);
