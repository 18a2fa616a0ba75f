#include "tests/support.h"

#include <algorithm>
#include <string>

namespace {

using tvltest::Printed;
using tvltest::Rec;
using tvltest::Sample;
using tvltest::SetNowMs;

const std::string kTaskRun =
    "##############################***Task Run***##########################################\n";
const std::string kElse = "Else elpasems\n";
const std::string kVanish = ".........Mate Vanish; Tim = 3S......\n";
const std::string kWaitLine = "=====================Task wait 000=============================\n";

class TaskTest : public tvltest::Fresh {
  protected:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        Printed([] {
            ASSERT_EQ(LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, tvltest::RecAdjEnd,
                                enFedKav, enFedAct0),
                      1);
        });
    }
    static int Step(std::string *pOut = nullptr) {
        int iState = -1;
        const std::string out = Printed([&] { iState = LogicTask(); });
        if (pOut != nullptr) {
            *pOut = out;
        }
        return iState;
    }
    static std::string StepText() {
        std::string out;
        Step(&out);
        return out;
    }
    static void QueueSamples(std::initializer_list<ST_MateInf> samples) {
        Rec().polls.insert(Rec().polls.end(), samples);
    }
    static unsigned short Fre(int mot) {
        return FedVibrAdjRe(g_stLogic.enFedAct, static_cast<EN_FeederVoiMot>(mot), enFedMotFre,
                            g_stLogic.enFedModel);
    }
};

TEST_F(TaskTest, StepWithoutSampleWithinTimeoutOnlyReportsWaiting) {
    SetNowMs(4000);
    EXPECT_EQ(StepText(), kTaskRun + kElse);
    EXPECT_EQ(Rec().statuses, std::vector<int>{2});
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjNull);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 0);
    EXPECT_EQ(Rec().pollCount, 1);
}

TEST_F(TaskTest, TimeoutFiresAfterMoreThan5000WholeMilliseconds) {
    SetNowMs(5000.9);
    EXPECT_EQ(StepText(), kTaskRun + kElse);
    SetNowMs(5001);
    EXPECT_EQ(StepText(), kTaskRun + kElse + kVanish);
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjFedWait);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 1);
    EXPECT_EQ(g_stVision.bMateRecoEn, 1);
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogMateReco.tLastMate, 5001000000LL);
    // Samples in between do not move the reference.
    QueueSamples({Sample(100, 75), Sample(100, 75)});
    SetNowMs(7000);
    Step();
    Step();
    SetNowMs(10001.9);
    EXPECT_EQ(StepText(), kTaskRun + kElse);
    SetNowMs(10002);
    EXPECT_EQ(StepText(), kTaskRun + kElse + kVanish);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8RestartWaitNum, 0);
}

TEST_F(TaskTest, ThirdTimeoutInARowCorrectsMotors) {
    const unsigned short u16Fre = Fre(2);
    for (int i = 1; i <= 2; ++i) {
        SetNowMs(i * 5001.0);
        EXPECT_EQ(StepText(), kTaskRun + kElse + kVanish);
    }
    EXPECT_EQ(Fre(2), u16Fre);
    SetNowMs(3 * 5001.0);
    EXPECT_EQ(StepText(), kTaskRun + kElse + kVanish + "... ... Mot Adj... ... \n");
    EXPECT_EQ(Fre(2), u16Fre + 1);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 0);
}

TEST_F(TaskTest, AnalysedSampleRestartsTheTimeoutCount) {
    SetNowMs(5001);
    Step();
    SetNowMs(10002);
    Step();
    QueueSamples({Sample(100, 75), Sample(100, 75)}); // the first only primes the ring
    Step();
    Step();
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 0);
    const unsigned short u16Fre = Fre(2);
    SetNowMs(15003);
    Step();
    SetNowMs(20004);
    Step();
    EXPECT_EQ(g_stLogic.stLogicAdj.u8VanishNum, 2);
    EXPECT_EQ(Fre(2), u16Fre);
}

TEST_F(TaskTest, SamplePolledInAStepIsAnalysedInThatStep) {
    QueueSamples({Sample(100, 75), Sample(100, 75)});
    Step();
    const std::string out = StepText();
    EXPECT_NE(out.find("... ... ReStart Config, Wait Num = 1... ... \n"), std::string::npos);
    // Analysis left enAdj at 0: the task reports it and commands nothing.
    EXPECT_NE(out.find("*** *** enADJ NO !!! enAdj = 0 *** *** \n"), std::string::npos);
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogMateReco.bNewMate, 0);
    EXPECT_TRUE(Rec().commands.empty());
}

