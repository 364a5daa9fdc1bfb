// The engine as a whole: the real binary driven through the protocol (time and
// memory limits, self-play, the extension commands, the trace lines and
// messages, refused moves), and an Engine object in-process where the board's
// colours or the table size must be seen from inside.

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/programarguments.h"
#include "app/commandloop.h"
#include "board/coord.h"
#include "process_helpers.h"
#include "protocol/engine.h"
#include "platform/processmemory.h"
#include "referee.h"
#include "search/searchparameters.h"

namespace {

using tamlo_test::Cell;
using tamlo_test::ParseMove;
using tamlo_test::Referee;
using tamlo_test::Session;
using Rows = std::vector<std::string>;
using Lines = std::vector<std::string>;

// What a reply may take beyond the time the engine was given: pipes, process
// scheduling on a busy machine, and the last node searched after the deadline.
// The sanitizer build runs every node several times slower.
constexpr long long kMarginMs = kSanitized ? 2000 : 250;

// The first twelve moves of a game between two engines: nobody has a threat
// that decides the game, so every prefix makes the engine search.
const std::vector<Cell> kMiddleGame = {{10, 10}, {9, 10}, {9, 9},  {10, 9},  {11, 11}, {12, 12},
                                       {8, 8},   {7, 7},  {11, 8}, {11, 12}, {10, 8},  {9, 8}};

struct Reply {
    std::string text;
    Lines diagnostics;
    long long ms = 0;  // from writing the command to reading the reply
};

// Writes the line and reads its reply, timing both.
Reply Timed(Session& engine, const std::string& line) {
    Reply r;
    auto start = std::chrono::steady_clock::now();
    r.text = engine.Command(line, 60, &r.diagnostics).value_or("(no reply)");
    r.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
               .count();
    return r;
}

bool Has(const Lines& lines, const std::string& prefix) {
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) return true;
    return false;
}

// Sends BOARD with the first n moves of the list, the last of them the
// opponent's, so that the engine is to move; the caller sends "done". The
// referee, when given, gets the same stones (1 for the engine, 2 for the other).
void SendMoves(Session& engine, const std::vector<Cell>& moves, size_t n,
               Referee* referee = nullptr) {
    engine.WriteLine("board");
    for (size_t i = 0; i < n; ++i) {
        int owner = (n - 1 - i) % 2 == 0 ? 2 : 1;
        engine.WriteLine(tamlo_test::ToString(moves[i]) + "," + std::to_string(owner));
        if (referee) referee->Place(moves[i], owner);
    }
}

// Sends BOARD with the stones of a diagram: X for the engine (1), O for the
// opponent (2); the caller sends "done".
void SendDiagram(Session& engine, const Rows& rows) {
    engine.WriteLine("board");
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == 'X' || rows[y][x] == 'O')
                engine.WriteLine(std::to_string(x) + "," + std::to_string(y) +
                                 (rows[y][x] == 'X' ? ",1" : ",2"));
}

// A fresh engine process on a 20 x 20 board with the given INFO lines.
void StartEngine(Session& engine, const Lines& infos, int size = 20) {
    ASSERT_EQ(engine.Command("start " + std::to_string(size)), "OK") << engine.Errors();
    for (const std::string& info : infos) engine.WriteLine("info " + info);
}

// The "MESSAGE " lines.
Lines Messages(const Lines& diagnostics) {
    Lines messages;
    for (const std::string& l : diagnostics)
        if (l.rfind("MESSAGE ", 0) == 0) messages.push_back(l);
    return messages;
}

// The depth line, empty when there is none.
std::string DepthLine(const Lines& diagnostics) {
    for (const std::string& l : diagnostics)
        if (l.rfind("DEBUG dep=", 0) == 0) return l;
    return "";
}

// The depth line's numbers: depth and selective depth.
std::optional<std::pair<int, int>> DepthOf(const Lines& diagnostics) {
    static const std::regex depth("DEBUG dep=(\\d+)-(\\d+)( val=-?\\d+)?");
    for (const std::string& l : diagnostics) {
        std::smatch m;
        if (std::regex_match(l, m, depth)) return std::make_pair(std::stoi(m[1]), std::stoi(m[2]));
    }
    return std::nullopt;
}

// The process id of the only running engine child of this test process.
pid_t EngineChildPid() {
    pid_t found = -1;
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return -1;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        long pid = strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0) continue;
        std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        size_t open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::string name = text.substr(open + 1, close - open - 1);
        char state = 0;
        long parent = 0;
        if (sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) != 2) continue;
        // Wine names a Windows process after its file, cut to 15 characters.
        bool engine = name == "pbrain-tamlo" || name == "pbrain-tamlo.ex";
        if (parent == getpid() && engine && state != 'Z') {
            found = static_cast<pid_t>(pid);
            ++count;
        }
    }
    closedir(proc);
    return count == 1 ? found : -1;
}

// A "VmHWM"-style line of /proc/<pid>/status in bytes; -1 when missing.
long long StatusBytes(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) != 0) continue;
        long long kb = -1;
        sscanf(line.c_str() + key.size() + 1, "%lld", &kb);
        return kb * 1024;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Time limits. Each reply is timed from writing the command to reading the
// reply, and may take its limit plus the margin.

TEST(EngineTime, EveryReplyComesWithinTheTurnTime) {
    Session engine;
    StartEngine(engine, {"timeout_turn 300"});
    int searched = 0;
    for (size_t n = 6; n <= kMiddleGame.size(); ++n) {
        Referee referee(20, 20);
        SendMoves(engine, kMiddleGame, n, &referee);
        Reply r = Timed(engine, "done");
        std::optional<Cell> move = ParseMove(r.text);
        ASSERT_TRUE(move && referee.IsLegal(*move)) << n << " moves: " << r.text;
        EXPECT_LT(r.ms, 300 + kMarginMs) << n << " moves";
        searched += Has(r.diagnostics, "DEBUG AB: ");
    }
    // The game goes on by TURN: the opponent takes the first free cell of a ring
    // around the centre.
    Referee referee(20, 20);
    SendMoves(engine, kMiddleGame, kMiddleGame.size(), &referee);
    Reply r = Timed(engine, "done");
    const std::vector<Cell> ring = {{12, 10}, {8, 10}, {10, 12}, {10, 7}, {12, 9},
                                    {8, 11},  {9, 12}, {12, 11}, {7, 9},  {13, 10}};
    for (int turn = 0; turn < 4; ++turn) {
        std::optional<Cell> move = ParseMove(r.text);
        ASSERT_TRUE(move && referee.IsLegal(*move)) << r.text;
        EXPECT_LT(r.ms, 300 + kMarginMs);
        searched += Has(r.diagnostics, "DEBUG AB: ");
        referee.Place(*move, 1);
        Cell next = ring[0];
        for (const Cell& c : ring)
            if (referee.IsEmpty(c)) {
                next = c;
                break;
            }
        referee.Place(next, 2);
        r = Timed(engine, "turn " + tamlo_test::ToString(next));
    }
    // Some of these searches ran long enough to report: the limit was in play.
    EXPECT_GT(searched, 0);
}

