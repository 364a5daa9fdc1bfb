#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/coord.h"
#include "board/myexception.h"
#include "board/patterntables.h"
#include "platform/clock.h"
#include "process_helpers.h"
#include "protocol/gamehandler.h"
#include "protocol/protocolhandler.h"
#include "search/timecontrol.h"

namespace {

// Cell of (x, y) on the 20 x 20 board.
constexpr CellIndex Z(int x, int y) {
    return static_cast<CellIndex>(y * 20 + x);
}

// A game handler without an engine: it records every call of the board and
// search slots as one event, keeps its own record of occupied cells, and
// answers each search with the next scripted cell (the last one repeats).
class RecordingHandler : public GameHandler {
  public:
    RecordingHandler() : GameHandler(ProgramArguments{}) { occupied.assign(kMaxArea, false); }

    std::vector<std::string> events;
    std::vector<bool> occupied;
    std::deque<CellIndex> searchMoves{Z(3, 4)};
    std::vector<uint32_t> rules;
    std::vector<int64_t> memories;
    bool forwardSetRule = false;  // also run the handler's own SetRule

    void OpponentMoved(CellIndex cell) override { events.push_back("opponent " + Cell(cell)); }
    SearchResult Search() override {
        events.push_back("search");
        CellIndex move = searchMoves.front();
        if (searchMoves.size() > 1) searchMoves.pop_front();
        return SearchResult{0, 1, 1, move};
    }
    void MakeMove(CellIndex cell) override {
        events.push_back(cell == kPass ? std::string("pass") : "move " + Cell(cell));
        if (cell != kPass) occupied.at(cell) = true;
    }
    void NewGame() override {
        events.push_back("new game");
        occupied.assign(kMaxArea, false);
    }
    void AllocSearch() override { events.push_back("alloc"); }
    bool IsOccupied(CellIndex cell) const override { return occupied.at(cell); }
    void SetMaxMemory(int64_t bytes) override { memories.push_back(bytes); }
    std::string Benchmark(std::string argument, bool statistics) override {
        events.push_back((statistics ? "tcbenchmark [" : "benchmark [") + argument + "]");
        return "benchmarked";
    }
    void SetRule(uint32_t value) override {
        rules.push_back(value);
        if (forwardSetRule) GameHandler::SetRule(value);
    }

    // Runs a command and returns its reply.
    std::string Do(const std::string& command, const std::string& argument = "") {
        return ParseCommand(command, argument);
    }
    // Runs "command argument" lines, returns their replies; empty replies are kept.
    std::vector<std::string> Lines(const std::vector<std::string>& lines) {
        std::vector<std::string> replies;
        for (const std::string& l : lines) {
            size_t space = l.find(' ');
            replies.push_back(
                space == std::string::npos ? Do(l) : Do(l.substr(0, space), l.substr(space + 1)));
        }
        return replies;
    }

    static std::string Cell(CellIndex cell) {
        return std::to_string(cell % Coord::width) + "," + std::to_string(cell / Coord::width);
    }
};

using Events = std::vector<std::string>;
using Replies = std::vector<std::string>;

// Puts the 20 x 20 geometry back for the other tests.
class ProtocolTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (Coord::width != 20 || Coord::height != 20) {
            BoardAI::Free();
            Coord::SetSize(20, 20);
            BoardAI::Alloc();
        }
    }
    RecordingHandler h;
};

// ---------------------------------------------------------------------------
// Board size

