// The task's monotonic clock on Windows counts nanoseconds: over a sleep it
// advances as far as the system tick count does. A wrong unit (raw counter
// ticks, microseconds) is off by a factor of ten or more.
#include "logic/clock.h"

#include <windows.h>

#include <cstdio>

int main() {
    const ULONGLONG u64Tick0 = GetTickCount64();
    const TvlTimePoint t0 = LogicClockMonotonic();
    Sleep(300);
    const TvlTimePoint t1 = LogicClockMonotonic();
    const ULONGLONG u64Tick1 = GetTickCount64();

    // The tick count brackets the clock's interval; its resolution is 10-16 ms on Windows.
    const long long llClockMs = (t1 - t0) / 1000000;
    const long long llTickMs = static_cast<long long>(u64Tick1 - u64Tick0);
    std::printf("clock %lld ms, tick count %lld ms\n", llClockMs, llTickMs);
    if (t0 <= 0 || t1 <= t0) {
        std::printf("FAIL: clock not positive and increasing\n");
        return 1;
    }
    if (llTickMs < 250 || llClockMs > llTickMs + 40 || 2 * llClockMs < llTickMs) {
        std::printf("FAIL: clock does not advance in nanoseconds\n");
        return 1;
    }
    return 0;
}
