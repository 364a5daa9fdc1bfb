#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/patterntables.h"
#include "board/segment.h"

// Categories print as numbers rather than as characters.
static void PrintTo(ThreatCategory c, std::ostream* os) {
    *os << static_cast<int>(c);
}

namespace {

const PatternTables* T = nullptr;

// ".XXX.." -> segment code: position 0 is the first character.
SegmentCode Seg(const std::string& cells) {
    uint32_t code = 1u << cells.size();
    for (size_t i = 0; i < cells.size(); i++) {
        if (cells[i] == 'X') code |= 1u << i;
    }
    return static_cast<SegmentCode>(code);
}

// Eleven characters for the cells at -5..+5, the middle one ('*') being the
// examined cell: '.' empty, 'X' player 1, 'O' player 2, '#' off the board.
uint32_t Word(const std::string& line) {
    EXPECT_EQ(line.size(), 11u);
    EXPECT_EQ(line[5], '*');
    uint32_t word = 0;
    int slot = 0;
    for (size_t i = 0; i < line.size(); i++) {
        if (i == 5) continue;
        const uint32_t v = line[i] == 'X' ? 1 : line[i] == 'O' ? 2 : line[i] == '#' ? 3 : 0;
        word |= v << (2 * slot++);
    }
    return word;
}

uint32_t SwapColours(uint32_t word) {
    uint32_t out = 0;
    for (int s = 0; s < 10; s++) {
        uint32_t v = (word >> (2 * s)) & 3;
        if (v == 1 || v == 2) v = 3 - v;
        out |= v << (2 * s);
    }
    return out;
}

uint32_t MirrorWord(uint32_t word) {
    uint32_t out = 0;
    for (int s = 0; s < 10; s++) out |= ((word >> (2 * s)) & 3) << (2 * (9 - s));
    return out;
}

// Every slot holding `from` set to `to`.
uint32_t ReplaceSlots(uint32_t word, uint32_t from, uint32_t to) {
    uint32_t out = 0;
    for (int s = 0; s < 10; s++) {
        uint32_t v = (word >> (2 * s)) & 3;
        out |= (v == from ? to : v) << (2 * s);
    }
    return out;
}

SegmentCode MirrorCode(SegmentCode code) {
    const int length = SegmentLength(code);
    uint32_t out = 1u << length;
    for (int i = 0; i < length; i++) out |= ((code >> i) & 1u) << (length - 1 - i);
    return static_cast<SegmentCode>(out);
}

// Table entries as numbers, for readable failure output.
int Cat1(uint32_t word) {
    return T->lineCategory1[word];
}
int Cat2(uint32_t word) {
    return T->lineCategory2[word];
}

ThreatCategory CategoryOf(SegmentCode code) {
    return LineCategory(T->distFive[code], T->distStraight[code], T->distFiveBlocked[code],
                        T->distStraightBlocked[code]);
}

// The tables under test: those of the rules of an INFO rule value.
void Rebuild(uint32_t ruleValue) {
    T = &PatternTablesFor(Rules::FromProtocolValue(ruleValue));
}

class PatternTablesTest : public ::testing::Test {
  protected:
    void SetUp() override { Rebuild(0); }
    // Leave the tables built, as other suites in this binary expect.
    void TearDown() override {
        if (!categoryNames) BuildCategoryNames();
        BuildCombinedTable();
        Rebuild(0);
    }
};

// --- Segments of pattern words ----------------------------------------------

TEST(SegmentTest, HasRunIgnoresLeadingBit) {
    EXPECT_FALSE(HasRun(Seg("XXXX"), 5));  // the leading 1 makes a fifth set bit
    EXPECT_TRUE(HasRun(Seg("XXXX"), 4));
    EXPECT_TRUE(HasRun(Seg(".XXXXX."), 5));
    EXPECT_FALSE(HasRun(Seg(".XXXXX."), 6));
    EXPECT_FALSE(HasRun(Seg("XX.XXX"), 4));
    EXPECT_FALSE(HasRun(1, 1));
    EXPECT_EQ(SegmentLength(Seg("...........")), 11);
    EXPECT_EQ(SegmentLength(1), 0);
}

TEST(SegmentTest, SegmentOfWalksBothSidesUntilBlocked) {
    int neg = -1, pos = -1;
    const uint32_t w = Word("O.XX.*X.O..");
    EXPECT_EQ(SegmentOf(1, w, neg, pos, 1), Seg(".XX.XX."));
    EXPECT_EQ(neg, 4);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(SegmentOf(1, w, neg, pos, 0), Seg(".XX..X."));
    // Player 2 is hemmed in by player 1's stones at -2 and +1.
    EXPECT_EQ(SegmentOf(2, w, neg, pos, 1), Seg(".X"));
    EXPECT_EQ(neg, 1);
    EXPECT_EQ(pos, 0);

    EXPECT_EQ(SegmentOf(1, 0, neg, pos, 1), Seg(".....X....."));
    EXPECT_EQ(neg, 5);
    EXPECT_EQ(pos, 5);

    // Off-board slots end the walk for both players.
    EXPECT_EQ(SegmentOf(1, Word("###XX*XXX##"), neg, pos, 1), Seg("XXXXXX"));
    EXPECT_EQ(neg, 2);
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(SegmentOf(2, Word("#####*#####"), neg, pos, 0), Seg("."));
    EXPECT_EQ(neg, 0);
    EXPECT_EQ(pos, 0);
}

TEST(SegmentTest, PositionMapsToSignedDistance) {
    int neg = 0, pos = 0;
    // The only stone besides the centre is at +2.
    const SegmentCode code = SegmentOf(1, Word("O...O*.X..."), neg, pos, 1);
    ASSERT_EQ(neg, 0);
    ASSERT_EQ(pos, 5);
    for (int i = 0; i < SegmentLength(code); i++) {
        const int distance = i - neg;
        EXPECT_EQ((code >> i) & 1, distance == 0 || distance == 2 ? 1 : 0) << i;
    }
}

TEST(SegmentTest, ShortSegmentUsesFourCellsPerSide) {
    int neg = -1, pos = -1;
    const uint32_t w = Word("XXXX.*....X");
    EXPECT_EQ(SegmentOf(1, w, neg, pos, 1), Seg("XXXX.X....X"));
    EXPECT_EQ(neg, 5);
    EXPECT_EQ(pos, 5);
    const uint32_t window = (w >> 2) & 0xFFFF;
    EXPECT_EQ(ShortSegmentOf(1, window, neg, pos, 1), Seg("XXX.X...."));
    EXPECT_EQ(neg, 4);
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(ShortSegmentOf(1, window, neg, pos, 0), Seg("XXX......"));
    // Blocked inside the window.
    EXPECT_EQ(ShortSegmentOf(2, (Word(".O.X.*O#...") >> 2) & 0xFFFF, neg, pos, 1), Seg(".XX"));
    EXPECT_EQ(neg, 1);
    EXPECT_EQ(pos, 1);
}

// --- Segment tables -----------------------------------------------------------

struct TypicalRow {
    const char* segment;
    int d5, ds, b5, bs;
    ThreatCategory category;
};

TEST_F(PatternTablesTest, TypicalSegmentRows) {
    const TypicalRow rows[] = {
        {"XXXXX", 0, 0, 0, 0, kWin},
        {".XXXX.", 1, 0, 1, 1, kStraightFour},
        {"XXXX.", 1, 1, 6, 6, kFour},
        {"..XXX.X", 1, 1, 2, 2, kFourDevelopFour},
        {"...XX..XXXX", 1, 1, 3, 2, kFourDevelopThree},
        {"..XXX..", 2, 1, 2, 2, kThree},
        {".XX.X.", 2, 1, 6, 6, kThree},
        {"...XX..XXX.", 2, 1, 3, 2, kThreeDevelop},
        {".XXX.", 2, 2, 6, 6, kThreeDef},
        {"..XX..", 3, 2, 6, 6, kTwo},
        {"...XX", 3, 3, 6, 6, kTwoDef},
        {".....X.....", 4, 3, 4, 4, kOther},
        {"XXXX", 6, 6, 0, 0, kImpossible},
    };
    for (const TypicalRow& row : rows) {
        SCOPED_TRACE(row.segment);
        const SegmentCode code = Seg(row.segment);
        EXPECT_EQ(T->distFive[code], row.d5);
        EXPECT_EQ(T->distStraight[code], row.ds);
        EXPECT_EQ(T->distFiveBlocked[code], row.b5);
        EXPECT_EQ(T->distStraightBlocked[code], row.bs);
        EXPECT_EQ(CategoryOf(code), row.category);
        // Mirror images are worth the same.
        EXPECT_EQ(CategoryOf(MirrorCode(code)), row.category);
    }
}

TEST_F(PatternTablesTest, TypicalRowsThroughPatternWords) {
    EXPECT_EQ(Cat1(Word("OXXXX*O....")), kWin);
    EXPECT_EQ(Cat1(Word("...XX*X....")), kStraightFour);  // ..XXXX.. within reach
    EXPECT_EQ(Cat1(Word("#XXXX*.....")), kWin);
    EXPECT_EQ(Cat1(Word("OXXX.*O....")), kFour);
    EXPECT_EQ(Cat1(Word("##.XX*.O...")), kThreeDef);
    EXPECT_EQ(Cat2(Word("##.OO*.X...")), kThreeDef);
    EXPECT_EQ(Cat1(Word("O.XX.*.O...")), kThree);
    EXPECT_EQ(Cat1(Word("....X*X....")), kThree);
}

TEST_F(PatternTablesTest, ShortSegmentsAreImpossible) {
    for (uint32_t code = 2; code < kSegmentCodeCount; code++) {
        if (SegmentLength(static_cast<SegmentCode>(code)) >= 5) continue;
        EXPECT_EQ(T->distFive[code], 6) << code;
        EXPECT_EQ(CategoryOf(static_cast<SegmentCode>(code)), kImpossible) << code;
    }
    // Four usable cells in a row, whatever the stones, e.g. on a 4x4 board.
    EXPECT_EQ(Cat1(Word("####X*XX###")), kImpossible);
    EXPECT_EQ(Cat2(Word("###.O*.####")), kImpossible);
    EXPECT_EQ(Cat1(0xFFFFF), kImpossible);
}

// Game-level meaning of the distances, computed by recursion over added stones
// instead of by levels.
class ReferenceDistances {
  public:
    explicit ReferenceDistances(bool exact)
        : exact_(exact), five_(kSegmentCodeCount, -1), straight_(kSegmentCodeCount, -1) {}

