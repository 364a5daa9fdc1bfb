#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/boardai.h"
#include "board/threatcategory.h"

// The string-keyed counter queries that tests read a board through. Counters are
// named "combCounter" K (empty cells of category K) and "inflCounter" K
// (threat-list entries of potential category K); side 1 is the side to move, 0
// the opponent.

// Weights of threat-list entries by potential category.
extern const int32_t inflWeightOwn[kCategoryCount];
extern const int32_t inflWeightOpp[kCategoryCount];

// -1 when name does not start with prefix, else the number after it (0 if none).
int CounterIndex(const std::string& name, const std::string& prefix);
// The cells of a "combCounter" list; nothing for any other name.
std::vector<CellIndex> CategoryCounterCells(const ListBoard& board, const std::string& name,
                                            int side);
// The cells of an "inflCounter" entry, or else of a "combCounter" list.
std::vector<CellIndex> CounterCells(BoardAI& board, const std::string& name, int side);
double CounterWeight(const std::string& name, int side);
// Threat-list entries of one side per potential category.
std::array<uint32_t, kCategoryCount> InfluenceHistogram(ListBoard& board, int side);
