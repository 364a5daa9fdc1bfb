// The analysis words (yxboard, prove, defend, dumptree), the node pool behind
// them, and the root threat solver in play: in-process through the command
// interpreter, as the console and the library share it, and through the real
// binary where the reply time or the resident size matters.

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/commandloop.h"
#include "board/threatlist.h"
#include "platform/clock.h"
#include "platform/processmemory.h"
#include "pns/pnnodepool.h"
#include "pns/proofsearch.h"
#include "pns/threatsolver.h"
#include "process_helpers.h"
#include "protocol/engine.h"
#include "search/driver.h"
#include "search/movegen.h"
#include "tests/board_reference.h"
#include "tests/threat_reference.h"

namespace {

using Lines = std::vector<std::string>;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Positions as yxboard lines "x,y,owner": owner 1 is the engine, to move.

// 5 x 5. The opponent wins by continuous fours: (4,3) or (4,4), the block, then
// a double four at the other. The board is too small for an open four, so
// fours are the only threats.
const Lines kFoursAgainst = {"4,1,2", "4,2,2", "0,3,2", "1,3,2",
                             "2,3,2", "1,4,2", "2,4,2", "3,4,2"};
// The same stones for the engine, with a stone of the opponent's in a corner.
const Lines kFoursFor = {"4,1,1", "4,2,1", "0,3,1", "1,3,1", "2,3,1",
                         "1,4,1", "2,4,1", "3,4,1", "0,0,2"};
// A stored self-play game (20 x 20) won by fours and threes, a proof of seven plies.
const Lines kThreesFor = {"10,13,1", "11,9,2", "9,12,1", "10,9,2", "9,13,1",
                          "9,9,2",   "8,9,1",  "8,11,2", "9,14,1", "9,11,2"};
// Two stones each: nothing to win.
const Lines kQuiet = {"8,1,1", "9,2,2", "8,3,1", "9,3,2"};
// Scattered stones: neither side is near a decision, so a proof grows without end.
const Lines kContested = {"11,5,1", "7,6,2",  "9,6,2",  "5,7,1",   "6,7,2",  "6,9,1",   "8,9,2",
                          "6,10,2", "6,11,1", "7,11,2", "10,12,2", "8,13,1", "12,13,1", "13,14,1"};
// A game from the issue: the opponent wins by a long threat sequence after the
// engine's 11,9, and after several other moves too.
const Lines kQuietLoss = {"7,6,1",   "10,13,2", "10,12,1", "11,6,2",
                          "13,11,1", "9,11,2",  "12,10,1", "9,12,2"};

std::string CellText(CellIndex c) {
    return std::to_string(c % Coord::width) + "," + std::to_string(c / Coord::width);
}

// The move of a "WIN x,y" reply, 400 when there is none.
CellIndex WinMove(const std::string& reply) {
    unsigned x = 0, y = 0;
    if (sscanf(reply.c_str(), "WIN %u,%u", &x, &y) != 2) return kNoCell;
    return Coord::xy2z(x, y);
}

std::set<CellIndex> CellSet(const std::string& reply) {
    std::set<CellIndex> cells;
    std::istringstream in(reply);
    std::string item;
    while (in >> item) {
        unsigned x = 0, y = 0;
        if (sscanf(item.c_str(), "%u,%u", &x, &y) == 2) cells.insert(Coord::xy2z(x, y));
    }
    return cells;
}

class AnalysisTest : public ::testing::Test {
  protected:
    Engine engine{ProgramArguments{}};

    void SetUp() override {
        boardref::EnsureTables(20, 20);
        // Room beyond what this process uses, however large a sanitizer makes it.
        engine.maxMemory = static_cast<int32_t>(ResidentMemoryBytes() + 100000000);
    }
    void TearDown() override {
        boardref::EnsureTables(20, 20);
    }

