#include "tests/support.h"

#include <string>

namespace {

using tvltest::Printed;
using tvltest::Rec;

const std::string kBanner = std::string(111, '*') + "\n";

class DecisionTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        FeederInit();
        LogicActMovThrParamInit(&g_stLogic);
        g_stLogic.enFedAct = enFedAct0; // targets: X high band; wants X positive, Y none
        g_stLogic.enFedModel = enFedKav;
        g_stLogic.pfnLogicAdjEnd = tvltest::RecAdjEnd;
        LogicParamSetEnd();
    }
    // Sets the classification the decision reads.
    static void Classified(EN_MatePosArea enArea, EN_UnidRectMovClass enX, EN_UnidRectMovClass enY,
                           int bLargeX = 0, int bLargeY = 0) {
        ST_LogicDim &stDim = g_stLogic.stLogicAdj.stLogicDim;
        stDim.enArea = enArea;
        stDim.stMovX = {enX, bLargeX};
        stDim.stMovY = {enY, bLargeY};
    }
    // Runs one decision and returns its decision lines (between the banners).
    static std::string Decide() {
        const std::string out = Printed([] { EXPECT_EQ(LogicValAnaHandle(&g_stLogic), 0); });
        EXPECT_EQ(out.compare(0, kBanner.size(), kBanner), 0);
        const size_t end = out.find(kBanner, kBanner.size());
        EXPECT_NE(end, std::string::npos);
        return out.substr(kBanner.size(), end - kBanner.size());
    }
    static unsigned short Fre(int mot) {
        return FedVibrAdjRe(enFedAct0, static_cast<EN_FeederVoiMot>(mot), enFedMotFre, enFedKav);
    }
};

TEST_F(DecisionTest, ScoreTableWhileAdjusting) {
    const std::string kAdjNo = "... ... Adj No... ... \n";
    const std::string kNotice = "... ... Adj Succ. ... ... \n";
    const std::string kMotAdj = "... ... Mot Adj... ... \n";
    const std::string kWait = "... ... Mot Adj Wait... ... \n";
    const struct {
        const char *name;
        unsigned char score;
        EN_MatePosArea area;
        EN_UnidRectMovClass movX;
        std::string lines;
        unsigned char scoreAfter;
        EN_LogicAdjSta adjAfter;
        std::vector<int> statuses;
        bool corrected;
    } cases[] = {
        {"success",
         5,
         enPosXHiYMid,
         enMovPos,
         "... ... Adj Succ. Verif... ... \n",
         0,
         enLogicAdjVerifWait,
         {},
         false},
        {"arrive",
         4,
         enPosXHiYLo,
         enMovNone,
         "... ... Arrive ... ... \n",
         5,
         enLogicAdjFedWait,
         {2},
         false},
        {"accepted at max",
         8,
         enPosCentre,
         enMovPos,
         kAdjNo + kNotice,
         8,
         enLogicAdjFedCol,
         {1},
         false},
        {"accepted with notice",
         6,
         enPosCentre,
         enMovPos,
         kAdjNo + kNotice,
         7,
         enLogicAdjFedCol,
         {1},
         false},
        {"accepted", 5, enPosCentre, enMovPos, kAdjNo, 6, enLogicAdjFedCol, {1}, false},
        {"rejected to zero", 1, enPosCentre, enMovNone, kMotAdj, 0, enLogicAdjFedCol, {1}, true},
        {"rejected, wait at 5", 7, enPosCentre, enMovNeg, kWait, 5, enLogicAdjFedCol, {1}, false},
        {"rejected, wait at 4", 6, enPosCentre, enMovNone, kWait, 4, enLogicAdjFedCol, {1}, false},
        {"rejected, corrected at 3",
         5,
         enPosCentre,
         enMovNone,
         kMotAdj,
         3,
         enLogicAdjFedCol,
         {1},
         true},
    };
    for (const auto &c : cases) {
        SetUp();
        g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
        g_stLogic.stLogicAdj.u8AdjNum = c.score;
        g_stLogic.stLogicAdj.u8RestartWaitNum = 2;
        g_stLogic.stLogicAdj.bMoveLatch = 1;
        Classified(c.area, c.movX, enMovNone);
        const unsigned short u16FreBefore = Fre(2);
        EXPECT_EQ(Decide(), c.lines) << c.name;
        EXPECT_EQ(g_stLogic.stLogicAdj.u8AdjNum, c.scoreAfter) << c.name;
        EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, c.adjAfter) << c.name;
        EXPECT_EQ(Rec().statuses, c.statuses) << c.name;
        EXPECT_EQ(Fre(2) != u16FreBefore, c.corrected) << c.name;
        const bool bArrived = c.area != enPosCentre;
        EXPECT_EQ(g_stLogic.stLogicAdj.bMoveLatch, bArrived ? 0 : 1) << c.name;
        EXPECT_EQ(g_stLogic.stLogicAdj.u8RestartWaitNum, c.adjAfter == enLogicAdjFedWait ? 0 : 2)
            << c.name;
    }
}

