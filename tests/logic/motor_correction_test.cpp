#include "tests/support.h"

namespace {

using tvltest::Printed;

// A unit with the given motor configuration and step bytes for model 0.
ST_ActManageUnit Unit(std::initializer_list<EN_AdjConfigSta> motors, int bAuxAmpStep = 0) {
    ST_ActManageUnit stUnit{};
    int mot = 0;
    for (const EN_AdjConfigSta enCfg : motors) {
        stUnit.enMotCfg[mot++] = enCfg;
    }
    stUnit.bAuxAmpStep = bAuxAmpStep;
    const unsigned char u8Step[kAdjStepNum] = {1, 3, 2, 4, 5, 1};
    memcpy(stUnit.u8AdjStep[enFedKav], u8Step, kAdjStepNum);
    return stUnit;
}

class MotColTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        FeederInit();
        // Action 3, model 0: main bounds amplitude {10, 0, 20}, frequency {90, 10, 102};
        // aux bounds amplitude {5, 0, 9}, frequency {50, 10, 60}.
        Bounds(enFedMotWorkMain, {10, 0, 20}, {90, 10, 102});
        Bounds(enFedMotWorkAux, {5, 0, 9}, {50, 10, 60});
    }
    static void Bounds(EN_FedMotWorkType enWork, ST_VoiMotParamInf stAmp, ST_VoiMotParamInf stFre) {
        g_stFedParam[enFedKav].stParamInf[3][enFedMotAmp][enWork] = stAmp;
        g_stFedParam[enFedKav].stParamInf[3][enFedMotFre][enWork] = stFre;
    }
    static void SetMotor(int mot, unsigned short u16Amp, unsigned short u16Fre) {
        g_stFedParam[enFedKav].stActParam[3].u16MotParam[mot][enFedMotAmp] = u16Amp;
        g_stFedParam[enFedKav].stActParam[3].u16MotParam[mot][enFedMotFre] = u16Fre;
    }
    static unsigned short Amp(int mot) {
        return FedVibrAdjRe(enFedAct3, static_cast<EN_FeederVoiMot>(mot), enFedMotAmp, enFedKav);
    }
    static unsigned short Fre(int mot) {
        return FedVibrAdjRe(enFedAct3, static_cast<EN_FeederVoiMot>(mot), enFedMotFre, enFedKav);
    }
    static int Correct(const ST_ActManageUnit &stUnit, EN_AdjConfigSta enSel, int bLargeX = 0,
                       int bLargeY = 0) {
        return LogicValAnaHandle_MotCol(enFedAct3, stUnit, enSel, bLargeX, bLargeY, enFedKav);
    }
};

TEST_F(MotColTest, FrequencyAndAmplitudeSweepLikeTwoDigits) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgMain, enAdjCfgOff, enAdjCfgOff, enAdjCfgOff});
    SetMotor(0, 10, 100);
    const struct { unsigned short amp, fre; } expect[] = {{10, 101}, {10, 102}, {13, 90}};
    for (const auto &e : expect) {
        SCOPED_TRACE(testing::Message() << "correction " << &e - expect + 1);
        EXPECT_EQ(Correct(stUnit, enAdjCfgOff), 1);
        EXPECT_EQ(Amp(0), e.amp);
        EXPECT_EQ(Fre(0), e.fre);
    }
}

TEST_F(MotColTest, MotorAtBothMaximaFailsAndOthersStillStep) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgMain, enAdjCfgOff, enAdjCfgMain, enAdjCfgOff});
    SetMotor(0, 20, 102);
    SetMotor(2, 10, 95);
    int iResult = -1;
    const std::string out = Printed([&] { iResult = Correct(stUnit, enAdjCfgOff); });
    EXPECT_EQ(iResult, 0);
    EXPECT_EQ(out, "Act Param Adj Fail,Act: 3 \n");
    EXPECT_EQ(Amp(0), 10);
    EXPECT_EQ(Fre(0), 90);
    EXPECT_EQ(Fre(2), 96);
    EXPECT_EQ(Amp(2), 10);
}