    // The reply's last line; the lines before it are kept in lastDiagnostics.
    std::string Run(const std::string& line) {
        std::string reply = ExecuteLine(engine, line);
        size_t nl = reply.rfind('\n');
        lastDiagnostics = nl == std::string::npos ? "" : reply.substr(0, nl);
        return nl == std::string::npos ? reply : reply.substr(nl + 1);
    }
    // A yxboard list on a fresh board of the given size; every line answers nothing.
    void SetUpPosition(const Lines& stones, int size = 20) {
        ASSERT_EQ(Run("start " + std::to_string(size)), "OK");
        ASSERT_EQ(Run("yxboard"), "");
        for (const std::string& s : stones) ASSERT_EQ(Run(s), "") << s;
        ASSERT_EQ(Run("done"), "");
    }
    std::vector<PnNode*> TreeNodes(PnNode* root) {
        std::vector<PnNode*> nodes{root};
        for (size_t i = 0; i < nodes.size(); ++i)
            for (int c = 0; c < nodes[i]->childCount; ++c) nodes.push_back(nodes[i]->children[c]);
        return nodes;
    }

    std::string lastDiagnostics;
};

// ---------------------------------------------------------------------------
// yxboard

TEST_F(AnalysisTest, YxBoardSetsUpThePositionWithoutSearchingAndPlayOGoesOn) {
    // The list ends with the engine's stone: the engine is still the one to move.
    SetUpPosition({"10,10,2", "11,11,1", "9,9,2", "12,12,1"});
    EXPECT_EQ(engine.board->mMoveCount, 4u);
    EXPECT_EQ(engine.board->mCells[Coord::xy2z(11, 11)], engine.board->mToMove);
    EXPECT_EQ(engine.board->mCells[Coord::xy2z(10, 10)], engine.board->mOpponent);
    EXPECT_EQ(lastDiagnostics, "");
    // A refused list (a cell twice) keeps the position.
    ASSERT_EQ(Run("yxboard"), "");
    Run("3,3,1");
    Run("3,3,2");
    EXPECT_EQ(Run("done"), "ERROR cell is occupied.");
    EXPECT_EQ(engine.board->mMoveCount, 4u);
    // The game goes on by TURN: the opponent's stone, then the engine's reply in
    // the engine's colour.
    const std::string reply = Run("turn 8,8");
    unsigned x = 0, y = 0;
    ASSERT_EQ(sscanf(reply.c_str(), "%u,%u", &x, &y), 2) << reply;
    EXPECT_EQ(engine.board->mCells[Coord::xy2z(8, 8)], engine.board->mCells[Coord::xy2z(10, 10)]);
    EXPECT_EQ(engine.board->mCells[Coord::xy2z(x, y)], engine.board->mCells[Coord::xy2z(11, 11)]);
}

// ---------------------------------------------------------------------------
// prove

TEST_F(AnalysisTest, ProveAnswersWinWithAWinningMoveNowinAndUnknown) {
    struct Case {
        const char* what;
        Lines stones;
        int size;
        const char* command;
        const char* expected;
        bool atOnce;  // answered without a search
    };
    const Case cases[] = {
        {"continuous fours", kFoursFor, 5, "prove 5000", "WIN", false},
        {"fours and threes", kThreesFor, 20, "prove 5000", "WIN", false},
        {"quiet", kQuiet, 20, "prove 5000", "NOWIN", false},
        {"no time", kContested, 20, "prove 0", "UNKNOWN", false},
        {"no stones", {}, 20, "prove", "NOWIN", true},
        {"a five on the board",
         {"3,3,2", "4,3,2", "5,3,2", "6,3,2", "7,3,2", "3,4,1"},
         20,
         "prove 5000",
         "NOWIN",
         true},
        {"full board", {"0,0,1", "1,0,2", "0,1,2", "1,1,1"}, 2, "prove 5000", "NOWIN", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUpPosition(c.stones, c.size);
        const std::string reply = Run(c.command);
        EXPECT_EQ(reply.substr(0, reply.find(' ')), c.expected) << reply;
        const bool searched = lastDiagnostics.find("DEBUG PNS: ") != std::string::npos;
        EXPECT_EQ(searched, !c.atOnce) << lastDiagnostics;
        if (searched) {
            EXPECT_TRUE(std::regex_search(
                lastDiagnostics,
                std::regex("DEBUG PROVE: nodes=\\d+ ms=\\d+ nps=\\d+ pool=\\d+/\\d+")))
                << lastDiagnostics;
        }
        if (std::string(c.expected) != "WIN") continue;

        // The first move wins against every reply.
        const CellIndex move = WinMove(reply);
        ASSERT_LT(move, Coord::area) << reply;
        ASSERT_EQ(engine.board->mCells[move], 0);
        const BoardAI position = *engine.board;
        for (uint32_t r = 0; r < Coord::area; ++r) {
            if (position.mCells[r] || r == move) continue;
            if (c.size == 5) {
                // Fours only: the independent brute force decides.
                BoardAI b = position;
                b.Toggle(move);
                b.Toggle(static_cast<CellIndex>(r));
                ASSERT_TRUE(WinsByFours(b, 3)) << "reply " << CellText(static_cast<CellIndex>(r));
            } else {
                // Threes too: the same position with the reply is won again.
                Lines after = c.stones;
                after.push_back(CellText(move) + ",1");
                after.push_back(CellText(static_cast<CellIndex>(r)) + ",2");
                SetUpPosition(after, c.size);
                ASSERT_EQ(Run("prove 5000").substr(0, 3), "WIN")
                    << "reply " << CellText(static_cast<CellIndex>(r));
            }
        }
    }
}

TEST_F(AnalysisTest, ASecondProveContinuesTheTreeAndAMoveReleasesIt) {
    SetUpPosition(kThreesFor);
    const std::string first = Run("prove 5000");
    ASSERT_EQ(first.substr(0, 3), "WIN");
    PnNode* root = engine.proof.pnRoots[kProofSlotB];
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Run("prove 5000"), first);
    EXPECT_EQ(engine.proof.pnRoots[kProofSlotB], root);
    EXPECT_NE(lastDiagnostics.find("nodes=0 "), std::string::npos) << lastDiagnostics;
    Run("play 0,0");
    EXPECT_EQ(engine.proof.pnRoots[kProofSlotB], nullptr);
    EXPECT_EQ(engine.proof.pnPool->freeCount, engine.proof.pnPool->capacity);
}

// ---------------------------------------------------------------------------
// The pool

// One GML value: a number, a string or a list of key-value pairs.
struct Gml {
    std::string scalar;
    std::vector<std::pair<std::string, Gml>> list;
    bool isList = false;
};

// Parses "key value ..." up to the closing bracket (or the end); false on any
// text that is not GML.
bool ParseGmlList(std::istream& in, Gml& into, bool top) {
    into.isList = true;
    for (;;) {
        std::string key;
        if (!(in >> key)) return top;
        if (key == "]") return !top;
        if (!std::isalpha(static_cast<unsigned char>(key[0]))) return false;
        for (char ch : key)
            if (!std::isalnum(static_cast<unsigned char>(ch))) return false;
        Gml value;
        in >> std::ws;
        const int c = in.peek();
        if (c == '[') {
            in.get();
            if (!ParseGmlList(in, value, false)) return false;
        } else if (c == '"') {
            in.get();
            if (!std::getline(in, value.scalar, '"')) return false;
        } else {
            if (!(in >> value.scalar)) return false;
            char* end = nullptr;
            std::strtod(value.scalar.c_str(), &end);
            if (*end != '\0') return false;
        }
        into.list.emplace_back(key, std::move(value));
    }
}

TEST_F(AnalysisTest, DumpTreeWritesTheTreeAsGml) {
    tamlo_test::TempDir dir;
    const std::string file = dir.File("tree.gml");
    SetUpPosition(kThreesFor);
    EXPECT_EQ(Run("dumptree " + file), "ERROR no proof tree to dump.");
    ASSERT_EQ(Run("prove 5000").substr(0, 3), "WIN");
    ASSERT_EQ(Run("dumptree " + file), "OK");

    std::ifstream in(file);
    Gml document;
    ASSERT_TRUE(ParseGmlList(in, document, true));
    ASSERT_EQ(document.list.size(), 1u);
    ASSERT_EQ(document.list[0].first, "graph");
    std::set<std::string> ids;
    std::vector<std::pair<std::string, std::string>> edges;
    for (const auto& [key, value] : document.list[0].second.list) {
        std::map<std::string, std::string> fields;
        for (const auto& [k, v] : value.list) fields[k] = v.scalar;
        if (key == "node") {
            EXPECT_TRUE(ids.insert(fields["id"]).second) << fields["id"];
        }
        if (key == "edge") edges.emplace_back(fields["source"], fields["target"]);
    }
    const std::vector<PnNode*> nodes = TreeNodes(engine.proof.pnRoots[kProofSlotB]);
    EXPECT_EQ(ids.size(), nodes.size());
    EXPECT_EQ(edges.size(), nodes.size() - 1);
    for (const auto& [source, target] : edges) {
        EXPECT_TRUE(ids.count(source) && ids.count(target)) << source << " -> " << target;
    }

    // An unwritable path answers an error and writes nothing.
    const std::string bad = dir.File("missing/tree.gml");
    EXPECT_EQ(Run("dumptree " + bad), "ERROR cannot write " + bad + ".");
    EXPECT_FALSE(std::ifstream(bad).good());
}

TEST_F(AnalysisTest, APoolThatRunsDryEndsTheProofCleanly) {
    SetUpPosition(kContested);
    engine.AllocSearch();
    engine.searchReady = true;
    CreateProofPool(engine.proof, 2000, 4);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("prove 100000"), "UNKNOWN");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_NE(lastDiagnostics.find("/2000"), std::string::npos) << lastDiagnostics;
    EXPECT_LE(engine.proof.pnPool->peakLive, 2000);
    EXPECT_GT(engine.proof.pnPool->peakLive, 2000 - kMaxArea - 50);
    // Nothing more fits: the tree stays as it is.
    EXPECT_EQ(Run("prove 100000"), "UNKNOWN");
    // A new position starts from an empty pool and is proven in it.
    SetUpPosition(kFoursFor, 5);
    EXPECT_EQ(engine.proof.pnPool->freeCount, 2000);
    EXPECT_EQ(Run("prove 5000").substr(0, 3), "WIN");
}

