// Feeder parameters and commands: one parameter block per feeder model, the
// factory defaults, the feeder command and the bounded stepping of a motor word.
#ifndef TAVREL_FEEDER_H
#define TAVREL_FEEDER_H

#include "base/export.h"
#include "base/ids.h"

enum EN_FeederMotParam : int { enFedMotAmp = 0, enFedMotFre, enFedMotPhase, enFedMotMode };

enum EN_FedMotWorkType : int { enFedMotWorkMain = 0, enFedMotWorkAux = 1 };

enum EN_ParamScopeSet : int { enParamScopeInit = 0, enParamScopeMin, enParamScopeMax };

enum EN_ParamAdjDire : int { enParamAdjUp = 0, enParamAdjDown = 1 };

// The host and the feeder give these their meaning; the library only stores them.
enum EN_BackLightSta : int { enBackLightOff = 0, enBackLightOn = 1 };

enum { kFedMotParamNum = 4, kFedWorkTypeNum = 2, kParamScopeNum = 3 };

// Bounds of one motor parameter, both inclusive.
struct ST_VoiMotParamInf {
    unsigned short u16Init;
    unsigned short u16Min;
    unsigned short u16Max;
};

struct ST_VoiMotActParam {
    unsigned short u16MotParam[kVoiMotNum][kFedMotParamNum]; // [motor][parameter]
    unsigned short u16DuartTim;
};

enum { kFedReserve1Len = 6, kFedReserve2Len = 264 };

// The parameter block of one feeder model.
struct ST_VoiMotActMag {
    ST_VoiMotActParam stActParam[kFedActNum];
    unsigned short u16Reserve1[kFedReserve1Len];
    ST_VoiMotParamInf stParamInf[kFedActNum][kFedMotParamNum][kFedWorkTypeNum];
    unsigned short u16Reserve2[kFedReserve2Len];
    unsigned short u16BackLightSta;
    unsigned short u16BackLightStaRe;
    unsigned short u16BackLightPwm;
    unsigned short u16BackLightVal;
    unsigned short u16BackLightPwmMin;
    unsigned short u16BackLightPwmMax;
    unsigned short u16VibDis;
    unsigned short u16VibSta;
};

// Words in the bound table FeederConfig_AM takes: every entry of stParamInf.
enum { kFedBoundTableLen = kFedActNum * kFedMotParamNum * kFedWorkTypeNum * kParamScopeNum };

extern ST_VoiMotActMag g_stFedParam[kFedModelNum];

// The feeder command; crosses to the host, so its layout is fixed.
struct ST_FedColC {
    EN_FeederAct enAct;
    unsigned short u16MotParam[kVoiMotNum][kFedMotParamNum];
    unsigned short u16RunTim;
};

// Copies the sixteen motor words of a command or an action, motor-major.
inline void FedMotWordsCopy(unsigned short (&u16Dst)[kVoiMotNum][kFedMotParamNum],
                            const unsigned short (&u16Src)[kVoiMotNum][kFedMotParamNum]) {
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            u16Dst[mot][param] = u16Src[mot][param];
        }
    }
}

// Every parameter block and the command sink back to their state at load.
void FeederReset();

// Parameter store.
TVL_API unsigned short FedParamRe(EN_FeederAct enAct, EN_FeederMotParam enParam,
                                  EN_FedMotWorkType enWork, EN_ParamScopeSet enScope,
                                  EN_FeederModel enModel);
TVL_API int FedParamSet(EN_FeederAct enAct, EN_FeederMotParam enParam, EN_FedMotWorkType enWork,
                        EN_ParamScopeSet enScope, unsigned short u16Val, EN_FeederModel enModel);
TVL_API unsigned short FedDuartTimRe(EN_FeederAct enAct, EN_FeederModel enModel);
TVL_API int FedDuartTimAdj(EN_FeederAct enAct, unsigned short u16Val, EN_FeederModel enModel);
TVL_API unsigned short FedVibrAdjRe(EN_FeederAct enAct, EN_FeederVoiMot enMot,
                                    EN_FeederMotParam enParam, EN_FeederModel enModel);
TVL_API int FedParamSetAnewInit(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FedMotWorkType enWork,
                                EN_FeederModel enModel);
TVL_API int FedParamSetClearInit(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FeederModel enModel);
TVL_API int FeederConfig_AM(unsigned short *pu16Bounds, EN_FeederModel enModel);
TVL_API unsigned short FedVibStaRe(EN_FeederModel enModel);
TVL_API int FedVibDisCol(EN_FeederModel enModel);

// Model defaults.
TVL_API int FeederInit();
TVL_API int FedKavParamInit(ST_VoiMotActMag *pstMag);
TVL_API int FedKavParamSetInit(ST_VoiMotActMag *pstMag);
TVL_API int FedMorParamInit(ST_VoiMotActMag *pstMag);
TVL_API int FedMorParamSetInit(ST_VoiMotActMag *pstMag);
TVL_API int FedTusParamInit(ST_VoiMotActMag *pstMag);
TVL_API int FedTusParamSetInit(ST_VoiMotActMag *pstMag);
TVL_API int FeederTask();

// Commands and stepping.
TVL_API int FedColRegister(int (*pfnCb)(ST_FedColC));
TVL_API int FedVibEnCol(EN_FeederAct enAct, unsigned short u16RunTim, EN_FeederModel enModel);
TVL_API int FedVibrAdj(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FedMotWorkType enWork,
                       EN_FeederMotParam enParam, EN_ParamAdjDire enDire, unsigned short u16Step,
                       EN_FeederModel enModel);
TVL_API int FedVibrAdj_ValCal(unsigned short *pu16Val, unsigned short u16Step,
                              ST_VoiMotParamInf stInf, EN_ParamAdjDire enDire);
TVL_API int FedBacklightCol(EN_BackLightSta enSta, unsigned short u16Val, unsigned short u16Pwm,
                            EN_FeederModel enModel);
TVL_API int FedBacklightPWMCol(unsigned short u16Pwm, EN_FeederModel enModel);
TVL_API unsigned short FedBacklightStaRe(EN_FeederModel enModel);

#endif
