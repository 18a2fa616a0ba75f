#include "logic/clock.h"
#include "logic/internal.h"

#include <cstring>
#include <new>

ST_Logic g_stLogic{TvlStaticZero::kTag};
bool g_bFedModelSeeded[kFedModelNum] = {};
ST_LogicStep g_stLogicStep = {};

// The exported constructors set the time points and nothing else; the static
// instance is constant-initialised instead.
// CONTRACT: exported for hosts; no caller inside the library.
ST_LogMateReco::ST_LogMateReco() : tLastMate(0) {}

// CONTRACT: exported for hosts; no caller inside the library.
ST_LogicAdj::ST_LogicAdj() = default;

// CONTRACT: exported for hosts; no caller inside the library.
ST_Logic::ST_Logic() : tAdjRestart(0) {}

void LogicReset() {
    // Built in place on zero bytes, padding included, as at load: a copy
    // would bring a temporary's undefined padding along.
    std::memset(static_cast<void *>(&g_stLogic), 0, sizeof g_stLogic);
    new (&g_stLogic) ST_Logic{TvlStaticZero::kTag};
    for (bool &bSeeded : g_bFedModelSeeded) {
        bSeeded = false;
    }
    g_stLogicStep = ST_LogicStep{};
    g_pfnLogicClock = LogicClockMonotonic;
}
