// What the kit's parts share: the library's factory configuration, asked of
// the library itself, and the checks every entry point makes.
#ifndef TAVREL_HOSTKIT_KIT_H
#define TAVREL_HOSTKIT_KIT_H

#include "library.h"
#include "tavrel_hostkit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tvk {

// Keeps message ("function: what was refused") for tvk_errmsg() on this
// thread and returns code.
int fail(int code, const std::string &message);

bool validModelAction(int model, int action);
// TVK_OK, or TVK_E_ARG with a message naming the model or action.
int refuseModelAction(const char *function, int model, int action);

// The action's unit as the library's own initialiser writes it.
const ST_ActManageUnit &factoryUnit(int action);

// The library's classification of a point; model and action must be valid.
int areaOf(int model, int action, float x, float y);
bool inTarget(int model, int action, float x, float y);

// Records that grow: the size of each record's first release. A caller
// built against that header is served; below it nothing is.
constexpr std::uint32_t firstReleaseSize(const TVK_Geometry *) {
    return sizeof(TVK_Geometry);
}
constexpr std::uint32_t firstReleaseSize(const TVK_SessionConfig *) {
    return offsetof(TVK_SessionConfig, answers);
}
constexpr std::uint32_t firstReleaseSize(const TVK_StepReport *) {
    return sizeof(TVK_StepReport);
}
constexpr std::uint32_t firstReleaseSize(const TVK_SimRanges *) {
    return offsetof(TVK_SimRanges, kinetic);
}
constexpr std::uint32_t firstReleaseSize(const TVK_SimParams *) {
    return offsetof(TVK_SimParams, kinetic);
}
constexpr std::uint32_t firstReleaseSize(const TVK_SimProbe *) {
    return sizeof(TVK_SimProbe);
}
constexpr std::uint32_t firstReleaseSize(const TVK_Api *) {
    return sizeof(TVK_Api);
}

// TVK_OK, or the refusal of a record whose size the kit cannot serve: null,
// below its first release, or larger than the kit's with bytes the kit does
// not know set (unknownTail: they must be zero, as for a record read).
int checkRecordSize(const char *function, const char *name, const void *record,
                    std::uint32_t firstSize, std::size_t kitSize, bool unknownTail);

// Reads the caller's record over *full, which holds the defaults: the
// fields an older caller lacks keep them.
template <typename Record>
int readRecord(const char *function, const char *name, const Record *in, Record *full) {
    const int refused =
        checkRecordSize(function, name, in, firstReleaseSize(in), sizeof(Record), true);
    if (refused != TVK_OK) {
        return refused;
    }
    std::memcpy(static_cast<void *>(full), in, std::min<std::size_t>(in->size, sizeof(Record)));
    full->size = sizeof(Record);
    return TVK_OK;
}

// TVK_OK when the kit can fill the caller's record out.
template <typename Record>
int checkOutput(const char *function, const char *name, const Record *out) {
    return checkRecordSize(function, name, out, firstReleaseSize(out), sizeof(Record), false);
}

// Writes full into the caller's record (checked with checkOutput): no more
// than its size, its bytes beyond the kit's zeroed, its size what the kit
// wrote.
template <typename Record> void writeRecord(const Record &full, Record *out) {
    const std::size_t callerSize = out->size;
    const std::size_t written = std::min(callerSize, sizeof(Record));
    std::memset(reinterpret_cast<unsigned char *>(out) + written, 0, callerSize - written);
    std::memcpy(static_cast<void *>(out), &full, written);
    out->size = static_cast<std::uint32_t>(written);
}

} // namespace tvk

#endif
