// Host interface: the adapters the library registers in place of the host's
// callbacks.
#ifndef TAVREL_HOST_H
#define TAVREL_HOST_H

#include "base/export.h"
#include "host/tavrel.h"
#include "logic/logic.h"

TVL_API ST_MateInf TvlCoordRe();
TVL_API int TvlFedCol(ST_FedColC stCmd);
TVL_API int TvlLogCol(EN_LogicAdjSta enSta);

#endif
