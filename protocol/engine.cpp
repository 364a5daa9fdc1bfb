#include "protocol/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "board/forbidden.h"
#include "board/simpleboard.h"
#include "board/zobrist.h"
#include "platform/clock.h"
#include "platform/processmemory.h"
#include "pns/proofsearch.h"
#include "pns/rootsolver.h"
#include "pns/threatsolver.h"
#include "protocol/analysis.h"
#include "search/driver.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/pvsearch.h"
#include "search/searchparameters.h"
#include "search/timebudget.h"
#include "search/trace.h"
#include "tools/testsuite.h"

namespace {

// What the process may grow by after the table is sized: the search's stack,
// the streams' buffers, the diagnostics of a move.
constexpr int64_t kProcessGrowthBytes = 524288;

}  // namespace

Engine::Engine(ProgramArguments args)
    : GameHandler(std::move(args)), worker(shared, diagnostics) {
    worker.allocateStructures = [this] { AllocSearch(); };
    timeControl.stop = &shared.stop;
    timeControl.nodes = &worker.nodeCounter;
    // Live lines go out with everything written before them, where the console
    // writes at once.
    worker.liveOutput = [this](const std::string& line) {
        diagnostics << line;
        if (!output) return;
        output(diagnostics.str());
        diagnostics.str(std::string());
        diagnostics.clear();
    };
    board = std::make_unique<BoardAI>();
    board->CountStonesIn(worker.nodeCounter);
    worker.SetPosition(*board);
    rootSide = board->mSide;
    rootMoveCount = board->mMoveCount;
}

Engine::~Engine() {
    DestroyProofPool(worker);
}

namespace {

// A GUI's stop button; outside a search there is nothing to stop.
bool IsStopWord(const std::string& command) {
    return command == "yxstop" || command == "stop";
}

// The INFO keys of the search parameters: the prefix and a name of the table.
constexpr std::string_view kParameterPrefix = "param_";

// An integer and nothing else, blanks around it allowed.
bool ReadInteger(const std::string& text, int64_t& value) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const size_t last = text.find_last_not_of(" \t\r");
    size_t i = first;
    if (text[i] == '-' || text[i] == '+') ++i;
    if (i > last || text.find_first_not_of("0123456789", i) <= last) return false;
    return ProtocolHandler::ReadInt64(text, value);
}

// A line of a database word's list: numbers and commas.
bool IsListLine(const std::string& command) {
    return !command.empty() && command.find_first_not_of("0123456789,") == std::string::npos;
}

}  // namespace