TEST_F(ProtocolTest, StartAndRectstartWithinFourHundredCells) {
    EXPECT_EQ(h.Do("start", "20"), "OK");
    EXPECT_EQ(Coord::width, 20u);
    EXPECT_EQ(h.Do("rectstart", "40,10"), "OK");
    EXPECT_EQ(Coord::width, 40u);
    EXPECT_EQ(Coord::height, 10u);
    EXPECT_EQ(Coord::area, 400u);
    // The heap tables were rebuilt for the new shape.
    ASSERT_NE(Coord::rayCells, nullptr);
    EXPECT_EQ(Coord::rayStride, 39u);
    EXPECT_EQ(Coord::RayCount(0, 36), 3u);
    EXPECT_EQ(Coord::RayCount(0, 37), 2u);
    EXPECT_EQ(Coord::UpdateRow(399)[15].key, 65535);
    EXPECT_EQ(h.Do("start", "15"), "OK");
    EXPECT_EQ(Coord::width, 15u);
    EXPECT_EQ(Coord::height, 15u);
    // Only the height differs.
    EXPECT_EQ(h.Do("rectstart", "15,20"), "OK");
    EXPECT_EQ(Coord::height, 20u);
    EXPECT_EQ(Coord::area, 300u);
    EXPECT_EQ(Coord::RayCount(1, 284), 1u);
    // Two numbers after START are a rectangle, as RECTSTART's.
    EXPECT_EQ(h.Do("start", "12 16"), "OK");
    EXPECT_EQ(Coord::width, 12u);
    EXPECT_EQ(Coord::height, 16u);
    EXPECT_EQ(h.events, (Events{"new game", "new game", "new game", "new game", "new game"}));
}

TEST_F(ProtocolTest, OverFourHundredCellsIsRefusedAndChangesNothing) {
    h.Do("begin");
    h.events.clear();
    for (const auto& [command, argument] : std::vector<std::pair<std::string, std::string>>{
             {"start", "21"}, {"rectstart", "41,10"}, {"rectstart", "10,41"}, {"start", "128"}}) {
        EXPECT_EQ(h.Do(command, argument), "ERROR maximum board size is 400 fields.")
            << command << " " << argument;
    }
    EXPECT_EQ(Coord::width, 20u);
    EXPECT_EQ(Coord::height, 20u);
    EXPECT_TRUE(h.events.empty());
    EXPECT_EQ(h.lastMover, 1u);  // the game goes on
}

TEST_F(ProtocolTest, SideOutsideTheLimitsIsRefusedAndKeepsTheTables) {
    const std::string sizes = "ERROR a board has 2 to 127 cells a side and at most 400 cells.";
    EXPECT_EQ(h.Do("rectstart", "128,2"), sizes);
    // The product wraps to 0 in 32 bits and passes the cell count check.
    EXPECT_EQ(h.Do("rectstart", "65536,65536"), sizes);
    EXPECT_EQ(h.Do("start", "0"), sizes);
    EXPECT_EQ(h.Do("start", "1"), sizes);
    EXPECT_EQ(Coord::width, 20u);
    EXPECT_EQ(Coord::height, 20u);
    EXPECT_NE(Coord::updateList, nullptr);
    EXPECT_NE(Coord::rayCells, nullptr);
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, StartAndRestartBeginANewGame) {
    h.Lines({"start 20", "turn 10,10", "play 5,5"});
    EXPECT_EQ(h.lastMover, 1u);
    for (const char* command : {"start 20", "restart"}) {
        h.Lines({"turn 9,9"});
        h.events.clear();
        EXPECT_EQ(h.Lines({command}), Replies{"OK"});
        EXPECT_EQ(h.events, Events{"new game"}) << command;
        EXPECT_EQ(h.lastMover, 4u);
        EXPECT_FALSE(h.engineToMove);
        // Everything is free again.
        EXPECT_FALSE(h.IsOccupied(Z(10, 10)));
    }
}

// ---------------------------------------------------------------------------
// Moves and passes

TEST_F(ProtocolTest, GameOpenedByTheEngineNeedsNoPass) {
    h.searchMoves = {Z(10, 10), Z(11, 11), Z(12, 12)};
    EXPECT_EQ(h.Lines({"start 20", "begin", "turn 9,9", "turn 8,8"}),
              (Replies{"OK", "10,10", "11,11", "12,12"}));
    EXPECT_EQ(h.events,
              (Events{"new game", "new game", "search", "move 10,10", "opponent 9,9", "move 9,9",
                      "search", "move 11,11", "opponent 8,8", "move 8,8", "search", "move 12,12"}));
    EXPECT_EQ(h.lastMover, 1u);
    EXPECT_FALSE(h.engineToMove);
    EXPECT_EQ(h.lastEngineMove, Z(12, 12));
}

