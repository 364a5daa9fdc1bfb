#include "board/threatlist.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "board/listboard.h"
#include "board/patterntables.h"

namespace {

// Categories collected into a threat list, in this order.
constexpr uint8_t kThreatOrder[] = {
    kWin,     k2xStraightFour,  kStraightFourFour, kStraightFour, kFourThree,
    k2xThree, kFourDevelopFour, kFourDevelopThree, kThreeDevelop, kFour,
    kThree};

// Per direction, a bit per collected cell pairable on that line, at its place
// in Coord::lineOrder moved up by kThreatBitsOffset so that three places back
// stay in the array, padded for 8-byte reads.
constexpr uint32_t kThreatBitsOffset = 8;
constexpr uint32_t kThreatBitsBytes = (kMaxArea + kThreatBitsOffset) / 8 + 16;

// Bit position in a pattern word of the cell k steps away, by 3 + k.
constexpr uint32_t kSlotShift[7] = {2 * 2, 2 * 3, 2 * 4, 0, 2 * 5, 2 * 6, 2 * 7};

// Combined category of a category word with line d replaced by `value`.
inline uint32_t WithLine(uint32_t word, int d, uint32_t value) {
    return combinedCategory[(word & ~(31u << (5 * d))) | value << (5 * d)];
}

}  // namespace

const uint16_t* ListBoard::ThreatList(int player) {
    uint16_t* cache = mThreatLists[player - 1];
    uint8_t& valid = mThreatListValid[player - 1];
    if (valid) return cache;

    // Working storage of the build: the entry of each collected cell (read only
    // for cells collected in this build), and per entry its counter and the
    // partners' stones added to its pattern words.
    int16_t collected[kMaxArea];
    int threatStrength[kMaxArea];
    uint32_t threatAdded[kMaxArea][4];
    uint8_t threatBits[4][kThreatBitsBytes];
    memset(threatBits, 0, sizeof threatBits);

    const uint8_t* table = mPatterns->LineTable(player);
    const uint16_t* next = Next(player);
    const int p = player - 1;

    // 1. Collect the threat cells in list order, and pair each with the cells
    //    collected before it: two collected cells within three steps on a line,
    //    both threats without that line. Each adds to the other's counter what
    //    its stone would do for the other cell, and a stone to the other's
    //    working copy of that line. The sums do not depend on the order of the
    //    pairs, so each pair is taken up when its second cell arrives.
    const uint32_t playerShift = static_cast<uint32_t>(p);
    int n = 0;
    for (uint8_t c : kThreatOrder) {
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            const uint32_t word = mCategoryWord[z][p];
            const uint32_t own = mCellCategory[z][p];
            cache[n] = z;
            collected[z] = static_cast<int16_t>(n);
            threatStrength[n] = 0;
            for (int d = 0; d < 4; ++d) threatAdded[n][d] = 0;
            for (uint32_t lines = threatWithoutLine[word]; lines; lines &= lines - 1) {
                const int d = __builtin_ctz(lines);
                // The cells -3..+3 on the line already collected and pairable on
                // it, one bit each, bit 3 + k for k steps away.
                const uint32_t q = Coord::lineOrder[d][z] + kThreatBitsOffset;
                uint64_t window;
                memcpy(&window, &threatBits[d][(q - 3) >> 3], sizeof window);
                uint32_t partners =
                    static_cast<uint32_t>(window >> ((q - 3) & 7)) & Coord::nearMask[z * 4 + d];
                threatBits[d][q >> 3] |= static_cast<uint8_t>(1u << (q & 7));
                for (; partners; partners &= partners - 1) {
                    const int k = __builtin_ctz(partners) - 3;
                    const uint32_t b = z + k * static_cast<int>(Coord::step[d]);
                    const int j = collected[b];
                    const uint32_t stoneB = 1u << (kSlotShift[3 + k] + playerShift);  // seen from z
                    const uint32_t stoneZ = 1u << (kSlotShift[3 - k] + playerShift);  // seen from b
                    threatAdded[n][d] += stoneB;
                    threatAdded[j][d] += stoneZ;
                    const int gainForB =
                        static_cast<int>(mCellCategory[b][p]) -
                        static_cast<int>(WithLine(mCategoryWord[b][p], d,
                                                  table[mLinePattern[b * 4 + d] + stoneZ]));
                    const int gainForZ = static_cast<int>(own) -
                                         static_cast<int>(WithLine(
                                             word, d, table[mLinePattern[z * 4 + d] + stoneB]));
                    threatStrength[n] += gainForB;
                    threatStrength[j] += gainForZ;
                }
            }
            ++n;
        }
    }
    if (n == 0) {
        cache[0] = kNoCell;
        valid = 1;
        return cache;
    }

    // 2. A cell whose stone helps no partner, or on balance takes from them (say
    //    a partner's five that it would turn into six where exactly five wins),
    //    is no threat; a negative counter must not wrap into a strength. A
    //    dropped entry's place goes to the last entry, which is judged there in
    //    turn: the list's order.
    int order[kMaxArea];
    for (int i = 0; i < n; ++i) order[i] = i;
    for (int i = 0; i < n;) {
        if (threatStrength[order[i]] <= 0)
            order[i] = order[--n];
        else
            ++i;
    }

    // 3. Potential category: what the cell gives with its partners played.
    uint16_t cells[kMaxArea];
    for (int i = 0; i < n; ++i) cells[i] = cache[order[i]];
    for (int i = 0; i < n; ++i) {
        const int e = order[i];
        const CellIndex z = cells[i];
        uint32_t word = 0;
        for (int d = 0; d < 4; ++d)
            word |= static_cast<uint32_t>(table[mLinePattern[z * 4 + d] + threatAdded[e][d]])
                    << (5 * d);
        uint32_t pc = combinedCategory[word];
        const uint32_t c = mCellCategory[z][p];
        if (pc < kFourThree && c >= kFourThree)
            pc = kFourThree;
        else if (c >= k2xThree && pc < k2xThree)
            pc = k2xThree;
        const int s = threatStrength[e] < 4 ? threatStrength[e] : 4;
        cache[i] = static_cast<uint16_t>((s - 1) << 14 | pc << 9 | z);
    }
    cache[n] = kNoCell;
    valid = 1;
    return cache;
}

