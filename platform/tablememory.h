#pragma once

#include <cstddef>

// Zeroed memory for a large table that searches probe at random. The system
// commits its pages at their first touch, so a table costs nothing until it
// fills. Ordinary pages: a large page is zeroed (and memory compacted for it)
// at its first touch, a stall of up to tens of milliseconds inside a move. On
// Linux the block is aligned to 2 MiB all the same. Null when the system has
// no such block.
void* AllocateTableMemory(size_t bytes);
// Gives back a block of AllocateTableMemory with the size it was asked for.
void FreeTableMemory(void* block, size_t bytes);
