#include "tests/support.h"

#include <limits>
#include <string>

namespace {

using tvltest::Printed;
using tvltest::Rec;

int Init(int model, int act) {
    int iResult = -1;
    Printed([&] {
        iResult = LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, tvltest::RecAdjEnd, model,
                            static_cast<EN_FeederAct>(act));
    });
    return iResult;
}

unsigned short Word(int mot, EN_FeederMotParam enParam) {
    return FedVibrAdjRe(g_stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot), enParam,
                        g_stLogic.enFedModel);
}

using InitTest = tvltest::Fresh;

TEST_F(InitTest, SucceedsForEveryModelAndValidAction) {
    for (const int model : {0, 1, 2}) {
        for (const int act : {0, 10}) {
            SCOPED_TRACE(testing::Message() << "model " << model << " action " << act);
            std::string out;
            int iResult = -1;
            out = Printed([&] {
                iResult = LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, tvltest::RecAdjEnd,
                                    model, static_cast<EN_FeederAct>(act));
            });
            EXPECT_EQ(iResult, 1);
            const std::string fedMod = "FedMod = " + std::to_string(model) + "\n";
            EXPECT_EQ(out, "Logic Init\n" + fedMod + fedMod);
            EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
            EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjNull);
            EXPECT_EQ(g_stLogic.enFedAct, act);
            EXPECT_EQ(g_stLogic.enFedModel, model);
        }
    }
}

TEST_F(InitTest, RefusesBadActionOrModelAfterRegistering) {
    for (const auto &bad : {std::pair<int, int>{0, 11}, {0, -1}, {3, 0}, {4, 0}, {-1, 5}}) {
        SCOPED_TRACE(testing::Message() << "model " << bad.first << " action " << bad.second);
        tvltest::ResetLibrary();
        std::string out;
        int iResult = -1;
        out = Printed([&] {
            iResult = LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, tvltest::RecAdjEnd,
                                bad.first, static_cast<EN_FeederAct>(bad.second));
        });
        EXPECT_EQ(iResult, 0);
        EXPECT_EQ(out, "Logic Init\n");
        EXPECT_EQ(g_stLogic.enLogicTaskSta, 0);
        EXPECT_EQ(g_stLogic.pfnLogicAdjEnd, tvltest::RecAdjEnd);
        EXPECT_EQ(g_stVision.pfnCoordRe, tvltest::RecCoordRe);
        EXPECT_EQ(g_stVision.pfnImageHandSucCb, Logic_Vision_Cb);
        EXPECT_EQ(g_stVision.pfnFedModConfigCb, Logic_VisFedModCof_Cb);
    }
}

TEST_F(InitTest, NullCallbacksFailInOrder) {
    EXPECT_EQ(Printed([] { EXPECT_EQ(LogicInit(nullptr, nullptr, nullptr, 0, enFedAct0), 0); }),
              "Logic Init\n");
    EXPECT_EQ(g_stVision.pfnCoordRe, nullptr);
    Printed([] { LogicInit(tvltest::RecCoordRe, nullptr, tvltest::RecAdjEnd, 0, enFedAct0); });
    EXPECT_EQ(g_stVision.pfnCoordRe, tvltest::RecCoordRe);
    EXPECT_EQ(g_stLogic.pfnLogicAdjEnd, nullptr);
    Printed([] { LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, nullptr, 0, enFedAct0); });
    EXPECT_EQ(g_stLogic.pfnLogicAdjEnd, nullptr);
    EXPECT_EQ(g_stLogic.enLogicTaskSta, 0);
}

TEST_F(InitTest, ConfiguredMotorsHoldTheirInitialValues) {
    // Action 1 of model 0: motor 0 aux, motor 2 main, motors 1 and 3 off.
    ASSERT_EQ(Init(0, 1), 1);
    const unsigned short u16Aux[4] = {3, 68, 0, 1};
    const unsigned short u16Main[4] = {40, 68, 0, 1};
    for (int param = 0; param < kFedMotParamNum; ++param) {
        const auto enParam = static_cast<EN_FeederMotParam>(param);
        EXPECT_EQ(Word(0, enParam), u16Aux[param]);
        EXPECT_EQ(Word(2, enParam), u16Main[param]);
        EXPECT_EQ(Word(1, enParam), 0);
        EXPECT_EQ(Word(3, enParam), 0);
    }
    // Action 9 of model 2: main motors 0, 1 at phase 180; aux motors 2, 3 at 0.
    ASSERT_EQ(Init(2, 9), 1);
    EXPECT_EQ(Word(0, enFedMotPhase), 180);
    EXPECT_EQ(Word(1, enFedMotAmp), 25);
    EXPECT_EQ(Word(2, enFedMotPhase), 0);
    EXPECT_EQ(Word(3, enFedMotFre), 22);
}

