#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/coord.h"
#include "board/simpleboard.h"
#include "board/threatcategory.h"
#include "board/threatlist.h"
#include "board/zobrist.h"
#include "platform/clock.h"
#include "protocol/engine.h"
#include "protocol/programarguments.h"
#include "search/alphabeta.h"
#include "search/cutoffscan.h"
#include "search/driver.h"
#include "search/evaluate.h"
#include "search/history.h"
#include "search/movegen.h"
#include "search/movelist.h"
#include "search/pvsearch.h"
#include "search/score.h"
#include "search/searchparameters.h"
#include "search/searchmove.h"
#include "search/stablesort.h"
#include "search/trace.h"
#include "search/transpositiontable.h"
#include "search/vcf.h"
#include "tests/board_reference.h"
#include "tests/position_builder.h"

namespace {

using Rows = std::vector<std::string>;

// X (player 1) to move unless stated. Nobody has a four or a three.
const Rows kQuiet = {
    "....................", "....................", "....................", "....................",
    "....................", "....................", "....................", "....................",
    "........X...........", ".........O..........", "..........X.........", "........O...........",
};

// O threatens five at (9,5); X's only move is the block.
const Rows kForcedBlock = {
    "....................", "....................", "....................",
    "....................", "....................", "....XOOOO...........",
    "....................", "........X...........", ".........X..........",
};

// X makes an open four at (4,5) or (8,5).
const Rows kOpenThree = {
    "....................", "....................", "....................", "....................",
    "....................", ".....XXX............", "....................", "..........O.........",
    "...........O........", ".............O......",
};

// X wins through threes: (7,5) makes two open threes, no four yet; the open
// three that O does not block becomes an open four.
const Rows kDoubleThree = {
    "....................", "....................", "....................", "....................",
    "....................", ".....XX.............", ".......X............", ".......X............",
    "....................", "....................", "..............O.....", ".............O......",
    "...............O....", "..O.................",
};

// X completes five at (4,5) or (9,5); with O to move, O faces two fives.
const Rows kOpenFour = {
    "....................", "....................", "....................", "....................",
    "....................", ".....XXXX...........", "....................", "..........O.........",
    "...........O........", ".............O......",
};

// X wins by fours: the four at (12,10) forces the block at (12,12), after which X
// has a winning threat. The generator alone does not see it.
const Rows kWinByFours = {
    "....................", "....................", "....................", "....................",
    "....................", "....................", "....................", "........O...........",
    "....................", "............X.......", ".....X...X...X......", ".....O......XO......",
    ".......OXO.O........", ".......X.X..X.......",
};

// X has no four; O has an open three on row 15 and a four-three at (6,3). The
// generator lists the defences against both, but every one of them loses.
const Rows kLost = {
    "..........X........X", ".X..................", "....................", "..XOOO..............",
    "......O.............", "......O.............", "....................", "....................",
    "..................X.", "....................", "X.........X.........", "....................",
    "....................", "....................", "....................", ".............OOO....",
    "....................", "....................", "....................", "X..................X",
};

CellIndex Z(uint32_t x, uint32_t y) {
    return Coord::xy2z(x, y);
}

BoardAI Position(const Rows& rows, int toMove = 1) {
    BoardAI board;
    PlaceDiagram(board, rows, toMove);
    return board;
}

bool SamePosition(const BoardAI& a, const BoardAI& b) {
    return a.mHash == b.mHash && a.mMoveCount == b.mMoveCount && a.mSide == b.mSide &&
           std::memcmp(a.mCells, b.mCells, sizeof a.mCells) == 0 &&
           std::memcmp(a.mLinePattern, b.mLinePattern, sizeof a.mLinePattern) == 0 &&
           std::memcmp(a.mCategoryWord, b.mCategoryWord, sizeof a.mCategoryWord) == 0;
}

// The generator's list for a position, computed on a copy.
std::vector<CellIndex> Candidates(const BoardAI& board, uint32_t genLimit = Coord::area) {
    BoardAI copy = board;
    copy.genLimit = genLimit;
    GenerateMoves(copy, GenMode::kFull);
    return std::vector<CellIndex>(copy.genMoves, copy.genMoves + copy.genCount);
}

uint64_t ChildKey(const BoardAI& board, CellIndex move) {
    BoardAI copy = board;
    copy.Toggle(move);
    return copy.mHash;
}

// A time control whose move and turn are already over.
TimeControl Expired() {
    TimeControl tc;
    uint32_t now = NowMs();
    tc.turnDeadline = now - 1000;
    tc.moveDeadline = now - 1000;
    return tc;
}

// A time control with plenty of time for the move.
TimeControl Generous() {
    TimeControl tc;
    uint32_t now = NowMs();
    tc.turnDeadline = now + 100000;
    tc.moveDeadline = now + 100000;
    tc.timeLeftDeadline = now + 10000000;
    return tc;
}

MoveEntry Entry(CellIndex move, int32_t score, uint32_t nodes) {
    return MoveEntry{move, score, 0, 0, nodes};
}

class SearchTest : public ::testing::Test {
  protected:
    SearchTest() : engine(ProgramArguments{}) {
        engine.shared.transpositionTable = std::make_unique<TranspositionTable>(1 << 16);
    }

    TranspositionTable& Table() { return *engine.shared.transpositionTable; }
    int16_t Age() const { return static_cast<int16_t>(engine.board->mMoveCount); }

    // Diagnostic lines that begin with the prefix.
    std::vector<std::string> Lines(const std::string& prefix) const {
        std::vector<std::string> found;
        std::istringstream in(engine.diagnostics.str());
        for (std::string line; std::getline(in, line);)
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
        return found;
    }

    void SetEngineBoard(const Rows& rows, int toMove = 1) {
        engine.board = std::make_unique<BoardAI>();
        PlaceDiagram(*engine.board, rows, toMove);
        engine.worker.SetPosition(*engine.board);
        SetTableAge(engine.worker);  // as the engine does before it searches
    }

    Engine engine;
};

// ---------------------------------------------------------------------------
// Move lists

TEST(MoveList, FreshListHasNoMovesAndNoBest) {
    MoveList list;
    EXPECT_EQ(list.best, kNoCell);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.score, 0);
    EXPECT_FALSE(list.bestKnown);
}

