// Helpers shared by the logic's own sources; none of them is exported.
#ifndef TAVREL_LOGIC_INTERNAL_H
#define TAVREL_LOGIC_INTERNAL_H

#include "base/range.h"
#include "logic/logic.h"

// True when the action and the model index real configuration and parameter
// blocks: model detection may store enFedNoMod while the task runs.
inline bool LogicActModelValid(int enAct, int enModel) {
    return TvlInRange(enAct, kFedActNum) && TvlInRange(enModel, kFedModelNum);
}

// True for an entry configured as main or auxiliary: a motor that is tuned, a
// movement that is wanted.
inline bool LogicCfgOn(EN_AdjConfigSta enCfg) {
    return enCfg == enAdjCfgMain || enCfg == enAdjCfgAux;
}

// The bound set a tuned motor steps within.
inline EN_FedMotWorkType LogicMotWorkType(EN_AdjConfigSta enMotCfg) {
    return enMotCfg == enAdjCfgAux ? enFedMotWorkAux : enFedMotWorkMain;
}

// Sends a status to the registered callback, if any: a host command before
// any initialisation leaves none registered.
void LogicAdjEndNotify(const ST_Logic &stLogic, EN_LogicAdjSta enSta);

// Prints the line that reports a motor correction's result.
void LogicMotColReport(int iResult);

#endif
