#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "protocol/gamehandler.h"
#include "search/transpositiontable.h"

class PnNode;
class PnNodePool;

// The concrete protocol handler: gives the game bookkeeping its meaning on the
// engine's own board and searches, and answers a few command words of its own
// before the protocol's.
class Engine : public GameHandler {
  public:
    explicit Engine(ProgramArguments args);
    ~Engine() override;

    int32_t maxDepth;
    int32_t randomMoveProbability = 0;
    int32_t lastResult = ScoreUnknown;
    uint8_t rootSide = 1;
    uint32_t rootMoveCount = 0;
    std::unique_ptr<BoardAI> board;
    std::unique_ptr<TranspositionTable> transpositionTable;
    uint32_t maxMoveCount = 0;  // deepest board move count any search node reached

    // Proof-number search: its node pool and three tree roots (slot 0 is never
    // filled by the entry operations), released on every board change.
    // Owned; the deleter is supplied by whoever creates the pool, so this header
    // needs no definition of the pool: pnPool = PnNodePoolPtr(pool, &deleter).
    using PnNodePoolPtr = std::unique_ptr<PnNodePool, void (*)(PnNodePool*)>;
    PnNodePoolPtr pnPool{nullptr, nullptr};
    PnNode* pnRoots[3] = {nullptr, nullptr, nullptr};
    PnNode* pnCurrentRoot = nullptr;
    int32_t pnAttackerMode = 0;
    int32_t pnDefenderMode = 0;
    uint32_t pnRootMoveCount = 0;
    uint8_t pnRootSide = 1;
    // Solved subtrees give their nodes back, all but the proofs (the analysis
    // words and the root solver; the entry operations alone keep every node).
    bool pnPruneSolved = false;
    float pnLastSpeed = 0.0f;                    // stones per millisecond
    uint32_t depthHistogram[kMaxArea + 2] = {};  // nodes per depth below the root

    // Root threat solver: milliseconds of each move request spent on threat
    // sequences before the normal search ("set_pnstime"), 0 = off.
    int32_t pnsTime = 0;
    // The root moves the normal search is restricted to, as the solver left
    // them for this move; none = every move.
    CellIndex restrictedMoves[kMaxArea];
    uint32_t restrictedCount = 0;

    // Collecting the lines of "yxboard" until "done".
    bool yxBoardMode = false;
    std::vector<BoardEntry> yxBoardEntries;

    std::string ParseCommand(std::string command, std::string argument) override;
    void SetMaxMemory(int32_t bytes) override;
    std::string Benchmark(std::string argument, bool statistics) override;
    std::string SelfTest() override;
    void SetRule(uint32_t value) override;

    void OpponentMoved(CellIndex cell) override;
    void StoreResult(SearchResult result) override;
    SearchResult Search() override;
    void MakeMove(CellIndex cell) override;
    void NewGame() override;
    void AllocSearch() override;
    bool IsOccupied(CellIndex cell) const override;

    // Analysis commands; each allocates the search structures when needed.
    std::string Prove(const std::string& argument);
    std::string Defend(const std::string& argument);
    std::string DumpTree(const std::string& fileName);
    // The position of a "yxboard" list, set up as BOARD would, without a search.
    std::string SetUpPosition(const std::vector<BoardEntry>& entries);
    // Before the normal search of a move request: plays a proven win (true), or
    // restricts the root moves to those that survive the opponent's threats.
    bool SolveAtRoot(int32_t moveBudget, SearchResult& result);

  private:
    void EnsureSearch();
    int32_t AnalysisBudget(const std::string& argument) const;
};
