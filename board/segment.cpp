#include "board/segment.h"

#include <bit>

int SegmentLength(SegmentCode code) {
    if (code < 2) return 0;
    return std::bit_width(static_cast<unsigned>(code)) - 1;
}

bool HasRun(SegmentCode code, int n) {
    const int length = SegmentLength(code);
    int run = 0;
    for (int i = 0; i < length; i++) {
        run = (code >> i) & 1 ? run + 1 : 0;
        if (run >= n) return true;
    }
    return false;
}

namespace {

// Empty cells and the player's own stones are usable; the opponent's stones
// and off-board slots (3) end the walk.
inline bool Usable(uint32_t slot, int player) {
    return slot == 0 || slot == static_cast<uint32_t>(player);
}

}  // namespace

HalfSegment NegativeHalf(int player, uint32_t slots, int slotCount) {
    HalfSegment half{0, 0};
    for (int k = slotCount - 1; k >= 0; k--) {
        const uint32_t slot = (slots >> (2 * k)) & 3;
        if (!Usable(slot, player)) break;
        // Walking outwards, each new cell goes below those already taken.
        half.bits = static_cast<uint16_t>((half.bits << 1) | (slot != 0));
        half.count++;
    }
    return half;
}

HalfSegment PositiveHalf(int player, uint32_t slots, int slotCount) {
    HalfSegment half{0, 0};
    for (int k = 0; k < slotCount; k++) {
        const uint32_t slot = (slots >> (2 * k)) & 3;
        if (!Usable(slot, player)) break;
        half.bits = static_cast<uint16_t>(half.bits | (slot != 0) << half.count);
        half.count++;
    }
    return half;
}

SegmentCode JoinSegment(HalfSegment negative, int centreBit, HalfSegment positive) {
    const uint32_t upper = (1u << positive.count) | positive.bits;  // positive side + lead
    const uint32_t centre = static_cast<uint32_t>(centreBit & 1) << negative.count;
    return static_cast<SegmentCode>((upper << (negative.count + 1)) | centre | negative.bits);
}

SegmentCode SegmentOf(int player, uint32_t patternWord, int& negCount, int& posCount,
                      int centreBit) {
    const HalfSegment negative = NegativeHalf(player, patternWord & 0x3FF, 5);
    const HalfSegment positive = PositiveHalf(player, (patternWord >> 10) & 0x3FF, 5);
    negCount = negative.count;
    posCount = positive.count;
    return JoinSegment(negative, centreBit, positive);
}

SegmentCode ShortSegmentOf(int player, uint32_t window16, int& negCount, int& posCount,
                           int centreBit) {
    const HalfSegment negative = NegativeHalf(player, window16 & 0xFF, 4);
    const HalfSegment positive = PositiveHalf(player, (window16 >> 8) & 0xFF, 4);
    negCount = negative.count;
    posCount = positive.count;
    return JoinSegment(negative, centreBit, positive);
}
