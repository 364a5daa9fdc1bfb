// Two searches side by side, each with its own worker and table, must run as
// each runs alone: the same moves, values and node counts. Any mutable state
// the two still shared (a cache, a counter, a generator) would mix them up, and
// under ThreadSanitizer (make tsan-test) it is also reported as a data race.
// The table itself is shared by threads that store and probe it at once, and
// an engine's pool of 2 or 4 workers searches over it, is stopped in the
// middle, and ends in the middle.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/commandloop.h"
#include "board/boardai.h"
#include "board/coord.h"
#include "platform/processmemory.h"
#include "pns/proofsearch.h"
#include "protocol/engine.h"
#include "search/driver.h"
#include "search/searchshared.h"
#include "search/searchworker.h"
#include "search/transpositiontable.h"
#include "tests/position_builder.h"

namespace {

using Rows = std::vector<std::string>;

// A quiet middle game, X to move, where the search spreads wide...
const Rows kMiddleGame = {
    "....................", "....................", "....................",
    "....................", "....................", "....................",
    "........O...........", ".......XX...........", "........XO..........",
    ".........O..........", "..........X.........",
};

// ...and O to move against X's threats, where the forcing search and the
// proof search have work.
const Rows kThreats = {
    "....................", "....................", "....................", "....................",
    "....................", "....................", "....................", "........O...........",
    "....................", "............X.......", ".....X...X..........", ".....O......XO......",
    ".......OXO.O........", ".......X.X..X.......",
};

struct Outcome {
    CellIndex move = kNoCell;
    int32_t value = 0;
    uint32_t nodes = 0;
    std::string depthLine;  // the search's own "dep=" line
    SearchResult proof{};
    uint32_t evaluations = 0;
    uint32_t stones = 0;  // placed by both searches
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.move == b.move && a.value == b.value && a.nodes == b.nodes &&
           a.depthLine == b.depthLine && a.proof.move == b.proof.move &&
           a.proof.proof == b.proof.proof && a.proof.disproof == b.proof.disproof &&
           a.evaluations == b.evaluations && a.stones == b.stones;
}

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << "move " << o.move << " value " << o.value << " nodes " << o.nodes << " ["
              << o.depthLine << "] proof " << o.proof.proof << "/" << o.proof.disproof << " at "
              << o.proof.move << ", " << o.evaluations << " evaluations, " << o.stones << " stones";
}

// Everything one search owns, set up as an engine would: a table of its own,
// a worker, the position, and a proof search with its pool.
Outcome SearchAlone(const Rows& rows, int toMove, int32_t depth) {
    SearchShared shared;
    shared.transpositionTable = std::make_unique<TranspositionTable>(1 << 16);
    std::stringstream diagnostics;
    SearchWorker worker(shared, diagnostics);
    BoardAI position;
    PlaceDiagram(position, rows, toMove);
    worker.SetPosition(position);
    ProofSearcher proof(worker);
    proof.SetPosition(position);
    CreateProofPool(proof, 5000, 16);

    Outcome outcome;
    BoardAI board = *worker.board;
    const SearchResult result = IterativeDeepening(worker, board, nullptr, depth);
    outcome.move = result.move;
    outcome.value = result.value;
    outcome.nodes = worker.nodeCounter;
    std::string line;
    while (std::getline(diagnostics, line))
        if (line.find("dep=") != std::string::npos) outcome.depthLine = line;
    outcome.proof = ProveWinResult(proof, 1000000);
    outcome.evaluations = proof.pnEvaluationCounter;
    outcome.stones = worker.nodeCounter;
    return outcome;
}

TEST(ParallelSearchTest, TwoWorkersOnTwoThreadsSearchAsEachDoesAlone) {
    const Outcome middleAlone = SearchAlone(kMiddleGame, 1, 5);
    const Outcome threatsAlone = SearchAlone(kThreats, 2, 5);
    ASSERT_GT(middleAlone.nodes, 1000u) << "a search worth the name";
    ASSERT_NE(middleAlone.nodes, threatsAlone.nodes);

    Outcome middle, threats;
    std::thread first([&] { middle = SearchAlone(kMiddleGame, 1, 5); });
    std::thread second([&] { threats = SearchAlone(kThreats, 2, 5); });
    first.join();
    second.join();
    EXPECT_EQ(middle, middleAlone);
    EXPECT_EQ(threats, threatsAlone);
}

// What a store of a key at a depth writes, all derived from the two, so that a
// probe can tell data of its own key (and of one store) from any other.
struct Derived {
    int32_t score;
    uint8_t bound;
    CellIndex move;
};

