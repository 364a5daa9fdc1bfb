#include "search/trace.h"

#include <algorithm>

#include "platform/clock.h"
#include "search/score.h"
#include "search/searchworker.h"
#include "search/transpositiontable.h"

namespace {

constexpr int32_t kQuietSearchMs = 50;

}  // namespace

const char* const kVictoryPicture[kVictoryPictureLines] = {
    "  .-----------------------.",
    "  |  .  .  .  .  .  .  .  |",
    "  |  .  X  .  .  .  .  .  |",
    "  |  .  .  X  .  .  .  .  |",
    "  |  .  .  .  X  .  .  .  |",
    "  |  .  .  .  .  X  .  .  |",
    "  |  .  .  .  .  .  X  .  |",
    "  |  .  .  .  .  .  .  .  |",
    "  '-----------------------'",
    "      \\o/   five in a row!",
    "      / \\",
};

std::string SearchStatisticsText(uint32_t nodes, int32_t elapsedMs) {
    const double perSecond = static_cast<double>(nodes) / elapsedMs * 1000.0;
    return "AB: " + std::to_string(nodes) +
           ", speed:" + std::to_string(static_cast<int64_t>(perSecond)) + "/s";
}

std::string DepthText(int32_t depth, int64_t selective, int32_t value) {
    std::string text = "dep=" + std::to_string(std::min<int64_t>(selective, depth)) + "-" +
                       std::to_string(selective);
    if (!IsDecisive(value)) text += " val=" + std::to_string(value);
    return text;
}

void WriteSearchStatistics(SearchWorker& worker, uint32_t nodesBefore, uint32_t nodesAfter,
                           uint32_t msBefore, uint32_t msAfter) {
    const int32_t elapsed = StampDiff(msAfter, msBefore);
    if (elapsed > kQuietSearchMs)
        worker.Debug(SearchStatisticsText(nodesAfter - nodesBefore, elapsed));
}

void WriteDepthLine(SearchWorker& worker, int32_t depth, int64_t selective, int32_t value) {
    if (selective >= 1) worker.Debug(DepthText(depth, selective, value));
}

void WriteVictoryPicture(SearchWorker& worker) {
    for (const char* line : kVictoryPicture) worker.Message(line);
}

std::string CellText(CellIndex cell) {
    return std::to_string(cell % Coord::width) + "," + std::to_string(cell / Coord::width);
}

void LiveCell(SearchWorker& worker, const char* what, CellIndex cell) {
    if (cell >= Coord::area) return;
    const std::string kind = what;
    const bool rootMove = kind == "POS" || kind == "DONE" || kind == "LOST";
    // A shallow iteration passes every root move within a millisecond: at
    // level 1 their lines wait until the search has run a while.
    const int32_t elapsed = StampDiff(NowMs(), worker.liveStartMs);
    if (rootMove && worker.showDetail < 2 && elapsed < SearchWorker::kLiveMovesAfterMs) return;
    worker.Live("REALTIME " + kind + " " + CellText(cell));
    if (kind != "POS" && rootMove && worker.showDetail >= 3) {
        const uint32_t nodes = worker.AllNodes() - worker.liveStartNodes;
        const int64_t rate = elapsed > 0 ? 1000LL * nodes / elapsed : 0;
        worker.Live("nodes " + std::to_string(nodes) + " n/s " + std::to_string(rate) + " tm " +
                    std::to_string(elapsed));
    }
}

void LiveValue(SearchWorker& worker, int32_t value) {
    worker.Live("REALTIME VAL " + std::to_string(value));
}

void WriteIterationLines(SearchWorker& worker, const BoardAI& board, int32_t depth,
                         int64_t selective, const SearchResult& result, uint32_t nodes,
                         int32_t elapsedMs) {
    // The line: the best move, then each position's table move, on a copy.
    std::string line;
    int plies = 0;
    if (result.move < Coord::area && board.mCells[result.move] == 0) {
        BoardAI copy = board;
        copy.mPlain = 1;
        copy.CountStonesIn(worker.nodeCounter);
        CellIndex move = result.move;
        while (plies < depth + 4) {
            if (plies) line += ' ';
            line += CellText(move);
            ++plies;
            copy.Toggle(move);
            int32_t alpha = ScoreLoss, beta = ScoreWin, score = 0;
            uint8_t bound = 0;
            if (!worker.shared.transpositionTable ||
                !worker.shared.transpositionTable->ProbeHash(copy.mHash, 0, alpha, beta, move,
                                                             bound, score) ||
                move >= Coord::area || copy.mCells[move] != 0)
                break;
        }
        worker.Live("REALTIME PV " + line);
    }
    std::string score = std::to_string(result.value);
    if (result.proof == 0) score = "+M" + std::to_string(std::max(plies, 1));
    if (result.disproof == 0) score = "-M" + std::to_string(std::max(plies, 1));
    const int64_t rate = elapsedMs > 0 ? 1000LL * nodes / elapsedMs : 0;
    worker.Live("depth " + std::to_string(depth) + "-" + std::to_string(selective) + " ev " +
                score + " n " + std::to_string(nodes) + " n/s " + std::to_string(rate) + " tm " +
                std::to_string(elapsedMs) + " pv " + line);
}
