// The feeder parameter store: one block per model and plain accessors. Every
// index is checked, so no accessor reads or writes outside the store.
#include "base/range.h"
#include "feeder/store.h"

ST_VoiMotActMag g_stFedParam[kFedModelNum];

namespace {

unsigned short *ScopeWord(ST_VoiMotParamInf *pstInf, EN_ParamScopeSet enScope) {
    switch (enScope) {
    case enParamScopeInit:
        return &pstInf->u16Init;
    case enParamScopeMin:
        return &pstInf->u16Min;
    case enParamScopeMax:
        return &pstInf->u16Max;
    }
    return nullptr;
}

unsigned short *FedScopeWord(EN_FeederAct enAct, EN_FeederMotParam enParam,
                             EN_FedMotWorkType enWork, EN_ParamScopeSet enScope,
                             EN_FeederModel enModel) {
    ST_VoiMotParamInf *pstInf = FedBoundEntry(enAct, enParam, enWork, enModel);
    return pstInf == nullptr ? nullptr : ScopeWord(pstInf, enScope);
}

} // namespace

ST_VoiMotActMag *FedBlock(EN_FeederModel enModel) {
    return TvlInRange(enModel, kFedModelNum) ? &g_stFedParam[enModel] : nullptr;
}

ST_VoiMotParamInf *FedBoundEntry(EN_FeederAct enAct, EN_FeederMotParam enParam,
                                 EN_FedMotWorkType enWork, EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr || !TvlInRange(enAct, kFedActNum) ||
        !TvlInRange(enParam, kFedMotParamNum) || !TvlInRange(enWork, kFedWorkTypeNum)) {
        return nullptr;
    }
    return &pstMag->stParamInf[enAct][enParam][enWork];
}

ST_VoiMotActParam *FedActParam(EN_FeederAct enAct, EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr || !TvlInRange(enAct, kFedActNum)) {
        return nullptr;
    }
    return &pstMag->stActParam[enAct];
}

unsigned short *FedMotWords(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FeederModel enModel) {
    ST_VoiMotActParam *pstAct = FedActParam(enAct, enModel);
    if (pstAct == nullptr || !TvlInRange(enMot, kVoiMotNum)) {
        return nullptr;
    }
    return pstAct->u16MotParam[enMot];
}

unsigned short FedParamRe(EN_FeederAct enAct, EN_FeederMotParam enParam, EN_FedMotWorkType enWork,
                          EN_ParamScopeSet enScope, EN_FeederModel enModel) {
    const unsigned short *pu16Word = FedScopeWord(enAct, enParam, enWork, enScope, enModel);
    return pu16Word == nullptr ? 0 : *pu16Word;
}

int FedParamSet(EN_FeederAct enAct, EN_FeederMotParam enParam, EN_FedMotWorkType enWork,
                EN_ParamScopeSet enScope, unsigned short u16Val, EN_FeederModel enModel) {
    unsigned short *pu16Word = FedScopeWord(enAct, enParam, enWork, enScope, enModel);
    if (pu16Word != nullptr) {
        *pu16Word = u16Val;
    }
    return 0;
}

unsigned short FedDuartTimRe(EN_FeederAct enAct, EN_FeederModel enModel) {
    const ST_VoiMotActParam *pstAct = FedActParam(enAct, enModel);
    return pstAct == nullptr ? 0 : pstAct->u16DuartTim;
}

// CONTRACT: exported for hosts; no caller inside the library.
int FedDuartTimAdj(EN_FeederAct enAct, unsigned short u16Val, EN_FeederModel enModel) {
    ST_VoiMotActParam *pstAct = FedActParam(enAct, enModel);
    if (pstAct == nullptr) {
        return 0;
    }
    pstAct->u16DuartTim = u16Val;
    return 1;
}

unsigned short FedVibrAdjRe(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FeederMotParam enParam,
                            EN_FeederModel enModel) {
    const unsigned short *pu16Mot = FedMotWords(enAct, enMot, enModel);
    if (pu16Mot == nullptr || !TvlInRange(enParam, kFedMotParamNum)) {
        return 0;
    }
    return pu16Mot[enParam];
}

int FedParamSetAnewInit(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FedMotWorkType enWork,
                        EN_FeederModel enModel) {
    unsigned short *pu16Mot = FedMotWords(enAct, enMot, enModel);
    if (pu16Mot == nullptr || !TvlInRange(enWork, kFedWorkTypeNum)) {
        return 0;
    }
    for (int param = 0; param < kFedMotParamNum; ++param) {
        pu16Mot[param] = g_stFedParam[enModel].stParamInf[enAct][param][enWork].u16Init;
    }
    return 1;
}

int FedParamSetClearInit(EN_FeederAct enAct, EN_FeederVoiMot enMot, EN_FeederModel enModel) {
    unsigned short *pu16Mot = FedMotWords(enAct, enMot, enModel);
    if (pu16Mot == nullptr) {
        return 0;
    }
    for (int param = 0; param < kFedMotParamNum; ++param) {
        pu16Mot[param] = 0;
    }
    return 1;
}

// CONTRACT: exported for hosts; no caller inside the library.
int FeederConfig_AM(unsigned short *pu16Bounds, EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr || pu16Bounds == nullptr) {
        return 0;
    }
    // Word k is scope k mod 3 of entry k / 3; entry e = (action x 4 + parameter) x 2 + work type.
    for (int word = 0; word < kFedBoundTableLen; ++word) {
        const int entry = word / kParamScopeNum;
        const int work = entry % kFedWorkTypeNum;
        const int param = (entry / kFedWorkTypeNum) % kFedMotParamNum;
        const int act = entry / (kFedWorkTypeNum * kFedMotParamNum);
        *ScopeWord(&pstMag->stParamInf[act][param][work],
                   static_cast<EN_ParamScopeSet>(word % kParamScopeNum)) = pu16Bounds[word];
    }
    return 0;
}

// CONTRACT: exported for hosts; no caller inside the library.
unsigned short FedVibStaRe(EN_FeederModel enModel) {
    const ST_VoiMotActMag *pstMag = FedBlock(enModel);
    return pstMag == nullptr ? 0 : pstMag->u16VibSta;
}

// CONTRACT: exported for hosts; no caller inside the library.
int FedVibDisCol(EN_FeederModel enModel) {
    ST_VoiMotActMag *pstMag = FedBlock(enModel);
    if (pstMag == nullptr) {
        return 0;
    }
    pstMag->u16VibDis = 1;
    return 1;
}
