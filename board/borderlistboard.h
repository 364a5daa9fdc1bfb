#pragma once

#include "board/boardai.h"

// A BoardAI that also keeps its candidate cells: the border of the region that
// the stones enclose. Cells of the board's outermost ring count as inside from
// the start and never become candidates.
class BorderListBoard : public BoardAI {
  public:
    uint16_t mInsideBy[kMaxArea];  // the stone whose move put the cell inside; 32767 none
    uint16_t mBorderBy[kMaxArea];  // the inside cell whose arrival made it a border cell
    uint16_t mBorderList[kMaxArea];
    uint32_t mBorderCount = 0;
    uint16_t mBorderIndex[kMaxArea];  // a listed cell's place in mBorderList

    explicit BorderListBoard(Rules rules = Rules{});

    // Toggle, then update the border list.
    bool MakeMove(CellIndex cell);
    // Checks the border-list invariants; returns the number of border cells.
    uint32_t CheckBorderList() const;

  private:
    void ResetBorder();
    void RemoveFromList(uint16_t cell);
    void AppendToList(uint16_t cell) {
        mBorderIndex[cell] = static_cast<uint16_t>(mBorderCount);
        mBorderList[mBorderCount++] = cell;
    }
    void MakeInside(uint16_t p, uint16_t by);
    void ReleaseInside(uint16_t p);
};
