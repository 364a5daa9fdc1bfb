#include "board/threatlist.h"

#include <cstdlib>
#include <stdexcept>

#include "board/boardai.h"
#include "board/listboard.h"
#include "board/patterntables.h"
#include "board/segment.h"

uint16_t threatListCache1[kMaxArea + 1];
uint16_t threatListCache2[kMaxArea + 1];
uint8_t threatListValid1 = 0;
uint8_t threatListValid2 = 0;

namespace {

// Categories collected into a threat list, in this order.
constexpr uint8_t kThreatOrder[] = {
    kWin,     k2xStraightFour,  kStraightFourFour, kStraightFour, kFourThree,
    k2xThree, kFourDevelopFour, kFourDevelopThree, kThreeDevelop, kFour,
    kThree};

inline const uint8_t* LineTable(int player) {
    return player == 1 ? lineCategory1 : lineCategory2;
}

inline int SlotOf(int distance) {
    return distance < 0 ? distance + 5 : distance + 4;
}

// Combined category of a category word with line d replaced by `value`.
inline uint32_t WithLine(uint32_t word, int d, uint32_t value) {
    return combinedCategory[(word & ~(31u << (5 * d))) | value << (5 * d)];
}

}  // namespace

const uint16_t* ListBoard::ThreatList(int player) {
    uint16_t* cache = player == 1 ? threatListCache1 : threatListCache2;
    uint8_t& valid = player == 1 ? threatListValid1 : threatListValid2;
    if (valid) return cache;

    const uint8_t* table = LineTable(player);
    const uint16_t* next = Next(player);
    const uint32_t area = Coord::area;

    // 1. Collect the threat cells with a working copy of their patterns.
    uint32_t copies[kMaxArea][4];
    int strength[kMaxArea];
    int n = 0;
    for (uint8_t c : kThreatOrder) {
        for (uint16_t z = next[kNoCell + c]; z < kNoCell; z = next[z]) {
            cache[n] = z;
            for (int d = 0; d < 4; ++d) copies[n][d] = mLinePattern[z * 4 + d];
            strength[n] = 0;
            ++n;
        }
    }
    if (n == 0) {
        cache[0] = kNoCell;
        valid = 1;
        return cache;
    }

    // 2. Pair cells within three steps on a common line; a cell that strengthens
    //    no other on balance is dropped.
    const uint32_t playerShift = static_cast<uint32_t>(player - 1);
    // Columns and rows, so that most pairs are ruled out without the pair tables.
    int8_t col[kMaxArea], row[kMaxArea];
    for (int i = 0; i < n; ++i) {
        col[i] = static_cast<int8_t>(cache[i] % Coord::width);
        row[i] = static_cast<int8_t>(cache[i] / Coord::width);
    }
    for (int i = 0; i < n; ++i) {
        const uint32_t ci = cache[i];
        for (int j = i + 1; j < n; ++j) {
            if (std::abs(col[i] - col[j]) > 3 || std::abs(row[i] - row[j]) > 3) continue;
            const uint32_t cj = cache[j];
            const uint32_t d = Coord::lineDir[ci * area + cj];
            if (d > 3) continue;
            const int dist = Coord::lineDist[ci * area + cj];
            if (std::abs(dist) > 3) continue;
            const uint32_t wordI = mCategoryWord[ci][player - 1];
            const uint32_t wordJ = mCategoryWord[cj][player - 1];
            if (WithLine(wordI, d, kImpossible) >= kThreeDef) continue;
            if (WithLine(wordJ, d, kImpossible) > kThree) continue;

            const uint32_t stoneI = 1u << (2 * SlotOf(-dist) + playerShift);  // i seen from j
            const uint32_t stoneJ = 1u << (2 * SlotOf(dist) + playerShift);   // j seen from i
            copies[j][d] += stoneI;
            copies[i][d] += stoneJ;

            const uint32_t catJ = combinedCategory[wordJ];
            const uint32_t catJWith = WithLine(wordJ, d, table[mLinePattern[cj * 4 + d] + stoneI]);
            strength[i] += static_cast<int>(catJ) - static_cast<int>(catJWith);
            const uint32_t catI = combinedCategory[wordI];
            const uint32_t catIWith = WithLine(wordI, d, table[mLinePattern[ci * 4 + d] + stoneJ]);
            strength[j] += static_cast<int>(catI) - static_cast<int>(catIWith);
        }
        // A cell whose stone helps no partner, or on balance takes from them (say
        // a partner's five that it would turn into six where exactly five wins),
        // is no threat; a negative counter must not wrap into a strength.
        if (strength[i] <= 0) {
            --n;
            if (i < n) {
                cache[i] = cache[n];
                col[i] = col[n];
                row[i] = row[n];
                strength[i] = strength[n];
                for (int d = 0; d < 4; ++d) copies[i][d] = copies[n][d];
                --i;  // the moved entry is paired from this slot again
            }
            continue;
        }
        int s = strength[i] < 4 ? strength[i] : 4;
        cache[i] = static_cast<uint16_t>((s - 1) << 14 | ci);
    }

    // 3. Potential category: what the cell gives with its partners played.
    for (int i = 0; i < n; ++i) {
        const CellIndex z = ThreatCell(cache[i]);
        uint32_t word = 0;
        for (int d = 0; d < 4; ++d) word |= static_cast<uint32_t>(table[copies[i][d]]) << (5 * d);
        uint32_t pc = combinedCategory[word];
        const uint32_t c = Category(player, z);
        if (pc < kFourThree && c >= kFourThree)
            pc = kFourThree;
        else if (c >= k2xThree && pc < k2xThree)
            pc = k2xThree;
        cache[i] = static_cast<uint16_t>(cache[i] | pc << 9);
    }
    cache[n] = kNoCell;
    valid = 1;
    return cache;
}

