#include "tools/evaltuner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// A self-play game the first player lost.
const char* const kGame =
    "0 13,10 10,13 12,11 9,12 12,9 11,13 13,11 9,13 12,13 9,11 9,14 9,10 9,9 7,10 11,14 8,10 "
    "12,10 12,12 6,10 10,12 7,9 12,14\n";

std::string WriteGames(const std::string& text) {
    const std::string path = testing::TempDir() + "evaltuner_games.txt";
    std::ofstream(path) << text;
    return path;
}

}  // namespace

// Each case is the game's position before move `ply` alone (the plies before
// it skipped). Before ply 16 the first player's fours win as far as the leaf's
// probe sees (it missed them and lost); before ply 15 nobody has them.
TEST(EvalTunerTest, PositionsWonByFoursAreLeftOutOfTheFit) {
    struct Case {
        int ply;
        bool wonByFours;
    };
    const std::string game(kGame);
    for (const Case c : {Case{15, false}, Case{16, true}}) {
        SCOPED_TRACE(c.ply);
        // The result and the moves up to and including the position's own.
        size_t end = 0;
        for (int words = 0; words <= c.ply + 1; ++words) end = game.find(' ', end + 1);
        const std::string path = WriteGames(game.substr(0, end) + "\n");
        const evaltuner::DataSet all = evaltuner::LoadGames(path, c.ply, true);
        const evaltuner::DataSet fitted = evaltuner::LoadGames(path, c.ply);
        std::remove(path.c_str());
        EXPECT_EQ(all.Size(), 1u);
        EXPECT_EQ(fitted.Size(), c.wonByFours ? 0u : 1u);
    }
}

TEST(EvalTunerTest, TheFitLowersTheLossOfThePriorTables) {
    std::string games;
    for (int i = 0; i < 10; ++i) games += kGame;
    const std::string path = WriteGames(games);
    const evaltuner::DataSet data = evaltuner::LoadGames(path, 0);
    std::remove(path.c_str());
    const std::vector<double> prior = evaltuner::PriorValues();
    evaltuner::FitOptions options;
    options.iterations = 50;
    evaltuner::FitReport report;
    std::ostringstream log;
    const std::vector<double> values = evaltuner::Fit(data, prior, 50.0, options, report, log);
    const double before = evaltuner::Loss(data, evaltuner::PositionValues(data, prior), 50.0, false);
    EXPECT_LT(report.fittedTrain, before);
    // The held-out copy is the same game: it must gain as much.
    EXPECT_LT(report.fittedHeldOut, report.priorHeldOut);
}
