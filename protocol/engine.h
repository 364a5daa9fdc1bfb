#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "protocol/gamehandler.h"
#include "search/searchshared.h"
#include "search/searchworker.h"
#include "search/transpositiontable.h"

// The concrete protocol handler: gives the game bookkeeping its meaning on the
// engine's own board and searches, and answers a few command words of its own
// before the protocol's. Owns the game's board, what its searches share and
// the one worker that runs them; the worker's lines go to the protocol's
// diagnostics buffer.
class Engine : public GameHandler {
  public:
    explicit Engine(ProgramArguments args);
    ~Engine() override;

    SearchShared shared;
    SearchWorker worker;
    std::unique_ptr<BoardAI> board;  // the game's position; the worker searches a copy

    int32_t lastResult = ScoreUnknown;
    uint8_t rootSide = 1;
    uint32_t rootMoveCount = 0;

    // Root threat solver: milliseconds of each move request spent on threat
    // sequences before the normal search ("set_pnstime"), 0 = off.
    int32_t pnsTime = 0;
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
    std::string Start(uint32_t width, uint32_t height) override;
    bool IsOccupied(CellIndex cell) const override;

    // Analysis commands; each allocates the search structures when needed.
    std::string Prove(const std::string& argument);
    std::string Defend(const std::string& argument);
    std::string DumpTree(const std::string& fileName);
    // The position of a "yxboard" list, set up as BOARD would, without a search.
    std::string SetUpPosition(const std::vector<BoardEntry>& entries);

  private:
    // After every change of board: the worker's copy, the root fields, and the
    // proof trees, which belong to the old position.
    void PositionChanged();
    void EnsureSearch();
    int32_t AnalysisBudget(const std::string& argument) const;
};
