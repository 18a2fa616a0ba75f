// The library never allocates: a whole tuning cycle, driven through the public
// entry points and through every task state, with the allocator counted.
#include "host/tavrel.h"
#include "logic/clock.h"
#include "logic/logic.h"
#include "tests/hardening/alloc_counter.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

// What the host callbacks see; fixed storage, since recording must not
// allocate either.
ST_HostMateInf g_stNextPoll{};
int g_iCommands = 0;
TvlTimePoint g_tNow = 0;

ST_HostMateInf HostCoord() {
    return g_stNextPoll;
}
int HostFedCol(ST_HostFedColC /*stCmd*/) {
    ++g_iCommands;
    return 0;
}
int HostLogCol(int /*iStatus*/) {
    return 0;
}
TvlTimePoint FakeClock() {
    return g_tNow;
}

enum class Call { kTask, kInit, kInitNoCallbacks, kParamSet, kParamRe, kStaCol };

constexpr int kNone = -1;
constexpr ST_HostMateInf kNoSample{};

ST_HostMateInf At(float fX, float fY) {
    return ST_HostMateInf{fX, fY, 1};
}

struct Step {
    const char *pszWhat;
    Call enCall;
    int iArg;              // kInit: action; kStaCol: command
    ST_HostMateInf stPoll; // kTask: the coordinate callback's answer
    int iAdvanceMs;        // kTask: how far the clock moves first
    int iExpect;           // kTask: the task state after it; kInit: the result
    int iCommands;         // feeder commands the step sends
};

// Action 0 of model 0: target areas have X at 130 or more, wanted movement is
// X positive with Y still, six points of score make it tuned.
const Step kSteps[] = {
    {"TVLTask before TVLInit", Call::kTask, 0, At(100, 80), 0, 0, 0},
    {"TVLInit with action 11", Call::kInit, 11, {}, 0, 0, 0},
    {"TVLTask after a failed TVLInit", Call::kTask, 0, At(100, 80), 0, 0, 0},
    {"TVLInit", Call::kInit, 0, {}, 0, 1, 0},
    {"TVLLogicParamSet", Call::kParamSet, 0, {}, 0, kNone, 0},
    {"TVLLogicParamRe", Call::kParamRe, 0, {}, 0, kNone, 0},
    {"TVLTask with the priming sample", Call::kTask, 0, At(100, 80), 0, 4, 0},
    {"TVLTask without a sample", Call::kTask, 0, kNoSample, 0, 4, 0},
    {"TVLTask, first sample timeout", Call::kTask, 0, kNoSample, 5001, 4, 0},
    {"TVLTask, second sample timeout", Call::kTask, 0, kNoSample, 5001, 4, 0},
    {"TVLTask, third timeout corrects the motors", Call::kTask, 0, kNoSample, 5001, 4, 0},
    {"TVLTask, first miss", Call::kTask, 0, At(100, 80), 0, 4, 0},
    {"TVLTask, second miss", Call::kTask, 0, At(100, 80), 0, 4, 0},
    {"TVLTask, third miss commands a vibration", Call::kTask, 0, At(100, 80), 0, 4, 1},
    {"TVLTask, rejected sample corrects the motors", Call::kTask, 0, At(100, 80), 0, 4, 1},
    {"TVLTask, wanted movement 1", Call::kTask, 0, At(104, 80), 0, 4, 1},
    {"TVLTask, wanted movement 2", Call::kTask, 0, At(108, 80), 0, 4, 1},
    {"TVLTask, wanted movement 3", Call::kTask, 0, At(112, 80), 0, 4, 1},
    {"TVLTask, wanted movement 4", Call::kTask, 0, At(116, 80), 0, 4, 1},
    {"TVLTask, wanted movement 5", Call::kTask, 0, At(120, 80), 0, 4, 1},
    {"TVLTask, arrival completes the tuning", Call::kTask, 0, At(135, 80), 0, 7, 0},
    {"TVLTask waiting for the host", Call::kTask, 0, kNoSample, 0, 7, 0},
    {"TVLLogicStaCol verify", Call::kStaCol, 2, {}, 0, kNone, 0},
    {"TVLTask starting the verification", Call::kTask, 0, kNoSample, 0, 6, 1},
    {"TVLTask ending the verification", Call::kTask, 0, kNoSample, 0, 7, 0},
    {"TVLLogicStaCol success", Call::kStaCol, 3, {}, 0, kNone, 0},
    {"TVLTask after the end", Call::kTask, 0, kNoSample, 0, 8, 0},
    {"TVLLogicStaCol restart", Call::kStaCol, 1, {}, 0, kNone, 0},
    {"TVLTask, NaN sample", Call::kTask, 0, At(NAN, 80), 0, 4, 0},
    {"TVLTask, infinite sample", Call::kTask, 0, At(INFINITY, -INFINITY), 0, 4, 0},
    {"TVLTask, largest floats", Call::kTask, 0, At(FLT_MAX, -FLT_MAX), 0, 4, 0},
    {"TVLLogicStaCol end", Call::kStaCol, 0, {}, 0, kNone, 0},
    {"TVLLogicStaCol unknown command", Call::kStaCol, 4, {}, 0, kNone, 0},
    {"TVLInit with null callbacks", Call::kInitNoCallbacks, 0, {}, 0, 1, 0},
    {"TVLTask with null callbacks", Call::kTask, 0, kNoSample, 0, 4, 0},
};
constexpr int kStepNum = sizeof kSteps / sizeof kSteps[0];