std::string Engine::ParseCommand(std::string command, std::string argument) {
    // Checked before everything else, so they also work in board mode.
    if (command == "searchdump") return "moves proceeed " + std::to_string(worker.nodeCounter);
    if (IsStopWord(command)) return "";
    if (command == "set_maxdepth") {
        shared.maxDepth = atoi(argument.c_str());
        return "OK";
    }
    if (command == "set_hashtablesize") return "OK";  // the table follows max_memory
    if (command == "set_classic") {
        shared.classic = atoi(argument.c_str()) != 0;
        return "OK";
    }
    if (command == "set_eval") {
        if (argument != "classic" && argument != "learned")
            throw std::runtime_error("set_eval takes classic or learned");
        shared.learnedEval = argument == "learned";
        return "OK";
    }
    if (command == "set_randommoveprobability") {
        shared.randomMoveProbability = atoi(argument.c_str());
        return "OK";
    }
    if (command == "params") return ListParameters();
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
    if (command == "yxshowforbid") return ShowForbidden();
    if (command == "yxhashclear") {
        if (shared.transpositionTable) shared.transpositionTable->ClearTable();
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
    if (key.rfind(kParameterPrefix, 0) == 0) return ParameterInfo(key, argument.substr(space + 1));
    if (key != "max_depth" && key != "max_node" && key != "hash_size" && key != "show_detail")
        return false;
    int64_t v = 0;
    if (!ReadInt64(argument.substr(space + 1), v)) return false;  // the usual message
    v = std::max<int64_t>(v, 0);
    if (key == "max_depth") {
        // The deepening's last iteration is one deeper than maxDepth; 0 = none.
        shared.maxDepth = v == 0 ? static_cast<int32_t>(Coord::area)
                                 : static_cast<int32_t>(std::min<int64_t>(v, kMaxArea) - 1);
    } else if (key == "show_detail") {
        worker.showDetail = v != 0;
    } else if (key == "max_node") {
        timeControl.nodeLimit = static_cast<uint32_t>(std::min<int64_t>(v, 4294967295));
    } else if (v != hashSizeKiB) {
        // The next search makes the table of the new size.
        hashSizeKiB = v;
        searchReady = false;
    }
    return true;
}

bool Engine::ParameterInfo(const std::string& key, const std::string& value) {
    const SearchParameterSpec* spec = FindSearchParameter(key.substr(kParameterPrefix.size()));
    if (!spec) return false;  // unknown, as any other key
    const std::string shown = value.substr(0, 255);
    int64_t v = 0;
    if (!ReadInteger(value, v)) {
        Message("INFO " + key + " ignored: \"" + shown + "\" is not an integer.");
        return true;
    }
    if (shared.parameters.Set(spec->name, v) != SearchParameters::SetResult::kSet)
        Message("INFO " + key + " ignored: " + shown + " is outside " + std::to_string(spec->min) +
                ".." + std::to_string(spec->max) + ".");
    return true;
}

std::string Engine::ListParameters() {
    for (const SearchParameterSpec& p : kSearchParameterTable)
        Message(std::string(kParameterPrefix) + p.name + " " +
                std::to_string(shared.parameters.*p.field) + " (default " +
                std::to_string(p.defaultValue) + ", " + std::to_string(p.min) + ".." +
                std::to_string(p.max) + "): " + p.meaning);
    return "";
}

std::string Engine::ShowInfo() {
    // From here on a GUI is talking: unknown words get no reply.
    quietUnknown = true;
    // A GUI's "rule 2" (renju) may have come before this word.
    if (rule == 2) SetRule(rule);
    const int64_t limit = maxMemory == 0 ? kDefaultMaxMemory : maxMemory;
    int k = 0;
    while ((int64_t{2} << k) * 1024 <= limit) ++k;
    Message("INFO MAX_THREAD_NUM 1");
    Message("INFO MAX_HASH_SIZE " + std::to_string(k));
    return "";
}

void Engine::SetMaxMemory(int64_t) {}

std::string Engine::Benchmark(std::string argument, bool statistics) {
    return ::Benchmark(worker, argument, statistics);
}

std::string Engine::SelfTest() {
    return ::SelfTest(worker);
}

std::string Engine::Start(uint32_t width, uint32_t height) {
    const bool resized = width != Coord::width || height != Coord::height;
    std::string reply = GameHandler::Start(width, height);
    // Random moves on a board of a new size start where its keys leave the
    // generator, as on the first board of the process.
    if (resized && reply == "OK") worker.random = RandomGenerator::AfterZobristKeys();
    return reply;
}

void Engine::SetRule(uint32_t value) {
    // The board's categories are those of the old rules: the same stones, in
    // the same order, on a board of the new ones.
    shared.rules = Rules::FromProtocolValue(value, quietUnknown);
    std::unique_ptr<BoardAI> fresh = std::make_unique<BoardAI>(shared.rules);
    fresh->CountStonesIn(worker.nodeCounter);
    uint8_t side = board->mSide;
    for (uint32_t i = 0; i < board->mMoveCount; ++i) {
        // Passes are not in the history: restore each stone's owner explicitly.
        uint8_t stone = board->mCells[board->mMoves[i]];
        if (2u - fresh->mSide != stone) fresh->Toggle(kPass);
        fresh->Toggle(board->mMoves[i]);
    }
    if (fresh->mSide != side) fresh->Toggle(kPass);
    board = std::move(fresh);
    worker.random = RandomGenerator::AfterZobristKeys();
    PositionChanged();
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
    timeControl.nodeStart = worker.nodeCounter;
    // This move's budget; only the first request of the process deducts the match
    // time already used.
    int32_t budget = MoveBudget(timeControl, firstMoveRequest, 45);
    timeControl.moveClock = NowMs();
    timeControl.moveDeadline = timeControl.moveClock + static_cast<uint32_t>(budget);
    firstMoveRequest = false;
    return budget;
}

SearchResult Engine::Search() {
    const int32_t budget = StartMoveClock();
    // The table is sized at the first request, from the limit in force then.
    if (!searchReady) {
        AllocSearch();
        searchReady = true;
    }
    // The threat solver, out of this move's budget.
    SearchResult result{0, 1, 1, kNoCell};
    if (pnsTime > 0 && SolveAtRoot(worker, pnsTime, budget, result)) {
        StoreResult(result);
        return result;
    }
    // Decide on a copy of the board; the solver's restriction is for this search
    // only, however it ends.
    struct Unrestrict {
        uint32_t& count;
        ~Unrestrict() { count = 0; }
    } unrestrict{worker.restrictedCount};
    result = ChooseMove(worker, timeControl);
    StoreResult(result);
    return result;
}

void Engine::MakeMove(CellIndex cell) {
    board->Toggle(cell);
    PositionChanged();
}

void Engine::NewGame() {
    board = std::make_unique<BoardAI>(shared.rules);
    board->CountStonesIn(worker.nodeCounter);
    lastResult = ScoreUnknown;
    PositionChanged();
}

void Engine::PositionChanged() {
    worker.SetPosition(*board);
    rootMoveCount = board->mMoveCount;
    rootSide = board->mSide;
    ReleaseProofTrees(worker);
}

void Engine::AllocSearch() {
    // 1. What the process already uses.
    uint64_t used = ResidentMemoryBytes();
    if (used == 0) used = 16508032;
    // In whole MiB: the resident size varies by a page or two from run to run,
    // and a table of another size places its entries elsewhere, so the same
    // commands would search differently.
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    used = (used + kMiB - 1) / kMiB * kMiB;
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
    DestroyProofPool(worker);
    shared.transpositionTable.reset();
    CreateProofPool(worker, pool.capacity, pool.cacheEntries);
    shared.transpositionTable = std::make_unique<TranspositionTable>(entries);
    SetTableAge(worker);
    // Whoever allocates (a tool as well as a move request), the first move
    // request must not replace the structures again.
    searchReady = true;
}

bool Engine::IsOccupied(CellIndex cell) const {
    return board->mCells[cell] != 0;
}

bool Engine::IsForbiddenToMove(CellIndex cell) const {
    return board->GameRules().Renju() && board->mToMove == board->mBlack && !board->mCells[cell] &&
           IsForbiddenPoint(*board, cell);
}

std::string Engine::ShowForbidden() const {
    std::string reply = "FORBID ";
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (IsOccupied(static_cast<CellIndex>(z)) || !IsForbiddenToMove(static_cast<CellIndex>(z)))
            continue;
        char cell[16];
        snprintf(cell, sizeof cell, "%02u%02u", z % Coord::width, z / Coord::width);
        reply += cell;
    }
    return reply + ".";
}

