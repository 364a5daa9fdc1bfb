#include "board/patterntables.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>

uint8_t* combinedCategory = nullptr;
uint8_t* threatWithoutLine = nullptr;
const char** categoryNames = nullptr;

namespace {

// The tables of each rules value, built on first use; renju has two, one per
// stone value of Black.
constexpr int kTableSlotCount = kWinRuleCount + 1;
std::atomic<PatternTables*> builtTables[kTableSlotCount] = {};

int TableSlot(Rules rules, int black) {
    const int index = rules.Index();
    return index > static_cast<int>(WinRule::kRenju) ? index + 1 : index + (rules.Renju() && black == 2);
}
std::mutex buildMutex;

constexpr uint8_t kNever = 6;
constexpr uint16_t kPastEnd = 65535;

const char* const kCategoryNames[kCategoryCount] = {
    "Win",
    "2xStraightFour",
    "StraightFourFour",
    "StraightFour",
    "FourThree",
    "FourDevelopFour",
    "FourDevelopThree",
    "Four",
    "2xThree",
    "ThreeDevelop",
    "Three",
    "ThreeDef",
    "2xTwo",
    "TwoTwoDef",
    "Two",
    "TwoDef",
    "Other",
    "Impossible",
};

template <typename T>
void Release(T*& table) {
    delete[] table;
    table = nullptr;
}

constexpr uint32_t kCellBits = 0xFFF;

// Cells below the leading 1, the end flags aside.
int Length(uint32_t code) {
    return SegmentLength(static_cast<SegmentCode>(code & kCellBits));
}

// Cells 0..i-1 of a segment read outwards from position i, as a segment of
// their own. With ends, the defender's stone at i closes it below, and it is
// closed above where the segment was closed below.
SegmentCode LowerPart(uint32_t code, int i, bool ends) {
    uint32_t part = 1u << i;
    for (int j = 0; j < i; j++) part |= ((code >> (i - 1 - j)) & 1u) << j;
    if (ends) part |= kClosedBelow | (code & kClosedBelow ? kClosedAbove : 0);
    return static_cast<SegmentCode>(part);
}

// Cells i+1.. of a segment, keeping its leading 1 (and with ends its upper
// end; the defender's stone closes it below).
SegmentCode UpperPart(uint32_t code, int i, bool ends) {
    uint32_t part = (code & kCellBits) >> (i + 1);
    if (ends) part |= kClosedBelow | (code & kClosedAbove);
    return static_cast<SegmentCode>(part);
}

// Caro's five: a run of five (exactly five) whose ends are not both closed.
bool IsCaroFive(uint32_t code, bool exact) {
    const int length = Length(code);
    for (int start = 0; start < length;) {
        if (!((code >> start) & 1)) {
            ++start;
            continue;
        }
        int end = start;
        while (end + 1 < length && ((code >> (end + 1)) & 1)) ++end;
        const int run = end - start + 1;
        const bool closed = start == 0 && (code & kClosedBelow) && end == length - 1 &&
                            (code & kClosedAbove);
        if (run >= 5 && !(exact && run > 5) && !closed) return true;
        start = end + 1;
    }
    return false;
}

bool IsStone(SegmentCode code, int i) {
    return (code >> i) & 1;
}

// Holds a five, or one more stone makes one. Needs distFive with only the
// fives at 0.
bool IsFourOrFive(const uint8_t* distFive, SegmentCode part) {
    if (distFive[part] == 0) return true;
    const int length = Length(part);
    for (int j = 0; j < length; j++) {
        if (!IsStone(part, j) && distFive[part | (1u << j)] == 0) return true;
    }
    return false;
}

// No single defending stone stops a five: whichever empty cell it takes, one
// side of it still is a four or five.
bool IsStraightFour(const uint8_t* distFive, SegmentCode code, bool ends) {
    const int length = Length(code);
    bool anyEmpty = false;
    for (int i = 0; i < length; i++) {
        if (IsStone(code, i)) continue;
        anyEmpty = true;
        if (!IsFourOrFive(distFive, LowerPart(code, i, ends)) &&
            !IsFourOrFive(distFive, UpperPart(code, i, ends)))
            return false;
    }
    return anyEmpty;
}

// Spreads the solved levels to the segments with one stone fewer, level by
// level, so every code ends at one more than its best successor.
void SetXn(uint8_t* dist, bool* solved, int count) {
    for (int level = 0; level <= 5; level++) {
        for (uint32_t code = 2; code < static_cast<uint32_t>(count); code++) {
            if (!solved[code] || dist[code] != level) continue;
            const int length = Length(code);
            for (int i = 0; i < length; i++) {
                if (!IsStone(static_cast<SegmentCode>(code), i)) continue;
                const uint32_t fewer = code & ~(1u << i);
                if (fewer >= code) throw std::runtime_error("SetXn generation error.");
                if (!solved[fewer]) {
                    dist[fewer] = static_cast<uint8_t>(level + 1);
                    solved[fewer] = true;
                }
            }
        }
    }
}

// Line category per (negative side, positive side) pair. A side is identified
// by its cell bits under a leading 1, so 1..63 for up to five cells, and under
// caro 64 more when an opponent's stone closes it.
using SideTable = std::array<std::array<uint8_t, 128>, 128>;  // [positive][negative]

// Whether the walk of a half stopped at an opponent's stone (not at the edge,
// nor after all five slots).
bool ClosedByOpponent(int player, uint32_t slots, int slot) {
    return slot >= 0 && slot < 5 && ((slots >> (2 * slot)) & 3) == static_cast<uint32_t>(3 - player);
}

void BuildLineTable(const PatternTables& t, LineCategoryFn lineCategory, int player,
                    uint8_t* table) {
    const bool ends = t.rules.Caro();
    std::array<uint8_t, 1024> negId{}, posId{};
    std::array<HalfSegment, 128> negHalf{}, posHalf{};
    std::array<bool, 128> negClosed{}, posClosed{};
    for (uint32_t half = 0; half < 1024; half++) {
        const HalfSegment neg = NegativeHalf(player, half, 5);
        const HalfSegment pos = PositiveHalf(player, half, 5);
        const bool nc = ends && ClosedByOpponent(player, half, 4 - neg.count);
        const bool pc = ends && ClosedByOpponent(player, half, pos.count);
        negId[half] = static_cast<uint8_t>((nc ? 64 : 0) | (1u << neg.count) | neg.bits);
        posId[half] = static_cast<uint8_t>((pc ? 64 : 0) | (1u << pos.count) | pos.bits);
        negHalf[negId[half]] = neg;
        posHalf[posId[half]] = pos;
        negClosed[negId[half]] = nc;
        posClosed[posId[half]] = pc;
    }
    const int ids = ends ? 128 : 64;
    SideTable category{};
    for (int p = 1; p < ids; p++) {
        for (int n = 1; n < ids; n++) {
            const SegmentCode code = static_cast<SegmentCode>(
                JoinSegment(negHalf[n], 1, posHalf[p]) | (negClosed[n] ? kClosedBelow : 0) |
                (posClosed[p] ? kClosedAbove : 0));
            category[p][n] = lineCategory(t.distFive[code], t.distStraight[code],
                                          t.distFiveBlocked[code], t.distStraightBlocked[code]);
        }
    }
    for (uint32_t high = 0; high < 1024; high++) {
        const std::array<uint8_t, 128>& row = category[posId[high]];
        uint8_t* out = table + (high << 10);
        for (uint32_t low = 0; low < 1024; low++) out[low] = row[negId[low]];
    }
    // Bits above the ten slots do not take part in a segment: repeat the block.
    for (uint32_t start = kPatternWordCount; start < kLineTableSize; start += kPatternWordCount) {
        std::memcpy(table + start, table, std::min(kPatternWordCount, kLineTableSize - start));
    }
}

}  // namespace

