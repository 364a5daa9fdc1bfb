#pragma once

#include <cstdint>

#include "board/segment.h"
#include "board/threatcategory.h"

// Process-wide pattern and category tables, shared read-only by every board.
// They depend on the game rule and are rebuilt whole when it changes.

// Game rule; 1 and 3 mean exactly five wins (six or more is no win), any other
// value means five or more wins.
extern uint32_t rule;

// Indexed by segment code (kSegmentCodeCount entries). Distances count the
// stones still needed; 6 means never.
extern uint8_t* distFive;             // to a five; a straight four counts as 1
extern uint8_t* distStraight;         // to a five or a straight four
extern uint8_t* distFiveBlocked;      // distFive after the defender's best stone
extern uint8_t* distStraightBlocked;  // distStraight after the defender's best stone

// Per segment position: how much a defending stone there raises the distance.
// 0 on the player's own stones, 65535 past the end of the segment.
extern uint16_t (*blockGainStraight)[kMaxSegmentLength];
extern uint16_t (*blockGainFive)[kMaxSegmentLength];

// Positions worth blocking, largest gain first, ended by kBlockOrderEnd. Only
// segments with distStraight below 3 have any.
//
//   bit: 15      12 11          0
//       [  gain   ][  position  ]
extern uint16_t (*blockOrder)[kMaxSegmentLength + 1];
constexpr uint16_t kBlockOrderEnd = 65535;
inline int BlockGain(uint16_t entry) {
    return entry >> 12;
}
inline int BlockPosition(uint16_t entry) {
    return entry & 0xFFF;
}

// Line category of an empty cell by its pattern word in one direction, for
// player 1 and player 2. kLineTableSize entries; only the 2^20 real pattern
// words are read.
constexpr uint32_t kLineTableSize = (1u << 22) - 1;
extern uint8_t* lineCategory1;
extern uint8_t* lineCategory2;

// Both players' line categories of a pattern word in one 2-byte entry, so that
// move making reads one cache line per update: 2^20 entries.
//
//   bit: 15  11  10     9      5 4      0
//       [ 0  ][six][ player 2 ][ player 1 ]
//
// six: a half of the word shows gap, stone, gap, stone, gap and some category
// is 5 or more, the only words the six-cell correction can change.
constexpr uint32_t kPatternWordCount = 1u << 20;
extern uint16_t* lineCategories;
constexpr uint16_t kSixCellShape = 1u << 10;
inline uint32_t LineCategoryOf(uint16_t entry, int player) {
    return (entry >> (5 * (player - 1))) & 31;
}

// Threat category of a cell by its category word.
//
//   bit: 19    15 14    10 9      5 4      0
//       [ dir 3  ][ dir 2  ][ dir 1 ][ dir 0 ]   one line category each
constexpr uint32_t kCombinedTableSize = 1u << 20;
extern uint8_t* combinedCategory;
inline uint32_t CombinedIndex(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 15 | b << 10 | c << 5 | d;
}

// Per category word, bit d set when the cell stays a threat (combined
// category Three or stronger) with line d taken away: the lines on which the
// threat list pairs it. Built with combinedCategory.
extern uint8_t* threatWithoutLine;

extern const char** categoryNames;  // kCategoryCount names, by value

using LineCategoryFn = ThreatCategory (*)(int d5, int ds, int b5, int bs);
using CombineFn = ThreatCategory (*)(ThreatCategory a, ThreatCategory b);
extern LineCategoryFn lineCategoryHook;
extern CombineFn combineHook;

// Line category from a segment's four distances.
ThreatCategory LineCategory(int d5, int ds, int b5, int bs);
// Threat category of the strongest line a and the second strongest b (a <= b).
ThreatCategory Combine(ThreatCategory a, ThreatCategory b);

// True for the rules where exactly five wins.
inline bool ExactFive(uint32_t r) {
    return r == 1 || r == 3;
}

void SetPatternHooks();
void BuildSegmentTables();  // distFive, distStraight
void BuildBlockTables();    // gain rows, distFiveBlocked, distStraightBlocked
void BuildLineTables();     // lineCategory1, lineCategory2, lineCategories
void BuildCombinedTable();
void BuildCategoryNames();
void BuildBlockOrder();
void FreePatternTables();

// Hooks and every table in dependency order; the rule is left as it is.
void BuildPatternTables();
