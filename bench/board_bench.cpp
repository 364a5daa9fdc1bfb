// Costs of the board model's innermost operations.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/borderlistboard.h"
#include "board/coord.h"
#include "board/threatlist.h"

namespace {

// A middle game of 40 stones (rows 4..15 of the 20 x 20 board), X to move.
const char* const kMiddleGame[] = {
    ".............O......",  //
    "......O.....O.......",  //
    ".......O..XX........",  //
    "......X..XO..O......",  //
    ".......OX.X.O.......",  //
    "....OXOO.O.O........",  //
    "....O....OX.XOO.....",  //
    "....X...X.X..X......",  //
    "...X...OXX.X........",  //
    "......O...X.........",  //
    "......X....O........",  //
    "......X.............",  //
};
constexpr int kTop = 4;

// Places the diagram's stones alternately X, O, ...; it holds as many of each.
template <typename Board, typename Move>
void SetUpMiddleGame(Board& board, Move move) {
    std::vector<CellIndex> xs, os;
    for (int y = 0; y < static_cast<int>(std::size(kMiddleGame)); ++y) {
        const std::string row = kMiddleGame[y];
        for (int x = 0; x < static_cast<int>(row.size()); ++x) {
            if (row[x] == 'X') xs.push_back(Coord::xy2z(x, y + kTop));
            if (row[x] == 'O') os.push_back(Coord::xy2z(x, y + kTop));
        }
    }
    for (size_t i = 0; i < xs.size(); ++i) {
        move(board, xs[i]);
        move(board, os[i]);
    }
}

// The candidate cells of the position: where a search would play.
std::vector<CellIndex> Candidates() {
    BorderListBoard board;
    SetUpMiddleGame(board, [](BorderListBoard& b, CellIndex z) { b.MakeMove(z); });
    return std::vector<CellIndex>(board.mBorderList, board.mBorderList + board.mBorderCount);
}

void ReportPairs(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations());
    state.counters["per_pair"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// One iteration: a stone placed on a candidate cell and taken back through the
// full move operation (lists, caches, border list).
void BM_MakeMovePair(benchmark::State& state) {
    BorderListBoard board;
    SetUpMiddleGame(board, [](BorderListBoard& b, CellIndex z) { b.MakeMove(z); });
    const std::vector<CellIndex> cells = Candidates();
    size_t i = 0;
    for (auto _ : state) {
        const CellIndex z = cells[i];
        board.MakeMove(z);
        board.MakeMove(z);
        if (++i == cells.size()) i = 0;
    }
    benchmark::DoNotOptimize(board.mHash);
    ReportPairs(state);
}
BENCHMARK(BM_MakeMovePair);

// The same through ListBoard::Toggle alone.
void BM_TogglePair(benchmark::State& state) {
    BoardAI board;
    SetUpMiddleGame(board, [](BoardAI& b, CellIndex z) { b.Toggle(z); });
    const std::vector<CellIndex> cells = Candidates();
    size_t i = 0;
    for (auto _ : state) {
        const CellIndex z = cells[i];
        board.Toggle(z);
        board.Toggle(z);
        if (++i == cells.size()) i = 0;
    }
    benchmark::DoNotOptimize(board.mHash);
    ReportPairs(state);
}
BENCHMARK(BM_TogglePair);

// Rebuilding every process-wide table for a 20 x 20 board.
void BM_AllocFree(benchmark::State& state) {
    for (auto _ : state) {
        BoardAI::Free();
        BoardAI::Alloc();
    }
}
BENCHMARK(BM_AllocFree)->Unit(benchmark::kMillisecond);

// Building one player's threat list from scratch (argument: the player).
void BM_ThreatListRebuild(benchmark::State& state) {
    BoardAI board;
    SetUpMiddleGame(board, [](BoardAI& b, CellIndex z) { b.Toggle(z); });
    const int player = static_cast<int>(state.range(0));
    size_t entries = 0;
    for (const uint16_t* e = board.ThreatList(player); ThreatCell(*e) != kNoCell; ++e) ++entries;
    for (auto _ : state) {
        InvalidateThreatLists();
        benchmark::DoNotOptimize(board.ThreatList(player));
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_ThreatListRebuild)->Arg(1)->Arg(2);

}  // namespace
