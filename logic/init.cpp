// Logic initialisation, the host's five tunable parameters, the Y-band
// compensation and model detection.
#include "feeder/feeder.h"
#include "logic/logic.h"

#include <cstdio>
#include <initializer_list>

namespace {

void ClearHeaderAndUnits() {
    g_stLogic.tAdjRestart = 0;
    g_stLogic.enFedModel = enFedKav;
    for (int model = 0; model < kFedModelNum; ++model) {
        g_stLogic.u16FedRunTim[model] = 0;
        g_stLogic.stPixValArea[model] = ST_VisionPixValArea{};
    }
    g_stLogic.enLogicTaskSta = static_cast<EN_LogicTaskSta>(0);
    g_stLogic.enFedAct = enFedAct0;
    for (ST_ActManageUnit &stUnit : g_stLogic.stActUnit) {
        stUnit = ST_ActManageUnit{};
    }
}

// Every initialisation starts the adjustment as the first one after load does.
void ResetAdjustment() {
    ST_LogicAdj &stAdj = g_stLogic.stLogicAdj;
    stAdj.u8VanishNum = 0;
    stAdj.u8AdjNum = 0;
    stAdj.u8RestartWaitNum = 0;
    stAdj.enAdj = enLogicAdjNull;
    stAdj.bMoveLatch = 0;
    stAdj.stMoveLatch[0] = ST_MateMov{};
    stAdj.stMoveLatch[1] = ST_MateMov{};
    stAdj.stLogMateReco.bNewMate = 0;
    stAdj.stLogMateReco.tLastMate = 0;
    stAdj.stLogMateReco.u8Reserve = 0;
    stAdj.stLogMateReco.stMateInf = ST_MateInf{};
    g_stLogic.pfnLogicAdjEnd = nullptr;
}

bool CurrentValid() {
    return LogicActModelValid(g_stLogic.enFedAct, g_stLogic.enFedModel);
}

bool InWindow(float fX, float fY, const ST_VisionPixValArea &stArea) {
    return static_cast<float>(stArea.u16AreaXMin) <= fX &&
           fX <= static_cast<float>(stArea.u16AreaXMax) &&
           static_cast<float>(stArea.u16AreaYMin) <= fY &&
           fY <= static_cast<float>(stArea.u16AreaYMax);
}

// The host parameters: bound words of the main motors of the current action.
struct HostBoundWord {
    EN_FeederMotParam enParam;
    EN_ParamScopeSet enScope;
};
constexpr HostBoundWord kHostBoundWords[4] = {
    {enFedMotAmp, enParamScopeInit},
    {enFedMotAmp, enParamScopeMax},
    {enFedMotFre, enParamScopeInit},
    {enFedMotFre, enParamScopeMax},
};

constexpr float kCompBandShift = 20.0F;

} // namespace

int LogicInit(ST_MateInf (*pfnCoordRe)(), int (*pfnFedCol)(ST_FedColC),
              int (*pfnAdjEnd)(EN_LogicAdjSta), int enModel, EN_FeederAct enAct) {
    printf("Logic Init\n");
    ClearHeaderAndUnits();
    ResetAdjustment();
    if (VisionInit() != 0) {
        return 0;
    }
    if (FeederInit() == 0) {
        return 0;
    }
    LogicActMovThrParamInit(&g_stLogic);
    LogicFedModParamInit(&g_stLogic);
    VisionImageHandSucCb_Register(Logic_Vision_Cb);
    VisionFedModConfigCb_Register(Logic_VisFedModCof_Cb);
    if (pfnCoordRe == nullptr) {
        return 0;
    }
    VisCoordReRegister(pfnCoordRe);
    if (pfnFedCol == nullptr) {
        return 0;
    }
    FedColRegister(pfnFedCol);
    if (pfnAdjEnd == nullptr) {
        return 0;
    }
    LogicAdjEndRegister(pfnAdjEnd);
    // Every later step indexes per-action and per-model tables with these.
    if (!TvlInRange(enAct, kFedActNum) || !TvlInRange(enModel, kFedModelNum)) {
        return 0;
    }
    g_stLogic.enFedAct = enAct;
    printf("FedMod = %d\n", enModel);
    g_stLogic.enFedModel = static_cast<EN_FeederModel>(enModel);
    printf("FedMod = %d\n", enModel);
    g_stLogic.enLogicTaskSta = enLogicTaskAdj;
    LogicParamSetEnd();
    return 1;
}

int LogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax, unsigned short u16FreInit,
                  unsigned short u16FreMax, unsigned short u16FedRunTim) {
    if (!CurrentValid()) {
        return 0;
    }
    const unsigned short u16Bound[4] = {u16AmpInit, u16AmpMax, u16FreInit, u16FreMax};
    for (int pos = 0; pos < 4; ++pos) {
        FedParamSet(g_stLogic.enFedAct, kHostBoundWords[pos].enParam, enFedMotWorkMain,
                    kHostBoundWords[pos].enScope, u16Bound[pos], g_stLogic.enFedModel);
    }
    g_stLogic.u16FedRunTim[g_stLogic.enFedModel] = u16FedRunTim;
    LogicParamSetEnd();
    return 0;
}

int LogicParamRe(unsigned short *pu16AmpInit, unsigned short *pu16AmpMax,
                 unsigned short *pu16FreInit, unsigned short *pu16FreMax,
                 unsigned short *pu16FedRunTim) {
    const bool bValid = CurrentValid();
    unsigned short *pu16Bound[4] = {pu16AmpInit, pu16AmpMax, pu16FreInit, pu16FreMax};
    for (int pos = 0; pos < 4; ++pos) {
        if (pu16Bound[pos] != nullptr) {
            *pu16Bound[pos] = bValid ? FedParamRe(g_stLogic.enFedAct, kHostBoundWords[pos].enParam,
                                                  enFedMotWorkMain, kHostBoundWords[pos].enScope,
                                                  g_stLogic.enFedModel)
                                     : 0;
        }
    }
    if (pu16FedRunTim != nullptr) {
        *pu16FedRunTim = bValid ? g_stLogic.u16FedRunTim[g_stLogic.enFedModel] : 0;
    }
    return 0;
}

int LogicParamSetEnd() {
    if (!CurrentValid()) {
        return 0;
    }
    const ST_ActManageUnit &stUnit = g_stLogic.stActUnit[g_stLogic.enFedAct];
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        const EN_AdjConfigSta enCfg = stUnit.enMotCfg[mot];
        if (enCfg == enAdjCfgAux || enCfg == enAdjCfgMain) {
            FedParamSetAnewInit(g_stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot),
                                enCfg == enAdjCfgAux ? enFedMotWorkAux : enFedMotWorkMain,
                                g_stLogic.enFedModel);
        }
    }
    return 0;
}

int LogicFedCompDis() {
    if (!CurrentValid()) {
        return 0;
    }
    ST_ActManageUnit &stUnit = g_stLogic.stActUnit[g_stLogic.enFedAct];
    ST_ActThres &stThresY = stUnit.stThresY[g_stLogic.enFedModel];
    for (const EN_UnidRectMovClass enCls : {enMovNone, enMovPos, enMovNeg}) {
        if (stUnit.enMovCfgY[enCls] != enAdjCfgAux) {
            continue;
        }
        stThresY.fBandLow =
            static_cast<float>(static_cast<double>(stThresY.fBandLow) + kCompBandShift);
        stThresY.fBandHigh =
            static_cast<float>(static_cast<double>(stThresY.fBandHigh) - kCompBandShift);
        for (int mot = 0; mot < kVoiMotNum; ++mot) {
            if (stUnit.enMotCfg[mot] == enAdjCfgAux) {
                stUnit.enMotCfg[mot] = enAdjCfgOff;
                FedParamSetClearInit(g_stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot),
                                     g_stLogic.enFedModel);
            }
        }
    }
    return 0;
}

int Logic_VisFedModCof_Cb(float fX, float fY) {
    printf("=======Fed X = %f====== \n", fX);
    printf("=======Fed Y = %f====== \n", fY);
    if (InWindow(fX, fY, g_stLogic.stPixValArea[enFedKav])) {
        g_stLogic.enFedModel = enFedKav;
        VisionSet(&g_stLogic.stPixValArea[enFedKav], 300.0);
        printf("=======Fed Mod -> Kav====== \n");
    } else if (InWindow(fX, fY, g_stLogic.stPixValArea[enFedMor])) {
        g_stLogic.enFedModel = enFedMor;
        VisionSet(&g_stLogic.stPixValArea[enFedMor], 2000.0);
        printf("=======Fed Mod -> Mor====== \n");
    } else {
        g_stLogic.enFedModel = enFedNoMod;
        printf("=======Fed No Mod====== \n");
    }
    return 0;
}
