#pragma once

#include <memory>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "pns/proofsearch.h"
#include "protocol/gamehandler.h"
#include "search/searchpool.h"
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

    SearchPool pool;         // what the searches share, and their workers
    SearchShared& shared;    // the pool's
    SearchWorker& worker;    // the pool's main worker
    ProofSearcher proof;     // the threat solver's and the analysis words' proofs
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
    // A GUI's database word: its list of stones is passed over up to "done".
    bool databaseList = false;
    // Collecting the stones of "swap2board" until "done" (owners unused).
    bool swap2Mode = false;
    std::vector<BoardEntry> swap2Entries;
    // "INFO hash_size" in KiB; 0: the table takes what max_memory allows.
    int64_t hashSizeKiB = 0;
    // Collecting the cells of "yxblock" until "done".
    bool yxBlockMode = false;
    // "INFO strength": 100 plays at full strength; below, shallower searches
    // and a random choice among the moves near the best.
    int32_t strength = 100;

    std::string ParseCommand(std::string command, std::string argument) override;
    void SetMaxMemory(int64_t bytes) override;
    std::string Benchmark(std::string argument, bool statistics) override;
    std::string SelfTest() override;
    void SetRule(uint32_t value) override;
    std::atomic<bool>* StopFlag() override { return &shared.stop; }

    void OpponentMoved(CellIndex cell) override;
    void StoreResult(SearchResult result) override;
    SearchResult Search() override;
    void MakeMove(CellIndex cell) override;
    void NewGame() override;
    void AllocSearch() override;
    std::string Start(uint32_t width, uint32_t height) override;
    bool IsOccupied(CellIndex cell) const override;
    bool IsForbiddenToMove(CellIndex cell) const override;
    bool IsBlockedCell(CellIndex cell) const override { return worker.IsBlocked(cell); }

    // Analysis commands; each allocates the search structures when needed.
    std::string Prove(const std::string& argument);
    std::string Defend(const std::string& argument);
    std::string DumpTree(const std::string& fileName);
    // The position of a "yxboard" list, set up as BOARD would, without a search.
    std::string SetUpPosition(const std::vector<BoardEntry>& entries);
    // "yxnbest n": the n best moves of the position, each reported; the reply is
    // the best. "yxsearchdefend": defend's analysis as a GUI shows it.
    std::string BestMoves(const std::string& argument);
    std::string SearchDefend(const std::string& argument);
    // The swap2 opening: the reply to a "swap2board" list of 0, 3 or 5 stones.
    std::string Swap2(const std::vector<BoardEntry>& stones);
    // A GUI's words that wait for a move: "yxbalanceone n", "yxbalancetwo n"
    // (the stones that bring the position closest to even, n added to the
    // value of the side to move), "yxswap2step1".."3" (swap2 on the board's
    // stones), "yxresign" and "yxdraw" (the engine's move, its view of the
    // offer in a MESSAGE line). Nothing is placed on the board.
    std::string Balance(const std::string& argument, int stones);
    std::string Swap2Step();
    std::string Offer(bool draw);

    // One move as the search ranks it: its value at the depth every ranked
    // move was searched to.
    struct RankedMove {
        CellIndex move;
        SearchResult result;
    };
    // Up to `count` of the candidates, best first, each searched to the same
    // depth (at most maxDepth iterations past the first), within the budget;
    // a move whose search was cut short is left out.
    std::vector<RankedMove> RankMoves(const std::vector<CellIndex>& candidates, int32_t count,
                                      int32_t budget, int32_t maxDepth);

  private:
    // After every change of board: the worker's copy, the root fields, and the
    // proof trees, which belong to the old position.
    void PositionChanged();
    // The INFO keys the engine reads itself; false for the others.
    bool EngineInfo(const std::string& argument);
    // "INFO param_<name> <value>": a search parameter. False for a name the
    // table does not know; a value that is no integer or out of range is
    // refused in a MESSAGE line.
    bool ParameterInfo(const std::string& key, const std::string& value);
    // "params": one MESSAGE line per search parameter, its value, default and range.
    std::string ListParameters();
    std::string ShowInfo();
    // "yxshowforbid": "FORBID " and every forbidden cell of the side to move as
    // xxyy, ended by ".".
    std::string ShowForbidden() const;
    // Opens the clock of a move request and answers its budget in milliseconds.
    int32_t StartMoveClock();
    // A search of the stones (black first, alternating) for the side to move, in
    // ms; its value for that side, decided results far outside any evaluation.
    int32_t JudgeOpening(const std::vector<CellIndex>& stones, int32_t ms, CellIndex* best);
    // The move request of the worker's position within ms, its lines dropped.
    SearchResult QuietSearch(int32_t ms);
    // The stones as the game from here on: the engine has the given colour
    // (0 black, 1 white), and the opponent is to move.
    void SetUpOpening(const std::vector<CellIndex>& stones, int engineColour);
    void EnsureSearch();
    // The generator's candidates for the side to move in the position, blocked
    // cells left out; whether its verdict decides the position through decided.
    std::vector<CellIndex> Candidates(const BoardAI& position, bool* decided);
    // The value for the side to move after the stones (alternating from the
    // side to move), searched within ms; the best reply through best. The
    // game's board stays as it is.
    int32_t JudgeAfter(const std::vector<CellIndex>& stones, int32_t ms, CellIndex* best);
    // A weaker engine's move (INFO strength below 100).
    SearchResult WeakerMove(int32_t budget);
    // yxblock's list: one cell, or every cell when reset.
    void Block(CellIndex cell);
    void ClearBlocks();
    int32_t AnalysisBudget(const std::string& argument) const;
};
