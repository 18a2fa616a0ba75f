// Trace values and CSV fields as the trace room reads them.
#include "trace/trace_reader.h"
#include "trace/trace_values.h"

#include <gtest/gtest.h>

#include <cmath>

#include <sstream>
#include <string>
#include <vector>

namespace {

using tvk::ValueError;

struct SecondsCase {
    std::string text;
    ValueError error;
    std::int64_t nanoseconds; // when accepted
};

TEST(TraceValues, SecondsReadToTheNanosecondFromTheDigits) {
    const SecondsCase cases[] = {
        {"0", ValueError::None, 0},
        {"-0.0", ValueError::None, 0},
        {"12.5", ValueError::None, 12500000000},
        {"+0.25", ValueError::None, 250000000},
        {"0.1", ValueError::None, 100000000},
        {"1e3", ValueError::None, 1000000000000},
        {"1.5E-3", ValueError::None, 1500000},
        {"0.0000000015", ValueError::None, 2},  // half a nanosecond rounds up
        {"0.00000000149", ValueError::None, 1}, // below half rounds down
        {"1e-40", ValueError::None, 0},
        {"9300000000e-1", ValueError::None, 930000000000000000},
        {"9223372036.854775807", ValueError::None, INT64_MAX},
        {"9223372036.8547758074", ValueError::None, INT64_MAX},
        {"9223372036.8547758075", ValueError::OutOfRange, 0},
        {"9223372036.854775808", ValueError::OutOfRange, 0},
        {"9300000000", ValueError::OutOfRange, 0},
        {"1e11", ValueError::OutOfRange, 0},
        {"1e300", ValueError::OutOfRange, 0},
        {"1e999999999999", ValueError::OutOfRange, 0},
        {"-1", ValueError::Negative, 0},
        {"", ValueError::NotANumber, 0},
        {".", ValueError::NotANumber, 0},
        {"1e", ValueError::NotANumber, 0},
        {"inf", ValueError::NotANumber, 0},
        {"nan", ValueError::NotANumber, 0},
        {"0x10", ValueError::NotANumber, 0},
        {"1.2.3", ValueError::NotANumber, 0},
        {std::string("1\0garbage", 9), ValueError::NotANumber, 0},
    };
    for (const SecondsCase &c : cases) {
        SCOPED_TRACE(tvk::quoted(c.text));
        std::int64_t nanoseconds = -1;
        EXPECT_EQ(tvk::parseSeconds(c.text, nanoseconds), c.error);
        if (c.error == ValueError::None) {
            EXPECT_EQ(nanoseconds, c.nanoseconds);
        }
    }
}

TEST(TraceValues, WrittenTimesReadBackAtTheirNanosecond) {
    for (const double seconds : {0.1, 0.3, 12.3456789, 4567.891, 86400.000001, 9.2e9}) {
        SCOPED_TRACE(seconds);
        std::int64_t nanoseconds = -1;
        ASSERT_EQ(tvk::parseSeconds(tvk::exactText(seconds), nanoseconds), ValueError::None);
        EXPECT_EQ(nanoseconds, static_cast<std::int64_t>(std::llround(seconds * 1e9)));
    }
}

struct CoordinateCase {
    std::string text;
    ValueError error;
};

TEST(TraceValues, CoordinatesAreWholeFiniteSinglePrecisionNumbers) {
    const CoordinateCase cases[] = {
        {"12.34", ValueError::None},        {"+5", ValueError::None},
        {"-3.5e2", ValueError::None},       {"1e-40", ValueError::None},
        {"3.4028235e38", ValueError::None}, {"3.5e38", ValueError::OutOfRange},
        {"inf", ValueError::NotANumber},    {"nan", ValueError::NotANumber},
        {"", ValueError::NotANumber},       {"+-1", ValueError::NotANumber},
        {"1,5", ValueError::NotANumber},    {std::string("1\0garbage", 9), ValueError::NotANumber},
    };
    for (const CoordinateCase &c : cases) {
        SCOPED_TRACE(tvk::quoted(c.text));
        float value = 0.0F;
        EXPECT_EQ(tvk::parseCoordinate(c.text, value), c.error);
    }
}

struct CsvCase {
    const char *line;
    std::vector<std::string> fields; // empty: refused
};

TEST(TraceValues, CsvFieldsDropBlanksAndTakeQuotes) {
    const CsvCase cases[] = {
        {"a,b,,c,", {"a", "b", "", "c", ""}},
        {" 12.5 ,\t3 ", {"12.5", "3"}},
        {"\"12.5\", \"a,b\" ,\"say \"\"hi\"\"\"", {"12.5", "a,b", "say \"hi\""}},
        {"\"open", {}},
        {"\"closed\" text", {}},
    };
    for (const CsvCase &c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> fields;
        std::string why;
        EXPECT_EQ(tvk::splitCsvLine(c.line, fields, why), !c.fields.empty()) << why;
        if (!c.fields.empty()) {
            EXPECT_EQ(fields, c.fields);
        }
    }
}

} // namespace
