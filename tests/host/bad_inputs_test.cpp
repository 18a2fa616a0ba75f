// Every row of docs/bad-inputs.md, checked through the calls a host makes. The
// rows here and the rows of the document carry the same keys; the last test
// holds the two lists together.
#include "host/host.h"
#include "tests/host/scripted_host.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <fstream>
#include <regex>
#include <set>
#include <string>

namespace {

using tvltest::CbKind;
using tvltest::Host;
using tvltest::Printed;
using tvltest::StateImage;

const std::string kTaskRun =
    "##############################***Task Run***##########################################\n";

int InitQuiet(int model, int action) {
    int iResult = -1;
    Printed([&] { iResult = tvltest::InitScripted(model, action); });
    return iResult;
}

// One step; its result, and its text through pOut.
int Step(std::string *pOut = nullptr) {
    int iState = -1;
    const std::string out = Printed([&] { iState = tvltest::ScriptedStep(); });
    if (pOut != nullptr) {
        *pOut = out;
    }
    return iState;
}

std::string StepWith(ST_HostMateInf stMate) {
    Host().polls.push_back(stMate);
    std::string out;
    Step(&out);
    return out;
}

bool Has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// --- Entry points -------------------------------------------------------------

void TaskBeforeInit() {
    std::string out;
    EXPECT_EQ(Step(&out), 0);
    EXPECT_EQ(out, kTaskRun + "[task 0]\n");
}

void ExpectOnlyPolls() {
    Host().polls.push_back({100, 80, 1});
    std::string out;
    EXPECT_EQ(Step(&out), 0);
    EXPECT_EQ(out, "[poll 100 80 1]\n" + kTaskRun + "[task 0]\n");
}

void InitBadAction() {
    for (const int iAct : {11, -1, INT_MIN}) {
        SCOPED_TRACE(iAct);
        tvltest::ResetScripted();
        EXPECT_EQ(InitQuiet(0, iAct), 0);
        ExpectOnlyPolls();
    }
}

void InitBadModel() {
    for (const int iModel : {3, 4, -1}) {
        SCOPED_TRACE(iModel);
        tvltest::ResetScripted();
        EXPECT_EQ(InitQuiet(iModel, 0), 0);
        ExpectOnlyPolls();
    }
}

void InitNullCallbacks() {
    Printed([] { EXPECT_EQ(TVLInit(nullptr, nullptr, nullptr, 0, 0), 1); });
    std::string out;
    EXPECT_EQ(Step(&out), TVL_TASK_ADJ);
    tvltest::SetNowMs(5001);
    EXPECT_EQ(Step(&out), TVL_TASK_ADJ);
    EXPECT_TRUE(Has(out, "Mate Vanish")) << out;
    Printed([] { TVLLogicStaCol(2); });
    EXPECT_EQ(Step(&out), TVL_TASK_VERIF_ING);
    EXPECT_TRUE(Has(out, "Fed Run Tim = 5000")) << out;
}

void CommandOutOfRange() {
    InitQuiet(0, 0);
    for (const int iCmd : {4, -1, INT_MIN}) {
        const StateImage stBefore = StateImage::Take();
        EXPECT_EQ(Printed([&] { EXPECT_EQ(TVLLogicStaCol(iCmd), 0); }), "");
        EXPECT_TRUE(stBefore == StateImage::Take()) << iCmd;
    }
}

// Every way to command the task, through the entry point and the exports.
using Command = int (*)();
const struct {
    const char *name;
    Command call;
} kCommands[] = {
    {"TVLLogicStaCol(0)", [] { return TVLLogicStaCol(0); }},
    {"TVLLogicStaCol(1)", [] { return TVLLogicStaCol(1); }},
    {"TVLLogicStaCol(2)", [] { return TVLLogicStaCol(2); }},
    {"TVLLogicStaCol(3)", [] { return TVLLogicStaCol(3); }},
    {"LogicStaCol(1)", [] { return LogicStaCol(1); }},
    {"LogicStaCol(2)", [] { return LogicStaCol(2); }},
    {"LogicAdjSucc", LogicAdjSucc},
    {"LogicAdjVerifStart", LogicAdjVerifStart},
    {"LogicAdjRestart", LogicAdjRestart},
};

void CommandBeforeInit() {
    for (const bool bFailedInit : {false, true}) {
        for (const auto &cmd : kCommands) {
            SCOPED_TRACE(std::string(cmd.name) + (bFailedInit ? " after a failed init" : ""));
            tvltest::ResetScripted();
            if (bFailedInit) {
                EXPECT_EQ(InitQuiet(0, 11), 0);
            }
            const StateImage stBefore = StateImage::Take();
            EXPECT_EQ(Printed([&] { EXPECT_EQ(cmd.call(), 0); }), "");
            EXPECT_TRUE(stBefore == StateImage::Take());
            tvltest::SetNowMs(60000);
            std::string out;
            EXPECT_EQ(Step(&out), 0);
            EXPECT_FALSE(Has(out, "[command")) << out;
        }
    }
}

void ParamsWithoutInit() {
    const struct {
        const char *name;
        void (*setup)();
    } stages[] = {
        {"before any init", [] {}},
        {"after a failed init", [] { InitQuiet(0, 11); }},
        {"with no model detected",
         [] {
             InitQuiet(0, 0);
             Printed([] { Logic_VisFedModCof_Cb(NAN, 150); });
         }},
    };
    for (const auto &stage : stages) {
        SCOPED_TRACE(stage.name);
        tvltest::ResetScripted();
        stage.setup();
        const StateImage stBefore = StateImage::Take();
        EXPECT_EQ(TVLLogicParamSet(1, 2, 3, 4, 5), 0);
        EXPECT_TRUE(stBefore == StateImage::Take());
        const ST_HostLogicParam stRead = TVLLogicParamRe();
        EXPECT_EQ(stRead.u16AmpInit | stRead.u16AmpMax | stRead.u16FreInit | stRead.u16FreMax |
                      stRead.u16FedRunTim,
                  0);
    }
}

void ParamsContradicting() {
    InitQuiet(0, 0);
    EXPECT_EQ(TVLLogicParamSet(90, 70, 20, 40, 650), 0);
    const ST_HostLogicParam stRead = TVLLogicParamRe();
    EXPECT_EQ(stRead.u16AmpInit, 90);
    EXPECT_EQ(stRead.u16AmpMax, 70);
    // Action 0 drives motor 2 as a main motor: 91 would leave 0..70.
    EXPECT_EQ(FedVibrAdj(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedMotAmp, enParamAdjUp, 1,
                         enFedKav),
              0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotAmp, enFedKav), 90);
}

