// Process-wide state for the whole test program: the board geometry is 20 x 20
// and every table of the board model is built, as in the engine after start-up.
// Tests that change the size or rebuild tables put this state back when done.

#include <gtest/gtest.h>

#include "board/boardai.h"
#include "board/coord.h"

namespace {

class BoardTablesEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        Coord::SetSize(20, 20);
        BoardAI::Alloc();
    }
    void TearDown() override { BoardAI::Free(); }
};

// Registered before main runs; gtest owns and deletes the object.
::testing::Environment* const kBoardTables =
    ::testing::AddGlobalTestEnvironment(new BoardTablesEnvironment);

}  // namespace
