#include "tools/movefile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "board/boardai.h"
#include "board/myexception.h"
#include "tests/board_reference.h"
#include "tests/position_builder.h"
#include "tests/positionwriters.h"
#include "tests/process_helpers.h"

namespace {

using tamlo_test::TempDir;

std::vector<CellIndex> Read(const std::string& path) {
    std::vector<CellIndex> cells;
    ReadMoveFile(path, cells);
    return cells;
}

std::string ErrorOf(const std::string& path) {
    try {
        Read(path);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class MoveFileTest : public ::testing::Test {
  protected:
    void TearDown() override { boardref::EnsureTables(20, 20); }
    TempDir dir;
};

TEST_F(MoveFileTest, ReadsCellsInPlayingOrder) {
    boardref::EnsureTables(15, 15);
    EXPECT_EQ(Read(dir.WriteFile("a.txt", "Tamlo 15x15\n3,4,0\n1,1,-1\n15,15,7\n")),
              (std::vector<CellIndex>{2 + 3 * 15, 0, 224}));
}

TEST_F(MoveFileTest, EndsOfTheList) {
    // Header only.
    EXPECT_TRUE(Read(dir.WriteFile("h.txt", "Tamlo 20x20\n")).empty());
    // A lone number, an empty line, a line starting with a letter.
    EXPECT_EQ(Read(dir.WriteFile("n.txt", "x\n1,1,0\n2,2,0\n5\n3,3,0\n")).size(), 2u);
    EXPECT_EQ(Read(dir.WriteFile("e.txt", "x\n1,1,0\n\n3,3,0\n")).size(), 1u);
    EXPECT_EQ(Read(dir.WriteFile("l.txt", "x\n1,1,0\nTamlo 20x20\n3,3,0\n")).size(), 1u);
    // Windows line ends are read like plain ones.
    EXPECT_EQ(Read(dir.WriteFile("w.txt", "x\r\n1,1,0\r\n2,2,0\r\n")).size(), 2u);
}

TEST_F(MoveFileTest, MalformedLinesAreErrors) {
    std::string two = dir.WriteFile("two.txt", "x\n1,1,0\n5,6\n");
    EXPECT_EQ(ErrorOf(two), "Failed to read data in file " + two + ".");
    std::string blanks = dir.WriteFile("blanks.txt", "x\n   \n");
    EXPECT_EQ(ErrorOf(blanks), "Failed to read data in file " + blanks + ".");
    // The cells before the bad line stay in the list.
    std::vector<CellIndex> cells;
    EXPECT_THROW(ReadMoveFile(two, cells), std::runtime_error);
    EXPECT_EQ(cells.size(), 1u);
}

TEST_F(MoveFileTest, UnreadableFilesAreErrors) {
    std::string missing = dir.File("missing.txt");
    EXPECT_EQ(ErrorOf(missing), "Failed to open file " + missing + ".");
    EXPECT_EQ(ErrorOf(dir.Path()), "Failed to open file " + dir.Path() + ".");
}

TEST_F(MoveFileTest, CoordinatesAreOneBasedAndChecked) {
    std::string zero = dir.WriteFile("z.txt", "x\n0,1,0\n");
    std::vector<CellIndex> cells;
    try {
        ReadMoveFile(zero, cells);
        FAIL() << "0 is outside the board";
    } catch (const MyException& e) {
        EXPECT_STREQ(e.what(), "X coord overflow.");
    }
    EXPECT_THROW(Read(dir.WriteFile("y.txt", "x\n1,21,0\n")), MyException);
    EXPECT_EQ(Read(dir.WriteFile("ok.txt", "x\n20,20,0\n")), std::vector<CellIndex>{399});
}

TEST_F(MoveFileTest, WrittenFilesReadBack) {
    BoardAI board;
    PlayMoves(board, {{10, 10}, {0, 0}, {19, 19}, {5, 12}, kPassMove, {7, 3}});
    std::string path = dir.File("game.txt");
    WriteMoveFile(board, path);
    std::vector<std::string> lines = FileLines(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Tamlo 20x20");
    EXPECT_EQ(lines[1], "11,11,0");
    EXPECT_EQ(Read(path), std::vector<CellIndex>(board.mMoves, board.mMoves + board.mMoveCount));
}

TEST_F(MoveFileTest, PositionXmlDocument) {
    boardref::EnsureTables(15, 10);
    BoardAI board;
    PlayMoves(board, {{3, 4}, {14, 9}, {0, 0}});
    std::vector<uint32_t> marks(Coord::area, 0);
    marks[Coord::xy2z(1, 0)] = 1;
    marks[Coord::xy2z(2, 1)] = 4;
    marks[Coord::xy2z(6, 6)] = 9;
    std::string path = dir.File("pos.xml");
    WritePositionXml(board, path, marks);
    EXPECT_EQ(FileLines(path), (std::vector<std::string>{
                                   "<?xml version=\"1.0\" encoding=\"ASCII\"?>",
                                   "<gomoku>",
                                   "<rule width=\"15\" height=\"10\" />",
                                   "<stones>",
                                   "<stone x=\"3\" y=\"4\" index=\"0\">x</stone>",
                                   "<stone x=\"14\" y=\"9\" index=\"1\">o</stone>",
                                   "<stone x=\"0\" y=\"0\" index=\"2\">x</stone>",
                                   "</stones>",
                                   "<marks>",
                                   "<mark x=\"1\" y=\"0\"  type=\"MustInclude\" />",
                                   "<mark x=\"2\" y=\"1\"  type=\"ShouldNotInclude\" />",
                                   "<mark x=\"6\" y=\"6\"  type=\"\" />",
                                   "</marks>",
                                   "</gomoku>",
                               }));
}

TEST_F(MoveFileTest, WritersLeaveUncreatableFilesAlone) {
    BoardAI board;
    EXPECT_NO_THROW(WriteMoveFile(board, dir.File("no/such/folder/game.txt")));
    EXPECT_NO_THROW(WritePositionXml(board, dir.File("no/such/folder/pos.xml"), {}));
}

}  // namespace