TEST(EngineTime, TheTimeLeftInTheMatchCutsTheMoveShort) {
    // With the turn time far above the time left, the time left decides. The
    // classic search takes 1/45 of it less 80 ms, and up to 1/10 in a position
    // it judges bad; the PV search stops at 1/8 of it, less a reserve.
    struct Case {
        const char* setup;
        int divisor;
        int reserve;
    };
    for (const Case& c : {Case{"set_classic 1", 10, 80}, Case{"set_classic 0", 8, 0}}) {
        for (int left : {20000, 2000}) {
            Session engine;
            StartEngine(engine, {"timeout_turn 5000", "timeout_match 300000"});
            ASSERT_EQ(engine.Command(c.setup), "OK");
            const long long budget = left / c.divisor - c.reserve;
            for (size_t n : {8u, 10u, 12u}) {
                engine.WriteLine("info time_left " + std::to_string(left));
                Referee referee(20, 20);
                SendMoves(engine, kMiddleGame, n, &referee);
                Reply r = Timed(engine, "done");
                std::optional<Cell> move = ParseMove(r.text);
                ASSERT_TRUE(move && referee.IsLegal(*move)) << r.text;
                EXPECT_LT(r.ms, budget + kMarginMs) << c.setup << ", " << left << " ms left, " << n
                                                    << " moves";
            }
        }
    }
}

TEST(EngineTime, ZeroTurnTimeAnswersAtOnceWithoutSearching) {
    Session engine;
    StartEngine(engine, {"timeout_turn 0"});
    for (size_t n : {6u, 9u, 12u}) {
        Referee referee(20, 20);
        SendMoves(engine, kMiddleGame, n, &referee);
        Reply r = Timed(engine, "done");
        std::optional<Cell> move = ParseMove(r.text);
        ASSERT_TRUE(move && referee.IsLegal(*move)) << r.text;
        EXPECT_LT(r.ms, kMarginMs);
        EXPECT_FALSE(Has(r.diagnostics, "DEBUG ")) << r.diagnostics.front();
    }
}

TEST(EngineTime, TheFirstRequestAllocatesTheTableWithinTheTurnTime) {
    // The default limit of 104857600 bytes, and a large one.
    for (const Lines& infos :
         {Lines{"timeout_turn 300"}, Lines{"timeout_turn 300", "max_memory 500000000"}}) {
        Session engine;
        StartEngine(engine, infos);
        Referee referee(20, 20);
        SendMoves(engine, kMiddleGame, kMiddleGame.size(), &referee);
        Reply r = Timed(engine, "done");
        std::optional<Cell> move = ParseMove(r.text);
        ASSERT_TRUE(move && referee.IsLegal(*move)) << r.text;
        EXPECT_LT(r.ms, 300 + kMarginMs) << infos.back();
    }
}

// Without a match limit (timeout_match 0, "no limit" for managers) the turn time
// still binds, and with the same reserve: the reply must not come after the
// manager's limit.
TEST(EngineTime, WithoutAMatchLimitTheReplyStillComesBeforeTheTurnTime) {
    if (kSanitized) GTEST_SKIP() << "the reserve is too thin for a sanitizer build";
    Session engine;
    StartEngine(engine, {"timeout_match 0", "timeout_turn 300"});
    for (size_t n : {8u, 10u, 12u}) {
        Referee referee(20, 20);
        SendMoves(engine, kMiddleGame, n, &referee);
        Reply r = Timed(engine, "done");
        ASSERT_TRUE(ParseMove(r.text)) << r.text;
        // The budget aims at 300 - 80 = 220 ms: 80 ms of margin to the limit.
        EXPECT_LT(r.ms, 300) << n << " moves";
    }
}

// ---------------------------------------------------------------------------
// Memory.

TEST(EngineMemory, TheProcessStaysUnderTheMemoryLimit) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory counts in the resident size";
    // The peak resident size after a few searches, with the given INFO lines.
    auto peakAfterSearches = [](const Lines& infos) -> long long {
        Session engine;
        StartEngine(engine, infos);
        for (size_t n = 6; n <= kMiddleGame.size(); ++n) {
            SendMoves(engine, kMiddleGame, n);
            Reply r = Timed(engine, "done");
            if (!ParseMove(r.text)) return -1;
        }
        pid_t pid = EngineChildPid();
        return pid < 0 ? -1 : StatusBytes(pid, "VmHWM");
    };
    const long long limited = peakAfterSearches({"timeout_turn 300", "max_memory 40000000"});
    ASSERT_GT(limited, 0);
    EXPECT_LT(limited, 40000000);
    // Two threads (where the machine has them): the helper's state and stack count.
    const long long twoThreads =
        peakAfterSearches({"timeout_turn 300", "thread_num 2", "max_memory 40000000"});
    ASSERT_GT(twoThreads, 0);
    EXPECT_LT(twoThreads, 40000000);
    // Control: with the default limit the same searches fill a table well beyond
    // that, so the limit is what kept the process small.
    const long long unlimited = peakAfterSearches({"timeout_turn 300"});
    ASSERT_GT(unlimited, 0);
    EXPECT_GT(unlimited, 40000000);
    EXPECT_LT(unlimited, 104857600);
}