int ListBoard::StrongestDirection(CellIndex cell, int player) const {
    int best = 0;
    for (int d = 1; d < 4; ++d)
        if (LineCat(player, cell, d) < LineCat(player, cell, best)) best = d;
    return best;
}

bool ListBoard::OpponentFourNear(CellIndex cell, int d, int player) const {
    static constexpr int kOffsets[] = {-3, -2, 2, 3};
    const int opponent = 3 - player;
    for (int k : kOffsets) {
        CellIndex z = Coord::Shift(cell, k, d);
        // An occupied cell is read as it stands: its words keep the categories of
        // the moment it was filled.
        if (z != kOffBoard && Category(opponent, z) < kFourThree) return true;
    }
    return false;
}

bool ListBoard::IsQuietCell(CellIndex cell, int player, int maxStrong) const {
    int nImpossible = 0, nOther = 0, nTwoDef = 0, nMid = 0, nStrong = 0;
    for (int d = 0; d < 4; ++d) {
        uint32_t lc = LineCat(player, cell, d);
        if (lc == kImpossible)
            ++nImpossible;
        else if (lc == kOther)
            ++nOther;
        else if (lc == kTwoDef)
            ++nTwoDef;
        else if (lc >= kThreeDef)
            ++nMid;
        else
            ++nStrong;
    }
    if (nStrong > maxStrong || nImpossible == 0) return false;
    if (nMid == 0 && nTwoDef <= 1) return true;
    return nMid == 1 && maxStrong == 0 && nTwoDef == 0 && nOther < 3;
}