// --- Calls from inside the host's callbacks --------------------------------------

void InitInsideStatusOrFeeder() {
    const tvltest::Moment moments[] = {
        {CbKind::kStatus, 2, 1}, {CbKind::kStatus, 1, 1},    {CbKind::kFeeder, 300, 2},
        {CbKind::kStatus, 3, 1}, {CbKind::kFeeder, 5000, 1}, {CbKind::kStatus, 6, 1},
    };
    for (const tvltest::Moment &moment : moments) {
        SCOPED_TRACE(static_cast<int>(moment.kind) * 10000 + moment.value);
        tvltest::ExpectStepEndsAtMoment(
            moment, [] { tvltest::InitScripted(1, 5); }, TVL_TASK_ADJ);
        const StateImage stNested = StateImage::Take();
        tvltest::ResetScripted();
        InitQuiet(1, 5);
        EXPECT_EQ(memcmp(stNested.u8Fed, StateImage::Take().u8Fed, sizeof stNested.u8Fed), 0);
        tvltest::ExpectStepEndsAtMoment(
            moment, [] { tvltest::InitScripted(0, 11); }, TVL_TASK_NONE);
    }
}

void CommandInsideStatusOrFeeder() {
    const struct {
        tvltest::Moment moment;
        void (*call)();
        int task;
    } rows[] = {
        {{CbKind::kStatus, 2, 5}, [] { TVLLogicStaCol(2); }, TVL_TASK_VERIF_START},
        {{CbKind::kStatus, 1, 1}, [] { TVLLogicStaCol(1); }, TVL_TASK_ADJ},
        {{CbKind::kFeeder, 5000, 1}, [] { TVLLogicStaCol(0); }, TVL_TASK_END},
        {{CbKind::kStatus, 3, 1}, [] { TVLLogicStaCol(2); }, TVL_TASK_VERIF_START},
        {{CbKind::kStatus, 6, 1}, [] { TVLLogicStaCol(3); }, TVL_TASK_END},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.task);
        tvltest::ExpectStepEndsAtMoment(row.moment, row.call, row.task);
    }
    // The next step acts on the commanded state.
    std::string out;
    tvltest::ExpectStepEndsAtMoment(rows[0].moment, rows[0].call, rows[0].task);
    EXPECT_EQ(Step(&out), TVL_TASK_VERIF_ING);
    EXPECT_TRUE(Has(out, "[command act 0 run 5000")) << out;
}