TEST_F(AnalysisTest, ThePoolHasWhatTheTableLeavesOfTheLimit) {
    // Below what the process already uses: no nodes.
    engine.maxMemory = 1000000;
    engine.AllocSearch();
    EXPECT_EQ(engine.proof.pnPool->capacity, 0);
    // What the process uses, the table and the pool fit in the limit, and the
    // pool takes nearly all the table leaves.
    const long long used = static_cast<long long>(ResidentMemoryBytes());
    const int32_t limit = static_cast<int32_t>(used + 40000000);
    engine.maxMemory = limit;
    engine.AllocSearch();
    const long long table = 24LL * engine.shared.transpositionTable->Size();
    const long long pool = kProofNodeBytes * engine.proof.pnPool->capacity +
                           kProofBoardBytes * (kProofFixedBoards + engine.proof.pnPool->CacheEntries());
    EXPECT_LE(used + table + pool, limit);
    // The engine rounds its own size up to a MiB and keeps 512 KiB for growth;
    // under a sanitizer the process also grows by a few hundred KB between the
    // two measurements. Anything more left unused is a fault.
    EXPECT_GT(used + table + pool, limit - 3000000);
    EXPECT_GT(engine.proof.pnPool->CacheEntries(), 0);
}

// ---------------------------------------------------------------------------
// defend

