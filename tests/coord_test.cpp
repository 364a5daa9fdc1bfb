#include "board/coord.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/myexception.h"

namespace {

using Cells = std::vector<CellIndex>;

// A list ended by 400, without the terminator.
Cells ListOf(const CellIndex* list) {
    Cells cells;
    for (int i = 0; list[i] != kNoCell; ++i) {
        cells.push_back(list[i]);
        if (i > 400) break;
    }
    return cells;
}

Cells Ray(int r, CellIndex cell) {
    const uint16_t* ray = Coord::Ray(r, cell);
    return Cells(ray, ray + Coord::RayCount(r, cell));
}

size_t UpdateRowLength(CellIndex cell) {
    const UpdateEntry* row = Coord::UpdateRow(cell);
    size_t n = 0;
    while (n < Coord::kUpdateRowLength && row[n].key != 65535) ++n;
    return n;
}

std::string RefusalOf(uint32_t width, uint32_t height) {
    try {
        Coord::SetSize(width, height);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(accepted)";
}

// Every test starts and ends on 20 x 20 with all tables built.
class CoordTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (Coord::width != 20 || Coord::height != 20) Shape(20, 20);
    }
    static void Shape(uint32_t width, uint32_t height) {
        BoardAI::Free();
        Coord::SetSize(width, height);
        BoardAI::Alloc();
    }
};

// ---------------------------------------------------------------------------
// Board shapes

TEST_F(CoordTest, SmallestBoardHasThreeNeighboursEverywhere) {
    Shape(2, 2);
    EXPECT_EQ(Coord::area, 4u);
    for (CellIndex z = 0; z < 4; ++z) EXPECT_EQ(ListOf(Coord::neighbours[z]).size(), 3u) << z;
    EXPECT_EQ(ListOf(Coord::neighbours[0]), (Cells{1, 2, 3}));
    EXPECT_EQ(ListOf(Coord::neighbours[3]), (Cells{0, 1, 2}));
}

TEST_F(CoordTest, BoardOneCellWideOrEmptyIsRefused) {
    const char* refusal = "Every coord must have at least 3 neighbours.";
    EXPECT_EQ(RefusalOf(1, 20), refusal);
    EXPECT_EQ(RefusalOf(20, 1), refusal);
    EXPECT_EQ(RefusalOf(1, 1), refusal);
    EXPECT_EQ(RefusalOf(0, 20), refusal);
    EXPECT_EQ(RefusalOf(20, 0), refusal);
    EXPECT_EQ(RefusalOf(0, 0), refusal);
    EXPECT_EQ(RefusalOf(1, 127), refusal);
}

TEST_F(CoordTest, SideOverOneHundredTwentySevenIsRefused) {
    const char* refusal = "Playing board too big, max size is 127";
    EXPECT_EQ(RefusalOf(128, 2), refusal);
    EXPECT_EQ(RefusalOf(2, 128), refusal);
    EXPECT_EQ(RefusalOf(4294967295u, 3), refusal);
    // The side is checked before the neighbours.
    EXPECT_EQ(RefusalOf(128, 1), refusal);
}

TEST_F(CoordTest, LongestSideIsAccepted) {
    Shape(127, 3);
    EXPECT_EQ(Coord::area, 381u);
    EXPECT_EQ(Coord::Dir(0, 126), 0u);
    EXPECT_EQ(Coord::Dist(0, 126), 126);
    EXPECT_EQ(Coord::Dist(126, 0), -126);
    EXPECT_EQ(Coord::Dir(126, 127), 4u);  // end of one row, start of the next
    EXPECT_EQ(Coord::Shift(126, 1, 0), kOffBoard);
    EXPECT_EQ(Coord::Shift(0, 126, 0), 126);
    EXPECT_EQ(Coord::Shift(126, 2, 3), 378);
    EXPECT_EQ(Coord::rayStride, 126u);
    EXPECT_EQ(UpdateRowLength(190), 5u + 5u + 2u + 2u + 2u);
}

TEST_F(CoordTest, RefusedSizeKeepsTheOldShape) {
    Shape(7, 5);
    EXPECT_THROW(Coord::SetSize(128, 2), std::runtime_error);
    EXPECT_THROW(Coord::SetSize(1, 9), std::runtime_error);
    EXPECT_EQ(Coord::width, 7u);
    EXPECT_EQ(Coord::height, 5u);
    EXPECT_EQ(Coord::area, 35u);
    EXPECT_EQ(Coord::step[1], 7u);
    EXPECT_EQ(Coord::Dir(0, 8), 2u);
    EXPECT_EQ(Coord::Dist(0, 8), 1);
    EXPECT_EQ(ListOf(Coord::neighbours[0]), (Cells{1, 7, 8}));
}

