#pragma once

#include <cstdint>

// The process-wide pseudo-random generator: state = state * 214013 + 2531011,
// each draw gives bits 16..30 of the new state. Seeded with 1 when the keys are
// built, so keys and random choices repeat on every platform.
void SeedRandom(uint32_t seed);
int DrawRandom();  // 0..32767

// Zobrist keys: key[cell] for a stone of player 1, key[area + cell] for player 2.
extern uint64_t* zobristKeys;

void BuildZobristKeys();
void FreeZobristKeys();
inline uint64_t ZobristKey(uint32_t cell, uint32_t stone, uint32_t area) {
    return zobristKeys[cell + (stone == 2 ? area : 0)];
}