TEST_F(ProtocolTest, GameOpenedByTheOpponentNeedsNoPass) {
    EXPECT_EQ(h.Lines({"start 20", "turn 10,10"}), (Replies{"OK", "3,4"}));
    EXPECT_EQ(h.events, (Events{"new game", "opponent 10,10", "move 10,10", "search", "move 3,4"}));
}

TEST_F(ProtocolTest, MoveWordsTakeExactlyTwoNumbers) {
    h.searchMoves = {Z(19, 19), Z(18, 19)};
    EXPECT_EQ(h.Lines({"start 20", "turn  5,6", "turn 7 , 8 "}), (Replies{"OK", "19,19", "18,19"}));
    h.events.clear();
    const std::pair<const char*, const char*> refused[] = {
        {"turn", ""},         {"turn", "7"},        {"turn", "7,8 junk"}, {"turn", "-1,0"},
        {"turn", "a,b"},      {"turn", "7,8,1"},    {"turn", "7;8"},      {"play", ""},
        {"play", "0,-1"},     {"play", "1.5,2"},    {"takeback", "x"},    {"rectstart", "15"},
        {"rectstart", "a,b"}, {"start", "20 20 20"}, {"start", "twenty"}, {"start", "-20"},
    };
    for (const auto& [command, argument] : refused)
        EXPECT_EQ(h.Do(command, argument).rfind("ERROR expected ", 0), 0u)
            << command << " " << argument;
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, CoordinatesOutsideTheBoardAreRefusedBeforeAnythingIsPlaced) {
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Do("turn", "20,0"), "ERROR 20,0 is off the 20x20 board.");
    EXPECT_EQ(h.Do("play", "0,20"), "ERROR 0,20 is off the 20x20 board.");
    // Too large for 32 bits: still outside the board.
    EXPECT_EQ(h.Do("turn", "99999999999,0"), "ERROR 4294967295,0 is off the 20x20 board.");
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, PlayForcesTheEngineMoveAndTheNextTurnKeepsTheColours) {
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Do("play", "5,6"), "5,6");
    EXPECT_EQ(h.events, Events{"move 5,6"});
    EXPECT_TRUE(h.engineToMove);
    EXPECT_EQ(h.Do("turn", "6,7"), "3,4");
    EXPECT_EQ(h.events, (Events{"move 5,6", "opponent 6,7", "move 6,7", "search", "move 3,4"}));
    EXPECT_FALSE(h.engineToMove);
    EXPECT_EQ(h.lastMover, 1u);
}

TEST_F(ProtocolTest, TwoPlaysInARowInsertAPassBetween) {
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Lines({"play 0,0", "play 19,19"}), (Replies{"0,0", "19,19"}));
    EXPECT_EQ(h.events, (Events{"move 0,0", "pass", "move 19,19"}));
}

TEST_F(ProtocolTest, OccupiedCellIsRefusedAndChangesNothing) {
    h.Lines({"start 20", "turn 10,10"});  // the engine answers 3,4
    h.events.clear();
    uint32_t lastMover = h.lastMover;
    bool engineToMove = h.engineToMove;
    for (const char* line : {"turn 10,10", "turn 3,4", "play 10,10", "play 3,4"}) {
        EXPECT_EQ(h.Lines({line}), Replies{"ERROR cell is occupied."}) << line;
    }
    EXPECT_TRUE(h.events.empty());
    EXPECT_EQ(h.lastMover, lastMover);
    EXPECT_EQ(h.engineToMove, engineToMove);
    // The game goes on normally.
    h.searchMoves = {Z(4, 4)};
    EXPECT_EQ(h.Do("turn", "11,11"), "4,4");
}

TEST_F(ProtocolTest, SearchWithoutAUsableMoveStillAnswersALegalCell) {
    h.searchMoves = {kNoCell, Z(0, 0)};
    EXPECT_EQ(h.Lines({"start 20", "begin", "turn 5,5"}), (Replies{"OK", "0,0", "1,0"}));
}

TEST_F(ProtocolTest, FullBoardGetsAnErrorInsteadOfAMove) {
    h.Do("rectstart", "3,3");
    h.Do("board");
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            h.Do(std::to_string(x) + "," + std::to_string(y) + "," + ((x + y) % 2 ? "2" : "1"));
    h.events.clear();
    EXPECT_EQ(h.Do("done"), "ERROR board is full.");
    EXPECT_EQ(std::count(h.events.begin(), h.events.end(), "search"), 0);
}

