#pragma once

#include <cstdint>

// The linear congruential generator of the keys and the random moves: state =
// state * 214013 + 2531011, each draw gives bits 16..30 of the new state. The
// keys are drawn from seed 1, so keys and random choices repeat on every
// platform.
struct RandomGenerator {
    uint32_t state = 1;

    int Draw() {  // 0..32767
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
    // The generator as drawing the keys of the current area leaves it: where
    // the random moves of a game on that board start.
    static RandomGenerator AfterZobristKeys();
};

// Zobrist keys: key[cell] for a stone of player 1, key[area + cell] for player 2.
extern uint64_t* zobristKeys;

void BuildZobristKeys();
void FreeZobristKeys();
inline uint64_t ZobristKey(uint32_t cell, uint32_t stone, uint32_t area) {
    return zobristKeys[cell + (stone == 2 ? area : 0)];
}
