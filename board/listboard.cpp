#include "board/listboard.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "board/zobrist.h"

namespace {

// Both links read before either is written: the arrays may alias for the
// compiler, which would otherwise read them again.
inline void Unlink(uint16_t* prev, uint16_t* next, uint32_t z) {
    const uint16_t p = prev[z], n = next[z];
    next[p] = n;
    prev[n] = p;
}

inline void Append(uint16_t* prev, uint16_t* next, uint32_t z, uint32_t category) {
    uint32_t head = kNoCell + category;
    uint32_t last = prev[head];
    next[last] = static_cast<uint16_t>(z);
    prev[z] = static_cast<uint16_t>(last);
    next[z] = static_cast<uint16_t>(head);
    prev[head] = static_cast<uint16_t>(z);
}

// The 20-bit window sees five cells to each side. When, going outward, a line
// shows gap, stone, gap, stone, gap and a sixth cell holds another stone of the
// same player, the line is worth more than the window shows.
inline uint32_t SixCellCorrection(const uint8_t* cells, const uint8_t* table, uint32_t stone,
                                  uint32_t key, uint32_t w, uint32_t c) {
    const uint32_t lowShape = stone == 1 ? 68u : 136u;
    const uint32_t highShape = stone == 1 ? 0x11000u : 0x22000u;
    int n = 0;
    uint32_t rLow = 0, rHigh = 0;
    if ((w & 0x3FF) == lowShape) {
        CellIndex six = Coord::sixAway[key][0];
        if (six != kOffBoard && cells[six] == stone) {
            uint32_t x = table[w | 0x3FF];
            rLow = x >= 5 && x <= 7 ? 4 : 10;
            n = 1;
        }
    }
    if ((w & 0xFFC00) == highShape) {
        CellIndex six = Coord::sixAway[key][1];
        if (six != kOffBoard && cells[six] == stone) {
            uint32_t x = table[w | 0xFFC00];
            rHigh = x >= 5 && x <= 7 ? 4 : 10;
            ++n;
        }
    }
    if (n == 0) return c;
    uint32_t r;
    if (n == 1)
        r = rLow ? rLow : rHigh;
    else
        r = rLow == 4 ? 4 : rHigh == 4 ? 4 : 8;
    return r < c ? r : c;
}

}  // namespace

ListBoard::ListBoard(Rules rules) : mPatterns(&PatternTablesFor(rules)) {
    if (Coord::area > 65536) {
        char buffer[256];
        snprintf(buffer, sizeof buffer, "Playing board too big, max area is %d", 65536);
        throw std::runtime_error(buffer);
    }
    Reset();
    AimLists();
}

ListBoard::ListBoard(const ListBoard& other) : SimpleBoard(other) {
    CopyFrom(other);
}

ListBoard& ListBoard::operator=(const ListBoard& other) {
    if (this != &other) {
        SimpleBoard::operator=(other);
        CopyFrom(other);
    }
    return *this;
}

void ListBoard::CopyFrom(const ListBoard& other) {
    mPatterns = other.mPatterns;
    mHash = other.mHash;
    mLookSix = other.mLookSix;
    uint32_t area = Coord::area;
    memcpy(mLinePattern, other.mLinePattern, sizeof(uint32_t) * 4 * area);
    memcpy(mCategoryWord, other.mCategoryWord, sizeof(uint32_t) * 2 * area);
    memcpy(mCellCategory, other.mCellCategory, 2 * area);
    // The link arrays are used for cells below area and the heads at 400..417.
    memcpy(mPrev1, other.mPrev1, sizeof mPrev1);
    memcpy(mNext1, other.mNext1, sizeof mNext1);
    memcpy(mPrev2, other.mPrev2, sizeof mPrev2);
    memcpy(mNext2, other.mNext2, sizeof mNext2);
    memcpy(mCategoryCount1, other.mCategoryCount1, sizeof mCategoryCount1);
    memcpy(mCategoryCount2, other.mCategoryCount2, sizeof mCategoryCount2);
    mCodes.CopyFrom(other.mCodes);
    mThreatListValid[0] = mThreatListValid[1] = 0;
    AimLists();
}