ThreatCategory LineCategory(int d5, int ds, int b5, int bs) {
    if (d5 == 6) return kImpossible;
    if (d5 == 0) return kWin;
    if (ds == 0 && d5 == 1) return kStraightFour;
    if (ds == 1 && d5 == 1) {
        if (bs == 2 && b5 == 2) return kFourDevelopFour;
        if (bs == 2 && b5 == 3) return kFourDevelopThree;
        return kFour;
    }
    if (ds == 1 && d5 == 2) {
        if (bs == 2 && b5 == 3) return kThreeDevelop;
        return kThree;
    }
    if (ds == 2 && d5 == 2) return kThreeDef;
    if (ds == 2 && d5 == 3) return kTwo;
    if (ds == 3 && d5 == 3) return kTwoDef;
    return kOther;
}

ThreatCategory Combine(ThreatCategory a, ThreatCategory b) {
    const auto in = [](ThreatCategory v, int lo, int hi) { return v >= lo && v <= hi; };
    switch (a) {
        case kStraightFour:
            if (b == kStraightFour) return k2xStraightFour;
            if (in(b, 4, 7)) return kStraightFourFour;
            break;
        case kFourThree:
            if (in(b, 4, 7)) return kStraightFour;
            break;
        case kFourDevelopFour:
            if (in(b, 5, 7)) return kStraightFour;
            if (in(b, 9, 10)) return kFourThree;
            break;
        case kFourDevelopThree:
            if (in(b, 6, 7)) return kStraightFour;
            if (in(b, 9, 10)) return kFourThree;
            if (b == kThreeDef) return kFourDevelopFour;
            break;
        case kFour:
            if (b == kFour) return kStraightFour;
            if (in(b, 9, 10)) return kFourThree;
            if (b == kThreeDef) return kFourDevelopFour;
            if (b == kTwo) return kFourDevelopThree;
            break;
        case kThreeDevelop:
            if (in(b, 9, 10)) return k2xThree;
            break;
        case kThree:
            if (b == kThree) return k2xThree;
            if (b == kThreeDef || b == kTwo) return kThreeDevelop;
            break;
        case kThreeDef:
            if (b == kThreeDef || b == kTwo) return k2xTwo;
            break;
        case kTwo:
            if (b == kTwo) return k2xTwo;
            if (b == kTwoDef) return kTwoTwoDef;
            break;
        default:
            break;
    }
    return a;
}

