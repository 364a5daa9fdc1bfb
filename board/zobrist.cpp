#include "board/zobrist.h"

#include "board/coord.h"

uint64_t* zobristKeys = nullptr;

namespace {
uint32_t randomState = 1;
}

void SeedRandom(uint32_t seed) {
    randomState = seed;
}

int DrawRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

void BuildZobristKeys() {
    FreeZobristKeys();
    SeedRandom(1);
    uint32_t n = 2 * Coord::area;
    zobristKeys = new uint64_t[n];
    for (uint32_t i = 0; i < n; ++i) {
        uint64_t r1 = DrawRandom(), r2 = DrawRandom(), r3 = DrawRandom(), r4 = DrawRandom(),
                 r5 = DrawRandom();
        // 14 + 14 + 14 + 14 bits, then the low 8 bits of the fifth draw on top.
        zobristKeys[i] = (r1 & 0x3FFF) | (r2 & 0x3FFF) << 14 | (r3 & 0x3FFF) << 28 |
                         (r4 & 0x3FFF) << 42 | r5 << 56;
    }
}

void FreeZobristKeys() {
    delete[] zobristKeys;
    zobristKeys = nullptr;
}
