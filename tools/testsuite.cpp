#include "tools/testsuite.h"

#include <cstdio>
#include <iostream>
#include <vector>

#include "board/borderlistboard.h"
#include "board/simpleboard.h"
#include "platform/clock.h"
#include "search/driver.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/pvsearch.h"
#include "search/searchpool.h"
#include "search/searchworker.h"
#include "tools/directorylist.h"
#include "tools/movefile.h"

namespace {

constexpr int32_t kSelfTestTableEntries = 1 << 21;

void EnsureSearchStructures(SearchWorker& worker) {
    if (!worker.shared.transpositionTable && worker.allocateStructures) worker.allocateStructures();
}

// The table's owner, the pool, replaces it when there is one; 0 entries: none.
void ReplaceTable(SearchWorker& worker, int32_t entries) {
    if (worker.pool) {
        worker.pool->ReleaseTable();
        if (entries > 0) worker.pool->CreateTable(entries);
        return;
    }
    worker.shared.transpositionTable.reset();
    if (entries > 0) worker.shared.transpositionTable = std::make_unique<TranspositionTable>(entries);
}

}  // namespace

TestResult TestAB(SearchWorker& worker, const std::string& folder) {
    // 1-2. The folder's files.
    TestResult result;
    std::vector<std::string> paths;
    if (ListDirectory(folder, paths) != 0) {
        result.message = "ERROR failed to list directory " + folder;
        return result;
    }
    // 3. Each position, cut to its first ten moves, searched to depth 10.
    for (const std::string& path : paths) {
        std::cout << path << std::endl;
        try {
            BorderListBoard board(worker.shared.rules);
            board.CountStonesIn(worker.nodeCounter);
            std::vector<CellIndex> moves;
            ReadMoveFile(path, moves);
            for (CellIndex cell : moves) board.MakeMove(cell);
            while (board.mMoveCount > 10) board.MakeMove(board.mMoves[board.mMoveCount - 1]);
            // Each position starts from an empty table, so figures do not depend
            // on the order of the files.
            worker.shared.transpositionTable->ClearTable();
            worker.history.Clear();
            SetTableAge(worker);
            if (worker.shared.classic)
                SearchIteration(worker, board, 10, nullptr);
            else
                PvDeepening(worker, board, nullptr, 9, true);
            ++result.positions;
        } catch (...) {
            result.message += "TestAB failed in file " + path + "\r\n";
        }
    }
    return result;
}

std::string Benchmark(SearchWorker& worker, const std::string& folder, bool printStatistics) {
    EnsureSearchStructures(worker);
    // 1-3. Everything TestAB places counts, loading included.
    const uint32_t startNodes = worker.nodeCounter;
    const uint32_t startTime = NowMs();
    TestResult result = TestAB(worker, folder);
    int32_t elapsed = StampDiff(NowMs(), startTime);
    const uint32_t d = worker.nodeCounter - startNodes;
    // 4. The build server's statistic lines.
    if (d != 0 && result.positions > 0 && printStatistics) {
        if (elapsed < 1) elapsed = 1;
        std::cout << "##teamcity[buildStatisticValue key='MovesPerSearch_depth10' value='"
                  << d / result.positions << "']" << std::endl;
        std::cout << "##teamcity[buildStatisticValue key='Moves_PerSec' value='"
                  << static_cast<int32_t>(d * 1000.0 / elapsed) << "']" << std::endl;
    }
    return result.message;
}

std::string SelfTest(SearchWorker& worker, const std::function<void(const BoardAI&)>& onSearch) {
    // 1. A clean table and an empty board. The table's size would follow the
    //    memory the process happens to use, and with it the count: the test has
    //    a table of its own fixed size, and the engine's is rebuilt afterwards.
    ReplaceTable(worker, kSelfTestTableEntries);
    worker.history.Clear();
    BorderListBoard board(worker.shared.rules);
    board.CountStonesIn(worker.nodeCounter);

    // 2. Forty moves, each the generator's first choice.
    CellIndex recorded[40];
    for (int i = 0; i < 40; ++i) {
        GenerateMoves(board, GenMode::kFull);
        CellIndex move = board.genCount ? board.genMoves[0] : kNoCell;
        // A listing without a playable first cell falls back to the first empty one.
        if (move >= Coord::area || board.mCells[move]) {
            move = kNoCell;
            for (uint32_t z = 0; z < Coord::area && move == kNoCell; ++z)
                if (!board.mCells[z]) move = static_cast<CellIndex>(z);
        }
        recorded[i] = move;
        board.MakeMove(move);
    }
    // 3. Back to the first move alone.
    for (int i = 39; i >= 1; --i) board.MakeMove(recorded[i]);

    // 4. Search the positions of the game: the empty board, then moves 2.. on.
    uint32_t total = 0;
    for (int i = 0; i < 40; ++i) {
        board.MakeMove(recorded[i]);
        TimeControl tc;
        tc.turnTimeout = 100000000;
        tc.turnDeadline = NowMs() + 100000000u;
        // No match limit: otherwise the driver's first deadline refresh shares out
        // a match time that was never given and reads the shrunken deadline as
        // time spent. So no search is cut by time, every one reaches its full
        // depth, and the count repeats from run to run and machine to machine.
        tc.matchTimeout = 0;
        tc.moveDeadline = tc.turnDeadline;
        if (onSearch) onSearch(board);
        uint32_t before = worker.nodeCounter;
        SetTableAge(worker);
        if (worker.shared.classic)
            IterativeDeepening(worker, board, &tc, 9);
        else
            PvDeepening(worker, board, &tc, 9);
        total += worker.nodeCounter - before;
    }
    ReplaceTable(worker, 0);
    if (worker.allocateStructures) worker.allocateStructures();
    char buffer[64];
    snprintf(buffer, sizeof buffer, "testing: %d nodes", static_cast<int>(total));
    return buffer;
}