TEST(MoveList, AddMoveAppendsEachCellOnceUpToCapacity) {
    MoveList list;
    EXPECT_TRUE(AddMove(list, 17, 8, 0x101));
    EXPECT_TRUE(AddMove(list, 3, 4));
    EXPECT_FALSE(AddMove(list, 17, 1));
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.entries[0].move, 17);
    EXPECT_EQ(list.entries[0].kind, 8);
    EXPECT_EQ(list.entries[0].genFlags, 0x101);
    EXPECT_EQ(list.entries[0].score, 0);
    EXPECT_EQ(list.entries[0].nodes, 0u);
    EXPECT_EQ(list.entries[1].move, 3);
    EXPECT_EQ(list.entries[1].genFlags, 0);

    for (CellIndex c = 100; list.count < kMoveListCapacity; ++c) ASSERT_TRUE(AddMove(list, c, 0));
    EXPECT_FALSE(AddMove(list, 399, 0));
    EXPECT_EQ(list.count, kMoveListCapacity);
}

TEST(MoveList, SetBestMoveAcceptsCellsAndNoCellOnly) {
    MoveList list;
    SetBestMove(list, 0);
    EXPECT_EQ(list.best, 0);
    SetBestMove(list, kNoCell);
    EXPECT_EQ(list.best, kNoCell);
    EXPECT_FALSE(list.bestKnown);
#ifndef NDEBUG
    // Only a fault of the search passes anything else: debug builds stop there.
    EXPECT_DEATH(SetBestMove(list, 401), "cell <= kNoCell");
    EXPECT_DEATH(SetBestMove(list, kPass), "cell <= kNoCell");
#endif
}

TEST(MoveList, SetBestMoveAndScoreScoresOnlyTheFirstMatchingEntry) {
    MoveList list;
    list.entries[0] = Entry(5, 1, 0);
    list.entries[1] = Entry(9, 2, 0);
    list.entries[2] = Entry(9, 3, 0);
    list.count = 3;
    SetBestMoveAndScore(list, 9, -40);
    EXPECT_EQ(list.best, 9);
    EXPECT_EQ(list.score, -40);
    EXPECT_TRUE(list.bestKnown);
    EXPECT_EQ(list.entries[0].score, 1);
    EXPECT_EQ(list.entries[1].score, -40);
    EXPECT_EQ(list.entries[2].score, 3);

    // A cell that no entry holds changes no entry.
    SetBestMoveAndScore(list, 77, 12);
    EXPECT_EQ(list.best, 77);
    EXPECT_EQ(list.entries[0].score, 1);
    EXPECT_EQ(list.entries[1].score, -40);
}

TEST(MoveList, PickBestByNodesTakesTheFirstLargestSignedCount) {
    MoveList list;
    list.entries[0] = Entry(10, 0, 7);
    list.entries[1] = Entry(11, 0, 0x80000000u);  // negative as a signed count
    list.entries[2] = Entry(12, 0, 30);
    list.entries[3] = Entry(13, 0, 30);
    list.count = 4;
    PickBestByNodes(list);
    EXPECT_EQ(list.best, 12);

    // Zero nodes still beat the start of -1.
    MoveList zeros;
    zeros.entries[0] = Entry(20, 0, 0);
    zeros.entries[1] = Entry(21, 0, 0);
    zeros.count = 2;
    PickBestByNodes(zeros);
    EXPECT_EQ(zeros.best, 20);

    // Nothing above -1: best stays.
    MoveList none;
    none.best = 5;
    none.entries[0] = Entry(30, 0, 0xFFFFFFFFu);
    none.count = 1;
    PickBestByNodes(none);
    EXPECT_EQ(none.best, 5);
    MoveList empty;
    PickBestByNodes(empty);
    EXPECT_EQ(empty.best, kNoCell);
}

TEST(MoveList, SortMoveListOrdersByScoreKeepingTiesInPlace) {
    MoveList list;
    const int32_t scores[] = {5, -3, 9, 5, ScoreLoss, 9, 0};
    for (int i = 0; i < 7; ++i) list.entries[i] = Entry(static_cast<CellIndex>(i), scores[i], 0);
    list.count = 7;
    SortMoveList(list);
    const CellIndex order[] = {2, 5, 0, 3, 6, 1, 4};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(list.entries[i].move, order[i]) << "place " << i;
}

TEST(MoveList, StableSortAgreesWithTheLibrarysAcrossRunsAndMerges) {
    // Lengths on both sides of the insertion runs and of each merge width; keys
    // from a small range, so that most items tie with others.
    struct Item {
        int key, place;
    };
    uint32_t seed = 12345;
    for (int n : {0, 1, 2, 15, 16, 17, 31, 32, 33, 64, 65, 200, 400}) {
        std::vector<Item> mine(n), scratch(n);
        for (int i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            mine[i] = {static_cast<int>(seed >> 16) % 7, i};
        }
        std::vector<Item> library = mine;
        auto before = [](const Item& a, const Item& b) { return a.key > b.key; };
        StableSort(mine.data(), n, scratch.data(), before);
        std::stable_sort(library.begin(), library.end(), before);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(mine[i].place, library[i].place) << "length " << n << ", place " << i;
    }
}

TEST(MoveList, SortMoveListWithKnownBestOnlySwapsItToTheFront) {
    MoveList list;
    for (int i = 0; i < 4; ++i) list.entries[i] = Entry(static_cast<CellIndex>(40 + i), i, 0);
    list.count = 4;
    SetBestMoveAndScore(list, 42, -100);
    SortMoveList(list);
    const CellIndex order[] = {42, 41, 40, 43};  // a swap with entry 0, not a sort
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.entries[i].move, order[i]) << "place " << i;

    // A best move the list does not hold changes nothing.
    SetBestMoveAndScore(list, 99, 0);
    SortMoveList(list);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.entries[i].move, order[i]) << "place " << i;
}

// ---------------------------------------------------------------------------
// Trace output

// After an internal deepening the node walks its own, differently ordered list and
// skips a move by that move's deepened score, never by the score at the same place.
TEST(MoveList, ScoreOfFindsTheMovesOwnEntry) {
    MoveList deepened;
    deepened.entries[0] = Entry(7, ScoreLoss, 0);
    deepened.entries[1] = Entry(9, 40, 0);
    deepened.entries[2] = Entry(3, ScoreLoss, 0);
    deepened.count = 3;
    const struct {
        CellIndex move;
        int32_t score;
    } cases[] = {{7, ScoreLoss}, {9, 40}, {3, ScoreLoss}, {11, 0}};
    for (const auto& c : cases) EXPECT_EQ(ScoreOf(deepened, c.move), c.score) << "cell " << c.move;
}

TEST(SearchTrace, StatisticsTextTruncatesTheSpeed) {
    EXPECT_EQ(SearchStatisticsText(1000, 51), "AB: 1000, speed:19607/s");
    EXPECT_EQ(SearchStatisticsText(7, 3), "AB: 7, speed:2333/s");
    EXPECT_EQ(SearchStatisticsText(0, 80), "AB: 0, speed:0/s");
    // The speed may exceed 32 bits.
    EXPECT_EQ(SearchStatisticsText(4000000000u, 51), "AB: 4000000000, speed:78431372549/s");
}