void ListBoard::Reset() {
    if (!combinedCategory)
        throw std::runtime_error(
            "The category tables are not built: BoardAI::Alloc() must run before any board is "
            "built.");
    mLookSix = 1;
    mThreatListValid[0] = mThreatListValid[1] = 0;
    const uint32_t area = Coord::area;
    memset(mLinePattern, 0, sizeof(uint32_t) * 4 * area);
    // Links past the area are never used, but copies and comparisons take the
    // whole arrays: they start as zeros, not as whatever the memory held.
    memset(mPrev1, 0, sizeof mPrev1);
    memset(mNext1, 0, sizeof mNext1);
    memset(mPrev2, 0, sizeof mPrev2);
    memset(mNext2, 0, sizeof mNext2);
    for (uint32_t c = 0; c < kCategoryCount; ++c) {
        uint16_t head = static_cast<uint16_t>(kNoCell + c);
        mPrev1[head] = mNext1[head] = mPrev2[head] = mNext2[head] = head;
        mCategoryCount1[c] = mCategoryCount2[c] = 0;
    }
    const uint8_t* const lineCategory1 = mPatterns->lineCategory1.get();
    const uint8_t* const lineCategory2 = mPatterns->lineCategory2.get();
    const int width = static_cast<int>(Coord::width), height = static_cast<int>(Coord::height);
    for (uint32_t z = 0; z < area; ++z) {
        int x = z % width, y = z / width;
        mCategoryWord[z][0] = mCategoryWord[z][1] = 0;
        for (int d = 0; d < 4; ++d) {
            uint32_t w = 0;
            for (int k = 1; k <= 5; ++k) {
                bool forwardOff, backwardOff;
                switch (d) {
                    case 0:
                        forwardOff = x + k >= width;
                        backwardOff = x - k < 0;
                        break;
                    case 1:
                        forwardOff = y + k >= height;
                        backwardOff = y - k < 0;
                        break;
                    case 2:
                        forwardOff = x + k >= width || y + k >= height;
                        backwardOff = x - k < 0 || y - k < 0;
                        break;
                    case 3:
                        forwardOff = x - k < 0 || y + k >= height;
                        backwardOff = x + k >= width || y - k < 0;
                        break;
                    default:
                        throw std::runtime_error("Unexpected switch.");
                }
                if (forwardOff) w |= 3u << (2 * (4 + k));
                if (backwardOff) w |= 3u << (2 * (5 - k));
            }
            mLinePattern[z * 4 + d] = w;
            mCategoryWord[z][0] |= static_cast<uint32_t>(lineCategory1[w]) << (5 * d);
            mCategoryWord[z][1] |= static_cast<uint32_t>(lineCategory2[w]) << (5 * d);
        }
        uint32_t c1 = combinedCategory[mCategoryWord[z][0]];
        uint32_t c2 = combinedCategory[mCategoryWord[z][1]];
        if (c1 >= kCategoryCount || c2 >= kCategoryCount)
            throw std::runtime_error("Category overflow.");
        mCellCategory[z][0] = static_cast<uint8_t>(c1);
        mCellCategory[z][1] = static_cast<uint8_t>(c2);
        ++mCategoryCount1[c1];
        Append(mPrev1, mNext1, z, c1);
        ++mCategoryCount2[c2];
        Append(mPrev2, mNext2, z, c2);
    }
    mCodes.Attach(mCodes.values, mCells, mCategoryWord);
}

// Both players' words of a cell as one 8-byte pair: player 1 in the low half.
constexpr uint64_t kPairField = 31ull | 31ull << 32;
inline uint64_t SpreadLines(uint32_t c1, uint32_t c2) {
    return c1 | static_cast<uint64_t>(c2) << 32;
}

// Writes the two line categories of one (cell, direction), given spread and
// shifted into place, and moves the cell between category lists where its
// category changed, player 1 first.
[[gnu::always_inline]] inline void ListBoard::SetLines(uint32_t b, uint64_t mask, uint64_t lines,
                                                       const uint8_t* combined) {
    uint64_t words;
    memcpy(&words, mCategoryWord[b], sizeof words);
    const uint64_t updated = (words & ~mask) | lines;
    if (updated == words) return;
    memcpy(mCategoryWord[b], &updated, sizeof updated);
    const uint64_t changed = updated ^ words;
    if (static_cast<uint32_t>(changed)) {
        const uint32_t from = mCellCategory[b][0], to = combined[static_cast<uint32_t>(updated)];
        if (from != to) Relist<0>(b, from, to);
    }
    if (changed >> 32) {
        const uint32_t from = mCellCategory[b][1], to = combined[updated >> 32];
        if (from != to) Relist<1>(b, from, to);
    }
}

// Moves cell b of player p + 1 from list `from` to the end of list `to`.
template <int p>
[[gnu::always_inline]] inline void ListBoard::Relist(uint32_t b, uint32_t from, uint32_t to) {
    // Named members rather than pointers, so that every link is addressed from
    // the board itself.
    uint16_t* const prev = p == 0 ? mPrev1 : mPrev2;
    uint16_t* const next = p == 0 ? mNext1 : mNext2;
    uint16_t* const count = p == 0 ? mCategoryCount1 : mCategoryCount2;
    mCellCategory[b][p] = static_cast<uint8_t>(to);
    --count[from];
    ++count[to];
    Unlink(prev, next, b);
    Append(prev, next, b, to);
}

