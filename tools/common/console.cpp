#include "console.h"

#include "cli.h"
#include "tavrel_hostkit.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

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
    // Taken before the kit points descriptor 1 elsewhere; a failure shows in
    // stdout's error flag at the end.
    (void)std::fflush(stdout);
    const int savedFd = TVL_DUP(TVL_FILENO(stdout));
    view_ = savedFd < 0 ? nullptr : TVL_FDOPEN(savedFd, "w");
    if (view_ == nullptr) {
        throw UsageError("cannot duplicate standard output");
    }
    const int result =
        log == nullptr ? tvk_capture_discard() : tvk_capture_to_callback(logLine, log);
    if (result != TVK_OK) {
        (void)std::fclose(view_);
        throw UsageError(std::string("cannot capture the library's output: ") + tvk_errmsg());
    }
}

LibraryOutput::~LibraryOutput() {
    if (tvk_capture_active() != 0) {
        tvk_capture_stop();
    }
    // Gone without end(): the run failed already and says why.
    if (view_ != stdout) {
        (void)std::fclose(view_);
    }
}

void LibraryOutput::end() {
    if (tvk_capture_active() != 0) {
        tvk_capture_stop();
    }
    if (log_ != nullptr) {
        log_->commit();
    }
    if (view_ != stdout) {
        closeOutput(std::exchange(view_, stdout));
    }
}

void closeOutput(FILE *stream) {
    errno = 0;
    const bool written = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    const int flushReason = errno;
    const bool closed = std::fclose(stream) == 0;
    if (written && closed) {
        return;
    }
    const int reason = flushReason != 0 ? flushReason : errno;
    throw UsageError(std::string("standard output: ") +
                     (reason != 0 ? std::strerror(reason) : "write error"));
}

bool isTerminal(FILE *stream) {
    return TVL_ISATTY(TVL_FILENO(stream)) != 0;
}

void watchStopSignals() {
    // Without them the program still stops, only less tidily.
    (void)std::signal(SIGINT, askToStop);
    (void)std::signal(SIGTERM, askToStop);
}

int stopSignal() {
    return g_stopSignal;
}

int stoppedExitCode() {
    return 128 + g_stopSignal;
}

} // namespace tvltools