TEST_F(CoordTest, StepsFollowTheWidth) {
    Shape(7, 5);
    EXPECT_EQ(Coord::step[0], 1u);
    EXPECT_EQ(Coord::step[1], 7u);
    EXPECT_EQ(Coord::step[2], 8u);
    EXPECT_EQ(Coord::step[3], 6u);
}

// ---------------------------------------------------------------------------
// Cell numbering and steps

TEST_F(CoordTest, Xy2zNumbersRowByRow) {
    EXPECT_EQ(Coord::xy2z(0, 0), 0);
    EXPECT_EQ(Coord::xy2z(3, 2), 43);
    EXPECT_EQ(Coord::xy2z(19, 0), 19);
    EXPECT_EQ(Coord::xy2z(0, 1), 20);
    EXPECT_EQ(Coord::xy2z(19, 19), 399);
    Shape(7, 5);
    EXPECT_EQ(Coord::xy2z(6, 4), 34);
    EXPECT_EQ(Coord::xy2z(2, 3), 23);
    EXPECT_THROW(Coord::xy2z(7, 0), MyException);
    EXPECT_THROW(Coord::xy2z(0, 5), MyException);
    EXPECT_NO_THROW(Coord::xy2z(0, 4));
}

TEST_F(CoordTest, Xy2zOutsideTheBoardRaisesTheCoordinateError) {
    const std::regex full(R"((X|Y) coord overflow\.\|[^|]*coord\.cpp\|Coord::xy2z\|[0-9]+)");
    struct Case {
        uint32_t x, y;
        const char* message;
    };
    for (const Case& c :
         {Case{20, 0, "X coord overflow."}, Case{0, 20, "Y coord overflow."},
          Case{20, 20, "X coord overflow."}, Case{4294967295u, 0, "X coord overflow."}}) {
        try {
            Coord::xy2z(c.x, c.y);
            ADD_FAILURE() << c.x << "," << c.y << ": expected an exception";
        } catch (const MyException& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.FullMessage().rfind(std::string(c.message) + "|", 0), 0u);
            EXPECT_TRUE(std::regex_match(e.FullMessage(), full)) << e.FullMessage();
        }
    }
}

TEST(MyException, FullMessageJoinsTheParts) {
    MyException e("Bad thing.", "/home/builder/src/some/file.cpp", "Class::Function", 42);
    EXPECT_STREQ(e.what(), "Bad thing.");
    // The file without the folders it was built in, whichever separator they use.
    EXPECT_EQ(e.FullMessage(), "Bad thing.|file.cpp|Class::Function|42");
    EXPECT_EQ(MyException("x", "c:\\src\\coord.cpp", "f", 1).FullMessage(), "x|coord.cpp|f|1");
}

TEST(MyException, IsNotCaughtAsAStandardException) {
    bool caughtAsStandard = false, caughtAsOwn = false;
    try {
        try {
            Coord::xy2z(20, 0);
        } catch (const std::exception&) {
            caughtAsStandard = true;
        }
    } catch (const MyException&) {
        caughtAsOwn = true;
    }
    EXPECT_FALSE(caughtAsStandard);
    EXPECT_TRUE(caughtAsOwn);
}

TEST_F(CoordTest, ShiftStopsAtTheEdges) {
    EXPECT_EQ(Coord::Shift(19, 1, 0), kOffBoard);  // 20 starts the next row
    EXPECT_EQ(Coord::Shift(0, -1, 1), kOffBoard);
    EXPECT_EQ(Coord::Shift(21, -1, 2), 0);
    EXPECT_EQ(Coord::Shift(20, -1, 0), kOffBoard);
    EXPECT_EQ(Coord::Shift(0, 1, 3), kOffBoard);  // 19 is the far end of the row
    EXPECT_EQ(Coord::Shift(19, 1, 3), 38);
    EXPECT_EQ(Coord::Shift(38, -1, 3), 19);
    EXPECT_EQ(Coord::Shift(39, 1, 2), kOffBoard);
    EXPECT_EQ(Coord::Shift(0, 19, 2), 399);
    EXPECT_EQ(Coord::Shift(0, 20, 2), kOffBoard);
    EXPECT_EQ(Coord::Shift(399, 1, 1), kOffBoard);
    EXPECT_EQ(Coord::Shift(210, -5, 1), 110);
    EXPECT_EQ(Coord::Shift(210, 4, 0), 214);
    EXPECT_EQ(Coord::Shift(210, 0, 0), kOffBoard);  // a cell is not on a line with itself
}

