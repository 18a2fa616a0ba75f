#include "tests/support.h"

namespace {

using tvltest::Rec;

class CommandTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        FeederInit();
        FedColRegister(tvltest::RecFedCol);
    }
};

struct StepCase {
    const char *name;
    unsigned short value;
    unsigned short step;
    ST_VoiMotParamInf bounds; // {initial, minimum, maximum}
    EN_ParamAdjDire dire;
    unsigned short expectValue;
    int expectResult;
};

TEST(StepRule, Table) {
    const StepCase cases[] = {
        {"up to the maximum", 75, 5, {50, 10, 80}, enParamAdjUp, 80, 1},
        {"up past the maximum", 78, 5, {50, 10, 80}, enParamAdjUp, 50, 0},
        {"up ignores the minimum", 2, 1, {50, 10, 80}, enParamAdjUp, 3, 1},
        {"up by 0 within bounds", 80, 0, {50, 10, 80}, enParamAdjUp, 80, 1},
        {"up by 0 above a lowered maximum", 90, 0, {50, 10, 80}, enParamAdjUp, 50, 0},
        {"up sum above 65535", 65535, 1, {7, 0, 65535}, enParamAdjUp, 7, 0},
        {"up sum at 65535", 65534, 1, {7, 0, 65535}, enParamAdjUp, 65535, 1},
        {"down to the minimum", 12, 2, {50, 10, 80}, enParamAdjDown, 10, 1},
        {"down past the minimum", 11, 2, {50, 10, 80}, enParamAdjDown, 50, 0},
        {"down below zero", 1, 2, {50, 0, 80}, enParamAdjDown, 50, 0},
        {"down ignores the maximum", 200, 5, {50, 10, 80}, enParamAdjDown, 195, 1},
        {"other direction", 33, 5, {50, 10, 80}, static_cast<EN_ParamAdjDire>(2), 33, 1},
    };
    for (const StepCase &c : cases) {
        unsigned short u16Word = c.value;
        EXPECT_EQ(FedVibrAdj_ValCal(&u16Word, c.step, c.bounds, c.dire), c.expectResult) << c.name;
        EXPECT_EQ(u16Word, c.expectValue) << c.name;
    }
    EXPECT_EQ(FedVibrAdj_ValCal(nullptr, 1, {0, 0, 10}, enParamAdjUp), 0);
}

TEST_F(CommandTest, StepsCycleFromInitialToMaximumAndBack) {
    // Action 8 of model 0: frequency {45, 10, 50}; the word starts at 0.
    FedParamSetAnewInit(enFedAct8, enFedVoiMot1, enFedMotWorkMain, enFedKav);
    std::vector<unsigned short> seen;
    for (int i = 0; i < 7; ++i) {
        FedVibrAdj(enFedAct8, enFedVoiMot1, enFedMotWorkMain, enFedMotFre, enParamAdjUp, 2,
                   enFedKav);
        seen.push_back(FedVibrAdjRe(enFedAct8, enFedVoiMot1, enFedMotFre, enFedKav));
    }
    EXPECT_EQ(seen, (std::vector<unsigned short>{47, 49, 45, 47, 49, 45, 47}));
}

TEST_F(CommandTest, StepUsesTheWorkTypeBeforeTheParameter) {
    // Aux amplitude bounds of action 1 (model 0) are {3, 0, 18}, main {40, 0, 80}.
    FedParamSetAnewInit(enFedAct1, enFedVoiMot0, enFedMotWorkAux, enFedKav);
    EXPECT_EQ(FedVibrAdj(enFedAct1, enFedVoiMot0, enFedMotWorkAux, enFedMotAmp, enParamAdjUp, 15,
                         enFedKav),
              1);
    EXPECT_EQ(FedVibrAdjRe(enFedAct1, enFedVoiMot0, enFedMotAmp, enFedKav), 18);
    EXPECT_EQ(FedVibrAdj(enFedAct1, enFedVoiMot0, enFedMotWorkAux, enFedMotAmp, enParamAdjUp, 1,
                         enFedKav),
              0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct1, enFedVoiMot0, enFedMotAmp, enFedKav), 3);
}

