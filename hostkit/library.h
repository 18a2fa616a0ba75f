// The kit's one door into the library's internals: the record layouts and
// the functions the kit calls. Only this header includes base/, feeder/ or
// logic/ headers; every other kit file includes it (or nothing of ours).
#ifndef TAVREL_HOSTKIT_LIBRARY_H
#define TAVREL_HOSTKIT_LIBRARY_H

#include "base/monotonic_clock.h"
#include "base/range.h"
#include "feeder/feeder.h"
#include "logic/clock.h"
#include "logic/logic.h"

#endif
