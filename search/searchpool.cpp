#include "search/searchpool.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "search/pvsearch.h"

SearchPool::SearchPool(std::stringstream& diagnostics) : main(shared, diagnostics) {
    main.pool = this;
}

SearchPool::~SearchPool() {
    StopHelpers();
    EndThreads();
}

int32_t SearchPool::HardwareThreads() {
    return std::max(1, static_cast<int32_t>(std::thread::hardware_concurrency()));
}

int64_t SearchPool::HelperBytes() {
    // The worker with its board, the board a search copies, and a stack: a
    // node's frame is about 2 KiB and lines run to 128 plies, the forcing
    // probes below them a little further.
    constexpr int64_t kStackBytes = int64_t{1} << 20;
    return static_cast<int64_t>(sizeof(SearchWorker) + 2 * sizeof(BoardAI)) + kStackBytes;
}

void SearchPool::SetThreads(int32_t count) {
    StopHelpers();
    EndThreads();
    const size_t helpers = static_cast<size_t>(std::max(count, 1) - 1);
    while (mHelpers.size() > helpers) mHelpers.pop_back();
    while (mHelpers.size() < helpers) {
        auto helper = std::make_unique<Helper>();
        helper->worker = std::make_unique<SearchWorker>(shared, helper->sink);
        helper->worker->pool = this;
        helper->worker->index = static_cast<int32_t>(mHelpers.size()) + 1;
        helper->worker->stopFlag = &mHelperStop;
        mHelpers.push_back(std::move(helper));
    }
    StartThreads();
}

void SearchPool::CreateTable(int32_t entries) {
    StopHelpers();
    shared.transpositionTable = std::make_unique<TranspositionTable>(entries);
}

void SearchPool::ReleaseTable() {
    StopHelpers();
    shared.transpositionTable.reset();
}

void SearchPool::ClearTable() {
    StopHelpers();
    if (shared.transpositionTable) shared.transpositionTable->ClearTable();
}

void SearchPool::AgeTable(int16_t age) {
    StopHelpers();
    if (shared.transpositionTable) shared.transpositionTable->SetAge(age);
}

void SearchPool::StartHelpers(const BoardAI& root, int32_t maxDepth) {
    StopHelpers();
    if (mHelpers.empty()) return;
    // Set up while every helper waits: its position and the main worker's
    // restriction and blocked cells.
    mHelperStop.store(false);
    for (std::atomic<int32_t>& n : mOnDepth) n.store(0, std::memory_order_relaxed);
    mDeepest = Iteration{};
    for (const std::unique_ptr<Helper>& h : mHelpers) {
        SearchWorker& w = *h->worker;
        *w.board = root;  // an assignment keeps the helper's own counter
        w.restrictedCount = main.restrictedCount;
        std::copy(main.restrictedMoves, main.restrictedMoves + main.restrictedCount,
                  w.restrictedMoves);
        std::copy(std::begin(main.blocked), std::end(main.blocked), w.blocked);
        w.blockedCount = main.blockedCount;
        w.showDetail = 0;
        w.completedDepth = 0;
        w.publishedNodes = w.nodeCounter;
        h->result = SearchResult{0, 1, 1, kNoCell};
        h->sink.str(std::string());
        h->sink.clear();
    }
    {
        const std::lock_guard<std::mutex> hold(mLock);
        mMaxDepth = maxDepth;
        mBusy = static_cast<int32_t>(mHelpers.size());
        ++mGeneration;
    }
    mRunning.store(true);
    mWake.notify_all();
}

void SearchPool::StopHelpers() {
    if (!mRunning.load()) return;
    mHelperStop.store(true);
    std::unique_lock<std::mutex> hold(mLock);
    mIdle.wait(hold, [this] { return mBusy == 0; });
    mRunning.store(false);
}

