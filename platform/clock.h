#pragma once

#include <cstdint>

// Wall clock in milliseconds: seconds * 1000 + milliseconds, in 32 bits. The value
// wraps; compare two stamps only by their difference.
uint32_t NowMs();

// Signed difference a - b of two stamps.
inline int32_t StampDiff(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b);
}
