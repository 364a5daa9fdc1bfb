#pragma once

#include <cstdint>
#include <string>

#include "board/boardai.h"
#include "search/score.h"

class SearchWorker;

// A cell as the protocol writes it: "x,y".
std::string CellText(CellIndex cell);

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

// Live analysis ("MESSAGE REALTIME ..." through SearchWorker::Live); callers
// check showDetail first. A root move being searched (POS), searched (DONE),
// proven lost (LOST), or the new best (BEST); the best's value (VAL). The root
// moves' lines follow the worker's detail level (see showDetail).
void LiveCell(SearchWorker& worker, const char* what, CellIndex cell);
void LiveValue(SearchWorker& worker, int32_t value);
// After a finished iteration: the principal line from the iteration's best move
// through the table ("REALTIME PV ..."), then one summary line of depth,
// selective depth, score (a decided one as +M<plies> or -M<plies>), nodes, nodes
// per second, milliseconds and the line. The board is the searched position.
void WriteIterationLines(SearchWorker& worker, const BoardAI& board, int32_t depth,
                         int64_t selective, const SearchResult& result, uint32_t nodes,
                         int32_t elapsedMs);

constexpr int kVictoryPictureLines = 11;
extern const char* const kVictoryPicture[kVictoryPictureLines];
// One "MESSAGE " line per picture line.
void WriteVictoryPicture(SearchWorker& worker);