// Eight workers, more than most test machines have, so in this process: the
// table leaves room for seven helpers' state and stacks.
TEST(EngineMemory, EightWorkersStayUnderTheMemoryLimit) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory counts in the resident size";
    const long long limit = static_cast<long long>(ResidentMemoryBytes()) + 60000000;
    Engine engine{ProgramArguments{}};
    engine.maxMemory = limit;
    engine.pool.SetThreads(8);
    for (const char* line : {"start 20", "info timeout_match 0", "info timeout_turn 1500"})
        ExecuteLine(engine, line);
    // Open for both sides: nothing decides it within the turn.
    for (const char* line : {"board", "10,10,1", "9,10,2", "9,9,1", "10,9,2", "11,11,1", "12,12,2",
                             "8,8,1", "7,7,2"})
        ExecuteLine(engine, line);
    const std::string reply = ExecuteLine(engine, "done");
    ASSERT_TRUE(ParseMove(reply.substr(reply.rfind('\n') + 1))) << reply;
    EXPECT_GT(engine.shared.helperNodes.load(), 0u);
    const long long peak = StatusBytes(getpid(), "VmHWM");
    ASSERT_GT(peak, 0);
    EXPECT_LT(peak, limit);
}

TEST(EngineMemory, TheTableFollowsTheLimitAndNeverShrinksBelowItsLeast) {
    Engine engine(ProgramArguments{});
    // A limit below what the process already uses: the least size, 100000 bytes'
    // worth.
    engine.maxMemory = 1000000;
    engine.AllocSearch();
    EXPECT_EQ(engine.shared.transpositionTable->Size(), 4082);
    // 40000000 bytes beyond what this process uses: about 98 percent of them,
    // less a reserve of 2097240, in 24-byte entries. The process may grow a
    // little between the two readings.
    const long long used = StatusBytes(getpid(), "VmRSS");
    ASSERT_GT(used, 0);
    engine.maxMemory = used + 40000000;
    engine.AllocSearch();
    const long long bytes = 24LL * engine.shared.transpositionTable->Size();
    EXPECT_LE(bytes, 40000000 - 2097240);
    EXPECT_GT(bytes, 40000000 - 2097240 - 8000000);

    // 0 is the managers' "no limit": the table is sized as without any limit sent.
    // (Not under the sanitizers: their allocator touches each table's pages and
    // keeps freed ones resident, so every table shrinks the next.)
    if (kSanitized) return;
    engine.maxMemory = Engine::kDefaultMaxMemory;
    engine.AllocSearch();
    const int32_t unlimited = engine.shared.transpositionTable->Size();
    engine.maxMemory = 0;
    engine.AllocSearch();
    EXPECT_GT(engine.shared.transpositionTable->Size(), 4082);
    EXPECT_NEAR(engine.shared.transpositionTable->Size(), unlimited, unlimited / 50);
}

TEST(EngineMemory, SixtyFourBitLimitsAndAGuisHashSize) {
    // Not under the sanitizers: their allocator touches the table's pages.
    if (kSanitized) GTEST_SKIP() << "a table of gigabytes";
    Engine engine(ProgramArguments{});
    // 3 GiB as c-gomoku-cli sends it: about 98 percent of it in 24-byte entries,
    // not the least table that 32 bits would have made of it.
    EXPECT_EQ(engine.ParseCommand("info", "max_memory 3221225472"), "");
    engine.AllocSearch();
    const long long bytes = 24LL * engine.shared.transpositionTable->Size();
    EXPECT_GT(bytes, 3000000000LL);
    EXPECT_LT(bytes, 3221225472LL);
    // hash_size (KiB) asks for less within the limit, from the next search on.
    EXPECT_EQ(engine.ParseCommand("info", "hash_size 8192"), "");
    EXPECT_FALSE(engine.searchReady);
    engine.AllocSearch();
    EXPECT_LE(24LL * engine.shared.transpositionTable->Size(), 8192LL * 1024);
    EXPECT_GT(24LL * engine.shared.transpositionTable->Size(), 8000LL * 1024);
}

// ---------------------------------------------------------------------------
// Self-play: two engine processes play each other through the protocol, the
// referee checking every reply.

struct GameResult {
    int winner = 0;  // 1 for the process that began, 2 for the other; 0 none
    bool full = false;
    int moves = 0;
    std::string error;      // a reply that is not a legal move
    std::string afterFull;  // the other engine's reply to the move that filled the board
};

// Plays until a five, a full board, or a bad reply. With playOnAfterFive the
// game goes on to a full board (used on boards where a five is rare).
GameResult PlayGame(int width, int height, bool exactFive, int turnMs, bool playOnAfterFive,
                    Session* engines[2]) {
    GameResult result;
    Referee referee(width, height, exactFive);
    const std::string start =
        width == height ? "start " + std::to_string(width)
                        : "rectstart " + std::to_string(width) + "," + std::to_string(height);
    for (int i = 0; i < 2; ++i) {
        if (engines[i]->Command(start) != "OK") {
            result.error = "start refused";
            return result;
        }
        engines[i]->WriteLine("info timeout_turn " + std::to_string(turnMs));
        if (exactFive) engines[i]->WriteLine("info rule 1");
    }
    std::string line = "begin";
    for (int player = 0;; player = 1 - player) {
        std::string reply = engines[player]->Command(line, 60).value_or("(no reply)");
        std::optional<Cell> move = ParseMove(reply);
        if (!move || !referee.IsLegal(*move)) {
            result.error = "move " + std::to_string(result.moves + 1) + ": " + reply + "\n" +
                           referee.Diagram();
            return result;
        }
        referee.Place(*move, player + 1);
        ++result.moves;
        if (referee.IsFiveAt(*move) && result.winner == 0) {
            result.winner = player + 1;
            if (!playOnAfterFive) return result;
        }
        line = "turn " + tamlo_test::ToString(*move);
        if (referee.Full()) {
            result.full = true;
            result.afterFull = engines[1 - player]->Command(line, 60).value_or("(no reply)");
            return result;
        }
    }
}

