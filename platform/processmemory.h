#pragma once

#include <cstdint>

// Resident size of this process in bytes, or 0 when the system does not tell.
uint64_t ResidentMemoryBytes();