void BuildSegmentTables(PatternTables& t) {
    const int count = t.SegmentCodeCount();
    t.distFive = std::make_unique<uint8_t[]>(count);
    t.distStraight = std::make_unique<uint8_t[]>(count);
    uint8_t* distFive = t.distFive.get();
    uint8_t* distStraight = t.distStraight.get();
    bool solved[kEndedSegmentCodeCount];
    const bool exactFive = t.rules.ExactFive();
    const bool ends = t.rules.Caro();
    for (uint32_t code = 0; code < static_cast<uint32_t>(count); code++) {
        const auto c = static_cast<SegmentCode>(code & kCellBits);
        const bool five = ends ? IsCaroFive(code, exactFive) : HasRun(c, 5);
        solved[code] = five && !(exactFive && HasRun(c, 6));
        distFive[code] = distStraight[code] = solved[code] ? 0 : kNever;
        if (exactFive && HasRun(c, 6)) solved[code] = true;  // overline, never a win
    }
    for (uint32_t code = 2; code < static_cast<uint32_t>(count); code++) {
        if (!solved[code] && IsStraightFour(distFive, static_cast<SegmentCode>(code), ends)) {
            distFive[code] = 1;
            distStraight[code] = 0;
            solved[code] = true;
        }
    }
    bool solvedCopy[kEndedSegmentCodeCount];
    std::memcpy(solvedCopy, solved, count);
    SetXn(distFive, solved, count);
    SetXn(distStraight, solvedCopy, count);
}