void SearchPool::HelperLoop(Helper& helper, uint64_t seen) {
    SearchWorker& worker = *helper.worker;
    for (;;) {
        int32_t maxDepth = 0;
        {
            std::unique_lock<std::mutex> hold(mLock);
            mWake.wait(hold, [&] { return mQuit || mGeneration != seen; });
            if (mQuit) return;
            seen = mGeneration;
            maxDepth = mMaxDepth;
        }
        try {
            BoardAI board = *worker.board;  // the search counts it in the helper's counter
            helper.result = PvDeepening(worker, board, nullptr, maxDepth, true);
        } catch (...) {
            // A helper that fails (out of memory) only stops helping.
            worker.completedDepth = 0;
        }
        worker.PublishAllNodes();
        const std::lock_guard<std::mutex> hold(mLock);
        if (--mBusy == 0) mIdle.notify_all();
    }
}

void SearchPool::StartThreads() {
    mQuit = false;
    for (const std::unique_ptr<Helper>& h : mHelpers) {
        Helper* helper = h.get();
        const uint64_t seen = mGeneration;
        mThreads.emplace_back([this, helper, seen] { HelperLoop(*helper, seen); });
    }
}

void SearchPool::EndThreads() {
    {
        const std::lock_guard<std::mutex> hold(mLock);
        mQuit = true;
    }
    mWake.notify_all();
    for (std::thread& t : mThreads) t.join();
    mThreads.clear();
}

SearchResult SearchPool::Choose(const SearchResult& mainResult) const {
    struct Vote {
        SearchResult result;
        int32_t depth;
    };
    std::vector<Vote> votes{{mainResult, std::max(main.completedDepth, 1)}};
    for (const std::unique_ptr<Helper>& h : mHelpers)
        if (h->worker->completedDepth > 0 && h->result.move < Coord::area &&
            !main.IsBlocked(h->result.move))
            votes.push_back({h->result, h->worker->completedDepth});
    // A proven win is played whoever proved it; a proven loss (every move
    // loses) gives no helper's move a say.
    for (const Vote& v : votes)
        if (v.result.proof == 0) return v.result;
    if (mainResult.disproof == 0 || mainResult.move >= Coord::area) return mainResult;
    int64_t lowest = 0;
    bool first = true;
    for (const Vote& v : votes)
        if (v.result.disproof != 0 && (first || v.result.value < lowest)) lowest = v.result.value, first = false;
    std::map<CellIndex, int64_t> total;
    for (const Vote& v : votes)
        if (v.result.disproof != 0)
            total[v.result.move] += (v.result.value - lowest + kVoteBase) * v.depth;
    const Vote* best = &votes.front();
    for (const Vote& v : votes)
        if (v.result.disproof != 0 && total[v.result.move] > total[best->result.move]) best = &v;
    return best->result;
}

bool SearchPool::EnterDepth(const SearchWorker& worker, int32_t depth) {
    if (depth < 0 || depth >= kDepths) return worker.index == 0;
    std::atomic<int32_t>& on = mOnDepth[depth];
    if (worker.index > 0 && (on.load(std::memory_order_relaxed) + 1) * 2 > Threads()) return false;
    on.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void SearchPool::LeaveDepth(int32_t depth) {
    if (depth >= 0 && depth < kDepths) mOnDepth[depth].fetch_sub(1, std::memory_order_relaxed);
}

void SearchPool::ReportIteration(int32_t depth, CellIndex move, int32_t score) {
    const std::lock_guard<std::mutex> hold(mDeepestLock);
    if (depth > mDeepest.depth) mDeepest = Iteration{depth, move, score};
}

bool SearchPool::DeeperIteration(int32_t depth, Iteration& deeper) const {
    const std::lock_guard<std::mutex> hold(mDeepestLock);
    if (mDeepest.depth <= depth) return false;
    deeper = mDeepest;
    return true;
}

SearchResult SearchPool::Deepen(BoardAI& board, const TimeControl* tc, int32_t maxDepth, bool quiet) {
    if (mHelpers.empty()) return PvDeepening(main, board, tc, maxDepth, quiet);
    StartHelpers(board, maxDepth);
    const SearchResult result = PvDeepening(main, board, tc, maxDepth, quiet);
    StopHelpers();
    return Choose(result);
}