void ListBoard::EmitGenerated(CellIndex cell, uint16_t flags, bool add, int priority) {
    // Only a BoardAI has a generated-move list; other callers pass an output array.
    static_cast<BoardAI*>(this)->AddGenerated(cell, 4, flags, add, static_cast<uint32_t>(priority));
}

int ListBoard::LineDefenceMoves(CellIndex cell, int d, CellIndex* out, bool withStone,
                                uint16_t flags, bool add, int minGain) {
    const uint32_t w = mLinePattern[cell * 4 + d];
    const int opponent = static_cast<int>(mOpponent);
    int neg = 0, pos = 0;
    SegmentCode code = SegmentOf(opponent, w, neg, pos, withStone ? 1 : 0);
    const uint16_t* order = blockOrder[code];
    if (order[0] == kBlockOrderEnd) {
        code = ShortSegmentOf(opponent, (w >> 2) & 0xFFFF, neg, pos, withStone ? 1 : 0);
        order = blockOrder[code];
        if (order[0] == kBlockOrderEnd) return 0;
    }
    int n = 0;
    for (; *order != kBlockOrderEnd; ++order) {
        if (BlockGain(*order) < minGain) continue;
        const int distance = BlockPosition(*order) - neg;
        // Shift refuses a zero step (a cell is on no line with itself).
        CellIndex target = distance == 0 ? cell : Coord::Shift(cell, distance, d);
        if (out)
            out[n] = target;
        else
            EmitGenerated(target, flags, add, 3);
        ++n;
    }
    return n;
}

int ListBoard::DefenceMoves(CellIndex cell, CellIndex* out, uint16_t flags, bool add, int minGain) {
    const int opponent = static_cast<int>(mOpponent);
    const uint32_t c = Category(opponent, cell);
    auto emitCell = [&](int priority) {
        if (out)
            out[0] = cell;
        else
            EmitGenerated(cell, flags, add, priority);
    };

    // 1-2. Only the cell itself answers.
    if (c == k2xStraightFour) {
        emitCell(3);
        return 1;
    }
    if (c == kWin || c > kThree) {
        emitCell(1);
        return 1;
    }
    // 3. A straight four in one line: block that line.
    if (c == kStraightFourFour || c == kStraightFour) {
        for (int d = 0; d < 4; ++d)
            if (LineCat(opponent, cell, d) == kStraightFour)
                return LineDefenceMoves(cell, d, out, false, flags, add, minGain);
    }
    // 4. A fork: the cell itself, then its threat lines.
    emitCell(3);
    int first = -1, second = -1, count = 0;
    for (int d = 0; d < 4; ++d) {
        uint32_t lc = LineCat(opponent, cell, d);
        if (lc < kFourThree || lc > kThree) continue;
        if (lc < k2xThree) {
            if (count > 0 && first >= 0) second = first;
            first = d;
        } else {
            if (count > 0 && first < 0) first = second;
            second = d;
        }
        ++count;
    }
    if (count == 0) throw std::runtime_error("Fork is not fork.");
    CellIndex* rest = out ? out + 1 : nullptr;
    // 5. One line.
    if (count == 1)
        return 1 + LineDefenceMoves(cell, first >= 0 ? first : second, rest, false, flags, add,
                                    minGain);
    // 6. Two lines: the weaker-looking one first.
    int n1 = 0, p1 = 0, n2 = 0, p2 = 0;
    SegmentCode s1 = SegmentOf(opponent, mLinePattern[cell * 4 + first], n1, p1, 0);
    SegmentCode s2 = SegmentOf(opponent, mLinePattern[cell * 4 + second], n2, p2, 0);
    int a = first, b = second;
    if (distFive[s1] >= distFive[s2] &&
        LineCat(opponent, cell, first) >= LineCat(opponent, cell, second))
        a = second, b = first;
    int written = LineDefenceMoves(cell, a, rest, true, flags, add, minGain);
    written +=
        LineDefenceMoves(cell, b, rest ? rest + written : nullptr, true, flags, add, minGain);
    return 1 + written;
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
