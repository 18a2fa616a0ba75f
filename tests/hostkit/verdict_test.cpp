// The early verdict against the library's own motor correction: the words
// come from LogicValAnaHandle_MotCol and the bounds in force, as a session
// would see them in its feeder commands.
#include "support.h"
#include "verdict.h"

#include <string>

namespace {

using tvltest::Fresh;

ST_HostFedColC currentCommand(int action, int model) {
    ST_HostFedColC command{};
    command.enAct = action;
    for (int motor = 0; motor < kVoiMotNum; ++motor) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            command.u16MotParam[motor][param] = FedVibrAdjRe(
                static_cast<EN_FeederAct>(action), static_cast<EN_FeederVoiMot>(motor),
                static_cast<EN_FeederMotParam>(param), static_cast<EN_FeederModel>(model));
        }
    }
    return command;
}

void correct(int action, int model) {
    LogicValAnaHandle_MotCol(static_cast<EN_FeederAct>(action), g_stLogic.stActUnit[action],
                             enAdjCfgOff, 0, 0, static_cast<EN_FeederModel>(model));
}

// Full corrections in a row until a motor's words repeat: the length of one
// sweep of its frequency window at every amplitude, counted from the bounds.
int sweepLength(int action, int model, EN_FedMotWorkType work, int freStep, int ampStep) {
    const auto act = static_cast<EN_FeederAct>(action);
    const auto mod = static_cast<EN_FeederModel>(model);
    const int freLevels = (FedParamRe(act, enFedMotFre, work, enParamScopeMax, mod) -
                           FedParamRe(act, enFedMotFre, work, enParamScopeInit, mod)) /
                              freStep +
                          1;
    const int ampLevels = (FedParamRe(act, enFedMotAmp, work, enParamScopeMax, mod) -
                           FedParamRe(act, enFedMotAmp, work, enParamScopeInit, mod)) /
                              ampStep +
                          1;
    return freLevels * ampLevels;
}

// Corrections (each followed by a command) until the verdict, or -1.
int correctionsToVerdict(tvk::SweepVerdict &verdict, int action, int model, int limit) {
    verdict.observe(currentCommand(action, model));
    for (int n = 1; n <= limit; ++n) {
        correct(action, model);
        if (verdict.observe(currentCommand(action, model))) {
            return n;
        }
    }
    return -1;
}

class Verdict : public Fresh {};

TEST_F(Verdict, ComesExactlyWhenTheLastDrivenMotorCompletesItsSweep) {
    struct Case {
        int model;
        int action;
        int sweeps;
    };
    // Main motors only (0, 3), one auxiliary motor with its own amplitude step
    // (1, 6), two auxiliary motors and windows swept in fewer than 100
    // vibrations (9), and more sweeps.
    const Case cases[] = {{0, 0, 1}, {1, 3, 1}, {0, 1, 1}, {2, 6, 1},
                          {0, 9, 1}, {0, 9, 3}, {0, 0, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model) + " action " + std::to_string(c.action));
        ASSERT_EQ(TVLInit(nullptr, nullptr, nullptr, c.model, c.action), 1);
        const ST_ActManageUnit &unit = g_stLogic.stActUnit[c.action];
        const unsigned char *step = unit.u8AdjStep[c.model];
        int expected = 0;
        for (int motor = 0; motor < kVoiMotNum; ++motor) {
            const EN_AdjConfigSta cfg = unit.enMotCfg[motor];
            if (cfg == enAdjCfgOff) {
                continue;
            }
            const bool aux = cfg == enAdjCfgAux;
            const int ampStep = aux && unit.bAuxAmpStep == 1 ? step[2] : step[1];
            const int length = sweepLength(
                c.action, c.model, aux ? enFedMotWorkAux : enFedMotWorkMain, step[0], ampStep);
            // A motor's n-th sweep ends at its n-th return to the initial words.
            expected = std::max(expected, length * c.sweeps);
        }
        // And at least 100 vibrations per sweep, the first one included.
        expected = std::max(expected, 100 * c.sweeps - 1);
        tvk::SweepVerdict verdict;
        verdict.begin(c.model, c.action, c.sweeps);
        EXPECT_EQ(correctionsToVerdict(verdict, c.action, c.model, 100000), expected);
        EXPECT_NE(verdict.reason().find("swept its whole frequency window"), std::string::npos);
    }
}

