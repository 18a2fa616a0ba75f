#include "logic/clock.h"

#include "base/monotonic_clock.h"

TvlTimePoint LogicClockMonotonic() {
    return TvlMonotonicNs();
}

TvlClockFn g_pfnLogicClock = LogicClockMonotonic;
