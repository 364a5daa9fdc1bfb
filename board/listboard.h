#pragma once

#include <cstdint>

#include "board/coord.h"
#include "board/patterntables.h"
#include "board/simpleboard.h"
#include "board/threatcategory.h"

// The board that searches read: on top of the stones it keeps, incrementally and
// per player, the pattern of every line through every empty cell, the category
// each empty cell would give, and every empty cell in a circular list of its
// category. It also caches each player's threat list (threatlist.h), which
// every stone placed or taken invalidates. Boards are copied by value (a copy
// starts with no cached list); nothing is allocated while moving.
class ListBoard : public SimpleBoard {
  public:
    uint64_t mHash = 0;
    // Six-cell correction on placements; the search switches it off around its
    // leaf forcing search. Take-backs always correct, so the board is the one
    // built with it on once the stones placed without it are taken back.
    uint8_t mLookSix = 1;

    // Line pattern word of a cell in one direction: two bits per cell at
    // distance -5..-1 and +1..+5, 0 empty, 1/2 a stone, 3 off the board.
    //
    //   bit 19 18 | 17 16 | .. | 11 10 | 9  8 | .. | 1  0
    //       +5    |  +4   | .. |  +1   |  -1  | .. |  -5
    //
    // Indexed [cell * 4 + d], which is an update entry's key.
    uint32_t mLinePattern[kMaxArea * 4];

    // Category word of a cell per player: the line category of direction d in
    // bits 5d..5d+4; combinedCategory turns it into the cell's category.
    //
    //   bit 19..15 | 14..10 | 9..5 | 4..0
    //       dir 3  | dir 2  | dir 1| dir 0
    uint32_t mCategoryWord[kMaxArea][2];
    // combinedCategory of each category word, kept with it: the cell's category
    // per player.
    uint8_t mCellCategory[kMaxArea][2];

    // Category lists: links 0..399 are cells, 400 + c is the head of category c.
    uint16_t mPrev1[kLinkSize], mNext1[kLinkSize];
    uint16_t mPrev2[kLinkSize], mNext2[kLinkSize];
    uint16_t* mOwnLists;  // forward links of the side to move
    uint16_t* mOppLists;
    uint16_t mCategoryCount1[kCategoryCount];
    uint16_t mCategoryCount2[kCategoryCount];

    explicit ListBoard(Rules rules = Rules{});
    ListBoard(const ListBoard& other);
    ListBoard& operator=(const ListBoard& other);

    bool Toggle(CellIndex cell);
    void Reset();

    // Threat and defence views. The threat list is built on first use after a
    // change and kept until the next stone.
    const uint16_t* ThreatList(int player);
    bool ThreatListValid(int player) const { return mThreatListValid[player - 1] != 0; }
    // A stone tried and taken back again leaves the position's threat cells as
    // they were: the lists cached before may be kept (their order is the one
    // the category lists had then). Toggle twice between these two.
    uint16_t ThreatListFlags() const { return static_cast<uint16_t>(mThreatListValid[0] | mThreatListValid[1] << 8); }
    void RestoreThreatListFlags(uint16_t flags) {
        mThreatListValid[0] = static_cast<uint8_t>(flags & 1);
        mThreatListValid[1] = static_cast<uint8_t>(flags >> 8);
    }
    int StrongestDirection(CellIndex cell, int player) const;
    bool OpponentFourNear(CellIndex cell, int d, int player) const;
    bool IsQuietCell(CellIndex cell, int player, int maxStrong) const;

    // The tables of the rules the board was built for.
    const PatternTables& Patterns() const { return *mPatterns; }
    Rules GameRules() const { return mPatterns->rules; }

    uint32_t Category(int player, CellIndex cell) const { return mCellCategory[cell][player - 1]; }
    uint32_t LineCat(int player, CellIndex cell, int d) const {
        return (mCategoryWord[cell][player - 1] >> (5 * d)) & 31;
    }
    const uint16_t* Next(int player) const { return player == 1 ? mNext1 : mNext2; }
    const uint16_t* Counts(int player) const {
        return player == 1 ? mCategoryCount1 : mCategoryCount2;
    }
    // First cell of a player's category list, 400 + c when the list is empty.
    uint16_t First(int player, int c) const { return Next(player)[kNoCell + c]; }

  protected:
    void AimLists() {
        mOwnLists = mSide == 1 ? mNext1 : mNext2;
        mOppLists = mSide == 1 ? mNext2 : mNext1;
    }

  private:
    const PatternTables* mPatterns;

    // Threat lists per player, built by ThreatList (see threatlist.h).
    uint16_t mThreatLists[2][kMaxArea + 1];
    uint8_t mThreatListValid[2] = {0, 0};

    void CopyFrom(const ListBoard& other);
    void SetLines(uint32_t b, uint64_t mask, uint64_t lines, const uint8_t* combined);
    void UpdateSixCell(uint32_t key, const uint8_t* combined);
    void ResetLines();
    template <int p>
    void Relist(uint32_t b, uint32_t from, uint32_t to);
};
