#pragma once

#include <cstdint>

#include "board/coord.h"

// Threat-list entry:
//
//   bit: 15  14 13        9 8        0
//       [ s-1  ][ potential ][  cell   ]
//
// s = how strongly the cell reinforces other threat cells (1..4), potential = the
// category the cell reaches with those cells played. A list ends with an entry
// whose cell field is 400.
inline CellIndex ThreatCell(uint16_t entry) {
    return entry & 0x1FF;
}
inline uint32_t ThreatPotential(uint16_t entry) {
    return (entry >> 9) & 31;
}
inline uint32_t ThreatStrength(uint16_t entry) {
    return (entry >> 14) + 1;
}
