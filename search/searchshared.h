#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "board/rules.h"
#include "search/searchparameters.h"
#include "search/transpositiontable.h"

// What every search of the engine shares, whichever worker runs it: the
// transposition table, the settings (the PV search's parameters among them),
// the game's rules, and the stop flag. A worker reads the flag wherever it
// reads the clock, so setting it ends every search as the move's time running
// out would. Only the pool that owns it creates, clears or resizes the table,
// and only while no worker searches.
struct SearchShared {
    SearchShared();

    std::unique_ptr<TranspositionTable> transpositionTable;
    int32_t maxDepth;                   // deepest iteration of the deepening
    int32_t randomMoveProbability = 0;  // percent
    bool classic = false;               // the plain alpha-beta search instead of the PV search
    bool learnedEval = true;            // the PV search scores with the learned tables
    SearchParameters parameters;        // the PV search's; each search copies them at its start
    Rules rules;                        // every board of the game is built for them
    std::atomic<bool> stop{false};
    // Stones the helper workers placed, as they publish them (see SearchWorker).
    std::atomic<uint32_t> helperNodes{0};
};
