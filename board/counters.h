#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "board/threatcategory.h"

class ListBoard;

// Category weights of the evaluation, for the side to move and the opponent.
extern const int32_t ownWeight[kCategoryCount];
extern const int32_t oppWeight[kCategoryCount];
// Weights of threat-list entries by potential category.
extern const int32_t inflWeightOwn[kCategoryCount];
extern const int32_t inflWeightOpp[kCategoryCount];

// Counters are named "combCounter" K (empty cells of category K) and
// "inflCounter" K (threat-list entries of potential category K); side 1 is the
// side to move, 0 the opponent.

// -1 when name does not start with prefix, else the number after it (0 if none).
int CounterIndex(const std::string& name, const std::string& prefix);
double CounterWeight(const std::string& name, int side);
// Threat-list entries of one side per potential category.
std::array<uint32_t, kCategoryCount> InfluenceHistogram(ListBoard& board, int side);
const char* CategoryName(uint32_t index);
