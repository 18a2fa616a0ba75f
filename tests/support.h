// Shared fixtures: a fresh library state, a fake clock, recording callbacks
// and stdout capture.
#ifndef TAVREL_TESTS_SUPPORT_H
#define TAVREL_TESTS_SUPPORT_H

#include "feeder/feeder.h"
#include "host/reset.h"
#include "logic/clock.h"
#include "logic/logic.h"
#include "vision/vision.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tvltest {

// A clock the tests move by hand, in nanoseconds.
inline TvlTimePoint &FakeNow() {
    static TvlTimePoint tNow = 0;
    return tNow;
}
inline TvlTimePoint FakeClock() {
    return FakeNow();
}
inline void SetNowMs(double dMs) {
    FakeNow() = static_cast<TvlTimePoint>(dMs * 1e6);
}

// What the callbacks saw.
struct Recorder {
    std::vector<ST_FedColC> commands;
    std::vector<int> statuses;
    std::vector<ST_MateInf> polls; // answered in order; no sample when exhausted
    size_t nextPoll = 0;
    int pollCount = 0;
};

inline Recorder &Rec() {
    static Recorder stRec;
    return stRec;
}

inline ST_MateInf RecCoordRe() {
    Recorder &rec = Rec();
    ++rec.pollCount;
    if (rec.nextPoll < rec.polls.size()) {
        return rec.polls[rec.nextPoll++];
    }
    return ST_MateInf{};
}
inline int RecFedCol(ST_FedColC stCmd) {
    Rec().commands.push_back(stCmd);
    return 0;
}
inline int RecAdjEnd(EN_LogicAdjSta enSta) {
    Rec().statuses.push_back(enSta);
    return 0;
}

inline ST_MateInf Sample(float fX, float fY) {
    ST_MateInf stMate{};
    stMate.fPosX = fX;
    stMate.fPosY = fY;
    stMate.bMateReco = 1;
    return stMate;
}

// Everything back to its state at load, with the fake clock in place.
inline void ResetLibrary() {
    TvlResetAll();
    Rec() = Recorder{};
    FakeNow() = 0;
    g_pfnLogicClock = FakeClock;
}

// Runs fn and returns what it printed.
template <typename Fn> std::string Printed(Fn fn) {
    fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// A fixture that starts every test from the state at load.
class Fresh : public testing::Test {
  protected:
    void SetUp() override {
        ResetLibrary();
    }
};

} // namespace tvltest

#endif
