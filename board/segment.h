#pragma once

#include <cstdint>

// The cells of one line around an examined cell that a player could still use
// (no opponent stone, not off the board), at most five to each side.
//
//   bit:  L     L-1 ...  n+1    n       n-1 ...   0
//        [ 1 ][ +k ] ... [ +1 ][ centre ][ -1 ] ... [ -n ]
//         lead  positive side           negative side
//
// Each cell bit is 1 for a stone of the player, 0 for an empty cell. The leading
// 1 stands just above the last cell, so a segment of L cells (1..11) has a code
// below 4096; position i is bit i, the cell at signed distance i - n.
using SegmentCode = uint16_t;

constexpr int kMaxSegmentLength = 11;
constexpr int kSegmentCodeCount = 1 << (kMaxSegmentLength + 1);

// Number of cells below the leading 1 (0 for the codes 0 and 1).
int SegmentLength(SegmentCode code);

// True when the cells below the leading 1 hold n stones in a row.
bool HasRun(SegmentCode code, int n);

// One side of a segment. `slots` holds slotCount 2-bit cells; the walk stops
// before the first cell that is neither empty nor the player's stone.
struct HalfSegment {
    uint16_t bits;  // the side's cell bits, laid out as they sit in the code
    uint8_t count;  // cells taken
};

// Negative side: slot slotCount-1 is next to the centre, slot 0 farthest out.
// Bit 0 of the result is the farthest cell taken.
HalfSegment NegativeHalf(int player, uint32_t slots, int slotCount);

// Positive side: slot 0 is next to the centre. Bit 0 of the result is the
// cell at +1.
HalfSegment PositiveHalf(int player, uint32_t slots, int slotCount);

// Joins the two sides around the centre cell (centreBit 0 or 1).
SegmentCode JoinSegment(HalfSegment negative, int centreBit, HalfSegment positive);

// Segment of a 20-bit line pattern word (slots -5..-1 in bits 0-9, +1..+5 in
// bits 10-19). negCount and posCount receive the cells taken on each side.
SegmentCode SegmentOf(int player, uint32_t patternWord, int& negCount, int& posCount,
                      int centreBit);

// The same for a 16-bit window of four cells per side (slots -4..-1 in bits
// 0-7, +1..+4 in bits 8-15), i.e. a pattern word shifted right by 2.
SegmentCode ShortSegmentOf(int player, uint32_t window16, int& negCount, int& posCount,
                           int centreBit);
