#include "board/boardai.h"

#include <cassert>

#include "board/patterntables.h"
#include "board/segment.h"

void BoardAI::EmitDefence(CellIndex cell, uint16_t flags, bool add, int priority) {
    AddGenerated(cell, 4, flags, add, static_cast<uint32_t>(priority));
}

int BoardAI::LineDefenceMoves(CellIndex cell, int d, CellIndex* out, bool withStone, uint16_t flags,
                              bool add, int minGain) {
    const uint32_t w = mLinePattern[cell * 4 + d];
    const int opponent = static_cast<int>(mOpponent);
    int neg = 0, pos = 0;
    SegmentCode code = SegmentOf(opponent, w, neg, pos, withStone ? 1 : 0);
    const uint16_t* order = Patterns().blockOrder[code];
    if (order[0] == kBlockOrderEnd) {
        code = ShortSegmentOf(opponent, (w >> 2) & 0xFFFF, neg, pos, withStone ? 1 : 0);
        order = Patterns().blockOrder[code];
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
            EmitDefence(target, flags, add, 3);
        ++n;
    }
    return n;
}

// The segment tables see five cells each side of the threat, but under the
// exact-five rule a stone six away decides whether a completion is a five or an
// overline: X..XXX.. with X at the far left makes an open four only to the
// right, and a stone beyond that end then stops it, which the tables miss. So
// the tables' cells are kept only when a trial stone really leaves no straight
// four at cell, and the line's other cells within five that do are added.
// Only a stone of the threat's owner just past the tables' window can turn one
// of their fives into an overline.
bool BoardAI::OwnStoneSixAway(CellIndex cell, int d, int owner) const {
    for (int k : {-6, 6}) {
        const CellIndex z = Coord::Shift(cell, k, d);
        if (z != kOffBoard && mCells[z] == owner) return true;
    }
    return false;
}

int BoardAI::ExactFiveLineDefences(CellIndex cell, int d, CellIndex* out, uint16_t flags, bool add,
                                   int minGain) {
    const int opponent = static_cast<int>(mOpponent);
    CellIndex table[kMaxSegmentLength + 1];
    const int listed = LineDefenceMoves(cell, d, table, false, flags, add, minGain);
    // The trial stones are the defender's whatever the side fields say (a caller
    // may have swapped mToMove and mOpponent to see a threat from the other side).
    const uint16_t lists = ThreatListFlags();
    const uint8_t side = mSide;
    const uint32_t toMove = mToMove, waiting = mOpponent;
    mSide = static_cast<uint8_t>(2 - (3 - opponent));
    auto stops = [&](CellIndex t) {
        if (t == cell) return true;
        Toggle(t);
        const bool stopped = LineCat(opponent, cell, d) != kStraightFour;
        Toggle(t);
        return stopped;
    };
    CellIndex found[2 * 5 + 1];
    int n = 0;
    for (int i = 0; i < listed; ++i)
        if (stops(table[i])) found[n++] = table[i];
    for (int k = -5; k <= 5; ++k) {
        const CellIndex t = k == 0 ? cell : Coord::Shift(cell, k, d);
        if (t == kOffBoard || mCells[t]) continue;
        bool known = false;
        for (int i = 0; i < listed && !known; ++i) known = table[i] == t;
        if (!known && stops(t)) found[n++] = t;
    }
    mSide = side;
    mToMove = toMove;
    mOpponent = waiting;
    RestoreThreatListFlags(lists);
    for (int i = 0; i < n; ++i) {
        if (out)
            out[i] = found[i];
        else
            EmitDefence(found[i], flags, add, 3);
    }
    return n;
}

int BoardAI::DefenceMoves(CellIndex cell, CellIndex* out, uint16_t flags, bool add, int minGain) {
    const int opponent = static_cast<int>(mOpponent);
    const uint32_t c = Category(opponent, cell);
    auto emitCell = [&](int priority) {
        if (out)
            out[0] = cell;
        else
            EmitDefence(cell, flags, add, priority);
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
        for (int d = 0; d < 4; ++d) {
            if (LineCat(opponent, cell, d) != kStraightFour) continue;
            if (Patterns().rules.ExactFive() && OwnStoneSixAway(cell, d, opponent))
                return ExactFiveLineDefences(cell, d, out, flags, add, minGain);
            return LineDefenceMoves(cell, d, out, false, flags, add, minGain);
        }
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
    assert(count > 0 && "a fork cell has a line from FourThree to Three");
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
    if (Patterns().distFive[s1] >= Patterns().distFive[s2] &&
        LineCat(opponent, cell, first) >= LineCat(opponent, cell, second))
        a = second, b = first;
    int written = LineDefenceMoves(cell, a, rest, true, flags, add, minGain);
    written +=
        LineDefenceMoves(cell, b, rest ? rest + written : nullptr, true, flags, add, minGain);
    return 1 + written;
}