TEST(SearchTrace, DepthTextShowsTheValueUnlessDecisive) {
    EXPECT_EQ(DepthText(7, 13, -12), "dep=7-13 val=-12");
    EXPECT_EQ(DepthText(9, 4, 0), "dep=4-4 val=0");
    EXPECT_EQ(DepthText(2, 5, ScoreWin), "dep=2-5");
    EXPECT_EQ(DepthText(6, 6, ScoreLoss), "dep=6-6");
    EXPECT_EQ(DepthText(3, 8, ScoreUnknown), "dep=3-8 val=-2147483647");
}

TEST_F(SearchTest, StatisticsLineOnlyAfterMoreThan50Ms) {
    WriteSearchStatistics(engine.worker, 100, 1100, 5000, 5050);
    EXPECT_EQ(engine.diagnostics.str(), "");
    WriteSearchStatistics(engine.worker, 100, 1100, 5000, 5051);
    EXPECT_EQ(engine.diagnostics.str(), "DEBUG AB: 1000, speed:19607/s\n");

    // Both readings wrap: 496 nodes in 51 ms.
    engine.diagnostics.str("");
    WriteSearchStatistics(engine.worker, 0xFFFFFF00u, 0xF0u, 0xFFFFFFF0u, 0x23u);
    EXPECT_EQ(engine.diagnostics.str(), "DEBUG AB: 496, speed:9725/s\n");
}

TEST_F(SearchTest, DepthLineNeedsOneMoveOfSelectiveDepth) {
    WriteDepthLine(engine.worker, 4, 0, 12);
    EXPECT_EQ(engine.diagnostics.str(), "");
    WriteDepthLine(engine.worker, 4, 1, 3);
    EXPECT_EQ(engine.diagnostics.str(), "DEBUG dep=1-1 val=3\n");
}

TEST_F(SearchTest, VictoryPictureIsElevenMessageLines) {
    WriteVictoryPicture(engine.worker);
    std::vector<std::string> lines = Lines("");
    ASSERT_EQ(lines.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(lines[i], std::string("MESSAGE ") + kVictoryPicture[i]);
        EXPECT_GT(std::strlen(kVictoryPicture[i]), 0u);
    }
}

// ---------------------------------------------------------------------------
// Forcing-four search

TEST_F(SearchTest, VcfTakesAnOpenFourOrAFiveAtOnce) {
    SearchParams params;
    params.vcfNoStandPat = true;
    for (const Rows* rows : {&kOpenThree, &kOpenFour}) {
        BoardAI board = Position(*rows);
        uint32_t before = board.StonesCounted();
        CellIndex move = 0;
        EXPECT_EQ(VCF(engine.worker, board, 4, params, move, true, ScoreWin, nullptr), ScoreWin);
        EXPECT_EQ(board.StonesCounted(), before);
        ASSERT_LT(move, kNoCell);
        EXPECT_EQ(board.Category(1, move), rows == &kOpenThree ? kStraightFour : kWin);
    }
}

TEST_F(SearchTest, VcfWithoutFoursLosesOrStandsPat) {
    BoardAI board = Position(kQuiet);
    SearchParams params;
    params.vcfNoStandPat = true;
    CellIndex move = 0;
    EXPECT_EQ(VCF(engine.worker, board, 0, params, move, true, ScoreWin, nullptr), ScoreLoss);
    EXPECT_EQ(move, kNoCell);
    EXPECT_FALSE(Table().Lookup(board.mHash));

    BoardAI copy = board;
    GenerateMovesCore(copy, GenMode::kVcfAttacker);
    const int32_t standPat = Evaluate(copy);
    ASSERT_FALSE(IsDecisive(standPat));
    params.vcfNoStandPat = false;
    move = 0;
    EXPECT_EQ(VCF(engine.worker, board, 0, params, move, true, ScoreWin, nullptr), standPat);
    EXPECT_EQ(move, kNoCell);
}

TEST_F(SearchTest, VcfFindsAWinBehindAForcedBlock) {
    BoardAI board = Position(kWinByFours);
    const BoardAI original = board;
    ASSERT_EQ(GenerateMoves(board, GenMode::kFull), ScoreUnknown);
    SearchParams params;
    params.vcfNoStandPat = true;
    engine.worker.maxMoveCount = board.mMoveCount;
    uint32_t before = board.StonesCounted();
    CellIndex move = kNoCell;
    EXPECT_EQ(VCF(engine.worker, board, 4, params, move, true, ScoreWin, nullptr), ScoreWin);
    EXPECT_GT(board.StonesCounted(), before);
    EXPECT_EQ(move, Z(12, 10));
    EXPECT_GE(engine.worker.maxMoveCount, board.mMoveCount + 2);
    EXPECT_TRUE(SamePosition(board, original));

    // Stored as an exact win: the next probe ends at once.
    const std::optional<HashEntry> entry = Table().Lookup(board.mHash);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->score, ScoreWin);
    EXPECT_EQ(entry->bound, kBoundExact);
    EXPECT_EQ(entry->move, Z(12, 10));
    EXPECT_EQ(entry->depth, 4);
    EXPECT_EQ(entry->age, Age());
    before = board.StonesCounted();
    move = kNoCell;
    EXPECT_EQ(VCF(engine.worker, board, 4, params, move, true, ScoreWin, nullptr), ScoreWin);
    EXPECT_EQ(board.StonesCounted(), before);
    EXPECT_EQ(move, Z(12, 10));
}

TEST_F(SearchTest, VcfGoesOnToLaterFoursWhenTheFirstFails) {
    // Three fours for X; only the third, (6,8), leads to a win.
    BoardAI board = Position({
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".....O..OXO..O......",
        "......X.............",
        "......X..XX.........",
        "....................",
        "...........X........",
        "......X......O......",
        "...........O........",
        "......X.....X.......",
        ".....O....X.........",
    });
    BoardAI copy = board;
    GenerateMovesCore(copy, GenMode::kVcfAttacker);
    ASSERT_EQ(copy.genCount, 3u);
    ASSERT_NE(copy.genMoves[0], Z(6, 8));
    SearchParams params;
    params.vcfNoStandPat = true;
    CellIndex move = kNoCell;
    EXPECT_EQ(VCF(engine.worker, board, 4, params, move, true, ScoreWin, nullptr), ScoreWin);
    EXPECT_EQ(move, Z(6, 8));
}

