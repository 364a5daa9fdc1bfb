#pragma once

#include <memory>

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
    float pnLastSpeed = 0.0f;                    // stones per millisecond
    uint32_t depthHistogram[kMaxArea + 2] = {};  // nodes per depth below the root

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
};