// The analysis words.

void Engine::EnsureSearch() {
    if (!searchReady || !worker.pnPool || !shared.transpositionTable) {
        AllocSearch();
        searchReady = true;
    }
}

int32_t Engine::AnalysisBudget(const std::string& argument) const {
    int64_t ms = 0;
    if (!ReadInt64(argument, ms))
        return static_cast<int32_t>(std::min<uint32_t>(timeControl.turnTimeout, 2147483647u));
    return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(ms, 2147483647)));
}

std::string Engine::SetUpPosition(const std::vector<BoardEntry>& entries) {
    // BOARD's checks and stones; the engine is then to move, as BOARD's search
    // would have it, but nothing is searched and nothing answered.
    std::string refusal = ValidateEntries(entries);
    if (!refusal.empty()) return refusal;
    BeginGame();
    lastMover = 2;
    for (const BoardEntry& e : entries) PlaceStone(e.x, e.y, e.owner);
    engineToMove = true;
    if (lastMover == 1) {
        Apply(kPass);
        lastMover = 2;
    }
    return "";
}

std::string Engine::Prove(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    return ProveReply(worker, budget);
}

std::string Engine::Defend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    return DefendReply(worker, budget);
}

std::string Engine::DumpTree(const std::string& fileName) {
    return DumpTreeReply(worker, fileName);
}

