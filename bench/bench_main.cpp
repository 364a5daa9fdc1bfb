// The benchmarks run on the engine's start-up state: a 20 x 20 board with
// every table built.

#include <benchmark/benchmark.h>

#include "board/boardai.h"
#include "board/coord.h"

int main(int argc, char** argv) {
    Coord::SetSize(20, 20);
    BoardAI::Alloc();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BoardAI::Free();
    return 0;
}