TEST_F(ProtocolTest, TakebackOfTheLastStoneUndoesItExactly) {
    h.searchMoves = {Z(3, 4), Z(5, 5)};
    h.Lines({"start 20", "turn 10,10"});  // the engine answers 3,4
    const Events game = h.events;
    const uint32_t lastMover = h.lastMover;
    const bool engineToMove = h.engineToMove;
    // Only the last stone can be taken back.
    for (const char* argument : {"10,10", "7,7", "25,3"})
        EXPECT_EQ(h.Do("takeback", argument), "ERROR TAKEBACK not supported, use BOARD instead.")
            << argument;
    EXPECT_EQ(h.events, game);

    // The engine's stone, then the opponent's: each time the game is replayed up
    // to the stone before, with the owners as they were.
    EXPECT_EQ(h.Do("takeback", "3,4"), "OK");
    EXPECT_EQ(h.events.back(), "move 10,10");
    EXPECT_FALSE(h.IsOccupied(Z(3, 4)));
    EXPECT_EQ(h.lastMover, 2u);
    EXPECT_EQ(h.Do("takeback", "10,10"), "OK");
    EXPECT_FALSE(h.IsOccupied(Z(10, 10)));
    EXPECT_EQ(h.lastMover, 4u);
    EXPECT_EQ(h.Do("takeback", "10,10"), "ERROR TAKEBACK not supported, use BOARD instead.");

    // Played again, the game is the one before the undo.
    h.events.clear();
    h.searchMoves = {Z(3, 4)};
    EXPECT_EQ(h.Do("turn", "10,10"), "3,4");
    EXPECT_EQ(h.events, (Events{"opponent 10,10", "move 10,10", "search", "move 3,4"}));
    EXPECT_EQ(h.lastMover, lastMover);
    EXPECT_EQ(h.engineToMove, engineToMove);
}

TEST_F(ProtocolTest, TakebackAfterPlayKeepsThePassesInStep) {
    h.Lines({"start 20", "play 0,0", "play 19,19"});  // a pass between the two
    h.events.clear();
    EXPECT_EQ(h.Do("takeback", "19,19"), "OK");
    EXPECT_EQ(h.events, (Events{"new game", "move 0,0"}));
    EXPECT_EQ(h.lastMover, 1u);
    EXPECT_TRUE(h.engineToMove);
}

// ---------------------------------------------------------------------------
// BOARD ... DONE

TEST_F(ProtocolTest, BoardPlacesTheStonesInOrderThenAnswers) {
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Lines({"board", "10,10,1", "11,11,2", "done"}), (Replies{"", "", "", "3,4"}));
    EXPECT_EQ(h.events, (Events{"new game", "move 10,10", "move 11,11", "search", "move 3,4"}));
    EXPECT_FALSE(h.boardMode);
    EXPECT_EQ(h.lastMover, 1u);
    EXPECT_FALSE(h.engineToMove);
}

TEST_F(ProtocolTest, BoardStartingWithTheOpponentsStoneGetsAPassFirst) {
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Lines({"board", "11,11,2", "10,10,1", "done"}), (Replies{"", "", "", "3,4"}));
    // The list ends with the engine's stone: a pass gives the engine the move
    // before the search, and its reply needs none.
    EXPECT_EQ(h.events, (Events{"new game", "pass", "move 11,11", "move 10,10", "pass", "search",
                                "move 3,4"}));
}

TEST_F(ProtocolTest, BoardModeCollectsEveryOtherWord) {
    h.Do("start", "20");
    EXPECT_EQ(h.Lines({"board", "end", "board", "7,8", "5,6,2 junk", "about", "xyz"}),
              (Replies{"", "", "", "", "", "", ""}));
    EXPECT_TRUE(h.running);
    EXPECT_TRUE(h.boardMode);
    ASSERT_EQ(h.boardEntries.size(), 6u);
    // A line that is not three numbers is kept as owner 0, which DONE refuses.
    const uint32_t expected[6][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0},
                                     {5, 6, 2}, {0, 0, 0}, {0, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(h.boardEntries[i].x, expected[i][0]) << i;
        EXPECT_EQ(h.boardEntries[i].y, expected[i][1]) << i;
        EXPECT_EQ(h.boardEntries[i].owner, expected[i][2]) << i;
    }
    // An empty command word is not a board line.
    EXPECT_EQ(h.Do("", "1,1,1"), "");
    EXPECT_EQ(h.boardEntries.size(), 6u);
}

