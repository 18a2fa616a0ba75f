// Logic initialisation, the host's five tunable parameters, the Y-band
// compensation and model detection.
#include "logic/internal.h"

#include <cstdio>
#include <initializer_list>

namespace {

void ClearHeaderAndUnits(ST_Logic &stLogic) {
    stLogic.tAdjRestart = 0;
    stLogic.enFedModel = enFedKav;
    for (int model = 0; model < kFedModelNum; ++model) {
        stLogic.u16FedRunTim[model] = 0;
        g_bFedModelSeeded[model] = false;
        stLogic.stPixValArea[model] = ST_VisionPixValArea{};
    }
    stLogic.enLogicTaskSta = static_cast<EN_LogicTaskSta>(0);
    stLogic.enFedAct = enFedAct0;
    for (ST_ActManageUnit &stUnit : stLogic.stActUnit) {
        stUnit = ST_ActManageUnit{};
    }
}

// Every initialisation starts the adjustment as the first one after load does.
void ResetAdjustment(ST_Logic &stLogic) {
    ST_LogicAdj &stAdj = stLogic.stLogicAdj;
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
    stLogic.pfnLogicAdjEnd = nullptr;
}

bool CurrentValid(const ST_Logic &stLogic) {
    return LogicActModelValid(stLogic.enFedAct, stLogic.enFedModel);
}

// The host's parameters belong to the action and model of a successful
// initialisation.
bool HostParamsValid(const ST_Logic &stLogic) {
    return LogicInitialised(stLogic) && CurrentValid(stLogic);
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
constexpr int kHostBoundNum = 4;
constexpr HostBoundWord kHostBoundWords[kHostBoundNum] = {
    {enFedMotAmp, enParamScopeInit},
    {enFedMotAmp, enParamScopeMax},
    {enFedMotFre, enParamScopeInit},
    {enFedMotFre, enParamScopeMax},
};

constexpr float kCompBandShift = 20.0F;

// The value model detection hands the vision sampler with a model's window.
constexpr double kVisSetValKav = 300.0;
constexpr double kVisSetValMor = 2000.0;

} // namespace

int LogicInit(ST_MateInf (*pfnCoordRe)(), int (*pfnFedCol)(ST_FedColC),
              int (*pfnAdjEnd)(EN_LogicAdjSta), int enModel, EN_FeederAct enAct) {
    ST_Logic &stLogic = g_stLogic;
    LogicStepInterrupt();
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("Logic Init\n");
    ClearHeaderAndUnits(stLogic);
    ResetAdjustment(stLogic);
    if (VisionInit() != 0) {
        return 0;
    }
    if (FeederInit() == 0) {
        return 0;
    }
    LogicActMovThrParamInit(&stLogic);
    LogicFedModParamInit(&stLogic);
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
    stLogic.enFedAct = enAct;
    // CONTRACT: verbatim host-visible text; do not "fix".
    // Printed twice, around storing the model.
    printf("FedMod = %d\n", enModel);
    stLogic.enFedModel = static_cast<EN_FeederModel>(enModel);
    printf("FedMod = %d\n", enModel);
    stLogic.enLogicTaskSta = enLogicTaskAdj;
    LogicParamSetEnd();
    return 1;
}

int LogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax, unsigned short u16FreInit,
                  unsigned short u16FreMax, unsigned short u16FedRunTim) {
    ST_Logic &stLogic = g_stLogic;
    if (!HostParamsValid(stLogic)) {
        return 0;
    }
    const unsigned short u16Bound[kHostBoundNum] = {u16AmpInit, u16AmpMax, u16FreInit, u16FreMax};
    for (int pos = 0; pos < kHostBoundNum; ++pos) {
        FedParamSet(stLogic.enFedAct, kHostBoundWords[pos].enParam, enFedMotWorkMain,
                    kHostBoundWords[pos].enScope, u16Bound[pos], stLogic.enFedModel);
    }
    stLogic.u16FedRunTim[stLogic.enFedModel] = u16FedRunTim;
    LogicParamSetEnd();
    return 0;
}