// The score carries the depth, so that a probe, which hands out no depth, can
// still tell which store its fields should come from.
Derived DerivedFrom(uint64_t key, int32_t depth) {
    uint64_t h = (key + static_cast<uint64_t>(depth)) * 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    // Scores stay far from the decisive ones, whose stores change bound and weight.
    return Derived{depth << 10 | static_cast<int32_t>(h & 1023),
                   static_cast<uint8_t>(1 + (h >> 40) % 3), static_cast<CellIndex>((h >> 48) % 401)};
}

// Why an entry is not one that a store of its key wrote, or empty when it is.
std::string Mismatch(const HashEntry& e, uint64_t key, int16_t age) {
    const Derived d = DerivedFrom(key, e.depth);
    std::ostringstream out;
    if (e.key != key) out << " key " << e.key;
    if (e.score != d.score) out << " score " << e.score << " for " << d.score;
    if (e.bound != d.bound) out << " bound " << int(e.bound) << " for " << int(d.bound);
    if (e.move != d.move) out << " move " << e.move << " for " << d.move;
    if (e.age != age) out << " age " << e.age;
    if (e.valueDepth != e.depth + (d.bound == kBoundExact)) out << " valueDepth " << e.valueDepth;
    return out.str();
}

// Four threads store and probe one small table, so that runs overlap and the
// threads keep overwriting slots that others are reading: the depths of the
// stores grow, so that new stores keep replacing old ones. A probe that
// returns anything but what some store of its key wrote read words of two
// stores (or of another key) and took them for an entry.
TEST(ParallelTableTest, ProbesNeverReturnDataStoredUnderAnotherKey) {
    constexpr int kThreads = 4;
    constexpr int kOperations = 300000;
    constexpr int16_t kAge = 7;
    TranspositionTable table(13);
    table.SetAge(kAge);
    std::vector<uint64_t> keys(40);
    std::mt19937_64 rng(25);
    for (uint64_t& key : keys) key = rng();

    std::atomic<int> ready{0};
    std::atomic<int64_t> hits{0};
    std::atomic<int> faults{0};
    std::vector<std::string> firstFault(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937_64 own(100 + t);
            int64_t found = 0;
            // All start together, so that they overlap however the system schedules them.
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int n = 0; n < kOperations; ++n) {
                const uint64_t key = keys[own() % keys.size()];
                if (own() % 2 == 0) {
                    const int32_t depth = static_cast<int32_t>(n / 10);
                    const Derived d = DerivedFrom(key, depth);
                    table.RecordHash(key, depth, d.score, d.bound, d.move);
                } else if (n % 4 == 1) {
                    int32_t alpha = -(1 << 30), beta = 1 << 30, score = 0;
                    CellIndex move = kNoCell;
                    uint8_t bound = 0;
                    if (!table.ProbeHash(key, 0, alpha, beta, move, bound, score)) continue;
                    ++found;
                    const Derived d = DerivedFrom(key, score >> 10);
                    const bool known = d.score == score && d.bound == bound && d.move == move;
                    if (!known && faults++ == 0)
                        firstFault[t] = "probe: move " + std::to_string(move) + " bound " +
                                        std::to_string(bound) + " score " + std::to_string(score);
                } else {
                    const std::optional<HashEntry> e = table.Lookup(key);
                    if (!e) continue;
                    ++found;
                    const std::string why = Mismatch(*e, key, kAge);
                    if (!why.empty() && faults++ == 0) firstFault[t] = "lookup:" + why;
                }
            }
            hits += found;
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::string why;
    for (const std::string& w : firstFault) why += w;
    EXPECT_EQ(faults.load(), 0) << why;
    // Not a test of an empty table: a good share of the probes hit.
    EXPECT_GT(hits.load(), kThreads * kOperations / 20);

    // Afterwards every slot that shows one of the keys holds data of that key.
    int32_t live = 0;
    for (int32_t i = 0; i < table.Size(); ++i) {
        const HashEntry e = table.At(i);
        if (e.bound == 0 || std::find(keys.begin(), keys.end(), e.key) == keys.end()) continue;
        ++live;
        EXPECT_EQ(Mismatch(e, e.key, kAge), "") << "slot " << i;
    }
    EXPECT_GT(live, table.Size() / 2);
}

// An engine whose pool has `threads` workers (more than this machine may
// have: the races are what is tested), set up on a middle game of eight
// stones on 20 x 20 that nothing decides for seconds.
struct PoolEngine {
    explicit PoolEngine(int32_t threads) {
        engine.maxMemory = static_cast<int32_t>(ResidentMemoryBytes() + 100000000);
        engine.pool.SetThreads(threads);
        Run("start 20");
        Run("info timeout_match 0");
    }
    std::string Run(const std::string& line) {
        const std::string reply = ExecuteLine(engine, line);
        const size_t nl = reply.rfind('\n');
        return nl == std::string::npos ? reply : reply.substr(nl + 1);
    }
    // The move request; its reply.
    std::string AskMove() {
        Run("board");
        for (const char* s : {"10,10,1", "9,10,2", "9,9,1", "10,9,2", "11,11,1", "12,12,2",
                              "8,8,1", "7,7,2"})
            Run(s);
        return Run("done");
    }
    Engine engine{ProgramArguments{}};
};

