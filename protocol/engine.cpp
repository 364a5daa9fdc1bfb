#include "protocol/engine.h"

#include <algorithm>
#include <iterator>
#include <optional>
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
    : GameHandler(std::move(args)),
      pool(diagnostics),
      shared(pool.shared),
      worker(pool.main),
      proof(pool.main) {
    worker.allocateStructures = [this] { AllocSearch(); };
    proof.allocateStructures = [this] { AllocSearch(); };
    timeControl.stop = &shared.stop;
    timeControl.nodes = &worker.nodeCounter;
    timeControl.helperNodes = &shared.helperNodes;
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

Engine::~Engine() = default;

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
    // A list line may come split at a blank: "7, 7, 1"; "7,7,1 x" is 7,7,1.
    uint32_t listed[3];
    const std::string listLine =
        argument.empty() || ReadNumbers(command, ',', listed, 2) || ReadNumbers(command, ',', listed, 3)
            ? command
            : command + " " + argument;
    if (yxBoardMode) {
        if (command == "done") {
            yxBoardMode = false;
            return SetUpPosition(yxBoardEntries);
        }
        yxBoardEntries.push_back(ParseBoardEntry(listLine));
        return "";
    }
    if (yxBlockMode) {
        if (command == "done") {
            yxBlockMode = false;
            return "";
        }
        // Cells off the board, or lines that are no cell, block nothing.
        uint32_t xy[2];
        if (ReadNumbers(listLine, ',', xy, 2) && xy[0] < Coord::width && xy[1] < Coord::height)
            Block(static_cast<CellIndex>(xy[1] * Coord::width + xy[0]));
        return "";
    }
    if (swap2Mode) {
        if (command == "done") {
            swap2Mode = false;
            return Swap2(swap2Entries);
        }
        uint32_t xy[2];
        // A line that is not x,y is kept as owner 0, which Swap2 refuses.
        swap2Entries.push_back(ReadNumbers(listLine, ',', xy, 2) ? BoardEntry{xy[0], xy[1], 1}
                                                                   : BoardEntry{0, 0, 0});
        return "";
    }
    if (command == "yxboard" || command == "yxblock") {
        yxBoardMode = command == "yxboard";
        yxBlockMode = command == "yxblock";
        boardMode = false;
        yxBoardEntries.clear();
        // The list may also come on the same line: "yxboard 7,7,1 8,8,2 done".
        std::string reply;
        for (const std::string& item : ListItems(argument)) reply = ParseCommand(item, "");
        return reply;
    }
    if (command == "yxblockreset") {
        ClearBlocks();
        return "";
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
        pool.ClearTable();
        return "";
    }
    if (command.rfind("yx", 0) == 0 && command.find("database") != std::string::npos) {
        databaseList = true;
        return quietUnknown ? "" : "UNKNOWN";
    }
    if (command == "yxnbest") return BestMoves(argument);
    if (command == "yxsearchdefend") return SearchDefend(argument);
    // Words only a GUI sends, and waits on: a manager is told it has none.
    if (command == "yxbalanceone" || command == "yxbalancetwo" || command == "yxswap2step1" ||
        command == "yxswap2step2" || command == "yxswap2step3" || command == "yxresign" ||
        command == "yxdraw") {
        if (!quietUnknown) return "UNKNOWN";
        if (command == "yxbalanceone") return Balance(argument, 1);
        if (command == "yxbalancetwo") return Balance(argument, 2);
        if (command == "yxresign" || command == "yxdraw") return Offer(command == "yxdraw");
        return Swap2Step();
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

bool Engine::EngineInfo(const std::string& argument) {
    const size_t space = argument.find(' ');
    if (space == std::string::npos) return false;
    const std::string key = argument.substr(0, space);
    if (key.rfind(kParameterPrefix, 0) == 0) return ParameterInfo(key, argument.substr(space + 1));
    if (key != "max_depth" && key != "max_node" && key != "hash_size" && key != "show_detail" &&
        key != "strength" && key != "thread_num")
        return false;
    int64_t v = 0;
    if (!ReadInt64(argument.substr(space + 1), v)) return false;  // the usual message
    v = std::max<int64_t>(v, 0);
    if (key == "max_depth") {
        // The deepening's last iteration is one deeper than maxDepth; 0 = none.
        shared.maxDepth = v == 0 ? static_cast<int32_t>(Coord::area)
                                 : static_cast<int32_t>(std::min<int64_t>(v, kMaxArea) - 1);
    } else if (key == "show_detail") {
        worker.showDetail = static_cast<int>(std::min<int64_t>(v, 3));
    } else if (key == "thread_num") {
        const int32_t most = SearchPool::HardwareThreads();
        if (v > most)
            Message("INFO thread_num " + std::to_string(v) + " is more than this machine's " +
                    std::to_string(most) + " threads; using " + std::to_string(most) + ".");
        const auto threads = static_cast<int32_t>(std::clamp<int64_t>(v, 1, most));
        if (threads != pool.Threads()) {
            pool.SetThreads(threads);
            // The next search sizes the table for what the helpers take.
            searchReady = false;
        }
    } else if (key == "strength") {
        strength = static_cast<int32_t>(std::min<int64_t>(v, 100));
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
    const SearchParameterSpec* row = FindSearchParameter(key.substr(kParameterPrefix.size()));
    if (!row) return false;  // unknown, as any other key
    const std::string shown = value.substr(0, 255);
    int64_t v = 0;
    if (!ReadInteger(value, v)) {
        Message("INFO " + key + " ignored: \"" + shown + "\" is not an integer.");
        return true;
    }
    if (shared.parameters.Set(row->name, v) != SearchParameters::SetResult::kSet)
        Message("INFO " + key + " ignored: " + shown + " is outside " + std::to_string(row->min) +
                ".." + std::to_string(row->max) + ".");
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
    Message("INFO MAX_THREAD_NUM " + std::to_string(SearchPool::HardwareThreads()));
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
    if (resized && reply == "OK") {
        worker.random = RandomGenerator::AfterZobristKeys();
        ClearBlocks();  // cells of the old size
    }
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
    timeControl.nodeStart = NodesNow(timeControl);
    // This move's budget; only the first request of the process deducts the match
    // time already used.
    int32_t budget = MoveBudget(timeControl, firstMoveRequest, 45);
    timeControl.moveClock = NowMs();
    timeControl.moveDeadline = timeControl.moveClock + static_cast<uint32_t>(budget);
    firstMoveRequest = false;
    worker.liveStartMs = timeControl.moveClock;
    worker.liveStartNodes = worker.AllNodes();
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
    if (pnsTime > 0 && SolveAtRoot(proof, pnsTime, budget, result)) {
        StoreResult(result);
        return result;
    }
    // Decide on a copy of the board; the solver's restriction is for this search
    // only, however it ends.
    struct Unrestrict {
        uint32_t& count;
        ~Unrestrict() { count = 0; }
    } unrestrict{worker.restrictedCount};
    result = strength < 100 ? WeakerMove(budget) : ChooseMove(worker, timeControl);
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
    proof.SetPosition(*board);
}

void Engine::AllocSearch() {
    // 1. What the process already uses.
    uint64_t used = ResidentMemoryBytes();
    if (used == 0) used = 16508032;
    // The helpers' state and stacks, as much as they may ever take.
    used += static_cast<uint64_t>(pool.Threads() - 1) * static_cast<uint64_t>(SearchPool::HelperBytes());
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
    const ProofPoolSize proofPool = ProofPoolSizeFor(left);
    DestroyProofPool(proof);
    pool.ReleaseTable();
    CreateProofPool(proof, proofPool.capacity, proofPool.cacheEntries);
    pool.CreateTable(entries);
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
        char cell[24];
        snprintf(cell, sizeof cell, "%02u%02u", z % Coord::width, z / Coord::width);
        reply += cell;
    }
    return reply + ".";
}

// The analysis words.

void Engine::EnsureSearch() {
    if (!searchReady || !proof.pnPool || !shared.transpositionTable) {
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
    return ProveReply(proof, budget);
}

std::string Engine::Defend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    return DefendReply(proof, budget);
}

std::string Engine::DumpTree(const std::string& fileName) {
    return DumpTreeReply(proof, fileName);
}

namespace {

// A result's score for a reader: "win", "loss" or the value.
std::string ScoreText(const SearchResult& r) {
    return r.proof == 0 ? "win" : r.disproof == 0 ? "loss" : std::to_string(r.value);
}

// "x,y" as a cell of the board; none for anything else.
std::optional<CellIndex> CellOf(const std::string& text) {
    uint32_t xy[2];
    if (!ReadNumbers(text, ',', xy, 2) || xy[0] >= Coord::width || xy[1] >= Coord::height)
        return std::nullopt;
    return static_cast<CellIndex>(xy[1] * Coord::width + xy[0]);
}

// A result's value for ordering: a win above every score, a loss below.
int64_t OrderValue(const SearchResult& r) {
    return r.proof == 0 ? int64_t{ScoreWin} + 1 : r.disproof == 0 ? int64_t{ScoreLoss} - 1 : r.value;
}

}  // namespace

void Engine::Block(CellIndex cell) {
    if (worker.blocked[cell]) return;
    worker.blocked[cell] = 1;
    ++worker.blockedCount;
}

void Engine::ClearBlocks() {
    std::fill(std::begin(worker.blocked), std::end(worker.blocked), uint8_t{0});
    worker.blockedCount = 0;
}

std::vector<CellIndex> Engine::Candidates(const BoardAI& position, bool* decided) {
    BoardAI copy = position;
    copy.mPlain = 1;
    const int32_t verdict = GenerateMoves(copy, GenMode::kFull);
    std::vector<CellIndex> list;
    for (uint32_t i = 0; i < copy.genCount; ++i)
        if (copy.genMoves[i] < Coord::area && !worker.IsBlocked(copy.genMoves[i]))
            list.push_back(copy.genMoves[i]);
    // The verdict may rest on a blocked cell: then nothing is decided.
    if (decided) *decided = IsDecisive(verdict) && list.size() == copy.genCount;
    // Every candidate blocked: the other cells the side may play, nearest the
    // centre first.
    if (list.empty() && copy.genCount > 0) {
        for (uint32_t z = 0; z < Coord::area; ++z) {
            const auto cell = static_cast<CellIndex>(z);
            if (!copy.mCells[z] && !worker.IsBlocked(cell) && !copy.forbidden.IsForbiddenToMove(copy, cell))
                list.push_back(cell);
        }
        const auto fromCentre = [](CellIndex c) {
            const int dx = std::abs(2 * static_cast<int>(c % Coord::width) - static_cast<int>(Coord::width) + 1);
            const int dy = std::abs(2 * static_cast<int>(c / Coord::width) - static_cast<int>(Coord::height) + 1);
            return std::max(dx, dy);
        };
        std::stable_sort(list.begin(), list.end(),
                         [&](CellIndex a, CellIndex b) { return fromCentre(a) < fromCentre(b); });
    }
    return list;
}

std::vector<Engine::RankedMove> Engine::RankMoves(const std::vector<CellIndex>& candidates,
                                                  int32_t count, int32_t budget, int32_t maxDepth) {
    const uint32_t deadline = NowMs() + static_cast<uint32_t>(std::max(budget, 1));
    // A search of the root moves not ranked yet, at most to maxDepth, until
    // the end of the share; false when it finished no iteration.
    auto searchRest = [&](const std::vector<RankedMove>& found, uint32_t share, int32_t depth,
                          RankedMove& out) {
        worker.restrictedCount = 0;
        for (CellIndex c : candidates) {
            const bool ranked = std::any_of(found.begin(), found.end(),
                                            [&](const RankedMove& m) { return m.move == c; });
            if (!ranked) worker.restrictedMoves[worker.restrictedCount++] = c;
        }
        if (worker.restrictedCount == 0) return false;
        // Share 0: no clock, only a stop ends the search.
        TimeControl tc = timeControl;
        const uint32_t now = NowMs();
        const uint32_t end = StampDiff(deadline, now + share) < 0 ? deadline : now + share;
        tc.moveClock = now;
        tc.moveDeadline = end;
        // The search keeps the turn's reply reserve before its deadline: the
        // share ends where the search plans to stop.
        tc.turnDeadline = end + static_cast<uint32_t>(ReplyReserveMs(tc.turnTimeout));
        BoardAI searched = *worker.board;
        searched.mPlain = 1;
        SetTableAge(worker);
        worker.completedDepth = 0;
        // Their depth lines would read as analysis: the ranking says it all.
        TimeControl* clock = share > 0 ? &tc : nullptr;
        SearchResult r = shared.classic ? IterativeDeepening(worker, searched, clock, depth)
                                        : DefaultSearch(worker, searched, clock, depth, true);
        worker.restrictedCount = 0;
        if (worker.completedDepth == 0 || r.move >= Coord::area) return false;
        out = {r.move, r};
        return true;
    };
    std::vector<RankedMove> ranked;
    RankedMove best{};
    // The first move, in half of its share of the time, decides the depth;
    // the others are searched to that depth, so that their values compare,
    // and may take longer without the first one's table entries.
    const int32_t n = std::max(1, std::min<int32_t>(count, static_cast<int32_t>(candidates.size())));
    bool clockless = false;  // the others too, then: their first iteration
    if (!searchRest(ranked, static_cast<uint32_t>(std::max(1, budget / (2 * n))), maxDepth, best)) {
        // Too short a share for one iteration: the first iteration whatever
        // it takes (a GUI waits for a ranking), unless the search was stopped.
        if (worker.StopRequested() || !searchRest(ranked, 0, 1, best)) return ranked;
        clockless = true;
    }
    ranked.push_back(best);
    const int32_t depth = worker.completedDepth;
    while (static_cast<int32_t>(ranked.size()) < n) {
        RankedMove next{};
        const uint32_t left = static_cast<uint32_t>(std::max(1, StampDiff(deadline, NowMs())));
        if (!searchRest(ranked, clockless ? 0 : left, depth - 1, next)) break;
        // Cut short (time, a stop) below the depth: not comparable, not shown.
        if (worker.completedDepth < depth && !IsDecisive(next.result.value) &&
            next.result.proof != 0 && next.result.disproof != 0)
            break;
        ranked.push_back(next);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const RankedMove& a, const RankedMove& b) {
        return OrderValue(a.result) > OrderValue(b.result);
    });
    return ranked;
}

std::string Engine::BestMoves(const std::string& argument) {
    int64_t wanted = 1;
    ReadInt64(argument, wanted);
    const int32_t n = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(wanted, 20)));
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    const int32_t budget = StartMoveClock();
    EnsureSearch();
    bool decided = false;
    const std::vector<CellIndex> candidates = Candidates(*board, &decided);
    // A decided position, or a single move, has one best move: the normal decision.
    if (decided || candidates.size() < 2 || board->mMoveCount <= 1) {
        const SearchResult r = ChooseMove(worker, timeControl);
        const CellIndex move = r.move < Coord::area && !IsOccupied(r.move) &&
                                       !IsForbiddenToMove(r.move) && !IsBlockedCell(r.move)
                                   ? r.move
                                   : FirstPlayableCell();
        Message("nbest 1: " + CellText(move) + " " + ScoreText(r));
        return CellText(move);
    }
    const std::vector<RankedMove> ranked = RankMoves(candidates, n, budget, shared.maxDepth);
    // Stopped before anything was searched: the generator's first choice.
    if (ranked.empty()) return CellText(candidates.front());
    for (size_t i = 0; i < ranked.size(); ++i)
        Message("nbest " + std::to_string(i + 1) + ": " + CellText(ranked[i].move) + " " +
                ScoreText(ranked[i].result));
    // The GUI's best-move mark ends on the answer.
    if (worker.showDetail) {
        LiveCell(worker, "BEST", ranked.front().move);
        LiveValue(worker, ranked.front().result.value);
    }
    return CellText(ranked.front().move);
}

