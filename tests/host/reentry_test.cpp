// Hosts that call back into the library from inside the status or feeder
// callback: an initialisation or a command that is carried out ends the step
// there; a nested TVLTask does nothing; every other call lets the step go on.
#include "host/host.h"
#include "tests/host/scripted_host.h"

#include <string>

namespace {

using tvltest::CbKind;
using tvltest::Host;
using tvltest::Moment;
using tvltest::Outcome;
using tvltest::Printed;
using tvltest::RunSession;
using tvltest::StateImage;

struct EndsStepRow {
    const char *name;
    Moment moment;
    void (*call)();
    int task; // what TVLTask returns for the interrupted step
};

void CallInitAction5() {
    tvltest::InitScripted(0, 5);
}
void CallInitBadAction() {
    tvltest::InitScripted(0, 11);
}
void CallLogicInit() {
    LogicInit(TvlCoordRe, TvlFedCol, TvlLogCol, enFedMor, enFedAct2);
}

TEST(Reentry, InitialisationOrCarriedOutCommandEndsTheStep) {
    const EndsStepRow rows[] = {
        {"end inside the verification command",
         {CbKind::kFeeder, 5000, 1},
         [] { TVLLogicStaCol(0); },
         TVL_TASK_END},
        {"init inside the verification command",
         {CbKind::kFeeder, 5000, 1},
         CallInitAction5,
         TVL_TASK_ADJ},
        {"verify inside status 2 of a timeout",
         {CbKind::kStatus, 2, 5},
         [] { TVLLogicStaCol(2); },
         TVL_TASK_VERIF_START},
        {"init inside status 1 of the decision",
         {CbKind::kStatus, 1, 1},
         CallInitAction5,
         TVL_TASK_ADJ},
        {"restart inside status 2 of a wait",
         {CbKind::kStatus, 2, 1},
         [] { TVLLogicStaCol(1); },
         TVL_TASK_ADJ},
        {"success inside status 2 of an arrival",
         {CbKind::kStatus, 2, 3},
         [] { TVLLogicStaCol(3); },
         TVL_TASK_END},
        {"failed init inside status 2 of an arrival",
         {CbKind::kStatus, 2, 4},
         CallInitBadAction,
         TVL_TASK_NONE},
        {"verify inside a tuning command",
         {CbKind::kFeeder, 300, 1},
         [] { TVLLogicStaCol(2); },
         TVL_TASK_VERIF_START},
        {"LogicAdjRestart inside a tuning command",
         {CbKind::kFeeder, 300, 2},
         [] { LogicAdjRestart(); },
         TVL_TASK_ADJ},
        {"LogicStaCol end inside status 1",
         {CbKind::kStatus, 1, 2},
         [] { LogicStaCol(0); },
         TVL_TASK_END},
        {"LogicAdjVerifStart inside status 2 of a timeout",
         {CbKind::kStatus, 2, 5},
         [] { LogicAdjVerifStart(); },
         TVL_TASK_VERIF_START},
        {"LogicAdjSucc inside status 1",
         {CbKind::kStatus, 1, 1},
         [] { LogicAdjSucc(); },
         TVL_TASK_END},
        {"LogicInit inside status 2 of a wait",
         {CbKind::kStatus, 2, 2},
         CallLogicInit,
         TVL_TASK_ADJ},
        // Nothing is left to do after statuses 3 and 6.
        {"verify inside status 3",
         {CbKind::kStatus, 3, 1},
         [] { TVLLogicStaCol(2); },
         TVL_TASK_VERIF_START},
        {"restart inside status 6",
         {CbKind::kStatus, 6, 1},
         [] { TVLLogicStaCol(1); },
         TVL_TASK_ADJ},
    };
    for (const EndsStepRow &row : rows) {
        SCOPED_TRACE(row.name);
        tvltest::ExpectStepEndsAtMoment(row.moment, row.call, row.task);
    }
}

// The reproductions: what the next steps do after the interrupted one.
TEST(Reentry, EndInsideVerificationCommandStaysEnded) {
    tvltest::ResetScripted();
    Host().moment = {CbKind::kFeeder, 5000, 1};
    Host().call = [] { TVLLogicStaCol(0); };
    RunSession(true);
    std::string out = Printed([] { EXPECT_EQ(TVLTask(), TVL_TASK_END); });
    EXPECT_EQ(out.find("Verif End"), std::string::npos);
    EXPECT_EQ((Host().seen[{CbKind::kStatus, 6}]), 0);
}

TEST(Reentry, InitInsideVerificationCommandRestoresEveryDefault) {
    tvltest::ResetScripted();
    Host().moment = {CbKind::kFeeder, 5000, 1};
    Host().call = CallInitAction5;
    RunSession(true);
    EXPECT_EQ(g_stLogic.enLogicTaskSta, enLogicTaskAdj);
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjNull);
    const StateImage stNested = StateImage::Take();
    tvltest::ResetScripted();
    Printed([] { tvltest::InitScripted(0, 5); });
    const StateImage stFresh = StateImage::Take();
    EXPECT_EQ(memcmp(stNested.u8Fed, stFresh.u8Fed, sizeof stFresh.u8Fed), 0);
    EXPECT_EQ(memcmp(&g_stLogic.stActUnit, stNested.u8Logic + offsetof(ST_Logic, stActUnit),
                     sizeof g_stLogic.stActUnit),
              0);
}

