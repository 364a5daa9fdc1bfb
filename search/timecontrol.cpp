#include "search/timecontrol.h"

#include "platform/clock.h"

TimeControl::TimeControl() {
    uint32_t now = NowMs();
    matchClock = now;
    matchStart = now;
    turnTimeout = 1000;
    turnClock = now;
    turnDeadline = now + 1000;
    matchTimeout = 2147483647;
    timeLeftNow = turnNow = matchNow = now;
    SetTimeLeft(300000);
    // A fresh record must not read as timed out before the first search sets it.
    moveClock = turnClock;
    moveDeadline = turnDeadline;
}

void TimeControl::SetTimeLeft(int32_t t) {
    uint32_t now = NowMs();
    timeLeftClock = now;
    timeLeftDeadline = now + static_cast<uint32_t>(t);
    if (matchTimeout == 2147483647) matchTimeout = t;
    turnClock = now;
    turnDeadline = now + turnTimeout;
}
