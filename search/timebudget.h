#pragma once

#include <cstdint>

#include "search/timecontrol.h"

// Time arithmetic of the search on the 32-bit millisecond stamps of NowMs().
// Stamps wrap, so they are only ever compared by their difference. The *At
// variants take the current stamp explicitly; the others read the clock.

// Kept back from every deadline so that the reply reaches the manager in time.
constexpr int32_t kTimeReserveMs = 80;

// Milliseconds the next move may take (never negative): at most the turn time and
// the time left, each less an 80 ms reserve, and at most 1/divisor of the time left
// (less the same reserve). On the first request of the process, the match time
// already used is taken off the turn time first. divisor must be positive.
int32_t MoveBudget(const TimeControl& tc, bool first, int32_t divisor);
int32_t MoveBudgetAt(const TimeControl& tc, bool first, int32_t divisor, uint32_t now);

// Renews moveDeadline after a finished iteration; a worse score (for the side the
// engine plays) buys a larger share of the time left.
void RefreshMoveDeadline(TimeControl& tc, int32_t score);
void RefreshMoveDeadlineAt(TimeControl& tc, int32_t score, uint32_t now);

// The stop test polled by the searches.
bool TimeUp(const TimeControl& tc);
bool TimeUpAt(const TimeControl& tc, uint32_t now);

// The turn's hard limit less the reserve has passed, whatever the match limit: the
// last line for searches that poll the clock only now and then.
bool TurnOver(const TimeControl& tc);
bool TurnOverAt(const TimeControl& tc, uint32_t now);

// Milliseconds left for the current move; negative exactly when TimeUp answers true.
int32_t TimeRemaining(const TimeControl& tc);
int32_t TimeRemainingAt(const TimeControl& tc, uint32_t now);
