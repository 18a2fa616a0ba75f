// Result texts, the last failure's message, the version and the clock hosts
// record step times with.
#include "kit.h"

#include <cstdio>

namespace {

// Trivially destructible, so no thread's exit runs code of ours.
constexpr std::size_t kMessageMax = 512;
thread_local char g_message[kMessageMax];

} // namespace

namespace tvk {

int fail(int code, const std::string &message) {
    (void)std::snprintf(g_message, sizeof g_message, "%s", message.c_str());
    return code;
}

int checkRecordSize(const char *function, const char *name, const void *record,
                    std::uint32_t firstSize, std::size_t kitSize, bool unknownTail) {
    const std::string what = std::string(function) + ": " + name;
    if (record == nullptr) {
        return fail(TVK_E_ARG, what + " is null");
    }
    const std::uint32_t size = *static_cast<const std::uint32_t *>(record);
    if (size < firstSize) {
        return fail(TVK_E_SIZE, what + "->size " + std::to_string(size) +
                                    " is below the record's first release (" +
                                    std::to_string(firstSize) + ")");
    }
    const auto *bytes = static_cast<const unsigned char *>(record);
    if (unknownTail && std::any_of(bytes + std::min<std::size_t>(size, kitSize), bytes + size,
                                   [](unsigned char byte) { return byte != 0; })) {
        return fail(TVK_E_SIZE, what + "->size " + std::to_string(size) +
                                    ": bytes beyond the kit's " + std::to_string(kitSize) +
                                    " are not zero (fields of a newer kit)");
    }
    return TVK_OK;
}

} // namespace tvk

extern "C" {

const char *tvk_errmsg(void) {
    return g_message;
}

const char *tvk_strerror(int code) {
    switch (code) {
    case TVK_OK:
        return "success";
    case TVK_E_ARG:
        return "bad argument (a null pointer or a value out of range)";
    case TVK_E_BUSY:
        return "already active in this process (one session and one capture at a time)";
    case TVK_E_STATE:
        return "not allowed now (the session is over, or no capture is active)";
    case TVK_E_IO:
        return "a file or descriptor operation failed";
    case TVK_E_LIBRARY:
        return "the library refused the initialisation";
    case TVK_E_CALLBACK:
        return "a host callback reported an error";
    case TVK_E_NOMEM:
        return "out of memory";
    case TVK_E_SIZE:
        return "a record size the kit cannot serve";
    case TVK_E_LAYOUT:
        return "the loaded library lays out its records otherwise than the kit was built for";
    case TVK_E_HANDLE:
        return "not a live handle (its session ended, or it was closed or destroyed)";
    case TVK_E_REENTRY:
        return "not allowed from inside one of the kit's callbacks";
    case TVK_E_THREAD:
        return "in use by a call on another thread";
    case TVK_E_LIMIT:
        return "no further instance: the C library's loader holds no more";
    case TVK_E_PLATFORM:
        return "not available on this platform";
    default:
        return "unknown result code";
    }
}

const char *tvk_version(void) {
    return TAVREL_VERSION_STRING;
}

double tvk_clock_seconds(void) {
    return static_cast<double>(TvlMonotonicNs()) * 1e-9;
}

} // extern "C"
