#include "logic/clock.h"
#include "logic/logic.h"

ST_Logic g_stLogic{TvlStaticZero::kTag};

// The exported constructors set the time points and nothing else; the static
// instance is constant-initialised instead.
// CONTRACT: exported for hosts; no caller inside the library.
ST_LogMateReco::ST_LogMateReco() : tLastMate(0) {}

// CONTRACT: exported for hosts; no caller inside the library.
ST_LogicAdj::ST_LogicAdj() = default;

// CONTRACT: exported for hosts; no caller inside the library.
ST_Logic::ST_Logic() : tAdjRestart(0) {}

void LogicReset() {
    g_stLogic = ST_Logic{TvlStaticZero::kTag};
    g_pfnLogicClock = LogicClockMonotonic;
}
