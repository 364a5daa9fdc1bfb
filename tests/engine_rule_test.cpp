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

namespace {

// Black (the engine, first stone) to move with a double three at 7,7: the two
// open twos 5,7 6,7 and 7,5 7,6 meet there; White's stones are in the corners.
const char kDoubleThreeBoard[] =
    "7,5,1 0,0,2 7,6,1 14,0,2 5,7,1 0,14,2 6,7,1 14,14,2 done";

TEST_F(EngineRuleTest, ShowForbidListsBlacksForbiddenCellsOnly) {
    Engine engine{ProgramArguments{}};
    ASSERT_EQ(engine.ParseCommand("start", "15"), "OK");
    EXPECT_EQ(engine.ParseCommand("yxshowforbid", ""), "FORBID .") << "freestyle";
    engine.ParseCommand("info", "rule 4");
    EXPECT_EQ(engine.ParseCommand("yxboard", kDoubleThreeBoard), "");
    EXPECT_EQ(engine.ParseCommand("yxshowforbid", ""), "FORBID 0707.");
    // The same stones and one more of Black's, the engine White and to move.
    EXPECT_EQ(engine.ParseCommand(
                  "yxboard", "7,5,2 0,0,1 7,6,2 14,0,1 5,7,2 0,14,1 6,7,2 14,14,1 3,3,2 done"),
              "");
    EXPECT_EQ(engine.board->mToMove, 3u - engine.board->mBlack);
    EXPECT_EQ(engine.ParseCommand("yxshowforbid", ""), "FORBID .");
    // Under caro nothing is forbidden.
    engine.ParseCommand("info", "rule 8");
    EXPECT_EQ(engine.ParseCommand("yxboard", kDoubleThreeBoard), "");
    EXPECT_EQ(engine.ParseCommand("yxshowforbid", ""), "FORBID .");
}

TEST_F(EngineRuleTest, BlackNeverAnswersWithAForbiddenCell) {
    Engine engine{ProgramArguments{}};
    ASSERT_EQ(engine.ParseCommand("start", "15"), "OK");
    engine.ParseCommand("info", "rule 4");
    engine.ParseCommand("info", "timeout_turn 300");
    // BOARD, then the same stones by yxboard and a yxnbest request.
    engine.ParseCommand("board", "");
    const std::string list = std::string(kDoubleThreeBoard);
    std::string reply;
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find(' ', start);
        if (end == std::string::npos) end = list.size();
        reply = engine.ParseCommand(list.substr(start, end - start), "");
        start = end + 1;
    }
    EXPECT_NE(reply, "7,7");
    EXPECT_EQ(reply.find("ERROR"), std::string::npos) << reply;
    engine.ParseCommand("yxboard", kDoubleThreeBoard);
    reply = engine.ParseCommand("yxnbest", "2");
    EXPECT_NE(reply, "7,7");
    EXPECT_EQ(reply.find("ERROR"), std::string::npos) << reply;
}

TEST_F(EngineRuleTest, RuleTwoIsRenjuOnlyFromAGui) {
    Engine engine{ProgramArguments{}};
    ASSERT_EQ(engine.ParseCommand("start", "15"), "OK");
    engine.ParseCommand("info", "rule 2");
    EXPECT_EQ(engine.shared.rules, Rules{WinRule::kFiveOrMore}) << "a manager's continuous game";
    engine.ParseCommand("yxshowinfo", "");
    EXPECT_EQ(engine.shared.rules, Rules{WinRule::kRenju}) << "the GUI's renju, sent before";
    engine.ParseCommand("info", "rule 8");
    engine.ParseCommand("info", "rule 2");
    EXPECT_EQ(engine.shared.rules, Rules{WinRule::kRenju});
    EXPECT_EQ(engine.board->GameRules(), engine.shared.rules);
}

}  // namespace
