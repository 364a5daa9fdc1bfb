// Two searches side by side, each with its own worker and table, must run as
// each runs alone: the same moves, values and node counts. Any mutable state
// the two still shared (a cache, a counter, a generator) would mix them up, and
// under ThreadSanitizer (make tsan-test) it is also reported as a data race.
// The table itself is shared by threads that store and probe it at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/boardai.h"
#include "board/coord.h"
#include "pns/proofsearch.h"
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
// a worker, the position, and a proof pool.
Outcome SearchAlone(const Rows& rows, int toMove, int32_t depth) {
    SearchShared shared;
    shared.transpositionTable = std::make_unique<TranspositionTable>(1 << 16);
    std::stringstream diagnostics;
    SearchWorker worker(shared, diagnostics);
    BoardAI position;
    PlaceDiagram(position, rows, toMove);
    worker.SetPosition(position);
    CreateProofPool(worker, 5000, 16);

    Outcome outcome;
    BoardAI board = *worker.board;
    const SearchResult result = IterativeDeepening(worker, board, nullptr, depth);
    outcome.move = result.move;
    outcome.value = result.value;
    outcome.nodes = worker.nodeCounter;
    std::string line;
    while (std::getline(diagnostics, line))
        if (line.find("dep=") != std::string::npos) outcome.depthLine = line;
    outcome.proof = ProveWinResult(worker, 1000000);
    outcome.evaluations = worker.pnEvaluationCounter;
    outcome.stones = worker.nodeCounter;
    DestroyProofPool(worker);
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

}  // namespace