TEST_F(Verdict, NamesEachDrivenMotorWithItsWindowAndTopAmplitude) {
    ASSERT_EQ(TVLInit(nullptr, nullptr, nullptr, 0, 0), 1);
    tvk::SweepVerdict verdict;
    verdict.begin(0, 0, 1);
    ASSERT_GT(correctionsToVerdict(verdict, 0, 0, 100000), 0);
    const auto work = enFedMotWorkMain;
    const std::string window =
        "frequency " +
        std::to_string(FedParamRe(enFedAct0, enFedMotFre, work, enParamScopeInit, enFedKav)) +
        ".." + std::to_string(FedParamRe(enFedAct0, enFedMotFre, work, enParamScopeMax, enFedKav));
    const std::string &reason = verdict.reason();
    EXPECT_NE(reason.find("motor 2 " + window), std::string::npos) << reason;
    EXPECT_NE(reason.find("motor 3 " + window), std::string::npos) << reason;
    EXPECT_EQ(reason.find("motor 0"), std::string::npos) << reason;
}

TEST_F(Verdict, OtherReturnsToTheInitialWordsDoNotCount) {
    ASSERT_EQ(TVLInit(nullptr, nullptr, nullptr, 0, 1), 1); // motor 0 auxiliary, 2 main
    tvk::SweepVerdict verdict;
    verdict.begin(0, 1, 1);
    // The main motor completes its sweeps; the auxiliary motor's amplitude
    // goes to the top and back alone (the auxiliary correction) with its
    // frequency low, which is no sweep of its window.
    const auto read = [](EN_FedMotWorkType work, EN_FeederMotParam param, EN_ParamScopeSet scope) {
        return FedParamRe(enFedAct1, param, work, scope, enFedKav);
    };
    ST_HostFedColC top{};
    top.u16MotParam[2][0] = read(enFedMotWorkMain, enFedMotAmp, enParamScopeMax);
    top.u16MotParam[2][1] = read(enFedMotWorkMain, enFedMotFre, enParamScopeMax);
    top.u16MotParam[0][0] = read(enFedMotWorkAux, enFedMotAmp, enParamScopeMax);
    top.u16MotParam[0][1] = read(enFedMotWorkAux, enFedMotFre, enParamScopeInit);
    ST_HostFedColC back{};
    back.u16MotParam[2][0] = read(enFedMotWorkMain, enFedMotAmp, enParamScopeInit);
    back.u16MotParam[2][1] = read(enFedMotWorkMain, enFedMotFre, enParamScopeInit);
    back.u16MotParam[0][0] = read(enFedMotWorkAux, enFedMotAmp, enParamScopeInit);
    back.u16MotParam[0][1] = read(enFedMotWorkAux, enFedMotFre, enParamScopeInit);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(verdict.observe(top));
        EXPECT_FALSE(verdict.observe(back));
    }
    // A return from a lower amplitude (new host parameters, say) neither.
    ST_HostFedColC low = top;
    low.u16MotParam[0][0] = back.u16MotParam[0][0];
    low.u16MotParam[0][1] = read(enFedMotWorkAux, enFedMotFre, enParamScopeMax);
    EXPECT_FALSE(verdict.observe(low));
    EXPECT_FALSE(verdict.observe(back));
    EXPECT_TRUE(verdict.reason().empty());
}

TEST_F(Verdict, CountsAgainAfterSuccessAndNeverWhenOff) {
    ASSERT_EQ(TVLInit(nullptr, nullptr, nullptr, 0, 0), 1);
    tvk::SweepVerdict verdict;
    verdict.begin(0, 0, 1);
    const int first = correctionsToVerdict(verdict, 0, 0, 100000);
    ASSERT_GT(first, 0);
    verdict.countAgain();
    EXPECT_FALSE(verdict.reached());
    EXPECT_EQ(correctionsToVerdict(verdict, 0, 0, 100000), first);

    tvk::SweepVerdict off;
    off.begin(0, 0, 0);
    EXPECT_EQ(correctionsToVerdict(off, 0, 0, 5 * first), -1);
}

} // namespace