void CallsInsideCoordinate() {
    // A verify given while polling: the same step starts the verification.
    tvltest::ResetScripted();
    InitQuiet(0, 0);
    Host().moment = {CbKind::kCoord, 0, 1};
    Host().call = [] { TVLLogicStaCol(2); };
    std::string out;
    EXPECT_EQ(Step(&out), TVL_TASK_VERIF_ING);
    EXPECT_TRUE(Has(out, "[command act 0 run 5000")) << out;
    // An initialisation while polling: the step goes on for the new action.
    tvltest::ResetScripted();
    InitQuiet(0, 0);
    Host().moment = {CbKind::kCoord, 0, 1};
    Host().call = [] { tvltest::InitScripted(1, 5); };
    EXPECT_EQ(Step(&out), TVL_TASK_ADJ);
    EXPECT_TRUE(Has(out, "Else elpasems")) << out;
    EXPECT_EQ(TVLLogicParamRe().u16FedRunTim, 500);
}

void ParamsInsideCallback() {
    tvltest::ResetScripted();
    Host().moment = {CbKind::kStatus, 1, 1};
    Host().call = [] { TVLLogicParamSet(50, 90, 60, 90, 700); };
    const std::string text = tvltest::RunSession(true).transcript;
    // Stored at once; the step goes on and corrects from the new initial values.
    const std::string after = text.substr(text.rfind(tvltest::kReturns));
    EXPECT_TRUE(Has(after, "Mot Adj... ...")) << after;
    EXPECT_TRUE(Has(after, "[command act 0 run 700 amp 0 0 50 50 fre 0 0 61 61]")) << after;
    EXPECT_EQ(TVLLogicParamRe().u16FedRunTim, 700);
}

void TaskInsideCallback() {
    static int s_iNested = -1;
    const tvltest::Moment moments[] = {
        {CbKind::kCoord, 0, 2}, {CbKind::kStatus, 1, 1}, {CbKind::kFeeder, 300, 1}};
    for (const tvltest::Moment &moment : moments) {
        SCOPED_TRACE(static_cast<int>(moment.kind));
        s_iNested = -1;
        tvltest::ExpectStepGoesOnUnchanged(moment, [] { s_iNested = TVLTask(); });
        EXPECT_EQ(s_iNested, TVL_TASK_ADJ);
    }
}

// --- What the coordinate callback returns ----------------------------------------

void NeverASample() {
    InitQuiet(0, 0);
    int iVanish = 0;
    int iCorrections = 0;
    for (const double dMs : {1000.0, 5000.0, 5001.0, 10001.0, 10002.0, 15003.0}) {
        tvltest::SetNowMs(dMs);
        std::string out;
        Step(&out);
        EXPECT_TRUE(Has(out, "[status 2]")) << dMs;
        iVanish += Has(out, "Mate Vanish") ? 1 : 0;
        iCorrections += Has(out, "Mot Adj") ? 1 : 0;
    }
    EXPECT_EQ(iVanish, 3); // at 5001, 10002 and 15003 ms
    EXPECT_EQ(iCorrections, 1);
}

void AnyNonZeroValidity() {
    InitQuiet(0, 0);
    StepWith({100, 80, -1});
    EXPECT_TRUE(Has(StepWith({100, 80, INT_MIN}), "Mate Pos     : 100.000000 , 80.000000"));
}

// The classification of the second of two samples, from the decision's dump.
std::string Classified(ST_HostMateInf stFirst, ST_HostMateInf stSecond) {
    tvltest::ResetScripted();
    InitQuiet(0, 0);
    StepWith(stFirst);
    return StepWith(stSecond);
}

