// The logic task: one step of the closed tuning loop, and the host's commands.
#include "logic/clock.h"
#include "logic/internal.h"

#include <cstdio>

namespace {

constexpr TvlTimePoint kNsPerMs = 1000000;
constexpr TvlTimePoint kMateVanishMs = 5000;
constexpr unsigned char kVanishCorrectNum = 3;

// Full correction with the large flags of the last analysed sample.
void TimeoutMotCol(ST_Logic &stLogic) {
    const ST_LogicDim &stDim = stLogic.stLogicAdj.stLogicDim;
    const EN_FeederAct enAct = stLogic.enFedAct;
    int iOk = 0;
    if (TvlInRange(enAct, kFedActNum)) {
        iOk =
            LogicValAnaHandle_MotCol(enAct, stLogic.stActUnit[enAct], enAdjCfgOff,
                                     stDim.stMovX.bLarge, stDim.stMovY.bLarge, stLogic.enFedModel);
    }
    LogicMotColReport(iOk);
}

// Step A: analyse the new sample and act on the decision.
void AnalyseSample(ST_Logic &stLogic) {
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    stAdj.stLogMateReco.bNewMate = 0;
    stAdj.u8VanishNum = 0;
    LogicValDim(&stLogic);
    LogicValAnaHandle(&stLogic);
    if (g_stLogicStep.bInterrupted) {
        return;
    }
    // CONTRACT: verbatim host-visible text; do not "fix".
    // Every text in the switch below.
    switch (stAdj.enAdj) {
    case enLogicAdjFedCol:
        printf("Fed Col\n");
        // A status callback may have re-initialised the library or detected
        // another model meanwhile.
        if (TvlInRange(stLogic.enFedModel, kFedModelNum)) {
            FedVibEnCol(stLogic.enFedAct, stLogic.u16FedRunTim[stLogic.enFedModel],
                        stLogic.enFedModel);
        }
        break;
    case enLogicAdjFedWait:
        printf("Fed Wait\n");
        break;
    case enLogicAdjVerifWait:
        stLogic.enLogicTaskSta = enLogicTaskWait;
        printf("*** *** Logic Task Verif Wait*** ***\n");
        LogicAdjEndNotify(stLogic, enLogicAdjVerifWait);
        break;
    case enLogicAdjFail:
        stLogic.enLogicTaskSta = enLogicTaskEnd;
        printf("*** *** Logic Fail,Verif Err *** *** \n");
        break;
    default:
        printf("*** *** enADJ NO !!! enAdj = %d *** *** \n", stAdj.enAdj);
        break;
    }
}

// Step B: no new sample; declare a timeout when the previous one lies more
// than 5000 whole milliseconds back.
void WaitForSample(ST_Logic &stLogic, TvlTimePoint tNow) {
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    const TvlTimePoint tElapsedMs = (tNow - stAdj.stLogMateReco.tLastMate) / kNsPerMs;
    // CONTRACT: verbatim host-visible text; do not "fix".
    // "elapsed ms", misspelt.
    printf("Else elpasems\n");
    LogicAdjEndNotify(stLogic, enLogicAdjFedWait);
    if (g_stLogicStep.bInterrupted || tElapsedMs <= kMateVanishMs) {
        return;
    }
    // CONTRACT: verbatim host-visible text; do not "fix".
    // The timeout is 5000 ms; the text says 3 s.
    printf(".........Mate Vanish; Tim = 3S......\n");
    ++stAdj.u8VanishNum;
    stAdj.enAdj = enLogicAdjFedWait;
    stAdj.u8RestartWaitNum = 0;
    if (stAdj.u8VanishNum >= kVanishCorrectNum) {
        stAdj.u8VanishNum = 0;
        TimeoutMotCol(stLogic);
    }
    VisionMateRecoTaskEn();
    stAdj.stLogMateReco.tLastMate = tNow;
}

// Step C: command the verification vibration with the action's own duration.
void StartVerification(ST_Logic &stLogic) {
    if (stLogic.stLogicAdj.enAdj != enLogicAdjVerifStart) {
        return;
    }
    stLogic.stLogicAdj.enAdj = enLogicAdjVerifIng;
    const unsigned short u16DuartTim = FedDuartTimRe(stLogic.enFedAct, stLogic.enFedModel);
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("===============enLogicAdjVerifIng Wait==============================Tim = %d\n",
           u16DuartTim);
    FedVibEnCol(stLogic.enFedAct, u16DuartTim, stLogic.enFedModel);
    if (!g_stLogicStep.bInterrupted) {
        stLogic.enLogicTaskSta = enLogicTaskVerifIng;
    }
}

// Step D: the verification vibration is over one step after it was commanded.
void EndVerification(ST_Logic &stLogic) {
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("=====================enLogicAdjVerif End=============================\n");
    stLogic.stLogicAdj.enAdj = enLogicAdjVerifEnd;
    stLogic.enLogicTaskSta = enLogicTaskWait;
    LogicAdjEndNotify(stLogic, enLogicAdjVerifEnd);
}

} // namespace

