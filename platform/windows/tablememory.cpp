#include "platform/tablememory.h"

#include <windows.h>

// Large pages need a privilege that ordinary accounts lack, so the block is plain
// committed memory, zeroed and backed on first touch.
void* AllocateTableMemory(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeTableMemory(void* block, size_t) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}
