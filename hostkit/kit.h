// What the kit's parts share: the library's factory configuration, asked of
// the library itself, and the checks every entry point makes.
#ifndef TAVREL_HOSTKIT_KIT_H
#define TAVREL_HOSTKIT_KIT_H

#include "library.h"
#include "tavrel_hostkit.h"

#include <string>

namespace tvk {

// Keeps message ("function: what was refused") for tvk_errmsg() on this
// thread and returns code.
int fail(int code, const std::string &message);

bool validModelAction(int model, int action);

// The action's unit as the library's own initialiser writes it.
const ST_ActManageUnit &factoryUnit(int action);

// The library's classification of a point; model and action must be valid.
int areaOf(int model, int action, float x, float y);
bool inTarget(int model, int action, float x, float y);

// A caller's record that says it is at least as large as the kit's.
template <typename Record> bool sizedRecord(const Record *record) {
    return record != nullptr && record->size >= sizeof(Record);
}

} // namespace tvk

#endif
