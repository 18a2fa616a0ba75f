// Factory parameters of the three feeder models, in two layers: a generic one,
// the same for every model, and a model layer that overwrites every duration
// and bound entry.
#include "feeder/feeder.h"

namespace {

// Bound entries as {initial, minimum, maximum}.
struct ModelBoundRow {
    ST_VoiMotParamInf stAmpMain;
    ST_VoiMotParamInf stAmpAux;
    ST_VoiMotParamInf stFreMain;
    ST_VoiMotParamInf stFreAux;
};

// clang-format off
constexpr unsigned short kDuartTim[kFedActNum] = {5000, 8000, 8000, 5000, 5000, 5000, 8000, 8000, 800, 1500, 1500};

// enFedKav (model 0)
constexpr ModelBoundRow kKavBounds[kFedActNum] = {
    //         amplitude main  amplitude aux   frequency main  frequency aux
    /*  0 */ {{40, 0, 80},    {40, 0, 80},    {70, 10, 80},   {70, 10, 80}},
    /*  1 */ {{40, 0, 80},    {3, 0, 18},     {68, 10, 80},   {68, 10, 80}},
    /*  2 */ {{40, 0, 80},    {3, 0, 18},     {68, 10, 80},   {68, 10, 80}},
    /*  3 */ {{30, 0, 80},    {30, 0, 80},    {60, 10, 80},   {60, 10, 80}},
    /*  4 */ {{30, 0, 80},    {30, 0, 80},    {60, 10, 80},   {60, 10, 80}},
    /*  5 */ {{40, 0, 80},    {40, 0, 80},    {70, 10, 80},   {70, 10, 80}},
    /*  6 */ {{40, 0, 80},    {3, 0, 18},     {70, 10, 80},   {70, 10, 80}},
    /*  7 */ {{40, 0, 80},    {3, 0, 18},     {70, 10, 80},   {70, 10, 80}},
    /*  8 */ {{10, 0, 30},    {10, 0, 30},    {45, 10, 50},   {45, 10, 50}},
    /*  9 */ {{58, 0, 65},    {58, 0, 65},    {50, 10, 55},   {50, 10, 55}},
    /* 10 */ {{20, 0, 60},    {20, 0, 60},    {55, 10, 65},   {55, 10, 65}},
};

// enFedMor and enFedTus (models 1 and 2 share the table)
constexpr ModelBoundRow kMorTusBounds[kFedActNum] = {
    //         amplitude main  amplitude aux   frequency main  frequency aux
    /*  0 */ {{65, 0, 100},   {65, 0, 100},   {27, 10, 34},   {27, 10, 34}},
    /*  1 */ {{85, 0, 100},   {20, 0, 30},    {27, 10, 34},   {27, 10, 34}},
    /*  2 */ {{85, 0, 100},   {20, 0, 30},    {27, 10, 34},   {27, 10, 34}},
    /*  3 */ {{80, 0, 100},   {80, 0, 100},   {27, 10, 35},   {27, 10, 35}},
    /*  4 */ {{80, 0, 100},   {80, 0, 100},   {27, 10, 35},   {27, 10, 35}},
    /*  5 */ {{65, 0, 100},   {65, 0, 100},   {27, 10, 34},   {27, 10, 34}},
    /*  6 */ {{85, 0, 100},   {20, 0, 30},    {27, 10, 34},   {27, 10, 34}},
    /*  7 */ {{85, 0, 100},   {20, 0, 30},    {27, 10, 34},   {27, 10, 34}},
    /*  8 */ {{45, 0, 50},    {45, 0, 50},    {25, 10, 30},   {25, 10, 30}},
    /*  9 */ {{25, 0, 35},    {25, 0, 35},    {22, 10, 27},   {22, 10, 27}},
    /* 10 */ {{33, 0, 45},    {33, 0, 45},    {16, 10, 23},   {16, 10, 23}},
};

// Phase, the same in every model: main and auxiliary start 180 degrees apart in actions 9 and 10.
constexpr ST_VoiMotParamInf kPhaseFlat = {0, 0, 0};
constexpr ST_VoiMotParamInf kPhaseBounds[kFedActNum][kFedWorkTypeNum] = {
    //        main            aux
    /*  0 */ {kPhaseFlat,     kPhaseFlat},
    /*  1 */ {kPhaseFlat,     kPhaseFlat},
    /*  2 */ {kPhaseFlat,     kPhaseFlat},
    /*  3 */ {kPhaseFlat,     kPhaseFlat},
    /*  4 */ {kPhaseFlat,     kPhaseFlat},
    /*  5 */ {kPhaseFlat,     kPhaseFlat},
    /*  6 */ {kPhaseFlat,     kPhaseFlat},
    /*  7 */ {kPhaseFlat,     kPhaseFlat},
    /*  8 */ {kPhaseFlat,     kPhaseFlat},
    /*  9 */ {{180, 0, 180},  {0, 0, 180}},
    /* 10 */ {{0, 0, 180},    {180, 0, 180}},
};

// Mode, every action and work type.
constexpr ST_VoiMotParamInf kModeBound = {1, 1, 1};

// The generic layer's wide bounds, per parameter: amplitude, frequency, phase, mode.
constexpr unsigned short kGenericDuartTim = 5000;
constexpr ST_VoiMotParamInf kGenericBounds[kFedMotParamNum] = {
    {0, 0, 80}, {0, 0, 80}, {0, 0, 359}, {0, 0, 3},
};
constexpr unsigned short kGenericPwmMin = 0;
constexpr unsigned short kGenericPwmMax = 100;
// clang-format on

int FedGenericParamInit(ST_VoiMotActMag *pstMag) {
    if (pstMag == nullptr) {
        return 0;
    }
    for (int act = 0; act < kFedActNum; ++act) {
        ST_VoiMotActParam &stAct = pstMag->stActParam[act];
        for (auto &u16Mot : stAct.u16MotParam) {
            for (unsigned short &u16Word : u16Mot) {
                u16Word = 0;
            }
        }
        stAct.u16DuartTim = kGenericDuartTim;
        for (int param = 0; param < kFedMotParamNum; ++param) {
            for (int work = 0; work < kFedWorkTypeNum; ++work) {
                pstMag->stParamInf[act][param][work] = kGenericBounds[param];
            }
        }
    }
    pstMag->u16BackLightPwmMin = kGenericPwmMin;
    pstMag->u16BackLightPwmMax = kGenericPwmMax;
    return 1;
}

int FedModelParamSetInit(ST_VoiMotActMag *pstMag, const ModelBoundRow (&stBounds)[kFedActNum]) {
    if (pstMag == nullptr) {
        return 0;
    }
    for (int act = 0; act < kFedActNum; ++act) {
        pstMag->stActParam[act].u16DuartTim = kDuartTim[act];
        ST_VoiMotParamInf(&stInf)[kFedMotParamNum][kFedWorkTypeNum] = pstMag->stParamInf[act];
        stInf[enFedMotAmp][enFedMotWorkMain] = stBounds[act].stAmpMain;
        stInf[enFedMotAmp][enFedMotWorkAux] = stBounds[act].stAmpAux;
        stInf[enFedMotFre][enFedMotWorkMain] = stBounds[act].stFreMain;
        stInf[enFedMotFre][enFedMotWorkAux] = stBounds[act].stFreAux;
        for (int work = 0; work < kFedWorkTypeNum; ++work) {
            stInf[enFedMotPhase][work] = kPhaseBounds[act][work];
            stInf[enFedMotMode][work] = kModeBound;
        }
    }
    return 1;
}

} // namespace