TEST_F(ProtocolTest, ABoardLineThatIsNotXYOwnerKeepsThePreviousGame) {
    h.Lines({"start 20", "turn 10,10"});
    for (const char* line : {"1,1", "1,1,0", "1,1,4", "1,1,1,1", "a,b,c", "1,1,1x"}) {
        h.events.clear();
        EXPECT_EQ(h.Lines({"board", "2,2,1", line, "done"}).back(),
                  "ERROR a board line is not x,y,owner (owner 1, 2 or 3).")
            << line;
        EXPECT_TRUE(h.events.empty()) << line;
        EXPECT_TRUE(h.IsOccupied(Z(10, 10)));
    }
}

TEST_F(ProtocolTest, DoneKeepsTheEntriesUntilTheNextBoard) {
    h.Do("start", "20");
    h.Lines({"board", "10,10,1", "done"});
    EXPECT_FALSE(h.boardMode);
    ASSERT_EQ(h.boardEntries.size(), 1u);
    EXPECT_EQ(h.boardEntries[0].x, 10u);
    h.Do("board");
    EXPECT_TRUE(h.boardEntries.empty());
}

TEST_F(ProtocolTest, DoneOutsideBoardModeIsUnknown) {
    EXPECT_EQ(h.Do("done"), "UNKNOWN");
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, ContinuousGameStonesArePassedOver) {
    h.Do("start", "20");
    h.events.clear();
    // Owner 3 places nothing, not even when the cell is off the board.
    EXPECT_EQ(h.Lines({"board", "10,10,1", "25,0,3", "10,10,3", "11,11,2", "done"}).back(), "3,4");
    EXPECT_EQ(h.events, (Events{"new game", "move 10,10", "move 11,11", "search", "move 3,4"}));
}

TEST_F(ProtocolTest, BoardNamingACellTwiceKeepsThePreviousGame) {
    h.Lines({"start 20", "turn 10,10"});
    h.events.clear();
    uint32_t lastMover = h.lastMover;
    EXPECT_EQ(h.Lines({"board", "1,1,1", "2,2,2", "1,1,2", "done"}),
              (Replies{"", "", "", "", "ERROR cell is occupied."}));
    EXPECT_TRUE(h.events.empty());
    EXPECT_FALSE(h.boardMode);
    EXPECT_EQ(h.lastMover, lastMover);
    EXPECT_TRUE(h.IsOccupied(Z(10, 10)));
}

TEST_F(ProtocolTest, BoardWithAnOffBoardEntryIsRefusedBeforeTheNewGame) {
    h.Lines({"start 20", "turn 10,10"});
    h.events.clear();
    h.Lines({"board", "1,1,1", "2,20,2"});
    EXPECT_EQ(h.Do("done"), "ERROR 2,20 is off the 20x20 board.");
    EXPECT_TRUE(h.events.empty());
}

// ---------------------------------------------------------------------------
// LOAD

TEST_F(ProtocolTest, LoadRestartsAndAnswersForTheStoredPosition) {
    tamlo_test::TempDir dir;
    // Move files count from 1.
    std::string path = dir.WriteFile("game.psq",
                                     "Piskvorky 20x20, 11:11, 0\n11,11,0\n12,12,0\n"
                                     "1,20,0\n");
    h.Do("start", "20");
    h.events.clear();
    EXPECT_EQ(h.Do("load", path), "3,4");
    // Three moves: the second player is to move, so the owners run 2, 1, 2.
    EXPECT_EQ(h.events, (Events{"new game", "new game", "pass", "move 10,10", "move 11,11",
                                "move 0,19", "search", "move 3,4"}));
}