    int Five(SegmentCode c) { return Dist(c, false); }
    int Straight(SegmentCode c) { return Dist(c, true); }

  private:
    bool IsFive(uint32_t c) const { return HasRun(c, 5) && !(exact_ && HasRun(c, 6)); }
    // The defender moves first and still cannot stop a five.
    bool Unstoppable(uint32_t c) const {
        const int n = SegmentLength(c);
        bool anyEmpty = false;
        for (int i = 0; i < n; i++) {
            if ((c >> i) & 1) continue;
            anyEmpty = true;
            bool reply = false;
            for (int j = 0; j < n && !reply; j++) {
                if (j != i && !((c >> j) & 1) && IsFive(c | 1u << j)) reply = true;
            }
            if (!reply) return false;
        }
        return anyEmpty;
    }
    int Dist(SegmentCode c, bool straight) {
        int& memo = (straight ? straight_ : five_)[c];
        if (memo >= 0) return memo;
        if (IsFive(c)) return memo = 0;
        if (exact_ && HasRun(c, 6)) return memo = 6;
        if (Unstoppable(c)) return memo = straight ? 0 : 1;
        int best = 6;
        for (int j = 0; j < SegmentLength(c); j++) {
            if (!((c >> j) & 1)) best = std::min(best, 1 + Dist(c | 1u << j, straight));
        }
        return memo = best;
    }
    bool exact_;
    std::vector<int> five_, straight_;
};

TEST_F(PatternTablesTest, DistancesMatchReferenceForBothRules) {
    for (uint32_t r : {0u, 1u}) {
        Rebuild(r);
        ReferenceDistances ref(r == 1);
        for (uint32_t code = 2; code < kSegmentCodeCount; code++) {
            const auto c = static_cast<SegmentCode>(code);
            ASSERT_EQ(T->distFive[code], ref.Five(c)) << "rule " << r << " code " << code;
            ASSERT_EQ(T->distStraight[code], ref.Straight(c)) << "rule " << r << " code " << code;
        }
    }
}

TEST_F(PatternTablesTest, BlockTablesAreConsistent) {
    for (uint32_t r : {0u, 1u}) {
        Rebuild(r);
        for (uint32_t code = 2; code < kSegmentCodeCount; code++) {
            SCOPED_TRACE(code);
            const auto c = static_cast<SegmentCode>(code);
            const int length = SegmentLength(c);
            EXPECT_EQ(T->distFive[code], T->distFive[MirrorCode(c)]);
            EXPECT_EQ(T->distStraightBlocked[code], T->distStraightBlocked[MirrorCode(c)]);
            EXPECT_LE(T->distStraight[code], T->distFive[code]);
            int maxGain = -1, maxGain5 = -1;
            for (int i = 0; i < kMaxSegmentLength; i++) {
                const int g = T->blockGainStraight[code][i], g5 = T->blockGainFive[code][i];
                if (i >= length) {
                    ASSERT_EQ(g, 65535);
                    ASSERT_EQ(g5, 65535);
                } else if ((code >> i) & 1) {
                    ASSERT_EQ(g, 0);
                    ASSERT_EQ(g5, 0);
                } else {
                    // A defending stone never helps the attacker.
                    ASSERT_LE(g, 6);
                    ASSERT_LE(g5, 6);
                    maxGain = std::max(maxGain, g);
                    maxGain5 = std::max(maxGain5, g5);
                }
            }
            if (maxGain < 0) {
                EXPECT_EQ(T->distStraightBlocked[code], 0);
                EXPECT_EQ(T->distFiveBlocked[code], 0);
            } else {
                EXPECT_EQ(T->distStraightBlocked[code], T->distStraight[code] + maxGain);
                EXPECT_EQ(T->distFiveBlocked[code], T->distFive[code] + maxGain5);
            }
        }
    }
}

TEST_F(PatternTablesTest, BlockGainRows) {
    const SegmentCode three = Seg(".XXX..");
    const int expected[] = {1, 0, 0, 0, 5, 1};
    for (int i = 0; i < 6; i++) EXPECT_EQ(T->blockGainStraight[three][i], expected[i]) << i;
    EXPECT_EQ(T->blockGainStraight[three][6], 65535);
    // Blocking a lone four's winning cell ends the line.
    EXPECT_EQ(T->blockGainFive[Seg("XXXX.")][4], 5);
}

// --- Exact-five rule --------------------------------------------------------

TEST_F(PatternTablesTest, OverlineDependsOnRule) {
    const SegmentCode six = Seg("XXXXXX");
    EXPECT_EQ(CategoryOf(six), kWin);
    EXPECT_EQ(CategoryOf(Seg("X.XXXX.")), kStraightFour);
    EXPECT_EQ(Cat1(Word("###XX*XXX##")), kWin);

    Rebuild(1);
    EXPECT_EQ(CategoryOf(six), kImpossible);
    EXPECT_EQ(Cat1(Word("###XX*XXX##")), kImpossible);
    EXPECT_EQ(Cat2(Word("###OO*OOO##")), kImpossible);
    EXPECT_EQ(CategoryOf(Seg("XXXXX.")), kWin);
    // The defender takes the open end; filling the gap would make six.
    EXPECT_EQ(CategoryOf(Seg("X.XXXX.")), kFour);
    EXPECT_EQ(CategoryOf(Seg(".XXXX.X")), kFour);
    EXPECT_EQ(Cat1(Word("X.XXX*.....")), kFour);
    EXPECT_EQ(CategoryOf(Seg(".XXXX.")), kStraightFour);

    Rebuild(3);
    EXPECT_EQ(CategoryOf(six), kImpossible);
    EXPECT_EQ(CategoryOf(Seg("X.XXXX.")), kFour);
    Rebuild(2);
    EXPECT_EQ(CategoryOf(six), kWin);
    EXPECT_EQ(CategoryOf(Seg("X.XXXX.")), kStraightFour);
}

TEST_F(PatternTablesTest, EachRulesValueHasTablesOfItsOwn) {
    const auto copy = [](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        return std::vector<uint8_t>(b, b + n);
    };
    const auto snapshot = [&](const PatternTables& t) {
        std::vector<std::vector<uint8_t>> s;
        s.push_back(copy(t.distFive.get(), kSegmentCodeCount));
        s.push_back(copy(t.distStraight.get(), kSegmentCodeCount));
        s.push_back(copy(t.distFiveBlocked.get(), kSegmentCodeCount));
        s.push_back(copy(t.distStraightBlocked.get(), kSegmentCodeCount));
        s.push_back(copy(t.blockGainStraight.get(), kSegmentCodeCount * sizeof t.blockGainStraight[0]));
        s.push_back(copy(t.blockGainFive.get(), kSegmentCodeCount * sizeof t.blockGainFive[0]));
        s.push_back(copy(t.blockOrder.get(), kSegmentCodeCount * sizeof t.blockOrder[0]));
        s.push_back(copy(t.lineCategory1.get(), 1u << 20));
        s.push_back(copy(t.lineCategory2.get(), 1u << 20));
        s.push_back(copy(t.lineCategories.get(), 2u << 20));
        return s;
    };
    const PatternTables& five = PatternTablesFor(Rules{WinRule::kFiveOrMore});
    const PatternTables& exact = PatternTablesFor(Rules{WinRule::kExactlyFive});
    EXPECT_EQ(five.rules, Rules{WinRule::kFiveOrMore});
    EXPECT_EQ(exact.rules, Rules{WinRule::kExactlyFive});
    EXPECT_EQ(&PatternTablesFor(Rules::FromProtocolValue(3)), &exact) << "built once, then kept";
    const auto original = snapshot(five);
    const auto exactTables = snapshot(exact);
    EXPECT_NE(exactTables[0], original[0]);
    EXPECT_NE(exactTables[7], original[7]);
    // Kept tables equal fresh builds: nothing written into them since.
    EXPECT_TRUE(snapshot(*BuildPatternTables(Rules{WinRule::kFiveOrMore})) == original);
    EXPECT_TRUE(snapshot(*BuildPatternTables(Rules{WinRule::kExactlyFive})) == exactTables);
}

TEST_F(PatternTablesTest, FreeReleasesEverythingAndIsRepeatable) {
    const PatternTables* before = &PatternTablesFor(Rules{});
    const std::vector<uint8_t> lines(before->lineCategory1.get(), before->lineCategory1.get() + 1024);
    FreePatternTables();
    FreePatternTables();
    EXPECT_EQ(combinedCategory, nullptr);
    EXPECT_EQ(threatWithoutLine, nullptr);
    EXPECT_EQ(categoryNames, nullptr);
    // Asked for again, the tables are built again.
    const PatternTables& again = PatternTablesFor(Rules{});
    EXPECT_EQ(std::vector<uint8_t>(again.lineCategory1.get(), again.lineCategory1.get() + 1024), lines);
}

// --- Block order -------------------------------------------------------------

std::vector<std::pair<int, int>> OrderOf(SegmentCode code) {
    std::vector<std::pair<int, int>> out;
    for (int k = 0; k <= kMaxSegmentLength && T->blockOrder[code][k] != kBlockOrderEnd; k++) {
        out.emplace_back(BlockGain(T->blockOrder[code][k]), BlockPosition(T->blockOrder[code][k]));
    }
    return out;
}

TEST_F(PatternTablesTest, BlockOrderRows) {
    using V = std::vector<std::pair<int, int>>;
    EXPECT_EQ(OrderOf(Seg(".XXX..")), (V{{5, 4}, {1, 0}, {1, 5}}));
    EXPECT_EQ(T->blockOrder[Seg(".XXX..")][3], kBlockOrderEnd);
    EXPECT_EQ(OrderOf(Seg(".XXXX.")), (V{{1, 0}, {1, 5}}));
    EXPECT_EQ(OrderOf(Seg("XXXX.")), (V{{5, 4}}));
    // Too far from a threat to be worth defending.
    EXPECT_EQ(OrderOf(Seg("...XX")), V{});
    EXPECT_EQ(OrderOf(Seg("XXXX")), V{});
}

TEST_F(PatternTablesTest, BlockOrderListsEveryGainStrongestFirst) {
    for (uint32_t code = 2; code < kSegmentCodeCount; code++) {
        SCOPED_TRACE(code);
        const int length = SegmentLength(static_cast<SegmentCode>(code));
        const auto order = OrderOf(static_cast<SegmentCode>(code));
        for (int k = static_cast<int>(order.size()); k <= kMaxSegmentLength; k++) {
            ASSERT_EQ(T->blockOrder[code][k], kBlockOrderEnd);
        }
        if (T->distStraight[code] >= 3) {
            ASSERT_TRUE(order.empty());
            continue;
        }
        std::vector<std::pair<int, int>> expected;
        for (int i = 0; i < length; i++) {
            if (T->blockGainStraight[code][i] > 0)
                expected.emplace_back(T->blockGainStraight[code][i], i);
        }
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        ASSERT_EQ(order, expected);
    }
}

// --- Line tables ---------------------------------------------------------------

TEST_F(PatternTablesTest, EmptyLineIsOther) {
    EXPECT_EQ(Cat1(0), kOther);
    EXPECT_EQ(Cat2(0), kOther);
    EXPECT_EQ(combinedCategory[CombinedIndex(kOther, kOther, kOther, kOther)], kOther);
}

TEST_F(PatternTablesTest, LineTablesMatchSegmentOfEveryWord) {
    for (uint32_t r : {0u, 1u}) {
        Rebuild(r);
        for (uint32_t w = 0; w < (1u << 20); w++) {
            int neg, pos;
            ASSERT_EQ(T->lineCategory1[w], CategoryOf(SegmentOf(1, w, neg, pos, 1)))
                << "rule " << r << " word " << w;
            ASSERT_EQ(T->lineCategory2[w], CategoryOf(SegmentOf(2, w, neg, pos, 1)))
                << "rule " << r << " word " << w;
        }
    }
}

TEST_F(PatternTablesTest, LineTableSymmetries) {
    for (uint32_t w = 0; w < (1u << 20); w++) {
        // Swapping the colours swaps the tables.
        ASSERT_EQ(T->lineCategory2[w], T->lineCategory1[SwapColours(w)]) << w;
        // A line read the other way round is worth the same.
        ASSERT_EQ(T->lineCategory1[w], T->lineCategory1[MirrorWord(w)]) << w;
        // The board's edge blocks exactly like an opponent stone.
        ASSERT_EQ(T->lineCategory1[w], T->lineCategory1[ReplaceSlots(w, 2, 3)]) << w;
        ASSERT_EQ(T->lineCategory2[w], T->lineCategory2[ReplaceSlots(w, 1, 3)]) << w;
    }
}

TEST_F(PatternTablesTest, OffBoardSlotsBlock) {
    EXPECT_EQ(Cat1(Word("....X*X....")), kThree);
    EXPECT_EQ(Cat1(Word("####X*X.###")), kImpossible);
    EXPECT_EQ(Cat1(Word("###.X*X####")), kImpossible);
    EXPECT_EQ(Cat1(Word("###.X*X.###")), kThreeDef);
    EXPECT_EQ(Cat1(Word("##..X*X.###")), kThree);
    EXPECT_EQ(Cat2(Word("##XXX*XX###")), kImpossible);
    EXPECT_EQ(Cat1(Word("##XXX*XX###")), kWin);
}

TEST_F(PatternTablesTest, LineTablesTakeTheLineCategoryRule) {
    PatternTables t;
    BuildSegmentTables(t);
    BuildBlockTables(t);
    BuildLineTables(t, [](int, int, int, int) { return kTwoDef; });
    EXPECT_EQ(t.lineCategory1[Word("OXXXX*O....")], kTwoDef);
    EXPECT_EQ(t.lineCategory2[0], kTwoDef);
    EXPECT_EQ(Cat1(Word("OXXXX*O....")), kWin) << "the kept tables are not touched";
}

// Renju reads Black's lines with exactly five and White's with five or more,
// whichever stone value Black has; caro's five needs an end not closed by the
// opponent (the edge closes nothing), and so does its four.
TEST(RuleLineTablesTest, EachPlayerByTheRules) {
    struct Row {
        uint32_t rule;
        int black;
        int player;
        const char* line;  // as Word, 'X' the player's stones
        ThreatCategory expected;
    };
    const Row rows[] = {
        {4, 1, 1, "..XXX*XX...", kImpossible},  // Black's six: no five, nothing to gain
        {4, 1, 2, "..XXX*XX...", kWin},         // White's six wins
        {4, 2, 2, "..XXX*XX...", kImpossible},
        {4, 2, 1, "..XXX*XX...", kWin},
        {4, 1, 1, "...XX*XX.X.", kWin},
        {4, 1, 1, ".X.XX*X.X..", kImpossible},  // either gap makes six: never five
        {4, 1, 2, ".X.XX*X.X..", kStraightFour},
        {8, 1, 1, "OXXXX*O....", kImpossible},
        {8, 1, 2, "OXXXX*O....", kImpossible},
        {8, 1, 1, "#XXXX*O....", kWin},
        {8, 1, 1, ".XXXX*O....", kWin},
        {8, 1, 1, ".XXXX*X....", kWin},
        {8, 1, 1, ".OXXX*.O...", kImpossible},  // its five would be closed at both ends
        {8, 1, 1, ".OXXX*..O..", kFour},
        {8, 1, 1, "##XXX*.O...", kFour},
        {9, 1, 1, ".XXXX*X....", kImpossible},
        {9, 1, 1, "OXXXX*O....", kImpossible},
        {9, 1, 1, "OXXXX*.....", kWin},
        {0, 1, 1, "OXXXX*O....", kWin},
        {0, 1, 1, ".OXXX*.O...", kFour},
    };
    for (const Row& row : rows) {
        const PatternTables& t = PatternTablesFor(Rules::FromProtocolValue(row.rule), row.black);
        uint32_t word = Word(row.line);
        if (row.player == 2) word = SwapColours(word);
        EXPECT_EQ(static_cast<int>(t.LineTable(row.player)[word]), static_cast<int>(row.expected))
            << "rule " << row.rule << " black " << row.black << " player " << row.player << " "
            << row.line;
    }
}

TEST(RulesTest, ProtocolValues) {
    struct Row {
        uint32_t value;
        bool gui;
        WinRule expected;
    };
    const Row rows[] = {
        {0, false, WinRule::kFiveOrMore},  {1, false, WinRule::kExactlyFive},
        {2, false, WinRule::kFiveOrMore},  {2, true, WinRule::kRenju},
        {3, false, WinRule::kExactlyFive}, {4, false, WinRule::kRenju},
        {5, false, WinRule::kFiveOrMore},  {6, true, WinRule::kFiveOrMore},
        {7, false, WinRule::kFiveOrMore},  {8, false, WinRule::kCaro},
        {9, true, WinRule::kCaroExactlyFive}, {12, false, WinRule::kFiveOrMore},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Rules::FromProtocolValue(row.value, row.gui).win, row.expected)
            << row.value << (row.gui ? " gui" : "");
}

// --- Combining lines ------------------------------------------------------------

TEST(CombineTest, PairsOfLines) {
    EXPECT_EQ(Combine(kFour, kThree), kFourThree);
    EXPECT_EQ(Combine(kFour, kFour), kStraightFour);
    EXPECT_EQ(Combine(kThree, kThree), k2xThree);
    EXPECT_EQ(Combine(kStraightFour, kImpossible), kStraightFour);
    EXPECT_EQ(Combine(kStraightFour, kStraightFour), k2xStraightFour);
    EXPECT_EQ(Combine(kStraightFour, kFour), kStraightFourFour);
    EXPECT_EQ(Combine(kFourDevelopThree, kThreeDef), kFourDevelopFour);
    EXPECT_EQ(Combine(kFour, kTwo), kFourDevelopThree);
    EXPECT_EQ(Combine(kThree, kTwo), kThreeDevelop);
    EXPECT_EQ(Combine(kTwo, kTwoDef), kTwoTwoDef);
    EXPECT_EQ(Combine(kThreeDef, kTwo), k2xTwo);
    // Pairs outside the table keep the stronger line.
    EXPECT_EQ(Combine(kFourDevelopFour, kThreeDef), kFourDevelopFour);
    EXPECT_EQ(Combine(kFour, kTwoDef), kFour);
    EXPECT_EQ(Combine(kWin, kWin), kWin);
    EXPECT_EQ(Combine(kTwoDef, kTwoDef), kTwoDef);
    EXPECT_EQ(Combine(kImpossible, kImpossible), kImpossible);
}

TEST(LineCategoryTest, FirstMatchingRowWins) {
    EXPECT_EQ(LineCategory(6, 0, 0, 0), kImpossible);
    EXPECT_EQ(LineCategory(0, 0, 0, 0), kWin);
    EXPECT_EQ(LineCategory(1, 0, 2, 2), kStraightFour);
    EXPECT_EQ(LineCategory(1, 1, 2, 2), kFourDevelopFour);
    EXPECT_EQ(LineCategory(1, 1, 3, 2), kFourDevelopThree);
    EXPECT_EQ(LineCategory(1, 1, 3, 3), kFour);
    EXPECT_EQ(LineCategory(2, 1, 3, 2), kThreeDevelop);
    EXPECT_EQ(LineCategory(2, 1, 2, 2), kThree);
    EXPECT_EQ(LineCategory(3, 2, 6, 6), kTwo);
    EXPECT_EQ(LineCategory(4, 2, 6, 6), kOther);
}

TEST_F(PatternTablesTest, CombinedTableUsesTwoStrongestLinesInAnyDirection) {
    for (uint32_t a = 0; a < kCategoryCount; a++) {
        for (uint32_t b = 0; b < kCategoryCount; b++) {
            for (uint32_t c = 0; c < kCategoryCount; c++) {
                for (uint32_t d = 0; d < kCategoryCount; d++) {
                    uint32_t v[4] = {a, b, c, d};
                    std::sort(v, v + 4);
                    const auto expected = Combine(static_cast<ThreatCategory>(v[0]),
                                                  static_cast<ThreatCategory>(v[1]));
                    ASSERT_EQ(combinedCategory[CombinedIndex(a, b, c, d)], expected)
                        << a << ' ' << b << ' ' << c << ' ' << d;
                }
            }
        }
    }
    EXPECT_EQ(combinedCategory[CombinedIndex(kOther, kThree, kImpossible, kFour)], kFourThree);
    EXPECT_EQ(combinedCategory[CombinedIndex(kFour, kImpossible, kThree, kOther)], kFourThree);
    EXPECT_EQ(combinedCategory[CombinedIndex(kImpossible, kImpossible, kImpossible, kImpossible)],
              kImpossible);
}

TEST_F(PatternTablesTest, CombinedTableTakesTheCombination) {
    BuildCombinedTable([](ThreatCategory, ThreatCategory) { return kThreeDef; });
    EXPECT_EQ(combinedCategory[CombinedIndex(kWin, kOther, kOther, kOther)], kThreeDef);
}

TEST_F(PatternTablesTest, CategoryNames) {
    ASSERT_NE(categoryNames, nullptr);
    EXPECT_STREQ(categoryNames[kWin], "Win");
    EXPECT_STREQ(categoryNames[k2xStraightFour], "2xStraightFour");
    EXPECT_STREQ(categoryNames[kFourThree], "FourThree");
    EXPECT_STREQ(categoryNames[kTwoTwoDef], "TwoTwoDef");
    EXPECT_STREQ(categoryNames[kImpossible], "Impossible");
}

}  // namespace
