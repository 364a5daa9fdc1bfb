#include "platform/tablememory.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr size_t kLargePage = size_t{2} << 20;

// The block's bytes in whole large pages: what stays mapped.
size_t BlockLength(size_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

}  // namespace

void* AllocateTableMemory(size_t bytes) {
    // One large page more than the block, so that an aligned start lies inside.
    const size_t length = BlockLength(bytes) + kLargePage;
    void* raw = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t block = (start + kLargePage - 1) & ~(kLargePage - 1);
    // The slack on both sides goes back at once, so the block is the mapping.
    if (block > start) munmap(raw, block - start);
    const uintptr_t end = block + BlockLength(bytes);
    if (start + length > end) munmap(reinterpret_cast<void*>(end), start + length - end);
    // No MADV_HUGEPAGE: the system compacts memory for a large page at its
    // first touch, in the middle of a move, and one such fault took up to 57 ms
    // here, more than half of a 100 ms turn.
    return reinterpret_cast<void*>(block);
}

void FreeTableMemory(void* block, size_t bytes) {
    if (block) munmap(block, BlockLength(bytes));
}
