#include "tests/support.h"

namespace {

class ParamStoreTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        FeederInit();
    }
};

TEST_F(ParamStoreTest, MotorWordsAreZeroAfterFeederInit) {
    for (int model = 0; model < kFedModelNum; ++model) {
        for (int act = 0; act < kFedActNum; ++act) {
            for (int mot = 0; mot < kVoiMotNum; ++mot) {
                for (int param = 0; param < kFedMotParamNum; ++param) {
                    ASSERT_EQ(FedVibrAdjRe(static_cast<EN_FeederAct>(act),
                                           static_cast<EN_FeederVoiMot>(mot),
                                           static_cast<EN_FeederMotParam>(param),
                                           static_cast<EN_FeederModel>(model)),
                              0);
                }
            }
        }
    }
}

TEST_F(ParamStoreTest, AnewInitSeedsOneMotorFromItsWorkType) {
    FedVibrAdj(enFedAct9, enFedVoiMot1, enFedMotWorkMain, enFedMotAmp, enParamAdjUp, 0, enFedMor);
    EXPECT_EQ(FedParamSetAnewInit(enFedAct9, enFedVoiMot2, enFedMotWorkMain, enFedMor), 1);
    for (int param = 0; param < kFedMotParamNum; ++param) {
        const auto enParam = static_cast<EN_FeederMotParam>(param);
        EXPECT_EQ(FedVibrAdjRe(enFedAct9, enFedVoiMot2, enParam, enFedMor),
                  FedParamRe(enFedAct9, enParam, enFedMotWorkMain, enParamScopeInit, enFedMor));
        EXPECT_EQ(FedVibrAdjRe(enFedAct9, enFedVoiMot0, enParam, enFedMor), 0);
        EXPECT_EQ(FedVibrAdjRe(enFedAct9, enFedVoiMot3, enParam, enFedMor), 0);
    }
    EXPECT_EQ(FedVibrAdjRe(enFedAct9, enFedVoiMot2, enFedMotPhase, enFedMor), 180);
}

TEST_F(ParamStoreTest, ClearInitZeroesExactlyOneMotor) {
    FedParamSetAnewInit(enFedAct3, enFedVoiMot0, enFedMotWorkMain, enFedKav);
    FedParamSetAnewInit(enFedAct3, enFedVoiMot2, enFedMotWorkMain, enFedKav);
    EXPECT_EQ(FedParamSetClearInit(enFedAct3, enFedVoiMot0, enFedKav), 1);
    EXPECT_EQ(FedVibrAdjRe(enFedAct3, enFedVoiMot0, enFedMotAmp, enFedKav), 0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct3, enFedVoiMot0, enFedMotMode, enFedKav), 0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct3, enFedVoiMot2, enFedMotAmp, enFedKav), 30);
}

TEST_F(ParamStoreTest, ScopeOutsideRangeReadsZeroAndWritesNothing) {
    const ST_VoiMotActMag stBefore = g_stFedParam[enFedKav];
    EXPECT_EQ(FedParamRe(enFedAct0, enFedMotAmp, enFedMotWorkMain, static_cast<EN_ParamScopeSet>(3),
                         enFedKav),
              0);
    EXPECT_EQ(FedParamSet(enFedAct0, enFedMotAmp, enFedMotWorkMain,
                          static_cast<EN_ParamScopeSet>(3), 77, enFedKav),
              0);
    EXPECT_EQ(memcmp(&stBefore, &g_stFedParam[enFedKav], sizeof stBefore), 0);
    // A write that happened still returns 0.
    EXPECT_EQ(FedParamSet(enFedAct0, enFedMotAmp, enFedMotWorkMain, enParamScopeMin, 7, enFedKav),
              0);
    EXPECT_EQ(FedParamRe(enFedAct0, enFedMotAmp, enFedMotWorkMain, enParamScopeMin, enFedKav), 7);
}

TEST_F(ParamStoreTest, NewInitialValueReachesMotorOnlyWhenReseeded) {
    FedParamSetAnewInit(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedKav);
    FedParamSet(enFedAct0, enFedMotAmp, enFedMotWorkMain, enParamScopeInit, 55, enFedKav);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotAmp, enFedKav), 40);
    FedParamSetAnewInit(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedKav);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotAmp, enFedKav), 55);
}

