#include "tests/counterqueries.h"

#include <cstdlib>
#include <stdexcept>

#include "board/boardai.h"
#include "board/listboard.h"
#include "board/threatlist.h"
#include "search/evaluate.h"

const int32_t inflWeightOwn[kCategoryCount] = {0,  0,  10, 13, 17, 21, 24, 30, 33,
                                               39, 41, 0,  0,  0,  0,  0,  0,  0};
const int32_t inflWeightOpp[kCategoryCount] = {0,   0,   -5, -8, -12, -15, -18, -20, -25,
                                               -28, -33, 0,  0,  0,   0,   0,   0,   0};

int CounterIndex(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) return -1;
    return atoi(name.c_str() + prefix.size());
}

namespace {

inline int SidePlayer(const ListBoard& board, int side) {
    return static_cast<int>(side ? board.mToMove : board.mOpponent);
}

}  // namespace

std::vector<CellIndex> CategoryCounterCells(const ListBoard& board, const std::string& name,
                                            int side) {
    std::vector<CellIndex> cells;
    int k = CounterIndex(name, "combCounter");
    // Categories beyond the table have no list.
    if (k < 0 || k >= kCategoryCount) return cells;
    const uint16_t* next = board.Next(SidePlayer(board, side));
    for (uint16_t z = next[kNoCell + k]; z < kNoCell; z = next[z]) cells.push_back(z);
    return cells;
}

std::vector<CellIndex> CounterCells(BoardAI& board, const std::string& name, int side) {
    int k = CounterIndex(name, "inflCounter");
    if (k < 0) return CategoryCounterCells(board, name, side);
    std::vector<CellIndex> cells;
    for (const uint16_t* e = board.ThreatList(SidePlayer(board, side)); ThreatCell(*e) != kNoCell;
         ++e)
        if (ThreatPotential(*e) == static_cast<uint32_t>(k)) cells.push_back(ThreatCell(*e));
    return cells;
}

double CounterWeight(const std::string& name, int side) {
    int k = CounterIndex(name, "inflCounter");
    if (k >= 0) {
        if (k >= kCategoryCount) throw std::runtime_error("inclCount >= inflCounterMax");
        return side ? inflWeightOwn[k] : inflWeightOpp[k];
    }
    k = CounterIndex(name, "combCounter");
    if (k >= 0 && k < kCategoryCount) return side ? ownWeight[k] : 3.0 * oppWeight[k];
    return 0.0;
}

std::array<uint32_t, kCategoryCount> InfluenceHistogram(ListBoard& board, int side) {
    std::array<uint32_t, kCategoryCount> counts{};
    for (const uint16_t* e = board.ThreatList(SidePlayer(board, side)); ThreatCell(*e) != kNoCell;
         ++e)
        ++counts[ThreatPotential(*e)];
    return counts;
}
