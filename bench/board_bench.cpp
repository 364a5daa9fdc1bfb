// Costs of the board model's innermost operations.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/tables.h"
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

// Places the diagram's stones alternately X, O, ...; it holds as many of each.
// The stones are centred on the board: on 20 x 20 they stand where the diagram
// shows them from row 4 on.
template <typename Board, typename Move>
void SetUpMiddleGame(Board& board, Move move) {
    int left = 99, right = -1, top = 99, bottom = -1;
    for (int y = 0; y < static_cast<int>(std::size(kMiddleGame)); ++y) {
        const std::string row = kMiddleGame[y];
        for (int x = 0; x < static_cast<int>(row.size()); ++x) {
            if (row[x] == '.') continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    const int dx = (static_cast<int>(Coord::width) - (right - left + 1)) / 2 - left;
    const int dy = (static_cast<int>(Coord::height) - (bottom - top + 1)) / 2 - top;
    std::vector<CellIndex> xs, os;
    for (int y = 0; y < static_cast<int>(std::size(kMiddleGame)); ++y) {
        const std::string row = kMiddleGame[y];
        for (int x = 0; x < static_cast<int>(row.size()); ++x) {
            if (row[x] == 'X') xs.push_back(Coord::xy2z(x + dx, y + dy));
            if (row[x] == 'O') os.push_back(Coord::xy2z(x + dx, y + dy));
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
// full move operation (lists, caches, border list). Argument: the board.
void BM_MakeMovePair(benchmark::State& state) {
    const Rules rules = UseBoard(state, state.range(0));
    BorderListBoard board(rules);
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
BENCHMARK(BM_MakeMovePair)->DenseRange(0, kBoardCount - 1);

// The same through ListBoard::Toggle alone.
void BM_TogglePair(benchmark::State& state) {
    const Rules rules = UseBoard(state, state.range(0));
    BoardAI board(rules);
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
BENCHMARK(BM_TogglePair)->DenseRange(0, kBoardCount - 1);

// The same with the cell codes and their sums kept (a learned evaluation's
// table attached).
void BM_TogglePairWithCellCodes(benchmark::State& state) {
    const Rules rules = UseBoard(state, state.range(0));
    BoardAI board(rules);
    SetUpMiddleGame(board, [](BoardAI& b, CellIndex z) { b.Toggle(z); });
    const auto table = std::make_unique<CodeValues>();
    board.AttachCodeValues(table.get());
    const std::vector<CellIndex> cells = Candidates();
    size_t i = 0;
    for (auto _ : state) {
        const CellIndex z = cells[i];
        board.Toggle(z);
        board.Toggle(z);
        if (++i == cells.size()) i = 0;
    }
    benchmark::DoNotOptimize(board.mCodes.sum);
    ReportPairs(state);
}
BENCHMARK(BM_TogglePairWithCellCodes)->Arg(0);

// Rebuilding every process-wide table for a 20 x 20 board.
void BM_AllocFree(benchmark::State& state) {
    UseBoard(state, 0);
    for (auto _ : state) {
        BoardAI::Free();
        BoardAI::Alloc();
    }
}
BENCHMARK(BM_AllocFree)->Unit(benchmark::kMillisecond);

// Building one player's threat list from scratch (arguments: the player, the
// board).
void BM_ThreatListRebuild(benchmark::State& state) {
    const Rules rules = UseBoard(state, state.range(1));
    BoardAI board(rules);
    SetUpMiddleGame(board, [](BoardAI& b, CellIndex z) { b.Toggle(z); });
    const int player = static_cast<int>(state.range(0));
    size_t entries = 0;
    for (const uint16_t* e = board.ThreatList(player); ThreatCell(*e) != kNoCell; ++e) ++entries;
    for (auto _ : state) {
        board.RestoreThreatListFlags(0);  // forget the cached lists
        benchmark::DoNotOptimize(board.ThreatList(player));
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_ThreatListRebuild)->ArgsProduct({{1, 2}, {0, 1, 2}});

}  // namespace
