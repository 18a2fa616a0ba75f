#include "logic/clock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

TvlTimePoint LogicClockMonotonic() {
#if defined(_WIN32)
    LARGE_INTEGER liCount;
    LARGE_INTEGER liFreq;
    QueryPerformanceCounter(&liCount);
    QueryPerformanceFrequency(&liFreq);
    // Split the conversion so the product cannot overflow.
    const TvlTimePoint tSec = liCount.QuadPart / liFreq.QuadPart;
    const TvlTimePoint tRem = liCount.QuadPart % liFreq.QuadPart;
    return tSec * 1000000000LL + tRem * 1000000000LL / liFreq.QuadPart;
#else
    timespec stNow{};
    clock_gettime(CLOCK_MONOTONIC, &stNow);
    return static_cast<TvlTimePoint>(stNow.tv_sec) * 1000000000LL + stNow.tv_nsec;
#endif
}

TvlClockFn g_pfnLogicClock = LogicClockMonotonic;
