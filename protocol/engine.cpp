#include "protocol/engine.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "board/simpleboard.h"
#include "board/threatlist.h"
#include "platform/clock.h"
#include "platform/processmemory.h"
#include "pns/proofsearch.h"
#include "pns/threatsolver.h"
#include "search/driver.h"
#include "search/timebudget.h"
#include "tools/testsuite.h"

namespace {

// What the process may grow by after the table is sized: the search's stack,
// the streams' buffers, the diagnostics of a move.
constexpr int64_t kProcessGrowthBytes = 524288;

}  // namespace

Engine::Engine(ProgramArguments args) : GameHandler(std::move(args)), SearchContext(diagnostics) {
    timeControl.stop = &stop;
    // Live lines go out with everything written before them, where the console
    // writes at once.
    liveOutput = [this](const std::string& line) {
        diagnostics << line;
        if (!output) return;
        output(diagnostics.str());
        diagnostics.str(std::string());
        diagnostics.clear();
    };
    board = std::make_unique<BoardAI>();
    rootSide = board->mSide;
    rootMoveCount = board->mMoveCount;
}

Engine::~Engine() {
    DestroyProofPool(*this);
}

namespace {

// A GUI's stop button; outside a search there is nothing to stop.
bool IsStopWord(const std::string& command) {
    return command == "yxstop" || command == "stop";
}

// A line of a database word's list: numbers and commas.
bool IsListLine(const std::string& command) {
    return !command.empty() && command.find_first_not_of("0123456789,") == std::string::npos;
}

}  // namespace

std::string Engine::ParseCommand(std::string command, std::string argument) {
    // Checked before everything else, so they also work in board mode.
    if (command == "searchdump") return "moves proceeed " + std::to_string(nodeCounter);
    if (IsStopWord(command)) return "";
    if (command == "set_maxdepth") {
        maxDepth = atoi(argument.c_str());
        return "OK";
    }
    if (command == "set_hashtablesize") return "OK";  // the table follows max_memory
    if (command == "set_randommoveprobability") {
        randomMoveProbability = atoi(argument.c_str());
        return "OK";
    }
    // A database word's list is passed over; a word that is no list line ends it.
    if (databaseList) {
        if (command == "done") {
            databaseList = false;
            return "";
        }
        if (IsListLine(command)) return "";
        databaseList = false;
    }
    // Analysis words. A yxboard list swallows every line up to "done", as BOARD's does.
    if (yxBoardMode) {
        if (command == "done") {
            yxBoardMode = false;
            return SetUpPosition(yxBoardEntries);
        }
        yxBoardEntries.push_back(ParseBoardEntry(command));
        return "";
    }
    if (swap2Mode) {
        if (command == "done") {
            swap2Mode = false;
            return Swap2(swap2Entries);
        }
        uint32_t xy[2];
        // A line that is not x,y is kept as owner 0, which Swap2 refuses.
        swap2Entries.push_back(ReadNumbers(command, ',', xy, 2) ? BoardEntry{xy[0], xy[1], 1}
                                                                  : BoardEntry{0, 0, 0});
        return "";
    }
    if (command == "yxboard") {
        yxBoardMode = true;
        boardMode = false;
        yxBoardEntries.clear();
        // The list may also come on the same line: "yxboard 7,7,1 8,8,2 done".
        std::string reply;
        size_t start = 0;
        while (start < argument.size()) {
            size_t end = argument.find(' ', start);
            if (end == std::string::npos) end = argument.size();
            if (end > start) reply = ParseCommand(argument.substr(start, end - start), "");
            start = end + 1;
        }
        return reply;
    }
    if (command == "swap2board") {
        swap2Mode = true;
        boardMode = false;
        swap2Entries.clear();
        return "";
    }
    if (command == "info" && EngineInfo(argument)) return "";
    if (command == "yxshowinfo") return ShowInfo();
    if (command == "yxhashclear") {
        if (transpositionTable) transpositionTable->ClearTable();
        return "";
    }
    if (command.rfind("yx", 0) == 0 && command.find("database") != std::string::npos) {
        databaseList = true;
        return quietUnknown ? "" : "UNKNOWN";
    }
    if (command == "yxnbest") return BestMoves(argument);
    if (command == "yxsearchdefend") return SearchDefend(argument);
    if (command == "set_pnstime") {
        pnsTime = std::max(0, atoi(argument.c_str()));
        return "OK";
    }
    if (command == "prove") return Prove(argument);
    if (command == "defend") return Defend(argument);
    if (command == "dumptree") return DumpTree(argument);
    return GameHandler::ParseCommand(std::move(command), std::move(argument));
}

bool Engine::EngineInfo(const std::string& argument) {
    const size_t space = argument.find(' ');
    if (space == std::string::npos) return false;
    const std::string key = argument.substr(0, space);
    if (key != "max_depth" && key != "max_node" && key != "hash_size" && key != "show_detail")
        return false;
    int64_t v = 0;
    if (!ReadInt64(argument.substr(space + 1), v)) return false;  // the usual message
    v = std::max<int64_t>(v, 0);
    if (key == "max_depth") {
        // The deepening's last iteration is one deeper than maxDepth; 0 = none.
        maxDepth = v == 0 ? static_cast<int32_t>(Coord::area)
                          : static_cast<int32_t>(std::min<int64_t>(v, kMaxArea) - 1);
    } else if (key == "show_detail") {
        showDetail = v != 0;
    } else if (key == "max_node") {
        timeControl.nodeLimit = static_cast<uint32_t>(std::min<int64_t>(v, 4294967295));
    } else if (v != hashSizeKiB) {
        // The next search makes the table of the new size.
        hashSizeKiB = v;
        searchReady = false;
    }
    return true;
}

