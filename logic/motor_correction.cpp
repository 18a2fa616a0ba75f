// Motor correction: frequency and amplitude of each corrected motor sweep
// their ranges like the two digits of a counter, frequency the faster digit.
#include "logic/internal.h"

#include <cstdio>

namespace {

// Raises the frequency; when it falls back, raises the amplitude instead.
// Returns 0 when both fell back to their initial values.
int StepMotor(EN_FeederAct enAct, int mot, EN_FedMotWorkType enWork, unsigned short u16FreStep,
              unsigned short u16AmpStep, EN_FeederModel enModel) {
    const auto enMot = static_cast<EN_FeederVoiMot>(mot);
    if (FedVibrAdj(enAct, enMot, enWork, enFedMotFre, enParamAdjUp, u16FreStep, enModel) != 0) {
        return 1;
    }
    return FedVibrAdj(enAct, enMot, enWork, enFedMotAmp, enParamAdjUp, u16AmpStep, enModel);
}

} // namespace

int LogicValAnaHandle_MotCol(EN_FeederAct enAct, ST_ActManageUnit stUnit, EN_AdjConfigSta enCorrSel,
                             int bLargeX, int bLargeY, EN_FeederModel enModel) {
    if (!LogicActModelValid(enAct, enModel)) {
        return 0;
    }
    const unsigned char *pu8Step = stUnit.u8AdjStep[enModel];
    unsigned short u16FreStep = pu8Step[kStepFre];
    const unsigned short u16AmpStep = pu8Step[kStepAmp];
    const unsigned short u16AuxAmpStep =
        stUnit.bAuxAmpStep == 1 ? pu8Step[kStepAuxAmp] : pu8Step[kStepAmp];

    int iResult = 1;
    if (enCorrSel == enAdjCfgOff) {
        if (bLargeX == 1 || bLargeY == 1) {
            u16FreStep = pu8Step[kStepFreLarge];
        }
        for (int mot = 0; mot < kVoiMotNum; ++mot) {
            const EN_AdjConfigSta enCfg = stUnit.enMotCfg[mot];
            if (!LogicCfgOn(enCfg)) {
                continue;
            }
            const unsigned short u16Amp = enCfg == enAdjCfgAux ? u16AuxAmpStep : u16AmpStep;
            if (StepMotor(enAct, mot, LogicMotWorkType(enCfg), u16FreStep, u16Amp, enModel) == 0) {
                // CONTRACT: verbatim host-visible text; do not "fix".
                printf("Act Param Adj Fail,Act: %d \n", static_cast<int>(enAct));
                iResult = 0;
            }
        }
        return iResult;
    }
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        if (stUnit.enMotCfg[mot] == enAdjCfgAux) {
            iResult = FedVibrAdj(enAct, static_cast<EN_FeederVoiMot>(mot), enFedMotWorkAux,
                                 enFedMotAmp, enParamAdjUp, u16AuxAmpStep, enModel);
        }
    }
    return iResult;
}
