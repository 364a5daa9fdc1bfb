#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "protocol/gamehandler.h"
#include "search/searchcontext.h"
#include "search/transpositiontable.h"

// The concrete protocol handler: gives the game bookkeeping its meaning on the
// engine's own board and searches, and answers a few command words of its own
// before the protocol's.
class Engine : public GameHandler, public SearchContext {
  public:
    explicit Engine(ProgramArguments args);
    ~Engine() override;

    // The protocol's and the searches' lines go to the same diagnostics buffer.
    using GameHandler::Debug;
    using GameHandler::diagnostics;
    using GameHandler::Message;

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
    void SetMaxMemory(int64_t bytes) override;
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
