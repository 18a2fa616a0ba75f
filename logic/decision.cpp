// Analysis and decision: what the last vibration achieved, how the score
// moves, whether the motors are corrected and what the task does next.
#include "logic/internal.h"

#include <cstdio>

namespace {

// Misses while waiting after an arrival before the motors are commanded again.
constexpr unsigned char kRestartWaitNum = 3;

// CONTRACT: verbatim host-visible text; do not "fix".
const char *const kDumpBanner = "***************************************************************"
                                "************************************************\n";

// The configuration of a movement class; a class outside the table is not wanted.
EN_AdjConfigSta MovVerdict(const EN_AdjConfigSta (&enMovCfg)[kMovClassNum],
                           EN_UnidRectMovClass enDire) {
    return TvlInRange(enDire, kMovClassNum) ? enMovCfg[enDire] : enAdjCfgOff;
}

void PrintMotWords(const char *pszLabel, const ST_Logic &stLogic, EN_FeederMotParam enParam) {
    unsigned short u16Word[kVoiMotNum];
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        u16Word[mot] = FedVibrAdjRe(stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot), enParam,
                                    stLogic.enFedModel);
    }
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("%s: %d , %d , %d , %d  \n", pszLabel, u16Word[0], u16Word[1], u16Word[2], u16Word[3]);
}

void PrintDump(const ST_Logic &stLogic) {
    const ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    const ST_LogicDim &stDim = stAdj.stLogicDim;
    const ST_MateInf &stMate = stAdj.stLogMateReco.stMateInf;
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("%s", kDumpBanner);
    printf("MateSta      : %d , %d \n", stDim.stMovX.enDire, stDim.stMovY.enDire);
    printf("Mate Area    : %d \n", stDim.enArea);
    printf("Mate Pos     : %f , %f \n", stMate.fPosX, stMate.fPosY);
    printf("Mate DispPos : %f , %f \n", stMate.fDispPosX, stMate.fDispPosY);
    printf("Adj Num      : %d \n", stAdj.u8AdjNum);
    PrintMotWords("Mot Amp      ", stLogic, enFedMotAmp);
    PrintMotWords("Mot Fre      ", stLogic, enFedMotFre);
    printf("%s", kDumpBanner);
}

void ArrivedWhileAdjusting(ST_Logic &stLogic, const ST_ActManageUnit &stUnit) {
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    if (stAdj.u8AdjNum < stUnit.u8AdjNumMax) {
        ++stAdj.u8AdjNum;
    }
    stAdj.bMoveLatch = 0;
    if (stAdj.u8AdjNum >= stUnit.u8AdjSuccNum) {
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... Adj Succ. Verif... ... \n");
        stAdj.u8AdjNum = 0;
        stAdj.enAdj = enLogicAdjVerifWait;
        return;
    }
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("... ... Arrive ... ... \n");
    stAdj.enAdj = enLogicAdjFedWait;
    LogicAdjEndNotify(stLogic, enLogicAdjFedWait);
    if (!g_stLogicStep.bInterrupted) {
        stAdj.u8RestartWaitNum = 0;
    }
}

void MissedWhileAdjusting(ST_Logic &stLogic, ST_ActManageUnit &stUnit) {
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    const ST_LogicDim &stDim = stAdj.stLogicDim;
    const EN_AdjConfigSta enVerdictX = MovVerdict(stUnit.enMovCfgX, stDim.stMovX.enDire);
    const EN_AdjConfigSta enVerdictY = MovVerdict(stUnit.enMovCfgY, stDim.stMovY.enDire);
    EN_AdjConfigSta enCorrSel = enAdjCfgOff;

    LogicAdjEndNotify(stLogic, enLogicAdjFedCol);
    if (g_stLogicStep.bInterrupted) {
        return;
    }
    if (LogicValAnaHandle_MoveRel(enVerdictX, enVerdictY, stUnit.enMovCfgY, &enCorrSel,
                                  stUnit.enStaRel) != 0) {
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... Adj No... ... \n");
        if (stAdj.u8AdjNum >= stUnit.u8AdjSuccNum) {
            // CONTRACT: verbatim host-visible text; do not "fix".
            // Printed on a miss too, once the score is high enough.
            printf("... ... Adj Succ. ... ... \n");
        }
        if (stAdj.u8AdjNum < stUnit.u8AdjNumMax) {
            ++stAdj.u8AdjNum;
        }
        return;
    }
    stAdj.u8AdjNum = stAdj.u8AdjNum > stUnit.u8AdjNumDec
                         ? static_cast<unsigned char>(stAdj.u8AdjNum - stUnit.u8AdjNumDec)
                         : 0;
    if (stAdj.u8AdjNum < stUnit.u8MotAdjNum) {
        LogicMotColReport(LogicValAnaHandle_MotCol(stLogic.enFedAct, stUnit, enCorrSel,
                                                   stDim.stMovX.bLarge, stDim.stMovY.bLarge,
                                                   stLogic.enFedModel));
    } else {
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... Mot Adj Wait... ... \n");
    }
}

