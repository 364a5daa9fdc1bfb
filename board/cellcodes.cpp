#include "board/cellcodes.h"

#include <cstring>

namespace {

// Binomial coefficients C(n, k) for n < 21, k 1..4: the combinatorial number
// of a sorted quadruple x0 <= x1 <= x2 <= x3 is the sum of C(xi + i, i + 1).
struct Binomials {
    uint16_t c[5][21];
    constexpr Binomials() : c{} {
        for (int n = 0; n < 21; ++n) {
            uint32_t v = 1;
            for (int k = 1; k <= 4; ++k) {
                v = v * static_cast<uint32_t>(n - k + 1) / static_cast<uint32_t>(k);
                c[k][n] = static_cast<uint16_t>(n >= k ? v : 0);
            }
        }
    }
};
constexpr Binomials kBinomials;

inline void Order(uint32_t& a, uint32_t& b) {
    const uint32_t lo = a < b ? a : b, hi = a < b ? b : a;
    a = lo;
    b = hi;
}

inline uint32_t CodeOf(uint32_t w) {
    uint32_t a = w & 31, b = w >> 5 & 31, c = w >> 10 & 31, d = w >> 15 & 31;
    Order(a, b);
    Order(c, d);
    Order(a, c);
    Order(b, d);
    Order(b, c);
    return kBinomials.c[1][a] + kBinomials.c[2][b + 1] + kBinomials.c[3][c + 2] +
           kBinomials.c[4][d + 3];
}

}  // namespace

uint32_t CellCode(uint32_t categoryWord) {
    return CodeOf(categoryWord);
}

void CodeCategories(uint32_t code, uint8_t out[4]) {
    // Greedy inverse of the combinatorial number, highest term first.
    for (int k = 4; k >= 1; --k) {
        int n = k - 1;
        while (n + 1 < 21 && kBinomials.c[k][n + 1] <= code) ++n;
        code -= kBinomials.c[k][n];
        out[k - 1] = static_cast<uint8_t>(n - (k - 1));
    }
}

uint32_t PresenceFlags(const uint16_t* counts) {
    return (counts[kWin] ? 1u : 0u) |
           (counts[k2xStraightFour] | counts[kStraightFourFour] | counts[kStraightFour] ? 2u : 0u) |
           (counts[kFourThree] ? 4u : 0u) |
           (counts[kFourDevelopFour] | counts[kFourDevelopThree] | counts[kFour] ? 8u : 0u) |
           (counts[k2xThree] ? 16u : 0u) | (counts[kThreeDevelop] | counts[kThree] ? 32u : 0u);
}

void CellCodes::Attach(const CodeValues* table, const uint8_t* cells,
                       const uint32_t (*words)[2]) {
    values = table;
    if (values) Rebuild(cells, words);
}

void CellCodes::Rebuild(const uint8_t* cells, const uint32_t (*words)[2]) {
    sum[0][0] = sum[0][1] = sum[1][0] = sum[1][1] = 0;
    for (uint32_t z = 0; z < Coord::area; ++z) {
        word[z] = kStone;
        if (cells[z]) continue;
        uint64_t w;
        memcpy(&w, words[z], sizeof w);
        Recode(z, w);
        Add(z, 1);
    }
}

void CellCodes::CopyFrom(const CellCodes& other) {
    values = other.values;
    if (!values) return;
    memcpy(sum, other.sum, sizeof sum);
    memcpy(code, other.code, sizeof(code[0]) * Coord::area);
    memcpy(word, other.word, sizeof(word[0]) * Coord::area);
}

inline void CellCodes::Recode(uint32_t z, uint64_t w) {
    word[z] = w;
    code[z][0] = static_cast<uint16_t>(CodeOf(static_cast<uint32_t>(w)));
    code[z][1] = static_cast<uint16_t>(CodeOf(static_cast<uint32_t>(w >> 32)));
}

inline void CellCodes::Add(uint32_t z, int sign) {
    for (int p = 0; p < 2; ++p) {
        const int32_t* v = values->value[code[z][p]];
        sum[p][0] += sign * v[0];
        sum[p][1] += sign * v[1];
    }
}

// Player p + 1's code of cell z for its new category word.
inline void CellCodes::Move(uint32_t z, int p, uint32_t categoryWord) {
    const uint32_t to = CodeOf(categoryWord), from = code[z][p];
    if (to == from) return;
    code[z][p] = static_cast<uint16_t>(to);
    const int32_t* a = values->value[from];
    const int32_t* b = values->value[to];
    sum[p][0] += b[0] - a[0];
    sum[p][1] += b[1] - a[1];
}

void CellCodes::Update(const uint8_t* cells, const uint32_t (*words)[2], CellIndex cell,
                       bool placed) {
    uint64_t w;
    if (placed) {
        Add(cell, -1);
        word[cell] = kStone;
    } else {
        memcpy(&w, words[cell], sizeof w);
        Recode(cell, w);
        Add(cell, 1);
    }
    // The cells whose line words see the stone, then those six steps away
    // whose six-cell correction it may have changed.
    auto visit = [&](uint32_t z) {
        if (cells[z]) return;
        memcpy(&w, words[z], sizeof w);
        const uint64_t before = word[z];
        if (w == before) return;
        word[z] = w;
        if (static_cast<uint32_t>(w ^ before)) Move(z, 0, static_cast<uint32_t>(w));
        if ((w ^ before) >> 32) Move(z, 1, static_cast<uint32_t>(w >> 32));
    };
    for (const UpdateEntry* e = Coord::UpdateRow(cell); e->key != 0xFFFF; ++e) visit(e->key >> 2);
    for (int d = 0; d < 4; ++d)
        for (int side = 0; side < 2; ++side) {
            const CellIndex six = Coord::sixAway[cell * 4 + d][side];
            if (six != kOffBoard) visit(six);
        }
}

bool CellCodes::Consistent(const uint8_t* cells, const uint32_t (*words)[2]) const {
    if (!values) return true;
    int32_t expected[2][2] = {{0, 0}, {0, 0}};
    for (uint32_t z = 0; z < Coord::area; ++z) {
        if (cells[z]) {
            if (word[z] != kStone) return false;
            continue;
        }
        uint64_t w;
        memcpy(&w, words[z], sizeof w);
        if (w != word[z]) return false;
        for (int p = 0; p < 2; ++p) {
            const uint32_t c = CodeOf(words[z][p]);
            if (c != code[z][p]) return false;
            expected[p][0] += values->value[c][0];
            expected[p][1] += values->value[c][1];
        }
    }
    return memcmp(expected, sum, sizeof sum) == 0;
}
