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

// False until an initialisation succeeds, and again after one fails: the
// host's commands and parameters are refused then.
inline bool LogicInitialised(const ST_Logic &stLogic) {
    return stLogic.enLogicTaskSta != 0;
}

// Models whose current-action motors got their initial values since the last
// initialisation; model detection seeds the others.
extern bool g_bFedModelSeeded[kFedModelNum];

// The task step in progress. A host that initialises or gives a command from
// inside the status or feeder callback ends the step there: the step looks at
// bInterrupted after each such callback. Both are false between steps.
struct ST_LogicStep {
    bool bRunning;
    bool bInterrupted;
};
extern ST_LogicStep g_stLogicStep;

// Marks the step in progress, if any, as ended by the host.
void LogicStepInterrupt();

// Prints the line that reports a motor correction's result.
void LogicMotColReport(int iResult);

#endif