void NanCoordinates() {
    const std::string out = Classified({100, 80, 1}, {NAN, 80, 1});
    EXPECT_TRUE(Has(out, "MateSta      : 0 , 0")) << out; // no movement
    EXPECT_TRUE(Has(out, "Mate Area    : 5")) << out;     // X high band, Y middle
    EXPECT_TRUE(Has(out, "Mate Pos     : nan , 80.000000")) << out;
}

void InfiniteCoordinates() {
    std::string out = Classified({100, 80, 1}, {INFINITY, 80, 1});
    EXPECT_TRUE(Has(out, "MateSta      : 3 , 0")) << out; // excess
    EXPECT_TRUE(Has(out, "Mate Area    : 5")) << out;
    out = Classified({100, 80, 1}, {-INFINITY, 80, 1});
    EXPECT_TRUE(Has(out, "MateSta      : 3 , 0")) << out;
    EXPECT_TRUE(Has(out, "Mate Area    : 0")) << out; // X low band
}

void ExtremeCoordinates() {
    std::string out = Classified({-FLT_MAX, 80, 1}, {FLT_MAX, 80, 1});
    EXPECT_TRUE(Has(out, "MateSta      : 3 , 0")) << out; // the displacement overflows
    out = Classified({-0.0F, 80, 1}, {FLT_TRUE_MIN, 80, 1});
    EXPECT_TRUE(Has(out, "MateSta      : 0 , 0")) << out;
}

// --- Exported operations a host may call directly ---------------------------------

void StoreBadIndex() {
    InitQuiet(0, 0);
    const StateImage stBefore = StateImage::Take();
    const auto bad = [](int value) { return value; };
    EXPECT_EQ(FedParamRe(static_cast<EN_FeederAct>(bad(11)), enFedMotAmp, enFedMotWorkMain,
                         enParamScopeInit, enFedKav),
              0);
    EXPECT_EQ(FedParamRe(enFedAct0, enFedMotAmp, enFedMotWorkMain,
                         static_cast<EN_ParamScopeSet>(bad(3)), enFedKav),
              0);
    EXPECT_EQ(FedParamSet(enFedAct0, static_cast<EN_FeederMotParam>(bad(4)), enFedMotWorkMain,
                          enParamScopeInit, 9, enFedKav),
              0);
    EXPECT_EQ(FedParamSet(enFedAct0, enFedMotAmp, static_cast<EN_FedMotWorkType>(bad(2)),
                          enParamScopeInit, 9, enFedKav),
              0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, static_cast<EN_FeederVoiMot>(bad(-1)), enFedMotAmp, enFedKav),
              0);
    EXPECT_EQ(FedDuartTimAdj(enFedAct0, 9, static_cast<EN_FeederModel>(bad(3))), 0);
    EXPECT_EQ(FedDuartTimRe(static_cast<EN_FeederAct>(bad(-1)), enFedKav), 0);
    EXPECT_EQ(FedVibrAdj(enFedAct0, static_cast<EN_FeederVoiMot>(bad(4)), enFedMotWorkMain,
                         enFedMotAmp, enParamAdjUp, 1, enFedKav),
              0);
    EXPECT_EQ(FedParamSetAnewInit(enFedAct0, enFedVoiMot0, static_cast<EN_FedMotWorkType>(bad(2)),
                                  enFedKav),
              0);
    EXPECT_EQ(FedParamSetClearInit(enFedAct0, enFedVoiMot0, static_cast<EN_FeederModel>(bad(4))),
              0);
    EXPECT_TRUE(stBefore == StateImage::Take());
}

void VibrAdjBadDirection() {
    InitQuiet(0, 0);
    const StateImage stBefore = StateImage::Take();
    EXPECT_EQ(FedVibrAdj(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedMotFre,
                         static_cast<EN_ParamAdjDire>(2), 1, enFedKav),
              1);
    EXPECT_TRUE(stBefore == StateImage::Take());
}