TEST_F(DecisionTest, DumpShowsTheSampleScoreAndMotorWordsAfterCorrection) {
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    g_stLogic.stLogicAdj.u8AdjNum = 0;
    ST_MateInf &stMate = g_stLogic.stLogicAdj.stLogMateReco.stMateInf;
    stMate = tvltest::Sample(12.5F, 80);
    stMate.fDispPosX = -1.25F;
    stMate.fDispPosY = 2;
    Classified(enPosXLoYMid, enMovNone, enMovPos);
    const std::string out = Printed([] { LogicValAnaHandle(&g_stLogic); });
    EXPECT_EQ(out, kBanner + "... ... Mot Adj... ... \n" + kBanner +
                       "MateSta      : 0 , 1 \n"
                       "Mate Area    : 0 \n"
                       "Mate Pos     : 12.500000 , 80.000000 \n"
                       "Mate DispPos : -1.250000 , 2.000000 \n"
                       "Adj Num      : 0 \n"
                       "Mot Amp      : 0 , 0 , 40 , 40  \n"
                       "Mot Fre      : 0 , 0 , 71 , 71  \n" +
                       kBanner);
}

TEST_F(DecisionTest, AreaMarkedAuxiliaryIsNoArrival) {
    g_stLogic.stActUnit[0].enAreaCfg[enPosCentre] = enAdjCfgAux;
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    Classified(enPosCentre, enMovPos, enMovNone);
    EXPECT_EQ(Decide(), "... ... Adj No... ... \n");
}

TEST_F(DecisionTest, SuccessNeverReachedWhenCeilingBelowSuccessCount) {
    g_stLogic.stActUnit[0].u8AdjNumMax = 4;
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    g_stLogic.stLogicAdj.u8AdjNum = 4;
    Classified(enPosXHiYHi, enMovPos, enMovNone);
    EXPECT_EQ(Decide(), "... ... Arrive ... ... \n");
    EXPECT_EQ(g_stLogic.stLogicAdj.u8AdjNum, 4);
}

