#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "board/boardai.h"
#include "search/score.h"
#include "search/searchshared.h"
#include "search/searchworker.h"
#include "search/timecontrol.h"

// The engine's searchers: what they share (table, settings, stop flag), the
// main worker (worker 0, which keeps the clock, writes every line and
// answers), and the helpers of a lazy SMP search. A helper searches the same
// root as the main worker on a thread of its own, with its own board, history,
// killers and counters; they exchange the shared table's entries and the
// deepest iteration a helper finished, from which the main worker goes on.
//
// Only the pool creates, clears and resizes the table, and starts, stops and
// joins the helpers; none of it happens while a worker searches. The helpers'
// state and threads are made when the thread count is set, not per search:
// between searches each helper's thread waits for the next one.
class SearchPool {
  public:
    explicit SearchPool(std::stringstream& diagnostics);
    ~SearchPool();
    SearchPool(const SearchPool&) = delete;
    SearchPool& operator=(const SearchPool&) = delete;

    SearchShared shared;
    SearchWorker main;

    // Workers in all, the main one included.
    int32_t Threads() const { return 1 + static_cast<int32_t>(mHelpers.size()); }
    // 1 to HardwareThreads(); the caller clamps.
    void SetThreads(int32_t count);
    static int32_t HardwareThreads();
    // What a helper may add to the process beyond its share of the table: its
    // worker and board, and the stack a search grows to.
    static int64_t HelperBytes();

    // The table, for `entries` slots; dropped; emptied; its generation set
    // (the move count of the position searched next).
    void CreateTable(int32_t entries);
    void ReleaseTable();
    void ClearTable();
    void AgeTable(int16_t age);

    // Lazy SMP around one search of the main worker: the helpers start on
    // copies of root, with the main worker's root restriction and blocked
    // cells, and deepen without a clock up to maxDepth + 1...
    void StartHelpers(const BoardAI& root, int32_t maxDepth);
    // ...until this raises their flag and joins them (their stones all
    // published then).
    void StopHelpers();
    bool HelpersRunning() const { return mRunning.load(std::memory_order_relaxed); }
    // The move to play after StopHelpers: the main worker's result unless a
    // helper proved a win, or a helper's move gathers more votes, each
    // worker's vote being its completed depth times its score above the
    // lowest (plus a base), summed per move.
    SearchResult Choose(const SearchResult& mainResult) const;

    // Depth staggering: whether the worker may search this iteration depth,
    // counted until LeaveDepth. The main worker always may; a helper skips a
    // depth that more than half of the workers would then be on.
    bool EnterDepth(const SearchWorker& worker, int32_t depth);
    void LeaveDepth(int32_t depth);

    // The deepest iteration a helper finished in this search: helpers report
    // theirs, and the main worker asks for one deeper than its own.
    struct Iteration {
        int32_t depth = 0;
        CellIndex move = kNoCell;
        int32_t score = 0;
    };
    void ReportIteration(int32_t depth, CellIndex move, int32_t score);
    bool DeeperIteration(int32_t depth, Iteration& deeper) const;

    // The default search of board by the main worker, with the helpers when
    // there are any: PvDeepening's contract, on every worker of the pool.
    SearchResult Deepen(BoardAI& board, const TimeControl* tc, int32_t maxDepth, bool quiet = false);

  private:
    struct Helper {
        std::stringstream sink;  // a helper's lines go nowhere
        std::unique_ptr<SearchWorker> worker;
        SearchResult result{};
    };
    static constexpr int32_t kDepths = 256;
    static constexpr int32_t kVoteBase = 14;

    // A helper's thread: waits for a search (a new generation), searches until
    // its stop flag is raised, reports itself idle, until the pool ends it.
    void HelperLoop(Helper& helper, uint64_t seen);
    void StartThreads();
    void EndThreads();

    std::vector<std::unique_ptr<Helper>> mHelpers;
    std::vector<std::thread> mThreads;
    // Guarded by mLock: the search generation the helpers wait for, its depth
    // bound, how many helpers still search it, and the end of the threads.
    std::mutex mLock;
    std::condition_variable mWake;  // helpers: a new search, or the end
    std::condition_variable mIdle;  // the pool: every helper done
    uint64_t mGeneration = 0;
    int32_t mMaxDepth = 0;
    int32_t mBusy = 0;
    bool mQuit = false;
    std::atomic<bool> mHelperStop{false};
    std::atomic<bool> mRunning{false};
    std::atomic<int32_t> mOnDepth[kDepths] = {};
    mutable std::mutex mDeepestLock;
    Iteration mDeepest;
};