TEST(SelfPlay, GamesUnderBothRulesEndWithOnlyLegalReplies) {
    struct Setting {
        int size;
        bool exactFive;
    };
    for (Setting s :
         {Setting{20, false}, Setting{20, true}, Setting{15, false}, Setting{15, true}}) {
        Session first, second;
        Session* engines[2] = {&first, &second};
        GameResult g = PlayGame(s.size, s.size, s.exactFive, 100, false, engines);
        SCOPED_TRACE(std::to_string(s.size) + (s.exactFive ? " rule 1" : " rule 0"));
        EXPECT_EQ(g.error, "");
        // A five, or (rarely, both sides defending well) a full board.
        EXPECT_TRUE(g.winner != 0 || g.moves == s.size * s.size) << g.moves << " moves";
    }
}

TEST(SelfPlay, TinyBoardsFillUpAndThenTheEngineSaysSo) {
    struct Setting {
        int width, height;
    };
    // 4 x 4 holds no five at all; on 5 x 5 and 6 x 5 the game goes on after a
    // five, should one come, so that every board fills up.
    for (Setting s : {Setting{4, 4}, Setting{5, 5}, Setting{6, 5}}) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        Session first, second;
        Session* engines[2] = {&first, &second};
        GameResult g = PlayGame(s.width, s.height, false, 100, true, engines);
        ASSERT_EQ(g.error, "");
        ASSERT_TRUE(g.full);
        EXPECT_EQ(g.moves, s.width * s.height);
        // The engine that gets the last move has no cell left for its reply.
        EXPECT_EQ(g.afterFull, "ERROR board is full.");
        Session& next = g.moves % 2 == 0 ? first : second;
        EXPECT_EQ(next.Command("restart"), "OK");
        // A full board given as a position is answered the same way, and the
        // process goes on.
        next.WriteLine("board");
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                next.WriteLine(std::to_string(x) + "," + std::to_string(y) + "," +
                               std::to_string((x + y) % 2 + 1));
        EXPECT_EQ(next.Command("done"), "ERROR board is full.");
        const std::string centre = std::to_string(s.width / 2) + "," + std::to_string(s.height / 2);
        EXPECT_EQ(next.Command("begin"), centre);
    }
}

// ---------------------------------------------------------------------------
// Extension commands and bookkeeping.

TEST(EngineCommands, MaxDepthLimitsTheDeepening) {
    // Control: with the same time and no limit the deepening goes past depth 5,
    // so the limit below is what stops it.
    if (!kSanitized) {
        Session control;
        StartEngine(control, {"timeout_turn 1000"});
        SendMoves(control, kMiddleGame, kMiddleGame.size());
        Reply r = Timed(control, "done");
        ASSERT_TRUE(DepthOf(r.diagnostics)) << r.text;
        EXPECT_GT(DepthOf(r.diagnostics)->first, 5);
    }
    Session engine;
    StartEngine(engine, {"timeout_turn 1000"});
    EXPECT_EQ(engine.Command("set_maxdepth 4"), "OK");
    SendMoves(engine, kMiddleGame, kMiddleGame.size());
    Reply r = Timed(engine, "done");
    ASSERT_TRUE(ParseMove(r.text)) << r.text;
    // The last iteration is one deeper than the limit.
    ASSERT_TRUE(DepthOf(r.diagnostics));
    EXPECT_LE(DepthOf(r.diagnostics)->first, 5);
    // No digits: the limit becomes 0, and only the first iteration, depth 2, runs.
    EXPECT_EQ(engine.Command("set_maxdepth abc"), "OK");
    SendMoves(engine, kMiddleGame, 10);
    r = Timed(engine, "done");
    ASSERT_TRUE(ParseMove(r.text)) << r.text;
    ASSERT_TRUE(DepthOf(r.diagnostics));
    EXPECT_LE(DepthOf(r.diagnostics)->first, 2);
}

// set_eval: back on learned (the default) after classic, a fixed-depth search
// is the one of an engine that never left it (same move, same node count);
// classic changes the tree; another word is refused.
TEST(EngineCommands, SetEvalChoosesTheEvaluation) {
    struct Result {
        std::string move, nodes;
    };
    auto search = [](const std::vector<std::string>& settings) {
        Session engine;
        StartEngine(engine, {"timeout_turn 20000"});
        for (const std::string& s : settings) EXPECT_EQ(engine.Command(s), "OK") << s;
        EXPECT_EQ(engine.Command("set_maxdepth 6"), "OK");
        SendMoves(engine, kMiddleGame, 10);
        Result r{Timed(engine, "done").text, engine.Command("searchdump").value_or("")};
        EXPECT_EQ(engine.Command("set_eval fancy").value_or("").rfind("ERROR", 0), 0u);
        return r;
    };
    const Result learned = search({});
    const Result back = search({"set_eval classic", "set_eval learned"});
    const Result classic = search({"set_eval classic"});
    EXPECT_EQ(back.move, learned.move);
    EXPECT_EQ(back.nodes, learned.nodes);
    EXPECT_TRUE(ParseMove(classic.move)) << classic.move;
    EXPECT_NE(classic.nodes, learned.nodes);
}

TEST(EngineCommands, AGuisDepthAndNodeLimitsBoundTheSearch) {
    static const std::regex count("moves proceeed (\\d+)");
    auto moves = [](Session& engine) {
        std::smatch m;
        const std::string line = engine.Command("searchdump").value_or("");
        return std::regex_match(line, m, count) ? std::stoll(m[1]) : -1LL;
    };
    Session engine;
    // Time enough for a far deeper search: the limits stop it.
    StartEngine(engine, {"timeout_turn 5000", "max_depth 4"});
    SendMoves(engine, kMiddleGame, kMiddleGame.size());
    Reply r = Timed(engine, "done");
    ASSERT_TRUE(ParseMove(r.text)) << r.text;
    ASSERT_TRUE(DepthOf(r.diagnostics));
    EXPECT_LE(DepthOf(r.diagnostics)->first, 4);

    engine.WriteLine("info max_depth 0");
    engine.WriteLine("info max_node 3000");
    SendMoves(engine, kMiddleGame, kMiddleGame.size() - 2);
    const long long before = moves(engine);
    r = Timed(engine, "done");
    ASSERT_TRUE(ParseMove(r.text)) << r.text;
    // The board's own stones and the last node's subtree come on top.
    EXPECT_LE(moves(engine) - before, 3000 + 1000);
    EXPECT_LT(r.ms, 2500);
}