SearchResult Engine::WeakerMove(int32_t budget) {
    // Shallower at lower strength: 2 plies at 0, 10 at 99; then a random move
    // among those within the margin of the best, up to 200 points at 0.
    const int32_t depth = std::min(shared.maxDepth, 1 + strength / 12);
    const int32_t margin = 2 * (100 - strength);
    const int32_t count = 2 + (100 - strength) / 25;
    bool decided = false;
    const std::vector<CellIndex> candidates = Candidates(*board, &decided);
    if (decided || candidates.size() < 2 || board->mMoveCount <= 1) return ChooseMove(worker, timeControl);
    const std::vector<RankedMove> ranked = RankMoves(candidates, count, budget, depth);
    if (ranked.empty()) return ChooseMove(worker, timeControl);
    size_t near = 1;
    while (near < ranked.size() && !IsDecisive(ranked[near].result.value) &&
           ranked[near].result.proof != 0 && ranked[near].result.disproof != 0 &&
           OrderValue(ranked[near].result) >= OrderValue(ranked.front().result) - margin)
        ++near;
    // A proven result is played as proven.
    const bool proven = ranked.front().result.proof == 0 || ranked.front().result.disproof == 0;
    const size_t pick = proven ? 0 : static_cast<size_t>(worker.random.Draw() % near);
    return ranked[pick].result;
}