void BuildBlockTables(PatternTables& t) {
    const int count = t.SegmentCodeCount();
    const bool ends = t.rules.Caro();
    t.blockGainStraight = std::make_unique<uint16_t[][kMaxSegmentLength]>(count);
    t.blockGainFive = std::make_unique<uint16_t[][kMaxSegmentLength]>(count);
    t.distFiveBlocked = std::make_unique<uint8_t[]>(count);
    t.distStraightBlocked = std::make_unique<uint8_t[]>(count);
    const uint8_t* distFive = t.distFive.get();
    const uint8_t* distStraight = t.distStraight.get();
    uint16_t(*blockGainStraight)[kMaxSegmentLength] = t.blockGainStraight.get();
    uint16_t(*blockGainFive)[kMaxSegmentLength] = t.blockGainFive.get();
    uint8_t* distFiveBlocked = t.distFiveBlocked.get();
    uint8_t* distStraightBlocked = t.distStraightBlocked.get();
    for (uint32_t code = 0; code < static_cast<uint32_t>(count); code++) {
        const auto c = static_cast<SegmentCode>(code);
        const int length = Length(c);
        int worstStraight = 0, worstFive = 0;
        for (int i = 0; i < kMaxSegmentLength; i++) {
            blockGainStraight[code][i] = blockGainFive[code][i] = kPastEnd;
        }
        for (int i = 0; i < length; i++) {
            if (i >= kMaxSegmentLength) throw std::runtime_error("Index out of bound.");
            if (IsStone(c, i)) {
                blockGainStraight[code][i] = blockGainFive[code][i] = 0;
                continue;
            }
            const SegmentCode lower = LowerPart(c, i, ends), upper = UpperPart(c, i, ends);
            const int m = std::min(distStraight[lower], distStraight[upper]);
            const int m5 = std::min(distFive[lower], distFive[upper]);
            blockGainStraight[code][i] = static_cast<uint16_t>(m - distStraight[code]);
            blockGainFive[code][i] = static_cast<uint16_t>(m5 - distFive[code]);
            worstStraight = std::max(worstStraight, m);
            worstFive = std::max(worstFive, m5);
        }
        distStraightBlocked[code] = static_cast<uint8_t>(worstStraight);
        distFiveBlocked[code] = static_cast<uint8_t>(worstFive);
    }
}

void BuildLineTables(PatternTables& t, LineCategoryFn lineCategory) {
    t.lineCategory1 = std::make_unique_for_overwrite<uint8_t[]>(kLineTableSize);
    t.lineCategory2 = std::make_unique_for_overwrite<uint8_t[]>(kLineTableSize);
    t.lineCategories = std::make_unique_for_overwrite<uint16_t[]>(kPatternWordCount);
    const uint8_t* lineCategory1 = t.lineCategory1.get();
    const uint8_t* lineCategory2 = t.lineCategory2.get();
    uint16_t* lineCategories = t.lineCategories.get();
    BuildLineTable(t.Of(1), lineCategory, 1, t.lineCategory1.get());
    BuildLineTable(t.Of(2), lineCategory, 2, t.lineCategory2.get());
    for (uint32_t w = 0; w < kPatternWordCount; ++w) {
        const uint32_t c1 = lineCategory1[w], c2 = lineCategory2[w];
        const uint32_t low = w & 0x3FF, high = w & 0xFFC00;
        const bool shape = low == 68 || low == 136 || high == 0x11000 || high == 0x22000;
        const bool six = shape && (c1 >= 5 || c2 >= 5);
        lineCategories[w] = static_cast<uint16_t>(c1 | c2 << 5 | (six ? kSixCellShape : 0));
    }
}