TEST(EngineCommands, RandomMovesRepeatFromRunToRunAndSkipTheSearch) {
    struct Run {
        Lines moves;
        bool anyDebug = false;
    };
    auto play = [](bool random) {
        Run run;
        Session engine;
        StartEngine(engine, {"timeout_turn 200"});
        if (random) {
            EXPECT_EQ(engine.Command("set_randommoveprobability 100"), "OK");
        }
        for (size_t n = 5; n <= kMiddleGame.size(); ++n) {
            Referee referee(20, 20);
            SendMoves(engine, kMiddleGame, n, &referee);
            Reply r = Timed(engine, "done");
            std::optional<Cell> move = ParseMove(r.text);
            EXPECT_TRUE(move && referee.IsLegal(*move)) << r.text;
            run.moves.push_back(r.text);
            run.anyDebug = run.anyDebug || Has(r.diagnostics, "DEBUG ");
        }
        return run;
    };
    const Run first = play(true), second = play(true), searched = play(false);
    EXPECT_EQ(first.moves, second.moves);
    // A random candidate is played without a search, so no search lines.
    EXPECT_FALSE(first.anyDebug);
    EXPECT_TRUE(searched.anyDebug);
    EXPECT_NE(first.moves, searched.moves);
}

TEST(EngineCommands, SearchDumpCountsTheMovesMadeOnAnyBoard) {
    Session engine;
    ASSERT_TRUE(engine.WriteLine("searchdump"));
    EXPECT_EQ(engine.ReadLine(), "moves proceeed 0");
    // The first move request also pays for the time since the process started,
    // which a busy machine makes long: a turn time well above it.
    StartEngine(engine, {"timeout_turn 1000"});
    SendMoves(engine, kMiddleGame, kMiddleGame.size());
    ASSERT_TRUE(ParseMove(Timed(engine, "done").text));
    static const std::regex count("moves proceeed (\\d+)");
    std::smatch m;
    engine.WriteLine("searchdump");
    std::string after = engine.ReadLine().value_or("");
    ASSERT_TRUE(std::regex_match(after, m, count)) << after;
    const unsigned long first = std::stoul(m[1]);
    // Far more than the stones on the board: the search made its moves too.
    EXPECT_GT(first, 1000u);
    ASSERT_TRUE(ParseMove(Timed(engine, "turn 12,10").text));
    engine.WriteLine("searchdump");
    after = engine.ReadLine().value_or("");
    ASSERT_TRUE(std::regex_match(after, m, count)) << after;
    EXPECT_GT(std::stoul(m[1]), first);
}

TEST(EngineCommands, InBoardModeSearchDumpIsAnsweredWhileEndIsCollected) {
    // Transcript: board, 10,10,1, searchdump, end, 11,11,2, done; the collected
    // "end" is no stone, so DONE refuses the list, and the engine goes on.
    Session engine;
    StartEngine(engine, {"timeout_turn 200"});
    engine.WriteLine("board");
    engine.WriteLine("10,10,1");
    engine.WriteLine("searchdump");
    EXPECT_EQ(engine.ReadLine(), "moves proceeed 0");
    engine.WriteLine("end");
    engine.WriteLine("11,11,2");
    EXPECT_EQ(engine.Command("done"), "ERROR a board line is not x,y,owner (owner 1, 2 or 3).");
    // The program did not stop at the collected "end"; a real one ends it.
    EXPECT_EQ(engine.Command("start 20"), "OK");
    engine.WriteLine("end");
    EXPECT_EQ(engine.Wait(), 0);
    EXPECT_EQ(engine.RemainingOutput(), "");
}

TEST(EngineCommands, EachBeginStartsAFreshGame) {
    Session engine;
    ASSERT_EQ(engine.Command("start 20"), "OK");
    engine.WriteLine("info timeout_turn 200");
    // On an empty board the first stone goes to the centre; a second BEGIN
    // finds the board empty again.
    EXPECT_EQ(engine.Command("begin"), "10,10");
    EXPECT_EQ(engine.Command("begin"), "10,10");
    ASSERT_EQ(engine.Command("start 15"), "OK");
    EXPECT_EQ(engine.Command("begin"), "7,7");
    std::optional<Cell> move = ParseMove(engine.Command("turn 8,8").value_or(""));
    ASSERT_TRUE(move);
    EXPECT_FALSE(*move == (Cell{7, 7}) || *move == (Cell{8, 8}));
    EXPECT_EQ(engine.Command("begin"), "7,7");
}

// ---------------------------------------------------------------------------
// Trace lines and messages.

TEST(EngineMessages, TheSearchLinesHaveTheirFormatAndComeBeforeTheMove) {
    Session engine;
    StartEngine(engine, {"timeout_turn 300"});
    // Eight stones: the full middle game is a win the search can prove in time.
    SendMoves(engine, kMiddleGame, 8);
    ASSERT_TRUE(engine.WriteLine("done"));
    // Read the raw lines: the diagnostics, then at once the move.
    Lines lines;
    while (lines.empty() || !ParseMove(lines.back())) {
        std::optional<std::string> line = engine.ReadLine(30);
        ASSERT_TRUE(line) << "so far: " << lines.size() << " lines";
        lines.push_back(*line);
    }
    ASSERT_GE(lines.size(), 3u);
    const Lines diagnostics(lines.begin(), lines.end() - 1);
    static const std::regex depth("DEBUG dep=(\\d+)-(\\d+)( val=-?\\d+)?");
    static const std::regex speed("DEBUG AB: \\d+, speed:\\d+/s");
    // A 220 ms search of an open position: both lines, the depth line first.
    ASSERT_EQ(diagnostics.size(), 2u) << lines.front();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(diagnostics[0], m, depth)) << diagnostics[0];
    EXPECT_LE(std::stoi(m[1]), std::stoi(m[2]));  // never deeper than the deepest node
    EXPECT_TRUE(m[3].matched) << "an undecided position has a value";
    EXPECT_TRUE(std::regex_match(diagnostics[1], speed)) << diagnostics[1];
}