TEST_F(InitTest, SecondInitRestoresEveryDefault) {
    ASSERT_EQ(Init(0, 2), 1);
    const ST_ActManageUnit stUnit = g_stLogic.stActUnit[2];
    const ST_VoiMotActMag stMag = g_stFedParam[0];
    LogicParamSet(1, 2, 3, 4, 5);
    LogicFedCompDis();
    FedDuartTimAdj(enFedAct2, 1, enFedKav);
    g_stLogic.stLogicAdj.u8AdjNum = 5;
    g_stLogic.stLogicAdj.bMoveLatch = 1;
    g_stLogic.stLogicAdj.u8VanishNum = 2;
    g_stLogic.stLogicAdj.u8RestartWaitNum = 2;
    g_stLogic.stLogicAdj.stLogMateReco.tLastMate = 99;
    g_stLogic.stLogicAdj.stLogMateReco.bNewMate = 1;
    ASSERT_EQ(Init(0, 2), 1);
    EXPECT_EQ(memcmp(&stUnit, &g_stLogic.stActUnit[2], sizeof stUnit), 0);
    EXPECT_EQ(memcmp(&stMag, &g_stFedParam[0], sizeof stMag), 0);
    EXPECT_EQ(g_stLogic.u16FedRunTim[0], 300);
    const ST_LogicAdj &stAdj = g_stLogic.stLogicAdj;
    EXPECT_EQ(stAdj.u8AdjNum, 0);
    EXPECT_EQ(stAdj.bMoveLatch, 0);
    EXPECT_EQ(stAdj.u8VanishNum, 0);
    EXPECT_EQ(stAdj.u8RestartWaitNum, 0);
    EXPECT_EQ(stAdj.stLogMateReco.tLastMate, 0);
    EXPECT_EQ(stAdj.stLogMateReco.bNewMate, 0);
}