TEST_F(AnalysisTest, DefendListsEveryMoveThatStopsTheThreats) {
    SetUpPosition(kFoursAgainst, 5);
    const std::string reply = Run("defend 10000");
    // Brute force: every empty cell after which the opponent has no win by fours.
    std::set<CellIndex> expected;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (engine.board->mCells[z]) continue;
        BoardAI b = *engine.board;
        b.Toggle(static_cast<CellIndex>(z));
        if (!WinsByFours(b, 5)) expected.insert(static_cast<CellIndex>(z));
    }
    ASSERT_GT(expected.size(), 1u);
    ASSERT_LT(expected.size(), Coord::area - engine.board->mMoveCount);
    EXPECT_EQ(CellSet(reply), expected) << reply;
    EXPECT_NE(lastDiagnostics.find("threat=1"), std::string::npos) << lastDiagnostics;
    EXPECT_NE(lastDiagnostics.find("open=0"), std::string::npos) << lastDiagnostics;

    // Two fours of the opponent's: no move stops both.
    SetUpPosition({"0,0,2", "1,0,2", "2,0,2", "3,0,2", "0,2,2", "1,2,2", "2,2,2", "3,2,2"}, 7);
    EXPECT_EQ(Run("defend 10000"), "NONE");
    EXPECT_NE(lastDiagnostics.find("threat=1"), std::string::npos) << lastDiagnostics;
    // Nothing to stop.
    SetUpPosition(kQuiet);
    EXPECT_EQ(Run("defend 10000"), "NONE");
    EXPECT_NE(lastDiagnostics.find("threat=0"), std::string::npos) << lastDiagnostics;
}

