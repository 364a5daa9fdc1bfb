// Two searches side by side, each with its own worker and table, must run as
// each runs alone: the same moves, values and node counts. Any mutable state
// the two still shared (a cache, a counter, a generator) would mix them up, and
// under ThreadSanitizer (make tsan-test) it is also reported as a data race.
#include <gtest/gtest.h>

#include <memory>
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

}  // namespace
