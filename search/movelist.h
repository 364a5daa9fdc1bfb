#pragma once

#include <atomic>
#include <cstdint>

#include "board/coord.h"
#include "search/movegen.h"
#include "search/timebudget.h"
#include "search/timecontrol.h"

class SearchWorker;

// One move of a search node.
struct MoveEntry {
    CellIndex move;
    int32_t score;  // for the node's side to move once searched; before that 0 or a table hint
    uint8_t kind;   // generation kind of the cell
    uint16_t genFlags;
    uint32_t nodes;  // nodeCounter increase spent on the move's subtree
};

constexpr uint32_t kMoveListCapacity = 200;

// The moves, scores and result of one search node; owned by the caller.
struct MoveList {
    CellIndex best = kNoCell;  // changed only through SetBestMove / SetBestMoveAndScore
    MoveEntry entries[kMoveListCapacity];
    uint32_t count = 0;
    int32_t score = 0;
    bool bestKnown = false;  // the node ended early with a known best move
};

// Raises "invalid bestMove in SetBestMove" for a cell above 400.
void SetBestMove(MoveList& list, CellIndex cell);
// Also gives the score to the first entry holding the cell.
void SetBestMoveAndScore(MoveList& list, CellIndex cell, int32_t score);
// Appends the cell unless it is already there or the list is full.
bool AddMove(MoveList& list, CellIndex cell, uint8_t kind, uint16_t genFlags = 0);
// Score of the cell's entry; 0 (not searched) when the list does not hold it.
int32_t ScoreOf(const MoveList& list, CellIndex cell);
// The first entry with the most nodes becomes best (nodes read as signed, above -1).
void PickBestByNodes(MoveList& list);
// A known best move goes to the front; otherwise entries sort by score, highest first,
// keeping the order of equal scores.
void SortMoveList(MoveList& list);

// Copied down the recursion; each child gets its own.
struct SearchParams {
    const TimeControl* timeControl = nullptr;  // none: the search never stops for time
    const std::atomic<bool>* stop = nullptr;   // the shared stop flag, read with the clock
    GenMode genMode = GenMode::kFull;
    bool vcfNoStandPat = false;
    bool iidSearch = false;  // inside an internal deepening: list more moves
    int32_t vcfFloor = -9;
    // The moves a root search is restricted to (none: all); see rootmoves.h.
    const CellIndex* rootMoves = nullptr;
    uint32_t rootMoveCount = 0;
    bool root = false;  // the iteration's own root node (live analysis reports it)
};

// Sets the table's generation to the move count of the worker's own board (the
// position the engine plays, not a searched one), by which the stores of the
// searches that follow are aged. The table's owner calls it before a search.
void SetTableAge(SearchWorker& worker);

// Stores a node's result in the engine's table at the table's generation.
void RecordNodeResult(SearchWorker& worker, uint64_t key, int32_t depth, int32_t score,
                      uint8_t bound, CellIndex move);

inline bool SearchTimeUp(const SearchParams& params) {
    return (params.stop != nullptr && params.stop->load(std::memory_order_relaxed)) ||
           (params.timeControl != nullptr && TimeUp(*params.timeControl));
}
