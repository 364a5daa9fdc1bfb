#include "search/timebudget.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"
#include "search/score.h"
#include "search/searchparameters.h"

namespace {

// A record as the handler leaves it at a move request at stamp `now`: the turn
// and the match time both start now.
TimeControl MakeTc(uint32_t now, uint32_t turnMs, int32_t leftMs) {
    TimeControl tc;
    tc.turnTimeout = turnMs;
    tc.matchTimeout = leftMs;
    tc.matchStart = now;
    tc.timeLeftDeadline = now + static_cast<uint32_t>(leftMs);
    tc.turnDeadline = now + turnMs;
    tc.moveDeadline = tc.turnDeadline;
    return tc;
}

constexpr uint32_t kNow = 5000000;
constexpr uint32_t kNearWrap = 4294967295u - 200;  // deadlines lie past the wrap

TEST(MoveBudget, HandlerDefaultsGive920) {
    TimeControl tc;
    ASSERT_EQ(tc.turnDeadline - tc.turnClock, 1000u);
    ASSERT_EQ(tc.timeLeftDeadline - tc.turnClock, 300000u);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, tc.turnClock), 920);

    TimeControl fresh = MakeTc(kNow, 1000, 300000);
    EXPECT_EQ(MoveBudgetAt(fresh, true, 45, kNow), 920);
    EXPECT_EQ(MoveBudgetAt(fresh, false, 45, kNow), 920);
}

TEST(MoveBudget, SmallestOfTurnTimeTimeLeftAndShare) {
    // Share bound: 90044 / 45 truncates to 2000.
    EXPECT_EQ(MoveBudgetAt(MakeTc(kNow, 100000, 90044), false, 45, kNow), 1920);
    // Time-left bound.
    EXPECT_EQ(MoveBudgetAt(MakeTc(kNow, 100000, 500), false, 1, kNow), 420);
    // Turn bound, counted from the current stamp.
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNow + 300), 620);
    EXPECT_EQ(MoveBudgetAt(tc, false, 10, kNow), 920);
}

TEST(MoveBudget, NeverNegative) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNow + 950), 0);   // inside the reserve
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNow + 5000), 0);  // turn deadline passed
    TimeControl late = MakeTc(kNow, 1000, 3000);
    EXPECT_EQ(MoveBudgetAt(late, false, 45, kNow), 0);         // share 66 - 80
    EXPECT_EQ(MoveBudgetAt(late, false, 45, kNow + 4000), 0);  // match time gone
}

TEST(MoveBudget, FirstRequestDeductsMatchTimeUsed) {
    // Time since the match started, when the manager has not charged it yet.
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.turnDeadline = kNow + 300 + 1000;
    tc.timeLeftDeadline = kNow + 300 + 300000;
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNow + 300), 620);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNow + 300), 920);

    // Match time minus the time left, when that is the larger.
    TimeControl played = MakeTc(kNow, 1000, 300000);
    played.timeLeftDeadline = kNow + 299600;
    EXPECT_EQ(MoveBudgetAt(played, true, 45, kNow), 520);
    EXPECT_EQ(MoveBudgetAt(played, false, 45, kNow), 920);
}

TEST(MoveBudget, FirstRequestThatUsedTheTurnGetsNothing) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.timeLeftDeadline = kNow + 300000 - 1200;
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNow), 0);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNow), 920);

    tc.timeLeftDeadline = kNow + 300000 - 1000;  // used exactly the turn time
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNow), 0);
    tc.timeLeftDeadline = kNow + 300000 - 900;
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNow), 20);
}

TEST(MoveBudget, StampsAcrossTheWrap) {
    TimeControl tc = MakeTc(kNearWrap, 1000, 300000);
    ASSERT_LT(tc.turnDeadline, kNearWrap);
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNearWrap), 920);
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNearWrap + 400), 520);  // now wrapped too
    EXPECT_EQ(MoveBudgetAt(tc, true, 45, kNearWrap + 400), 120);   // 400 ms used
    EXPECT_EQ(MoveBudgetAt(tc, false, 45, kNearWrap + 2000), 0);
}

