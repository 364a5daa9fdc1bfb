#pragma once

#include <cstddef>

// Zeroed memory for a large table that searches probe at random. The system
// commits its pages at their first touch, so a table costs nothing until it
// fills. On Linux the block is aligned to and asks for 2 MiB pages: a probe
// then rarely misses the address-translation cache, which on a virtual machine
// costs a walk of two page tables. Null when the system has no such block.
void* AllocateTableMemory(size_t bytes);
// Gives back a block of AllocateTableMemory with the size it was asked for.
void FreeTableMemory(void* block, size_t bytes);
