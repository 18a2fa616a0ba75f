#include "tests/support.h"

namespace {

using Fresh = tvltest::Fresh;

unsigned short Bound(int act, EN_FeederMotParam enParam, EN_FedMotWorkType enWork,
                     EN_ParamScopeSet enScope, int model) {
    return FedParamRe(static_cast<EN_FeederAct>(act), enParam, enWork, enScope,
                      static_cast<EN_FeederModel>(model));
}

// {initial, minimum, maximum} of amplitude and frequency, main and aux, for
// a few rows of each model's table.
struct BoundRow {
    int model;
    int act;
    unsigned short ampMain[3], ampAux[3], freMain[3], freAux[3];
};

TEST_F(Fresh, FeederInitGivesEachModelItsTable) {
    FeederInit();
    const BoundRow rows[] = {
        {0, 0, {40, 0, 80}, {40, 0, 80}, {70, 10, 80}, {70, 10, 80}},
        {0, 1, {40, 0, 80}, {3, 0, 18}, {68, 10, 80}, {68, 10, 80}},
        {0, 4, {30, 0, 80}, {30, 0, 80}, {60, 10, 80}, {60, 10, 80}},
        {0, 8, {10, 0, 30}, {10, 0, 30}, {45, 10, 50}, {45, 10, 50}},
        {0, 9, {58, 0, 65}, {58, 0, 65}, {50, 10, 55}, {50, 10, 55}},
        {0, 10, {20, 0, 60}, {20, 0, 60}, {55, 10, 65}, {55, 10, 65}},
        {1, 0, {65, 0, 100}, {65, 0, 100}, {27, 10, 34}, {27, 10, 34}},
        {1, 7, {85, 0, 100}, {20, 0, 30}, {27, 10, 34}, {27, 10, 34}},
        {2, 3, {80, 0, 100}, {80, 0, 100}, {27, 10, 35}, {27, 10, 35}},
        {2, 8, {45, 0, 50}, {45, 0, 50}, {25, 10, 30}, {25, 10, 30}},
        {2, 9, {25, 0, 35}, {25, 0, 35}, {22, 10, 27}, {22, 10, 27}},
        {1, 10, {33, 0, 45}, {33, 0, 45}, {16, 10, 23}, {16, 10, 23}},
    };
    for (const BoundRow &row : rows) {
        SCOPED_TRACE("model " + std::to_string(row.model) + " action " + std::to_string(row.act));
        for (int scope = 0; scope < 3; ++scope) {
            const auto enScope = static_cast<EN_ParamScopeSet>(scope);
            EXPECT_EQ(Bound(row.act, enFedMotAmp, enFedMotWorkMain, enScope, row.model),
                      row.ampMain[scope]);
            EXPECT_EQ(Bound(row.act, enFedMotAmp, enFedMotWorkAux, enScope, row.model),
                      row.ampAux[scope]);
            EXPECT_EQ(Bound(row.act, enFedMotFre, enFedMotWorkMain, enScope, row.model),
                      row.freMain[scope]);
            EXPECT_EQ(Bound(row.act, enFedMotFre, enFedMotWorkAux, enScope, row.model),
                      row.freAux[scope]);
        }
    }
}

TEST_F(Fresh, PhaseModeAndDurationsAreTheSameInEveryModel) {
    FeederInit();
    const unsigned short u16Duart[kFedActNum] = {5000, 8000, 8000, 5000, 5000, 5000,
                                                 8000, 8000, 800,  1500, 1500};
    for (int model = 0; model < kFedModelNum; ++model) {
        for (int act = 0; act < kFedActNum; ++act) {
            SCOPED_TRACE(testing::Message() << "model " << model << " action " << act);
            EXPECT_EQ(
                FedDuartTimRe(static_cast<EN_FeederAct>(act), static_cast<EN_FeederModel>(model)),
                u16Duart[act]);
            for (const EN_FedMotWorkType enWork : {enFedMotWorkMain, enFedMotWorkAux}) {
                for (int scope = 0; scope < 3; ++scope) {
                    EXPECT_EQ(Bound(act, enFedMotMode, enWork, static_cast<EN_ParamScopeSet>(scope),
                                    model),
                              1);
                }
            }
        }
        EXPECT_EQ(Bound(8, enFedMotPhase, enFedMotWorkMain, enParamScopeMax, model), 0);
        EXPECT_EQ(Bound(9, enFedMotPhase, enFedMotWorkMain, enParamScopeInit, model), 180);
        EXPECT_EQ(Bound(9, enFedMotPhase, enFedMotWorkAux, enParamScopeInit, model), 0);
        EXPECT_EQ(Bound(9, enFedMotPhase, enFedMotWorkAux, enParamScopeMax, model), 180);
        EXPECT_EQ(Bound(10, enFedMotPhase, enFedMotWorkMain, enParamScopeInit, model), 0);
        EXPECT_EQ(Bound(10, enFedMotPhase, enFedMotWorkAux, enParamScopeInit, model), 180);
    }
}

TEST_F(Fresh, GenericLayerAloneSetsWideBounds) {
    ST_VoiMotActMag &stMag = g_stFedParam[enFedMor];
    stMag.stActParam[3].u16MotParam[2][1] = 99;
    EXPECT_EQ(FedMorParamInit(&stMag), 1);
    for (int act = 0; act < kFedActNum; ++act) {
        EXPECT_EQ(stMag.stActParam[act].u16DuartTim, 5000);
        for (int work = 0; work < kFedWorkTypeNum; ++work) {
            const ST_VoiMotParamInf(&stInf)[kFedMotParamNum][kFedWorkTypeNum] =
                stMag.stParamInf[act];
            EXPECT_EQ(stInf[enFedMotAmp][work].u16Max, 80);
            EXPECT_EQ(stInf[enFedMotFre][work].u16Max, 80);
            EXPECT_EQ(stInf[enFedMotFre][work].u16Init, 0);
            EXPECT_EQ(stInf[enFedMotPhase][work].u16Max, 359);
            EXPECT_EQ(stInf[enFedMotMode][work].u16Max, 3);
        }
    }
    EXPECT_EQ(stMag.stActParam[3].u16MotParam[2][1], 0);
    EXPECT_EQ(stMag.u16BackLightPwmMax, 100);
}

TEST_F(Fresh, ModelLayerAloneWritesOnlyBoundsAndDurations) {
    ST_VoiMotActMag &stMag = g_stFedParam[enFedKav];
    EXPECT_EQ(FedKavParamSetInit(&stMag), 1);
    EXPECT_EQ(stMag.stParamInf[1][enFedMotAmp][enFedMotWorkAux].u16Max, 18);
    EXPECT_EQ(stMag.stActParam[8].u16DuartTim, 800);
    EXPECT_EQ(stMag.stActParam[0].u16MotParam[0][0], 0);
    EXPECT_EQ(stMag.u16BackLightPwmMin, 0);
    EXPECT_EQ(stMag.u16BackLightPwmMax, 0);
}

TEST_F(Fresh, FeederInitKeepsBacklightAndVibrationWords) {
    for (ST_VoiMotActMag &stMag : g_stFedParam) {
        stMag.u16BackLightPwm = 42;
        stMag.u16VibDis = 1;
        stMag.u16BackLightSta = 1;
        stMag.u16BackLightPwmMax = 7;
    }
    EXPECT_EQ(FeederInit(), 1);
    for (const ST_VoiMotActMag &stMag : g_stFedParam) {
        EXPECT_EQ(stMag.u16BackLightPwm, 42);
        EXPECT_EQ(stMag.u16VibDis, 1);
        EXPECT_EQ(stMag.u16BackLightSta, 1);
        EXPECT_EQ(stMag.u16BackLightPwmMax, 100);
    }
}

TEST_F(Fresh, InitialisersRefuseNullAndFeederTaskDoesNothing) {
    for (auto *pfnInit : {FedKavParamInit, FedMorParamInit, FedTusParamInit, FedKavParamSetInit,
                          FedMorParamSetInit, FedTusParamSetInit}) {
        EXPECT_EQ(pfnInit(nullptr), 0);
    }
    unsigned char u8Before[sizeof g_stFedParam];
    memcpy(u8Before, g_stFedParam, sizeof g_stFedParam);
    EXPECT_EQ(FeederTask(), 1);
    EXPECT_EQ(memcmp(u8Before, g_stFedParam, sizeof g_stFedParam), 0);
}

} // namespace