TEST(MoveBudget, ClockReadingVariantUsesCurrentTime) {
    uint32_t start = NowMs();
    TimeControl tc = MakeTc(start, 100000, 900000);
    int32_t early = MoveBudgetAt(tc, false, 45, NowMs());
    int32_t budget = MoveBudget(tc, false, 45);
    int32_t late = MoveBudgetAt(tc, false, 45, NowMs());
    EXPECT_LE(budget, early);
    EXPECT_GE(budget, late);
    EXPECT_GT(budget, 0);
}

// Turn time large enough that only the share of the time left decides the budget;
// the match has run long enough that a wrongly "first" budget would come out 920.
TimeControl RefreshTc(uint32_t now) {
    TimeControl tc = MakeTc(now - 49000, 50000 + 49000, 300000);
    tc.timeLeftDeadline = now + 100000;
    tc.matchTimeout = 100000;
    tc.moveDeadline = now + 1;
    return tc;
}

TEST(RefreshMoveDeadline, WorseScoresGetLargerShares) {
    struct Case {
        int32_t score;
        int32_t budget;  // 100000 / divisor - 80
    };
    const Case cases[] = {
        {0, 2142},    {750, 2142},  {ScoreWin, 2142}, {-9, 2142},         // divisor 45
        {-99, 2697},                                                      // 36
        {-100, 2777},                                                     // 35
        {-340, 9010},                                                     // 11
        {-350, 9920}, {-351, 9920}, {-100000, 9920},  {ScoreLoss, 9920},  // 10
    };
    for (const Case& c : cases) {
        TimeControl tc = RefreshTc(kNow);
        RefreshMoveDeadlineAt(tc, c.score, kNow);
        EXPECT_EQ(StampDiff(tc.moveDeadline, kNow), c.budget) << "score " << c.score;
    }
}

TEST(RefreshMoveDeadline, DeadlineAcrossTheWrap) {
    TimeControl tc = RefreshTc(kNearWrap);
    RefreshMoveDeadlineAt(tc, -100, kNearWrap);
    EXPECT_EQ(tc.moveDeadline, kNearWrap + 2777u);
    EXPECT_LT(tc.moveDeadline, kNearWrap);
}

TEST(RefreshMoveDeadline, ClockReadingVariantStartsFromNow) {
    uint32_t before = NowMs();
    TimeControl tc = RefreshTc(before);
    TimeControl early = tc;
    RefreshMoveDeadlineAt(early, 0, NowMs());
    RefreshMoveDeadline(tc, 0);
    TimeControl late = tc;
    RefreshMoveDeadlineAt(late, 0, NowMs());
    // Here a later start only moves the deadline later.
    EXPECT_GE(StampDiff(tc.moveDeadline, early.moveDeadline), 0);
    EXPECT_LE(StampDiff(tc.moveDeadline, late.moveDeadline), 0);
    EXPECT_GE(StampDiff(tc.moveDeadline, before + 2142), 0);
}

TEST(TimeUp, EitherDeadlineEndsTheSearch) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.moveDeadline = kNow + 400;
    EXPECT_FALSE(TimeUpAt(tc, kNow));
    EXPECT_FALSE(TimeUpAt(tc, kNow + 400));  // due, not yet past
    EXPECT_TRUE(TimeUpAt(tc, kNow + 401));

    tc.moveDeadline = kNow + 5000;  // the turn deadline comes first
    EXPECT_FALSE(TimeUpAt(tc, kNow + 1000));
    EXPECT_TRUE(TimeUpAt(tc, kNow + 1001));
}

// The move deadline is ignored; the turn deadline, less the 80 ms reserve, binds.
TEST(TimeUp, WithoutMatchLimitOnlyTheTurnDeadlineCounts) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.matchTimeout = 0;
    tc.moveDeadline = kNow + 400;
    EXPECT_FALSE(TimeUpAt(tc, kNow + 401));
    EXPECT_FALSE(TimeUpAt(tc, kNow + 920));
    EXPECT_TRUE(TimeUpAt(tc, kNow + 921));
    EXPECT_TRUE(TimeUpAt(tc, kNow + 60000));
}

