#include "console.h"

#include "cli.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#define TVL_DUP _dup
#define TVL_DUP2 _dup2
#define TVL_CLOSE _close
#define TVL_FDOPEN _fdopen
#define TVL_FILENO _fileno
#define TVL_ISATTY _isatty
#else
#include <unistd.h>
#define TVL_DUP dup
#define TVL_DUP2 dup2
#define TVL_CLOSE close
#define TVL_FDOPEN fdopen
#define TVL_FILENO fileno
#define TVL_ISATTY isatty
#endif

namespace tvltools {

namespace {

#ifdef _WIN32
constexpr const char *kNullDevice = "NUL";
int openForWriting(const char *path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
#else
constexpr const char *kNullDevice = "/dev/null";
int openForWriting(const char *path) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
}
#endif

} // namespace

FILE *divertLibraryOutput(bool passThrough, const std::string &logPath) {
    if (passThrough) {
        return stdout;
    }
    const std::string target = logPath.empty() ? kNullDevice : logPath;
    const int logFd = openForWriting(target.c_str());
    if (logFd < 0) {
        throw UsageError("cannot open log file " + quoted(target) + ": " + std::strerror(errno));
    }
    std::fflush(stdout);
    const int savedFd = TVL_DUP(TVL_FILENO(stdout));
    FILE *view = savedFd < 0 ? nullptr : TVL_FDOPEN(savedFd, "w");
    if (view == nullptr || TVL_DUP2(logFd, TVL_FILENO(stdout)) < 0) {
        TVL_CLOSE(logFd);
        throw UsageError("cannot redirect standard output to " + quoted(target));
    }
    TVL_CLOSE(logFd);
    return view;
}

bool isTerminal(FILE *stream) {
    return TVL_ISATTY(TVL_FILENO(stream)) != 0;
}

} // namespace tvltools
