// Result texts, the version and the clock hosts record step times with.
#include "tavrel_hostkit.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

extern "C" {

const char *tvk_strerror(int code) {
    switch (code) {
    case TVK_OK:
        return "success";
    case TVK_E_ARG:
        return "bad argument (null pointer, record size too small or value out of range)";
    case TVK_E_BUSY:
        return "already active in this process (one session and one capture at a time)";
    case TVK_E_STATE:
        return "not allowed now (no session, session over, or called from inside a callback)";
    case TVK_E_IO:
        return "a file or descriptor operation failed";
    case TVK_E_LIBRARY:
        return "the library refused the initialisation";
    case TVK_E_CALLBACK:
        return "a host callback reported an error";
    case TVK_E_NOMEM:
        return "out of memory";
    default:
        return "unknown result code";
    }
}

const char *tvk_version(void) {
    return TAVREL_VERSION_STRING;
}

double tvk_clock_seconds(void) {
#if defined(_WIN32)
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

} // extern "C"
