#pragma once

#include <cstdint>
#include <vector>

#include "board/boardai.h"
#include "pns/pnnode.h"
#include "pns/pnnodepool.h"
#include "search/score.h"

class ProofSearcher;

// Memory of the engine's proof-number pool, as counted against max_memory.
//
// A node is its record plus its pointer in the parent's child array. Child
// arrays come from malloc with power-of-two capacities; the dearest case is an
// only child, whose 8-byte array takes a 32-byte chunk.
constexpr int64_t kProofNodeBytes = static_cast<int64_t>(sizeof(PnNode)) + 32;
// One board buffer with its cache entry and malloc's overhead.
constexpr int64_t kProofBoardBytes =
    static_cast<int64_t>(sizeof(BoardAI) + sizeof(BoardCacheEntry)) + 64;
// Boards outside the cache: the pool's spare, one per root slot, and the
// position lent to a proof on another board.
constexpr int64_t kProofFixedBoards = 5;
constexpr int32_t kProofCacheEntries = 64;

struct ProofPoolSize {
    int32_t capacity = 0;
    int32_t cacheEntries = 0;
};

// The largest pool that fits in bytes: the fixed boards first, then up to 64
// cache entries (no more than a quarter of the room), the rest nodes. Nothing
// when the fixed boards do not fit.
ProofPoolSize ProofPoolSizeFor(int64_t bytes);

// The proof held by a proven root: one proven child at each OR node, every
// child at an AND node. Plies is the longest line of it.
struct ProofShape {
    uint32_t nodes = 0;
    uint32_t plies = 0;
};
ProofShape MeasureProof(const PnNode* root);

// The moves of a proven root's proof, of both sides, each once, in the order met
// (breadth first, so the first threats come first).
void ProofMoves(const PnNode* root, std::vector<CellIndex>& moves);

// Whether the side to move in position wins by threats: a proof on the root
// slot, released afterwards unless moves are asked for and the win is proven
// (the moves of the proof are then added to them and the tree stays); the
// engine's own board and other trees are untouched. Writes no diagnostics.
SearchResult ProveOn(ProofSearcher& proof, const BoardAI& position, int32_t budgetMs,
                     std::vector<CellIndex>* moves, int slot);

// Whether the proof below node, a proven node, still proves the win on board:
// the node's position with stones added. The generator judges every node
// again; a defender's reply that the proof does not answer breaks it.
bool ProofHolds(const PnNode* node, BoardAI& board, uint32_t& evaluations);

// The opponent's threat sequences against the side to move on the engine's
// board, and the moves that stop them.
struct DefenceReport {
    bool threat = false;              // handed the move, the opponent wins by threats
    std::vector<CellIndex> stopping;  // after these it has no winning threat sequence
    std::vector<CellIndex> losing;    // after these it still has one
    std::vector<CellIndex> open;      // tried and undecided, or not tried in time
    uint32_t nodes = 0;               // evaluations of every proof made
};

// Hands the move over and proves the opponent's win within half the budget; if
// it is proven, tries the candidates in order with the rest, each first against
// that proof (ProofHolds), then by a search of its own: first, then the
// moves of the opponent's proof, then, with wide, every empty cell within two
// of a stone. A move that makes a four is judged after the forced block with
// the move handed back; a move that makes a new three gains a tempo the
// threat-only model cannot judge, so it is never called stopping.
DefenceReport AnalyseDefences(ProofSearcher& proof, int32_t budgetMs,
                              const std::vector<CellIndex>& first, bool wide);