int FeederInit() {
    FedKavParamInit(&g_stFedParam[enFedKav]);
    FedMorParamInit(&g_stFedParam[enFedMor]);
    FedTusParamInit(&g_stFedParam[enFedTus]);
    FedKavParamSetInit(&g_stFedParam[enFedKav]);
    FedMorParamSetInit(&g_stFedParam[enFedMor]);
    FedTusParamSetInit(&g_stFedParam[enFedTus]);
    return 1;
}

int FedKavParamInit(ST_VoiMotActMag *pstMag) {
    return FedGenericParamInit(pstMag);
}

int FedMorParamInit(ST_VoiMotActMag *pstMag) {
    return FedGenericParamInit(pstMag);
}

int FedTusParamInit(ST_VoiMotActMag *pstMag) {
    return FedGenericParamInit(pstMag);
}

int FedKavParamSetInit(ST_VoiMotActMag *pstMag) {
    return FedModelParamSetInit(pstMag, kKavBounds);
}

int FedMorParamSetInit(ST_VoiMotActMag *pstMag) {
    return FedModelParamSetInit(pstMag, kMorTusBounds);
}

int FedTusParamSetInit(ST_VoiMotActMag *pstMag) {
    return FedModelParamSetInit(pstMag, kMorTusBounds);
}

// CONTRACT: exported for hosts; no caller inside the library.
int FeederTask() {
    return 1;
}
