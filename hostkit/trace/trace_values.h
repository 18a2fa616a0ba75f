// Values in a trace: written as the shortest text that reads back as the
// same number, read back without a rounding step of their own.
#ifndef TAVREL_HOSTKIT_TRACE_VALUES_H
#define TAVREL_HOSTKIT_TRACE_VALUES_H

#include <cstdint>
#include <string>

namespace tvk {

// A trace's times are seconds from 0 up to what the library's clock holds in
// its signed 64-bit nanoseconds: 9223372036.854775807 s, some 292 years.
constexpr std::int64_t kTraceNanosecondsMax = INT64_MAX;

std::string exactText(float value);
std::string exactText(double value);

enum class ValueError { None, NotANumber, Negative, OutOfRange };

// Decimal seconds ("12.5", "1e3", "+0.25") to nanoseconds, exactly from the
// digits, rounded half up to the nanosecond.
ValueError parseSeconds(const std::string &text, std::int64_t &nanoseconds);
// A finite single-precision number, rounded once from the whole text
// (subnormal numbers included); no locale's decimal point.
ValueError parseCoordinate(const std::string &text, float &value);

// "is not a number", "is negative", "is out of range (...)" for a message.
std::string describe(ValueError error, bool seconds);

} // namespace tvk

#endif
