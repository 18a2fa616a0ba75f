// The progress meter: its line, how often it redraws, and silence when off.
#include "progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct LineCase {
    long done;
    long total;
    double elapsed;
    const char *expected;
};

TEST(ProgressLine, ShowsCountRateAndTimeLeft) {
    const LineCase cases[] = {
        {0, 1000, 0.0, "model 0 action 8: 0/1000 sessions (0.0 %)"},
        {250, 1000, 10.0, "model 0 action 8: 250/1000 sessions (25.0 %), 25/s, 30 s left"},
        {3, 1000, 2.0, "model 0 action 8: 3/1000 sessions (0.3 %), 1.5/s, 11 min 05 s left"},
        {5, 1000000, 1.0, "model 0 action 8: 5/1000000 sessions (0.0 %), 5.0/s, 55 h 33 min left"},
        {1000, 1000, 20.0, "model 0 action 8: 1000/1000 sessions (100.0 %), 50/s, 0 s left"},
    };
    for (const LineCase &c : cases) {
        EXPECT_EQ(
            tvltools::progressLine("model 0 action 8", c.done, c.total, "sessions", c.elapsed),
            c.expected);
    }
}

std::string written(FILE *file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text += static_cast<char>(c);
    }
    return text;
}

int draws(const std::string &text) {
    int count = 0;
    for (std::size_t at = text.find("sessions"); at != std::string::npos;
         at = text.find("sessions", at + 1)) {
        ++count;
    }
    return count;
}

TEST(ProgressMeter, RedrawsAtMostFourTimesASecondAndErasesItself) {
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    double now = 0.0;
    {
        tvltools::ProgressMeter meter(10000, "sessions", file, true, [&now] { return now; });
        meter.setLabel("fleet");
        for (int i = 0; i < 10000; ++i) { // two seconds, a session every 0.2 ms
            now += 0.0002;
            meter.advance();
        }
    }
    const std::string text = written(file);
    EXPECT_GE(draws(text), 8);
    EXPECT_LE(draws(text), 9);
    EXPECT_NE(text.find("fleet: 0/10000 sessions"), std::string::npos);
    // The last thing written blanks the line and returns to its start.
    EXPECT_EQ(text.back(), '\r');
    EXPECT_EQ(text.find_first_not_of(' ', text.rfind('\r', text.size() - 2) + 1), text.size() - 1);
    std::fclose(file);
}

TEST(ProgressMeter, ShowsNothingWhenOff) {
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        tvltools::ProgressMeter meter(10, "sessions", file, false, [] { return 1.0; });
        meter.setLabel("fleet");
        meter.advance(10);
    }
    EXPECT_EQ(written(file), "");
    std::fclose(file);
}

} // namespace