TEST_F(ParamStoreTest, ConfigLoadFollowsTheIndexFormula) {
    unsigned short u16Table[kFedBoundTableLen];
    for (int word = 0; word < kFedBoundTableLen; ++word) {
        u16Table[word] = static_cast<unsigned short>(1000 + word);
    }
    FedParamSetAnewInit(enFedAct4, enFedVoiMot1, enFedMotWorkMain, enFedMor);
    const ST_VoiMotActMag stKav = g_stFedParam[enFedKav];
    const ST_VoiMotActMag stTus = g_stFedParam[enFedTus];
    EXPECT_EQ(FeederConfig_AM(u16Table, enFedMor), 0);
    for (int act = 0; act < kFedActNum; ++act) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            for (int work = 0; work < kFedWorkTypeNum; ++work) {
                for (int scope = 0; scope < kParamScopeNum; ++scope) {
                    const int word = ((act * 4 + param) * 2 + work) * 3 + scope;
                    ASSERT_EQ(FedParamRe(static_cast<EN_FeederAct>(act),
                                         static_cast<EN_FeederMotParam>(param),
                                         static_cast<EN_FedMotWorkType>(work),
                                         static_cast<EN_ParamScopeSet>(scope), enFedMor),
                              u16Table[word]);
                }
            }
        }
    }
    EXPECT_EQ(FedVibrAdjRe(enFedAct4, enFedVoiMot1, enFedMotAmp, enFedMor), 80);
    EXPECT_EQ(FedDuartTimRe(enFedAct4, enFedMor), 5000);
    EXPECT_EQ(memcmp(&stKav, &g_stFedParam[enFedKav], sizeof stKav), 0);
    EXPECT_EQ(memcmp(&stTus, &g_stFedParam[enFedTus], sizeof stTus), 0);
}

TEST_F(ParamStoreTest, DurationAndVibrationWords) {
    EXPECT_EQ(FedDuartTimAdj(enFedAct2, 1234, enFedTus), 1);
    EXPECT_EQ(FedDuartTimRe(enFedAct2, enFedTus), 1234);
    EXPECT_EQ(FedDuartTimRe(enFedAct2, enFedMor), 8000);
    EXPECT_EQ(FedVibDisCol(enFedKav), 1);
    EXPECT_EQ(g_stFedParam[enFedKav].u16VibDis, 1);
    EXPECT_EQ(FedVibStaRe(enFedKav), 0);
}

// Out-of-range indices never reach outside the store.
TEST_F(ParamStoreTest, OutOfRangeIndicesAreRefused) {
    const auto act = [](int a) { return static_cast<EN_FeederAct>(a); };
    const auto mot = [](int m) { return static_cast<EN_FeederVoiMot>(m); };
    const auto par = [](int p) { return static_cast<EN_FeederMotParam>(p); };
    const auto work = [](int w) { return static_cast<EN_FedMotWorkType>(w); };
    const auto model = [](int m) { return static_cast<EN_FeederModel>(m); };
    unsigned char u8Before[sizeof g_stFedParam];
    memcpy(u8Before, g_stFedParam, sizeof g_stFedParam);
    unsigned short u16Table[kFedBoundTableLen] = {};

    for (const int bad : {-1, 11}) {
        SCOPED_TRACE(testing::Message() << "action " << bad);
        EXPECT_EQ(FedParamRe(act(bad), enFedMotAmp, enFedMotWorkMain, enParamScopeInit, enFedKav),
                  0);
        EXPECT_EQ(FedDuartTimRe(act(bad), enFedKav), 0);
        EXPECT_EQ(FedDuartTimAdj(act(bad), 1, enFedKav), 0);
        EXPECT_EQ(FedParamSetAnewInit(act(bad), enFedVoiMot0, enFedMotWorkMain, enFedKav), 0);
        EXPECT_EQ(FedParamSetClearInit(act(bad), enFedVoiMot0, enFedKav), 0);
    }
    for (const int bad : {-1, 4}) {
        SCOPED_TRACE(testing::Message() << "motor or parameter " << bad);
        EXPECT_EQ(FedVibrAdjRe(enFedAct0, mot(bad), enFedMotAmp, enFedKav), 0);
        EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot0, par(bad), enFedKav), 0);
        EXPECT_EQ(FedParamSet(enFedAct0, par(bad), enFedMotWorkMain, enParamScopeInit, 9, enFedKav),
                  0);
        EXPECT_EQ(FedParamSetAnewInit(enFedAct0, mot(bad), enFedMotWorkMain, enFedKav), 0);
    }
    for (const int bad : {-1, 2}) {
        SCOPED_TRACE(testing::Message() << "work type " << bad);
        EXPECT_EQ(FedParamRe(enFedAct0, enFedMotAmp, work(bad), enParamScopeInit, enFedKav), 0);
        EXPECT_EQ(FedParamSetAnewInit(enFedAct0, enFedVoiMot0, work(bad), enFedKav), 0);
    }
    for (const int bad : {-1, 3, 4}) {
        SCOPED_TRACE(testing::Message() << "model " << bad);
        EXPECT_EQ(
            FedParamRe(enFedAct0, enFedMotAmp, enFedMotWorkMain, enParamScopeInit, model(bad)), 0);
        EXPECT_EQ(
            FedParamSet(enFedAct0, enFedMotAmp, enFedMotWorkMain, enParamScopeInit, 1, model(bad)),
            0);
        EXPECT_EQ(FedVibStaRe(model(bad)), 0);
        EXPECT_EQ(FedVibDisCol(model(bad)), 0);
        EXPECT_EQ(FeederConfig_AM(u16Table, model(bad)), 0);
    }
    EXPECT_EQ(FeederConfig_AM(nullptr, enFedKav), 0);
    EXPECT_EQ(memcmp(u8Before, g_stFedParam, sizeof g_stFedParam), 0);
}

} // namespace