std::string Engine::SearchDefend(const std::string& argument) {
    const int32_t budget = AnalysisBudget(argument);
    EnsureSearch();
    const CellIndex fallback = FirstPlayableCell();
    if (fallback == kNoCell) return Error("board is full.");
    // An empty or finished board has nothing to defend: still a move, since a
    // GUI reads the answer as one.
    if (board->mMoveCount == 0) {
        bool decided = false;
        const std::vector<CellIndex> list = Candidates(*board, &decided);
        return CellText(list.empty() ? fallback : list.front());
    }
    std::string reply = SearchDefendReply(proof, budget, fallback);
    if (reply == "NONE") reply = CellText(fallback);
    // A blocked cell is no answer.
    if (std::optional<CellIndex> cell = CellOf(reply); cell && IsBlockedCell(*cell))
        reply = CellText(fallback);
    return reply;
}

int32_t Engine::JudgeAfter(const std::vector<CellIndex>& stones, int32_t ms, CellIndex* best) {
    BoardAI position = *board;
    position.CountStonesIn(worker.nodeCounter);
    for (CellIndex c : stones) position.Toggle(c);
    worker.SetPosition(position);
    const SearchResult r = QuietSearch(ms);
    PositionChanged();
    if (best) *best = r.move;
    if (r.proof == 0) return ScoreWin;
    if (r.disproof == 0) return ScoreLoss;
    return r.value;
}