TEST(EngineMessages, TheVictoryPictureWhenTheEngineCompletesFive) {
    Session engine;
    ASSERT_EQ(engine.Command("start 20"), "OK");
    SendDiagram(engine, {
                            "....................",
                            ".....OOO............",
                            "....................",
                            "..........O.........",
                            "......XXXX..........",
                        });
    Reply r = Timed(engine, "done");
    EXPECT_TRUE(r.text == "5,4" || r.text == "10,4") << r.text;
    ASSERT_EQ(r.diagnostics.size(), 11u);
    for (const std::string& l : r.diagnostics) EXPECT_EQ(l.rfind("MESSAGE ", 0), 0u) << l;
}

TEST(EngineMessages, TheGeneratorsOwnVerdictsGetDoubleFaces) {
    // An open three against nothing: won, no five yet.
    {
        Session engine;
        ASSERT_EQ(engine.Command("start 20"), "OK");
        SendDiagram(engine, {
                                "....................",
                                "...O................",
                                "...............O....",
                                "....................",
                                "......XXX...........",
                                "....................",
                                "..........O.........",
                            });
        Reply r = Timed(engine, "done");
        EXPECT_TRUE(r.text == "5,4" || r.text == "9,4") << r.text;
        EXPECT_EQ(r.diagnostics, (Lines{"MESSAGE :-))"}));
    }
    // The opponent's open four: lost whatever the engine blocks.
    {
        Session engine;
        ASSERT_EQ(engine.Command("start 20"), "OK");
        SendDiagram(engine, {
                                "....................",
                                "...X................",
                                "...............X....",
                                "....................",
                                "......OOOO..........",
                                "....................",
                                "..........X.........",
                            });
        Reply r = Timed(engine, "done");
        EXPECT_TRUE(r.text == "5,4" || r.text == "10,4") << r.text;
        EXPECT_EQ(r.diagnostics, (Lines{"MESSAGE :-(("}));
    }
}

// X wins by fours from (12,10) (the four forces (12,12), after which X has two
// threats); the generator alone does not see it, the search does.
const Rows kWonBySearch = {
    "....................", "..................O.", "....................", "....................",
    "....................", "....................", "....................", "........O...........",
    "....................", "............X.......", ".....X...X...X......", ".....O......XO......",
    ".......OXO.O........", ".......X.X..X.......", "....................", "....................",
    "....................", "....................", ".O................O.",
};

// O has two separate wins by fours (three fours each, from (3,5) and from
// (16,14)); X has no four, and no X move stops both.
const Rows kLostBySearch = {
    "..........X.........", ".......O.........X..", "......O.............", "...............X....",
    "....................", "XOO.................", "...O.O..............", "...O.O..............",
    "...O...............X", "...X................", "................X...", "................O...",
    "X.............O.O...", "..............O.O...", ".................OOX", "....................",
    "..X.................", ".............O......", "....X.......O.......",
};

TEST(EngineMessages, ASearchThatProvesTheResultSaysSo) {
    {
        Referee referee = Referee::FromDiagram(kWonBySearch, 20, 20);
        ASSERT_EQ(referee.WinningFourStarts(1, 6), (std::vector<Cell>{{12, 10}}));
        Session engine;
        StartEngine(engine, {"timeout_turn 1000"});
        SendDiagram(engine, kWonBySearch);
        Reply r = Timed(engine, "done");
        EXPECT_EQ(r.text, "12,10");
        // Not the generator's ":-))": it does not see this win by itself.
        EXPECT_EQ(Messages(r.diagnostics), (Lines{"MESSAGE :-)"}));
        // A proven result has no value on the depth line.
        ASSERT_TRUE(DepthOf(r.diagnostics));
        EXPECT_EQ(DepthLine(r.diagnostics).find(" val="), std::string::npos)
            << DepthLine(r.diagnostics);
    }
    {
        Referee referee = Referee::FromDiagram(kLostBySearch, 20, 20);
        ASSERT_TRUE(referee.FourCells(1).empty());
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                if (!referee.IsEmpty({x, y})) continue;
                referee.Place({x, y}, 1);
                ASSERT_TRUE(referee.WinsByFours(2, 4)) << "X holds with " << x << "," << y;
                referee.Remove({x, y});
            }
        Session engine;
        StartEngine(engine, {"timeout_turn 1000"});
        SendDiagram(engine, kLostBySearch);
        Reply r = Timed(engine, "done");
        std::optional<Cell> move = ParseMove(r.text);
        EXPECT_TRUE(move && referee.IsLegal(*move)) << r.text;
        EXPECT_EQ(Messages(r.diagnostics), (Lines{"MESSAGE :-("}));
        EXPECT_EQ(DepthLine(r.diagnostics).find(" val="), std::string::npos)
            << DepthLine(r.diagnostics);
    }
}

// ---------------------------------------------------------------------------
// Colours: the engine's reply gets the colour of the engine's own stones.
// Seen in-process, on the engine's board.

class EngineColours : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(engine.ParseCommand("start", "20"), "OK");
        engine.ParseCommand("info", "timeout_turn 200");
    }
    int StoneAt(int x, int y) const {
        return engine.board
            ->mCells[Coord::xy2z(static_cast<uint32_t>(x), static_cast<uint32_t>(y))];
    }
    int StoneAt(const Cell& c) const { return StoneAt(c.x, c.y); }
    // The reply's cell, after checking that it is a move.
    Cell MoveOf(const std::string& reply) {
        std::optional<Cell> move = ParseMove(reply);
        EXPECT_TRUE(move) << reply;
        return move.value_or(Cell{0, 0});
    }

    Engine engine{ProgramArguments{}};
};

TEST_F(EngineColours, AfterPlayTheReplyHasTheColourOfThePlayedStone) {
    EXPECT_EQ(engine.ParseCommand("play", "5,6"), "5,6");
    Cell reply = MoveOf(engine.ParseCommand("turn", "6,7"));
    ASSERT_NE(StoneAt(5, 6), 0);
    ASSERT_NE(StoneAt(6, 7), 0);
    EXPECT_NE(StoneAt(5, 6), StoneAt(6, 7));
    EXPECT_EQ(StoneAt(reply), StoneAt(5, 6));
}