void VibrAdjBigStep() {
    InitQuiet(0, 0);
    const unsigned short u16Init = FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotFre, enFedKav);
    for (const EN_ParamAdjDire enDire : {enParamAdjUp, enParamAdjDown}) {
        FedVibrAdj(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedMotFre, enParamAdjUp, 1,
                   enFedKav);
        EXPECT_EQ(FedVibrAdj(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedMotFre, enDire, 65535,
                             enFedKav),
                  0);
        EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotFre, enFedKav), u16Init);
    }
}

void ConfigNullOrBadModel() {
    InitQuiet(0, 0);
    static unsigned short u16Table[kFedBoundTableLen] = {};
    const StateImage stBefore = StateImage::Take();
    EXPECT_EQ(FeederConfig_AM(nullptr, enFedKav), 0);
    EXPECT_EQ(FeederConfig_AM(u16Table, static_cast<EN_FeederModel>(3)), 0);
    EXPECT_TRUE(stBefore == StateImage::Take());
}

void ConfigContradicting() {
    InitQuiet(0, 0);
    static unsigned short u16Table[kFedBoundTableLen];
    for (int word = 0; word < kFedBoundTableLen; ++word) {
        u16Table[word] = static_cast<unsigned short>(word % kParamScopeNum == 1 ? 90 : 20);
    }
    FeederConfig_AM(u16Table, enFedKav);
    EXPECT_EQ(FedParamRe(enFedAct0, enFedMotFre, enFedMotWorkMain, enParamScopeMin, enFedKav), 90);
    EXPECT_EQ(FedVibrAdj(enFedAct0, enFedVoiMot2, enFedMotWorkMain, enFedMotFre, enParamAdjUp, 1,
                         enFedKav),
              0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotFre, enFedKav), 20);
}

void BacklightPwmOutside() {
    InitQuiet(0, 0);
    const unsigned short u16Pwm = g_stFedParam[enFedKav].u16BackLightPwm;
    EXPECT_EQ(FedBacklightCol(enBackLightOn, 7, 60000, enFedKav), 1);
    EXPECT_EQ(FedBacklightPWMCol(60000, enFedKav), 1);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightPwm, u16Pwm);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightVal, 7);
    EXPECT_EQ(g_stFedParam[enFedKav].u16BackLightSta, enBackLightOn);
}

void BacklightBadModelOrState() {
    InitQuiet(0, 0);
    const StateImage stBefore = StateImage::Take();
    EXPECT_EQ(FedBacklightCol(enBackLightOn, 7, 50, static_cast<EN_FeederModel>(3)), 0);
    EXPECT_EQ(FedBacklightPWMCol(50, static_cast<EN_FeederModel>(-1)), 0);
    EXPECT_EQ(FedBacklightStaRe(enFedNoMod), 0);
    EXPECT_TRUE(stBefore == StateImage::Take());
    EXPECT_EQ(FedBacklightCol(static_cast<EN_BackLightSta>(5), 7, 50, enFedMor), 1);
    EXPECT_EQ(g_stFedParam[enFedMor].u16BackLightSta, 5);
}

void DetectNoModel() {
    for (const float fX : {NAN, INFINITY, 1000.0F}) {
        SCOPED_TRACE(fX);
        tvltest::ResetScripted();
        InitQuiet(0, 0);
        Printed([&] { Logic_VisFedModCof_Cb(fX, 150); });
        EXPECT_EQ(g_stLogic.enFedModel, enFedNoMod);
        StepWith({100, 80, 1});
        std::string out = StepWith({100, 80, 1});
        EXPECT_EQ(out, "[poll 100 80 1]\n" + kTaskRun + "[task 4]\n");
        Printed([] { TVLLogicStaCol(2); });
        EXPECT_EQ(Step(&out), TVL_TASK_VERIF_START);
        EXPECT_FALSE(Has(out, "[command")) << out;
    }
}

void DetectUnseeded() {
    InitQuiet(1, 0);
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotAmp, enFedKav), 0);
    Printed([] { Logic_VisFedModCof_Cb(150, 150); });
    EXPECT_EQ(FedVibrAdjRe(enFedAct0, enFedVoiMot2, enFedMotAmp, enFedKav), 40);
}