TEST_F(InitTest, ParametersSetAndReadBack) {
    ASSERT_EQ(Init(1, 3), 1);
    EXPECT_EQ(LogicParamSet(90, 70, 20, 40, 650), 0); // initial above maximum is kept
    unsigned short u16Got[5] = {};
    EXPECT_EQ(LogicParamRe(&u16Got[0], &u16Got[1], &u16Got[2], &u16Got[3], &u16Got[4]), 0);
    const unsigned short u16Expect[5] = {90, 70, 20, 40, 650};
    EXPECT_EQ(memcmp(u16Got, u16Expect, sizeof u16Got), 0);
    // The new initial values reach the main motors (0 and 2) at once.
    EXPECT_EQ(Word(0, enFedMotAmp), 90);
    EXPECT_EQ(Word(2, enFedMotFre), 20);
    EXPECT_EQ(FedParamRe(enFedAct3, enFedMotAmp, enFedMotWorkAux, enParamScopeInit, enFedMor), 80);
    // A null pointer refuses the whole read.
    unsigned short u16Max = 7;
    EXPECT_EQ(LogicParamRe(nullptr, &u16Max, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(u16Max, 7);
}

TEST_F(InitTest, ParametersWithoutModelChangeAndReadNothing) {
    ASSERT_EQ(Init(0, 0), 1);
    Printed([] { Logic_VisFedModCof_Cb(0, 0); });
    ASSERT_EQ(g_stLogic.enFedModel, enFedNoMod);
    unsigned char u8Before[sizeof g_stFedParam];
    memcpy(u8Before, g_stFedParam, sizeof g_stFedParam);
    const ST_Logic stLogic = g_stLogic;
    LogicParamSet(1, 2, 3, 4, 5);
    LogicParamSetEnd();
    LogicFedCompDis();
    EXPECT_EQ(memcmp(u8Before, g_stFedParam, sizeof g_stFedParam), 0);
    EXPECT_EQ(memcmp(&stLogic, &g_stLogic, sizeof stLogic), 0);
    unsigned short u16Got[5] = {9, 9, 9, 9, 9};
    LogicParamRe(&u16Got[0], &u16Got[1], &u16Got[2], &u16Got[3], &u16Got[4]);
    const unsigned short u16Zero[5] = {};
    EXPECT_EQ(memcmp(u16Got, u16Zero, sizeof u16Got), 0);
}

TEST_F(InitTest, CompensationMovesYBandsAndSwitchesAuxMotorsOff) {
    ASSERT_EQ(Init(0, 0), 1); // no auxiliary Y class: nothing changes
    const ST_ActManageUnit stUnit0 = g_stLogic.stActUnit[0];
    EXPECT_EQ(LogicFedCompDis(), 0);
    EXPECT_EQ(memcmp(&stUnit0, &g_stLogic.stActUnit[0], sizeof stUnit0), 0);

    ASSERT_EQ(Init(0, 6), 1); // Y positive auxiliary; motor 2 auxiliary
    const ST_ActThres &stThresY = g_stLogic.stActUnit[6].stThresY[enFedKav];
    ASSERT_NE(Word(2, enFedMotAmp), 0);
    LogicFedCompDis();
    EXPECT_EQ(stThresY.fBandLow, 55 + 20);
    EXPECT_EQ(stThresY.fBandHigh, 100 - 20);
    EXPECT_EQ(g_stLogic.stActUnit[6].enMotCfg[2], enAdjCfgOff);
    EXPECT_EQ(g_stLogic.stActUnit[6].enMotCfg[0], enAdjCfgMain);
    for (int param = 0; param < kFedMotParamNum; ++param) {
        EXPECT_EQ(Word(2, static_cast<EN_FeederMotParam>(param)), 0);
    }
    EXPECT_EQ(Word(0, enFedMotAmp), 40);
    LogicFedCompDis();
    EXPECT_EQ(stThresY.fBandLow, 95);
    EXPECT_EQ(stThresY.fBandHigh, 60);
    EXPECT_EQ(g_stLogic.stActUnit[6].stThresY[enFedMor].fBandLow, 80);
    EXPECT_EQ(g_stLogic.stActUnit[7].stThresY[enFedKav].fBandLow, 55);
}

TEST_F(InitTest, ModelDetection) {
    ASSERT_EQ(Init(2, 0), 1);
    const struct {
        float x, y;
        EN_FeederModel model;
        const char *line;
        double setVal;
    } cases[] = {
        {100, 130, enFedKav, "=======Fed Mod -> Kav====== \n", 300.0},
        {150, 200, enFedKav, "=======Fed Mod -> Kav====== \n", 300.0},
        {320, 220, enFedMor, "=======Fed Mod -> Mor====== \n", 2000.0},
        {250, 150, enFedNoMod, "=======Fed No Mod====== \n", -1},
        {std::numeric_limits<float>::quiet_NaN(), 150, enFedNoMod, "=======Fed No Mod====== \n",
         -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.x << "," << c.y);
        g_stVision.dVisSetVal = -1;
        const std::string out = Printed([&] { EXPECT_EQ(Logic_VisFedModCof_Cb(c.x, c.y), 0); });
        EXPECT_EQ(g_stLogic.enFedModel, c.model) << c.x << "," << c.y;
        EXPECT_EQ(out.substr(out.find('\n', out.find('\n') + 1) + 1), c.line);
        EXPECT_EQ(g_stVision.dVisSetVal, c.setVal);
    }
    EXPECT_EQ(Printed([] { Logic_VisFedModCof_Cb(320.5F, 220); }),
              "=======Fed X = 320.500000====== \n"
              "=======Fed Y = 220.000000====== \n"
              "=======Fed Mod -> Mor====== \n");
    // The third model's window is never consulted.
    g_stLogic.stPixValArea[enFedTus] = {{0, 0}, 0, 1000, 0, 1000};
    Printed([] { Logic_VisFedModCof_Cb(500, 500); });
    EXPECT_EQ(g_stLogic.enFedModel, enFedNoMod);
    EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
}

} // namespace