TEST_F(EngineColours, ABoardListEndingWithTheEnginesStone) {
    // Transcript: board, 10,10,2, 11,11,1, done.
    for (const char* line : {"board", "10,10,2", "11,11,1"}) engine.ParseCommand(line, "");
    Cell reply = MoveOf(engine.ParseCommand("done", ""));
    ASSERT_NE(StoneAt(10, 10), 0);
    EXPECT_NE(StoneAt(10, 10), StoneAt(11, 11));
    EXPECT_EQ(StoneAt(reply), StoneAt(11, 11));
    // And a longer one, the engine's stones first and last.
    for (const char* line : {"board", "5,5,1", "6,6,2", "7,7,1", "8,5,2", "9,9,1"})
        engine.ParseCommand(line, "");
    reply = MoveOf(engine.ParseCommand("done", ""));
    EXPECT_EQ(StoneAt(reply), StoneAt(5, 5));
    EXPECT_EQ(StoneAt(reply), StoneAt(9, 9));
    EXPECT_NE(StoneAt(reply), StoneAt(6, 6));
}

TEST_F(EngineColours, LoadAnswersForTheSideToMoveInTheFile) {
    tamlo_test::TempDir dir;
    // Move files count from 1: these are (10,10), (11,11), (0,19).
    std::string odd = dir.WriteFile("odd.psq", "Tamlo 20x20\n11,11,0\n12,12,0\n1,20,0\n");
    Cell reply = MoveOf(engine.ParseCommand("load", odd));
    // After three moves the second player is to move.
    EXPECT_EQ(StoneAt(reply), StoneAt(11, 11));
    EXPECT_NE(StoneAt(reply), StoneAt(10, 10));
    EXPECT_EQ(StoneAt(10, 10), StoneAt(0, 19));
    std::string even = dir.WriteFile("even.psq", "Tamlo 20x20\n11,11,0\n12,12,0\n");
    reply = MoveOf(engine.ParseCommand("load", even));
    EXPECT_EQ(StoneAt(reply), StoneAt(10, 10));
    EXPECT_NE(StoneAt(reply), StoneAt(11, 11));
}

TEST_F(EngineColours, EveryOwnerKeepsOneColourWhateverTheOrderOfTheList) {
    engine.ParseCommand("info", "timeout_turn 0");  // the generator's first choice, at once
    // Board lists in a scrambled order of owners (runs of one owner included),
    // each followed by a few turns: every stone of an owner has one colour, and
    // the engine's replies have its own.
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 40; ++round) {
        Referee referee(20, 20);
        std::vector<std::pair<Cell, int>> stones;
        engine.ParseCommand("board", "");
        const unsigned count = 1 + next(12);
        while (stones.size() < count) {
            Cell c{static_cast<int>(4 + next(12)), static_cast<int>(4 + next(12))};
            if (!referee.IsEmpty(c)) continue;
            int owner = static_cast<int>(1 + next(2));
            referee.Place(c, owner);
            stones.push_back({c, owner});
            engine.ParseCommand(tamlo_test::ToString(c) + "," + std::to_string(owner), "");
        }
        std::string reply = engine.ParseCommand("done", "");
        for (int turn = 0; turn < 3; ++turn) {
            std::optional<Cell> move = ParseMove(reply);
            ASSERT_TRUE(move && referee.IsLegal(*move)) << round << ": " << reply;
            referee.Place(*move, 1);
            stones.push_back({*move, 1});
            Cell c;
            do c = {static_cast<int>(next(20)), static_cast<int>(next(20))};
            while (!referee.IsEmpty(c));
            referee.Place(c, 2);
            stones.push_back({c, 2});
            reply = engine.ParseCommand("turn", tamlo_test::ToString(c));
        }
        std::optional<Cell> last = ParseMove(reply);
        ASSERT_TRUE(last && referee.IsLegal(*last)) << round << ": " << reply;
        stones.push_back({*last, 1});
        int colour[3] = {0, 0, 0};
        for (const auto& [c, owner] : stones) {
            int stone = StoneAt(c);
            ASSERT_NE(stone, 0) << round;
            if (!colour[owner]) colour[owner] = stone;
            EXPECT_EQ(stone, colour[owner])
                << "round " << round << ", owner " << owner << " at " << tamlo_test::ToString(c);
        }
        EXPECT_NE(colour[1], colour[2]) << round;
    }
}

// ---------------------------------------------------------------------------
// Occupied cells are refused, and the game goes on.

TEST(OccupiedCells, ATurnOnAnOccupiedCellIsRefused) {
    Session engine;
    StartEngine(engine, {"timeout_turn 200"});
    EXPECT_EQ(engine.Command("begin"), "10,10");
    EXPECT_EQ(engine.Command("turn 10,10"), "ERROR cell is occupied.");
    Referee referee(20, 20);
    referee.Place({10, 10}, 1);
    referee.Place({11, 11}, 2);
    std::optional<Cell> move = ParseMove(engine.Command("turn 11,11").value_or(""));
    ASSERT_TRUE(move && referee.IsLegal(*move));
    referee.Place(*move, 1);
    // Its own last stone and the opponent's are both refused.
    EXPECT_EQ(engine.Command("turn " + tamlo_test::ToString(*move)), "ERROR cell is occupied.");
    EXPECT_EQ(engine.Command("turn 11,11"), "ERROR cell is occupied.");
    move = ParseMove(engine.Command("turn 3,3").value_or(""));
    EXPECT_TRUE(move && referee.IsLegal(*move));
}

TEST(OccupiedCells, ABoardListNamingACellTwiceKeepsThePreviousGame) {
    Session engine;
    StartEngine(engine, {"timeout_turn 200"});
    EXPECT_EQ(engine.Command("begin"), "10,10");
    std::optional<Cell> move = ParseMove(engine.Command("turn 11,11").value_or(""));
    ASSERT_TRUE(move);
    // Transcript: board, 5,5,1, 6,6,2, 5,5,2, done.
    for (const char* line : {"board", "5,5,1", "6,6,2", "5,5,2"}) engine.WriteLine(line);
    EXPECT_EQ(engine.Command("done"), "ERROR cell is occupied.");
    // The previous game's stones are still there, and (5,5) is not.
    EXPECT_EQ(engine.Command("turn 10,10"), "ERROR cell is occupied.");
    EXPECT_EQ(engine.Command("turn " + tamlo_test::ToString(*move)), "ERROR cell is occupied.");
    Referee referee(20, 20);
    referee.Place({10, 10}, 1);
    referee.Place({11, 11}, 2);
    referee.Place(*move, 1);
    referee.Place({5, 5}, 2);
    std::optional<Cell> next = ParseMove(engine.Command("turn 5,5").value_or(""));
    EXPECT_TRUE(next && referee.IsLegal(*next));
}

