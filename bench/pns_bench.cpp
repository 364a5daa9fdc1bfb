// Node rate of the proof-number search: evaluations per second on a contested
// position, on a pool with room for the whole run, the tree released between
// runs.

#include <benchmark/benchmark.h>

#include <memory>

#include "board/boardai.h"
#include "board/threatlist.h"
#include "pns/proofsearch.h"
#include "protocol/engine.h"

namespace {

// Scattered stones, the side to move first: neither side is near a decision.
const int kContested[][3] = {{11, 5, 1},  {7, 6, 2},  {9, 6, 2},   {5, 7, 1},  {6, 7, 2},
                             {6, 9, 1},   {8, 9, 2},  {6, 10, 2},  {6, 11, 1}, {7, 11, 2},
                             {10, 12, 2}, {8, 13, 1}, {12, 13, 1}, {13, 14, 1}};

void BM_ProofNodeRate(benchmark::State& state) {
    Engine engine{ProgramArguments{}};
    BoardAI board;
    for (const auto& s : kContested) {
        if (board.mToMove != static_cast<uint32_t>(s[2])) board.Toggle(kPass);
        board.Toggle(Coord::xy2z(static_cast<uint32_t>(s[0]), static_cast<uint32_t>(s[1])));
    }
    if (board.mToMove != 1) board.Toggle(kPass);
    engine.worker.SetPosition(board);
    const int32_t nodes = static_cast<int32_t>(state.range(0));
    CreateProofPool(engine.proof, nodes + kMaxArea + 100, 64);
    engine.worker.pnPruneSolved = state.range(1) != 0;
    uint64_t evaluations = 0;
    for (auto _ : state) {
        const uint32_t before = engine.worker.pnEvaluationCounter;
        benchmark::DoNotOptimize(ProveWinResult(engine.proof, 100000));
        evaluations += engine.worker.pnEvaluationCounter - before;
        state.PauseTiming();
        ReleaseProofTrees(engine.proof);
        engine.diagnostics.str("");
        state.ResumeTiming();
    }
    state.counters["nodes/s"] =
        benchmark::Counter(static_cast<double>(evaluations), benchmark::Counter::kIsRate);
}
// Pool size, pruning of solved subtrees (as the analysis words run it).
BENCHMARK(BM_ProofNodeRate)->Args({20000, 0})->Args({20000, 1})->Unit(benchmark::kMillisecond);

}  // namespace
