// The clock the library's task reads, for programs that link the library's
// objects themselves (the tools and the kit's tests) and run it on simulated
// or recorded time. Not in the shared kit: the shared library keeps its clock
// to itself.
#ifndef TAVREL_HOSTKIT_LIBRARY_CLOCK_H
#define TAVREL_HOSTKIT_LIBRARY_CLOCK_H

#include <cstdint>

namespace tvk {

// Nanoseconds, never decreasing.
using ClockNs = std::int64_t (*)();

// The library reads clock from now on; null gives it back its monotonic clock.
void useLibraryClock(ClockNs clock);

} // namespace tvk

#endif