void BuildCombinedTable(CombineFn combine) {
    if (!combinedCategory) combinedCategory = new uint8_t[kCombinedTableSize];
    // Words with a field of 18 or more never occur.
    std::memset(combinedCategory, kImpossible, kCombinedTableSize);
    for (int a = 0; a < kCategoryCount; a++) {
        for (int b = a; b < kCategoryCount; b++) {
            const uint8_t result =
                combine(static_cast<ThreatCategory>(a), static_cast<ThreatCategory>(b));
            for (int c = b; c < kCategoryCount; c++) {
                for (int d = c; d < kCategoryCount; d++) {
                    std::array<uint32_t, 4> v = {static_cast<uint32_t>(a), static_cast<uint32_t>(b),
                                                 static_cast<uint32_t>(c),
                                                 static_cast<uint32_t>(d)};
                    do {
                        combinedCategory[CombinedIndex(v[0], v[1], v[2], v[3])] = result;
                    } while (std::next_permutation(v.begin(), v.end()));
                }
            }
        }
    }
    if (!threatWithoutLine) threatWithoutLine = new uint8_t[kCombinedTableSize];
    for (uint32_t word = 0; word < kCombinedTableSize; ++word) {
        uint8_t lines = 0;
        for (int d = 0; d < 4; ++d) {
            const uint32_t without = (word & ~(31u << (5 * d))) | uint32_t{kImpossible} << (5 * d);
            if (combinedCategory[without] <= kThree) lines |= static_cast<uint8_t>(1u << d);
        }
        threatWithoutLine[word] = lines;
    }
}

void BuildCategoryNames() {
    if (!categoryNames) categoryNames = new const char*[kCategoryCount];
    std::copy(std::begin(kCategoryNames), std::end(kCategoryNames), categoryNames);
}

void BuildBlockOrder(PatternTables& t) {
    const int count = t.SegmentCodeCount();
    t.blockOrder = std::make_unique<uint16_t[][kMaxSegmentLength + 1]>(count);
    const uint8_t* distStraight = t.distStraight.get();
    uint16_t(*blockOrder)[kMaxSegmentLength + 1] = t.blockOrder.get();
    for (uint32_t code = 0; code < static_cast<uint32_t>(count); code++) {
        uint16_t* out = blockOrder[code];
        std::fill(out, out + kMaxSegmentLength + 1, kBlockOrderEnd);
        if (distStraight[code] >= 3) continue;
        const int length = Length(code);
        std::array<int, kMaxSegmentLength> gain{};
        for (int i = 0; i < length; i++) gain[i] = t.blockGainStraight[code][i];
        int n = 0;
        for (;;) {
            const int best = *std::max_element(gain.begin(), gain.begin() + length);
            if (best <= 0) break;
            for (int i = 0; i < length; i++) {
                if (gain[i] != best) continue;
                out[n++] = static_cast<uint16_t>(best << 12 | i);
                gain[i] = 0;
            }
        }
    }
}

namespace {

void BuildSegmentSteps(PatternTables& t) {
    BuildSegmentTables(t);
    BuildBlockTables(t);
    BuildBlockOrder(t);
}

}  // namespace

std::unique_ptr<PatternTables> BuildPatternTables(Rules rules, int black) {
    auto t = std::make_unique<PatternTables>();
    t->rules = rules;
    t->black = static_cast<uint8_t>(black);
    // Renju's own segment tables are White's, five or more; Black's lines are
    // read with exactly five.
    BuildSegmentSteps(*t);
    if (rules.Renju()) {
        t->blackSegments = std::make_unique<PatternTables>();
        t->blackSegments->rules = Rules{WinRule::kExactlyFive};
        BuildSegmentSteps(*t->blackSegments);
        t->segments[black - 1] = t->blackSegments.get();
    }
    BuildLineTables(*t);
    return t;
}

const PatternTables& PatternTablesFor(Rules rules, int black) {
    std::atomic<PatternTables*>& slot = builtTables[TableSlot(rules, black)];
    if (PatternTables* t = slot.load(std::memory_order_acquire)) return *t;
    const std::lock_guard<std::mutex> lock(buildMutex);
    if (!slot.load(std::memory_order_relaxed))
        slot.store(BuildPatternTables(rules, black).release(), std::memory_order_release);
    return *slot.load(std::memory_order_relaxed);
}

void FreePatternTables() {
    Release(categoryNames);
    Release(combinedCategory);
    Release(threatWithoutLine);
    for (std::atomic<PatternTables*>& slot : builtTables) delete slot.exchange(nullptr);
}

const char* CategoryName(uint32_t index) {
    if (index >= kCategoryCount) throw std::runtime_error("Category index overflow.");
    return categoryNames[index];
}