TEST_F(MotColTest, LargeFlagSelectsStepByte3) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgMain, enAdjCfgOff, enAdjCfgOff, enAdjCfgOff});
    for (const auto &flags : {std::pair<int, int>{0, 1}, {1, 0}, {0, 0}, {2, 0}}) {
        SetMotor(0, 10, 90);
        Correct(stUnit, enAdjCfgOff, flags.first, flags.second);
        const bool bLarge = flags.first == 1 || flags.second == 1;
        EXPECT_EQ(Fre(0), bLarge ? 94 : 91) << flags.first << "," << flags.second;
    }
}

TEST_F(MotColTest, AuxiliaryMotorsUseAuxBoundsAndTheirAmplitudeStep) {
    for (const int bAuxAmpStep : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "bAuxAmpStep " << bAuxAmpStep);
        const ST_ActManageUnit stUnit =
            Unit({enAdjCfgMain, enAdjCfgAux, enAdjCfgOff, enAdjCfgOff}, bAuxAmpStep);
        SetMotor(0, 10, 102);
        SetMotor(1, 5, 60);
        EXPECT_EQ(Correct(stUnit, enAdjCfgOff), 1);
        EXPECT_EQ(Amp(0), 13) << "main motors always step by byte 1";
        EXPECT_EQ(Fre(1), 50);
        EXPECT_EQ(Amp(1), bAuxAmpStep == 1 ? 7 : 8);
    }
}

TEST_F(MotColTest, AuxiliaryCorrectionRaisesOnlyAuxAmplitudes) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgMain, enAdjCfgAux, enAdjCfgOff, enAdjCfgAux}, 1);
    SetMotor(0, 10, 95);
    SetMotor(1, 8, 55); // 8 + 2 passes 9: back to 5
    SetMotor(3, 5, 55);
    int iResult = -1;
    const std::string out = Printed([&] { iResult = Correct(stUnit, enAdjCfgAux, 1, 1); });
    EXPECT_EQ(iResult, 1) << "the last auxiliary motor decides";
    EXPECT_EQ(out, "");
    EXPECT_EQ(Amp(1), 5);
    EXPECT_EQ(Amp(3), 7);
    EXPECT_EQ(Fre(1), 55);
    EXPECT_EQ(Fre(0), 95);
    EXPECT_EQ(Amp(0), 10);

    SetMotor(3, 9, 55);
    EXPECT_EQ(Correct(stUnit, enAdjCfgAux), 0);
}

TEST_F(MotColTest, NoConfiguredMotorChangesNothing) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgOff, enAdjCfgOff, enAdjCfgOff, enAdjCfgOff});
    SetMotor(0, 20, 102);
    for (const EN_AdjConfigSta enSel : {enAdjCfgOff, enAdjCfgAux}) {
        SCOPED_TRACE(testing::Message() << "selector " << enSel);
        int iResult = -1;
        EXPECT_EQ(Printed([&] { iResult = Correct(stUnit, enSel); }), "");
        EXPECT_EQ(iResult, 1);
        EXPECT_EQ(Fre(0), 102);
    }
}

TEST_F(MotColTest, InvalidActionOrModelChangesNothing) {
    const ST_ActManageUnit stUnit = Unit({enAdjCfgMain, enAdjCfgMain, enAdjCfgMain, enAdjCfgMain});
    unsigned char u8Before[sizeof g_stFedParam];
    memcpy(u8Before, g_stFedParam, sizeof g_stFedParam);
    EXPECT_EQ(LogicValAnaHandle_MotCol(enFedAct3, stUnit, enAdjCfgOff, 0, 0, enFedNoMod), 0);
    EXPECT_EQ(LogicValAnaHandle_MotCol(static_cast<EN_FeederAct>(11), stUnit, enAdjCfgOff, 0, 0,
                                       enFedKav),
              0);
    EXPECT_EQ(memcmp(u8Before, g_stFedParam, sizeof g_stFedParam), 0);
}

} // namespace
