// Diagnostics capture: file descriptor 1, where the library prints, pointed
// at a file, at a temporary file read back line by line, or at the null
// device, and restored. Standard output is process-wide, so is the capture.
// In an instance on Linux the C runtime is the instance's own: there the
// capture replaces that runtime's standard output stream instead, and
// descriptor 1 stays as it is. On Windows an instance has no capture.
#include "capture.h"

#include "guard.h"
#include "instance.h"
#include "kit.h"

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char *kNullDevice = "NUL";
constexpr int kWriteFlags = _O_WRONLY | _O_CREAT | _O_BINARY;
constexpr int kTruncate = _O_TRUNC;
constexpr int kAppend = _O_APPEND;
constexpr int kMode = _S_IREAD | _S_IWRITE;
int openFile(const char *path, int flags) {
    return _open(path, flags, kMode);
}
int dupFd(int fd) {
    return _dup(fd);
}
int dup2Fd(int from, int to) {
    return _dup2(from, to);
}
int closeFd(int fd) {
    return _close(fd);
}
int readFd(int fd, char *buffer, unsigned size) {
    return _read(fd, buffer, size);
}
bool emptyFile(int fd) {
    return _chsize(fd, 0) == 0;
}
bool rewindFd(int fd) {
    return _lseek(fd, 0, SEEK_SET) == 0;
}
#else
constexpr const char *kNullDevice = "/dev/null";
constexpr int kWriteFlags = O_WRONLY | O_CREAT | O_CLOEXEC;
constexpr int kTruncate = O_TRUNC;
constexpr int kAppend = O_APPEND;
constexpr mode_t kMode = 0644;
int openFile(const char *path, int flags) {
    return open(path, flags, kMode);
}
int dupFd(int fd) {
    return dup(fd);
}
int dup2Fd(int from, int to) {
    return dup2(from, to);
}
int closeFd(int fd) {
    return close(fd);
}
int readFd(int fd, char *buffer, unsigned size) {
    return static_cast<int>(read(fd, buffer, size));
}
bool emptyFile(int fd) {
    return ftruncate(fd, 0) == 0;
}
bool rewindFd(int fd) {
    return lseek(fd, 0, SEEK_SET) == 0;
}
#endif

constexpr int kStdout = 1;

struct Capture {
    int savedFd = -1;     // descriptor 1 as it was
    int readBackFd = -1;  // the temporary file, for a callback capture
    std::string tempPath; // removed at the end where it could not be at once
    std::string target;   // where the text goes, for messages
    bool stdoutFailedBefore = false;
    TVK_LineFn fn = nullptr;
    void *user = nullptr;
    std::string partial;         // a line without its end yet
    FILE *stream = nullptr;      // an instance's capture: its standard output meanwhile
    FILE *savedStream = nullptr; // the standard output stream as it was
    std::string collected;       // what a callback stream took, not yet delivered
};

Capture g_capture;
std::atomic<bool> g_active{false};
tvk::OwnerGuard g_guard;

std::string systemReason() {
    return std::strerror(errno);
}

int failIo(const char *function, const std::string &what) {
    return tvk::fail(TVK_E_IO, std::string(function) + ": " + what + ": " + systemReason());
}

// A temporary file that descriptor 1 appends to; returns the descriptor to
// read it back with and the append descriptor through appendFd.
int openTemporary(int *appendFd, std::string *path) {
#ifdef _WIN32
    char *name = _tempnam(nullptr, "tvk");
    if (name == nullptr) {
        return -1;
    }
    *path = name;
    std::free(name);
    const int readFdNo = _open(path->c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, kMode);
#else
    const char *dir = std::getenv("TMPDIR");
    std::string pattern =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tavrel-capture-XXXXXX";
    const int readFdNo = mkstemp(pattern.data());
    *path = pattern;
#endif
    if (readFdNo < 0) {
        return -1;
    }
    *appendFd = openFile(path->c_str(), kWriteFlags | kAppend);
    if (*appendFd < 0) {
        const int reason = errno;
        closeFd(readFdNo);
        (void)std::remove(path->c_str());
        errno = reason;
        return -1;
    }
#ifndef _WIN32
    // Nothing is left behind even if the process dies.
    (void)std::remove(path->c_str());
    path->clear();
#endif
    return readFdNo;
}

// Keeps a copy of descriptor 1 before anything is opened, so that a closed
// descriptor 1 is refused instead of taken over by the capture's own file.
int saveStdout(const char *function) {
    (void)std::fflush(nullptr);
    g_capture.stdoutFailedBefore = std::ferror(stdout) != 0;
    g_capture.savedFd = dupFd(kStdout);
    return g_capture.savedFd < 0 ? failIo(function, "descriptor 1 (standard output)") : TVK_OK;
}

void dropSaved() {
    closeFd(g_capture.savedFd);
    g_capture.savedFd = -1;
}

// Points descriptor 1 at target, which it takes over.
int redirect(const char *function, int target) {
    if (dup2Fd(target, kStdout) < 0) {
        const int result = failIo(function, "pointing descriptor 1 at " + g_capture.target);
        closeFd(target);
        dropSaved();
        return result;
    }
    closeFd(target);
    g_active.store(true);
    return TVK_OK;
}

