#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "board/boardai.h"
#include "search/transpositiontable.h"

class PnNode;
class PnNodePool;

// Everything the searches use besides the board they search on: the position the
// game stands at, the transposition table, the search settings, the proof-number
// node pool with its trees, and the diagnostics stream their lines go to. The
// engine owns the one context and hands it down, so the searches need nothing of
// the protocol.
class SearchContext {
  public:
    explicit SearchContext(std::stringstream& diagnostics);

    int32_t maxDepth;                   // deepest iteration of the deepening
    int32_t randomMoveProbability = 0;  // percent
    // Raised by another thread (a GUI's stop): the running search ends as if its
    // time were up. The time control points the stop test at it.
    std::atomic<bool> stop{false};
    // Live analysis: the driver and the root of the alpha-beta search report
    // what they do as it happens, through Live.
    bool showDetail = false;
    // Takes each live line ("MESSAGE ..." and its line feed) at once; none: the
    // line joins the diagnostics.
    std::function<void(const std::string&)> liveOutput;
    std::unique_ptr<BoardAI> board;     // the game's position; table entries age by its move count
    std::unique_ptr<TranspositionTable> transpositionTable;
    uint32_t maxMoveCount = 0;  // deepest board move count any search node reached

    // Proof-number search: its node pool and three tree roots (slot 0 is never
    // filled by the entry operations), released on every board change.
    // Owned; the deleter is supplied by whoever creates the pool, so this header
    // needs no definition of the pool: pnPool = PnNodePoolPtr(pool, &deleter).
    using PnNodePoolPtr = std::unique_ptr<PnNodePool, void (*)(PnNodePool*)>;
    PnNodePoolPtr pnPool{nullptr, nullptr};
    PnNode* pnRoots[3] = {nullptr, nullptr, nullptr};
    PnNode* pnCurrentRoot = nullptr;
    int32_t pnAttackerMode = 0;
    int32_t pnDefenderMode = 0;
    uint32_t pnRootMoveCount = 0;
    uint8_t pnRootSide = 1;
    // Solved subtrees give their nodes back, all but the proofs (the analysis
    // words and the root solver; the entry operations alone keep every node).
    bool pnPruneSolved = false;
    float pnLastSpeed = 0.0f;                    // stones per millisecond
    uint32_t depthHistogram[kMaxArea + 2] = {};  // nodes per depth below the root

    // The root moves the normal search is restricted to, as the threat solver
    // left them for this move; none = every move.
    CellIndex restrictedMoves[kMaxArea];
    uint32_t restrictedCount = 0;

    // Creates the table and the node pool, sized by the owner's memory limit.
    virtual void AllocSearch() = 0;

    // Diagnostic lines, "DEBUG " or "MESSAGE " and the text.
    void Debug(const std::string& text);
    void Message(const std::string& text);
    // A live "MESSAGE " line; callers check showDetail first.
    void Live(const std::string& text);
    std::stringstream& diagnostics;  // the owner's buffer

  protected:
    // Owned and destroyed as the owner's type only.
    ~SearchContext() = default;
};
