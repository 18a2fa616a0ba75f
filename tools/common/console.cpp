#include "console.h"

#include "cli.h"
#include "tavrel_hostkit.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define TVL_DUP _dup
#define TVL_FDOPEN _fdopen
#define TVL_FILENO _fileno
#define TVL_ISATTY _isatty
#else
#include <unistd.h>
#define TVL_DUP dup
#define TVL_FDOPEN fdopen
#define TVL_FILENO fileno
#define TVL_ISATTY isatty
#endif

namespace tvltools {

FILE *divertLibraryOutput(bool passThrough, const std::string &logPath) {
    if (passThrough) {
        return stdout;
    }
    // The program's own view of standard output, taken before the kit points
    // descriptor 1 elsewhere.
    std::fflush(stdout);
    const int savedFd = TVL_DUP(TVL_FILENO(stdout));
    FILE *view = savedFd < 0 ? nullptr : TVL_FDOPEN(savedFd, "w");
    if (view == nullptr) {
        throw UsageError("cannot duplicate standard output");
    }
    const int result =
        logPath.empty() ? tvk_capture_discard() : tvk_capture_to_file(logPath.c_str(), 0);
    if (result != TVK_OK) {
        const int error = errno;
        std::fclose(view);
        throw UsageError(logPath.empty() ? std::string("cannot discard standard output")
                                         : "cannot open log file " + quoted(logPath) + ": " +
                                               std::strerror(error));
    }
    return view;
}

bool isTerminal(FILE *stream) {
    return TVL_ISATTY(TVL_FILENO(stream)) != 0;
}

} // namespace tvltools
