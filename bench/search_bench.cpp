// Costs of the move generator and of fixed-depth searches.

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

#include "bench/tables.h"
#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/simpleboard.h"
#include "board/threatlist.h"
#include "protocol/engine.h"
#include "search/driver.h"
#include "search/evaluate.h"
#include "search/learnedvalues.h"
#include "search/movegen.h"

namespace {

using Moves = std::vector<std::pair<int, int>>;

// Middle games from self-play, 1-based as in move files.
const Moves kPositions[] = {
    {{11, 13}, {10, 13}, {10, 12}, {11, 12}, {12, 14}, {13, 15}, {9, 11},  {8, 10},
     {12, 11}, {11, 11}, {12, 10}, {9, 10},  {10, 10}, {10, 11}, {12, 13}, {12, 12},
     {11, 9},  {8, 9},   {7, 8},   {8, 12},  {8, 11},  {13, 13}},
    {{10, 9},
     {9, 9},
     {9, 8},
     {10, 8},
     {11, 10},
     {12, 11},
     {11, 8},
     {12, 10},
     {12, 9},
     {8, 10},
     {7, 11},
     {11, 9},
     {13, 11},
     {10, 7},
     {8, 7},
     {7, 6}},
    {{6, 7},
     {6, 8},
     {5, 6},
     {7, 7},
     {5, 8},
     {5, 9},
     {8, 6},
     {7, 6},
     {7, 8},
     {8, 9},
     {5, 5},
     {5, 4},
     {6, 5},
     {4, 5}},
};

template <typename Board>
void SetUp(Board& board, const Moves& moves) {
    for (auto [x, y] : moves) board.MakeMove(Coord::xy2z(x - 1, y - 1));
}

void BM_GenerateMoves(benchmark::State& state) {
    const Rules rules = UseBoard(state, 0);
    BorderListBoard board(rules);
    SetUp(board, kPositions[state.range(0)]);
    for (auto _ : state) {
        board.RestoreThreatListFlags(0);  // every node of a search sees a fresh position
        // {} is the full listing in every revision compare.py builds (an enum
        // value now, the number 0 before).
        benchmark::DoNotOptimize(GenerateMoves(board, {}));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GenerateMoves)->DenseRange(0, 2);

// The static evaluation of a leaf that has fresh threat lists to build, as in
// a search; argument 0 the classic one, 1 the learned one (its sums kept by
// the board).
void BM_Evaluate(benchmark::State& state) {
    const Rules rules = UseBoard(state, 0);
    BorderListBoard board(rules);
    SetUp(board, kPositions[0]);
    if (state.range(0)) board.AttachCodeValues(&kLearnedValues);
    for (auto _ : state) {
        board.RestoreThreatListFlags(0);
        benchmark::DoNotOptimize(Evaluate(board));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Evaluate)->DenseRange(0, 1);

// Iterative deepening to depth 8 with no time limit, from an empty table.
void BM_IterativeDeepeningDepth8(benchmark::State& state) {
    UseBoard(state, 0);
    Engine engine{ProgramArguments{}};
    engine.AllocSearch();
    uint64_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine.shared.transpositionTable->ClearTable();
        BorderListBoard board;
        SetUp(board, kPositions[state.range(0)]);
        uint32_t before = engine.worker.nodeCounter;
        state.ResumeTiming();
        IterativeDeepening(engine.worker, board, nullptr, 7);
        nodes += engine.worker.nodeCounter - before;
    }
    state.counters["nodes"] = benchmark::Counter(static_cast<double>(nodes) / state.iterations());
    state.counters["nodes_per_s"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IterativeDeepeningDepth8)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
