#include "search/timebudget.h"

#include <algorithm>

#include "platform/clock.h"

namespace {

constexpr int32_t kNormalDivisor = 45;
constexpr int32_t kLeastDivisor = 10;

}  // namespace

uint32_t NodesNow(const TimeControl& tc) {
    if (!tc.nodes) return 0;
    return *tc.nodes + (tc.helperNodes ? tc.helperNodes->load(std::memory_order_relaxed) : 0);
}

bool Halted(const TimeControl& tc) {
    return (tc.nodeLimit != 0 && tc.nodes && NodesNow(tc) - tc.nodeStart >= tc.nodeLimit) ||
           (tc.stop && tc.stop->load(std::memory_order_relaxed));
}

int32_t MoveBudgetAt(const TimeControl& tc, bool first, int32_t divisor, uint32_t now) {
    // 64 bits: matchTimeout minus a negative time left must not overflow.
    int64_t turnLeft = StampDiff(tc.turnDeadline, now);
    int64_t leftLeft = StampDiff(tc.timeLeftDeadline, now);
    if (first) {
        int64_t used = std::max<int64_t>(tc.matchTimeout - leftLeft, StampDiff(now, tc.matchStart));
        if (used > turnLeft) return 0;
        turnLeft -= used;
    }
    int64_t avail = std::max<int64_t>(std::min(turnLeft, leftLeft) - kTimeReserveMs, 0);
    int64_t share = leftLeft / divisor - kTimeReserveMs;
    return static_cast<int32_t>(std::max<int64_t>(0, std::min(avail, share)));
}

int32_t MoveBudget(const TimeControl& tc, bool first, int32_t divisor) {
    return MoveBudgetAt(tc, first, divisor, NowMs());
}

void RefreshMoveDeadlineAt(TimeControl& tc, int32_t score, uint32_t now) {
    int32_t divisor = kNormalDivisor;
    if (score < 0) divisor = std::max(kNormalDivisor + score / 10, kLeastDivisor);
    tc.moveDeadline = now + static_cast<uint32_t>(MoveBudgetAt(tc, false, divisor, now));
}

void RefreshMoveDeadline(TimeControl& tc, int32_t score) {
    RefreshMoveDeadlineAt(tc, score, NowMs());
}

bool TimeUpAt(const TimeControl& tc, uint32_t now) {
    if (Halted(tc)) return true;
    if (tc.matchTimeout != 0) {
        if (StampDiff(now, tc.moveDeadline) > 0) return true;
        return StampDiff(now, tc.turnDeadline) > 0;
    }
    // Without a match limit the move budget (which reads the match time left) does
    // not apply, but the turn still binds, with the reserve the budget would keep:
    // the reply must reach the manager before the turn time is up.
    return TurnOverAt(tc, now);
}

bool TurnOverAt(const TimeControl& tc, uint32_t now) {
    if (Halted(tc)) return true;
    return StampDiff(now, tc.turnDeadline - static_cast<uint32_t>(kTimeReserveMs)) > 0;
}

bool TurnOver(const TimeControl& tc) {
    return TurnOverAt(tc, NowMs());
}

bool TimeUp(const TimeControl& tc) {
    return TimeUpAt(tc, NowMs());
}

int32_t TimeRemainingAt(const TimeControl& tc, uint32_t now) {
    if (Halted(tc)) return -1;
    int32_t turnLeft = StampDiff(tc.turnDeadline, now);
    // Counted to the same line TimeUp stops at, so an iteration that time cut short
    // is never taken for a finished one.
    if (tc.matchTimeout == 0) return turnLeft - kTimeReserveMs;
    return std::min(turnLeft, StampDiff(tc.moveDeadline, now));
}

int32_t TimeRemaining(const TimeControl& tc) {
    return TimeRemainingAt(tc, NowMs());
}

int32_t ReplyReserveMs(uint32_t turnTimeout) {
    return static_cast<int32_t>(std::min<uint32_t>(15 + turnTimeout / 12, kTimeReserveMs));
}

MoveTimePlan PlanMoveTime(const TimeControl& tc, uint32_t now, const SearchParameters& params) {
    const int64_t reserve = ReplyReserveMs(tc.turnTimeout);
    int64_t limit = std::max<int64_t>(StampDiff(tc.turnDeadline, now) - reserve, 0);
    int64_t target = limit * params.timeTarget / 100;
    if (tc.matchTimeout != 0) {
        const int64_t left = std::max<int64_t>(StampDiff(tc.timeLeftDeadline, now) - reserve, 0);
        limit = std::min(limit, left / params.timeLimitDivisor);
        // The moves a game still takes, as far as the clock is concerned.
        target = std::min({target, left / params.timeMovesToGo, limit});
    }
    return {static_cast<int32_t>(target), static_cast<int32_t>(limit)};
}
