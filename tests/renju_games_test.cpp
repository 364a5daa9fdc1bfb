// Renju games between two engines from random openings: Black's every move,
// checked with the reference, is never a forbidden point.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "protocol/engine.h"
#include "tests/board_reference.h"
#include "tests/renju_reference.h"

namespace {

class RenjuGamesTest : public ::testing::Test {
  protected:
    void TearDown() override { boardref::EnsureTables(20, 20); }
};

std::string Cell(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

// Sends BOARD with the stones in move order (Black first); `black` is the
// owner number of Black's stones. Answers the reply to "done".
std::string SendBoard(Engine& engine, const std::vector<std::pair<int, int>>& moves, int black) {
    engine.ParseCommand("board", "");
    for (size_t i = 0; i < moves.size(); ++i) {
        const int owner = i % 2 == 0 ? black : 3 - black;
        engine.ParseCommand(Cell(moves[i].first, moves[i].second) + "," + std::to_string(owner), "");
    }
    return engine.ParseCommand("done", "");
}

// Whether the last stone, at (x, y), ends the game: Black's exactly five,
// White's five or more.
bool Wins(const renju_reference::Grid& grid, int x, int y) {
    const char c = grid.Get(x, y);
    const int dx[4] = {1, 0, 1, -1}, dy[4] = {0, 1, 1, 1};
    for (int d = 0; d < 4; ++d) {
        int run = 1;
        for (int s = 1; grid.Get(x + s * dx[d], y + s * dy[d]) == c; ++s) ++run;
        for (int s = 1; grid.Get(x - s * dx[d], y - s * dy[d]) == c; ++s) ++run;
        if (c == 'X' ? run == 5 : run >= 5) return true;
    }
    return false;
}

TEST_F(RenjuGamesTest, BlackNeverPlaysAForbiddenPoint) {
    std::mt19937 rng(44);
    int blackMoves = 0, choicesWithForbidden = 0;
    for (int game = 0; game < 30; ++game) {
        std::unique_ptr<Engine> engines[2] = {std::make_unique<Engine>(ProgramArguments{}),
                                              std::make_unique<Engine>(ProgramArguments{})};
        for (auto& engine : engines) {
            Engine& e = *engine;
            ASSERT_EQ(e.ParseCommand("start", "15"), "OK");
            e.ParseCommand("info", "max_memory 20000000");
            e.ParseCommand("info", "rule 4");
            e.ParseCommand("info", "timeout_turn 40");
            e.ParseCommand("set_maxdepth", "4");
        }
        // A random opening of four stones around the centre, Black to move.
        renju_reference::Grid grid(15, 15);
        std::vector<std::pair<int, int>> moves;
        while (moves.size() < 4) {
            const int x = 5 + static_cast<int>(rng() % 5), y = 5 + static_cast<int>(rng() % 5);
            if (grid.Get(x, y) != '.') continue;
            grid.Set(x, y, moves.size() % 2 == 0 ? 'X' : 'O');
            moves.emplace_back(x, y);
        }
        bool started[2] = {false, false};
        for (int ply = 0; ply < 80; ++ply) {
            const int side = static_cast<int>(moves.size() % 2);  // 0 Black, 1 White
            Engine& e = *engines[side];
            int forbiddenNow = 0;
            if (side == 0)
                for (int y = 0; y < 15; ++y)
                    for (int x = 0; x < 15; ++x)
                        if (grid.Get(x, y) == '.' && grid.Forbidden(x, y)) ++forbiddenNow;
            std::string reply;
            if (!started[side]) {
                reply = SendBoard(e, moves, side == 0 ? 1 : 2);
                started[side] = true;
            } else {
                reply = e.ParseCommand("turn", Cell(moves.back().first, moves.back().second));
            }
            int x = -1, y = -1;
            ASSERT_EQ(sscanf(reply.c_str(), "%d,%d", &x, &y), 2) << reply;
            ASSERT_EQ(grid.Get(x, y), '.') << reply;
            if (side == 0) {
                ++blackMoves;
                choicesWithForbidden += forbiddenNow > 0;
                ASSERT_FALSE(grid.Forbidden(x, y)) << "game " << game << " ply " << ply << ": " << reply;
            }
            grid.Set(x, y, side == 0 ? 'X' : 'O');
            moves.emplace_back(x, y);
            if (Wins(grid, x, y)) break;
        }
    }
    // Black must have met forbidden points often enough for this to mean anything.
    EXPECT_GE(choicesWithForbidden, 25) << choicesWithForbidden << " of " << blackMoves;
}

}  // namespace