TEST_F(SearchTest, VcfExpandsAtDepthMinusEightButNotMinusNine) {
    BoardAI board = Position(kWinByFours);
    SearchParams params;
    CellIndex move = 0;
    uint32_t before = board.StonesCounted();
    VCF(engine.worker, board, -8, params, move, true, ScoreWin, nullptr);
    EXPECT_GT(board.StonesCounted(), before);

    Table().ClearTable();
    BoardAI copy = board;
    const int32_t verdict = GenerateMovesCore(copy, GenMode::kFull);
    const int32_t expected = IsDecisive(verdict) ? verdict : Evaluate(copy);
    before = board.StonesCounted();
    move = 0;
    EXPECT_EQ(VCF(engine.worker, board, -9, params, move, true, ScoreWin, nullptr), expected);
    EXPECT_EQ(board.StonesCounted(), before);
    EXPECT_EQ(move, copy.genMoves[0]);
}

TEST_F(SearchTest, VcfNarrowsItsWindowWithTheTable) {
    BoardAI board = Position(kQuiet);
    SearchParams params;
    params.vcfNoStandPat = true;
    // A deep lower bound at the upper limit fixes the value at the limit.
    Table().RecordHash(board.mHash, 10, 80, kBoundLower, Z(3, 3));
    CellIndex move = 0;
    EXPECT_EQ(VCF(engine.worker, board, 0, params, move, true, 50, nullptr), 50);
    EXPECT_EQ(move, Z(3, 3));
    // Too shallow and not decisive: ignored, and this position has no four.
    move = 0;
    EXPECT_EQ(VCF(engine.worker, board, 11, params, move, true, 50, nullptr), ScoreLoss);
    EXPECT_EQ(move, kNoCell);
}

TEST_F(SearchTest, VcfDefenceAnswersAStraightFourBlockAsAWin) {
    // X's four at (5,5) must be blocked at (6,5), which gives O a straight four.
    BoardAI board = Position({
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".OXXX...............",
        "......O.............",
        "......O.............",
        "......O.............",
    });
    ASSERT_EQ(board.Category(2, Z(6, 5)), kStraightFour);
    MakeSearchMove(board, Z(5, 5));
    SearchParams params;
    uint32_t before = board.StonesCounted();
    EXPECT_EQ(VcfDefence(engine.worker, board, 3, params, ScoreWin, nullptr), ScoreWin);
    EXPECT_EQ(board.StonesCounted(), before);

    // Without that three the block is played and the attack goes on.
    BoardAI plain = Position({
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".OXXX...............",
    });
    MakeSearchMove(plain, Z(5, 5));
    const BoardAI original = plain;
    before = plain.StonesCounted();
    VcfDefence(engine.worker, plain, 3, params, ScoreWin, nullptr);
    EXPECT_GT(plain.StonesCounted(), before);
    EXPECT_TRUE(SamePosition(plain, original));
}

// ---------------------------------------------------------------------------
// Alpha-beta nodes

TEST_F(SearchTest, HorizonIsALeafOnlyWithPlayerOneToMove) {
    BoardAI board = Position(kQuiet, 1);
    BoardAI copy = board;
    const int32_t verdict = GenerateMovesCore(copy, GenMode::kLeafThreats);
    ASSERT_FALSE(IsDecisive(verdict));
    const int32_t expected = Evaluate(copy);
    SearchParams params;
    MoveList leaf;
    uint32_t before = board.StonesCounted();
    AlphaBeta(engine.worker, leaf, board, 0, ScoreLoss, ScoreWin, params);
    EXPECT_EQ(board.StonesCounted(), before);
    EXPECT_EQ(leaf.score, expected);
    EXPECT_EQ(leaf.count, 0u);
    EXPECT_EQ(board.mLookSix, 1);

    BoardAI other = Position(kQuiet, 2);
    const BoardAI original = other;
    MoveList interior;
    before = other.StonesCounted();
    AlphaBeta(engine.worker, interior, other, 0, ScoreLoss, ScoreWin, params);
    EXPECT_GT(other.StonesCounted(), before);
    EXPECT_GT(interior.count, 1u);
    EXPECT_LT(interior.best, kNoCell);
    EXPECT_TRUE(SamePosition(other, original));
}

TEST_F(SearchTest, DecisiveVerdictReturnsTheFirstGeneratedMove) {
    SearchParams params;
    struct Case {
        const Rows* rows;
        int toMove;
        int32_t verdict;
        uint8_t kind;
    };
    for (Case c : {Case{&kOpenThree, 1, ScoreWin, 1}, Case{&kOpenFour, 2, ScoreLoss, 2}}) {
        BoardAI board = Position(*c.rows, c.toMove);
        const std::vector<CellIndex> expected = Candidates(board, 6);
        ASSERT_FALSE(expected.empty());
        MoveList list;
        uint32_t before = board.StonesCounted();
        AlphaBeta(engine.worker, list, board, 1, ScoreLoss, ScoreWin, params);
        EXPECT_EQ(board.StonesCounted(), before);
        EXPECT_EQ(list.score, c.verdict);
        EXPECT_EQ(list.best, expected[0]);
        ASSERT_EQ(list.count, 1u);
        EXPECT_EQ(list.entries[0].move, expected[0]);
        EXPECT_EQ(list.entries[0].kind, c.kind);
    }
}

TEST_F(SearchTest, ExactTableEntryEndsTheNodeWithItsMove) {
    BoardAI board = Position(kQuiet);
    SearchParams params;
    Table().RecordHash(board.mHash, 5, 123, kBoundExact, Z(10, 8));
    MoveList list;
    uint32_t before = board.StonesCounted();
    AlphaBeta(engine.worker, list, board, 3, ScoreLoss, ScoreWin, params);
    EXPECT_EQ(board.StonesCounted(), before);
    EXPECT_EQ(list.score, 123);
    EXPECT_EQ(list.best, Z(10, 8));
    EXPECT_TRUE(list.bestKnown);

    // Not deep enough: the node is searched, with the stored move first.
    MoveList deeper;
    before = board.StonesCounted();
    AlphaBeta(engine.worker, deeper, board, 6, ScoreLoss, ScoreWin, params);
    EXPECT_GT(board.StonesCounted(), before);
}

TEST_F(SearchTest, TableMoveIsSearchedFirstAndListedOnce) {
    BoardAI board = Position(kQuiet);
    const std::vector<CellIndex> generated = Candidates(board, 3 + 5);
    ASSERT_GE(generated.size(), 3u);
    const CellIndex stored = generated.back();
    Table().RecordHash(board.mHash, 1, 0, kBoundUpper, stored);
    SearchParams params;
    MoveList list;
    AlphaBeta(engine.worker, list, board, 3, ScoreLoss, ScoreWin, params);
    ASSERT_EQ(list.count, generated.size());
    EXPECT_EQ(list.entries[0].move, stored);
    for (uint32_t i = 1; i < list.count; ++i) EXPECT_NE(list.entries[i].move, stored);
    for (uint32_t i = 1; i < list.count; ++i) EXPECT_EQ(list.entries[i].move, generated[i - 1]);
}