TEST(TimeUp, StampsAcrossTheWrap) {
    TimeControl tc = MakeTc(kNearWrap, 1000, 300000);
    tc.moveDeadline = kNearWrap + 400;
    EXPECT_FALSE(TimeUpAt(tc, kNearWrap));
    EXPECT_FALSE(TimeUpAt(tc, kNearWrap + 300));  // now wrapped, deadline ahead
    EXPECT_TRUE(TimeUpAt(tc, kNearWrap + 401));
    tc.matchTimeout = 0;
    EXPECT_FALSE(TimeUpAt(tc, kNearWrap + 401));
    EXPECT_TRUE(TimeUpAt(tc, kNearWrap + 1001));
}

TEST(TimeUp, ClockReadingVariant) {
    uint32_t now = NowMs();
    TimeControl tc = MakeTc(now, 1000000, 3000000);
    tc.moveDeadline = now + 1000000;
    EXPECT_FALSE(TimeUp(tc));
    tc.moveDeadline = now - 1000000;
    EXPECT_TRUE(TimeUp(tc));
    tc.matchTimeout = 0;
    EXPECT_FALSE(TimeUp(tc));
    tc.turnDeadline = now - 1000000;
    EXPECT_TRUE(TimeUp(tc));
}

TEST(TimeRemaining, NearerDeadlineCounts) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.moveDeadline = kNow + 400;
    EXPECT_EQ(TimeRemainingAt(tc, kNow), 400);
    EXPECT_EQ(TimeRemainingAt(tc, kNow + 500), -100);
    tc.moveDeadline = kNow + 5000;
    EXPECT_EQ(TimeRemainingAt(tc, kNow + 100), 900);
    EXPECT_EQ(TimeRemainingAt(tc, kNow + 1500), -500);
}

// Without a match limit the time left counts to the line TimeUp stops at, the turn
// deadline less the reserve, so the driver never takes a cut iteration for a
// finished one.
TEST(TimeRemaining, WithoutMatchLimitCountsToTheReserveLine) {
    TimeControl tc = MakeTc(kNow, 1000, 300000);
    tc.matchTimeout = 0;
    tc.moveDeadline = kNow + 400;
    EXPECT_EQ(TimeRemainingAt(tc, kNow), 920);
    EXPECT_EQ(TimeRemainingAt(tc, kNow + 700), 220);
    EXPECT_EQ(TimeRemainingAt(tc, kNow + 1200), -280);
}

TEST(TimeRemaining, IsNegativeExactlyWhenTimeIsUp) {
    for (int32_t matchTimeout : {0, 300000}) {
        TimeControl tc = MakeTc(kNearWrap, 1000, 300000);
        tc.matchTimeout = matchTimeout;
        tc.moveDeadline = kNearWrap + 400;
        for (uint32_t t = 0; t <= 1200; t += 5) {
            const uint32_t now = kNearWrap + t;
            EXPECT_EQ(TimeUpAt(tc, now), TimeRemainingAt(tc, now) < 0)
                << "match " << matchTimeout << ", " << t << " ms in";
        }
    }
}

// The forcing search's rare clock check keeps the reserve too, whatever the match
// limit: past turnDeadline - 80 the reply would already be late.
TEST(TurnOver, BindsAtTheTurnDeadlineLessTheReserve) {
    for (int32_t matchTimeout : {0, 300000}) {
        TimeControl tc = MakeTc(kNearWrap, 1000, 300000);
        tc.matchTimeout = matchTimeout;
        tc.moveDeadline = kNearWrap + 100;  // the move budget does not enter
        EXPECT_FALSE(TurnOverAt(tc, kNearWrap + 919));
        EXPECT_FALSE(TurnOverAt(tc, kNearWrap + 920));
        EXPECT_TRUE(TurnOverAt(tc, kNearWrap + 921));
    }
}

