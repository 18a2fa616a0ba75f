// A host for whole sessions through the entry points: the coordinate callback
// answers from a queue, and every callback and every step leaves a line in the
// transcript, between the library's own text. One callback can be chosen to make
// a call back into the library.
#ifndef TAVREL_TESTS_HOST_SCRIPTED_HOST_H
#define TAVREL_TESTS_HOST_SCRIPTED_HOST_H

#include "tests/support.h"

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace tvltest {

// A copy of every static record, to show that nothing changed after a moment.
struct StateImage {
    unsigned char u8Logic[sizeof(ST_Logic)];
    unsigned char u8Vision[sizeof g_stVision];
    unsigned char u8Fed[sizeof g_stFedParam];

    static StateImage Take() {
        StateImage stImage{};
        std::memcpy(stImage.u8Logic, &g_stLogic, sizeof(ST_Logic));
        std::memcpy(stImage.u8Vision, &g_stVision, sizeof g_stVision);
        std::memcpy(stImage.u8Fed, g_stFedParam, sizeof g_stFedParam);
        return stImage;
    }
    bool operator==(const StateImage &stOther) const {
        return std::memcmp(this, &stOther, sizeof *this) == 0;
    }
};

// Which callback makes the call back: the n-th (from 1) poll (value 0), status
// callback with the given status, or feeder callback with the given run time.
enum class CbKind { kCoord, kStatus, kFeeder };
struct Moment {
    CbKind kind;
    int value;
    int nth;
};

struct ScriptedHost {
    std::deque<ST_HostMateInf> polls; // no sample when empty
    Moment moment{CbKind::kStatus, -1, 0};
    std::function<void()> call; // made at the moment
    bool bCalled = false;
    int iTaskAtReturn = -1; // the task state as the callback returned
    StateImage stAtReturn{};
    std::map<std::pair<CbKind, int>, int> seen; // callbacks so far, by kind and value
    int iReturn = 0;                            // what the feeder and status callbacks return
};

inline ScriptedHost &Host() {
    static ScriptedHost stHost;
    return stHost;
}

inline void AtMoment(CbKind kind, int value) {
    ScriptedHost &host = Host();
    ++host.seen[{kind, value}];
    if (host.bCalled || host.moment.kind != kind || host.moment.value != value) {
        return;
    }
    if (host.seen[{kind, value}] != host.moment.nth || !host.call) {
        return;
    }
    host.bCalled = true;
    host.call();
    printf("[callback returns]\n");
    host.iTaskAtReturn = g_stLogic.enLogicTaskSta;
    host.stAtReturn = StateImage::Take();
}

inline ST_HostMateInf ScriptedCoord(void) {
    ScriptedHost &host = Host();
    AtMoment(CbKind::kCoord, 0);
    ST_HostMateInf stMate{0, 0, 0};
    if (!host.polls.empty()) {
        stMate = host.polls.front();
        host.polls.pop_front();
    }
    printf("[poll %g %g %d]\n", static_cast<double>(stMate.fPosX),
           static_cast<double>(stMate.fPosY), stMate.bMateReco);
    return stMate;
}
inline int ScriptedFedCol(ST_HostFedColC stCmd) {
    printf("[command act %d run %d amp %d %d %d %d fre %d %d %d %d]\n", stCmd.enAct,
           stCmd.u16RunTim, stCmd.u16MotParam[0][0], stCmd.u16MotParam[1][0],
           stCmd.u16MotParam[2][0], stCmd.u16MotParam[3][0], stCmd.u16MotParam[0][1],
           stCmd.u16MotParam[1][1], stCmd.u16MotParam[2][1], stCmd.u16MotParam[3][1]);
    AtMoment(CbKind::kFeeder, stCmd.u16RunTim);
    return Host().iReturn;
}
inline int ScriptedLogCol(int iStatus) {
    printf("[status %d]\n", iStatus);
    AtMoment(CbKind::kStatus, iStatus);
    return Host().iReturn;
}

inline int InitScripted(int model, int action) {
    return TVLInit(ScriptedCoord, ScriptedFedCol, ScriptedLogCol, model, action);
}

inline void QueueSample(float fX, float fY) {
    Host().polls.push_back(ST_HostMateInf{fX, fY, 1});
}

// One step with its result in the transcript.
inline int ScriptedStep() {
    const int iState = TVLTask();
    printf("[task %d]\n", iState);
    return iState;
}

// Starts a fresh library and host.
inline void ResetScripted() {
    ResetLibrary();
    Host() = ScriptedHost{};
}

// One host session on model 0, action 0 that passes every moment a callback can
// interrupt. 's' a step with a sample, 'n' a step without, 't' the clock in ms,
// 'c' a command.
struct Move {
    char op;
    float x;
    float y;
};
const Move kSession[] = {
    {'n', 0, 0},                                    // waiting: status 2 #1
    {'s', 100, 80},                                 // primes the sampler: status 2 #2
    {'s', 100, 80}, {'s', 100, 80}, {'s', 100, 80}, // missed while waiting; tuning command #1
    {'s', 100, 80},              // missed while adjusting: status 1 #1, command #2
    {'s', 135, 80},              // arrived while adjusting: status 2 #3
    {'s', 135, 80},              // arrived while waiting: status 2 #4
    {'t', 6000, 0}, {'n', 0, 0}, // waiting with a timeout: status 2 #5
    {'s', 100, 80}, {'s', 100, 80}, {'s', 100, 80}, // command #3
    {'s', 104, 80}, {'s', 108, 80}, {'s', 112, 80}, // accepted: status 1 #2.., commands
    {'s', 116, 80}, {'s', 120, 80}, {'s', 135, 80}, // tuned: status 3 #1
    {'c', 2, 0},    {'n', 0, 0},                    // verification command (run 5000) #1
    {'n', 0, 0},                                    // status 6 #1
    {'c', 0, 0},    {'n', 0, 0},
};

struct Outcome {
    std::string transcript;
    int iTaskOfMomentStep = -1;
    StateImage stAfterMomentStep{};
};

// Runs the session until the step in which the host called back, or to the end.
inline Outcome RunSession(bool bStopAtMoment) {
    Outcome outcome;
    outcome.transcript = Printed([&] {
        EXPECT_EQ(InitScripted(0, 0), 1);
        for (const Move &move : kSession) {
            switch (move.op) {
            case 's':
                QueueSample(move.x, move.y);
                [[fallthrough]];
            case 'n': {
                const bool bBefore = Host().bCalled;
                const int iTask = TVLTask();
                if (!bBefore && Host().bCalled) {
                    outcome.iTaskOfMomentStep = iTask;
                    outcome.stAfterMomentStep = StateImage::Take();
                }
                printf("[task %d]\n", iTask);
                break;
            }
            case 't':
                SetNowMs(move.x);
                break;
            default:
                TVLLogicStaCol(static_cast<int>(move.x));
                break;
            }
            if (bStopAtMoment && Host().bCalled) {
                return;
            }
        }
    });
    return outcome;
}

inline std::string Without(std::string text, const std::string &cut) {
    for (size_t pos = text.find(cut); pos != std::string::npos; pos = text.find(cut)) {
        text.erase(pos, cut.size());
    }
    return text;
}

inline std::string Baseline() {
    ResetScripted();
    return RunSession(false).transcript;
}

const char *const kReturns = "[callback returns]\n";

// Runs the session from a fresh library until the host calls back at the
// moment, and checks that the step ended as the callback returned: nothing
// printed, called or changed after it, and TVLTask returned iTask.
inline void ExpectStepEndsAtMoment(Moment moment, void (*pfnCall)(), int iTask) {
    ResetScripted();
    Host().moment = moment;
    Host().call = pfnCall;
    const Outcome outcome = RunSession(true);
    ASSERT_TRUE(Host().bCalled);
    const std::string &text = outcome.transcript;
    EXPECT_EQ(text.substr(text.rfind(kReturns)),
              kReturns + std::string("[task ") + std::to_string(iTask) + "]\n");
    EXPECT_EQ(outcome.iTaskOfMomentStep, iTask);
    EXPECT_EQ(Host().iTaskAtReturn, iTask);
    EXPECT_TRUE(outcome.stAfterMomentStep == Host().stAtReturn);
}

// Runs the whole session with the host calling back at the moment; the
// transcript must be the one without the call back.
inline void ExpectStepGoesOnUnchanged(Moment moment, void (*pfnCall)()) {
    const std::string baseline = Baseline();
    ResetScripted();
    Host().moment = moment;
    Host().call = pfnCall;
    const std::string transcript = RunSession(false).transcript;
    EXPECT_TRUE(Host().bCalled);
    EXPECT_EQ(Without(transcript, kReturns), baseline);
}

} // namespace tvltest

#endif