// The line categories of one (cell, direction) with the six-cell correction.
void ListBoard::UpdateSixCell(uint32_t key, const uint8_t* combined) {
    const uint32_t w = mLinePattern[key];
    const uint8_t* const lineCategory1 = mPatterns->lineCategory1.get();
    const uint8_t* const lineCategory2 = mPatterns->lineCategory2.get();
    uint32_t c1 = lineCategory1[w], c2 = lineCategory2[w];
    if (mPatterns->lineCategories[w] & kSixCellShape) {
        c1 = SixCellCorrection(mCells, lineCategory1, 1, key, w, c1);
        c2 = SixCellCorrection(mCells, lineCategory2, 2, key, w, c2);
    }
    const uint32_t shift = (key & 3) * 5;
    SetLines(key >> 2, kPairField << shift, SpreadLines(c1, c2) << shift, combined);
}

bool ListBoard::Toggle(CellIndex cell) {
    // 1. A pass only hands the turn over.
    if (cell == kPass) {
        SimpleBoard::Toggle(kPass);
        // Before the first stone a pass makes the other player Black: under
        // renju its lines are read with the other tables (on an empty board the
        // categories are the same).
        if (mMoveCount == 0 && mPatterns->rules.Renju())
            mPatterns = &PatternTablesFor(mPatterns->rules, mBlack);
        return false;
    }
    // 2. Stones and side. A removed stone is taken to be of the side that moved
    // last, i.e. not the side to move.
    const uint32_t stone = mCells[cell] ? mSide + 1u : 2u - mSide;
    const bool placed = SimpleBoard::Toggle(cell);
    // 3. Hash; the threat lists are out of date.
    mHash ^= ZobristKey(cell, stone, Coord::area);
    mThreatListValid[0] = mThreatListValid[1] = 0;
    // 4. Lists of the new side to move.
    AimLists();
    // 5. The toggled cell leaves or re-enters its two lists; its words and
    // categories stay as they were while it holds the stone.
    const uint32_t own1 = mCellCategory[cell][0];
    const uint32_t own2 = mCellCategory[cell][1];
    if (placed) {
        --mCategoryCount1[own1];
        --mCategoryCount2[own2];
        Unlink(mPrev1, mNext1, cell);
        Unlink(mPrev2, mNext2, cell);
    } else {
        ++mCategoryCount1[own1];
        ++mCategoryCount2[own2];
        Append(mPrev1, mNext1, cell, own1);
        Append(mPrev2, mNext2, cell, own2);
    }
    // 6. Every empty cell within five steps on a line sees the stone in its
    // pattern. A take-back always corrects: the cells it touches get back the
    // corrected values they had before the stone, so a stretch with the flag off
    // leaves nothing behind once its stones are taken back.
    const bool lookSix = mLookSix || !placed;
    const uint16_t* const lines = mPatterns->lineCategories.get();
    const uint8_t* const combined = combinedCategory;
    // A stone of player 2 counts twice the increment, so the slot takes the
    // value 2; unsigned wrap-around turns the addition into a subtraction for a
    // removal.
    const uint32_t factor = placed ? stone : 0u - stone;
    const UpdateEntry* const row = Coord::UpdateRow(cell);
    for (const UpdateEntry* e = row; e->key != 0xFFFF; ++e) {
        const uint32_t key = e->key;
        if (mCells[key >> 2]) continue;
        const uint32_t w = mLinePattern[key] += e->increment * factor;
        const uint32_t v = lines[w];
        if (lookSix && (v & kSixCellShape)) {
            UpdateSixCell(key, combined);
            continue;
        }
        const uint32_t shift = e->shift;
        SetLines(key >> 2, kPairField << shift, SpreadLines(v & 31, v >> 5 & 31) << shift,
                 combined);
    }
    // 7. The cells six steps away whose six-cell shape the stone completes or breaks.
    if (lookSix) {
        uint16_t extra[8];
        int m = 0;
        for (int d = 0; d < 4; ++d) {
            const uint32_t key = cell * 4 + d;
            const uint32_t w = mLinePattern[key];
            const uint32_t low = w & 0x3FF, high = w & 0xFFC00;
            if (low == 68 || low == 136) {
                const CellIndex six = Coord::sixAway[key][0];
                if (six != kOffBoard && !mCells[six])
                    extra[m++] = static_cast<uint16_t>(six * 4 + d);
            }
            if (high == 0x11000 || high == 0x22000) {
                const CellIndex six = Coord::sixAway[key][1];
                if (six != kOffBoard && !mCells[six])
                    extra[m++] = static_cast<uint16_t>(six * 4 + d);
            }
        }
        for (int i = 0; i < m; ++i) UpdateSixCell(extra[i], combined);
    }
    mCodes.Refresh(mCells, mCategoryWord, cell, placed);
    return placed;
}
