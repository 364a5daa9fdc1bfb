#include "board/borderlistboard.h"

#include <stdexcept>


BorderListBoard::BorderListBoard(Rules rules) : BoardAI(rules) {
    mPlain = 0;
    ResetBorder();
}

void BorderListBoard::ResetBorder() {
    mBorderCount = 0;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        mInsideBy[z] = mBorderBy[z] = kNobody;
        mBorderIndex[z] = 0;
        mBorderState[z] = Coord::IsBorder(static_cast<CellIndex>(z)) ? 0 : 2;
    }
}

// The last entry takes the removed one's place, as a search of the list would
// leave it; the index finds the place at once (a cell not listed is left alone).
void BorderListBoard::RemoveFromList(uint16_t cell) {
    const uint32_t i = mBorderIndex[cell];
    if (i >= mBorderCount || mBorderList[i] != cell) return;
    const uint16_t last = mBorderList[--mBorderCount];
    mBorderList[i] = last;
    mBorderIndex[last] = static_cast<uint16_t>(i);
}

// Cell p becomes inside because of the stone `by`; its outside neighbours become
// border cells owned by p.
void BorderListBoard::MakeInside(uint16_t p, uint16_t by) {
    for (const CellIndex* n = Coord::neighbours[p]; *n != kNoCell; ++n) {
        if (mBorderState[*n] == 2 && mBorderBy[*n] == kNobody) {
            mBorderState[*n] = 1;
            AppendToList(*n);
            mBorderBy[*n] = p;
        }
    }
    if (mBorderState[p] == 1) RemoveFromList(p);
    mBorderState[p] = 0;
    mInsideBy[p] = by;
}

// Undoes MakeInside for p: p and the border cells it owned go back outside; p is
// a border cell again when another cell still owns it.
void BorderListBoard::ReleaseInside(uint16_t p) {
    mBorderState[p] = 2;
    mInsideBy[p] = kNobody;
    for (const CellIndex* n = Coord::neighbours[p]; *n != kNoCell; ++n) {
        if (mBorderBy[*n] == p) {
            mBorderState[*n] = 2;
            mBorderBy[*n] = kNobody;
            RemoveFromList(*n);
        }
    }
    if (mBorderBy[p] != kNobody) {
        mBorderState[p] = 1;
        AppendToList(p);
    }
}

bool BorderListBoard::MakeMove(CellIndex cell) {
    bool placed = ListBoard::Toggle(cell);
    if (cell == kPass) return false;

    if (placed) {
        if (mBorderState[cell] != 0) MakeInside(cell, cell);
        // A stone closes the gaps between itself and the next inside cell or stone
        // up to three cells away in each orthogonal direction.
        for (int r = 0; r < 4; ++r) {
            uint32_t count = Coord::RayCount(r, cell);
            const uint16_t* ray = Coord::Ray(r, cell);
            uint32_t stop = count;
            for (uint32_t i = 0; i < count; ++i) {
                if (mCells[ray[i]] || mBorderState[ray[i]] == 0) {
                    stop = i;
                    break;
                }
            }
            if (stop == count) continue;
            for (int i = static_cast<int>(stop) - 1; i >= 0; --i)
                if (mInsideBy[ray[i]] == kNobody) MakeInside(ray[i], cell);
        }
    } else {
        for (int r = 3; r >= 0; --r) {
            uint32_t count = Coord::RayCount(r, cell);
            const uint16_t* ray = Coord::Ray(r, cell);
            for (uint32_t i = 0; i < count; ++i)
                if (mInsideBy[ray[i]] == cell) ReleaseInside(ray[i]);
        }
        if (mInsideBy[cell] == cell) ReleaseInside(cell);
    }
    return placed;
}

uint32_t BorderListBoard::CheckBorderList() const {
    for (uint32_t i = 0; i < mBorderCount; ++i) {
        uint16_t z = mBorderList[i];
        if (z >= Coord::area) throw std::runtime_error("Border list inconsintency(5).");
        if (mBorderState[z] != 1) throw std::runtime_error("Border list inconsintency(1).");
        if (mBorderBy[z] == kNobody) throw std::runtime_error("Border list inconsintency(6).");
    }
    uint32_t count = 0;
    for (uint32_t z = 0; z < Coord::area; ++z)
        if (mBorderState[z] == 1) ++count;
    if (count != mBorderCount) throw std::runtime_error("Border list inconsintency(2).");
    return count;
}