// ---------------------------------------------------------------------------
// Search parameters: INFO param_<name> sets one, "params" lists them. Seen
// in-process, where the search's own count of moves shows that a value reached
// the search.

class EngineParameters : public ::testing::Test {
  protected:
    void SetUp() override {
        // Room beyond what this process uses: the table keeps one size throughout.
        engine.maxMemory = static_cast<int32_t>(ResidentMemoryBytes() + 100000000);
        ASSERT_EQ(engine.ParseCommand("start", "20"), "OK");
        engine.ParseCommand("info", "timeout_turn 60000");
        ASSERT_EQ(engine.ParseCommand("set_maxdepth", "8"), "OK");
    }
    // The MESSAGE lines of one INFO line.
    std::string Info(const std::string& argument) {
        engine.diagnostics.str(std::string());
        engine.ParseCommand("info", argument);
        return engine.diagnostics.str();
    }
    // Moves made by a fixed-depth search of the middle game from an empty
    // table and history, so that only the parameters differ between searches.
    uint32_t SearchedMoves() {
        engine.worker.history.Clear();
        if (engine.shared.transpositionTable) engine.shared.transpositionTable->ClearTable();
        engine.ParseCommand("board", "");
        for (size_t i = 0; i < 10; ++i)
            engine.ParseCommand(
                tamlo_test::ToString(kMiddleGame[i]) + "," + std::to_string(i % 2 == 1 ? 2 : 1),
                "");
        const uint32_t before = engine.worker.nodeCounter;
        EXPECT_TRUE(ParseMove(engine.ParseCommand("done", "")));
        return engine.worker.nodeCounter - before;
    }

    Engine engine{ProgramArguments{}};
};

// One parameter of each place the search reads them (the tables it builds,
// the node, the root, the deepening), set away from its default and back.
TEST_F(EngineParameters, EachValueReachesTheSearchAndTheDefaultRestoresItsCount) {
    const struct {
        const char* name;
        const char* value;
    } rows[] = {
        {"reduction_scale", "150"},  {"move_limit_base", "80"},   {"reduction_offset", "-16"},
        {"four_cost", "16"},         {"futility_margin", "5"},    {"reduction_pv", "0"},
        {"list_limit_offset", "2"},  {"root_reduction_first", "6"}, {"aspiration_delta", "2"},
        {"reduce_tactical", "1"},    {"reduction_not_improving", "16"},
        {"learned_order", "0"},      {"learned_tactical_first", "0"},
        {"prune_tactical", "1"},     {"iir_depth", "48"},
        {"reduction_after_alpha", "16"}, {"singular_depth", "64"},
    };
    const uint32_t reference = SearchedMoves();
    for (const auto& row : rows) {
        const std::string key = std::string("param_") + row.name + " ";
        EXPECT_EQ(Info(key + row.value), "");
        EXPECT_NE(SearchedMoves(), reference) << row.name;
        const SearchParameterSpec* entry = FindSearchParameter(row.name);
        ASSERT_NE(entry, nullptr) << row.name;
        EXPECT_EQ(Info(key + std::to_string(entry->defaultValue)), "");
        EXPECT_EQ(SearchedMoves(), reference) << row.name;
    }
    EXPECT_EQ(engine.shared.parameters, SearchParameters());
}

TEST_F(EngineParameters, AValueOutsideTheRangeOrNoIntegerIsRefusedAndChangesNothing) {
    const struct {
        const char* argument;
        const char* message;  // empty: ignored in silence, as an unknown key
    } rows[] = {
        {"param_reduction_scale 201",
         "INFO param_reduction_scale ignored: 201 is outside 20..200."},
        {"param_reduction_scale 19", "INFO param_reduction_scale ignored: 19 is outside 20..200."},
        {"param_reduction_offset -33",
         "INFO param_reduction_offset ignored: -33 is outside -32..32."},
        {"param_four_cost 99999999999999999999",
         "INFO param_four_cost ignored: 99999999999999999999 is outside 4..16."},
        {"param_four_cost 12.5", "INFO param_four_cost ignored: \"12.5\" is not an integer."},
        {"param_four_cost 12x", "INFO param_four_cost ignored: \"12x\" is not an integer."},
        {"param_four_cost -", "INFO param_four_cost ignored: \"-\" is not an integer."},
        {"param_four_cost_ 12", ""},
        {"param_ 12", ""},
    };
    for (const auto& row : rows) {
        const std::string expected =
            *row.message ? "MESSAGE " + std::string(row.message) + "\n" : std::string();
        EXPECT_EQ(Info(row.argument), expected) << row.argument;
        EXPECT_EQ(engine.shared.parameters, SearchParameters()) << row.argument;
    }
    // The bounds themselves are in the range.
    EXPECT_EQ(Info("param_reduction_offset -32"), "");
    EXPECT_EQ(engine.shared.parameters.reductionOffset, -32);
    EXPECT_EQ(Info("param_reduction_scale 200"), "");
    EXPECT_EQ(engine.shared.parameters.reductionScale, 200);
}

TEST_F(EngineParameters, ParamsListsEveryParameterWithItsValueInMessageLines) {
    EXPECT_EQ(Info("param_four_cost 13"), "");
    const std::string text = ExecuteLine(engine, "params");
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    std::istringstream in(text);
    std::string line;
    size_t count = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(count, kSearchParameterCount);
        const SearchParameterSpec& p = kSearchParameterTable[count++];
        const int32_t value = p.field == &SearchParameters::fourCost ? 13 : p.defaultValue;
        EXPECT_EQ(line.rfind("MESSAGE param_" + std::string(p.name) + " " + std::to_string(value) +
                                 " (default " + std::to_string(p.defaultValue) + ", " +
                                 std::to_string(p.min) + ".." + std::to_string(p.max) + "): ",
                             0),
                  0u)
            << line;
    }
    EXPECT_EQ(count, kSearchParameterCount);
}

}  // namespace