TEST_F(TaskTest, ThirdMissCommandsATuningVibration) {
    QueueSamples({Sample(100, 75), Sample(100, 75), Sample(100, 75), Sample(100, 75)});
    for (int i = 0; i < 3; ++i) {
        Step();
    }
    const std::string out = StepText();
    EXPECT_NE(out.find("... ... ReStart ... ... \n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 8), "Fed Col\n");
    ASSERT_EQ(Rec().commands.size(), 1U);
    EXPECT_EQ(Rec().commands[0].u16RunTim, 300);
    EXPECT_EQ(Rec().commands[0].enAct, enFedAct0);
}

TEST_F(TaskTest, VerifyCommandsTheVerificationThenEndsIt) {
    std::string out = Printed([] { EXPECT_EQ(LogicStaCol(2), 0); });
    EXPECT_EQ(out, "===================== Verify=============================\n");
    EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskVerifStart);
    for (int round = 0; round < 2; ++round) { // a second verify runs another one
        Rec().commands.clear();
        Rec().statuses.clear();
        EXPECT_EQ(Step(&out), enLogicTaskVerifIng);
        EXPECT_EQ(out, kTaskRun +
                           "===============enLogicAdjVerifIng Wait=============================="
                           "Tim = 5000\n");
        ASSERT_EQ(Rec().commands.size(), 1U);
        EXPECT_EQ(Rec().commands[0].u16RunTim, 5000);
        EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjVerifIng);
        EXPECT_EQ(Step(&out), enLogicTaskWait);
        EXPECT_EQ(out,
                  kTaskRun +
                      "=====================enLogicAdjVerif End=============================\n");
        EXPECT_EQ(Rec().statuses, std::vector<int>{6});
        EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjVerifEnd);
        EXPECT_EQ(Step(&out), enLogicTaskWait);
        EXPECT_EQ(out, kTaskRun + kWaitLine);
        Printed([] { LogicStaCol(2); });
    }
}

TEST_F(TaskTest, EndAndSuccessStopTheTask) {
    for (const int command : {0, 3}) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        SetUp();
        const std::string out = Printed([&] { LogicStaCol(command); });
        EXPECT_EQ(out, command == 0 ? "===================== End=============================\n"
                                    : "===================== Succ=============================\n");
        EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjSucc);
        QueueSamples({Sample(1, 1), Sample(2, 2)});
        std::string step;
        EXPECT_EQ(Step(&step), enLogicTaskEnd);
        EXPECT_EQ(Step(&step), enLogicTaskEnd);
        EXPECT_EQ(step, kTaskRun);
        EXPECT_EQ(Rec().pollCount, 2);
    }
}

TEST_F(TaskTest, RestartFromEndCorrectsOnceAndResumesAdjusting) {
    Printed([] { LogicStaCol(0); });
    g_stLogic.stLogicAdj.stLogicDim.stMovY.bLarge = 1; // last sample moved large: step byte 3
    g_stLogic.stLogicAdj.u8RestartWaitNum = 2;
    const unsigned short u16Fre = Fre(2);
    SetNowMs(1234);
    const std::string out = Printed([] { LogicStaCol(1); });
    EXPECT_EQ(out, "... ... Mot Adj... ... \n"
                   "===================== Restart=============================\n");
    EXPECT_EQ(Fre(2), u16Fre + 3);
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjFedWait);
    EXPECT_EQ(g_stLogic.stLogicAdj.u8RestartWaitNum, 0);
    EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
    EXPECT_EQ(g_stLogic.tAdjRestart, 1234000000LL);
}

TEST_F(TaskTest, UnknownCommandsChangeNothing) {
    for (const int command : {4, -1}) {
        SCOPED_TRACE(testing::Message() << "command " << command);
        const ST_LogicAdj stAdj = g_stLogic.stLogicAdj;
        const std::string out = Printed([&] { EXPECT_EQ(LogicStaCol(command), 0); });
        EXPECT_EQ(out, "");
        EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
        EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, stAdj.enAdj);
    }
}

TEST_F(TaskTest, SamplesWhileWaitingAreNotAnalysedUntilRestart) {
    Printed([] { LogicStaCol(2); });
    Step();
    Step();
    ASSERT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskWait);
    QueueSamples({Sample(100, 75), Sample(110, 75), Sample(140, 75)});
    std::string out;
    for (int i = 0; i < 3; ++i) {
        Step(&out);
        EXPECT_EQ(out, kTaskRun + kWaitLine);
    }
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogMateReco.stMateInf.fPosX, 140);
    Printed([] { LogicStaCol(1); });
    Step(&out);
    EXPECT_NE(out.find("Mate Pos     : 140.000000 , 75.000000 \n"), std::string::npos);
    EXPECT_NE(out.find("... ... Arrive ... ... \n"), std::string::npos);
}

