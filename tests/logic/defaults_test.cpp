#include "tests/support.h"

#include <string>

namespace {

using Fresh = tvltest::Fresh;

// What each action must do, written as the grid it targets: for X band
// (rows low, middle, high) the Y bands (low, middle, high) that are targets.
struct ActionExpect {
    const char *targets; // 9 chars: XLo(YLo,YMid,YHi) XMid(...) XHi(...); 'T' marks a target
    unsigned char counters[4];
    int auxAmpStep;
    const char *motors; // per motor: '-' off, 'a' aux, 'M' main
    const char *movX;   // per class none, pos, neg, excess
    const char *movY;
    EN_AnaHanStaRel rel;
    float kavXPosLarge, morXPosLarge, kavYBandLow, morYBandHigh;
};

constexpr ActionExpect kExpect[kFedActNum] = {
    {"......TTT", {6, 8, 4, 2}, 0, "--MM", "-M--", "M---", enStaRelAnd, 6, 12, 55, 160},
    {"........T", {6, 8, 4, 2}, 1, "a-M-", "-M--", "-a--", enStaRelAnd, 5, 12, 55, 160},
    {"......T..", {6, 8, 4, 2}, 1, "-a-M", "-M--", "--a-", enStaRelAnd, 5, 12, 55, 160},
    {"..T..T..T", {6, 8, 4, 2}, 0, "M-M-", "M---", "-M--", enStaRelAnd, 5, 15, 55, 160},
    {"T..T..T..", {6, 8, 4, 2}, 0, "-M-M", "M---", "--M-", enStaRelAnd, 6, 15, 55, 160},
    {"TTT......", {6, 8, 4, 2}, 0, "MM--", "--M-", "M---", enStaRelAnd, 6, 12, 55, 160},
    {"..T......", {6, 8, 4, 2}, 1, "M-a-", "--M-", "-a--", enStaRelAnd, 5, 12, 55, 160},
    {"T........", {6, 8, 4, 2}, 1, "-M-a", "--M-", "--a-", enStaRelAnd, 5, 12, 55, 160},
    {"TTTT.TTTT", {3, 6, 3, 1}, 0, "MMMM", "-MM-", "-MM-", enStaRelOr, 15, 15, 40, 180},
    {"...TTTTTT", {3, 6, 3, 1}, 0, "MMaa", "-M--", "M---", enStaRelAnd, 8, 16, 55, 100},
    {".TT.TT.TT", {3, 6, 3, 1}, 0, "MaMa", "M---", "-M--", enStaRelAnd, 12, 20, 60, 160},
};

// Grid cell (X band, Y band) to area number.
constexpr EN_MatePosArea kCell[9] = {enPosXLoYLo,  enPosXLoYMid, enPosXLoYHi,
                                     enPosXMidYLo, enPosCentre,  enPosXMidYHi,
                                     enPosXHiYLo,  enPosXHiYMid, enPosXHiYHi};

char CfgChar(EN_AdjConfigSta enCfg) {
    return enCfg == enAdjCfgMain ? 'M' : enCfg == enAdjCfgAux ? 'a' : '-';
}

template <size_t N> std::string CfgString(const EN_AdjConfigSta (&enCfg)[N]) {
    std::string text;
    for (const EN_AdjConfigSta enEntry : enCfg) {
        text += CfgChar(enEntry);
    }
    return text;
}

TEST_F(Fresh, EveryActionCarriesItsConfiguration) {
    EXPECT_EQ(LogicActMovThrParamInit(&g_stLogic), 1);
    for (int act = 0; act < kFedActNum; ++act) {
        SCOPED_TRACE("action " + std::to_string(act));
        const ST_ActManageUnit &stUnit = g_stLogic.stActUnit[act];
        const ActionExpect &e = kExpect[act];
        std::string targets;
        for (const EN_MatePosArea enArea : kCell) {
            targets += stUnit.enAreaCfg[enArea] == enAdjCfgMain ? 'T' : '.';
        }
        EXPECT_EQ(targets, e.targets);
        EXPECT_EQ(stUnit.u8AdjSuccNum, e.counters[0]);
        EXPECT_EQ(stUnit.u8AdjNumMax, e.counters[1]);
        EXPECT_EQ(stUnit.u8MotAdjNum, e.counters[2]);
        EXPECT_EQ(stUnit.u8AdjNumDec, e.counters[3]);
        EXPECT_EQ(stUnit.bAuxAmpStep, e.auxAmpStep);
        EXPECT_EQ(CfgString(stUnit.enMotCfg), e.motors);
        EXPECT_EQ(CfgString(stUnit.enMovCfgX), e.movX);
        EXPECT_EQ(CfgString(stUnit.enMovCfgY), e.movY);
        EXPECT_EQ(stUnit.enStaRel, e.rel);
        EXPECT_EQ(stUnit.stThresX[enFedKav].fPosLarge, e.kavXPosLarge);
        EXPECT_EQ(stUnit.stThresX[enFedMor].fPosLarge, e.morXPosLarge);
        EXPECT_EQ(stUnit.stThresY[enFedKav].fBandLow, e.kavYBandLow);
        EXPECT_EQ(stUnit.stThresY[enFedMor].fBandHigh, e.morYBandHigh);
        EXPECT_EQ(
            memcmp(&stUnit.stThresX[enFedMor], &stUnit.stThresX[enFedTus], sizeof(ST_ActThres)), 0);
        EXPECT_EQ(
            memcmp(&stUnit.stThresY[enFedMor], &stUnit.stThresY[enFedTus], sizeof(ST_ActThres)), 0);
        const unsigned char u8KavStep[kAdjStepNum] = {1, 3, 1, 3, 5, 1};
        const unsigned char u8MorStep[kAdjStepNum] = {1, 2, 1, 3, 5, 1};
        EXPECT_EQ(memcmp(stUnit.u8AdjStep[enFedKav], u8KavStep, kAdjStepNum), 0);
        EXPECT_EQ(memcmp(stUnit.u8AdjStep[enFedMor], u8MorStep, kAdjStepNum), 0);
        EXPECT_EQ(memcmp(stUnit.u8AdjStep[enFedTus], u8MorStep, kAdjStepNum), 0);
    }
}

TEST_F(Fresh, ThresholdListsAreWholeAndAction4IsAsymmetric) {
    LogicActMovThrParamInit(&g_stLogic);
    const ST_ActThres &stKavY4 = g_stLogic.stActUnit[4].stThresY[enFedKav];
    EXPECT_EQ(stKavY4.fPosMove, 3);
    EXPECT_EQ(stKavY4.fPosLarge, 5);
    EXPECT_EQ(stKavY4.fNegMove, 4);
    EXPECT_EQ(stKavY4.fNegLarge, 6);
    const ST_ActThres &stMorX9 = g_stLogic.stActUnit[9].stThresX[enFedMor];
    const float fExpect[7] = {12, 16, 12, 16, 60, 80, 130};
    EXPECT_EQ(memcmp(&stMorX9, fExpect, sizeof fExpect), 0);
    const ST_ActThres &stKavX0 = g_stLogic.stActUnit[0].stThresX[enFedKav];
    const float fBase[7] = {3, 6, 3, 6, 30, 60, 130};
    EXPECT_EQ(memcmp(&stKavX0, fBase, sizeof fBase), 0);
}

TEST_F(Fresh, ReinitialisationRestoresAlteredUnits) {
    LogicActMovThrParamInit(&g_stLogic);
    const ST_ActManageUnit stDefault = g_stLogic.stActUnit[6];
    g_stLogic.stActUnit[6].enMotCfg[2] = enAdjCfgOff;
    g_stLogic.stActUnit[6].stThresY[enFedKav].fBandLow = 999;
    g_stLogic.stActUnit[6].u8AdjStep[1][3] = 77;
    LogicActMovThrParamInit(&g_stLogic);
    EXPECT_EQ(memcmp(&stDefault, &g_stLogic.stActUnit[6], sizeof stDefault), 0);
}

TEST_F(Fresh, ModelHeaderDefaults) {
    g_stLogic.enLogicTaskSta = enLogicTaskWait;
    EXPECT_EQ(LogicFedModParamInit(&g_stLogic), 1);
    EXPECT_EQ(g_stLogic.u16FedRunTim[enFedKav], 300);
    EXPECT_EQ(g_stLogic.u16FedRunTim[enFedMor], 500);
    EXPECT_EQ(g_stLogic.u16FedRunTim[enFedTus], 500);
    const ST_VisionPixValArea &stKav = g_stLogic.stPixValArea[enFedKav];
    EXPECT_EQ(stKav.u16PixVal[0], 12);
    EXPECT_EQ(stKav.u16PixVal[1], 15);
    EXPECT_EQ(stKav.u16AreaXMin, 100);
    EXPECT_EQ(stKav.u16AreaXMax, 240);
    EXPECT_EQ(stKav.u16AreaYMin, 130);
    EXPECT_EQ(stKav.u16AreaYMax, 200);
    EXPECT_EQ(g_stLogic.stPixValArea[enFedMor].u16AreaXMin, 300);
    EXPECT_EQ(g_stLogic.stPixValArea[enFedMor].u16AreaYMax, 260);
    EXPECT_EQ(memcmp(&g_stLogic.stPixValArea[enFedMor], &g_stLogic.stPixValArea[enFedTus],
                     sizeof(ST_VisionPixValArea)),
              0);
    EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskWait);
    EXPECT_EQ(LogicFedModParamInit(nullptr), 0);
    EXPECT_EQ(LogicActMovThrParamInit(nullptr), 0);
}

} // namespace
