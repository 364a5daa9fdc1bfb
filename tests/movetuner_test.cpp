#include "tools/movetuner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string kGames = std::string(TAMLO_SOURCE_DIR) + "/tests/data/selfplay_games.txt";

// A self-play game the first player lost (as in the evaluation tuner's test).
const char* const kGame =
    "0 13,10 10,13 12,11 9,12 12,9 11,13 13,11 9,13 12,13 9,11 9,14 9,10 9,9 7,10 11,14 8,10 "
    "12,10 12,12 6,10 10,12 7,9 12,14\n";

std::string WriteGames(const std::string& text) {
    const std::string path = testing::TempDir() + "movetuner_games.txt";
    std::ofstream(path) << text;
    return path;
}

}  // namespace

// Every position from the skipped plies on is either kept or counted under
// the reason it was left out, and a kept one's played move is among its
// candidates; every tenth game is held out.
TEST(MoveTunerTest, EveryPositionIsKeptOrAccountedFor) {
    std::string games;
    for (int i = 0; i < 11; ++i) games += kGame;
    const std::string path = WriteGames(games);
    const movetuner::MoveData data = movetuner::LoadMoves(path, 6);
    std::remove(path.c_str());
    std::istringstream words(kGame);
    std::string word;
    size_t moves = 0;
    while (words >> word) ++moves;
    const size_t plies = moves - 1 - 6;  // less the result
    EXPECT_EQ(data.games, 11u);
    EXPECT_EQ(data.Size() + data.decided + data.single + data.unlisted, 11 * plies);
    ASSERT_GT(data.Size(), 0u);
    EXPECT_GT(data.decided + data.single, 0u);  // the game ends in fours and their blocks
    const size_t perGame = data.Size() / 11;
    for (size_t i = 0; i < data.Size(); ++i) {
        ASSERT_GE(data.begin[i + 1] - data.begin[i], 2u);
        ASSERT_LT(data.played[i], data.begin[i + 1] - data.begin[i]);
        // Games 0 and 10 are held out.
        EXPECT_EQ(data.heldOut[i] != 0, i < perGame || i >= 10 * perGame) << i;
    }
}

// On real self-play games the fitted scores order the held-out games' moves
// better than the category weights they start from.
TEST(MoveTunerTest, TheFitOrdersHeldOutMovesBetterThanThePrior) {
    const movetuner::MoveData data = movetuner::LoadMoves(kGames, 8);
    ASSERT_EQ(data.games, 200u);
    std::vector<double> prior = movetuner::CategoryScores();
    const double scale = movetuner::FitPriorScale(data, prior);
    for (double& p : prior) p *= scale;
    // The scale is an interior optimum of the loss, not an end of its range.
    std::vector<double> other = prior;
    for (double& p : other) p *= 2;
    EXPECT_LT(movetuner::Loss(data, prior, false), movetuner::Loss(data, other, false));
    for (double& p : other) p /= 4;
    EXPECT_LT(movetuner::Loss(data, prior, false), movetuner::Loss(data, other, false));

    movetuner::FitOptions options;
    options.iterations = 100;
    movetuner::FitReport report;
    std::ostringstream log;
    const std::vector<double> scores = movetuner::Fit(data, prior, options, report, log);
    EXPECT_EQ(report.trainPositions + report.heldOutPositions, data.Size());
    EXPECT_LT(report.fittedLoss, report.priorLoss);
    EXPECT_GT(report.fitted.top1, report.prior.top1);
    EXPECT_GE(report.fitted.top3, report.fitted.top1);
    const movetuner::Accuracy check = movetuner::ScoreAccuracy(data, scores, true);
    EXPECT_EQ(check.top1, report.fitted.top1);
}

// The generator's own order ranks the played move where the list puts it.
TEST(MoveTunerTest, TheListOrderRanksThePlayedMoveAtItsIndex) {
    const movetuner::MoveData data = movetuner::LoadMoves(kGames, 8);
    ASSERT_GT(data.Size(), 0u);
    size_t n = 0, first = 0, three = 0;
    for (size_t i = 0; i < data.Size(); ++i) {
        if (!data.heldOut[i]) continue;
        ++n;
        first += data.played[i] == 0;
        three += data.played[i] < 3;
    }
    ASSERT_GT(n, 0u);
    const movetuner::Accuracy list = movetuner::ListAccuracy(data, true, false);
    EXPECT_DOUBLE_EQ(list.top1, static_cast<double>(first) / static_cast<double>(n));
    EXPECT_DOUBLE_EQ(list.top3, static_cast<double>(three) / static_cast<double>(n));
    // Equal scores keep the list's order.
    const movetuner::Accuracy flat =
        movetuner::ScoreAccuracy(data, std::vector<double>(movetuner::kParameterCount, 0.0), true);
    EXPECT_DOUBLE_EQ(flat.top1, list.top1);
    EXPECT_DOUBLE_EQ(flat.top3, list.top3);
    // And kept within the search's classes, they are the search's order.
    const movetuner::Accuracy classes = movetuner::ListAccuracy(data, true, true);
    const movetuner::Accuracy grouped =
        movetuner::ScoreAccuracy(data, std::vector<double>(movetuner::kParameterCount, 0.0), true,
                                 movetuner::ClassesFirst::kFoursThenTactical);
    EXPECT_DOUBLE_EQ(grouped.top1, classes.top1);
    EXPECT_DOUBLE_EQ(grouped.top3, classes.top3);
}