TEST_F(CoordTest, ShiftOnANarrowBoard) {
    Shape(7, 5);
    EXPECT_EQ(Coord::Shift(6, 1, 0), kOffBoard);
    EXPECT_EQ(Coord::Shift(6, 1, 3), 12);
    EXPECT_EQ(Coord::Shift(6, 4, 3), 30);
    EXPECT_EQ(Coord::Shift(7, -1, 3), 1);
    EXPECT_EQ(Coord::Shift(7, 1, 3), kOffBoard);  // 13 is the far end of the same row
    EXPECT_EQ(Coord::Shift(0, 4, 2), 32);
    EXPECT_EQ(Coord::Shift(0, 5, 2), kOffBoard);
    EXPECT_EQ(Coord::Shift(3, 4, 1), 31);
}

TEST_F(CoordTest, IsBorder) {
    for (CellIndex z : {0, 10, 19, 20, 39, 200, 219, 380, 390, 399})
        EXPECT_TRUE(Coord::IsBorder(z)) << z;
    for (CellIndex z : {21, 38, 210, 378, 361}) EXPECT_FALSE(Coord::IsBorder(z)) << z;
    Shape(7, 5);
    for (CellIndex z : {3, 6, 7, 13, 28, 31, 34}) EXPECT_TRUE(Coord::IsBorder(z)) << z;
    for (CellIndex z : {8, 12, 26}) EXPECT_FALSE(Coord::IsBorder(z)) << z;
}

// ---------------------------------------------------------------------------
// Pair relations

TEST_F(CoordTest, SameCellAndUnalignedPairs) {
    for (uint32_t a = 0; a < Coord::area; ++a) {
        EXPECT_EQ(Coord::Dir(a, a), 5u);
        EXPECT_EQ(Coord::Dist(a, a), 0);
    }
    // Knight's moves.
    for (auto [a, b] : {std::pair<int, int>{0, 41}, {0, 22}, {210, 171}, {210, 232}}) {
        EXPECT_EQ(Coord::Dir(a, b), 4u) << a << "-" << b;
        EXPECT_EQ(Coord::Dist(a, b), 127) << a << "-" << b;
        EXPECT_EQ(Coord::Dist(b, a), 127) << b << "-" << a;
    }
    // Neighbouring numbers across a row end are not aligned.
    EXPECT_EQ(Coord::Dir(19, 20), 4u);
}

TEST_F(CoordTest, AlignedPairsOnARectangle) {
    Shape(7, 5);
    struct Case {
        int a, b;
        uint32_t dir;
        int dist;
    };
    for (const Case& c :
         {Case{0, 6, 0, 6}, Case{6, 0, 0, -6}, Case{1, 29, 1, 4}, Case{29, 1, 1, -4},
          Case{0, 32, 2, 4}, Case{6, 12, 3, 1}, Case{30, 6, 3, -4}, Case{6, 7, 4, 127},
          Case{13, 14, 4, 127}, Case{5, 13, 2, 1}, Case{8, 23, 4, 127}, Case{8, 22, 1, 2}}) {
        EXPECT_EQ(Coord::Dir(c.a, c.b), c.dir) << c.a << "-" << c.b;
        EXPECT_EQ(Coord::Dist(c.a, c.b), c.dist) << c.a << "-" << c.b;
    }
}

TEST_F(CoordTest, RelationsAreSymmetricAndDistancesAntisymmetric) {
    auto check = [] {
        for (uint32_t a = 0; a < Coord::area; ++a)
            for (uint32_t b = 0; b < Coord::area; ++b) {
                ASSERT_EQ(Coord::Dir(a, b), Coord::Dir(b, a)) << a << "-" << b;
                int d = Coord::Dist(a, b);
                if (d == 127) {
                    ASSERT_EQ(Coord::Dir(a, b), 4u);
                    ASSERT_EQ(Coord::Dist(b, a), 127);
                } else {
                    ASSERT_EQ(Coord::Dist(b, a), -d) << a << "-" << b;
                    // Positive when b lies further on in the numbering.
                    ASSERT_EQ(d > 0, b > a) << a << "-" << b;
                }
            }
    };
    check();
    Shape(9, 4);
    check();
}