TEST_F(CommandTest, StepRefusesIndicesOutsideTheStore) {
    const unsigned char *pu8Store = reinterpret_cast<const unsigned char *>(g_stFedParam);
    const std::vector<unsigned char> before(pu8Store, pu8Store + sizeof g_stFedParam);
    const struct {
        int act, mot, work, param, model;
    } bad[] = {{11, 0, 0, 0, 0}, {-1, 0, 0, 0, 0}, {0, 4, 0, 0, 0}, {0, 0, 2, 0, 0},
               {0, 0, 0, 4, 0},  {0, 0, 0, 0, 3},  {0, 0, 0, 0, 4}, {0, 0, -1, 0, 0}};
    for (const auto &b : bad) {
        SCOPED_TRACE(testing::Message() << "act " << b.act << " mot " << b.mot << " work " << b.work
                                        << " param " << b.param << " model " << b.model);
        EXPECT_EQ(FedVibrAdj(static_cast<EN_FeederAct>(b.act), static_cast<EN_FeederVoiMot>(b.mot),
                             static_cast<EN_FedMotWorkType>(b.work),
                             static_cast<EN_FeederMotParam>(b.param), enParamAdjUp, 1,
                             static_cast<EN_FeederModel>(b.model)),
                  0);
    }
    EXPECT_EQ(std::vector<unsigned char>(pu8Store, pu8Store + sizeof g_stFedParam), before);
}

TEST_F(CommandTest, CommandCarriesTheActionsWordsMotorMajorAndTheGivenRunTime) {
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            g_stFedParam[enFedTus].stActParam[6].u16MotParam[mot][param] =
                static_cast<unsigned short>(100 + mot * 10 + param);
        }
    }
    FedVibDisCol(enFedTus);
    EXPECT_EQ(FedVibEnCol(enFedAct6, 321, enFedTus), 1);
    ASSERT_EQ(Rec().commands.size(), 1U);
    const ST_FedColC &stCmd = Rec().commands[0];
    EXPECT_EQ(stCmd.enAct, enFedAct6);
    EXPECT_EQ(stCmd.u16RunTim, 321);
    const unsigned char *pu8 = reinterpret_cast<const unsigned char *>(&stCmd);
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            unsigned short u16Word;
            memcpy(&u16Word, pu8 + 4 + (mot * 4 + param) * 2, 2);
            EXPECT_EQ(u16Word, FedVibrAdjRe(enFedAct6, static_cast<EN_FeederVoiMot>(mot),
                                            static_cast<EN_FeederMotParam>(param), enFedTus));
        }
    }
}

TEST_F(CommandTest, CommandRefusals) {
    EXPECT_EQ(FedVibEnCol(static_cast<EN_FeederAct>(11), 300, enFedKav), 0);
    EXPECT_EQ(FedVibEnCol(static_cast<EN_FeederAct>(-1), 300, enFedKav), 0);
    EXPECT_EQ(FedVibEnCol(enFedAct0, 300, enFedNoMod), 0);
    EXPECT_TRUE(Rec().commands.empty());
    EXPECT_EQ(FedVibEnCol(enFedAct10, 300, enFedKav), 1);
    EXPECT_EQ(Rec().commands.size(), 1U);
}

TEST_F(CommandTest, RegistrationKeepsEarlierCallbackOnNull) {
    EXPECT_EQ(FedColRegister(nullptr), 0);
    EXPECT_EQ(FedVibEnCol(enFedAct0, 1, enFedKav), 1);
    EXPECT_EQ(Rec().commands.size(), 1U);
}

TEST_F(CommandTest, BacklightPwmWithinLimitsOnly) {
    EXPECT_EQ(FedBacklightPWMCol(0, enFedKav), 1);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightPwm, 0);
    EXPECT_EQ(FedBacklightPWMCol(100, enFedKav), 1);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightPwm, 100);
    EXPECT_EQ(FedBacklightPWMCol(101, enFedKav), 1);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightPwm, 100);

    EXPECT_EQ(FedBacklightCol(enBackLightOn, 555, 101, enFedMor), 1);
    EXPECT_EQ(g_stFedParam[enFedMor].u16BackLightPwm, 0);
    EXPECT_EQ(g_stFedParam[enFedMor].u16BackLightVal, 555);
    EXPECT_EQ(g_stFedParam[enFedMor].u16BackLightSta, enBackLightOn);
    EXPECT_EQ(FedBacklightStaRe(enFedMor), 0);

    EXPECT_EQ(FedBacklightCol(enBackLightOn, 1, 1, enFedNoMod), 0);
    EXPECT_EQ(FedBacklightPWMCol(1, static_cast<EN_FeederModel>(-1)), 0);
    EXPECT_EQ(FedBacklightStaRe(enFedNoMod), 0);
}

} // namespace