int RunStep(const Step &stStep) {
    switch (stStep.enCall) {
    case Call::kTask:
        g_stNextPoll = stStep.stPoll;
        g_tNow += static_cast<TvlTimePoint>(stStep.iAdvanceMs) * 1000000;
        return TVLTask();
    case Call::kInit:
        return TVLInit(HostCoord, HostFedCol, HostLogCol, 0, stStep.iArg);
    case Call::kInitNoCallbacks:
        return TVLInit(nullptr, nullptr, nullptr, 0, stStep.iArg);
    case Call::kParamSet:
        return TVLLogicParamSet(40, 80, 70, 80, 300);
    case Call::kParamRe:
        return TVLLogicParamRe().u16FedRunTim;
    case Call::kStaCol:
        return TVLLogicStaCol(stStep.iArg);
    }
    return kNone;
}

// What each step did, gathered while counting and checked afterwards.
struct Seen {
    int iTaskStateBefore;
    int iResult;
    int iCommands;
    tvltest::AllocCounts stAllocs;
};

TEST(NoAllocationTest, WholeTuningCycleThroughEveryTaskState) {
    g_pfnLogicClock = FakeClock;
    // The first output allocates stdout's buffer; that is the C library's, once.
    printf("no-allocation test: stdout primed\n");
    fflush(stdout);

    Seen stSeen[kStepNum];
    for (int step = 0; step < kStepNum; ++step) {
        stSeen[step].iTaskStateBefore = g_stLogic.enLogicTaskSta;
        const int iCommandsBefore = g_iCommands;
        tvltest::StartCountingAllocs();
        stSeen[step].iResult = RunStep(kSteps[step]);
        stSeen[step].stAllocs = tvltest::StopCountingAllocs();
        stSeen[step].iCommands = g_iCommands - iCommandsBefore;
    }

    std::set<int> tasksIn;
    for (int step = 0; step < kStepNum; ++step) {
        const Step &stStep = kSteps[step];
        const tvltest::AllocCounts &stAllocs = stSeen[step].stAllocs;
        EXPECT_EQ(stAllocs.Total(), 0U)
            << stStep.pszWhat << ": malloc " << stAllocs.mallocs << ", free " << stAllocs.frees
            << ", new " << stAllocs.news << ", delete " << stAllocs.deletes;
        if (stStep.iExpect != kNone) {
            EXPECT_EQ(stSeen[step].iResult, stStep.iExpect) << stStep.pszWhat;
        }
        EXPECT_EQ(stSeen[step].iCommands, stStep.iCommands) << stStep.pszWhat;
        if (stStep.enCall == Call::kTask) {
            tasksIn.insert(stSeen[step].iTaskStateBefore);
        }
    }
    EXPECT_EQ(tasksIn, (std::set<int>{0, 4, 5, 6, 7, 8}));
}

// The counter itself must see what it exists to see.
TEST(NoAllocationTest, CounterSeesMallocAndNew) {
    tvltest::StartCountingAllocs();
    void *volatile pvMem = malloc(16);
    free(pvMem);
    int *volatile piObj = new int(1);
    delete piObj;
    const tvltest::AllocCounts stAllocs = tvltest::StopCountingAllocs();
    EXPECT_EQ(stAllocs.mallocs, 1U);
    EXPECT_EQ(stAllocs.frees, 1U);
    EXPECT_EQ(stAllocs.news, 1U);
    EXPECT_EQ(stAllocs.deletes, 1U);
}

} // namespace
