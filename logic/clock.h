// The monotonic clock the logic task reads, behind a seam the tests replace.
#ifndef TAVREL_LOGIC_CLOCK_H
#define TAVREL_LOGIC_CLOCK_H

#include "base/time_point.h"

using TvlClockFn = TvlTimePoint (*)();

// The platform's monotonic clock in nanoseconds.
TvlTimePoint LogicClockMonotonic();

// What the task reads; points at LogicClockMonotonic unless a test swaps it.
extern TvlClockFn g_pfnLogicClock;

#endif
