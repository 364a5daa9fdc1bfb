// A rule change in the middle of a game: the engine's board (and the worker's
// copy) must then carry categories of the new rules, with the same stones and
// side.
#include <gtest/gtest.h>

#include "board/patterntables.h"
#include "protocol/engine.h"
#include "tests/board_reference.h"

namespace {

class EngineRuleTest : public ::testing::Test {
  protected:
    void TearDown() override { boardref::EnsureTables(20, 20); }
};

TEST_F(EngineRuleTest, RuleChangeKeepsTheGameAndRecomputesTheBoard) {
    Engine engine{ProgramArguments{}};
    ASSERT_EQ(engine.ParseCommand("start", "20"), "OK");
    ASSERT_EQ(engine.ParseCommand("set_maxdepth", "2"), "OK");
    // Opponent's stones with a pass between them: X . X X X . . X makes the
    // overline case that the two rules judge differently.
    for (const char* move : {"5,5", "7,5", "8,5", "9,5", "12,5"}) engine.ParseCommand("turn", move);
    BoardAI before = *engine.board;
    ASSERT_TRUE(boardref::ExpectBoardConsistent(*engine.board));

    EXPECT_EQ(engine.ParseCommand("info", "rule 1"), "");
    EXPECT_EQ(engine.shared.rules, Rules{WinRule::kExactlyFive});
    EXPECT_EQ(engine.board->GameRules(), engine.shared.rules);
    EXPECT_EQ(engine.worker.board->GameRules(), engine.shared.rules);
    ASSERT_TRUE(boardref::ExpectBoardConsistent(*engine.board)) << "categories from the old tables";
    EXPECT_EQ(engine.board->mMoveCount, before.mMoveCount);
    EXPECT_EQ(engine.board->mSide, before.mSide);
    EXPECT_EQ(engine.board->mHash, before.mHash);
    for (uint32_t z = 0; z < Coord::area; ++z) EXPECT_EQ(engine.board->mCells[z], before.mCells[z]);

    // The game goes on under the new rule.
    std::string reply = engine.ParseCommand("turn", "0,19");
    EXPECT_EQ(reply.find("ERROR"), std::string::npos) << reply;
    EXPECT_TRUE(boardref::ExpectBoardConsistent(*engine.board));
}

}  // namespace
