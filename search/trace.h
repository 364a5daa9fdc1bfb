#pragma once

#include <cstdint>
#include <string>

class SearchWorker;

// Texts of the search's diagnostic lines, without the "DEBUG " that Debug adds.
// "AB: <nodes>, speed:<nodes per second>/s"; elapsedMs must be positive.
std::string SearchStatisticsText(uint32_t nodes, int32_t elapsedMs);
// "dep=<min(selective, depth)>-<selective>", then " val=<value>" unless decisive.
std::string DepthText(int32_t depth, int64_t selective, int32_t value);

// The statistics line from two readings each of nodeCounter and the millisecond
// clock; both differences are taken modulo 2^32. Written only when more than
// 50 ms passed.
void WriteSearchStatistics(SearchWorker& worker, uint32_t nodesBefore, uint32_t nodesAfter,
                           uint32_t msBefore, uint32_t msAfter);
// The depth line; written only when the search went at least one move deep.
void WriteDepthLine(SearchWorker& worker, int32_t depth, int64_t selective, int32_t value);

constexpr int kVictoryPictureLines = 11;
extern const char* const kVictoryPicture[kVictoryPictureLines];
// One "MESSAGE " line per picture line.
void WriteVictoryPicture(SearchWorker& worker);