namespace {

// A result's score for a reader: "win", "loss" or the value.
std::string ScoreText(const SearchResult& r) {
    return r.proof == 0 ? "win" : r.disproof == 0 ? "loss" : std::to_string(r.value);
}

}  // namespace

std::string Engine::BestMoves(const std::string& argument) {
    int64_t wanted = 1;
    ReadInt64(argument, wanted);
    const int32_t n = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(wanted, 20)));
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    const int32_t budget = StartMoveClock();
    EnsureSearch();
    BoardAI copy = *board;
    copy.mPlain = 1;
    const int32_t verdict = GenerateMoves(copy, GenMode::kFull);
    std::vector<CellIndex> candidates(copy.genMoves, copy.genMoves + copy.genCount);
    candidates.erase(std::remove(candidates.begin(), candidates.end(), kNoCell), candidates.end());
    // A decided position, or a single move, has one best move: the normal decision.
    if (IsDecisive(verdict) || candidates.size() < 2 || copy.mMoveCount <= 1) {
        const SearchResult r = ChooseMove(worker, timeControl);
        const CellIndex move = r.move < Coord::area && !IsOccupied(r.move) && !IsForbiddenToMove(r.move)
                                   ? r.move
                                   : FirstPlayableCell();
        Message("nbest 1: " + CellText(move) + " " + ScoreText(r));
        return CellText(move);
    }
    // Each next best move is the best of the root moves not found yet, searched
    // with its share of the time.
    std::vector<CellIndex> found;
    const int32_t share = std::max(1, budget / n);
    for (int32_t i = 0; i < n && found.size() < candidates.size(); ++i) {
        worker.restrictedCount = 0;
        for (CellIndex c : candidates)
            if (std::find(found.begin(), found.end(), c) == found.end())
                worker.restrictedMoves[worker.restrictedCount++] = c;
        TimeControl tc = timeControl;
        const uint32_t now = NowMs();
        tc.moveClock = now;
        tc.moveDeadline = now + static_cast<uint32_t>(share);
        tc.turnDeadline = std::min<uint32_t>(timeControl.turnDeadline - now,
                                             static_cast<uint32_t>(share + kTimeReserveMs)) +
                          now;
        BoardAI searched = *worker.board;
        searched.mPlain = 1;
        SetTableAge(worker);
        SearchResult r = shared.classic
                             ? IterativeDeepening(worker, searched, &tc, shared.maxDepth)
                             : PvDeepening(worker, searched, &tc, shared.maxDepth);
        if (r.move >= Coord::area) r.move = worker.restrictedMoves[0];
        found.push_back(r.move);
        Message("nbest " + std::to_string(i + 1) + ": " + CellText(r.move) + " " + ScoreText(r));
    }
    worker.restrictedCount = 0;
    return CellText(found.front());
}

std::string Engine::SearchDefend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    return SearchDefendReply(worker, budget, FirstEmptyCell());
}