TEST(TimeRemaining, StampsAcrossTheWrap) {
    TimeControl tc = MakeTc(kNearWrap, 1000, 300000);
    tc.moveDeadline = kNearWrap + 400;
    EXPECT_EQ(TimeRemainingAt(tc, kNearWrap), 400);
    EXPECT_EQ(TimeRemainingAt(tc, kNearWrap + 300), 100);
    EXPECT_EQ(TimeRemainingAt(tc, kNearWrap + 600), -200);
    tc.matchTimeout = 0;
    EXPECT_EQ(TimeRemainingAt(tc, kNearWrap + 600), 320);
}

TEST(TimeRemaining, ClockReadingVariant) {
    uint32_t before = NowMs();
    TimeControl tc = MakeTc(before, 100000, 300000);
    tc.moveDeadline = before + 50000;
    int32_t left = TimeRemaining(tc);
    uint32_t after = NowMs();
    EXPECT_LE(left, 50000);
    EXPECT_GE(left, 50000 - StampDiff(after, before));
}

}  // namespace

TEST(PlanMoveTime, TheTurnOrTheTimeLeftBindsLessAReserveThatGrowsWithTheTurn) {
    // The reserve is 15 ms plus 1/12 of the turn, at most the classic 80 ms;
    // the limit is the turn less it, or 1/8 of the time left; the target is 4/5
    // of the limit, or 1/20 of the time left.
    struct Case {
        uint32_t turnMs;
        int32_t leftMs;  // 0: no match limit
        int32_t target;
        int32_t limit;
    };
    const Case cases[] = {
        {100, 0, 61, 77},          // 100 - 23
        {300, 60000, 208, 260},    // 300 - 40
        {1000, 120000, 736, 920},  // the reserve stops at 80
        {5000, 0, 3936, 4920},
        {5000, 20000, 996, 2490},  // (20000 - 80) / 8 and / 20
        {300, 2000, 98, 245},      // (2000 - 40) / 20 and / 8
        {300, 20, 0, 0},           // nothing left after the reserve
    };
    for (const Case& c : cases) {
        TimeControl tc = MakeTc(kNow, c.turnMs, c.leftMs);
        const MoveTimePlan plan = PlanMoveTime(tc, kNow);
        EXPECT_EQ(plan.targetMs, c.target) << c.turnMs << " " << c.leftMs;
        EXPECT_EQ(plan.limitMs, c.limit) << c.turnMs << " " << c.leftMs;
    }
    // The wrap of the stamps changes nothing.
    TimeControl tc = MakeTc(kNearWrap, 300, 60000);
    EXPECT_EQ(PlanMoveTime(tc, kNearWrap).limitMs, 260);
}

TEST(PlanMoveTime, TheTimeParametersScaleTheTargetAndTheLimit) {
    // Each row one parameter away from its default; the figures of the case
    // above with 5000 ms a turn are 3936 and 4920 without a match limit, 996
    // and 2490 with 20000 ms left.
    struct Case {
        const char* name;
        int32_t value;
        int32_t leftMs;
        int32_t target;
        int32_t limit;
    };
    const Case cases[] = {
        {"time_target", 50, 0, 2460, 4920},           // half the limit
        {"time_limit_divisor", 4, 20000, 996, 4920},  // 19920 / 4, above the turn's
        {"time_moves_to_go", 10, 20000, 1992, 2490},  // 19920 / 10
    };
    for (const Case& c : cases) {
        SearchParameters params;
        ASSERT_EQ(params.Set(c.name, c.value), SearchParameters::SetResult::kSet) << c.name;
        TimeControl tc = MakeTc(kNow, 5000, c.leftMs);
        const MoveTimePlan plan = PlanMoveTime(tc, kNow, params);
        EXPECT_EQ(plan.targetMs, c.target) << c.name;
        EXPECT_EQ(plan.limitMs, c.limit) << c.name;
    }
}
