#include "host/host.h"
#include "host/reset.h"
#include "tests/support.h"

#include <string>
#include <vector>

namespace {

using tvltest::Printed;

struct HostLog {
    std::vector<ST_HostFedColC> commands;
    std::vector<int> statuses;
    int polls = 0;
    ST_HostMateInf answer = {100, 75, 1};
};
HostLog g_host;

ST_HostMateInf HostCoord(void) {
    ++g_host.polls;
    return g_host.answer;
}
int HostFedCol(ST_HostFedColC stCmd) {
    g_host.commands.push_back(stCmd);
    return 123;
}
int HostLogCol(int status) {
    g_host.statuses.push_back(status);
    return -5;
}

class HostTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        g_host = HostLog{};
    }
    static int Init(PFN_TVLCoordRe pfnCoord, PFN_TVLFedCol pfnFed, PFN_TVLLogCol pfnLog, int model,
                    int act) {
        int iResult = -1;
        Printed([&] { iResult = TVLInit(pfnCoord, pfnFed, pfnLog, model, act); });
        return iResult;
    }
    static int Task(std::string *pOut = nullptr) {
        int iState = -1;
        const std::string out = Printed([&] { iState = TVLTask(); });
        if (pOut != nullptr) {
            *pOut = out;
        }
        return iState;
    }
};

TEST_F(HostTest, NullCallbacksInitialiseAndEveryStepWaits) {
    EXPECT_EQ(Init(nullptr, nullptr, nullptr, 0, 0), 1);
    for (int step = 0; step < 3; ++step) {
        tvltest::SetNowMs(6000.0 * step);
        EXPECT_EQ(Task(), TVL_TASK_ADJ);
    }
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 2);
    // The adapters stand in for the missing callbacks.
    EXPECT_EQ(TvlCoordRe().bMateReco, 0);
    EXPECT_EQ(Printed([] { EXPECT_EQ(TvlFedCol(ST_FedColC{}), 0); }),
              "$$$$$$$$$$$$$$$$$$$$$$$$$$$$$Fed Run Tim = 0$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$\n");
    EXPECT_EQ(TvlLogCol(enLogicAdjFedCol), 0);
}

TEST_F(HostTest, BadActionOrModelFailsButStepsStillPoll) {
    for (const auto &bad : {std::pair<int, int>{0, 11}, {0, -1}, {3, 0}, {4, 1}}) {
        SCOPED_TRACE(testing::Message() << "model " << bad.first << " action " << bad.second);
        tvltest::ResetLibrary();
        g_host = HostLog{};
        EXPECT_EQ(Init(HostCoord, HostFedCol, HostLogCol, bad.first, bad.second), 0);
        std::string out;
        EXPECT_EQ(Task(&out), TVL_TASK_NONE);
        EXPECT_EQ(Task(&out), TVL_TASK_NONE);
        EXPECT_EQ(g_host.polls, 2);
        EXPECT_TRUE(g_host.statuses.empty());
    }
}

TEST_F(HostTest, HostSampleWithoutRecognitionIsNeverASample) {
    g_host.answer = {5, 5, 0};
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 0, 0), 1);
    for (int step = 0; step < 4; ++step) {
        Task();
    }
    EXPECT_EQ(g_stVision.bFirstSampleDone, 0);
    EXPECT_EQ(g_host.statuses, std::vector<int>(4, 2));
}

TEST_F(HostTest, CommandRecordMatchesTheLibrarysByteForByte) {
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 1, 9), 1);
    ST_FedColC stCmd;
    memset(&stCmd, 0xEE, sizeof stCmd); // garbage in the fill bytes
    stCmd.enAct = enFedAct9;
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            stCmd.u16MotParam[mot][param] =
                static_cast<unsigned short>(0x0101 * (mot * 4 + param + 1));
        }
    }
    stCmd.u16RunTim = 500;
    const std::string out = Printed([&] { TvlFedCol(stCmd); });
    EXPECT_EQ(out, std::string(29, '$') + "Fed Run Tim = 500" + std::string(33, '$') + "\n");
    ASSERT_EQ(g_host.commands.size(), 1U);
    const auto *pu8Got = reinterpret_cast<const unsigned char *>(&g_host.commands[0]);
    const auto *pu8Sent = reinterpret_cast<const unsigned char *>(&stCmd);
    EXPECT_EQ(memcmp(pu8Got, pu8Sent, 38), 0);
    EXPECT_EQ(pu8Got[38], 0);
    EXPECT_EQ(pu8Got[39], 0);
}

