#include "search/movelist.h"

#include <algorithm>
#include <cassert>

#include "search/searchpool.h"
#include "search/searchworker.h"
#include "search/stablesort.h"

void SetBestMove(MoveList& list, CellIndex cell) {
    assert(cell <= kNoCell);
    list.best = cell;
}

void SetBestMoveAndScore(MoveList& list, CellIndex cell, int32_t score) {
    list.score = score;
    list.best = cell;
    list.bestKnown = true;
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.entries[i].move == cell) {
            list.entries[i].score = score;
            break;
        }
    }
}

bool AddMove(MoveList& list, CellIndex cell, uint8_t kind, uint16_t genFlags) {
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.entries[i].move == cell) return false;
    if (list.count >= kMoveListCapacity) return false;
    list.entries[list.count++] = MoveEntry{cell, 0, kind, genFlags, 0};
    return true;
}

int32_t ScoreOf(const MoveList& list, CellIndex cell) {
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.entries[i].move == cell) return list.entries[i].score;
    return 0;
}

void PickBestByNodes(MoveList& list) {
    int32_t most = -1;
    int64_t chosen = -1;
    for (uint32_t i = 0; i < list.count; ++i) {
        int32_t nodes = static_cast<int32_t>(list.entries[i].nodes);
        if (nodes > most) {
            most = nodes;
            chosen = i;
        }
    }
    if (chosen >= 0) SetBestMove(list, list.entries[chosen].move);
}

void SortMoveList(MoveList& list) {
    if (list.bestKnown) {
        for (uint32_t i = 1; i < list.count; ++i) {
            if (list.entries[i].move == list.best) {
                std::swap(list.entries[0], list.entries[i]);
                break;
            }
        }
        return;
    }
    MoveEntry scratch[kMoveListCapacity];
    StableSort(list.entries, static_cast<int>(list.count), scratch,
               [](const MoveEntry& a, const MoveEntry& b) { return a.score > b.score; });
}

void SetTableAge(SearchWorker& worker) {
    const auto age = static_cast<int16_t>(worker.board->mMoveCount);
    if (worker.pool && worker.index == 0)
        worker.pool->AgeTable(age);
    else
        worker.shared.transpositionTable->SetAge(age);
}

void RecordNodeResult(SearchWorker& worker, uint64_t key, int32_t depth, int32_t score,
                      uint8_t bound, CellIndex move) {
    worker.shared.transpositionTable->RecordHash(key, depth, score, bound, move);
}