TEST_F(ProtocolTest, LoadOfARepeatedCellKeepsThePreviousGame) {
    tamlo_test::TempDir dir;
    std::string path = dir.WriteFile("game.psq", "header\n11,11,0\n12,12,0\n11,11,0\n");
    h.Lines({"start 20", "turn 10,10"});
    h.events.clear();
    EXPECT_EQ(h.Do("load", path), "ERROR cell is occupied.");
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, LoadOfAMissingFileRaises) {
    tamlo_test::TempDir dir;
    EXPECT_THROW(h.Do("load", dir.File("none.psq")), std::runtime_error);
    EXPECT_TRUE(h.events.empty());
}

// ---------------------------------------------------------------------------
// INFO

TEST_F(ProtocolTest, InfoWithoutAValueIsIgnoredWithAMessage) {
    EXPECT_EQ(h.Do("info"), "");
    EXPECT_EQ(h.Do("info", "timeout_turn"), "");
    EXPECT_EQ(h.timeControl.turnTimeout, 1000u);
    EXPECT_EQ(h.diagnostics.str(),
              "MESSAGE INFO ignored: no value in \"\".\n"
              "MESSAGE INFO ignored: no value in \"timeout_turn\".\n");
}

TEST_F(ProtocolTest, InfoKeysSetTheirValues) {
    EXPECT_EQ(h.Lines({"info timeout_match 120000", "info max_memory 83886080", "info game_type 0",
                       "info time_left 7000 ms"}),
              (Replies{"", "", "", ""}));
    EXPECT_EQ(h.timeControl.matchTimeout, 120000);
    EXPECT_EQ(h.maxMemory, 83886080);
    EXPECT_EQ(h.memories, std::vector<int64_t>{83886080});
    EXPECT_EQ(h.gameType, 0u);
    EXPECT_EQ(h.timeControl.timeLeftDeadline - h.timeControl.timeLeftClock, 7000u);
    EXPECT_EQ(h.timeControl.turnDeadline - h.timeControl.turnClock, 1000u);
}

TEST_F(ProtocolTest, InfoTimeoutTurnRestartsTheMoveClock) {
    uint32_t before = NowMs();
    EXPECT_EQ(h.Do("info", "timeout_turn  5000"), "");
    uint32_t after = NowMs();
    EXPECT_EQ(h.timeControl.turnTimeout, 5000u);
    EXPECT_EQ(h.timeControl.turnDeadline - h.timeControl.turnClock, 5000u);
    EXPECT_GE(StampDiff(h.timeControl.turnClock, before), 0);
    EXPECT_GE(StampDiff(after, h.timeControl.turnClock), 0);
    // time_left restarts the move clock with the current turn time.
    h.Do("info", "time_left 100");
    EXPECT_EQ(h.timeControl.turnDeadline - h.timeControl.turnClock, 5000u);
}

TEST_F(ProtocolTest, InfoIgnoresOtherKeysWhateverTheirValue) {
    EXPECT_EQ(h.Lines({"info folder c:\\my games\\x", "info evaluate 3,4", "info Timeout_turn 5",
                       "info timeout_turnx 5", "info  5"}),
              (Replies{"", "", "", "", ""}));
    EXPECT_EQ(h.timeControl.turnTimeout, 1000u);
    EXPECT_TRUE(h.memories.empty());
    EXPECT_TRUE(h.rules.empty());
}

TEST_F(ProtocolTest, InfoValueThatIsNotANumberIsIgnored) {
    for (const char* argument : {"time_left abc", "timeout_turn ", "max_memory x1", "rule -"})
        EXPECT_EQ(h.Do("info", argument), "") << argument;
    EXPECT_EQ(h.timeControl.turnTimeout, 1000u);
    EXPECT_EQ(h.timeControl.timeLeftDeadline - h.timeControl.timeLeftClock, 300000u);
    EXPECT_TRUE(h.memories.empty());
    EXPECT_TRUE(h.rules.empty());
    EXPECT_NE(h.diagnostics.str().find("MESSAGE INFO time_left ignored: \"abc\" is not a number."),
              std::string::npos)
        << h.diagnostics.str();
}