std::string Engine::Balance(const std::string& argument, int stones) {
    int64_t bias = 0;
    ReadInt64(argument, bias);
    bias = std::max<int64_t>(-100000, std::min<int64_t>(bias, 100000));
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    const int32_t budget = std::max(StartMoveClock(), 10);
    EnsureSearch();
    // First stones among the generator's first candidates; the second, the
    // opponent's, among its first candidates after each.
    std::vector<CellIndex> firsts = Candidates(*board, nullptr);
    if (firsts.size() > 6) firsts.resize(stones == 1 ? 6 : 3);
    if (firsts.empty()) firsts.push_back(FirstPlayableCell());
    std::vector<std::vector<CellIndex>> options;
    for (CellIndex a : firsts) {
        if (stones == 1) {
            options.push_back({a});
            continue;
        }
        BoardAI after = *board;
        after.CountStonesIn(worker.nodeCounter);
        after.Toggle(a);
        std::vector<CellIndex> seconds = Candidates(after, nullptr);
        if (seconds.size() > 3) seconds.resize(3);
        for (CellIndex b : seconds) options.push_back({a, b});
    }
    if (options.empty()) options.push_back({firsts.front()});
    const int32_t share = std::max(1, budget / static_cast<int32_t>(options.size()));
    size_t chosen = 0;
    int64_t closest = 0;
    for (size_t i = 0; i < options.size(); ++i) {
        // The value for the side to move now: after one stone the opponent is
        // to move, after two this side again.
        int64_t v = JudgeAfter(options[i], share, nullptr);
        if (options[i].size() == 1) v = -v;
        const int64_t distance = std::abs(v + bias);
        if (i == 0 || distance < closest) {
            chosen = i;
            closest = distance;
        }
        if (worker.StopRequested()) break;
    }
    std::string reply;
    for (CellIndex c : options[chosen]) {
        if (!reply.empty()) reply += ' ';
        reply += CellText(c);
    }
    return reply;
}

std::string Engine::Swap2Step() {
    // The board's stones in the order they were played, black first.
    std::vector<BoardEntry> stones;
    for (uint32_t i = 0; i < board->mMoveCount; ++i)
        stones.push_back({board->mMoves[i] % Coord::width, board->mMoves[i] / Coord::width, 1});
    return Swap2(stones);
}

std::string Engine::Offer(bool draw) {
    if (FirstEmptyCell() == kNoCell) return Error("board is full.");
    StartMoveClock();
    EnsureSearch();
    const SearchResult r = ChooseMove(worker, timeControl);
    const CellIndex move = r.move < Coord::area && !IsOccupied(r.move) && !IsForbiddenToMove(r.move) &&
                                   !IsBlockedCell(r.move)
                               ? r.move
                               : FirstPlayableCell();
    // A draw is welcome when the engine stands no better than even; it
    // resigns only a proven loss.
    const bool lost = r.disproof == 0;
    if (draw)
        Message(lost || (r.proof != 0 && r.value <= 0) ? "draw accepted" : "draw declined");
    else
        Message(lost ? "resign" : "no resignation");
    return CellText(move);
}
