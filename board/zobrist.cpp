#include "board/zobrist.h"

#include "board/coord.h"

uint64_t* zobristKeys = nullptr;

namespace {

// 14 + 14 + 14 + 14 bits, then the low 8 bits of the fifth draw on top.
uint64_t DrawKey(RandomGenerator& random) {
    uint64_t r1 = random.Draw(), r2 = random.Draw(), r3 = random.Draw(), r4 = random.Draw(),
             r5 = random.Draw();
    return (r1 & 0x3FFF) | (r2 & 0x3FFF) << 14 | (r3 & 0x3FFF) << 28 | (r4 & 0x3FFF) << 42 |
           r5 << 56;
}

}  // namespace

RandomGenerator RandomGenerator::AfterZobristKeys() {
    RandomGenerator random;
    for (uint32_t i = 0; i < 2 * Coord::area; ++i) DrawKey(random);
    return random;
}

void BuildZobristKeys() {
    FreeZobristKeys();
    RandomGenerator random;
    uint32_t n = 2 * Coord::area;
    zobristKeys = new uint64_t[n];
    for (uint32_t i = 0; i < n; ++i) zobristKeys[i] = DrawKey(random);
}

void FreeZobristKeys() {
    delete[] zobristKeys;
    zobristKeys = nullptr;
}
