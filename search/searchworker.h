#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "board/boardai.h"
#include "board/zobrist.h"
#include "search/history.h"
#include "search/movegen.h"
#include "search/searchshared.h"

class SearchPool;

// Everything one search owns besides what it shares: the position it starts
// from (a board of its own), its counters, its random generator, the root
// restriction, and the diagnostics stream its lines go to. Workers on several
// threads share nothing but their SearchShared, the table in it included.
class SearchWorker {
  public:
    SearchWorker(SearchShared& shared, std::stringstream& diagnostics);
    ~SearchWorker();
    SearchWorker(const SearchWorker&) = delete;
    SearchWorker& operator=(const SearchWorker&) = delete;

    SearchShared& shared;

    // The position searches start from; table entries age by its move count.
    // Its stones, and those of every board copied from it, count in nodeCounter.
    std::unique_ptr<BoardAI> board;
    // Replaces board with a copy of position, counting in nodeCounter.
    void SetPosition(const BoardAI& position);

    // Stones placed by move making on this worker's boards; node, speed and
    // statistics figures are differences of it.
    uint32_t nodeCounter = 0;
    uint32_t vcfLevels = 0;            // levels since the current top forcing probe began
    uint32_t maxMoveCount = 0;         // deepest board move count any search node reached
    RandomGenerator random;            // random moves
    SearchHistory history;             // the PV search's move-order experience

    // Creates the shared table and the engine's proof-number pool, sized by
    // the owner's memory limit; set by the owner. The searches call it when
    // they find none.
    std::function<void()> allocateStructures;

    // The root moves the normal search is restricted to, as the threat solver
    // left them for this move; none = every move.
    CellIndex restrictedMoves[kMaxArea];
    uint32_t restrictedCount = 0;

    // Cells the user blocked (a GUI's "yxblock"): no search answers with one.
    uint8_t blocked[kMaxArea] = {};
    uint32_t blockedCount = 0;
    bool IsBlocked(CellIndex cell) const { return blockedCount > 0 && cell < kMaxArea && blocked[cell]; }

    // The deepest iteration the last deepening finished (0: none).
    int32_t completedDepth = 0;

    // The flag that ends this worker's searches: the shared one for the main
    // worker, the pool's own for a helper, which the pool raises when the main
    // search ends (and so also when the shared one is raised).
    const std::atomic<bool>* stopFlag;
    bool StopRequested() const { return stopFlag->load(std::memory_order_relaxed); }

    // The pool this worker searches in (none: it searches alone), and its
    // place there: 0 the main worker, which answers; above, a helper.
    SearchPool* pool = nullptr;
    int32_t index = 0;
    // A helper's stones reach the shared count in batches, so that the main
    // worker's node limit counts them without a shared write per stone.
    uint32_t publishedNodes = 0;
    void PublishNodes() {
        const uint32_t fresh = nodeCounter - publishedNodes;
        if (fresh < 256) return;
        shared.helperNodes.fetch_add(fresh, std::memory_order_relaxed);
        publishedNodes = nodeCounter;
    }
    void PublishAllNodes() {
        shared.helperNodes.fetch_add(nodeCounter - publishedNodes, std::memory_order_relaxed);
        publishedNodes = nodeCounter;
    }
    // Stones of every worker: this worker's and those the helpers published.
    uint32_t AllNodes() const {
        return nodeCounter + shared.helperNodes.load(std::memory_order_relaxed);
    }

    // Live analysis: the driver and the root of the search report what they do
    // as it happens, through Live. Level 0 none; 1 the GUI's marks, the root
    // moves' lines only from kLiveMovesAfterMs into the request; 2 every root
    // move's lines; 3 also a node-count line after each root move.
    int showDetail = 0;
    static constexpr int32_t kLiveMovesAfterMs = 300;
    uint32_t liveStartMs = 0;     // when the request began
    uint32_t liveStartNodes = 0;  // nodeCounter then
    // Takes each live line ("MESSAGE ..." and its line feed) at once; none: the
    // line joins the diagnostics.
    std::function<void(const std::string&)> liveOutput;

    // Diagnostic lines, "DEBUG " or "MESSAGE " and the text.
    void Debug(const std::string& text);
    void Message(const std::string& text);
    // A live "MESSAGE " line; callers check showDetail first.
    void Live(const std::string& text);
    std::stringstream& diagnostics;  // the owner's buffer
};
