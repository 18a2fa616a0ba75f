// The platform's monotonic clock, written once for the library and the kit.
#ifndef TAVREL_BASE_MONOTONIC_CLOCK_H
#define TAVREL_BASE_MONOTONIC_CLOCK_H

#include "base/time_point.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <ctime>
#endif

// Nanoseconds since an arbitrary origin, never decreasing.
inline TvlTimePoint TvlMonotonicNs() {
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

#endif
