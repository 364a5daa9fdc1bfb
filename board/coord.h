#pragma once

#include <cstdint>

// Cell number z = y * width + x (row-major).
using CellIndex = uint16_t;

constexpr CellIndex kNoCell = 400;      // end of every cell list; list heads are 400 + category
constexpr CellIndex kPass = 65534;      // a move that only hands the turn over
constexpr CellIndex kOffBoard = 65535;  // Coord::Shift past the edge; end of update rows
constexpr CellIndex kNobody = 32767;    // empty owner field of the border list
constexpr int kMaxArea = 400;
constexpr int kMaxSide = 127;
constexpr int kLinkSize = kMaxArea + 18;  // cells, then one head per threat category

// One entry of a cell's update row: how a stone on the row's cell changes the
// pattern word of cell b in direction d.
//
//   key       : b * 4 + d            (65535 ends the row)
//   shift     : d * 5                (bit position of direction d in a category word)
//   increment : 1 << (2 * slot)      (slot of the stone in b's pattern word)
struct UpdateEntry {
    uint16_t key;
    uint16_t shift;
    uint32_t increment;
};

// The board's shape and every table that depends only on it. There is one shape
// per process; all board objects share it. SetSize rebuilds the fixed-capacity
// tables; the heap tables (rays, update rows) are built by BoardAI::Alloc.
class Coord {
  public:
    static uint32_t width;
    static uint32_t height;
    static uint32_t area;
    static uint32_t step[4];  // cell step of directions 0..3: row, column, diagonal, anti-diagonal

    // Pair relation of cells a and b, addressed [a * area + b]; both halves in
    // one entry, since whoever reads the direction mostly reads the distance too.
    //
    //   bit 15 ........... 8 | 7 ............ 0
    //       signed steps a->b | direction 0..3,
    //       (127 not aligned) | 4 not aligned, 5 same cell
    static uint16_t lineLink[kMaxArea * kMaxArea];

    static CellIndex neighbours[kMaxArea][9];  // adjacent cells, ended by 400
    // The cells six steps back and ahead, [cell * 4 + d][0 back, 1 ahead];
    // kOffBoard past the edge. The six-cell correction looks there.
    static CellIndex sixAway[kMaxArea * 4][2];
    // Which of the cells -3..+3 steps along d are on the board, [cell * 4 + d]:
    // bit 3 + k for the cell k steps away (bit 3, the cell itself, is 0). The
    // threat list's partners.
    static uint8_t nearMask[kMaxArea * 4];
    // Per direction, a numbering of the cells in which every line of that
    // direction is a run of consecutive numbers, in step order: the cell k steps
    // ahead of z on its line is lineOrder[d][z] + k.
    static uint16_t lineOrder[4][kMaxArea];
    static CellIndex lineCells[kMaxArea][4]
                              [9];  // cells 1..4 steps away per direction, ended by 400

    // Orthogonal rays (0 = x+1, 1 = y+1, 2 = x-1, 3 = y-1), up to three cells each.
    static uint16_t* rayCount;  // [r * area + cell]
    static uint16_t* rayCells;  // row (r * area + cell) of rayStride entries
    static uint32_t rayStride;

    static constexpr uint32_t kUpdateRowLength = 41;
    static UpdateEntry* updateList;  // row a * kUpdateRowLength

    static void SetSize(uint32_t newWidth, uint32_t newHeight);
    // Raises the error SetSize would raise for this shape, changing nothing.
    static void CheckSize(uint32_t newWidth, uint32_t newHeight);
    static CellIndex xy2z(uint32_t x, uint32_t y);
    static CellIndex Shift(CellIndex cell, int delta, int d);
    static bool IsBorder(CellIndex cell);

    static uint32_t Dir(uint32_t a, uint32_t b) { return lineLink[a * area + b] & 0xFF; }
    static int Dist(uint32_t a, uint32_t b) {
        return static_cast<int8_t>(lineLink[a * area + b] >> 8);
    }
    static const UpdateEntry* UpdateRow(CellIndex cell) {
        return updateList + cell * kUpdateRowLength;
    }
    static uint32_t RayCount(int r, CellIndex cell) { return rayCount[r * area + cell]; }
    static const uint16_t* Ray(int r, CellIndex cell) {
        return rayCells + (r * area + cell) * rayStride;
    }

    // Heap tables, built and freed by BoardAI::Alloc / BoardAI::Free.
    static void BuildRays();
    static void FreeRays();
    static void BuildUpdateList();
    static void FreeUpdateList();
};