TEST_F(SearchTest, TimeUpAtTheFirstInteriorNodeAnswersAtOnce) {
    BoardAI board = Position(kQuiet);
    BoardAI copy = board;
    copy.genLimit = 3 + 5;
    GenerateMoves(copy, GenMode::kFull);
    const CellIndex first = copy.genMoves[0];
    const int32_t verdict = GenerateMovesCore(copy, GenMode::kLeafThreats);
    const int32_t expected = IsDecisive(verdict) ? verdict : Evaluate(copy);

    const TimeControl tc = Expired();
    ASSERT_TRUE(TimeUp(tc));
    SearchParams params;
    params.timeControl = &tc;
    MoveList list;
    uint32_t before = board.StonesCounted();
    AlphaBeta(engine.worker, list, board, 3, ScoreLoss, ScoreWin, params);
    EXPECT_EQ(board.StonesCounted(), before);
    EXPECT_EQ(list.best, first);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.entries[0].move, first);
    EXPECT_EQ(list.entries[0].kind, 0);
    EXPECT_EQ(list.score, expected);
    EXPECT_FALSE(Table().Lookup(board.mHash));
}

TEST_F(SearchTest, SingleReplyIsSearchedAtTheSameDepth) {
    BoardAI board = Position(kForcedBlock);
    ASSERT_EQ(Candidates(board, 3 + 5), std::vector<CellIndex>{Z(9, 5)});
    SearchParams params;
    MoveList list;
    AlphaBeta(engine.worker, list, board, 3, ScoreLoss, ScoreWin, params);
    EXPECT_EQ(list.best, Z(9, 5));
    // The reply's node stored its result with the parent's depth.
    const std::optional<HashEntry> child = Table().Lookup(ChildKey(board, Z(9, 5)));
    ASSERT_TRUE(child.has_value());
    EXPECT_EQ(child->depth, 3);
}

TEST_F(SearchTest, SeveralMovesEachCostOneDepth) {
    BoardAI board = Position(kQuiet);
    const BoardAI original = board;
    SearchParams params;
    MoveList list;
    AlphaBeta(engine.worker, list, board, 4, ScoreLoss, ScoreWin, params);
    EXPECT_TRUE(SamePosition(board, original));
    ASSERT_GT(list.count, 1u);
    int searched = 0;
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.entries[i].nodes == 0) continue;
        ++searched;
        const std::optional<HashEntry> child =
            Table().Lookup(ChildKey(board, list.entries[i].move));
        ASSERT_TRUE(child.has_value()) << "entry " << i;
        EXPECT_EQ(child->depth, 3) << "entry " << i;
    }
    EXPECT_GT(searched, 1);
    // The root itself is stored at its own depth with its best move.
    const std::optional<HashEntry> root = Table().Lookup(board.mHash);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->depth, 4);
    EXPECT_EQ(root->move, list.best);
}

TEST_F(SearchTest, WhenEveryMoveLosesTheBestIsTheHardestRefutation) {
    BoardAI board = Position(kLost);
    SearchParams params;
    MoveList list;
    AlphaBeta(engine.worker, list, board, 2, ScoreLoss, ScoreWin, params);
    EXPECT_EQ(list.score, ScoreLoss);
    ASSERT_GE(list.count, 2u);
    uint32_t most = 0;
    CellIndex expected = kNoCell;
    for (uint32_t i = 0; i < list.count; ++i) {
        EXPECT_EQ(list.entries[i].score, ScoreLoss) << "entry " << i;
        if (i == 0 || list.entries[i].nodes > most) {
            most = list.entries[i].nodes;
            expected = list.entries[i].move;
        }
    }
    EXPECT_EQ(list.best, expected);
}

// ---------------------------------------------------------------------------
// Table scan of the children

class CutoffScanTest : public SearchTest {
  protected:
    CutoffScanTest() : board(Position(kQuiet)) {
        for (CellIndex m : {Z(10, 8), Z(8, 10), Z(9, 7)}) AddMove(list, m, 0);
    }
    void StoreChild(uint32_t i, int32_t depth, int32_t score, uint8_t bound) {
        Table().RecordHash(ChildKey(board, list.entries[i].move), depth, score, bound, kNoCell);
    }
    BoardAI board;
    MoveList list;
    SearchParams params;
};

TEST_F(CutoffScanTest, ChildBoundAtOrBelowMinusBetaCutsOff) {
    StoreChild(1, 2, -200, kBoundUpper);
    int32_t alpha = -100;
    uint8_t bound = kBoundUpper;
    EXPECT_TRUE(EnhancedCutoffScan(engine.worker, board, list, 3, alpha, 100, bound, params));
    EXPECT_EQ(list.best, list.entries[1].move);
    EXPECT_EQ(list.score, 100);
    EXPECT_EQ(list.entries[0].score, 0);
    EXPECT_EQ(list.entries[1].score, -200);
    const std::optional<HashEntry> root = Table().Lookup(board.mHash);
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->score, 100);
    EXPECT_EQ(root->bound, kBoundLower);
    EXPECT_EQ(root->depth, 3);
    EXPECT_EQ(root->move, list.entries[1].move);
}

TEST_F(CutoffScanTest, CutoffIsNotStoredOnceTimeIsUp) {
    StoreChild(0, 2, -200, kBoundUpper);
    const TimeControl tc = Expired();
    params.timeControl = &tc;
    int32_t alpha = -100;
    uint8_t bound = kBoundUpper;
    EXPECT_TRUE(EnhancedCutoffScan(engine.worker, board, list, 3, alpha, 100, bound, params));
    EXPECT_EQ(list.best, list.entries[0].move);
    EXPECT_FALSE(Table().Lookup(board.mHash));
}

TEST_F(CutoffScanTest, ShallowEntriesOnlyGiveHintsAndTheirAverage) {
    // Depth 1 is less than depth - 1 = 2: no cutoff however good for us.
    StoreChild(0, 1, -500, kBoundUpper);
    StoreChild(2, 1, -7, kBoundExact);
    int32_t alpha = -100;
    uint8_t bound = kBoundUpper;
    EXPECT_FALSE(EnhancedCutoffScan(engine.worker, board, list, 3, alpha, 100, bound, params));
    EXPECT_EQ(alpha, -100);
    EXPECT_EQ(bound, kBoundUpper);
    EXPECT_EQ(list.entries[0].score, -500);
    EXPECT_EQ(list.entries[1].score, -253);  // (-500 - 7) / 2, truncated toward zero
    EXPECT_EQ(list.entries[2].score, -7);
    EXPECT_FALSE(Table().Lookup(board.mHash));
}