void CompDisWithoutModelOrRepeated() {
    InitQuiet(0, 0);
    Printed([] { Logic_VisFedModCof_Cb(NAN, 150); });
    const StateImage stBefore = StateImage::Take();
    EXPECT_EQ(LogicFedCompDis(), 0);
    EXPECT_TRUE(stBefore == StateImage::Take());
    tvltest::ResetScripted();
    InitQuiet(0, 1); // one auxiliary Y class
    const float fLow = g_stLogic.stActUnit[1].stThresY[enFedKav].fBandLow;
    LogicFedCompDis();
    LogicFedCompDis();
    EXPECT_FLOAT_EQ(g_stLogic.stActUnit[1].stThresY[enFedKav].fBandLow, fLow + 40);
}

void NullPointers() {
    InitQuiet(0, 0);
    const StateImage stBefore = StateImage::Take();
    ST_MateInf stMate{};
    ST_MateMov stMov{};
    ST_MateStaStatis stStatis{};
    unsigned char u8Area[kPosAreaNum] = {};
    auto enArea = static_cast<EN_MatePosArea>(7);
    EN_AdjConfigSta enCfg[kMovClassNum] = {enAdjCfgMain, enAdjCfgMain, enAdjCfgMain, enAdjCfgMain};
    auto enSel = static_cast<EN_AdjConfigSta>(7);
    unsigned short u16Word = 7;
    EXPECT_EQ(CheckMovement(nullptr, &stMate), 0);
    EXPECT_EQ(CheckMovement(&stMate, nullptr), 0);
    EXPECT_EQ(VisionSet(nullptr, 5.0), 0);
    EXPECT_EQ(LogicParamRe(&u16Word, &u16Word, nullptr, &u16Word, &u16Word), 0);
    EXPECT_EQ(LogicValAnaHandle_MoveRel(enAdjCfgMain, enAdjCfgMain, nullptr, &enSel, enStaRelAnd),
              0);
    EXPECT_EQ(LogicValAnaHandle_MoveRel(enAdjCfgMain, enAdjCfgMain, enCfg, nullptr, enStaRelAnd),
              0);
    EXPECT_EQ(LogicValAnaHandle_ArrPos(enPosCentre, nullptr), 0);
    EXPECT_EQ(LogicMateMoveDim_ValToSta(nullptr, &stMov, 1, 1, ST_ActThres{}), 0);
    EXPECT_EQ(LogicMateMoveDim_ValToSta(&stStatis, nullptr, 1, 1, ST_ActThres{}), 0);
    EXPECT_EQ(LogicMateMoveDim_NumToSta(stStatis, nullptr), 0);
    EXPECT_EQ(LogicPosDim_ValToSta(nullptr, &enArea, 1, 1, ST_ActThres{}, ST_ActThres{}), 0);
    EXPECT_EQ(LogicPosDim_NumToSta(u8Area, nullptr), 0);
    EXPECT_EQ(LogicMateMoveDim_Dire(nullptr, &stMov), 0);
    EXPECT_EQ(FedVibrAdj_ValCal(nullptr, 1, ST_VoiMotParamInf{}, enParamAdjUp), 0);
    EXPECT_EQ(LogicValDim(nullptr), 0);
    EXPECT_EQ(LogicValAnaHandle(nullptr), 0);
    EXPECT_EQ(LogicActMovThrParamInit(nullptr), 0);
    EXPECT_EQ(LogicFedModParamInit(nullptr), 0);
    EXPECT_EQ(FedKavParamInit(nullptr), 0);
    EXPECT_EQ(FedMorParamSetInit(nullptr), 0);
    // Null registrations keep the callbacks in place.
    EXPECT_EQ(VisCoordReRegister(nullptr), 0);
    VisionImageHandSucCb_Register(nullptr);
    VisionFedModConfigCb_Register(nullptr);
    EXPECT_EQ(FedColRegister(nullptr), 0);
    EXPECT_EQ(LogicAdjEndRegister(nullptr), 0);
    EXPECT_EQ(u16Word, 7);
    EXPECT_EQ(enSel, 7);
    EXPECT_EQ(enArea, 7);
    EXPECT_TRUE(stBefore == StateImage::Take());
}

// --- Host behaviour ----------------------------------------------------------------

