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
    board = std::make_unique<BoardAI>();
    rootSide = board->mSide;
    rootMoveCount = board->mMoveCount;
}

Engine::~Engine() {
    DestroyProofPool(*this);
}

std::string Engine::ParseCommand(std::string command, std::string argument) {
    // Checked before everything else, so they also work in board mode.
    if (command == "searchdump") return "moves proceeed " + std::to_string(nodeCounter);
    if (command == "set_maxdepth") {
        maxDepth = atoi(argument.c_str());
        return "OK";
    }
    if (command == "set_hashtablesize") return "OK";  // the table follows max_memory
    if (command == "set_randommoveprobability") {
        randomMoveProbability = atoi(argument.c_str());
        return "OK";
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
    if (command == "yxboard") {
        yxBoardMode = true;
        boardMode = false;
        yxBoardEntries.clear();
        return "";
    }
    if (command == "set_pnstime") {
        pnsTime = std::max(0, atoi(argument.c_str()));
        return "OK";
    }
    if (command == "prove") return Prove(argument);
    if (command == "defend") return Defend(argument);
    if (command == "dumptree") return DumpTree(argument);
    return GameHandler::ParseCommand(std::move(command), std::move(argument));
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

SearchResult Engine::Search() {
    // The turn time is per move: its clock starts with this request, also for a
    // manager that sends no time_left before each move.
    timeControl.turnClock = NowMs();
    timeControl.turnDeadline = timeControl.turnClock + timeControl.turnTimeout;
    // 1-3. This move's budget; only the first request of the process deducts the
    //      match time already used.
    int32_t budget = MoveBudget(timeControl, firstMoveRequest, 45);
    timeControl.moveClock = NowMs();
    timeControl.moveDeadline = timeControl.moveClock + static_cast<uint32_t>(budget);
    firstMoveRequest = false;
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