// ---------------------------------------------------------------------------
// Cell lists

TEST_F(CoordTest, Neighbours) {
    EXPECT_EQ(ListOf(Coord::neighbours[0]), (Cells{1, 20, 21}));
    EXPECT_EQ(ListOf(Coord::neighbours[19]), (Cells{18, 38, 39}));
    EXPECT_EQ(ListOf(Coord::neighbours[380]), (Cells{360, 361, 381}));
    EXPECT_EQ(ListOf(Coord::neighbours[399]), (Cells{378, 379, 398}));
    EXPECT_EQ(ListOf(Coord::neighbours[10]), (Cells{9, 11, 29, 30, 31}));
    EXPECT_EQ(ListOf(Coord::neighbours[210]), (Cells{189, 190, 191, 209, 211, 229, 230, 231}));
}

TEST_F(CoordTest, LineCells) {
    EXPECT_EQ(ListOf(Coord::lineCells[0][0]), (Cells{1, 2, 3, 4}));
    EXPECT_EQ(ListOf(Coord::lineCells[0][1]), (Cells{20, 40, 60, 80}));
    EXPECT_EQ(ListOf(Coord::lineCells[0][2]), (Cells{21, 42, 63, 84}));
    EXPECT_EQ(ListOf(Coord::lineCells[0][3]), Cells{});
    EXPECT_EQ(ListOf(Coord::lineCells[2][0]), (Cells{0, 1, 3, 4, 5, 6}));
    EXPECT_EQ(ListOf(Coord::lineCells[210][2]), (Cells{126, 147, 168, 189, 231, 252, 273, 294}));
    EXPECT_EQ(ListOf(Coord::lineCells[210][3]), (Cells{134, 153, 172, 191, 229, 248, 267, 286}));
    Shape(7, 5);
    EXPECT_EQ(ListOf(Coord::lineCells[6][3]), (Cells{12, 18, 24, 30}));
    EXPECT_EQ(ListOf(Coord::lineCells[6][0]), (Cells{2, 3, 4, 5}));
    EXPECT_EQ(ListOf(Coord::lineCells[17][1]), (Cells{3, 10, 24, 31}));
}

TEST_F(CoordTest, RaysStopAtTheEdges) {
    EXPECT_EQ(Coord::rayStride, 19u);
    EXPECT_EQ(Ray(0, 0), (Cells{1, 2, 3}));
    EXPECT_EQ(Ray(1, 0), (Cells{20, 40, 60}));
    EXPECT_EQ(Ray(2, 0), Cells{});
    EXPECT_EQ(Ray(3, 0), Cells{});
    EXPECT_EQ(Ray(0, 18), Cells{19});
    EXPECT_EQ(Ray(2, 18), (Cells{17, 16, 15}));
    EXPECT_EQ(Ray(0, 19), Cells{});  // 20 is on the next row
    EXPECT_EQ(Ray(2, 20), Cells{});  // 19 is on the row above
    EXPECT_EQ(Ray(1, 398), Cells{});
    EXPECT_EQ(Ray(3, 398), (Cells{378, 358, 338}));
    EXPECT_EQ(Ray(2, 41), Cells{40});
    EXPECT_EQ(Ray(3, 41), (Cells{21, 1}));
    Shape(7, 5);
    EXPECT_EQ(Coord::rayStride, 6u);
    EXPECT_EQ(Ray(0, 6), Cells{});
    EXPECT_EQ(Ray(2, 6), (Cells{5, 4, 3}));
    EXPECT_EQ(Ray(1, 6), (Cells{13, 20, 27}));
    EXPECT_EQ(Ray(1, 20), (Cells{27, 34}));
    EXPECT_EQ(Ray(3, 34), (Cells{27, 20, 13}));
    EXPECT_EQ(Ray(0, 12), Cells{13});
    Shape(2, 2);
    EXPECT_EQ(Coord::rayStride, 1u);
    EXPECT_EQ(Ray(0, 0), Cells{1});
    EXPECT_EQ(Ray(1, 1), Cells{3});
    EXPECT_EQ(Ray(2, 3), Cells{2});
    EXPECT_EQ(Ray(3, 3), Cells{1});
}

// ---------------------------------------------------------------------------
// Update rows

