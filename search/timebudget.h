#pragma once

#include <cstdint>

#include "search/searchparameters.h"
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

// Stones placed so far as the node bound counts them: *nodes and the helpers'.
uint32_t NodesNow(const TimeControl& tc);
// Stopped for another reason than the clock: the node bound, or a stop.
bool Halted(const TimeControl& tc);

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

// The principal-variation search's plan for one move: it starts no iteration
// after `targetMs` (scaled by how settled the best move is) and stops at
// `limitMs` whatever it is doing.
struct MoveTimePlan {
    int32_t targetMs;
    int32_t limitMs;
};

// Kept back from the turn limit for the reply: a few milliseconds for the pipe
// and a small share of the turn for the polled clock, not a fixed 80 ms that
// would take most of a 100 ms turn.
int32_t ReplyReserveMs(uint32_t turnTimeout);

// From the turn's deadline and, with a match limit, the time left shared over
// the moves still to come, by the parameters' time_* factors.
MoveTimePlan PlanMoveTime(const TimeControl& tc, uint32_t now,
                          const SearchParameters& params = SearchParameters());
