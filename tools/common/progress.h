// A progress line for long runs, on a terminal only.
#ifndef TAVREL_TOOLS_PROGRESS_H
#define TAVREL_TOOLS_PROGRESS_H

#include <cstdio>
#include <functional>
#include <string>

namespace tvltools {

// "LABEL: DONE/TOTAL UNIT (P %), R/s, T left", as the meter shows it.
std::string progressLine(const std::string &label, long done, long total, const std::string &unit,
                         double elapsedSeconds);

// Redraws progressLine() in place on `out` at most every kRefreshSeconds,
// and erases it when done. Shows nothing unless `out` is a terminal (or
// `enabled` says so), so logs and pipes stay clean.
class ProgressMeter {
  public:
    static constexpr double kRefreshSeconds = 0.25;
    using Clock = std::function<double()>; // seconds, monotonic

    ProgressMeter(long total, std::string unit, FILE *out = stderr);
    ProgressMeter(long total, std::string unit, FILE *out, bool enabled, Clock clock);
    ~ProgressMeter();
    ProgressMeter(const ProgressMeter &) = delete;
    ProgressMeter &operator=(const ProgressMeter &) = delete;

    // What is being worked on now; shown from the next redraw.
    void setLabel(std::string label);
    void advance(long count = 1);
    // Erases the line until the next redraw, for other output to the terminal.
    void clear();
    // Erases the line; later calls show nothing.
    void finish();

  private:
    void draw();

    long total_;
    std::string unit_;
    FILE *out_;
    bool enabled_;
    Clock clock_;
    std::string label_;
    long done_ = 0;
    double start_;
    double lastDraw_ = -1.0;
    std::size_t drawnWidth_ = 0;
};

} // namespace tvltools

#endif
