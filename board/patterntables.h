#pragma once

#include <cstdint>
#include <memory>

#include "board/rules.h"
#include "board/segment.h"
#include "board/threatcategory.h"

// The pattern and category tables. Those that depend on the rules are built
// per rules value, once, on first use, and shared read-only by every board of
// those rules; the combined category table and the names do not depend on it.

// Under caro a segment also tells whether an opponent's stone closes it below
// (next to cell 0) or above (next to its last cell), rather than the board's
// edge or the end of the window, which close nothing: a five needs one end
// that is not closed. The segment codes of caro tables carry the two flags
// (kEndedSegmentCodeCount entries); a code without them reads as open ends.
constexpr uint32_t kClosedBelow = 1u << 12;
constexpr uint32_t kClosedAbove = 1u << 13;
constexpr int kEndedSegmentCodeCount = 1 << 14;

// Per rules value (under renju, per stone value of Black as well). Indexed by
// segment code (kSegmentCodeCount entries, kEndedSegmentCodeCount under caro)
// unless said otherwise. Distances count the stones still needed; 6 means
// never.
struct PatternTables {
    Rules rules;
    uint8_t black = 1;  // stone value of Black: under renju its lines are read with exact five
    std::unique_ptr<uint8_t[]> distFive;             // to a five; a straight four counts as 1
    std::unique_ptr<uint8_t[]> distStraight;         // to a five or a straight four
    std::unique_ptr<uint8_t[]> distFiveBlocked;      // distFive after the defender's best stone
    std::unique_ptr<uint8_t[]> distStraightBlocked;  // distStraight after the defender's best stone

    // Per segment position: how much a defending stone there raises the
    // distance. 0 on the player's own stones, 65535 past the end of the segment.
    std::unique_ptr<uint16_t[][kMaxSegmentLength]> blockGainStraight;
    std::unique_ptr<uint16_t[][kMaxSegmentLength]> blockGainFive;

    // Positions worth blocking, largest gain first, ended by kBlockOrderEnd. Only
    // segments with distStraight below 3 have any.
    //
    //   bit: 15      12 11          0
    //       [  gain   ][  position  ]
    std::unique_ptr<uint16_t[][kMaxSegmentLength + 1]> blockOrder;

    // Line category of an empty cell by its pattern word in one direction, for
    // player 1 and player 2. kLineTableSize entries; only the 2^20 real pattern
    // words are read.
    std::unique_ptr<uint8_t[]> lineCategory1;
    std::unique_ptr<uint8_t[]> lineCategory2;
    const uint8_t* LineTable(int player) const {
        return player == 1 ? lineCategory1.get() : lineCategory2.get();
    }

    // Both players' line categories of a pattern word in one 2-byte entry, so
    // that move making reads one cache line per update: 2^20 entries.
    //
    //   bit: 15  11  10     9      5 4      0
    //       [ 0  ][six][ player 2 ][ player 1 ]
    //
    // six: a half of the word shows gap, stone, gap, stone, gap and some
    // category is 5 or more, the only words the six-cell correction can change.
    std::unique_ptr<uint16_t[]> lineCategories;

    // The segment tables a player's lines are read with: these tables, except
    // for Black under renju, whose six or more is no five (blackSegments).
    const PatternTables* segments[2] = {nullptr, nullptr};
    std::unique_ptr<PatternTables> blackSegments;
    const PatternTables& Of(int player) const {
        return segments[player - 1] ? *segments[player - 1] : *this;
    }
    int SegmentCodeCount() const { return rules.Caro() ? kEndedSegmentCodeCount : kSegmentCodeCount; }
};

constexpr uint16_t kBlockOrderEnd = 65535;
inline int BlockGain(uint16_t entry) {
    return entry >> 12;
}
inline int BlockPosition(uint16_t entry) {
    return entry & 0xFFF;
}

constexpr uint32_t kLineTableSize = (1u << 22) - 1;
constexpr uint32_t kPatternWordCount = 1u << 20;
constexpr uint16_t kSixCellShape = 1u << 10;
inline uint32_t LineCategoryOf(uint16_t entry, int player) {
    return (entry >> (5 * (player - 1))) & 31;
}

// The tables of these rules with Black's stones of value `black`, built on the
// first request and kept until FreePatternTables. Safe to call from several
// threads.
const PatternTables& PatternTablesFor(Rules rules, int black = 1);

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

// Line category from a segment's four distances.
ThreatCategory LineCategory(int d5, int ds, int b5, int bs);
// Threat category of the strongest line a and the second strongest b (a <= b).
ThreatCategory Combine(ThreatCategory a, ThreatCategory b);

// The steps of a build, in dependency order. The line category rule and the
// combination are parameters so that tests can build tables of their own.
void BuildSegmentTables(PatternTables& t);  // distFive, distStraight
void BuildBlockTables(PatternTables& t);    // gain rows, distFiveBlocked, distStraightBlocked
void BuildLineTables(PatternTables& t, LineCategoryFn lineCategory = LineCategory);
void BuildBlockOrder(PatternTables& t);
// Every table of these rules.
std::unique_ptr<PatternTables> BuildPatternTables(Rules rules, int black = 1);

// The tables that do not depend on the rules: combinedCategory,
// threatWithoutLine and categoryNames.
void BuildCombinedTable(CombineFn combine = Combine);
void BuildCategoryNames();
// The name of a category, for traces and tests.
const char* CategoryName(uint32_t index);
// Frees every table, the per-rules ones included.
void FreePatternTables();