TEST_F(ProtocolTest, InfoValuesBeyondThirtyTwoBitsAndBelowZero) {
    struct Case {
        const char* line;
        int64_t maxMemory;
        uint32_t turnTimeout;
        int32_t matchTimeout;
        uint32_t timeLeft;
    };
    // c-gomoku-cli sends memory as it is; -1 for a time-out is no limit; a time
    // left below zero is none left.
    const Case cases[] = {
        {"max_memory 3221225472", 3221225472, 1000, 300000, 300000},
        {"max_memory 4294967296", 4294967296, 1000, 300000, 300000},
        {"max_memory -5", 0, 1000, 300000, 300000},
        {"timeout_turn -1", 104857600, 2147483647u, 300000, 300000},
        {"timeout_turn 99999999999", 104857600, 2147483647u, 300000, 300000},
        {"timeout_match -1", 104857600, 1000, 0, 300000},
        {"time_left -250", 104857600, 1000, 300000, 0},
        {"time_left 4294967296", 104857600, 1000, 300000, 2147483647u},
    };
    for (const Case& c : cases) {
        RecordingHandler fresh;
        const std::string line = c.line;
        EXPECT_EQ(fresh.Do("info", line), "") << c.line;
        EXPECT_EQ(fresh.maxMemory, c.maxMemory) << c.line;
        EXPECT_EQ(fresh.timeControl.turnTimeout, c.turnTimeout) << c.line;
        EXPECT_EQ(fresh.timeControl.turnDeadline - fresh.timeControl.turnClock, c.turnTimeout);
        EXPECT_EQ(fresh.timeControl.matchTimeout, c.matchTimeout) << c.line;
        EXPECT_EQ(fresh.timeControl.timeLeftDeadline - fresh.timeControl.timeLeftClock, c.timeLeft)
            << c.line;
    }
}

