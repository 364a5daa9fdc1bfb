#include "tools/testsuite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "board/boardai.h"
#include "protocol/engine.h"
#include "tests/process_helpers.h"
#include "tools/directorylist.h"

namespace {

using tamlo_test::TempDir;

TEST(JoinPathTest, ExactlyOneSeparator) {
    EXPECT_EQ(JoinPath("", "a.txt"), "a.txt");
    EXPECT_EQ(JoinPath("dir", ""), "dir");
    EXPECT_EQ(JoinPath("dir", "a.txt"), "dir/a.txt");
    EXPECT_EQ(JoinPath("dir/", "a.txt"), "dir/a.txt");
    EXPECT_EQ(JoinPath("dir", "/a.txt"), "dir/a.txt");
    EXPECT_EQ(JoinPath("dir/", "/a.txt"), "dir/a.txt");
}

TEST(ListDirectoryTest, SortedFilesAndFolders) {
    TempDir dir;
    dir.WriteFile("b.txt", "");
    dir.WriteFile("a.txt", "");
    std::filesystem::create_directory(dir.File("c"));
    std::vector<std::string> list{"kept"};
    EXPECT_EQ(ListDirectory(dir.Path() + "/", list), 0);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", dir.File("a.txt"), dir.File("b.txt"),
                                              dir.File("c")}));
    EXPECT_NE(ListDirectory(dir.File("missing"), list), 0);
    EXPECT_EQ(list.size(), 4u);
}

// The commands through the real program, as a build server runs them.
class BenchmarkCommandTest : public ::testing::Test {
  protected:
    std::vector<std::string> Run(const std::string& command) {
        // Lines from standard input are lower-cased, so the command goes through
        // --command, which keeps the case of the temporary folder's name.
        tamlo_test::RunResult r = tamlo_test::RunTamlo("", {"--command", command + ";end"});
        EXPECT_EQ(r.exitCode, 0);
        return tamlo_test::SplitLines(r.output);
    }
    TempDir dir;
};

TEST_F(BenchmarkCommandTest, EmptyFolderPrintsNothing) {
    EXPECT_TRUE(Run("tcbenchmark " + dir.Path()).empty());
}

TEST_F(BenchmarkCommandTest, MissingFolder) {
    std::string missing = dir.File("missing");
    EXPECT_EQ(Run("tcbenchmark " + missing),
              std::vector<std::string>{"ERROR failed to list directory " + missing});
}

// Positions where the side to move completes a five at (4,0), so the searches
// are short.
const std::string kFours = "1,1,0\n1,10,0\n2,1,0\n2,10,0\n3,1,0\n3,10,0\n4,1,0\n4,10,0\n";

TEST_F(BenchmarkCommandTest, FailuresAndStatisticLines) {
    const std::string& fours = kFours;
    dir.WriteFile("a_good.txt", "Tamlo 20x20\n" + fours);
    dir.WriteFile("b_bad.txt", "Tamlo 20x20\n" + fours + "11\n");  // a lone number ends the list
    dir.WriteFile("c_broken.txt", "Tamlo 20x20\n10,10\n");
    dir.WriteFile("d_outside.txt", "Tamlo 20x20\n21,1,0\n");
    std::filesystem::create_directory(dir.File("e_folder"));
    std::vector<std::string> lines = Run("tcbenchmark " + dir.Path());
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], dir.File("a_good.txt"));
    EXPECT_EQ(lines[1], dir.File("b_bad.txt"));
    EXPECT_EQ(lines[2], dir.File("c_broken.txt"));
    EXPECT_EQ(lines[3], dir.File("d_outside.txt"));
    EXPECT_EQ(lines[4], dir.File("e_folder"));
    EXPECT_TRUE(std::regex_match(
        lines[5],
        std::regex(
            "##teamcity\\[buildStatisticValue key='MovesPerSearch_depth10' value='[0-9]+'\\]")))
        << lines[5];
    EXPECT_TRUE(std::regex_match(
        lines[6],
        std::regex("##teamcity\\[buildStatisticValue key='Moves_PerSec' value='[0-9]+'\\]")))
        << lines[6];
    // The reply: one failure line per file, each ended by CR LF but the last,
    // which the loop's own line feed ends: no empty line, which a GUI would
    // take for a move.
    EXPECT_EQ(lines[7], "TestAB failed in file " + dir.File("c_broken.txt") + "\r");
    EXPECT_EQ(lines[8], "TestAB failed in file " + dir.File("d_outside.txt") + "\r");
    EXPECT_EQ(lines[9], "TestAB failed in file " + dir.File("e_folder"));
    EXPECT_EQ(Run("benchmark " + dir.Path()).size(), 8u) << "benchmark prints no statistics";
}

