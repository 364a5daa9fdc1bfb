#include "board/forbidden.h"

#include <memory>

namespace {

// What Black's stone on the centre of a pattern word (Black's stones of value
// 1) makes on that line.
//
//   bit: 15 .. 12  11 ............ 4   3  2    1        0
//       [   0   ][ straight fours ][ fours ][ overline ][ five ]
//
// straight fours: bit 4 + i for the i-th of the cells -4..-1, +1..+4 where one
// more stone makes a straight four through the centre.
constexpr uint16_t kFive = 1, kOverline = 2;
constexpr int kFourShift = 2, kStraightShift = 4;

// The cell k steps from the centre (k in -5..5): 0 empty, 1 Black, 2 White,
// 3 off the board; the centre is Black.
inline int At(uint32_t word, int k) {
    if (k == 0) return 1;
    const int slot = k < 0 ? 5 + k : 4 + k;
    return static_cast<int>((word >> (2 * slot)) & 3);
}

// The straight-four bit of the cell k steps away, k in -4..4 and not 0.
inline int StraightBit(int k) {
    return k < 0 ? k + 4 : k + 3;
}

uint16_t AnalyseLine(uint32_t word) {
    int left = 0, right = 0;
    while (left < 5 && At(word, -left - 1) == 1) ++left;
    while (right < 5 && At(word, right + 1) == 1) ++right;
    const int run = left + right + 1;
    if (run == 5) return kFive;
    if (run > 5) return kOverline;
    // Fours: windows of five cells through the centre with four stones and an
    // empty cell, exactly five once it is filled. Two windows hold the same four
    // only as the two ends of .XXXX., i.e. when they are next to each other and
    // the first is empty at its start.
    int fours = 0;
    bool previous = false, previousOpenStart = false;
    for (int s = -4; s <= 0; ++s) {
        int stones = 0, empty = 0, emptyAt = 0;
        for (int k = s; k < s + 5; ++k) {
            const int v = At(word, k);
            if (v == 1) ++stones;
            if (v == 0) ++empty, emptyAt = k;
        }
        const bool four = stones == 4 && empty == 1 && At(word, s - 1) != 1 && At(word, s + 5) != 1;
        if (four && !(previous && previousOpenStart && emptyAt == s + 4)) ++fours;
        previous = four;
        previousOpenStart = four && emptyAt == s;
    }
    uint16_t result = static_cast<uint16_t>(fours << kFourShift);
    if (fours) return result;
    // Straight fours: one more stone at e gives four in a row a..a+3 through
    // the centre and e, empty at a-1 and a+4, and no Black stone beyond those.
    for (int e = -4; e <= 4; ++e) {
        if (e == 0 || At(word, e) != 0) continue;
        const auto at = [&](int k) { return k == e ? 1 : At(word, k); };
        for (int a = -3; a <= 0; ++a) {
            if (e < a || e > a + 3) continue;
            bool row = true;
            for (int k = a; k <= a + 3; ++k) row = row && at(k) == 1;
            if (row && at(a - 1) == 0 && at(a + 4) == 0 && at(a - 2) != 1 && at(a + 5) != 1) {
                result |= static_cast<uint16_t>(1u << (kStraightShift + StraightBit(e)));
                break;
            }
        }
    }
    return result;
}

// The analysis of every pattern word, built on first use.
const uint16_t* LineFacts() {
    static const std::unique_ptr<uint16_t[]> table = [] {
        auto t = std::make_unique_for_overwrite<uint16_t[]>(kPatternWordCount);
        for (uint32_t w = 0; w < kPatternWordCount; ++w) t[w] = AnalyseLine(w);
        return t;
    }();
    return table.get();
}

// Black's stones as value 1, White's as 2.
inline uint32_t BlackAsOne(uint32_t word, int black) {
    if (black == 1) return word;
    const uint32_t swap = (word ^ (word >> 1)) & 0x55555u;
    return word ^ (swap | swap << 1);
}

// Stones added on top of the board's by the deeper levels, all Black.
struct Added {
    CellIndex cells[kMaxArea];
    int count = 0;
};

uint32_t WordWith(const ListBoard& board, CellIndex cell, int d, const Added& added) {
    uint32_t word = BlackAsOne(board.mLinePattern[cell * 4 + d], board.mBlack);
    for (int i = 0; i < added.count; ++i) {
        const CellIndex stone = added.cells[i];
        if (Coord::Dir(cell, stone) != static_cast<uint32_t>(d)) continue;
        const int k = Coord::Dist(cell, stone);
        if (k < -5 || k > 5) continue;
        const int slot = k < 0 ? 5 + k : 4 + k;
        word |= 1u << (2 * slot);
    }
    return word;
}

bool Forbidden(const ListBoard& board, CellIndex cell, Added& added) {
    const uint16_t* facts = LineFacts();
    uint16_t lines[4];
    bool overline = false;
    int fours = 0, threeLines = 0;
    for (int d = 0; d < 4; ++d) {
        lines[d] = facts[WordWith(board, cell, d, added)];
        if (lines[d] & kFive) return false;
        overline = overline || (lines[d] & kOverline);
        fours += (lines[d] >> kFourShift) & 3;
        threeLines += (lines[d] >> kStraightShift) != 0;
    }
    if (overline || fours >= 2) return true;
    if (threeLines < 2) return false;
    // Which of the lines are threes: a straight four made by a stone that is
    // not forbidden once this one stands.
    added.cells[added.count++] = cell;
    int threes = 0;
    for (int d = 0; d < 4 && threes < 2; ++d) {
        const uint32_t straight = lines[d] >> kStraightShift;
        if (!straight) continue;
        for (int bit = 0; bit < 8; ++bit) {
            if (!((straight >> bit) & 1)) continue;
            const int k = bit < 4 ? bit - 4 : bit - 3;
            const CellIndex e = Coord::Shift(cell, k, d);
            if (!Forbidden(board, e, added)) {
                ++threes;
                break;
            }
        }
    }
    --added.count;
    return threes >= 2;
}

}  // namespace

bool IsForbiddenPoint(const ListBoard& board, CellIndex cell) {
    Added added;
    return Forbidden(board, cell, added);
}
