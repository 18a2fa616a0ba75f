#include "progress.h"

#include "console.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace tvltools {

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string duration(double seconds) {
    const long whole = std::lround(seconds);
    char text[32];
    if (whole < 60) {
        (void)std::snprintf(text, sizeof text, "%ld s", whole);
    } else if (whole < 3600) {
        (void)std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
    } else {
        (void)std::snprintf(text, sizeof text, "%ld h %02ld min", whole / 3600, whole / 60 % 60);
    }
    return text;
}

} // namespace

std::string progressLine(const std::string &label, long done, long total, const std::string &unit,
                         double elapsedSeconds) {
    char text[160];
    const double percent =
        total > 0 ? 100.0 * static_cast<double>(done) / static_cast<double>(total) : 100.0;
    (void)std::snprintf(text, sizeof text, "%s: %ld/%ld %s (%.1f %%)", label.c_str(), done, total,
                        unit.c_str(), percent);
    std::string line = text;
    if (done > 0 && elapsedSeconds > 0.0) {
        const double rate = static_cast<double>(done) / elapsedSeconds;
        (void)std::snprintf(text, sizeof text, ", %.*f/s, %s left", rate < 10.0 ? 1 : 0, rate,
                            duration(static_cast<double>(total - done) / rate).c_str());
        line += text;
    }
    return line;
}

ProgressMeter::ProgressMeter(long total, std::string unit, FILE *out)
    : ProgressMeter(total, std::move(unit), out, isTerminal(out), steadySeconds) {}

ProgressMeter::ProgressMeter(long total, std::string unit, FILE *out, bool enabled, Clock clock)
    : total_(total), unit_(std::move(unit)), out_(out), enabled_(enabled), clock_(std::move(clock)),
      start_(clock_()) {}

ProgressMeter::~ProgressMeter() {
    finish();
}

void ProgressMeter::setLabel(std::string label) {
    label_ = std::move(label);
    if (lastDraw_ < 0.0) {
        draw();
    }
}

void ProgressMeter::advance(long count) {
    done_ += count;
    if (enabled_ && clock_() - lastDraw_ >= kRefreshSeconds) {
        draw();
    }
}

void ProgressMeter::clear() {
    if (enabled_ && drawnWidth_ > 0) {
        (void)std::fprintf(out_, "\r%*s\r", static_cast<int>(drawnWidth_), "");
        (void)std::fflush(out_);
        drawnWidth_ = 0;
    }
}

void ProgressMeter::finish() {
    clear();
    enabled_ = false;
}

void ProgressMeter::draw() {
    if (!enabled_) {
        return;
    }
    const double now = clock_();
    const std::string line = progressLine(label_, done_, total_, unit_, now - start_);
    // Blanks over what a longer previous line left.
    const int pad = drawnWidth_ > line.size() ? static_cast<int>(drawnWidth_ - line.size()) : 0;
    (void)std::fprintf(out_, "\r%s%*s", line.c_str(), pad, "");
    (void)std::fflush(out_);
    drawnWidth_ = line.size() + static_cast<std::size_t>(pad);
    lastDraw_ = now;
}

} // namespace tvltools
