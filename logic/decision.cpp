// Analysis and decision: what the last vibration achieved, how the score
// moves, whether the motors are corrected and what the task does next.
#include "feeder/feeder.h"
#include "logic/logic.h"

#include <cstdio>

namespace {

const char *const kDumpBanner = "***************************************************************"
                                "************************************************\n";

bool Wanted(EN_AdjConfigSta enVerdict) {
    return enVerdict == enAdjCfgAux || enVerdict == enAdjCfgMain;
}

// The configuration of a movement class; a class outside the table is not wanted.
EN_AdjConfigSta MovVerdict(const EN_AdjConfigSta (&enMovCfg)[kMovClassNum],
                           EN_UnidRectMovClass enDire) {
    return TvlInRange(enDire, kMovClassNum) ? enMovCfg[enDire] : enAdjCfgOff;
}

void PrintMotWords(const char *pszLabel, const ST_Logic *pstLogic, EN_FeederMotParam enParam) {
    unsigned short u16Word[kVoiMotNum];
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        u16Word[mot] = FedVibrAdjRe(pstLogic->enFedAct, static_cast<EN_FeederVoiMot>(mot), enParam,
                                    pstLogic->enFedModel);
    }
    printf("%s: %d , %d , %d , %d  \n", pszLabel, u16Word[0], u16Word[1], u16Word[2], u16Word[3]);
}

void PrintDump(const ST_Logic *pstLogic) {
    const ST_LogicAdj &stAdj = pstLogic->stLogicAdj;
    const ST_LogicDim &stDim = stAdj.stLogicDim;
    const ST_MateInf &stMate = stAdj.stLogMateReco.stMateInf;
    printf("%s", kDumpBanner);
    printf("MateSta      : %d , %d \n", stDim.stMovX.enDire, stDim.stMovY.enDire);
    printf("Mate Area    : %d \n", stDim.enArea);
    printf("Mate Pos     : %f , %f \n", stMate.fPosX, stMate.fPosY);
    printf("Mate DispPos : %f , %f \n", stMate.fDispPosX, stMate.fDispPosY);
    printf("Adj Num      : %d \n", stAdj.u8AdjNum);
    PrintMotWords("Mot Amp      ", pstLogic, enFedMotAmp);
    PrintMotWords("Mot Fre      ", pstLogic, enFedMotFre);
    printf("%s", kDumpBanner);
}

void ArrivedWhileAdjusting(ST_Logic *pstLogic, const ST_ActManageUnit &stUnit) {
    ST_LogicAdj &stAdj = pstLogic->stLogicAdj;
    if (stAdj.u8AdjNum < stUnit.u8AdjNumMax) {
        ++stAdj.u8AdjNum;
    }
    stAdj.bMoveLatch = 0;
    if (stAdj.u8AdjNum >= stUnit.u8AdjSuccNum) {
        printf("... ... Adj Succ. Verif... ... \n");
        stAdj.u8AdjNum = 0;
        stAdj.enAdj = enLogicAdjVerifWait;
        return;
    }
    printf("... ... Arrive ... ... \n");
    stAdj.enAdj = enLogicAdjFedWait;
    LogicAdjEndNotify(pstLogic, enLogicAdjFedWait);
    stAdj.u8RestartWaitNum = 0;
}

void MissedWhileAdjusting(ST_Logic *pstLogic, ST_ActManageUnit &stUnit) {
    ST_LogicAdj &stAdj = pstLogic->stLogicAdj;
    const ST_LogicDim &stDim = stAdj.stLogicDim;
    const EN_AdjConfigSta enVerdictX = MovVerdict(stUnit.enMovCfgX, stDim.stMovX.enDire);
    const EN_AdjConfigSta enVerdictY = MovVerdict(stUnit.enMovCfgY, stDim.stMovY.enDire);
    EN_AdjConfigSta enCorrSel = enAdjCfgOff;

    LogicAdjEndNotify(pstLogic, enLogicAdjFedCol);
    if (LogicValAnaHandle_MoveRel(enVerdictX, enVerdictY, stUnit.enMovCfgY, &enCorrSel,
                                  stUnit.enStaRel) != 0) {
        printf("... ... Adj No... ... \n");
        if (stAdj.u8AdjNum >= stUnit.u8AdjSuccNum) {
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
        LogicMotColReport(LogicValAnaHandle_MotCol(pstLogic->enFedAct, stUnit, enCorrSel,
                                                   stDim.stMovX.bLarge, stDim.stMovY.bLarge,
                                                   pstLogic->enFedModel));
    } else {
        printf("... ... Mot Adj Wait... ... \n");
    }
}

void MissedWhileWaiting(ST_LogicAdj *pstAdj) {
    pstAdj->bMoveLatch = 0;
    ++pstAdj->u8RestartWaitNum;
    if (pstAdj->u8RestartWaitNum >= 3) {
        pstAdj->enAdj = enLogicAdjFedCol;
        pstAdj->u8RestartWaitNum = 0;
        printf("... ... ReStart ... ... \n");
    } else {
        printf("... ... ReStart Config, Wait Num = %d... ... \n", pstAdj->u8RestartWaitNum);
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
    const bool bWantedX = Wanted(enVerdictX);
    const bool bWantedY = Wanted(enVerdictY);
    const bool bAccepted =
        enStaRel == enStaRelAnd ? (bWantedX && bWantedY) : (bWantedX || bWantedY);
    if (bAccepted) {
        return 1;
    }
    if (penCorrSel == nullptr) {
        return 0;
    }
    *penCorrSel = enAdjCfgOff;
    // The auxiliary correction: X moved as wanted and the action declares an
    // auxiliary Y direction.
    if (enVerdictX != enAdjCfgOff && penMovCfgY != nullptr &&
        (penMovCfgY[enMovPos] == enAdjCfgAux || penMovCfgY[enMovNeg] == enAdjCfgAux)) {
        *penCorrSel = enAdjCfgAux;
    }
    return 0;
}

int LogicValAnaHandle(ST_Logic *pstLogic) {
    if (pstLogic == nullptr || !LogicActModelValid(pstLogic->enFedAct, pstLogic->enFedModel)) {
        return 0;
    }
    // The decision works on a copy: the configuration is never written.
    ST_ActManageUnit stUnit = pstLogic->stActUnit[pstLogic->enFedAct];
    ST_LogicAdj &stAdj = pstLogic->stLogicAdj;
    printf("%s", kDumpBanner);

    const bool bArrived = LogicValAnaHandle_ArrPos(stAdj.stLogicDim.enArea, stUnit.enAreaCfg) == 1;
    const bool bAdjusting = stAdj.enAdj == enLogicAdjFedCol;
    if (bArrived && bAdjusting) {
        ArrivedWhileAdjusting(pstLogic, stUnit);
    } else if (bArrived) {
        printf("... ... Arrive ... ... \n");
        LogicAdjEndNotify(pstLogic, enLogicAdjFedWait);
    } else if (bAdjusting) {
        MissedWhileAdjusting(pstLogic, stUnit);
    } else {
        MissedWhileWaiting(&stAdj);
    }
    PrintDump(pstLogic);
    return 0;
}
