// The recorder: one trace row per step, written to a side file that takes
// the trace's name only when the whole trace is there.
#include "kit.h"
#include "trace_columns.h"

#include <cstdio>
#include <new>
#include <string>

struct TVK_Recorder {
    std::FILE *file;
    std::string path;
    std::string partPath;
    int model;
    int action;
    bool failed;
};

namespace {

void put(TVK_Recorder *recorder, const std::string &text) {
    if (std::fputs(text.c_str(), recorder->file) < 0) {
        recorder->failed = true;
    }
}

} // namespace

extern "C" {

int tvk_recorder_open(const char *path, int model, int action, TVK_Recorder **out) {
    if (path == nullptr || *path == '\0' || out == nullptr ||
        !tvk::validModelAction(model, action)) {
        return TVK_E_ARG;
    }
    const std::string partPath = std::string(path) + ".part";
    std::FILE *file = std::fopen(partPath.c_str(), "wb");
    if (file == nullptr) {
        return TVK_E_IO;
    }
    *out = new (std::nothrow) TVK_Recorder{file, path, partPath, model, action, false};
    if (*out == nullptr) {
        std::fclose(file);
        std::remove(partPath.c_str());
        return TVK_E_NOMEM;
    }
    put(*out, tvk::traceHeader());
    return TVK_OK;
}

int tvk_recorder_write(TVK_Recorder *recorder, double time_s, const TVK_StepReport *step,
                       int reset) {
    if (recorder == nullptr || !tvk::sizedRecord(step) || time_s != time_s) {
        return TVK_E_ARG;
    }
    put(recorder, tvk::traceRow(recorder->model, recorder->action, time_s, *step, reset != 0));
    return recorder->failed ? TVK_E_IO : TVK_OK;
}

int tvk_recorder_close(TVK_Recorder *recorder) {
    if (recorder == nullptr) {
        return TVK_E_ARG;
    }
    bool ok = !recorder->failed && std::fflush(recorder->file) == 0;
    ok = std::fclose(recorder->file) == 0 && ok;
#ifdef _WIN32
    // rename does not replace an existing file there.
    std::remove(recorder->path.c_str());
#endif
    ok = ok && std::rename(recorder->partPath.c_str(), recorder->path.c_str()) == 0;
    if (!ok) {
        std::remove(recorder->partPath.c_str());
    }
    delete recorder;
    return ok ? TVK_OK : TVK_E_IO;
}

void tvk_recorder_abandon(TVK_Recorder *recorder) {
    if (recorder == nullptr) {
        return;
    }
    std::fclose(recorder->file);
    std::remove(recorder->partPath.c_str());
    delete recorder;
}

} // extern "C"
