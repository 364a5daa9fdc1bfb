#pragma once

#include <atomic>
#include <cstdint>

// The manager's time limits for the match and the current move, as millisecond
// stamps of NowMs(). Stamps wrap and are compared by difference.
struct TimeControl {
    uint32_t turnTimeout;  // time per move
    int32_t matchTimeout;  // time for the match; 2147483647 = not given
    uint32_t timeLeftClock;
    uint32_t timeLeftDeadline;
    uint32_t timeLeftNow;
    uint32_t turnClock;
    uint32_t turnDeadline;
    uint32_t turnNow;
    uint32_t moveClock;
    uint32_t moveDeadline;
    uint32_t matchClock;
    uint32_t matchStart;
    uint32_t matchNow;
    // A bound on the stones a search may place (the counter `nodes` points at
    // counts from nodeStart); 0 = none. The search stops at it as at the end
    // of its time.
    uint32_t nodeLimit = 0;
    uint32_t nodeStart = 0;
    const uint32_t* nodes = nullptr;
    // Stones other threads placed for the same search (see SearchShared), added
    // to *nodes when set; nodeStart counts them too.
    const std::atomic<uint32_t>* helperNodes = nullptr;
    // When set and raised, the search stops as at the end of its time.
    const std::atomic<bool>* stop = nullptr;

    TimeControl();
    // Remaining match time t from now; restarts the move clock.
    void SetTimeLeft(int32_t t);
};
