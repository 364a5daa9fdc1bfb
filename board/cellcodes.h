#pragma once

#include <cstdint>

#include "board/coord.h"
#include "board/threatcategory.h"

// A cell's code for a player: its four line categories as a sorted quadruple,
// numbered 0 .. kCellCodeCount - 1 (the multisets of four of the 18
// categories). The code keeps what combinedCategory throws away: which lines
// make the threat and what the other lines hold.
constexpr int kCellCodeCount = 5985;
uint32_t CellCode(uint32_t categoryWord);
// The four categories of a code, strongest (lowest) first.
void CodeCategories(uint32_t code, uint8_t out[4]);

// The threat kinds a player holds at all, as flags from its category counts:
// a five to complete, an open-four point, a four-three, a four, a double
// three, a three. The pair of both sides' flags is what tells who has the
// initiative.
constexpr int kPresenceBits = 6;
constexpr int kPresenceCount = 1 << (2 * kPresenceBits);
uint32_t PresenceFlags(const uint16_t* counts);
inline uint32_t PresenceIndex(uint32_t ownFlags, uint32_t oppFlags) {
    return ownFlags << kPresenceBits | oppFlags;
}

// The tables of a per-cell evaluation, in hundredths of an evaluation unit.
struct CodeValues {
    // [code][0]: a cell of the side to move with that code, [code][1]: one of
    // the opponent.
    int32_t value[kCellCodeCount][2];
    int32_t presence[kPresenceCount];  // by PresenceIndex(side to move, opponent)
    // When the generation found an opponent four without direct defence (0),
    // or double threes not all covered (1).
    int32_t danger[2];
};

// Each empty cell's code per player and, per player, the sums of the cells'
// values under a table, kept as stones come and go so that an evaluation reads
// two sums instead of scanning the board. With no table attached nothing is
// kept and move making pays one test.
class CellCodes {
  public:
    const CodeValues* values = nullptr;
    // [player - 1][0 as side to move, 1 as opponent]
    int32_t sum[2][2] = {{0, 0}, {0, 0}};
    uint16_t code[kMaxArea][2];
    // The two category words (player 1 low) the codes were taken from; kStone
    // on occupied cells.
    uint64_t word[kMaxArea];
    static constexpr uint64_t kStone = ~0ull;

    // Attaches a table (nullptr detaches) and computes everything from the
    // board's cells and category words.
    void Attach(const CodeValues* table, const uint8_t* cells, const uint32_t (*words)[2]);
    void Rebuild(const uint8_t* cells, const uint32_t (*words)[2]);
    void CopyFrom(const CellCodes& other);
    // After a stone was placed on or taken from cell: the cells whose
    // categories the stone can change are recoded.
    void Refresh(const uint8_t* cells, const uint32_t (*words)[2], CellIndex cell, bool placed) {
        if (values) Update(cells, words, cell, placed);
    }
    // True when codes and sums are those a computation from scratch gives.
    bool Consistent(const uint8_t* cells, const uint32_t (*words)[2]) const;

  private:
    void Update(const uint8_t* cells, const uint32_t (*words)[2], CellIndex cell, bool placed);
    void Recode(uint32_t z, uint64_t w);
    void Add(uint32_t z, int sign);
    void Move(uint32_t z, int p, uint32_t categoryWord);
};