TEST_F(CutoffScanTest, DecisiveScoresAverageWithoutOverflow) {
    // Exact wins of the children: known, but no cutoff for us.
    StoreChild(0, 2, ScoreWin, kBoundExact);
    StoreChild(1, 2, ScoreWin, kBoundExact);
    int32_t alpha = -100;
    uint8_t bound = kBoundUpper;
    EXPECT_FALSE(EnhancedCutoffScan(engine.worker, board, list, 3, alpha, 100, bound, params));
    EXPECT_EQ(list.entries[2].score, ScoreWin);
}

TEST_F(CutoffScanTest, WithoutEntriesEveryScoreIsReset) {
    for (uint32_t i = 0; i < list.count; ++i) list.entries[i].score = 77;
    int32_t alpha = -100;
    uint8_t bound = kBoundUpper;
    EXPECT_FALSE(EnhancedCutoffScan(engine.worker, board, list, 3, alpha, 100, bound, params));
    for (uint32_t i = 0; i < list.count; ++i) EXPECT_EQ(list.entries[i].score, 0);

    MoveList empty;
    EXPECT_FALSE(EnhancedCutoffScan(engine.worker, board, empty, 3, alpha, 100, bound, params));
}

// ---------------------------------------------------------------------------
// Driver

TEST_F(SearchTest, SearchIterationTakesAFoursWinOrTheAlphaBetaResult) {
    BoardAI board = Position(kWinByFours);
    board.genLimit = 3;
    SearchResult won = SearchIteration(engine.worker, board, 2, nullptr);
    EXPECT_EQ(won.value, ScoreWin);
    EXPECT_EQ(won.proof, 0u);
    EXPECT_EQ(won.move, Z(12, 10));
    EXPECT_EQ(board.genLimit, Coord::area);

    BoardAI quiet = Position(kQuiet);
    const BoardAI original = quiet;
    quiet.genLimit = 3;
    SearchResult result = SearchIteration(engine.worker, quiet, 3, nullptr);
    EXPECT_LT(result.move, kNoCell);
    EXPECT_EQ(quiet.mCells[result.move], 0);
    EXPECT_FALSE(IsDecisive(result.value));
    EXPECT_EQ(result.proof, 1u);
    EXPECT_EQ(result.disproof, 1u);
    EXPECT_EQ(quiet.genLimit, Coord::area);
    EXPECT_TRUE(SamePosition(quiet, original));
}

TEST_F(SearchTest, DeepeningWithoutTimeLimitStopsAfterMaxDepthPlusOne) {
    for (int32_t maxDepth : {1, 3}) {
        engine.diagnostics.str("");
        Table().ClearTable();
        BoardAI board = Position(kQuiet);
        SearchResult result = IterativeDeepening(engine.worker, board, nullptr, maxDepth);
        const int64_t sel = static_cast<int64_t>(engine.worker.maxMoveCount) - board.mMoveCount;
        const int64_t last = maxDepth + 1;
        ASSERT_GE(sel, 1);
        EXPECT_EQ(
            Lines("DEBUG "),
            std::vector<std::string>{"DEBUG dep=" + std::to_string(std::min(sel, last)) + "-" +
                                     std::to_string(sel) + " val=" + std::to_string(result.value)})
            << "maxDepth " << maxDepth;
        EXPECT_LT(result.move, kNoCell);
    }
}

TEST_F(SearchTest, DeepeningEndsWhenWonAndWritesNoValue) {
    BoardAI board = Position(kWinByFours);
    SearchResult result = IterativeDeepening(engine.worker, board, nullptr, 20);
    EXPECT_EQ(result.value, ScoreWin);
    EXPECT_EQ(result.proof, 0u);
    EXPECT_EQ(result.move, Z(12, 10));
    const int64_t sel = static_cast<int64_t>(engine.worker.maxMoveCount) - board.mMoveCount;
    EXPECT_EQ(Lines("DEBUG "), std::vector<std::string>{"DEBUG dep=2-" + std::to_string(sel)});
}

TEST_F(SearchTest, LossProvenAtDepthTwoPlaysTheFirstCandidate) {
    BoardAI board = Position(kLost);
    const std::vector<CellIndex> candidates = Candidates(board);
    ASSERT_FALSE(candidates.empty());
    SearchResult result = IterativeDeepening(engine.worker, board, nullptr, 20);
    EXPECT_EQ(result.value, ScoreLoss);
    EXPECT_EQ(result.disproof, 0u);
    EXPECT_EQ(result.move, candidates[0]);
}

// Out of time, the deepening still ends as won, and with the winning move rather
// than the generator's first candidate.
TEST_F(SearchTest, WinFoundInAnIterationCutShortByTimeKeepsItsMove) {
    BoardAI board = Position(kWinByFours);
    const std::vector<CellIndex> candidates = Candidates(board);
    // The fours' win starts elsewhere than the generator's first candidate.
    ASSERT_NE(candidates[0], Z(12, 10));
    TimeControl tc = Expired();
    ASSERT_LE(TimeRemaining(tc), 0);
    SearchResult result = IterativeDeepening(engine.worker, board, &tc, 20);
    EXPECT_EQ(result.value, ScoreWin);
    EXPECT_EQ(result.proof, 0u);
    EXPECT_EQ(result.move, Z(12, 10));
}

TEST_F(SearchTest, ChooseMoveSendsTheVictoryPictureForAFive) {
    SetEngineBoard(kOpenFour);
    const std::vector<CellIndex> candidates = Candidates(*engine.board);
    SearchResult result = ChooseMove(engine.worker, engine.timeControl);
    EXPECT_EQ(result.move, candidates[0]);
    EXPECT_EQ(engine.board->Category(1, result.move), kWin);
    EXPECT_EQ(result.value, 0);
    EXPECT_EQ(result.proof, 0u);
    std::vector<std::string> messages = Lines("MESSAGE ");
    ASSERT_EQ(messages.size(), 11u);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(messages[i], std::string("MESSAGE ") + kVictoryPicture[i]);
    EXPECT_TRUE(Lines("DEBUG ").empty());
}

TEST_F(SearchTest, ChooseMoveAnswersGeneratorVerdictsWithoutSearch) {
    struct Case {
        const Rows* rows;
        int toMove;
        const char* message;
        uint32_t proof;
        uint32_t disproof;
    };
    for (Case c : {Case{&kOpenThree, 1, "MESSAGE :-))", 0, kInfinity},
                   Case{&kOpenFour, 2, "MESSAGE :-((", kInfinity, 0}}) {
        engine.diagnostics.str("");
        SetEngineBoard(*c.rows, c.toMove);
        const std::vector<CellIndex> candidates = Candidates(*engine.board);
        uint32_t before = engine.worker.nodeCounter;
        SearchResult result = ChooseMove(engine.worker, engine.timeControl);
        EXPECT_EQ(engine.worker.nodeCounter, before);
        EXPECT_EQ(result.move, candidates[0]);
        EXPECT_EQ(result.value, 0);
        EXPECT_EQ(result.proof, c.proof);
        EXPECT_EQ(result.disproof, c.disproof);
        EXPECT_EQ(engine.diagnostics.str(), std::string(c.message) + "\n");
    }
}