// ---------------------------------------------------------------------------
// The root threat solver

TEST_F(AnalysisTest, TheSearchOnlyGetsMovesThatSurviveTheOpponentsThreats) {
    SetUpPosition(kQuietLoss);
    ASSERT_EQ(Run("set_maxdepth 4"), "OK");
    engine.AllocSearch();
    engine.searchReady = true;
    BoardAI copy = *engine.board;
    GenerateMoves(copy, GenMode::kFull);
    const std::vector<CellIndex> listed(copy.genMoves, copy.genMoves + copy.genCount);
    DefenceReport report = AnalyseDefences(engine.proof, kSanitized ? 20000 : 3000, listed, false);
    ASSERT_TRUE(report.threat);
    ASSERT_FALSE(report.losing.empty());
    // Each move called losing is lost indeed: the opponent, to move after it,
    // proves its win again.
    for (CellIndex c : report.losing) {
        BoardAI after = *engine.board;
        after.Toggle(c);
        EXPECT_EQ(ProveOn(engine.proof, after, 20000, nullptr, kProofSlotC).proof, 0u) << CellText(c);
    }
    // A move request with the solver on plays none of them, and says which it left out.
    engine.pnsTime = 6000;
    ASSERT_EQ(Run("info timeout_turn 100000"), "");
    engine.timeControl.SetTimeLeft(1000000);
    const SearchResult solved = engine.Search();
    EXPECT_FALSE(std::count(report.losing.begin(), report.losing.end(), solved.move))
        << CellText(solved.move);
    const std::string said = engine.diagnostics.str();
    EXPECT_TRUE(std::regex_search(said, std::regex("DEBUG PNS: threatened; .*; lost: \\d+,\\d+")))
        << said;
    EXPECT_EQ(engine.worker.restrictedCount, 0u);  // for that search only
}

TEST_F(AnalysisTest, ARestrictedRootSearchesOnlyTheGivenMoves) {
    SetUpPosition(kContested);
    engine.AllocSearch();
    engine.searchReady = true;
    BoardAI copy = *engine.board;
    GenerateMoves(copy, GenMode::kFull);
    ASSERT_GE(copy.genCount, 4u);
    // The table first learns the unrestricted root, with its own best move.
    const SearchResult free = IterativeDeepening(engine.worker, copy, nullptr, 4);
    // Two listed moves other than that one, and a cell nobody lists.
    std::vector<CellIndex> given;
    for (uint32_t i = copy.genCount; i-- > 0 && given.size() < 2;)
        if (copy.genMoves[i] != free.move) given.push_back(copy.genMoves[i]);
    given.push_back(Coord::xy2z(19, 0));
    for (const std::vector<CellIndex>& set : {given, std::vector<CellIndex>{Coord::xy2z(19, 0)}}) {
        std::copy(set.begin(), set.end(), engine.worker.restrictedMoves);
        engine.worker.restrictedCount = static_cast<uint32_t>(set.size());
        const SearchResult r = IterativeDeepening(engine.worker, copy, nullptr, 4);
        EXPECT_TRUE(std::count(set.begin(), set.end(), r.move)) << CellText(r.move);
    }
    engine.worker.restrictedCount = 0;
}

