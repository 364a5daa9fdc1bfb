#include "search/trace.h"

#include <algorithm>

#include "platform/clock.h"
#include "search/score.h"
#include "search/searchworker.h"

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
