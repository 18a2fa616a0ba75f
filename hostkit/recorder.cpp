// The recorder: one trace row per step, through the output rule (a regular
// file appears whole at close or not at all). Handles are tokens in the table
// of live recorders, so a closed one cannot reach another.
#include "kit.h"
#include "live_table.h"
#include "output/output.h"
#include "trace/trace_columns.h"
#include "trace/trace_values.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

namespace {

struct Recorder {
    tvk::OwnerGuard guard;
    tvk::Output output;
    std::string path;
    int model = 0;
    int action = 0;
    std::int64_t lastNs = -1;
};

tvk::LiveTable<Recorder> g_recorders;

// The output's refusal, naming the path and the system's reason.
int pathFailure(int code, const char *function, const Recorder &recorder) {
    return tvk::fail(code, std::string(function) + ": path '" + recorder.path +
                               "': " + recorder.output.why());
}

// Why a step time cannot go in this trace, or "".
std::string badTime(double seconds, std::int64_t nanoseconds, tvk::ValueError error,
                    std::int64_t lastNs) {
    const std::string shown = "time_s " + tvk::exactText(seconds);
    if (!std::isfinite(seconds)) {
        return shown + " is not finite";
    }
    if (error != tvk::ValueError::None) {
        return shown + " " + tvk::describe(error, true);
    }
    if (nanoseconds < lastNs) {
        return shown + " is before the previous row's";
    }
    return "";
}

// Why the step's positions cannot be written, or "".
std::string badPosition(const TVK_StepReport &step) {
    if (step.seen == 0) {
        return ""; // a step without a sighting writes no position
    }
    const float values[] = {step.x, step.y, step.dx, step.dy};
    const char *names[] = {"x", "y", "dx", "dy"};
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(values[i])) {
            return std::string("step ") + names[i] + " " + tvk::exactText(values[i]) +
                   " is not finite";
        }
    }
    return "";
}

} // namespace

extern "C" {

int tvk_recorder_open(const char *path, int model, int action, TVK_Recorder **out) {
    const char *function = "tvk_recorder_open";
    if (path == nullptr || out == nullptr) {
        return tvk::fail(TVK_E_ARG, std::string(function) + ": " +
                                        (path == nullptr ? "path" : "out") + " is null");
    }
    if (!tvk::validModelAction(model, action)) {
        return tvk::fail(TVK_E_ARG, std::string(function) + ": model " + std::to_string(model) +
                                        ", action " + std::to_string(action) +
                                        " is not a model 0..2 and an action 0..10");
    }
    auto recorder = std::unique_ptr<Recorder>(new (std::nothrow) Recorder);
    if (recorder == nullptr) {
        return tvk::fail(TVK_E_NOMEM, std::string(function) + ": out of memory");
    }
    recorder->path = path;
    recorder->model = model;
    recorder->action = action;
    const int opened = recorder->output.open(path);
    if (opened != TVK_OK || recorder->output.write(tvk::traceHeader()) != TVK_OK) {
        return pathFailure(opened == TVK_E_ARG ? TVK_E_ARG : TVK_E_IO, function, *recorder);
    }
    void *token = g_recorders.add(std::move(recorder));
    if (token == nullptr) {
        return tvk::fail(TVK_E_NOMEM, std::string(function) + ": out of memory");
    }
    *out = static_cast<TVK_Recorder *>(token);
    return TVK_OK;
}

int tvk_recorder_write(TVK_Recorder *recorder, double time_s, const TVK_StepReport *step,
                       int reset) {
    const char *function = "tvk_recorder_write";
    if (recorder == nullptr) {
        return tvk::fail(TVK_E_ARG, std::string(function) + ": recorder is null");
    }
    TVK_StepReport full{};
    full.size = sizeof full;
    const int unreadable = tvk::readRecord(function, "step", step, &full);
    if (unreadable != TVK_OK) {
        return unreadable;
    }
    const tvk::LiveTable<Recorder>::Use live(g_recorders, recorder, function,
                                             __builtin_frame_address(0));
    if (live.refusal() != TVK_OK) {
        return live.refusal();
    }
    // The time as written, read back as the replay reads it.
    const std::string timeText = tvk::exactText(time_s == 0.0 ? 0.0 : time_s);
    std::int64_t nanoseconds = 0;
    const tvk::ValueError error = tvk::parseSeconds(timeText, nanoseconds);
    std::string why = badTime(time_s, nanoseconds, error, live->lastNs);
    if (why.empty()) {
        why = badPosition(full);
    }
    if (!why.empty()) {
        return tvk::fail(TVK_E_ARG, std::string(function) + ": " + why);
    }
    live->lastNs = nanoseconds;
    if (live->output.write(tvk::traceRow(live->model, live->action, timeText, *step, reset != 0)) !=
        TVK_OK) {
        return pathFailure(TVK_E_IO, function, *live);
    }
    return TVK_OK;
}

int tvk_recorder_close(TVK_Recorder *recorder) {
    const char *function = "tvk_recorder_close";
    if (recorder == nullptr) {
        return tvk::fail(TVK_E_ARG, std::string(function) + ": recorder is null");
    }
    std::unique_ptr<Recorder> live;
    const int refused = g_recorders.remove(recorder, function, __builtin_frame_address(0), &live);
    if (refused != TVK_OK) {
        return refused;
    }
    return live->output.commit() == TVK_OK ? TVK_OK : pathFailure(TVK_E_IO, function, *live);
}

void tvk_recorder_abandon(TVK_Recorder *recorder) {
    if (recorder == nullptr) {
        return;
    }
    std::unique_ptr<Recorder> live;
    if (g_recorders.remove(recorder, "tvk_recorder_abandon", __builtin_frame_address(0), &live) ==
        TVK_OK) {
        live->output.abandon();
    }
}

} // extern "C"