TEST(MoveRel, AcceptanceAndCorrectionSelector) {
    const EN_AdjConfigSta kAuxNeg[kMovClassNum] = {enAdjCfgOff, enAdjCfgOff, enAdjCfgAux,
                                                   enAdjCfgOff};
    const EN_AdjConfigSta kMainPos[kMovClassNum] = {enAdjCfgOff, enAdjCfgMain, enAdjCfgOff,
                                                    enAdjCfgOff};
    const struct {
        EN_AdjConfigSta vx, vy;
        const EN_AdjConfigSta *cfgY;
        EN_AnaHanStaRel rel;
        int accepted;
        EN_AdjConfigSta sel; // selector after the call, starting from 7
    } cases[] = {
        {enAdjCfgMain, enAdjCfgOff, kAuxNeg, enStaRelAnd, 0, enAdjCfgAux},
        {enAdjCfgMain, enAdjCfgOff, kMainPos, enStaRelAnd, 0, enAdjCfgOff},
        {enAdjCfgOff, enAdjCfgOff, kAuxNeg, enStaRelAnd, 0, enAdjCfgOff},
        {enAdjCfgMain, enAdjCfgAux, kAuxNeg, enStaRelAnd, 1, static_cast<EN_AdjConfigSta>(7)},
        {enAdjCfgOff, enAdjCfgOff, kAuxNeg, enStaRelOr, 0, enAdjCfgOff},
        {enAdjCfgOff, enAdjCfgMain, kMainPos, enStaRelOr, 1, static_cast<EN_AdjConfigSta>(7)},
        {enAdjCfgAux, enAdjCfgOff, kMainPos, static_cast<EN_AnaHanStaRel>(5), 1,
         static_cast<EN_AdjConfigSta>(7)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        EN_AdjConfigSta cfgY[kMovClassNum];
        memcpy(cfgY, c.cfgY, sizeof cfgY);
        auto enSel = static_cast<EN_AdjConfigSta>(7);
        EXPECT_EQ(LogicValAnaHandle_MoveRel(c.vx, c.vy, cfgY, &enSel, c.rel), c.accepted);
        EXPECT_EQ(enSel, c.sel);
    }
}

TEST_F(DecisionTest, RejectedWithAuxiliaryYDirectionUsesAuxiliaryCorrection) {
    g_stLogic.enFedAct = enFedAct2; // motors: 1 aux, 3 main; Y negative as secondary
    LogicParamSetEnd();
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    Classified(enPosCentre, enMovPos, enMovPos);
    const unsigned short u16AuxAmp = FedVibrAdjRe(enFedAct2, enFedVoiMot1, enFedMotAmp, enFedKav);
    const unsigned short u16MainFre = FedVibrAdjRe(enFedAct2, enFedVoiMot3, enFedMotFre, enFedKav);
    EXPECT_EQ(Decide(), "... ... Mot Adj... ... \n");
    EXPECT_EQ(FedVibrAdjRe(enFedAct2, enFedVoiMot1, enFedMotAmp, enFedKav), u16AuxAmp + 1);
    EXPECT_EQ(FedVibrAdjRe(enFedAct2, enFedVoiMot3, enFedMotFre, enFedKav), u16MainFre);
}

TEST_F(DecisionTest, OutsideAdjustingThirdMissRestartsEvenAcrossAnArrival) {
    g_stLogic.stLogicAdj.enAdj = enLogicAdjNull;
    g_stLogic.stLogicAdj.bMoveLatch = 1;
    Classified(enPosCentre, enMovNone, enMovNone);
    EXPECT_EQ(Decide(), "... ... ReStart Config, Wait Num = 1... ... \n");
    EXPECT_EQ(g_stLogic.stLogicAdj.bMoveLatch, 0);
    Classified(enPosXHiYMid, enMovNone, enMovNone);
    EXPECT_EQ(Decide(), "... ... Arrive ... ... \n");
    EXPECT_EQ(Rec().statuses, std::vector<int>{2});
    Classified(enPosCentre, enMovNone, enMovNone);
    EXPECT_EQ(Decide(), "... ... ReStart Config, Wait Num = 2... ... \n");
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjNull);
    EXPECT_EQ(Decide(), "... ... ReStart ... ... \n");
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjFedCol);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8RestartWaitNum, 0);
    EXPECT_EQ(Rec().statuses, std::vector<int>{2});
}

TEST_F(DecisionTest, InvalidActionOrModelDoesNothing) {
    g_stLogic.enFedModel = enFedNoMod;
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    Classified(enPosCentre, enMovNone, enMovNone);
    EXPECT_EQ(Printed([] { EXPECT_EQ(LogicValAnaHandle(&g_stLogic), 0); }), "");
    EXPECT_TRUE(Rec().statuses.empty());
    EXPECT_EQ(LogicValAnaHandle(nullptr), 0);
}

TEST_F(DecisionTest, DecisionWithoutStatusCallbackDoesNotCrash) {
    g_stLogic.pfnLogicAdjEnd = nullptr;
    g_stLogic.stLogicAdj.enAdj = enLogicAdjFedCol;
    Classified(enPosCentre, enMovNone, enMovNone);
    EXPECT_EQ(Decide(), "... ... Mot Adj... ... \n");
}

} // namespace