bool streamMode() {
    return tvk::instanceTokenSource() != nullptr;
}

#ifdef _WIN32
// Every copy of the kit shares the process's C runtime, and so its standard
// output: an instance's capture would take the whole process's text.
int startStream(const char *function, FILE *) {
    return tvk::fail(TVK_E_PLATFORM,
                     std::string(function) +
                         ": an instance on Windows prints to the process's standard output; "
                         "capture it with the process's own copy");
}
FILE *openStreamFile(const char *, int) {
    return nullptr;
}
FILE *collectingStream() {
    return nullptr;
}
FILE *droppingStream() {
    return nullptr;
}
int stopStream(const char *) {
    return TVK_OK;
}
#else
ssize_t collect(void *, const char *text, size_t size) {
    g_capture.collected.append(text, size);
    return static_cast<ssize_t>(size);
}

ssize_t drop(void *, const char *, size_t size) {
    return static_cast<ssize_t>(size);
}

FILE *cookieStream(cookie_write_function_t *write) {
    cookie_io_functions_t io{};
    io.write = write;
    return fopencookie(nullptr, "w", io);
}

FILE *collectingStream() {
    return cookieStream(collect);
}

FILE *droppingStream() {
    return cookieStream(drop);
}

FILE *openStreamFile(const char *path, int append) {
    return std::fopen(path, append != 0 ? "ae" : "we");
}

// The instance's standard output becomes stream, which the capture owns.
int startStream(const char *function, FILE *stream) {
    if (stream == nullptr) {
        return failIo(function, g_capture.target);
    }
    (void)std::fflush(stdout);
    g_capture.savedStream = stdout;
    g_capture.stream = stream;
    stdout = stream;
    g_active.store(true);
    return TVK_OK;
}

// Gives the standard output stream back and closes the capture's; a text
// that did not reach the capture's file is an error.
int stopStream(const char *function) {
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    stdout = g_capture.savedStream;
    const bool closed = std::fclose(g_capture.stream) == 0;
    return written && closed ? TVK_OK : failIo(function, "writing to " + g_capture.target);
}
#endif

int refuseBusy(const char *function) {
    return tvk::fail(TVK_E_BUSY, std::string(function) + ": a capture is already active");
}

int startWith(const char *function, const char *path, int flags) {
    if (g_active.load()) {
        return refuseBusy(function);
    }
    g_capture.target = std::string("path '") + path + "'";
    const int saved = saveStdout(function);
    if (saved != TVK_OK) {
        return saved;
    }
    const int target = openFile(path, flags);
    if (target < 0) {
        const int result = failIo(function, g_capture.target);
        dropSaved();
        return result;
    }
    return redirect(function, target);
}

void deliver(const char *text, int length) {
    g_capture.partial.append(text, static_cast<std::size_t>(length));
    std::size_t start = 0;
    for (std::size_t end = g_capture.partial.find('\n'); end != std::string::npos;
         end = g_capture.partial.find('\n', start)) {
        // Each line ends in a NUL of its own for hosts that read C strings.
        const std::string line = g_capture.partial.substr(start, end - start);
        g_capture.fn(g_capture.user, line.c_str(), static_cast<int32_t>(line.size()));
        start = end + 1;
    }
    g_capture.partial.erase(0, start);
}

// Reads what was written since the last time, then empties the file so that
// it never grows beyond one step's text.
int readBack(const char *function) {
    (void)std::fflush(stdout);
    if (g_capture.stream != nullptr) {
        std::string text;
        text.swap(g_capture.collected);
        deliver(text.data(), static_cast<int>(text.size()));
        return TVK_OK;
    }
    char buffer[4096];
    int got = 0;
    while ((got = readFd(g_capture.readBackFd, buffer, sizeof buffer)) > 0) {
        deliver(buffer, got);
    }
    if (got < 0 || !emptyFile(g_capture.readBackFd) || !rewindFd(g_capture.readBackFd)) {
        return failIo(function, "reading back the captured text");
    }
    return TVK_OK;
}

int pump(const char *function) {
    return g_active.load() && g_capture.fn != nullptr ? readBack(function) : TVK_OK;
}

// The text that could not reach the capture's file: a write error C stdio
// met on descriptor 1 since the capture began.
int flushToTarget(const char *function) {
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && (g_capture.stdoutFailedBefore || std::ferror(stdout) == 0)) {
        return TVK_OK;
    }
    const int result = failIo(function, "writing to " + g_capture.target);
    if (!g_capture.stdoutFailedBefore) {
        std::clearerr(stdout);
    }
    return result;
}

} // namespace

namespace tvk {

void pumpCapture() {
    // Skipped while another thread's capture call runs; the next pump
    // delivers the text. Nothing to refuse, so no message either.
    if (g_guard.take(__builtin_frame_address(0)) == OwnerGuard::Found::kTaken) {
        pump("tvk_session_step");
        g_guard.release();
    }
}

bool insideCaptureCallback(const void *frame) {
    return g_guard.heldAround(frame);
}

void leaveCapture() {
    if (g_active.load()) {
        (void)tvk_capture_stop();
    }
    (void)std::fflush(stdout);
}

} // namespace tvk

