#include "tests/support.h"

#include <cmath>
#include <limits>

namespace {

constexpr ST_ActThres kThres = {3, 6, 3, 6, 30, 60, 130};
const float kNaN = std::numeric_limits<float>::quiet_NaN();

ST_MateMov MoveOf(float fDisp, ST_MateStaStatis *pstStatis) {
    ST_MateMov stMov{};
    *pstStatis = ST_MateStaStatis{};
    LogicMateMoveDim_ValToSta(pstStatis, &stMov, fDisp, std::fabs(fDisp), kThres);
    return stMov;
}

TEST(Classify, DisplacementThresholdsAreStrict) {
    const struct {
        float disp;
        EN_UnidRectMovClass dire;
        int large;
        size_t counter; // offset in ST_MateStaStatis
    } cases[] = {
        {3, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {3.5F, enMovPos, 0, offsetof(ST_MateStaStatis, u8PosNum)},
        {6, enMovPos, 0, offsetof(ST_MateStaStatis, u8PosNum)},
        {6.5F, enMovPos, 1, offsetof(ST_MateStaStatis, u8PosLargeNum)},
        {30, enMovPos, 1, offsetof(ST_MateStaStatis, u8PosLargeNum)},
        {30.5F, enMovExcess, 1, offsetof(ST_MateStaStatis, u8ExcessNum)},
        {-3, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {-3.5F, enMovNeg, 0, offsetof(ST_MateStaStatis, u8NegNum)},
        {-6, enMovNeg, 0, offsetof(ST_MateStaStatis, u8NegNum)},
        {-6.5F, enMovNeg, 1, offsetof(ST_MateStaStatis, u8NegLargeNum)},
        {-30.5F, enMovExcess, 1, offsetof(ST_MateStaStatis, u8ExcessNum)},
        {0.0F, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {-0.0F, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {kNaN, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {-kNaN, enMovNone, 0, offsetof(ST_MateStaStatis, u8NoneNum)},
        {std::numeric_limits<float>::infinity(), enMovExcess, 1,
         offsetof(ST_MateStaStatis, u8ExcessNum)},
    };
    for (const auto &c : cases) {
        ST_MateStaStatis stStatis;
        const ST_MateMov stMov = MoveOf(c.disp, &stStatis);
        EXPECT_EQ(stMov.enDire, c.dire) << c.disp;
        EXPECT_EQ(stMov.bLarge, c.large) << c.disp;
        const unsigned char *pu8 = reinterpret_cast<const unsigned char *>(&stStatis);
        for (size_t i = 0; i < sizeof stStatis; ++i) {
            EXPECT_EQ(pu8[i], i == c.counter ? 1 : 0) << c.disp << " counter " << i;
        }
    }
}

TEST(Classify, BandsAndAreas) {
    const struct {
        float x, y;
        EN_MatePosArea area;
    } cases[] = {
        {59.9F, 100, enPosXLoYMid}, {60, 100, enPosCentre},    {129.9F, 100, enPosCentre},
        {130, 100, enPosXHiYMid},   {10, 10, enPosXLoYLo},     {10, 200, enPosXLoYHi},
        {100, 10, enPosXMidYLo},    {100, 130, enPosXMidYHi},  {200, 10, enPosXHiYLo},
        {200, 200, enPosXHiYHi},    {kNaN, 100, enPosXHiYMid}, {100, kNaN, enPosXMidYHi},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.x << "," << c.y);
        unsigned char u8Count[kPosAreaNum] = {};
        EN_MatePosArea enArea = enPosCentre;
        EXPECT_EQ(LogicPosDim_ValToSta(u8Count, &enArea, c.x, c.y, kThres, kThres), 1);
        EXPECT_EQ(enArea, c.area) << c.x << "," << c.y;
        EXPECT_EQ(u8Count[c.area], 1);
        EN_MatePosArea enFromCount = enPosCentre;
        EXPECT_EQ(LogicPosDim_NumToSta(u8Count, &enFromCount), 1);
        EXPECT_EQ(enFromCount, c.area);
    }
}

TEST(Classify, CountersToMovementFollowPriority) {
    const struct {
        ST_MateStaStatis statis; // none, pos, posLarge, neg, negLarge, excess
        EN_UnidRectMovClass dire;
        int large;
    } cases[] = {
        {{0, 1, 1, 0, 0, 0}, enMovPos, 0}, {{0, 0, 0, 1, 0, 1}, enMovExcess, 1},
        {{0, 0, 1, 1, 0, 0}, enMovPos, 1}, {{0, 0, 0, 1, 1, 0}, enMovNeg, 0},
        {{0, 0, 0, 0, 1, 0}, enMovNeg, 1}, {{5, 0, 0, 0, 0, 0}, enMovNone, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        ST_MateMov stMov = {enMovExcess, 1};
        EXPECT_EQ(LogicMateMoveDim_NumToSta(c.statis, &stMov), 1);
        EXPECT_EQ(stMov.enDire, c.dire);
        EXPECT_EQ(stMov.bLarge, c.large);
    }
}

TEST(Classify, AreaCountersTakeTheLowestNonZeroAndLeaveOutputWhenEmpty) {
    unsigned char u8Count[kPosAreaNum] = {};
    EN_MatePosArea enArea = enPosXHiYHi;
    EXPECT_EQ(LogicPosDim_NumToSta(u8Count, &enArea), 0);
    EXPECT_EQ(enArea, enPosXHiYHi);
    u8Count[3] = 1;
    u8Count[5] = 2;
    EXPECT_EQ(LogicPosDim_NumToSta(u8Count, &enArea), 1);
    EXPECT_EQ(enArea, enPosXMidYLo);
}

TEST(Classify, DirectionChange) {
    ST_MateMov stEarlier = {enMovPos, 0};
    ST_MateMov stNewer = {enMovNeg, 0};
    EXPECT_EQ(LogicMateMoveDim_Dire(&stEarlier, &stNewer), 1);
    EXPECT_EQ(stEarlier.enDire, enMovNeg);
    EXPECT_EQ(stEarlier.bLarge, 0);
    EXPECT_EQ(stNewer.enDire, enMovExcess);
    EXPECT_EQ(stNewer.bLarge, 1);
    ST_MateMov stSame = {enMovPos, 0};
    ST_MateMov stSame2 = {enMovPos, 1};
    LogicMateMoveDim_Dire(&stSame, &stSame2);
    EXPECT_EQ(stSame2.enDire, enMovPos);
    EXPECT_EQ(stSame2.bLarge, 1);
}

class ValDimTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        LogicActMovThrParamInit(&g_stLogic);
        g_stLogic.enFedAct = enFedAct0; // model 0 thresholds 3, 6, 3, 6, 30, 60, 130 / 55, 100
        g_stLogic.enFedModel = enFedKav;
    }
    static void Classify(float fX, float fY, float fDx, float fDy) {
        ST_MateInf &stMate = g_stLogic.stLogicAdj.stLogMateReco.stMateInf;
        stMate = tvltest::Sample(fX, fY);
        stMate.fDispPosX = fDx;
        stMate.fDispPosY = fDy;
        EXPECT_EQ(LogicValDim(&g_stLogic), 1);
    }
};

TEST_F(ValDimTest, ResultsEqualDirectResultsAndOneCounterEach) {
    Classify(200, 10, 7, -31);
    const ST_LogicDim &stDim = g_stLogic.stLogicAdj.stLogicDim;
    EXPECT_EQ(stDim.stMovX.enDire, enMovPos);
    EXPECT_EQ(stDim.stMovX.bLarge, 1);
    EXPECT_EQ(stDim.stMovY.enDire, enMovExcess);
    EXPECT_EQ(stDim.enArea, enPosXHiYLo);
    EXPECT_EQ(stDim.stValMovX.enDire, stDim.stMovX.enDire);
    EXPECT_EQ(stDim.stValMovY.bLarge, stDim.stMovY.bLarge);
    EXPECT_EQ(stDim.enValArea, stDim.enArea);
    int iAreaSum = 0;
    for (const unsigned char u8 : stDim.u8AreaNum) {
        iAreaSum += u8;
    }
    EXPECT_EQ(iAreaSum, 1);
    EXPECT_EQ(stDim.stStatisX.u8PosLargeNum, 1);
    EXPECT_EQ(stDim.stStatisY.u8ExcessNum, 1);

    // A second classification starts from cleared counters.
    Classify(100, 70, 0, 0);
    EXPECT_EQ(stDim.stStatisX.u8PosLargeNum, 0);
    EXPECT_EQ(stDim.stStatisX.u8NoneNum, 1);
    EXPECT_EQ(stDim.u8AreaNum[enPosXHiYLo], 0);
    EXPECT_EQ(stDim.enArea, enPosCentre);
}

TEST_F(ValDimTest, UsesTheCurrentModelsThresholds) {
    g_stLogic.enFedModel = enFedMor; // X: 6, 12, ..., bands 100 / 220
    Classify(150, 150, 5, 0);
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogicDim.stMovX.enDire, enMovNone);
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogicDim.enArea, enPosCentre);
}

TEST_F(ValDimTest, MovementLatchHoldsTheFirstMovement) {
    const ST_LogicAdj &stAdj = g_stLogic.stLogicAdj;
    Classify(100, 70, 0, 0);
    EXPECT_EQ(stAdj.bMoveLatch, 0);
    EXPECT_EQ(stAdj.stMoveLatch[0].enDire, enMovNone);
    Classify(100, 70, 4, 0);
    EXPECT_EQ(stAdj.bMoveLatch, 1);
    EXPECT_EQ(stAdj.stMoveLatch[0].enDire, enMovPos);
    Classify(100, 70, -4, -10);
    EXPECT_EQ(stAdj.stMoveLatch[0].enDire, enMovPos);
    EXPECT_EQ(stAdj.stMoveLatch[1].enDire, enMovNone);
}

TEST_F(ValDimTest, InvalidActionOrModelLeavesResultsUntouched) {
    Classify(200, 10, 7, -31);
    const ST_LogicAdj stBefore = g_stLogic.stLogicAdj;
    for (const auto &bad : {std::pair<int, int>{0, 4}, {0, 3}, {11, 0}, {-1, 0}}) {
        SCOPED_TRACE(testing::Message() << "action " << bad.first << " model " << bad.second);
        g_stLogic.enFedAct = static_cast<EN_FeederAct>(bad.first);
        g_stLogic.enFedModel = static_cast<EN_FeederModel>(bad.second);
        g_stLogic.stLogicAdj.stLogMateReco.stMateInf.fDispPosX = 0;
        EXPECT_EQ(LogicValDim(&g_stLogic), 0);
        EXPECT_EQ(memcmp(&stBefore.stLogicDim, &g_stLogic.stLogicAdj.stLogicDim,
                         sizeof stBefore.stLogicDim),
                  0);
        EXPECT_EQ(g_stLogic.stLogicAdj.bMoveLatch, stBefore.bMoveLatch);
    }
}

} // namespace