TEST_F(SearchTest, ChooseMoveWithOneCandidateOnlyAsksTheTableForTheMessage) {
    SetEngineBoard(kForcedBlock);
    const uint64_t key = engine.board->mHash;
    struct Case {
        int32_t stored;  // 0: no entry
        const char* diagnostics;
    };
    for (Case c :
         {Case{0, ""}, Case{ScoreWin, "MESSAGE ;-)\n"}, Case{ScoreLoss, "MESSAGE ;-(\n"}}) {
        engine.diagnostics.str("");
        Table().ClearTable();
        if (c.stored != 0) Table().RecordHash(key, 1, c.stored, kBoundExact, Z(9, 5));
        uint32_t before = engine.worker.nodeCounter;
        SearchResult result = ChooseMove(engine.worker, engine.timeControl);
        EXPECT_EQ(engine.worker.nodeCounter, before);
        EXPECT_EQ(result.move, Z(9, 5));
        EXPECT_EQ(result.value, 0);
        EXPECT_EQ(result.proof, 1u);
        EXPECT_EQ(engine.diagnostics.str(), c.diagnostics);
    }
}

TEST_F(SearchTest, ChooseMoveOpensWithoutSearch) {
    engine.shared.transpositionTable.reset();
    engine.maxMemory = 1;  // the smallest table
    uint32_t before = engine.worker.nodeCounter;
    SearchResult result = ChooseMove(engine.worker, engine.timeControl);
    EXPECT_NE(engine.shared.transpositionTable, nullptr);
    EXPECT_EQ(result.move, Z(10, 10));
    EXPECT_EQ(engine.worker.nodeCounter, before);

    engine.MakeMove(Z(10, 10));
    before = engine.worker.nodeCounter;
    result = ChooseMove(engine.worker, engine.timeControl);
    EXPECT_LT(result.move, kNoCell);
    EXPECT_EQ(engine.board->mCells[result.move], 0);
    EXPECT_EQ(engine.worker.nodeCounter, before);
    EXPECT_EQ(engine.diagnostics.str(), "");
}

TEST_F(SearchTest, ChooseMoveWithTheTurnOverPlaysTheFirstCandidate) {
    SetEngineBoard(kQuiet);
    const std::vector<CellIndex> candidates = Candidates(*engine.board);
    TimeControl tc = Expired();
    uint32_t before = engine.worker.nodeCounter;
    SearchResult result = ChooseMove(engine.worker, tc);
    EXPECT_EQ(engine.worker.nodeCounter, before);
    EXPECT_EQ(result.move, candidates[0]);
    EXPECT_EQ(engine.diagnostics.str(), "");
}

TEST_F(SearchTest, RandomMovesRepeatFromTheSameSeed) {
    SetEngineBoard(kQuiet);
    const std::vector<CellIndex> candidates = Candidates(*engine.board);
    ASSERT_GE(candidates.size(), 2u);
    engine.shared.randomMoveProbability = 100;
    TimeControl tc = Generous();
    std::set<CellIndex> chosen;
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        RandomGenerator random{seed};
        random.Draw();
        const CellIndex expected =
            candidates[static_cast<uint32_t>(random.Draw()) % candidates.size()];
        engine.worker.random = RandomGenerator{seed};
        uint32_t before = engine.worker.nodeCounter;
        SearchResult first = ChooseMove(engine.worker, tc);
        engine.worker.random = RandomGenerator{seed};
        SearchResult again = ChooseMove(engine.worker, tc);
        EXPECT_EQ(first.move, expected) << "seed " << seed;
        EXPECT_EQ(again.move, first.move) << "seed " << seed;
        EXPECT_EQ(engine.worker.nodeCounter, before);
        chosen.insert(first.move);
    }
    EXPECT_GT(chosen.size(), 1u);
    EXPECT_EQ(engine.diagnostics.str(), "");

    // The draw r (0..99) gives a random move only when it is below the probability.
    TimeControl over = Expired();
    RandomGenerator random{7};
    const int32_t r = random.Draw() % 100;
    const CellIndex randomMove =
        candidates[static_cast<uint32_t>(random.Draw()) % candidates.size()];
    ASSERT_NE(randomMove, candidates[0]) << "pick another seed";
    engine.shared.randomMoveProbability = r;
    engine.worker.random = RandomGenerator{7};
    EXPECT_EQ(ChooseMove(engine.worker, over).move, candidates[0]);
    engine.shared.randomMoveProbability = r + 1;
    engine.worker.random = RandomGenerator{7};
    EXPECT_EQ(ChooseMove(engine.worker, over).move, randomMove);

    // Without random moves nothing is drawn.
    engine.shared.randomMoveProbability = 0;
    engine.worker.random = RandomGenerator{5};
    ChooseMove(engine.worker, over);
    EXPECT_EQ(engine.worker.random.state, 5u);
}

TEST_F(SearchTest, ChooseMoveSearchesOnACopyAndSmilesWhenWon) {
    SetEngineBoard(kWinByFours);
    const BoardAI original = *engine.board;
    BoardAI copy = original;
    ASSERT_EQ(GenerateMoves(copy, GenMode::kFull), ScoreUnknown);
    ASSERT_GE(copy.genCount, 2u);
    TimeControl tc = Generous();
    SearchResult result = ChooseMove(engine.worker, tc);
    EXPECT_EQ(result.move, Z(12, 10));
    EXPECT_EQ(result.proof, 0u);
    EXPECT_EQ(result.value, ScoreWin);
    EXPECT_EQ(Lines("MESSAGE "), std::vector<std::string>{"MESSAGE :-)"});
    EXPECT_EQ(Lines("DEBUG dep=").size(), 1u);
    EXPECT_TRUE(SamePosition(*engine.board, original));
}

TEST_F(SearchTest, ProvenLossClearsTheTable) {
    SetEngineBoard(kLost);
    const std::vector<CellIndex> candidates = Candidates(*engine.board);
    ASSERT_GE(candidates.size(), 2u);
    const uint64_t unrelated = 987654321;
    Table().RecordHash(unrelated, 5, 10, kBoundExact, kNoCell);
    TimeControl tc = Generous();
    SearchResult result = ChooseMove(engine.worker, tc);
    EXPECT_EQ(result.disproof, 0u);
    EXPECT_EQ(result.move, candidates[0]);
    EXPECT_EQ(Lines("MESSAGE "), std::vector<std::string>{"MESSAGE :-("});
    EXPECT_FALSE(Table().Lookup(unrelated));
}

}  // namespace

