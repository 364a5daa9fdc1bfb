#include "board/coord.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "board/myexception.h"

uint32_t Coord::width = 0;
uint32_t Coord::height = 0;
uint32_t Coord::area = 0;
uint32_t Coord::step[4] = {0, 0, 0, 0};
uint16_t Coord::lineLink[kMaxArea * kMaxArea];
CellIndex Coord::neighbours[kMaxArea][9];
CellIndex Coord::sixAway[kMaxArea * 4][2];
uint8_t Coord::nearMask[kMaxArea * 4];
uint16_t Coord::lineOrder[4][kMaxArea];
CellIndex Coord::lineCells[kMaxArea][4][9];
uint16_t* Coord::rayCount = nullptr;
uint16_t* Coord::rayCells = nullptr;
uint32_t Coord::rayStride = 0;
UpdateEntry* Coord::updateList = nullptr;

void Coord::CheckSize(uint32_t newWidth, uint32_t newHeight) {
    if (newWidth > kMaxSide || newHeight > kMaxSide) {
        char buffer[256];
        snprintf(buffer, sizeof buffer, "Playing board too big, max size is %u", kMaxSide);
        throw std::runtime_error(buffer);
    }
    // Every cell of a board at least 2 x 2 has 3 neighbours or more; a side of 0 or 1
    // leaves some cell (or no cell at all) with fewer.
    if (newWidth < 2 || newHeight < 2)
        throw std::runtime_error("Every coord must have at least 3 neighbours.");
}

void Coord::SetSize(uint32_t newWidth, uint32_t newHeight) {
    // Refuse before touching anything, so a refused size keeps the old shape whole.
    CheckSize(newWidth, newHeight);
    width = newWidth;
    height = newHeight;
    area = width * height;

    for (uint32_t a = 0; a < area; ++a) {
        int ra = a / width, ca = a % width;
        for (uint32_t b = a; b < area; ++b) {
            int rb = b / width, cb = b % width;
            uint32_t dir;
            int dist;
            if (a == b) {
                dir = 5, dist = 0;
            } else if (ca == cb) {
                dir = 1, dist = rb - ra;
            } else if (ra == rb) {
                dir = 0, dist = cb - ca;
            } else if (rb - ra == cb - ca) {
                dir = 2, dist = rb - ra;
            } else if (ra + ca == rb + cb) {
                dir = 3, dist = rb - ra;
            } else {
                dir = 4, dist = 127;
            }
            const int back = dist == 127 ? 127 : -dist;
            lineLink[a * area + b] = static_cast<uint16_t>(dir | static_cast<uint8_t>(dist) << 8);
            lineLink[b * area + a] = static_cast<uint16_t>(dir | static_cast<uint8_t>(back) << 8);
        }
    }

    step[0] = 1;
    step[1] = width;
    step[2] = width + 1;
    step[3] = width - 1;

    for (uint32_t a = 0; a < area; ++a) {
        for (int d = 0; d < 4; ++d) {
            sixAway[a * 4 + d][0] = Shift(static_cast<CellIndex>(a), -6, d);
            sixAway[a * 4 + d][1] = Shift(static_cast<CellIndex>(a), 6, d);
            uint8_t near = 0;
            for (int k = -3; k <= 3; ++k)
                if (k != 0 && Shift(static_cast<CellIndex>(a), k, d) != kOffBoard)
                    near = static_cast<uint8_t>(near | 1u << (3 + k));
            nearMask[a * 4 + d] = near;
        }
    }

    // Each line starts at a cell with nothing one step back; numbering the lines
    // one after another from their first cells gives the runs.
    for (int d = 0; d < 4; ++d) {
        uint16_t next = 0;
        for (uint32_t a = 0; a < area; ++a) {
            if (Shift(static_cast<CellIndex>(a), -1, d) != kOffBoard) continue;
            for (CellIndex z = static_cast<CellIndex>(a); z != kOffBoard; z = Shift(z, 1, d))
                lineOrder[d][z] = next++;
        }
    }

    for (uint32_t a = 0; a < area; ++a) {
        int n = 0;
        for (uint32_t b = 0; b < area; ++b)
            if (std::abs(Dist(a, b)) == 1) neighbours[a][n++] = static_cast<CellIndex>(b);
        neighbours[a][n] = kNoCell;
        if (n < 3) throw std::runtime_error("Every coord must have at least 3 neighbours.");
    }

    for (uint32_t a = 0; a < area; ++a) {
        for (uint32_t d = 0; d < 4; ++d) {
            int n = 0;
            for (uint32_t b = 0; b < area; ++b) {
                int dist = Dist(a, b);
                if (Dir(a, b) == d && dist != 0 && std::abs(dist) < 5)
                    lineCells[a][d][n++] = static_cast<CellIndex>(b);
            }
            lineCells[a][d][n] = kNoCell;
        }
    }
}