std::string Engine::ShowInfo() {
    // From here on a GUI is talking: unknown words get no reply.
    quietUnknown = true;
    const int64_t limit = maxMemory == 0 ? kDefaultMaxMemory : maxMemory;
    int k = 0;
    while ((int64_t{2} << k) * 1024 <= limit) ++k;
    Message("INFO MAX_THREAD_NUM 1");
    Message("INFO MAX_HASH_SIZE " + std::to_string(k));
    return "";
}

void Engine::SetMaxMemory(int64_t) {}

std::string Engine::Benchmark(std::string argument, bool statistics) {
    return ::Benchmark(*this, argument, statistics);
}

std::string Engine::SelfTest() {
    return ::SelfTest(*this);
}

void Engine::SetRule(uint32_t value) {
    GameHandler::SetRule(value);
    // The board's categories were computed with the old tables: replay the game
    // on a board built with the new ones.
    std::unique_ptr<BoardAI> fresh = std::make_unique<BoardAI>();
    uint8_t side = board->mSide;
    for (uint32_t i = 0; i < board->mMoveCount; ++i) {
        // Passes are not in the history: restore each stone's owner explicitly.
        uint8_t stone = board->mCells[board->mMoves[i]];
        if (2u - fresh->mSide != stone) fresh->Toggle(kPass);
        fresh->Toggle(board->mMoves[i]);
    }
    if (fresh->mSide != side) fresh->Toggle(kPass);
    board = std::move(fresh);
    InvalidateThreatLists();
    ReleaseProofTrees(*this);
}

void Engine::OpponentMoved(CellIndex) {}

void Engine::StoreResult(SearchResult result) {
    if (result.proof == 0)
        lastResult = ScoreWin;
    else if (result.disproof == 0)
        lastResult = ScoreLoss;
    else
        lastResult = ScoreUnknown;
}

int32_t Engine::StartMoveClock() {
    // The turn time is per move: its clock starts with this request, also for a
    // manager that sends no time_left before each move.
    timeControl.turnClock = NowMs();
    timeControl.turnDeadline = timeControl.turnClock + timeControl.turnTimeout;
    timeControl.nodeStart = nodeCounter;
    // 1-3. This move's budget; only the first request of the process deducts the
    //      match time already used.
    int32_t budget = MoveBudget(timeControl, firstMoveRequest, 45);
    timeControl.moveClock = NowMs();
    timeControl.moveDeadline = timeControl.moveClock + static_cast<uint32_t>(budget);
    firstMoveRequest = false;
    return budget;
}

SearchResult Engine::Search() {
    const int32_t budget = StartMoveClock();
    // 4. The table is sized at the first request, from the limit in force then.
    if (!searchReady) {
        AllocSearch();
        searchReady = true;
    }
    // The threat solver, out of this move's budget.
    SearchResult result{0, 1, 1, kNoCell};
    if (pnsTime > 0 && SolveAtRoot(budget, result)) {
        StoreResult(result);
        return result;
    }
    // 5-6. Decide on a copy of the board; the solver's restriction is for this
    //      search only, however it ends.
    struct Unrestrict {
        uint32_t& count;
        ~Unrestrict() { count = 0; }
    } unrestrict{restrictedCount};
    result = ChooseMove(*this, timeControl);
    StoreResult(result);
    return result;
}

void Engine::MakeMove(CellIndex cell) {
    board->Toggle(cell);
    InvalidateThreatLists();
    rootMoveCount = board->mMoveCount;
    rootSide = board->mSide;
    ReleaseProofTrees(*this);
}

void Engine::NewGame() {
    board = std::make_unique<BoardAI>();
    InvalidateThreatLists();
    rootMoveCount = board->mMoveCount;
    rootSide = board->mSide;
    lastResult = ScoreUnknown;
    ReleaseProofTrees(*this);
}

void Engine::AllocSearch() {
    // 1. What the process already uses.
    uint64_t used = ResidentMemoryBytes();
    if (used == 0) used = 16508032;
    // 2. The rest of the limit, less a reserve. Managers send 0 for "no limit":
    //    the table then gets the size it has when no limit is sent at all.
    const int64_t limit = maxMemory == 0 ? kDefaultMaxMemory : maxMemory;
    int64_t budget = static_cast<int64_t>(limit) - static_cast<int64_t>(used) - 2097240;
    // A GUI's hash_size asks for less.
    if (hashSizeKiB > 0) budget = std::min(budget, hashSizeKiB * 1024);
    if (budget < 100000) budget = 100000;
    // 3. About 98 percent of it in 24-byte entries.
    //    (Limits of many GiB, as 64-bit managers send them, stay within the
    //    table's 32-bit count.)
    const int32_t entries = static_cast<int32_t>(std::min<int64_t>(
        static_cast<int64_t>(static_cast<float>(budget) * 0.040829167f), 2147483647));
    // 4. The proof-number pool gets what the table leaves of the limit, less a
    //    little for the process's own growth (stack, streams); then the table.
    //    The old structures go first so that two never exist at once.
    const int64_t tableBytes =
        static_cast<int64_t>(entries) * static_cast<int64_t>(sizeof(HashEntry));
    const int64_t left =
        static_cast<int64_t>(limit) - static_cast<int64_t>(used) - tableBytes - kProcessGrowthBytes;
    const ProofPoolSize pool = ProofPoolSizeFor(left);
    DestroyProofPool(*this);
    transpositionTable.reset();
    CreateProofPool(*this, pool.capacity, pool.cacheEntries);
    transpositionTable = std::make_unique<TranspositionTable>(entries);
    // Whoever allocates (a tool as well as a move request), the first move
    // request must not replace the structures again.
    searchReady = true;
}

bool Engine::IsOccupied(CellIndex cell) const {
    return board->mCells[cell] != 0;
}
