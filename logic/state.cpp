#include "logic/clock.h"
#include "logic/logic.h"

ST_Logic g_stLogic{TvlStaticZero::kTag};

// The constructors set the time points and nothing else; the static instance
// does not use them.
ST_LogMateReco::ST_LogMateReco() : tLastMate(0) {}

ST_LogicAdj::ST_LogicAdj() = default;

ST_Logic::ST_Logic() : tAdjRestart(0) {}

void LogicReset() {
    g_stLogic = ST_Logic{TvlStaticZero::kTag};
    g_pfnLogicClock = LogicClockMonotonic;
}