CellIndex Coord::xy2z(uint32_t x, uint32_t y) {
    if (x >= width) THROW_MY_EXCEPTION("X coord overflow.", "Coord::xy2z");
    if (y >= height) THROW_MY_EXCEPTION("Y coord overflow.", "Coord::xy2z");
    return static_cast<CellIndex>(y * width + x);
}

CellIndex Coord::Shift(CellIndex cell, int delta, int d) {
    int t = static_cast<int>(cell) + delta * static_cast<int>(step[d]);
    if (t < 0 || t >= static_cast<int>(area)) return kOffBoard;
    if (Dir(cell, t) != static_cast<uint32_t>(d)) return kOffBoard;
    return static_cast<CellIndex>(t);
}

bool Coord::IsBorder(CellIndex cell) {
    uint32_t x = cell % width, y = cell / width;
    return x == 0 || y == 0 || x == width - 1 || y == height - 1;
}

void Coord::BuildRays() {
    FreeRays();
    rayStride = (width > height ? width : height) - 1;
    rayCount = new uint16_t[4 * area]();
    rayCells = new uint16_t[4 * area * rayStride]();
    for (uint32_t cell = 0; cell < area; ++cell) {
        int x = cell % width, y = cell / width;
        for (int r = 0; r < 4; ++r) {
            int dx = r == 0 ? 1 : r == 2 ? -1 : 0;
            int dy = r == 1 ? 1 : r == 3 ? -1 : 0;
            uint16_t* row = rayCells + (r * area + cell) * rayStride;
            uint16_t n = 0;
            for (int k = 1; k <= 3; ++k) {
                int nx = x + k * dx, ny = y + k * dy;
                if (nx < 0 || ny < 0 || nx >= static_cast<int>(width) ||
                    ny >= static_cast<int>(height))
                    break;
                row[n++] = static_cast<uint16_t>(ny * width + nx);
            }
            rayCount[r * area + cell] = n;
        }
    }
}

void Coord::FreeRays() {
    delete[] rayCount;
    delete[] rayCells;
    rayCount = nullptr;
    rayCells = nullptr;
}

void Coord::BuildUpdateList() {
    FreeUpdateList();
    updateList = new UpdateEntry[area * kUpdateRowLength];
    for (uint32_t a = 0; a < area; ++a) {
        UpdateEntry* row = updateList + a * kUpdateRowLength;
        int n = 0;
        for (uint32_t b = 0; b < area; ++b) {
            uint32_t d = Dir(b, a);
            int p = Dist(b, a);
            if (d > 3 || std::abs(p) > 5) continue;
            int slot = p < 0 ? p + 5 : p + 4;
            row[n].key = static_cast<uint16_t>(b * 4 + d);
            row[n].shift = static_cast<uint16_t>(d * 5);
            row[n].increment = 1u << (2 * slot);
            ++n;
        }
        row[n] = UpdateEntry{0xFFFF, 0, 0};
    }
}

void Coord::FreeUpdateList() {
    delete[] updateList;
    updateList = nullptr;
}
