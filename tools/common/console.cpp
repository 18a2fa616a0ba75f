#include "console.h"

#include "cli.h"
#include "tavrel_hostkit.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define TVL_DUP _dup
#define TVL_FDOPEN _fdopen
#define TVL_FILENO _fileno
#define TVL_ISATTY _isatty
#else
#include <fcntl.h>
#include <unistd.h>
#define TVL_DUP dup
#define TVL_FDOPEN fdopen
#define TVL_FILENO fileno
#define TVL_ISATTY isatty
#endif

namespace tvltools {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void askToStop(int signal) {
    g_stopSignal = signal;
}

// A library line to the log with its newline; a failed write stays in the
// output until the log is committed.
extern "C" void logLine(void *user, const char *line, int32_t length) {
    std::string text(line, static_cast<std::size_t>(length));
    text += '\n';
    static_cast<OutputFile *>(user)->output().write(text);
}

} // namespace

void openStandardDescriptors() {
#ifndef _WIN32
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            // The lowest free descriptor: this one.
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
#endif
}

LibraryOutput::LibraryOutput(bool passThrough, OutputFile *log) : log_(log) {
    if (passThrough) {
        return;
    }
    // Taken before the kit points descriptor 1 elsewhere.
    std::fflush(stdout);
    const int savedFd = TVL_DUP(TVL_FILENO(stdout));
    view_ = savedFd < 0 ? nullptr : TVL_FDOPEN(savedFd, "w");
    if (view_ == nullptr) {
        throw UsageError("cannot duplicate standard output");
    }
    const int result =
        log == nullptr ? tvk_capture_discard() : tvk_capture_to_callback(logLine, log);
    if (result != TVK_OK) {
        std::fclose(view_);
        throw UsageError(std::string("cannot capture the library's output: ") + tvk_errmsg());
    }
}

LibraryOutput::~LibraryOutput() {
    if (tvk_capture_active() != 0) {
        tvk_capture_stop();
    }
}

void LibraryOutput::end() {
    if (tvk_capture_active() != 0) {
        tvk_capture_stop();
    }
    if (log_ != nullptr) {
        log_->commit();
    }
}

bool isTerminal(FILE *stream) {
    return TVL_ISATTY(TVL_FILENO(stream)) != 0;
}

void watchStopSignals() {
    std::signal(SIGINT, askToStop);
    std::signal(SIGTERM, askToStop);
}

int stopSignal() {
    return g_stopSignal;
}

int stoppedExitCode() {
    return 128 + g_stopSignal;
}

} // namespace tvltools
