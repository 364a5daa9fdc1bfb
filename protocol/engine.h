#pragma once

#include <memory>

#include "board/boardai.h"
#include "protocol/gamehandler.h"
#include "search/transpositiontable.h"

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

    std::string ParseCommand(std::string command, std::string argument) override;
    void SetMaxMemory(int32_t bytes) override;
    std::string Benchmark(std::string argument, bool statistics) override;
    void SetRule(uint32_t value) override;

    void OpponentMoved(CellIndex cell) override;
    void StoreResult(SearchResult result) override;
    SearchResult Search() override;
    void MakeMove(CellIndex cell) override;
    void NewGame() override;
    void AllocSearch() override;
    bool IsOccupied(CellIndex cell) const override;
};
