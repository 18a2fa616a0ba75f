// Feeder commands, the bounded stepping of a motor word and the backlight.
#include "feeder/store.h"

#include <cstddef>

static_assert(sizeof(ST_FedColC) == 40, "the feeder command is 40 bytes");
static_assert(offsetof(ST_FedColC, enAct) == 0, "action in bytes 0-3");
static_assert(offsetof(ST_FedColC, u16MotParam) == 4, "motor words in bytes 4-35");
static_assert(offsetof(ST_FedColC, u16RunTim) == 36, "run time in bytes 36-37");

namespace {

int (*pfnFedCol)(ST_FedColC) = nullptr;

// Stores the PWM value only within the block's limits.
void FedBacklightPwmCheck(ST_VoiMotActMag *pstMag, unsigned short u16Pwm) {
    if (pstMag->u16BackLightPwmMin <= u16Pwm && u16Pwm <= pstMag->u16BackLightPwmMax) {
        pstMag->u16BackLightPwm = u16Pwm;
    }
}

} // namespace

void FeederReset() {
    for (ST_VoiMotActMag &stMag : g_stFedParam) {
        stMag = ST_VoiMotActMag{};
    }
    pfnFedCol = nullptr;
}

int FedColRegister(int (*pfnCb)(ST_FedColC)) {
    if (pfnCb != nullptr) {
        pfnFedCol = pfnCb;
    }
    return 0;
}

int FedVibEnCol(EN_FeederAct enAct, unsigned short u16RunTim, EN_FeederModel enModel) {
    const ST_VoiMotActParam *pstAct = FedActParam(enAct, enModel);
    if (pstAct == nullptr || pfnFedCol == nullptr) {
        return 0;
    }
    ST_FedColC stCmd{};
    stCmd.enAct = enAct;
    FedMotWordsCopy(stCmd.u16MotParam, pstAct->u16MotParam);
    stCmd.u16RunTim = u16RunTim;
    pfnFedCol(stCmd);
    return 1;
}

int FedVibrAdj(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FedMotWorkType enWork,
               EN_FeederMotParam enParam, EN_ParamAdjDire enDire, unsigned short u16Step,
               EN_FeederModel enModel) {
    const ST_VoiMotParamInf *pstInf = FedBoundEntry(enAct, enParam, enWork, enModel);
    unsigned short *pu16Mot = FedMotWords(enAct, enMot, enModel);
    if (pstInf == nullptr || pu16Mot == nullptr) {
        return 0;
    }
    return FedVibrAdj_ValCal(&pu16Mot[enParam], u16Step, *pstInf, enDire);
}

int FedVibrAdj_ValCal(unsigned short *pu16Val, unsigned short u16Step, ST_VoiMotParamInf stInf,
                      EN_ParamAdjDire enDire) {
    if (pu16Val == nullptr) {
        return 0;
    }
    const unsigned uVal = *pu16Val;
    switch (enDire) {
    case enParamAdjUp:
        // Formed in a wider type: a sum above 65535 is above any maximum.
        if (uVal + u16Step <= stInf.u16Max) {
            *pu16Val = static_cast<unsigned short>(uVal + u16Step);
            return 1;
        }
        break;
    case enParamAdjDown:
        if (uVal >= u16Step && uVal - u16Step >= stInf.u16Min) {
            *pu16Val = static_cast<unsigned short>(uVal - u16Step);
            return 1;
        }
        break;
    default:
        return 1;
    }
    // A step that would leave the bounds falls back to the initial value.
    *pu16Val = stInf.u16Init;
    return 0;
}

// CONTRACT: exported for hosts; no caller inside the library.
int FedBacklightCol(EN_BackLightSta enSta, unsigned short u16Val, unsigned short u16Pwm,
                    EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr) {
        return 0;
    }
    FedBacklightPwmCheck(pstMag, u16Pwm);
    pstMag->u16BackLightVal = u16Val;
    pstMag->u16BackLightSta = static_cast<unsigned short>(enSta);
    return 1;
}

// CONTRACT: exported for hosts; no caller inside the library.
int FedBacklightPWMCol(unsigned short u16Pwm, EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr) {
        return 0;
    }
    FedBacklightPwmCheck(pstMag, u16Pwm);
    return 1;
}

// CONTRACT: exported for hosts; no caller inside the library.
unsigned short FedBacklightStaRe(EN_FeederModel enModel) {
    const ST_VoiMotActMag *pstMag = FedBlock(enModel);
    return pstMag == nullptr ? 0 : pstMag->u16BackLightStaRe;
}
