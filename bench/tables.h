#pragma once

// The boards the benchmarks run on: the default, the smaller common one, the
// exact-five rule (whose tables differ), renju and the two caro rules.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "board/boardai.h"
#include "board/coord.h"
#include "board/patterntables.h"

struct BenchBoard {
    uint32_t side;
    uint32_t rule;
};
inline constexpr BenchBoard kBenchBoards[] = {{20, 0}, {15, 0}, {20, 1},
                                              {20, 4}, {20, 8}, {20, 9}};
inline constexpr int kBoardCount = 6;

// Rebuilds the geometry and every table for board `index` when they differ,
// names it in the benchmark's label, and answers the rules its boards are
// built for.
inline Rules UseBoard(benchmark::State& state, int64_t index) {
    const BenchBoard b = kBenchBoards[index];
    if (Coord::width != b.side || Coord::height != b.side) {
        BoardAI::Free();
        Coord::SetSize(b.side, b.side);
        BoardAI::Alloc();
    }
    state.SetLabel(std::to_string(b.side) + "x" + std::to_string(b.side) + " rule " +
                   std::to_string(b.rule));
    return Rules::FromProtocolValue(b.rule);
}