TEST_F(BenchmarkCommandTest, FoldersAndFilesNamedWithEitherSeparator) {
    std::filesystem::create_directory(dir.File("sub"));
    dir.WriteFile("sub/four.txt", "Tamlo 20x20\n" + kFours);
    // A listed path keeps the separator the folder is named with; on Windows a
    // folder named without one gets a backslash, which works wherever "/" does.
    const bool windows = tamlo_test::TestingWindowsBuild();
    struct Case {
        std::string folder, listed;
    };
    std::vector<Case> cases = {{"sub", windows ? "sub\\four.txt" : "sub/four.txt"},
                               {"sub/", "sub/four.txt"},
                               {"./sub", "./sub/four.txt"}};
    std::vector<std::string> files = {"sub/four.txt"};
    if (windows) {
        cases.push_back({"sub\\", "sub\\four.txt"});
        cases.push_back({".\\sub", ".\\sub\\four.txt"});
        files.push_back("sub\\four.txt");
        files.push_back(dir.Path() + "\\sub\\four.txt");
    }
    std::string commands;
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        commands += "benchmark " + c.folder + ";";
        expected.push_back(c.listed);  // the position passes: no reply
    }
    for (const std::string& file : files) {
        commands += "load " + file + ";";
        expected.push_back("4,0");
    }
    tamlo_test::RunResult r = tamlo_test::RunTamlo("", {"--command", commands + "end"}, dir.Path());
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(tamlo_test::SameLines(
        expected, tamlo_test::StripDiagnostics(tamlo_test::SplitLines(r.output))));
}

// Another build's program (the Windows one) counts in its self-test what this
// build's engine counts in-process: the search is the same whatever the system
// and the compiler.
TEST(SelfTestTest, AnotherBuildCountsLikeTheEngineInProcess) {
    if (tamlo_test::TamloBinary() == TAMLO_BINARY)
        GTEST_SKIP() << "the program under test is this build's own";
    if (kSanitized) GTEST_SKIP() << "forty depth-10 searches take minutes under the sanitizers";
    Engine engine{ProgramArguments{}};
    const std::string expected = SelfTest(engine.worker);
    // Forty deep searches, on a shared machine.
    tamlo_test::RunResult r = tamlo_test::RunTamlo("", {"--command", "test;end"}, "", 300);
    EXPECT_EQ(r.exitCode, 0) << tamlo_test::Describe(r);
    EXPECT_TRUE(tamlo_test::SameLines(
        {expected}, tamlo_test::StripDiagnostics(tamlo_test::SplitLines(r.output))));
}

// The self-test's count is the search's signature, so it must come from searches
// that reach their full depth: a search that stops early checks little. Its value
// from run to run is compared with the recorded one by tools/ (see README).
TEST(SelfTestTest, FortySearchesFromTheEmptyBoardEachToItsFullDepth) {
    if (kSanitized) GTEST_SKIP() << "forty depth-10 searches take minutes under the sanitizers";
    Engine engine{ProgramArguments{}};
    std::vector<uint32_t> stones;
    std::string reply = SelfTest(engine.worker, [&](const BoardAI& b) { stones.push_back(b.mMoveCount); });
    ASSERT_EQ(stones.size(), 40u);
    EXPECT_EQ(stones[0], 0u);
    for (size_t i = 1; i < stones.size(); ++i) EXPECT_EQ(stones[i], i) << i;
    EXPECT_TRUE(std::regex_match(reply, std::regex("testing: [0-9]+ nodes"))) << reply;

    // Every search that the generator does not settle alone writes a depth line:
    // depth 10 (one past the limit of 9), or less only with a proven verdict,
    // which carries no value.
    std::istringstream lines(engine.diagnostics.str());
    int searched = 0;
    const std::regex depthLine("DEBUG dep=([0-9]+)-[0-9]+( val=-?[0-9]+)?");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, depthLine)) continue;
        ++searched;
        if (m[2].matched) {
            EXPECT_EQ(m[1], "10") << line;
        }
    }
    EXPECT_GE(searched, 10);
}

}  // namespace