TEST_F(ProtocolTest, InfoRuleChangesOnlyOnADifferentValue) {
    EXPECT_EQ(h.Lines({"info rule 1", "info rule 1", "info rule 0", "info rule 0"}),
              (Replies{"", "", "", ""}));
    EXPECT_EQ(h.rules, (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(h.rule, 0u);
}

// The tables of every rule stay: a rule change rebuilds none of them (the
// engine builds its board for the new rules instead).
TEST_F(ProtocolTest, SetRuleLeavesTheTablesAsTheyAre) {
    h.forwardSetRule = true;
    const UpdateEntry* rows = Coord::updateList;
    const uint8_t* combined = combinedCategory;
    const PatternTables* five = &PatternTablesFor(Rules{});
    h.Do("info", "rule 1");
    h.Do("info", "rule 0");
    EXPECT_EQ(Coord::updateList, rows);
    EXPECT_EQ(combinedCategory, combined);
    EXPECT_EQ(&PatternTablesFor(Rules{}), five);
}

TEST_F(ProtocolTest, InfoPartsOverTwoHundredFiftyFiveCharacters) {
    std::string longKey(300, 'k'), longValue(300, 'v');
    EXPECT_EQ(h.Do("info", longKey + " " + longValue), "");
    EXPECT_EQ(h.Do("info", "folder " + longValue), "");
    EXPECT_EQ(h.Do("info", "timeout_turn" + std::string(300, 'x') + " 5"), "");
    EXPECT_EQ(h.timeControl.turnTimeout, 1000u);
    EXPECT_EQ(h.Do("info", "timeout_turn 2000" + std::string(300, ' ') + "x"), "");
    EXPECT_EQ(h.timeControl.turnTimeout, 2000u);
}

// ---------------------------------------------------------------------------
// Other command words

TEST_F(ProtocolTest, UnknownAndEmptyWords) {
    EXPECT_EQ(h.Do("xyz"), "UNKNOWN");
    EXPECT_EQ(h.Do("TURN", "1,1"), "UNKNOWN");  // matching is case-sensitive
    EXPECT_EQ(h.Do("turn10,10"), "UNKNOWN");
    EXPECT_EQ(h.Do(""), "");
    EXPECT_EQ(h.Do("", "turn 10,10"), "");
    EXPECT_TRUE(h.events.empty());
    EXPECT_TRUE(h.running);
}

TEST_F(ProtocolTest, EndStopsTheLoopSilently) {
    EXPECT_EQ(h.Do("end"), "");
    EXPECT_FALSE(h.running);
    EXPECT_TRUE(h.events.empty());
}

TEST_F(ProtocolTest, BenchmarkWordsPassTheirArgument) {
    EXPECT_EQ(h.Do("benchmark", "c:\\pos dir\\"), "benchmarked");
    EXPECT_EQ(h.Do("tcbenchmark", "positions"), "benchmarked");
    EXPECT_EQ(h.events, (Events{"benchmark [c:\\pos dir\\]", "tcbenchmark [positions]"}));
}

TEST_F(ProtocolTest, SelfTestOfAHandlerWithoutOneRaises) {
    try {
        h.Do("test");
        FAIL() << "expected an exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "not implemented");
    }
}

TEST_F(ProtocolTest, AboutLine) {
    std::string about = h.Do("about");
    EXPECT_EQ(about, ProtocolHandler::AboutText());
    const std::regex format(
        R"re(name="Tamlo", version="\d+\.\d+\.\d+\.\d+", build="[^"]+_[0-9a-f]{40}", )re"
        R"re(author="[^"]+", email="[^"@]+@[^"]+", country="[^"]+", )re"
        R"re(builded="(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [1-9]\d? \d{4} )re"
        R"re(\d\d:\d\d:\d\d")re");
    EXPECT_TRUE(std::regex_match(about, format)) << about;
}

TEST_F(ProtocolTest, CopyrightLine) {
    std::string copyright = h.Do("copyright");
    EXPECT_FALSE(copyright.empty());
    EXPECT_EQ(copyright.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(copyright, ProtocolHandler::CopyrightText());
}

// ---------------------------------------------------------------------------
// Time control record and number reading

TEST(TimeControl, Defaults) {
    uint32_t before = NowMs();
    TimeControl tc;
    uint32_t after = NowMs();
    EXPECT_EQ(tc.turnTimeout, 1000u);
    EXPECT_EQ(tc.matchTimeout, 300000);
    EXPECT_EQ(tc.turnDeadline - tc.turnClock, 1000u);
    EXPECT_EQ(tc.timeLeftDeadline - tc.timeLeftClock, 300000u);
    EXPECT_EQ(tc.moveDeadline, tc.turnDeadline);
    EXPECT_EQ(tc.matchStart, tc.matchClock);
    EXPECT_GE(StampDiff(tc.matchStart, before), 0);
    EXPECT_GE(StampDiff(after, tc.matchStart), 0);
    EXPECT_GE(StampDiff(tc.turnClock, before), 0);
    EXPECT_GE(StampDiff(after, tc.turnClock), 0);
}

TEST(TimeControl, SetTimeLeftFillsAnUnsetMatchTimeAndRestartsTheMoveClock) {
    TimeControl tc;
    tc.turnTimeout = 777;
    tc.SetTimeLeft(5000);
    EXPECT_EQ(tc.matchTimeout, 300000);  // already given: kept
    EXPECT_EQ(tc.timeLeftDeadline - tc.timeLeftClock, 5000u);
    EXPECT_EQ(tc.turnDeadline - tc.turnClock, 777u);

    tc.matchTimeout = 2147483647;
    tc.SetTimeLeft(4000);
    EXPECT_EQ(tc.matchTimeout, 4000);
}

TEST(StringToInt, ReadsASignedDecimalLikeScanf) {
    EXPECT_EQ(ProtocolHandler::StringToInt("42"), 42);
    EXPECT_EQ(ProtocolHandler::StringToInt("  -17"), -17);
    EXPECT_EQ(ProtocolHandler::StringToInt("+5"), 5);
    EXPECT_EQ(ProtocolHandler::StringToInt("12abc"), 12);
    EXPECT_EQ(ProtocolHandler::StringToInt("0x10"), 0);
    EXPECT_EQ(ProtocolHandler::StringToInt("2147483647"), 2147483647);
    EXPECT_EQ(ProtocolHandler::StringToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "abc", "-", "x12"}) {
        try {
            ProtocolHandler::StringToInt(bad);
            ADD_FAILURE() << "[" << bad << "]: expected an exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "StringToInt Conversion failed.");
        }
    }
}

}  // namespace