void MissedWhileWaiting(ST_LogicAdj &stAdj) {
    stAdj.bMoveLatch = 0;
    ++stAdj.u8RestartWaitNum;
    if (stAdj.u8RestartWaitNum >= kRestartWaitNum) {
        stAdj.enAdj = enLogicAdjFedCol;
        stAdj.u8RestartWaitNum = 0;
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... ReStart ... ... \n");
    } else {
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... ReStart Config, Wait Num = %d... ... \n", stAdj.u8RestartWaitNum);
    }
}

} // namespace

int LogicValAnaHandle_ArrPos(EN_MatePosArea enArea, EN_AdjConfigSta *penAreaCfg) {
    if (penAreaCfg == nullptr || !TvlInRange(enArea, kPosAreaNum)) {
        return 0;
    }
    return penAreaCfg[enArea] == enAdjCfgMain ? 1 : 0;
}

int LogicValAnaHandle_MoveRel(EN_AdjConfigSta enVerdictX, EN_AdjConfigSta enVerdictY,
                              EN_AdjConfigSta *penMovCfgY, EN_AdjConfigSta *penCorrSel,
                              EN_AnaHanStaRel enStaRel) {
    if (penMovCfgY == nullptr || penCorrSel == nullptr) {
        return 0;
    }
    const bool bWantedX = LogicCfgOn(enVerdictX);
    const bool bWantedY = LogicCfgOn(enVerdictY);
    const bool bAccepted =
        enStaRel == enStaRelAnd ? (bWantedX && bWantedY) : (bWantedX || bWantedY);
    if (bAccepted) {
        return 1;
    }
    *penCorrSel = enAdjCfgOff;
    // The auxiliary correction: X moved as wanted and the action declares an
    // auxiliary Y direction.
    if (enVerdictX != enAdjCfgOff &&
        (penMovCfgY[enMovPos] == enAdjCfgAux || penMovCfgY[enMovNeg] == enAdjCfgAux)) {
        *penCorrSel = enAdjCfgAux;
    }
    return 0;
}

int LogicValAnaHandle(ST_Logic *pstLogic) {
    if (pstLogic == nullptr || !LogicActModelValid(pstLogic->enFedAct, pstLogic->enFedModel)) {
        return 0;
    }
    ST_Logic &stLogic = *pstLogic;
    // The decision works on a copy: the configuration is never written.
    ST_ActManageUnit stUnit = stLogic.stActUnit[stLogic.enFedAct];
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("%s", kDumpBanner);

    const bool bArrived = LogicValAnaHandle_ArrPos(stAdj.stLogicDim.enArea, stUnit.enAreaCfg) == 1;
    const bool bAdjusting = stAdj.enAdj == enLogicAdjFedCol;
    if (bArrived && bAdjusting) {
        ArrivedWhileAdjusting(stLogic, stUnit);
    } else if (bArrived) {
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("... ... Arrive ... ... \n");
        LogicAdjEndNotify(stLogic, enLogicAdjFedWait);
    } else if (bAdjusting) {
        MissedWhileAdjusting(stLogic, stUnit);
    } else {
        MissedWhileWaiting(stAdj);
    }
    if (!g_stLogicStep.bInterrupted) {
        PrintDump(stLogic);
    }
    return 0;
}