TEST_F(HostTest, ParametersRoundTripInBytes4To13) {
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 2, 4), 1);
    EXPECT_EQ(TVLLogicParamSet(11, 22, 33, 44, 555), 0);
    const ST_HostLogicParam stParam = TVLLogicParamRe();
    unsigned char u8Bytes[sizeof stParam];
    memcpy(u8Bytes, &stParam, sizeof stParam);
    const unsigned short u16Expect[5] = {11, 22, 33, 44, 555};
    EXPECT_EQ(memcmp(u8Bytes + 4, u16Expect, sizeof u16Expect), 0);
    // The next tuning vibration already carries the new initial values.
    Printed([] { FedVibEnCol(enFedAct4, 555, enFedTus); });
    ASSERT_EQ(g_host.commands.size(), 1U);
    EXPECT_EQ(g_host.commands[0].u16MotParam[1][0], 11);
    EXPECT_EQ(g_host.commands[0].u16MotParam[3][1], 33);
    EXPECT_EQ(g_host.commands[0].u16RunTim, 555);
}

TEST_F(HostTest, UnknownCommandsReturnZeroAndChangeNothing) {
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 0, 0), 1);
    for (const int command : {4, -1}) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        EXPECT_EQ(Printed([&] { EXPECT_EQ(TVLLogicStaCol(command), 0); }), "");
        EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
    }
    Printed([] { EXPECT_EQ(TVLLogicStaCol(TVL_CMD_END), 0); });
    EXPECT_EQ(Task(), TVL_TASK_END);
}

// The whole run a host makes: tune, verify, succeed. The host moves the part
// 8 units along +X per tuning vibration and puts it back after each arrival.
TEST_F(HostTest, TuningRunThroughTheEntryPoints) {
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 0, 0), 1);
    size_t seenCommands = 0;
    size_t seenStatuses = 0;
    bool bVerified = false;
    int iState = 0;
    for (int step = 0; step < 300 && iState != TVL_TASK_END; ++step) {
        iState = Task();
        for (; seenCommands < g_host.commands.size(); ++seenCommands) {
            if (g_host.commands[seenCommands].u16RunTim == 300) {
                g_host.answer.fPosX += 8;
            }
        }
        for (; seenStatuses < g_host.statuses.size(); ++seenStatuses) {
            const int status = g_host.statuses[seenStatuses];
            if (status == 2 && g_host.answer.fPosX >= 130) {
                g_host.answer.fPosX = 100;
            } else if (status == 3) {
                Printed([] { TVLLogicStaCol(TVL_CMD_VERIFY); });
            } else if (status == 6) {
                bVerified = true;
                Printed([] { TVLLogicStaCol(TVL_CMD_SUCCESS); });
            }
        }
    }
    EXPECT_TRUE(bVerified);
    EXPECT_EQ(iState, TVL_TASK_END);
    EXPECT_EQ(g_host.commands.back().u16RunTim, 5000);
}

// The reset the tests and the fuzz target start from reaches every record and
// every callback pointer, the host's and the feeder's included.
TEST_F(HostTest, ResetAllForgetsEveryRecordAndCallback) {
    ASSERT_EQ(Init(HostCoord, HostFedCol, HostLogCol, 1, 3), 1);
    Task();
    Printed([] { FedVibEnCol(enFedAct3, 500, enFedMor); });
    ASSERT_EQ(g_host.commands.size(), 1U);
    ASSERT_EQ(g_host.polls, 1);
    TvlResetAll();
    g_host = HostLog{};

    EXPECT_EQ(g_stLogic.enLogicTaskSta, 0);
    EXPECT_EQ(g_stLogic.enFedModel, enFedKav);
    EXPECT_EQ(g_stLogic.stActUnit[3].u8AdjSuccNum, 0);
    EXPECT_EQ(g_stLogic.pfnLogicAdjEnd, nullptr);
    EXPECT_EQ(g_pfnLogicClock, &LogicClockMonotonic);
    EXPECT_EQ(g_stVision.bFirstSampleDone, 0);
    EXPECT_EQ(g_stVision.u8MateIdx, 0);
    EXPECT_EQ(g_stVision.pfnCoordRe, nullptr);
    EXPECT_EQ(g_stVision.pfnImageHandSucCb, nullptr);
    EXPECT_EQ(g_stVision.pfnFedModConfigCb, nullptr);
    EXPECT_EQ(FedParamRe(enFedAct3, enFedMotAmp, enFedMotWorkMain, enParamScopeMax, enFedMor), 0);
    EXPECT_EQ(FedDuartTimRe(enFedAct3, enFedMor), 0);

    // No pointer to the host or the feeder sink survives.
    EXPECT_EQ(FedVibEnCol(enFedAct3, 500, enFedMor), 0);
    Printed([] { TvlFedCol(ST_FedColC{}); });
    TvlCoordRe();
    TvlLogCol(enLogicAdjFedCol);
    EXPECT_TRUE(g_host.commands.empty());
    EXPECT_EQ(g_host.polls, 0);
    EXPECT_TRUE(g_host.statuses.empty());
}

} // namespace
