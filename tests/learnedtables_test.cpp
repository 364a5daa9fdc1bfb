#include "board/learnedtables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/tablefile.h"
#include "tools/evaltuner.h"
#include "tools/movetuner.h"

namespace {

std::unique_ptr<CodeValues> RandomValues(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> value(-100000000, 100000000);
    auto t = std::make_unique<CodeValues>();
    for (auto& v : t->value) v[0] = value(rng), v[1] = value(rng);
    for (int32_t& v : t->presence) v = value(rng);
    t->danger[0] = value(rng);
    t->danger[1] = value(rng);
    return t;
}

std::string ValidValuesFile() {
    return evaltuner::LearnedValuesFile(*RandomValues(1), {"a test table"});
}

// The text with the line holding `from` (the first one) replaced by `to`.
std::string ReplaceLine(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    const size_t begin = text.rfind('\n', at) + 1, end = text.find('\n', at);
    return text.replace(begin, end - begin, to);
}

}  // namespace

// What the tuner writes is what the engine loads, to the last bit.
TEST(LearnedTablesTest, TheEvaluationFileRoundTrips) {
    const auto table = RandomValues(7);
    const std::string text = evaltuner::LearnedValuesFile(*table, {"made by a test"});
    auto loaded = std::make_unique<CodeValues>();
    ParseLearnedValues(text, *loaded);
    EXPECT_EQ(std::memcmp(table.get(), loaded.get(), sizeof(CodeValues)), 0);
}

TEST(LearnedTablesTest, TheFittedValuesAreWrittenInHundredths) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> value(-5000, 5000);
    std::vector<double> values(evaltuner::kParameterCount);
    for (double& v : values) v = value(rng);
    const std::string text = evaltuner::TableText(values, "tamlo-tune test", evaltuner::FitReport{});
    EXPECT_NE(text.find("#   tamlo-tune test\n"), std::string::npos);
    auto loaded = std::make_unique<CodeValues>();
    ParseLearnedValues(text, *loaded);
    for (uint32_t code = 0; code < kCellCodeCount; code += 97) {
        EXPECT_NEAR(loaded->value[code][0], values[evaltuner::kOwnCodes + code] * 100, 0.5);
        EXPECT_NEAR(loaded->value[code][1], values[evaltuner::kOppCodes + code] * 100, 0.5);
    }
    EXPECT_NEAR(loaded->presence[4095], values[evaltuner::kPresence + 4095] * 100, 0.5);
    EXPECT_NEAR(loaded->danger[1], values[evaltuner::kDanger + 1] * 100, 0.5);
}

TEST(LearnedTablesTest, TheMoveScoreFileRoundTrips) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> value(-100000, 100000);
    std::vector<int32_t> scores(movetuner::kParameterCount);
    for (int32_t& s : scores) s = value(rng);
    auto loaded = std::make_unique<MoveScores>();
    ParseMoveScores(movetuner::MoveScoresFile(scores, {"made by a test"}), *loaded);
    for (uint32_t code = 0; code < kCellCodeCount; ++code) {
        ASSERT_EQ(loaded->score[code][0], scores[movetuner::kOwnCodes + code]);
        ASSERT_EQ(loaded->score[code][1], scores[movetuner::kOppCodes + code]);
    }
}

// A file cut short, a row lost or widened, a stray character, a section of
// the wrong shape or name, text after the end: each is refused, never loaded
// as zeros.
TEST(LearnedTablesTest, MalformedFilesAreRefused) {
    const std::string good = ValidValuesFile();
    auto table = std::make_unique<CodeValues>();
    ASSERT_NO_THROW(ParseLearnedValues(good, *table));
    const size_t presence = good.find("\npresence ");
    const size_t secondRow = good.find('\n', good.find("\ncodes ") + 1) + 1;
    const size_t secondRowEnd = good.find('\n', secondRow);
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"empty", ""},
        {"no end", good.substr(0, good.rfind("end"))},
        {"cut in the presence rows", good.substr(0, presence + 200)},
        {"a code row lost", std::string(good).erase(secondRow, secondRowEnd - secondRow + 1)},
        {"a code row widened", std::string(good).insert(secondRowEnd, " 1")},
        {"a stray character", std::string(good).insert(secondRowEnd, "x")},
        {"a number out of range",
         good.substr(0, good.find("danger 1 2\n")) + "danger 1 2\n1 2147483648\nend\n"},
        {"the wrong shape", ReplaceLine(good, "codes 5985 2", "codes 5984 2")},
        {"the wrong name", ReplaceLine(good, "danger 1 2", "dangers 1 2")},
        {"a section missing", good.substr(0, presence + 1) + "end\n"},
        {"text after the end", good + "1 2\n"},
    };
    for (const auto& [what, text] : bad) {
        SCOPED_TRACE(what);
        EXPECT_THROW(ParseLearnedValues(text, *table), std::runtime_error);
    }
    // Move scores are not evaluation values, nor the other way round.
    auto moves = std::make_unique<MoveScores>();
    EXPECT_THROW(ParseMoveScores(good, *moves), std::runtime_error);
    EXPECT_THROW(ParseLearnedValues(movetuner::MoveScoresFile(
                                        std::vector<int32_t>(movetuner::kParameterCount, 0), {}),
                                    *table),
                 std::runtime_error);
}

// The embedded files are the tables the engine runs with.
TEST(LearnedTablesTest, TheEmbeddedFilesAreTheLoadedTables) {
    auto values = std::make_unique<CodeValues>();
    ParseLearnedValues(EmbeddedLearnedValues(), *values);
    EXPECT_EQ(std::memcmp(values.get(), &LearnedTables::Values(), sizeof(CodeValues)), 0);
    auto moves = std::make_unique<MoveScores>();
    ParseMoveScores(EmbeddedMoveScores(), *moves);
    EXPECT_EQ(std::memcmp(moves.get(), &LearnedTables::Moves(), sizeof(MoveScores)), 0);
    // Each names the command that made it.
    EXPECT_NE(EmbeddedLearnedValues().find("# Made with:\n#   tamlo-tune "), std::string::npos);
    EXPECT_NE(EmbeddedMoveScores().find("# Made with:\n#   tamlo-tune "), std::string::npos);
}

// The accessor gives the table's two entries for the cell's codes, whether the
// board keeps the codes or not.
TEST(LearnedTablesTest, MoveScoreSumsTheTwoCodesEntries) {
    BoardAI kept, plain;
    kept.AttachCodeValues(&LearnedTables::Values());
    const CellIndex stones[] = {Coord::xy2z(9, 9),   Coord::xy2z(10, 10), Coord::xy2z(9, 10),
                                Coord::xy2z(10, 9),  Coord::xy2z(9, 11),  Coord::xy2z(11, 11),
                                Coord::xy2z(9, 8)};
    for (CellIndex s : stones) {
        kept.Toggle(s);
        plain.Toggle(s);
    }
    const MoveScores& m = LearnedTables::Moves();
    int differing = 0;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (plain.mCells[z]) continue;
        const int32_t expected =
            m.score[CellCode(plain.mCategoryWord[z][plain.mToMove - 1])][0] +
            m.score[CellCode(plain.mCategoryWord[z][plain.mOpponent - 1])][1];
        ASSERT_EQ(MoveScore(plain, static_cast<CellIndex>(z)), expected);
        ASSERT_EQ(MoveScore(kept, static_cast<CellIndex>(z)), expected);
        differing += expected != MoveScore(plain, static_cast<CellIndex>(Coord::xy2z(0, 0)));
    }
    // Cells next to the stones score differently from an empty corner.
    EXPECT_GT(differing, 0);
}