TEST_F(CoordTest, UpdateRowLengths) {
    EXPECT_EQ(UpdateRowLength(0), 15u);  // row, column and diagonal
    EXPECT_EQ(UpdateRowLength(399), 15u);
    EXPECT_EQ(UpdateRowLength(19), 15u);   // row, column and anti-diagonal
    EXPECT_EQ(UpdateRowLength(210), 40u);  // five each way on four lines
    EXPECT_EQ(UpdateRowLength(10), 25u);   // top edge: no cells above
    // (2, 1): row 2 + 5, column 1 + 5, diagonal 1 + 5, anti-diagonal 1 + 2.
    EXPECT_EQ(UpdateRowLength(22), 22u);
}

TEST_F(CoordTest, UpdateRowOfACellWorkedOutByHand) {
    // Cell (2, 1) of a 7 x 5 board. For each cell b on a line d through it, in
    // increasing b: key b * 4 + d, shift d * 5, and 1 << (2 * slot), where p is
    // the position of (2, 1) seen from b and slot = p + 5 (p < 0) or p + 4 (p > 0).
    Shape(7, 5);
    struct Entry {
        uint16_t key, shift;
        uint32_t increment;
    };
    const Entry expected[] = {
        {1 * 4 + 2, 10, 1u << 10},  // (1,0) diagonal, p = +1
        {2 * 4 + 1, 5, 1u << 10},   // (2,0) column, p = +1
        {3 * 4 + 3, 15, 1u << 10},  // (3,0) anti-diagonal, p = +1
        {7 * 4 + 0, 0, 1u << 12},   // (0,1) row, p = +2
        {8 * 4 + 0, 0, 1u << 10},   // (1,1) row, p = +1
        {10 * 4 + 0, 0, 1u << 8},   // (3,1) row, p = -1
        {11 * 4 + 0, 0, 1u << 6},   // (4,1) row, p = -2
        {12 * 4 + 0, 0, 1u << 4},   // (5,1) row, p = -3
        {13 * 4 + 0, 0, 1u << 2},   // (6,1) row, p = -4
        {15 * 4 + 3, 15, 1u << 8},  // (1,2) anti-diagonal, p = -1
        {16 * 4 + 1, 5, 1u << 8},   // (2,2) column, p = -1
        {17 * 4 + 2, 10, 1u << 8},  // (3,2) diagonal, p = -1
        {21 * 4 + 3, 15, 1u << 6},  // (0,3) anti-diagonal, p = -2
        {23 * 4 + 1, 5, 1u << 6},   // (2,3) column, p = -2
        {25 * 4 + 2, 10, 1u << 6},  // (4,3) diagonal, p = -2
        {30 * 4 + 1, 5, 1u << 4},   // (2,4) column, p = -3
        {33 * 4 + 2, 10, 1u << 4},  // (5,4) diagonal, p = -3
    };
    const UpdateEntry* row = Coord::UpdateRow(Coord::xy2z(2, 1));
    const size_t n = sizeof expected / sizeof expected[0];
    ASSERT_EQ(UpdateRowLength(Coord::xy2z(2, 1)), n);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(row[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(row[i].shift, expected[i].shift) << "entry " << i;
        EXPECT_EQ(row[i].increment, expected[i].increment) << "entry " << i;
    }
    EXPECT_EQ(row[n].key, 65535);
}

TEST_F(CoordTest, UpdateRowsReachFiveCellsAndSlotsAroundTheCentre) {
    // (10, 10) seen from the far ends of its row: p = +5 uses slot 9, p = -5 slot 0.
    const UpdateEntry* row = Coord::UpdateRow(210);
    bool sawFar = false, sawNear = false;
    for (size_t i = 0; row[i].key != 65535; ++i) {
        if (row[i].key == 205 * 4 + 0) {
            EXPECT_EQ(row[i].increment, 1u << 18);
            sawFar = true;
        }
        if (row[i].key == 215 * 4 + 0) {
            EXPECT_EQ(row[i].increment, 1u << 0);
            sawNear = true;
        }
        EXPECT_NE(row[i].key, 204 * 4 + 0);  // six away
        EXPECT_EQ(row[i].shift >> 2, row[i].key & 3u);
        if (i > 0) {
            EXPECT_LT(row[i - 1].key, row[i].key);
        }
    }
    EXPECT_TRUE(sawFar);
    EXPECT_TRUE(sawNear);
}

}  // namespace