// The reply names the stone the engine has just placed on its board.
bool IsEnginesMove(const Engine& engine, const std::string& reply) {
    uint32_t x = 0, y = 0;
    if (sscanf(reply.c_str(), "%u,%u", &x, &y) != 2 || x >= 20 || y >= 20) return false;
    const BoardAI& b = *engine.board;
    return b.mMoveCount > 8 && b.mMoves[b.mMoveCount - 1] == y * 20 + x;
}

// yxnbest answers a move without placing it.
bool IsFreeCell(const Engine& engine, const std::string& reply) {
    uint32_t x = 0, y = 0;
    if (sscanf(reply.c_str(), "%u,%u", &x, &y) != 2 || x >= 20 || y >= 20) return false;
    return !engine.IsOccupied(static_cast<CellIndex>(y * 20 + x));
}

TEST(SearchPoolTest, TwoAndFourWorkersSearchOneTableAndCountEveryStone) {
    for (const int32_t threads : {2, 4}) {
        PoolEngine p(threads);
        ASSERT_EQ(p.engine.pool.Threads(), threads);
        // A node budget: the workers' stones together stop the search.
        constexpr uint32_t kBudget = 60000;
        p.Run("info max_node " + std::to_string(kBudget));
        p.Run("info timeout_turn 60000");
        const uint32_t mainBefore = p.engine.worker.nodeCounter;
        const uint32_t before = p.engine.worker.AllNodes();
        const std::string move = p.AskMove();
        EXPECT_TRUE(IsEnginesMove(p.engine, move)) << threads << ": " << move;
        const uint32_t all = p.engine.worker.AllNodes() - before;
        const uint32_t helpers = all - (p.engine.worker.nodeCounter - mainBefore);
        EXPECT_GT(helpers, kBudget / 10) << threads << " workers: the helpers searched";
        // Each helper may pass the budget by a batch and by the node it is in.
        EXPECT_GE(all, kBudget) << threads;
        EXPECT_LT(all, kBudget + kBudget / 4) << threads << ": the budget counts every worker";
        // The analysis words run on the pool as well.
        p.Run("info max_node 0");
        p.Run("info timeout_turn 300");
        EXPECT_TRUE(IsFreeCell(p.engine, p.Run("yxnbest 3"))) << threads;
    }
}

// What a GUI's stop button and END do while four workers search a 60 s turn:
// the input reader raises the shared stop flag, the move comes at once, and
// END then ends the session.
TEST(SearchPoolTest, AStopOrEndInTheMiddleEndsEveryWorker) {
    for (const char* word : {"yxstop", "end"}) {
        PoolEngine p(4);
        p.Run("info timeout_turn 60000");
        std::string move;
        std::thread search([&] { move = p.AskMove(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const auto raised = std::chrono::steady_clock::now();
        p.engine.shared.stop.store(true);
        search.join();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - raised)
                            .count();
        EXPECT_TRUE(IsEnginesMove(p.engine, move)) << word << ": " << move;
        EXPECT_LT(ms, 2000) << word;  // generous: ThreadSanitizer is slow
        EXPECT_FALSE(p.engine.pool.HelpersRunning()) << word;
        p.engine.shared.stop.store(false);
        p.Run(word);
        EXPECT_EQ(p.engine.running, std::string(word) != "end") << word;
    }
}

// INFO thread_num: 0 means one thread, more than the machine has means all of
// its threads, said in a message; nothing else is told.
TEST(SearchPoolTest, ThreadNumIsClampedToTheMachine) {
    const int32_t most = SearchPool::HardwareThreads();
    struct Row {
        const char* value;
        int32_t threads;
        bool message;
    };
    const Row rows[] = {{"3", std::min(3, most), most < 3}, {"0", 1, false},
                        {"1", 1, false},                    {"100000", most, true},
                        {"2", std::min(2, most), most < 2}};
    Engine engine{ProgramArguments{}};
    for (const Row& row : rows) {
        const std::string text = ExecuteLine(engine, std::string("info thread_num ") + row.value);
        EXPECT_EQ(engine.pool.Threads(), row.threads) << row.value;
        EXPECT_EQ(text.find("MESSAGE INFO thread_num") != std::string::npos, row.message)
            << row.value << ": " << text;
    }
}

}  // namespace