void LogicAdjEndNotify(const ST_Logic &stLogic, EN_LogicAdjSta enSta) {
    if (stLogic.pfnLogicAdjEnd != nullptr) {
        stLogic.pfnLogicAdjEnd(enSta);
    }
}

void LogicMotColReport(int iResult) {
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf(iResult != 0 ? "... ... Mot Adj... ... \n" : "... ... Mot Adj Fail... ... \n");
}

void LogicStepInterrupt() {
    if (g_stLogicStep.bRunning) {
        g_stLogicStep.bInterrupted = true;
    }
}

int LogicTask() {
    ST_Logic &stLogic = g_stLogic;
    // Asked for from inside a host callback, a step would run inside the one
    // in progress.
    if (g_stLogicStep.bRunning) {
        return stLogic.enLogicTaskSta;
    }
    g_stLogicStep.bRunning = true;
    const TvlTimePoint tNow = g_pfnLogicClock();
    VisionTask();
    // What the coordinate callback did is the state this step starts from.
    g_stLogicStep.bInterrupted = false;
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf(
        "##############################***Task Run***##########################################\n");
    // Without a valid action and model (model detection may store enFedNoMod)
    // there are no thresholds, parameters or run time to work with.
    const bool bValid = LogicActModelValid(stLogic.enFedAct, stLogic.enFedModel);
    switch (stLogic.enLogicTaskSta) {
    case enLogicTaskAdj:
        if (!bValid) {
            break;
        }
        if (stLogic.stLogicAdj.stLogMateReco.bNewMate != 0) {
            AnalyseSample(stLogic);
        } else {
            WaitForSample(stLogic, tNow);
        }
        break;
    case enLogicTaskVerifStart:
        if (bValid) {
            StartVerification(stLogic);
        }
        break;
    case enLogicTaskVerifIng:
        if (bValid) {
            EndVerification(stLogic);
        }
        break;
    case enLogicTaskWait:
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("=====================Task wait 000=============================\n");
        break;
    default:
        break;
    }
    g_stLogicStep = ST_LogicStep{};
    return stLogic.enLogicTaskSta;
}

int LogicStaCol(int command) {
    if (!LogicInitialised(g_stLogic)) {
        return 0;
    }
    // CONTRACT: verbatim host-visible text; do not "fix".
    // Every text in the switch below.
    switch (command) {
    case 0:
        LogicAdjSucc();
        printf("===================== End=============================\n");
        break;
    case 1:
        LogicAdjRestart();
        printf("===================== Restart=============================\n");
        break;
    case 2:
        LogicAdjVerifStart();
        printf("===================== Verify=============================\n");
        break;
    case 3:
        LogicAdjSucc();
        printf("===================== Succ=============================\n");
        break;
    default:
        break;
    }
    return 0;
}

int LogicAdjSucc() {
    if (!LogicInitialised(g_stLogic)) {
        return 0;
    }
    LogicStepInterrupt();
    g_stLogic.stLogicAdj.enAdj = enLogicAdjSucc;
    g_stLogic.enLogicTaskSta = enLogicTaskEnd;
    return 1;
}

int LogicAdjRestart() {
    ST_Logic &stLogic = g_stLogic;
    if (!LogicInitialised(stLogic)) {
        return 0;
    }
    LogicStepInterrupt();
    stLogic.tAdjRestart = g_pfnLogicClock();
    TimeoutMotCol(stLogic);
    stLogic.stLogicAdj.enAdj = enLogicAdjFedWait;
    stLogic.stLogicAdj.u8RestartWaitNum = 0;
    stLogic.enLogicTaskSta = enLogicTaskAdj;
    return 1;
}

int LogicAdjVerifStart() {
    if (!LogicInitialised(g_stLogic)) {
        return 0;
    }
    LogicStepInterrupt();
    g_stLogic.stLogicAdj.enAdj = enLogicAdjVerifStart;
    g_stLogic.enLogicTaskSta = enLogicTaskVerifStart;
    return 1;
}

int LogicAdjEndRegister(int (*pfnCb)(EN_LogicAdjSta)) {
    if (pfnCb != nullptr) {
        g_stLogic.pfnLogicAdjEnd = pfnCb;
    }
    return 0;
}

int Logic_Vision_Cb(ST_EntiMateInf stEntiMateInf) {
    ST_LogMateReco &stReco = g_stLogic.stLogicAdj.stLogMateReco;
    stReco.u8Reserve = stEntiMateInf.u8Reserve;
    stReco.stMateInf = stEntiMateInf.stMateInf;
    stReco.bNewMate = 1;
    return 1;
}