extern "C" {

int tvk_capture_to_file(const char *path, int append) {
    const tvk::Hold hold(g_guard, "tvk_capture_to_file", __builtin_frame_address(0));
    if (hold.refusal() != TVK_OK) {
        return hold.refusal();
    }
    if (path == nullptr) {
        return tvk::fail(TVK_E_ARG, "tvk_capture_to_file: path is null");
    }
    if (streamMode()) {
        if (g_active.load()) {
            return refuseBusy("tvk_capture_to_file");
        }
        g_capture.target = std::string("path '") + path + "'";
        return startStream("tvk_capture_to_file", openStreamFile(path, append));
    }
    return startWith("tvk_capture_to_file", path,
                     kWriteFlags | (append != 0 ? kAppend : kTruncate));
}

int tvk_capture_discard(void) {
    const tvk::Hold hold(g_guard, "tvk_capture_discard", __builtin_frame_address(0));
    if (hold.refusal() != TVK_OK) {
        return hold.refusal();
    }
    if (streamMode()) {
        if (g_active.load()) {
            return refuseBusy("tvk_capture_discard");
        }
        g_capture.target = "nowhere";
        return startStream("tvk_capture_discard", droppingStream());
    }
    return startWith("tvk_capture_discard", kNullDevice, kWriteFlags);
}

int tvk_capture_to_callback(TVK_LineFn fn, void *user) {
    constexpr const char *kFunction = "tvk_capture_to_callback";
    const tvk::Hold hold(g_guard, kFunction, __builtin_frame_address(0));
    if (hold.refusal() != TVK_OK) {
        return hold.refusal();
    }
    if (fn == nullptr) {
        return tvk::fail(TVK_E_ARG, "tvk_capture_to_callback: fn is null");
    }
    if (g_active.load()) {
        return refuseBusy(kFunction);
    }
    if (streamMode()) {
        g_capture.target = "the callback";
        const int started = startStream(kFunction, collectingStream());
        if (started == TVK_OK) {
            g_capture.fn = fn;
            g_capture.user = user;
        }
        return started;
    }
    g_capture.target = "the temporary file";
    int result = saveStdout(kFunction);
    if (result != TVK_OK) {
        return result;
    }
    int appendFd = -1;
    std::string path;
    const int readBackFd = openTemporary(&appendFd, &path);
    if (readBackFd < 0) {
        result = failIo(kFunction, "a temporary file");
        dropSaved();
        return result;
    }
    result = redirect(kFunction, appendFd);
    if (result != TVK_OK) {
        closeFd(readBackFd);
        // Only Windows keeps the file's name until it is closed; elsewhere the
        // path is already empty.
        // cppcheck-suppress knownConditionTrueFalse
        if (!path.empty()) {
            (void)std::remove(path.c_str());
        }
        return result;
    }
    g_capture.readBackFd = readBackFd;
    g_capture.tempPath = path;
    g_capture.fn = fn;
    g_capture.user = user;
    return TVK_OK;
}

int tvk_capture_pump(void) {
    const tvk::Hold hold(g_guard, "tvk_capture_pump", __builtin_frame_address(0));
    return hold.refusal() != TVK_OK ? hold.refusal() : pump("tvk_capture_pump");
}

int tvk_capture_stop(void) {
    constexpr const char *kFunction = "tvk_capture_stop";
    const tvk::Hold hold(g_guard, kFunction, __builtin_frame_address(0));
    if (hold.refusal() != TVK_OK) {
        return hold.refusal();
    }
    if (!g_active.load()) {
        return tvk::fail(TVK_E_STATE, "tvk_capture_stop: no capture is active");
    }
    int result = pump(kFunction);
    if (g_capture.fn != nullptr && !g_capture.partial.empty()) {
        const std::string last = g_capture.partial;
        g_capture.partial.clear();
        g_capture.fn(g_capture.user, last.c_str(), static_cast<int32_t>(last.size()));
    }
    if (g_capture.stream != nullptr) {
        const int stopped = stopStream(kFunction);
        g_capture = Capture{};
        g_active.store(false);
        return result == TVK_OK ? stopped : result;
    }
    const int flushed = flushToTarget(kFunction);
    if (result == TVK_OK) {
        result = flushed;
    }
    (void)std::fflush(nullptr);
    if (dup2Fd(g_capture.savedFd, kStdout) < 0 && result == TVK_OK) {
        result = failIo(kFunction, "putting descriptor 1 back");
    }
    closeFd(g_capture.savedFd);
    if (g_capture.readBackFd >= 0) {
        closeFd(g_capture.readBackFd);
    }
    if (!g_capture.tempPath.empty()) {
        (void)std::remove(g_capture.tempPath.c_str());
    }
    g_capture = Capture{};
    g_active.store(false);
    return result;
}

int tvk_capture_active(void) {
    return g_active.load() ? 1 : 0;
}

} // extern "C"
