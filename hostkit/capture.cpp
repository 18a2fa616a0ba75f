// Diagnostics capture: file descriptor 1, where the library prints, pointed
// at a file, at a temporary file read back line by line, or at the null
// device, and restored. Standard output is process-wide, so is the capture.
#include "capture.h"

#include "tavrel_hostkit.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>
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
    bool active = false;
    int savedFd = -1;     // descriptor 1 as it was
    int readBackFd = -1;  // the temporary file, for a callback capture
    std::string tempPath; // removed at the end where it could not be at once
    TVK_LineFn fn = nullptr;
    void *user = nullptr;
    std::string partial; // a line without its end yet
};

Capture g_capture;

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
        closeFd(readFdNo);
        std::remove(path->c_str());
        return -1;
    }
#ifndef _WIN32
    // Nothing is left behind even if the process dies.
    std::remove(path->c_str());
    path->clear();
#endif
    return readFdNo;
}

// Points descriptor 1 at target, which it takes over.
int redirect(int target) {
    std::fflush(nullptr);
    g_capture.savedFd = dupFd(kStdout);
    if (g_capture.savedFd < 0 || dup2Fd(target, kStdout) < 0) {
        if (g_capture.savedFd >= 0) {
            closeFd(g_capture.savedFd);
        }
        closeFd(target);
        g_capture.savedFd = -1;
        return TVK_E_IO;
    }
    closeFd(target);
    g_capture.active = true;
    return TVK_OK;
}

int startWith(const char *path, int flags) {
    if (g_capture.active) {
        return TVK_E_BUSY;
    }
    const int target = openFile(path, flags);
    return target < 0 ? TVK_E_IO : redirect(target);
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
int readBack() {
    std::fflush(stdout);
    char buffer[4096];
    int got = 0;
    while ((got = readFd(g_capture.readBackFd, buffer, sizeof buffer)) > 0) {
        deliver(buffer, got);
    }
    if (got < 0 || !emptyFile(g_capture.readBackFd) || !rewindFd(g_capture.readBackFd)) {
        return TVK_E_IO;
    }
    return TVK_OK;
}

} // namespace

namespace tvk {

void pumpCapture() {
    tvk_capture_pump();
}

} // namespace tvk

extern "C" {

int tvk_capture_to_file(const char *path, int append) {
    if (path == nullptr) {
        return TVK_E_ARG;
    }
    return startWith(path, kWriteFlags | (append != 0 ? kAppend : kTruncate));
}

int tvk_capture_discard(void) {
    return startWith(kNullDevice, kWriteFlags);
}

int tvk_capture_to_callback(TVK_LineFn fn, void *user) {
    if (fn == nullptr) {
        return TVK_E_ARG;
    }
    if (g_capture.active) {
        return TVK_E_BUSY;
    }
    int appendFd = -1;
    std::string path;
    const int readBackFd = openTemporary(&appendFd, &path);
    if (readBackFd < 0) {
        return TVK_E_IO;
    }
    const int result = redirect(appendFd);
    if (result != TVK_OK) {
        closeFd(readBackFd);
        if (!path.empty()) {
            std::remove(path.c_str());
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
    if (!g_capture.active || g_capture.fn == nullptr) {
        return TVK_OK;
    }
    return readBack();
}

int tvk_capture_stop(void) {
    if (!g_capture.active) {
        return TVK_E_STATE;
    }
    int result = tvk_capture_pump();
    if (g_capture.fn != nullptr && !g_capture.partial.empty()) {
        g_capture.fn(g_capture.user, g_capture.partial.data(),
                     static_cast<int32_t>(g_capture.partial.size()));
    }
    std::fflush(nullptr);
    if (dup2Fd(g_capture.savedFd, kStdout) < 0) {
        result = TVK_E_IO;
    }
    closeFd(g_capture.savedFd);
    if (g_capture.readBackFd >= 0) {
        closeFd(g_capture.readBackFd);
    }
    if (!g_capture.tempPath.empty()) {
        std::remove(g_capture.tempPath.c_str());
    }
    g_capture = Capture{};
    return result;
}

int tvk_capture_active(void) {
    return g_capture.active ? 1 : 0;
}

} // extern "C"