int LogicParamRe(unsigned short *pu16AmpInit, unsigned short *pu16AmpMax,
                 unsigned short *pu16FreInit, unsigned short *pu16FreMax,
                 unsigned short *pu16FedRunTim) {
    const ST_Logic &stLogic = g_stLogic;
    unsigned short *pu16Bound[kHostBoundNum] = {pu16AmpInit, pu16AmpMax, pu16FreInit, pu16FreMax};
    for (const unsigned short *pu16 : pu16Bound) {
        if (pu16 == nullptr) {
            return 0;
        }
    }
    if (pu16FedRunTim == nullptr) {
        return 0;
    }
    const bool bValid = HostParamsValid(stLogic);
    for (int pos = 0; pos < kHostBoundNum; ++pos) {
        *pu16Bound[pos] =
            bValid ? FedParamRe(stLogic.enFedAct, kHostBoundWords[pos].enParam, enFedMotWorkMain,
                                kHostBoundWords[pos].enScope, stLogic.enFedModel)
                   : 0;
    }
    *pu16FedRunTim = bValid ? stLogic.u16FedRunTim[stLogic.enFedModel] : 0;
    return 0;
}

int LogicParamSetEnd() {
    ST_Logic &stLogic = g_stLogic;
    if (!CurrentValid(stLogic)) {
        return 0;
    }
    const ST_ActManageUnit &stUnit = stLogic.stActUnit[stLogic.enFedAct];
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        const EN_AdjConfigSta enCfg = stUnit.enMotCfg[mot];
        if (LogicCfgOn(enCfg)) {
            FedParamSetAnewInit(stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot),
                                LogicMotWorkType(enCfg), stLogic.enFedModel);
        }
    }
    g_bFedModelSeeded[stLogic.enFedModel] = true;
    return 0;
}

// CONTRACT: exported for hosts; no caller inside the library.
int LogicFedCompDis() {
    ST_Logic &stLogic = g_stLogic;
    if (!CurrentValid(stLogic)) {
        return 0;
    }
    ST_ActManageUnit &stUnit = stLogic.stActUnit[stLogic.enFedAct];
    ST_ActThres &stThresY = stUnit.stThresY[stLogic.enFedModel];
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
                FedParamSetClearInit(stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot),
                                     stLogic.enFedModel);
            }
        }
    }
    return 0;
}

// CONTRACT: exported for hosts; no caller inside the library.
// Registered with the vision sampler, which never calls it.
int Logic_VisFedModCof_Cb(float fX, float fY) {
    ST_Logic &stLogic = g_stLogic;
    // CONTRACT: verbatim host-visible text; do not "fix".
    printf("=======Fed X = %f====== \n", fX);
    printf("=======Fed Y = %f====== \n", fY);
    if (InWindow(fX, fY, stLogic.stPixValArea[enFedKav])) {
        stLogic.enFedModel = enFedKav;
        VisionSet(&stLogic.stPixValArea[enFedKav], kVisSetValKav);
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("=======Fed Mod -> Kav====== \n");
    } else if (InWindow(fX, fY, stLogic.stPixValArea[enFedMor])) {
        stLogic.enFedModel = enFedMor;
        VisionSet(&stLogic.stPixValArea[enFedMor], kVisSetValMor);
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("=======Fed Mod -> Mor====== \n");
    } else {
        stLogic.enFedModel = enFedNoMod;
        // CONTRACT: verbatim host-visible text; do not "fix".
        printf("=======Fed No Mod====== \n");
        return 0;
    }
    // A model first selected here starts from its initial values, as the one
    // initialised did.
    if (!g_bFedModelSeeded[stLogic.enFedModel]) {
        LogicParamSetEnd();
    }
    return 0;
}
