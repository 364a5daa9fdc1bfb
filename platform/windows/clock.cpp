#include <windows.h>

#include "platform/clock.h"

uint32_t NowMs() {
    // The wall clock to the millisecond; the precise variant, because the plain
    // one moves in steps of about 16 ms, too coarse for move budgets.
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601; the stamp only needs to wrap consistently.
    return static_cast<uint32_t>(t.QuadPart / 10000u);
}