TEST_F(TaskTest, FailedInitialisationOnlyPolls) {
    EXPECT_EQ(Printed([] {
                  LogicInit(tvltest::RecCoordRe, tvltest::RecFedCol, tvltest::RecAdjEnd, enFedKav,
                            static_cast<EN_FeederAct>(11));
              }),
              "Logic Init\n");
    QueueSamples({Sample(1, 1), Sample(2, 2)});
    std::string out;
    EXPECT_EQ(Step(&out), 0);
    EXPECT_EQ(Step(&out), 0);
    EXPECT_EQ(out, kTaskRun);
    EXPECT_EQ(Rec().pollCount, 2);
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogMateReco.bNewMate, 1);
}

TEST_F(TaskTest, UndetectedModelOnlyPollsInActiveStates) {
    QueueSamples({Sample(100, 75), Sample(100, 75)});
    Step();
    Rec().statuses.clear();
    g_stLogic.enFedModel = enFedNoMod;
    SetNowMs(60000);
    std::string out;
    for (const EN_LogicTaskSta enSta :
         {enLogicTaskAdj, enLogicTaskVerifStart, enLogicTaskVerifIng}) {
        SCOPED_TRACE(testing::Message() << "task state " << enSta);
        g_stLogic.enLogicTaskSta = enSta;
        g_stLogic.stLogicAdj.enAdj = enLogicAdjVerifStart;
        EXPECT_EQ(Step(&out), enSta);
        EXPECT_EQ(out, kTaskRun);
    }
    EXPECT_EQ(g_stLogic.stLogicAdj.stLogMateReco.bNewMate, 1) << "the sample stays pending";
    EXPECT_TRUE(Rec().commands.empty());
    EXPECT_TRUE(Rec().statuses.empty());
    g_stLogic.enLogicTaskSta = enLogicTaskWait;
    EXPECT_EQ(StepText(), kTaskRun + kWaitLine);
    // A restart cannot correct without a model.
    EXPECT_EQ(Printed([] { LogicAdjRestart(); }), "... ... Mot Adj Fail... ... \n");
}

TEST(TaskBeforeInit, CommandsAreRefusedAndStepsOnlyReturnZero) {
    tvltest::ResetLibrary();
    EXPECT_EQ(Printed([] {
                  LogicStaCol(2);
                  EXPECT_EQ(LogicTask(), 0);
                  LogicStaCol(1);
                  EXPECT_EQ(LogicTask(), 0);
              }),
              kTaskRun + kTaskRun);
}

// A scripted feeder on the logic's own registrations: every tuning vibration
// pushes the part 8 units along +X; the host puts the part back after an
// arrival, verifies after success and ends after the verification.
struct ScriptedFeeder {
    float fX = 100;
    float fY = 75;
    int lastStatus = 0;
};
ScriptedFeeder g_feeder;

ST_MateInf FeederCoord() {
    return Sample(g_feeder.fX, g_feeder.fY);
}
int FeederCommand(ST_FedColC stCmd) {
    Rec().commands.push_back(stCmd);
    if (stCmd.u16RunTim == 300) {
        g_feeder.fX += 8;
    }
    return 0;
}
int FeederStatus(EN_LogicAdjSta enSta) {
    Rec().statuses.push_back(enSta);
    g_feeder.lastStatus = enSta;
    if (enSta == enLogicAdjFedWait && g_feeder.fX >= 130) {
        g_feeder.fX = 100;
    }
    return 0;
}

TEST(ClosedLoop, TunesVerifiesAndEnds) {
    tvltest::ResetLibrary();
    g_feeder = ScriptedFeeder{};
    Printed([] {
        ASSERT_EQ(LogicInit(FeederCoord, FeederCommand, FeederStatus, enFedKav, enFedAct0), 1);
    });
    bool bTuned = false;
    bool bVerified = false;
    int iState = 0;
    for (int step = 0; step < 200 && iState != enLogicTaskEnd; ++step) {
        Printed([&] { iState = LogicTask(); });
        if (g_feeder.lastStatus == enLogicAdjVerifWait) {
            bTuned = true;
            Printed([] { LogicStaCol(2); });
        } else if (g_feeder.lastStatus == enLogicAdjVerifEnd) {
            bVerified = true;
            Printed([] { LogicStaCol(3); });
        }
        g_feeder.lastStatus = 0;
    }
    EXPECT_TRUE(bTuned);
    EXPECT_TRUE(bVerified);
    EXPECT_EQ(iState, enLogicTaskEnd);
    EXPECT_EQ(Rec().commands.back().u16RunTim, 5000);
    for (const int status : Rec().statuses) {
        EXPECT_TRUE(status == 1 || status == 2 || status == 3 || status == 6) << status;
    }
    EXPECT_GE(std::count(Rec().statuses.begin(), Rec().statuses.end(), 1), 6);
}

} // namespace