namespace {

// On a 4 x 4 board nobody can make five; the last empty cell ends the game drawn.
TEST_F(SearchTest, FillingTheBoardIsADrawNotAWin) {
    boardref::EnsureTables(4, 4);
    struct Restore {
        ~Restore() { boardref::EnsureTables(20, 20); }
    } restore;
    BoardAI board;
    const Rows rows = {"XOXO", "OXOX", "XOXO", "OXO."};
    PlaceDiagram(board, rows, 1);
    for (int depth : {1, 2, 3}) {
        MoveList list;
        AlphaBeta(engine.worker, list, board, depth, ScoreLoss, ScoreWin, SearchParams{});
        EXPECT_EQ(list.score, ScoreDraw) << "depth " << depth;
        EXPECT_EQ(list.best, Coord::xy2z(3, 3)) << "depth " << depth;
    }
}

}  // namespace

TEST(SearchHistory, ScoresSaturateBelowTheLimitAgeByHalfAndKeepTwoKillers) {
    SearchHistory h;
    // Gravity: however many bonuses, the score approaches the limit and stays
    // inside it, in both directions, with no wrap of the 16-bit store.
    for (int i = 0; i < 1000; ++i) h.Reward(1, 42, 2048);
    EXPECT_GT(h.Score(1, 42), SearchHistory::kLimit * 9 / 10);
    EXPECT_LE(h.Score(1, 42), SearchHistory::kLimit);
    for (int i = 0; i < 1000; ++i) h.Penalise(2, 42, 100000);
    EXPECT_EQ(h.Score(2, 42), -SearchHistory::kLimit);
    EXPECT_EQ(h.Score(1, 43), 0) << "another cell";
    const int32_t before = h.Score(1, 42);
    h.Age();
    EXPECT_EQ(h.Score(1, 42), before / 2);

    // Two killers a ply, the newest first; a repeat does not push the other out.
    h.AddKiller(3, 10);
    h.AddKiller(3, 11);
    h.AddKiller(3, 11);
    EXPECT_TRUE(h.IsKiller(3, 10));
    EXPECT_TRUE(h.IsKiller(3, 11));
    h.AddKiller(3, 12);
    EXPECT_FALSE(h.IsKiller(3, 10));
    EXPECT_FALSE(h.IsKiller(4, 12));
    EXPECT_FALSE(h.IsKiller(SearchHistory::kMaxPly, 12)) << "beyond the table";
    h.Age();
    EXPECT_FALSE(h.IsKiller(3, 12)) << "killers are forgotten between moves";

    // Counter moves are kept per player; a pass or no previous move has none.
    h.SetCounter(1, 7, 8);
    EXPECT_EQ(h.Counter(1, 7), 8);
    EXPECT_EQ(h.Counter(2, 7), kNoCell);
    h.SetCounter(1, kPass, 9);
    EXPECT_EQ(h.Counter(1, kPass), kNoCell);
}

TEST_F(SearchTest, PvSearchSettlesForcedPositionsAndLeavesTheBoardAsItWas) {
    struct Case {
        const char* name;
        const Rows* rows;
        int32_t value;                 // ScoreWin, ScoreLoss, or 0 for "not decided"
        std::vector<CellIndex> moves;  // the acceptable replies; empty: any listed one
    };
    const Case cases[] = {
        {"win by fours", &kWinByFours, ScoreWin, {Z(12, 10)}},
        {"open three", &kOpenThree, ScoreWin, {Z(4, 5), Z(8, 5)}},
        {"double three", &kDoubleThree, ScoreWin, {Z(7, 5)}},
        {"forced block", &kForcedBlock, 0, {Z(9, 5)}},
        {"lost", &kLost, ScoreLoss, {}},
        {"quiet", &kQuiet, 0, {}},
    };
    // The defaults, the learned order mixing tactical and quiet moves with
    // the larger reductions that reach tactical moves and threatened nodes,
    // and singular extension from two plies with no margin (its searches of
    // the other moves run at most nodes): each settles what is forced.
    const std::vector<std::pair<const char*, int32_t>> settings[] = {
        {},
        {{"learned_tactical_first", 0}, {"reduction_scale", 100}, {"reduction_depth", 32},
         {"reduce_tactical", 1}, {"reduce_threatened", 1}, {"reduction_not_improving", 16}},
        {{"singular_depth", 32}, {"singular_margin", 0}},
    };
    for (const auto& setting : settings) {
        engine.shared.parameters = SearchParameters();
        for (const auto& [name, value] : setting)
            ASSERT_EQ(engine.shared.parameters.Set(name, value), SearchParameters::SetResult::kSet);
        const std::string label = setting.empty() ? "defaults" : setting.front().first;
        for (const Case& c : cases) {
            Table().ClearTable();
            BoardAI board = Position(*c.rows);
            const BoardAI before = board;
            const std::vector<CellIndex> listed = Candidates(board);
            const TimeControl tc = Generous();
            const SearchResult r = PvDeepening(engine.worker, board, &tc, 6);
            EXPECT_TRUE(SamePosition(board, before)) << label << ", " << c.name;
            if (c.value == 0)
                EXPECT_FALSE(IsDecisive(r.value)) << label << ", " << c.name << ": " << r.value;
            else
                EXPECT_EQ(r.value, c.value) << label << ", " << c.name;
            const std::vector<CellIndex>& ok = c.moves.empty() ? listed : c.moves;
            EXPECT_NE(std::find(ok.begin(), ok.end(), r.move), ok.end())
                << label << ", " << c.name << ": " << r.move;
        }
    }
}

TEST_F(SearchTest, PvSearchKeepsToTheRootMovesItIsGivenAndAnswersWhenTimeIsOver) {
    BoardAI board = Position(kQuiet);
    const std::vector<CellIndex> listed = Candidates(board);
    ASSERT_GE(listed.size(), 3u);
    const TimeControl generous = Generous();
    // The threat solver's restriction: only the given moves, even unlisted ones.
    for (const std::vector<CellIndex>& given :
         {std::vector<CellIndex>{listed.back()}, std::vector<CellIndex>{Z(0, 19)},
          std::vector<CellIndex>{listed[1], listed[2]}}) {
        std::copy(given.begin(), given.end(), engine.worker.restrictedMoves);
        engine.worker.restrictedCount = static_cast<uint32_t>(given.size());
        const SearchResult r = PvDeepening(engine.worker, board, &generous, 4);
        EXPECT_NE(std::find(given.begin(), given.end(), r.move), given.end()) << r.move;
    }
    engine.worker.restrictedCount = 0;
    // With the time already over the first listed move comes back at once.
    const TimeControl expired = Expired();
    EXPECT_EQ(PvDeepening(engine.worker, board, &expired, 10).move, listed[0]);
}
