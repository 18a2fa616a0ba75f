// A reading of the monotonic clock.
#ifndef TAVREL_BASE_TIME_POINT_H
#define TAVREL_BASE_TIME_POINT_H

#include <cstdint>

// Nanoseconds; zero means never set.
using TvlTimePoint = std::int64_t;

#endif
