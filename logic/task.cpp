// The logic task: one step of the closed tuning loop, and the host's commands.
#include "feeder/feeder.h"
#include "logic/clock.h"
#include "logic/logic.h"

#include <cstdio>

namespace {

constexpr TvlTimePoint kNsPerMs = 1000000;
constexpr TvlTimePoint kMateVanishMs = 5000;
constexpr unsigned char kVanishCorrectNum = 3;

// Full correction with the large flags of the last analysed sample.
void TimeoutMotCol() {
    const ST_LogicDim &stDim = g_stLogic.stLogicAdj.stLogicDim;
    const EN_FeederAct enAct = g_stLogic.enFedAct;
    int iOk = 0;
    if (TvlInRange(enAct, kFedActNum)) {
        iOk = LogicValAnaHandle_MotCol(enAct, g_stLogic.stActUnit[enAct], enAdjCfgOff,
                                       stDim.stMovX.bLarge, stDim.stMovY.bLarge,
                                       g_stLogic.enFedModel);
    }
    LogicMotColReport(iOk);
}

// Step A: analyse the new sample and act on the decision.
void AnalyseSample() {
    ST_LogicAdj &stAdj = g_stLogic.stLogicAdj;
    stAdj.stLogMateReco.bNewMate = 0;
    stAdj.u8VanishNum = 0;
    LogicValDim(&g_stLogic);
    LogicValAnaHandle(&g_stLogic);
    switch (stAdj.enAdj) {
    case enLogicAdjFedCol:
        printf("Fed Col\n");
        // A status callback may have re-initialised the library or detected
        // another model meanwhile.
        if (TvlInRange(g_stLogic.enFedModel, kFedModelNum)) {
            FedVibEnCol(g_stLogic.enFedAct, g_stLogic.u16FedRunTim[g_stLogic.enFedModel],
                        g_stLogic.enFedModel);
        }
        break;
    case enLogicAdjFedWait:
        printf("Fed Wait\n");
        break;
    case enLogicAdjVerifWait:
        g_stLogic.enLogicTaskSta = enLogicTaskWait;
        printf("*** *** Logic Task Verif Wait*** ***\n");
        LogicAdjEndNotify(&g_stLogic, enLogicAdjVerifWait);
        break;
    case enLogicAdjFail:
        g_stLogic.enLogicTaskSta = enLogicTaskEnd;
        printf("*** *** Logic Fail,Verif Err *** *** \n");
        break;
    default:
        printf("*** *** enADJ NO !!! enAdj = %d *** *** \n", stAdj.enAdj);
        break;
    }
}

// Step B: no new sample; declare a timeout when the previous one lies more
// than 5000 whole milliseconds back.
void WaitForSample(TvlTimePoint tNow) {
    ST_LogicAdj &stAdj = g_stLogic.stLogicAdj;
    const TvlTimePoint tElapsedMs = (tNow - stAdj.stLogMateReco.tLastMate) / kNsPerMs;
    printf("Else elpasems\n");
    LogicAdjEndNotify(&g_stLogic, enLogicAdjFedWait);
    if (tElapsedMs <= kMateVanishMs) {
        return;
    }
    printf(".........Mate Vanish; Tim = 3S......\n");
    ++stAdj.u8VanishNum;
    stAdj.enAdj = enLogicAdjFedWait;
    stAdj.u8RestartWaitNum = 0;
    if (stAdj.u8VanishNum >= kVanishCorrectNum) {
        stAdj.u8VanishNum = 0;
        TimeoutMotCol();
    }
    VisionMateRecoTaskEn();
    stAdj.stLogMateReco.tLastMate = tNow;
}

// Step C: command the verification vibration with the action's own duration.
void StartVerification() {
    if (g_stLogic.stLogicAdj.enAdj != enLogicAdjVerifStart) {
        return;
    }
    g_stLogic.stLogicAdj.enAdj = enLogicAdjVerifIng;
    const unsigned short u16DuartTim = FedDuartTimRe(g_stLogic.enFedAct, g_stLogic.enFedModel);
    printf("===============enLogicAdjVerifIng Wait==============================Tim = %d\n",
           u16DuartTim);
    FedVibEnCol(g_stLogic.enFedAct, u16DuartTim, g_stLogic.enFedModel);
    g_stLogic.enLogicTaskSta = enLogicTaskVerifIng;
}

// Step D: the verification vibration is over one step after it was commanded.
void EndVerification() {
    printf("=====================enLogicAdjVerif End=============================\n");
    g_stLogic.stLogicAdj.enAdj = enLogicAdjVerifEnd;
    g_stLogic.enLogicTaskSta = enLogicTaskWait;
    LogicAdjEndNotify(&g_stLogic, enLogicAdjVerifEnd);
}

} // namespace

void LogicAdjEndNotify(const ST_Logic *pstLogic, EN_LogicAdjSta enSta) {
    if (pstLogic->pfnLogicAdjEnd != nullptr) {
        pstLogic->pfnLogicAdjEnd(enSta);
    }
}

void LogicMotColReport(int iResult) {
    printf(iResult != 0 ? "... ... Mot Adj... ... \n" : "... ... Mot Adj Fail... ... \n");
}

int LogicTask() {
    const TvlTimePoint tNow = g_pfnLogicClock();
    VisionTask();
    printf(
        "##############################***Task Run***##########################################\n");
    // Without a valid action and model (model detection may store enFedNoMod)
    // there are no thresholds, parameters or run time to work with.
    const bool bValid = LogicActModelValid(g_stLogic.enFedAct, g_stLogic.enFedModel);
    switch (g_stLogic.enLogicTaskSta) {
    case enLogicTaskAdj:
        if (!bValid) {
            break;
        }
        if (g_stLogic.stLogicAdj.stLogMateReco.bNewMate != 0) {
            AnalyseSample();
        } else {
            WaitForSample(tNow);
        }
        break;
    case enLogicTaskVerifStart:
        if (bValid) {
            StartVerification();
        }
        break;
    case enLogicTaskVerifIng:
        if (bValid) {
            EndVerification();
        }
        break;
    case enLogicTaskWait:
        printf("=====================Task wait 000=============================\n");
        break;
    default:
        break;
    }
    return g_stLogic.enLogicTaskSta;
}

int LogicStaCol(int command) {
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
    g_stLogic.stLogicAdj.enAdj = enLogicAdjSucc;
    g_stLogic.enLogicTaskSta = enLogicTaskEnd;
    return 1;
}

int LogicAdjRestart() {
    g_stLogic.tAdjRestart = g_pfnLogicClock();
    TimeoutMotCol();
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedWait;
    g_stLogic.stLogicAdj.u8RestartWaitNum = 0;
    g_stLogic.enLogicTaskSta = enLogicTaskAdj;
    return 1;
}

int LogicAdjVerifStart() {
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
