#include "tests/support.h"

namespace {

using tvltest::Rec;
using tvltest::Sample;

std::vector<ST_EntiMateInf> &Delivered() {
    static std::vector<ST_EntiMateInf> delivered;
    return delivered;
}
int RecordSample(ST_EntiMateInf stEntry) {
    Delivered().push_back(stEntry);
    return 0;
}

class VisionTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        Delivered().clear();
        VisionInit();
        VisCoordReRegister(tvltest::RecCoordRe);
        VisionImageHandSucCb_Register(RecordSample);
    }
    static void Poll(std::initializer_list<ST_MateInf> polls) {
        for (const ST_MateInf &stPoll : polls) {
            Rec().polls.push_back(stPoll);
            VisionTask();
        }
    }
};

TEST_F(VisionTest, InitWritesStoredValuesAndClearsSampleCallback) {
    EXPECT_EQ(VisionInit(), 0);
    EXPECT_EQ(g_stVision.dVisInitVal[0], 122500.0);
    EXPECT_EQ(g_stVision.dVisInitVal[1], 10000.0);
    EXPECT_EQ(g_stVision.dVisSetVal, 2000.0);
    EXPECT_EQ(g_stVision.pfnImageHandSucCb, nullptr);
    EXPECT_EQ(g_stVision.pfnCoordRe, tvltest::RecCoordRe);
}

TEST_F(VisionTest, FirstSamplePrimesSecondDeliversDisplacement) {
    Poll({Sample(10, 20)});
    EXPECT_TRUE(Delivered().empty());
    EXPECT_EQ(g_stVision.bFirstSampleDone, 1);
    Poll({Sample(13.5F, 18)});
    ASSERT_EQ(Delivered().size(), 1U);
    const ST_EntiMateInf &stGot = Delivered()[0];
    EXPECT_EQ(stGot.u8Reserve, 0);
    EXPECT_EQ(stGot.stMateInf.bMateReco, 0);
    EXPECT_FLOAT_EQ(stGot.stMateInf.fPosX, 13.5F);
    EXPECT_FLOAT_EQ(stGot.stMateInf.fPosY, 18);
    EXPECT_FLOAT_EQ(stGot.stMateInf.fDispPosX, 3.5F);
    EXPECT_FLOAT_EQ(stGot.stMateInf.fDispPosY, -2);
}

TEST_F(VisionTest, InvalidPollsBetweenSamplesDoNotChangeDisplacement) {
    Poll({Sample(10, 10), ST_MateInf{}, ST_MateInf{}, Sample(15, 12)});
    ASSERT_EQ(Delivered().size(), 1U);
    EXPECT_FLOAT_EQ(Delivered()[0].stMateInf.fDispPosX, 5);
    EXPECT_FLOAT_EQ(Delivered()[0].stMateInf.fDispPosY, 2);
    EXPECT_EQ(g_stVision.u8MateIdx, 2);
}

TEST_F(VisionTest, RingWrapsAfterTenSamples) {
    for (int i = 0; i < kVisionRingLen; ++i) {
        Poll({Sample(static_cast<float>(i), 0)});
    }
    EXPECT_EQ(g_stVision.u8MateIdx, 0);
    Poll({Sample(100, 0)});
    EXPECT_EQ(g_stVision.u8MateIdx, 1);
    EXPECT_FLOAT_EQ(g_stVision.stEntiMateInf[0].stMateInf.fPosX, 100);
    EXPECT_FLOAT_EQ(Delivered().back().stMateInf.fDispPosX, 100 - 9);
}

TEST_F(VisionTest, InvalidPollClearsItsSlotAndKeepsIndex) {
    g_stVision.stEntiMateInf[0].stMateInf.fPosX = 42;
    Poll({ST_MateInf{}});
    EXPECT_EQ(g_stVision.u8MateIdx, 0);
    EXPECT_EQ(g_stVision.stEntiMateInf[0].stMateInf.fPosX, 0);
}

TEST_F(VisionTest, RecognitionRequestClearedOnlyByValidSample) {
    EXPECT_EQ(VisionMateRecoTaskEn(), 1);
    Poll({ST_MateInf{}, ST_MateInf{}});
    EXPECT_EQ(g_stVision.bMateRecoEn, 1);
    Poll({Sample(1, 1)});
    EXPECT_EQ(g_stVision.bMateRecoEn, 0);
}

TEST_F(VisionTest, NullRegistrationsKeepPreviousCallbacks) {
    EXPECT_EQ(VisCoordReRegister(nullptr), 0);
    VisionImageHandSucCb_Register(nullptr);
    VisionFedModConfigCb_Register(Logic_VisFedModCof_Cb);
    VisionFedModConfigCb_Register(nullptr);
    EXPECT_EQ(g_stVision.pfnCoordRe, tvltest::RecCoordRe);
    EXPECT_EQ(g_stVision.pfnImageHandSucCb, RecordSample);
    EXPECT_EQ(g_stVision.pfnFedModConfigCb, Logic_VisFedModCof_Cb);
}

TEST_F(VisionTest, WithoutCoordinateSourceTaskDoesNothing) {
    g_stVision.pfnCoordRe = nullptr;
    g_stVision.stEntiMateInf[0].stMateInf.fPosX = 7;
    EXPECT_EQ(VisionTask(), 0);
    EXPECT_EQ(g_stVision.stEntiMateInf[0].stMateInf.fPosX, 7);
}

TEST_F(VisionTest, WithoutSampleCallbackRingStillFills) {
    g_stVision.pfnImageHandSucCb = nullptr;
    Poll({Sample(1, 1), Sample(4, 5)});
    EXPECT_EQ(g_stVision.u8MateIdx, 2);
    EXPECT_FLOAT_EQ(g_stVision.stEntiMateInf[1].stMateInf.fDispPosX, 3);
    EXPECT_FLOAT_EQ(g_stVision.stEntiMateInf[1].stMateInf.fDispPosY, 4);
}

TEST_F(VisionTest, SetAndCheckMovement) {
    ST_VisionPixValArea stArea = {{1, 2}, 3, 4, 5, 6};
    EXPECT_EQ(VisionSet(&stArea, 300.0), 0);
    EXPECT_EQ(g_stVision.stVisPixValArea.u16AreaYMax, 6);
    EXPECT_EQ(g_stVision.dVisSetVal, 300.0);
    ST_MateInf stCur = Sample(5, 5);
    const ST_MateInf stPrev = Sample(7, 1);
    EXPECT_EQ(CheckMovement(&stCur, &stPrev), 1);
    EXPECT_FLOAT_EQ(stCur.fDispPosX, -2);
    EXPECT_FLOAT_EQ(stCur.fDispPosY, 4);
    EXPECT_FLOAT_EQ(stCur.fPosX, 5);
}

} // namespace