void CallbackResults() {
    const std::string baseline = tvltest::Baseline();
    for (const int iReturn : {1, -5, INT_MIN, INT_MAX}) {
        tvltest::ResetScripted();
        Host().iReturn = iReturn;
        EXPECT_EQ(tvltest::RunSession(false).transcript, baseline) << iReturn;
    }
}

void LongGaps() {
    InitQuiet(0, 0);
    int iVanish = 0;
    for (int step = 1; step <= 3; ++step) {
        tvltest::SetNowMs(65535.0 * step);
        std::string out;
        Step(&out);
        iVanish += Has(out, "Mate Vanish") ? 1 : 0;
        EXPECT_EQ(Has(out, "Mot Adj"), step == 3) << step;
    }
    EXPECT_EQ(iVanish, 3);
}

void TimeoutFromPreviousTimeout() {
    InitQuiet(0, 0);
    tvltest::SetNowMs(6000);
    std::string out;
    Step(&out);
    EXPECT_TRUE(Has(out, "Mate Vanish"));
    for (const double dMs : {7000.0, 9000.0, 11000.0}) {
        tvltest::SetNowMs(dMs);
        StepWith({100, 80, 1});
    }
    // A sample came 1 ms ago, yet the previous timeout lies 5001 ms back.
    tvltest::SetNowMs(11001);
    Step(&out);
    EXPECT_TRUE(Has(out, "Mate Vanish")) << out;
}

struct Row {
    const char *key;
    void (*check)();
};
const Row kRows[] = {
    {"task-before-init", TaskBeforeInit},
    {"init-bad-action", InitBadAction},
    {"init-bad-model", InitBadModel},
    {"init-null-callbacks", InitNullCallbacks},
    {"command-out-of-range", CommandOutOfRange},
    {"command-before-init", CommandBeforeInit},
    {"params-without-init", ParamsWithoutInit},
    {"params-contradicting", ParamsContradicting},
    {"init-inside-status-or-feeder", InitInsideStatusOrFeeder},
    {"command-inside-status-or-feeder", CommandInsideStatusOrFeeder},
    {"calls-inside-coordinate", CallsInsideCoordinate},
    {"params-inside-callback", ParamsInsideCallback},
    {"task-inside-callback", TaskInsideCallback},
    {"never-a-sample", NeverASample},
    {"any-non-zero-validity", AnyNonZeroValidity},
    {"nan-coordinates", NanCoordinates},
    {"infinite-coordinates", InfiniteCoordinates},
    {"extreme-coordinates", ExtremeCoordinates},
    {"store-bad-index", StoreBadIndex},
    {"vibr-adj-bad-direction", VibrAdjBadDirection},
    {"vibr-adj-big-step", VibrAdjBigStep},
    {"config-null-or-bad-model", ConfigNullOrBadModel},
    {"config-contradicting", ConfigContradicting},
    {"backlight-pwm-outside", BacklightPwmOutside},
    {"backlight-bad-model-or-state", BacklightBadModelOrState},
    {"detect-no-model", DetectNoModel},
    {"detect-unseeded-model", DetectUnseeded},
    {"comp-dis-without-model-or-repeated", CompDisWithoutModelOrRepeated},
    {"null-pointers", NullPointers},
    {"callback-results", CallbackResults},
    {"long-gaps", LongGaps},
    {"timeout-from-previous-timeout", TimeoutFromPreviousTimeout},
};

TEST(BadInputs, EveryRowGetsWhatTheDocumentSays) {
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.key);
        tvltest::ResetScripted();
        row.check();
    }
}

TEST(BadInputs, DocumentAndTableHaveTheSameRows) {
#ifdef _WIN32
    GTEST_SKIP() << "the native build holds the document against the table";
#endif
    std::ifstream doc(TAVREL_SOURCE_DIR "/docs/bad-inputs.md");
    ASSERT_TRUE(doc.good());
    std::set<std::string> documented;
    const std::regex rowKey(R"(^\| `([a-z0-9-]+)` \|)");
    for (std::string line; std::getline(doc, line);) {
        std::smatch match;
        if (std::regex_search(line, match, rowKey)) {
            documented.insert(match[1]);
        }
    }
    std::set<std::string> tested;
    for (const Row &row : kRows) {
        tested.insert(row.key);
    }
    EXPECT_EQ(documented, tested);
}

} // namespace