TEST(Reentry, VerifyInsideTimeoutStatusIsCarriedOutNextStep) {
    tvltest::ResetScripted();
    Host().moment = {CbKind::kStatus, 2, 5};
    Host().call = [] { TVLLogicStaCol(2); };
    RunSession(true);
    EXPECT_EQ(g_stLogic.stLogicAdj.enAdj, enLogicAdjVerifStart);
    const std::string out = Printed([] { EXPECT_EQ(tvltest::ScriptedStep(), TVL_TASK_VERIF_ING); });
    EXPECT_NE(out.find("[command act 0 run 5000"), std::string::npos) << out;
}

TEST(Reentry, InitInsideDecisionStatusAppliesNoOldCorrection) {
    tvltest::ResetScripted();
    Host().moment = {CbKind::kStatus, 1, 1};
    Host().call = CallInitAction5;
    RunSession(true);
    // Action 5 drives motors 0 and 1 only; 2 and 3 keep their factory words.
    const unsigned short u16Fre2 = FedVibrAdjRe(enFedAct5, enFedVoiMot2, enFedMotFre, enFedKav);
    const unsigned short u16Fre3 = FedVibrAdjRe(enFedAct5, enFedVoiMot3, enFedMotFre, enFedKav);
    tvltest::ResetScripted();
    Printed([] { tvltest::InitScripted(0, 5); });
    EXPECT_EQ(u16Fre2, FedVibrAdjRe(enFedAct5, enFedVoiMot2, enFedMotFre, enFedKav));
    EXPECT_EQ(u16Fre3, FedVibrAdjRe(enFedAct5, enFedVoiMot3, enFedMotFre, enFedKav));
}

// Calls that are no command carried out leave the step to go on exactly as
// without them; a nested TVLTask does nothing and returns the state in force.
TEST(Reentry, OtherCallsLetTheStepGoOnUnchanged) {
    static int s_iNested;
    const struct {
        const char *name;
        Moment moment;
        void (*call)();
        int nested; // expected result of a nested TVLTask, -1 for none
    } rows[] = {
        {"TVLTask inside the coordinate callback",
         {CbKind::kCoord, 0, 3},
         [] { s_iNested = TVLTask(); },
         TVL_TASK_ADJ},
        {"TVLTask inside status 1",
         {CbKind::kStatus, 1, 1},
         [] { s_iNested = TVLTask(); },
         TVL_TASK_ADJ},
        {"TVLTask inside a timeout status",
         {CbKind::kStatus, 2, 5},
         [] { s_iNested = TVLTask(); },
         TVL_TASK_ADJ},
        {"TVLTask inside the verification command",
         {CbKind::kFeeder, 5000, 1},
         [] { s_iNested = TVLTask(); },
         TVL_TASK_VERIF_START},
        {"TVLTask inside status 3",
         {CbKind::kStatus, 3, 1},
         [] { s_iNested = TVLTask(); },
         TVL_TASK_WAIT},
        {"command 4 inside status 1", {CbKind::kStatus, 1, 1}, [] { TVLLogicStaCol(4); }, -1},
        {"parameter read inside a tuning command",
         {CbKind::kFeeder, 300, 1},
         [] { TVLLogicParamRe(); },
         -1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        s_iNested = -1;
        tvltest::ExpectStepGoesOnUnchanged(row.moment, row.call);
        EXPECT_EQ(s_iNested, row.nested);
    }
}

} // namespace