TEST(RootSolver, AProvenWinIsPlayedAtOnceWithItsSize) {
    tamlo_test::Session engine;
    ASSERT_EQ(engine.Command("start 20"), "OK");
    engine.WriteLine("info max_memory 2000000000");  // room even for a sanitizer build
    engine.WriteLine("yxboard");
    for (const std::string& s : kThreesFor) engine.WriteLine(s);
    engine.WriteLine("done");
    const std::optional<std::string> proof = engine.Command("prove 5000");
    ASSERT_TRUE(proof && proof->rfind("WIN ", 0) == 0) << proof.value_or("(none)");
    // Time enough for the solver's share even in a sanitizer build.
    ASSERT_EQ(engine.Command("set_pnstime 30000"), "OK");
    engine.WriteLine("info timeout_turn 100000");
    engine.WriteLine("info time_left 10000000");
    engine.WriteLine("board");
    for (const std::string& s : kThreesFor) engine.WriteLine(s);
    Lines diagnostics;
    const std::optional<std::string> move = engine.Command("done", 120, &diagnostics);
    EXPECT_EQ("WIN " + move.value_or(""), *proof);
    bool message = false;
    for (const std::string& l : diagnostics)
        message |=
            std::regex_match(l, std::regex("MESSAGE threat win proven: \\d+ nodes, \\d+ plies"));
    EXPECT_TRUE(message);
    EXPECT_FALSE(std::count_if(diagnostics.begin(), diagnostics.end(), [](const std::string& l) {
        return l.rfind("DEBUG AB", 0) == 0;
    })) << "searched after all";
}

TEST(RootSolver, TheSolverNeverMakesAReplyLate) {
    if (kSanitized) GTEST_SKIP() << "the reserve is too thin for a sanitizer build";
    tamlo_test::Session engine;
    ASSERT_EQ(engine.Command("start 20"), "OK");
    ASSERT_EQ(engine.Command("set_pnstime 100000"), "OK");
    engine.WriteLine("info timeout_turn 300");
    for (const Lines& stones : {kQuietLoss, kContested, kThreesFor}) {
        engine.WriteLine("board");
        for (const std::string& s : stones) engine.WriteLine(s);
        const auto start = std::chrono::steady_clock::now();
        const std::optional<std::string> move = engine.Command("done");
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        ASSERT_TRUE(move) << "no reply";
        EXPECT_LT(ms, 300) << *move;
    }
}

TEST(RootSolver, ALongProveStaysUnderTheMemoryLimit) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' own memory counts in the resident size";
    tamlo_test::Session engine;
    ASSERT_EQ(engine.Command("start 20"), "OK");
    engine.WriteLine("info max_memory 40000000");
    engine.WriteLine("info timeout_turn 300");
    // Searches fill the table first.
    engine.WriteLine("board");
    for (const std::string& s : kContested) engine.WriteLine(s);
    ASSERT_TRUE(engine.Command("done"));
    for (const char* turn : {"turn 10,3", "turn 15,15", "turn 2,2"})
        ASSERT_TRUE(engine.Command(turn));
    engine.WriteLine("yxboard");
    for (const std::string& s : kContested) engine.WriteLine(s);
    engine.WriteLine("done");
    EXPECT_EQ(engine.Command("prove 5000"), "UNKNOWN");  // the pool ran dry
    std::ifstream status("/proc/" + std::to_string(engine.Pid()) + "/status");
    long long peak = -1;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) peak = std::stoll(line.substr(6)) * 1024;
    ASSERT_GT(peak, 0);
    EXPECT_LE(peak, 40000000);
}

TEST(RootSolver, TheWordsWorkThroughTheLibrary) {
    void* handle = dlopen(TAMLO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto open = reinterpret_cast<void (*)()>(dlsym(handle, "open"));
    auto command = reinterpret_cast<const char* (*)(const char*)>(dlsym(handle, "command"));
    auto close = reinterpret_cast<void (*)()>(dlsym(handle, "close"));
    ASSERT_TRUE(open && command && close);
    open();
    EXPECT_STREQ(command("start 5"), "OK");
    EXPECT_EQ(command("info max_memory 2000000000"), nullptr);  // room even for a sanitizer build
    EXPECT_EQ(command("yxboard"), nullptr);
    for (const std::string& s : kFoursAgainst) EXPECT_EQ(command(s.c_str()), nullptr);
    EXPECT_EQ(command("done"), nullptr);
    std::string reply = command("defend 10000");
    reply = reply.substr(reply.rfind('\n') + 1);
    EXPECT_EQ(CellSet(reply).size(), 5u) << reply;
    EXPECT_STREQ(command("set_pnstime 50"), "OK");
    close();
    dlclose(handle);
}

}  // namespace
