// Factory configuration of the logic: what each feeder action must achieve and
// how it is tuned. The tables below read row by row like the design tables.
#include "logic/logic.h"

#include <initializer_list>

namespace {

constexpr EN_AdjConfigSta Off = enAdjCfgOff;
constexpr EN_AdjConfigSta Aux = enAdjCfgAux;
constexpr EN_AdjConfigSta Main = enAdjCfgMain;

// A set of areas as a bit mask, so a row can list its target areas.
constexpr unsigned Areas(std::initializer_list<int> areas) {
    unsigned uMask = 0;
    for (const int area : areas) {
        uMask |= 1U << static_cast<unsigned>(area);
    }
    return uMask;
}

// Thresholds: fPosMove, fPosLarge, fNegMove, fNegLarge, fExcess, fBandLow, fBandHigh.
constexpr ST_ActThres kBaseKavX = {3, 6, 3, 6, 30, 60, 130};
constexpr ST_ActThres kBaseMorX = {6, 12, 6, 12, 60, 100, 220};
constexpr ST_ActThres kBaseKavY = {3, 6, 3, 6, 30, 55, 100};
constexpr ST_ActThres kBaseMorY = {10, 16, 10, 16, 60, 80, 160};

// Step sizes per model (enFedKav, enFedMor, enFedTus); no action overrides them.
constexpr unsigned char kAdjStep[kFedModelNum][kAdjStepNum] = {
    // fre, amp, aux amp, fre large, spare 4, spare 5
    {1, 3, 1, 3, 5, 1},
    {1, 2, 1, 3, 5, 1},
    {1, 2, 1, 3, 5, 1},
};

// The score of an action: success count, ceiling, below which misses correct
// the motors, and the decrement of a miss.
struct ActCounters {
    unsigned char u8AdjSuccNum;
    unsigned char u8AdjNumMax;
    unsigned char u8MotAdjNum;
    unsigned char u8AdjNumDec;
};

struct ActCfgRow {
    ActCounters stCounters;
    int bAuxAmpStep;
    unsigned uTargetAreas;
    EN_AdjConfigSta enMotCfg[kVoiMotNum];
    EN_AnaHanStaRel enStaRel;
    EN_AdjConfigSta enMovCfgX[kMovClassNum]; // none, pos, neg, excess
    EN_AdjConfigSta enMovCfgY[kMovClassNum];
};

// clang-format off
constexpr ActCfgRow kActCfg[kFedActNum] = {
    /*  0 */ {{6, 8, 4, 2}, 0, Areas({5, 6, 7}),                {Off, Off, Main, Main},   enStaRelAnd, {Off, Main, Off, Off},  {Main, Off, Off, Off}},
    /*  1 */ {{6, 8, 4, 2}, 1, Areas({7}),                      {Aux, Off, Main, Off},    enStaRelAnd, {Off, Main, Off, Off},  {Off, Aux, Off, Off}},
    /*  2 */ {{6, 8, 4, 2}, 1, Areas({6}),                      {Off, Aux, Off, Main},    enStaRelAnd, {Off, Main, Off, Off},  {Off, Off, Aux, Off}},
    /*  3 */ {{6, 8, 4, 2}, 0, Areas({2, 4, 7}),                {Main, Off, Main, Off},   enStaRelAnd, {Main, Off, Off, Off},  {Off, Main, Off, Off}},
    /*  4 */ {{6, 8, 4, 2}, 0, Areas({1, 3, 6}),                {Off, Main, Off, Main},   enStaRelAnd, {Main, Off, Off, Off},  {Off, Off, Main, Off}},
    /*  5 */ {{6, 8, 4, 2}, 0, Areas({0, 1, 2}),                {Main, Main, Off, Off},   enStaRelAnd, {Off, Off, Main, Off},  {Main, Off, Off, Off}},
    /*  6 */ {{6, 8, 4, 2}, 1, Areas({2}),                      {Main, Off, Aux, Off},    enStaRelAnd, {Off, Off, Main, Off},  {Off, Aux, Off, Off}},
    /*  7 */ {{6, 8, 4, 2}, 1, Areas({1}),                      {Off, Main, Off, Aux},    enStaRelAnd, {Off, Off, Main, Off},  {Off, Off, Aux, Off}},
    /*  8 */ {{3, 6, 3, 1}, 0, Areas({0, 1, 2, 3, 4, 5, 6, 7}), {Main, Main, Main, Main}, enStaRelOr,  {Off, Main, Main, Off}, {Off, Main, Main, Off}},
    /*  9 */ {{3, 6, 3, 1}, 0, Areas({3, 4, 5, 6, 7, 8}),       {Main, Main, Aux, Aux},   enStaRelAnd, {Off, Main, Off, Off},  {Main, Off, Off, Off}},
    /* 10 */ {{3, 6, 3, 1}, 0, Areas({0, 2, 4, 5, 7, 8}),       {Main, Aux, Main, Aux},   enStaRelAnd, {Main, Off, Off, Off},  {Off, Main, Off, Off}},
};

struct ActThresRow {
    ST_ActThres stKavX;
    ST_ActThres stMorX; // also enFedTus
    ST_ActThres stKavY;
    ST_ActThres stMorY; // also enFedTus
};

constexpr ActThresRow kActThres[kFedActNum] = {
    /*  0 */ {kBaseKavX,                      kBaseMorX,                         kBaseKavY,                      kBaseMorY},
    /*  1 */ {{3, 5, 3, 5, 30, 60, 130},      kBaseMorX,                         {2, 6, 2, 6, 30, 55, 100},      {4, 8, 4, 8, 60, 80, 160}},
    /*  2 */ {{3, 5, 3, 5, 30, 60, 130},      kBaseMorX,                         {2, 6, 2, 6, 30, 55, 100},      {4, 8, 4, 8, 60, 80, 160}},
    /*  3 */ {{3, 5, 3, 5, 30, 60, 130},      {10, 15, 10, 15, 60, 100, 220},    {3, 5, 3, 5, 30, 55, 100},      {8, 15, 8, 15, 60, 80, 160}},
    /*  4 */ {kBaseKavX,                      {10, 15, 10, 15, 60, 100, 220},    {3, 5, 4, 6, 30, 55, 100},      {8, 15, 8, 15, 60, 80, 160}},
    /*  5 */ {kBaseKavX,                      kBaseMorX,                         kBaseKavY,                      kBaseMorY},
    /*  6 */ {{3, 5, 3, 5, 30, 60, 130},      kBaseMorX,                         {2, 6, 2, 6, 30, 55, 100},      {4, 8, 4, 8, 60, 80, 160}},
    /*  7 */ {{3, 5, 3, 5, 30, 60, 130},      kBaseMorX,                         {2, 6, 2, 6, 30, 55, 100},      {4, 8, 4, 8, 60, 80, 160}},
    /*  8 */ {{6, 15, 6, 15, 30, 50, 140},    {8, 15, 8, 15, 60, 80, 240},       {6, 15, 6, 15, 30, 40, 110},    {8, 15, 8, 15, 60, 60, 180}},
    /*  9 */ {{5, 8, 5, 8, 30, 65, 130},      {12, 16, 12, 16, 60, 80, 130},     {6, 10, 6, 10, 30, 55, 100},    {15, 20, 15, 20, 60, 60, 100}},
    /* 10 */ {{8, 12, 8, 12, 30, 60, 130},    {15, 20, 15, 20, 60, 100, 220},    {5, 8, 5, 8, 30, 60, 100},      {12, 16, 12, 16, 60, 80, 160}},
};

// Tuning-vibration run time per model.
constexpr unsigned short kFedRunTim[kFedModelNum] = {300, 500, 500};

// Detection windows per model: u16PixVal (two words), X min, X max, Y min, Y max.
constexpr ST_VisionPixValArea kPixValArea[kFedModelNum] = {
    {{12, 15}, 100, 240, 130, 200},
    {{20, 40}, 300, 350, 200, 260},
    {{20, 40}, 300, 350, 200, 260},
};
// clang-format on

ST_ActManageUnit ActUnitFromRows(const ActCfgRow &stCfg, const ActThresRow &stThres) {
    ST_ActManageUnit stUnit{};
    stUnit.u8AdjSuccNum = stCfg.stCounters.u8AdjSuccNum;
    stUnit.u8AdjNumMax = stCfg.stCounters.u8AdjNumMax;
    stUnit.u8MotAdjNum = stCfg.stCounters.u8MotAdjNum;
    stUnit.u8AdjNumDec = stCfg.stCounters.u8AdjNumDec;
    stUnit.bAuxAmpStep = stCfg.bAuxAmpStep;
    for (int area = 0; area < kPosAreaNum; ++area) {
        const bool bTarget = ((stCfg.uTargetAreas >> area) & 1U) != 0;
        stUnit.enAreaCfg[area] = bTarget ? enAdjCfgMain : enAdjCfgOff;
    }
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        stUnit.enMotCfg[mot] = stCfg.enMotCfg[mot];
    }
    stUnit.enStaRel = stCfg.enStaRel;
    for (int cls = 0; cls < kMovClassNum; ++cls) {
        stUnit.enMovCfgX[cls] = stCfg.enMovCfgX[cls];
        stUnit.enMovCfgY[cls] = stCfg.enMovCfgY[cls];
    }
    stUnit.stThresX[enFedKav] = stThres.stKavX;
    stUnit.stThresX[enFedMor] = stThres.stMorX;
    stUnit.stThresX[enFedTus] = stThres.stMorX;
    stUnit.stThresY[enFedKav] = stThres.stKavY;
    stUnit.stThresY[enFedMor] = stThres.stMorY;
    stUnit.stThresY[enFedTus] = stThres.stMorY;
    for (int model = 0; model < kFedModelNum; ++model) {
        for (int step = 0; step < kAdjStepNum; ++step) {
            stUnit.u8AdjStep[model][step] = kAdjStep[model][step];
        }
    }
    return stUnit;
}

} // namespace

int LogicActMovThrParamInit(ST_Logic *pstLogic) {
    if (pstLogic == nullptr) {
        return 0;
    }
    for (int act = 0; act < kFedActNum; ++act) {
        pstLogic->stActUnit[act] = ActUnitFromRows(kActCfg[act], kActThres[act]);
    }
    return 1;
}

int LogicFedModParamInit(ST_Logic *pstLogic) {
    if (pstLogic == nullptr) {
        return 0;
    }
    for (int model = 0; model < kFedModelNum; ++model) {
        pstLogic->u16FedRunTim[model] = kFedRunTim[model];
        pstLogic->stPixValArea[model] = kPixValArea[model];
    }
    return 1;
}
