// libFuzzer target: reads its input as a sequence of calls on the library and
// checks every result and every callback against a model of what it called
// (fuzz/invariants.h), and that the same input always gives the same
// callbacks and text. The input format is described in docs/fuzzing.md.
#include "base/range.h"
#include "feeder/feeder.h"
#include "fuzz/invariants.h"
#include "host/reset.h"
#include "host/tavrel.h"
#include "logic/clock.h"
#include "logic/logic.h"
#include "vision/vision.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace {

// Reads the input front to back; an exhausted input reads as zeros.
class Input {
  public:
    void Reset(const std::uint8_t *pu8Data, std::size_t uSize) {
        m_pu8Data = pu8Data;
        m_uLeft = uSize;
    }
    bool Empty() const {
        return m_uLeft == 0;
    }
    std::uint8_t U8() {
        if (m_uLeft == 0) {
            return 0;
        }
        --m_uLeft;
        return *m_pu8Data++;
    }
    std::uint16_t U16() {
        const unsigned uLow = U8();
        return static_cast<std::uint16_t>(uLow | static_cast<unsigned>(U8()) << 8U);
    }
    std::uint32_t U32() {
        const std::uint32_t uLow = U16();
        return uLow | static_cast<std::uint32_t>(U16()) << 16U;
    }
    // Small signed values cover every index in and around its range; 0x80
    // escapes to a full 32-bit value.
    int Int() {
        const std::uint8_t u8Byte = U8();
        if (u8Byte == 0x80) {
            std::int32_t iVal = 0;
            const std::uint32_t uRaw = U32();
            std::memcpy(&iVal, &uRaw, sizeof iVal);
            return iVal;
        }
        return static_cast<std::int8_t>(u8Byte);
    }
    // A coordinate: one of the values below, or raw bits after an escape.
    float Coord() {
        static const float kCoords[] = {
            0.0F,         1.0F,  3.5F,     4.0F,      7.0F,   20.0F,  31.0F,   50.0F,    59.0F,
            61.0F,        99.0F, 101.0F,   129.0F,    131.0F, 150.0F, 200.0F,  250.0F,   320.0F,
            -4.0F,        -7.0F, -31.0F,   -100.0F,   1e6F,   -1e6F,  FLT_MAX, -FLT_MAX, FLT_MIN,
            FLT_TRUE_MIN, -0.0F, INFINITY, -INFINITY, NAN,    -NAN,
        };
        constexpr std::uint8_t kCount = sizeof kCoords / sizeof kCoords[0];
        const std::uint8_t u8Pick = U8();
        if (u8Pick < kCount) {
            return kCoords[u8Pick];
        }
        if (u8Pick == 0xff) {
            float fRaw = 0;
            const std::uint32_t uRaw = U32();
            std::memcpy(&fRaw, &uRaw, sizeof fRaw);
            return fRaw;
        }
        return static_cast<float>(u8Pick - kCount);
    }

  private:
    const std::uint8_t *m_pu8Data = nullptr;
    std::size_t m_uLeft = 0;
};

Input g_input;
TvlTimePoint g_tNow = 0;
int g_iTaskDepth = 0;
int g_iCallbackDepth = 0;
constexpr int kMaxCallbackDepth = 3;
tvlfuzz::HostModel g_model;
// Models whose driven words may lie outside bounds the host loaded or stepped
// against, until the words are seeded again.
bool g_bUntrusted[kFedModelNum];

void Require(const char *pszFault) {
    if (pszFault != nullptr) {
        fprintf(stderr, "invariant broken: %s\n", pszFault);
        abort();
    }
}

// Everything the host sees, hashed in order, and how much text was printed.
struct Trace {
    std::uint64_t u64Hash;
    std::uint64_t u64Bytes;
    std::uint64_t u64Callbacks;
};
Trace g_trace;

void Mix(const void *pData, std::size_t uSize) {
    const auto *pu8 = static_cast<const unsigned char *>(pData);
    for (std::size_t u = 0; u < uSize; ++u) {
        g_trace.u64Hash = (g_trace.u64Hash ^ pu8[u]) * 1099511628211ULL;
    }
}
void MixInt(int iVal) {
    Mix(&iVal, sizeof iVal);
}

// The library's text goes here instead of to the terminal.
ssize_t TextWrite(void * /*cookie*/, const char *pcBuf, std::size_t uSize) {
    Mix(pcBuf, uSize);
    g_trace.u64Bytes += uSize;
    return static_cast<ssize_t>(uSize);
}

// Every static record of the library, to show that nothing changed.
struct Image {
    unsigned char u8Logic[sizeof g_stLogic];
    unsigned char u8Vision[sizeof g_stVision];
    unsigned char u8Fed[sizeof g_stFedParam];

    void Take() {
        std::memcpy(u8Logic, &g_stLogic, sizeof u8Logic);
        std::memcpy(u8Vision, &g_stVision, sizeof u8Vision);
        std::memcpy(u8Fed, static_cast<const void *>(g_stFedParam), sizeof u8Fed);
    }
    bool Same() const {
        return std::memcmp(u8Logic, &g_stLogic, sizeof u8Logic) == 0 &&
               std::memcmp(u8Vision, &g_stVision, sizeof u8Vision) == 0 &&
               std::memcmp(u8Fed, static_cast<const void *>(g_stFedParam), sizeof u8Fed) == 0;
    }
};

// After a status or feeder callback that initialised or gave a command that
// was carried out, the step must end: no further callback, text or change, and
// TVLTask returns the state that call set.
struct StepEnd {
    bool bDue;
    int iTask;
    std::uint64_t u64Bytes;
    Image stImage;
};
StepEnd g_stepEnd;

TvlTimePoint FuzzClock() {
    return g_tNow;
}

tvlfuzz::HostParams ReadParams() {
    const ST_HostLogicParam stRead = TVLLogicParamRe();
    const tvlfuzz::HostParams stParams = {{stRead.u16AmpInit, stRead.u16AmpMax, stRead.u16FreInit,
                                           stRead.u16FreMax, stRead.u16FedRunTim}};
    Mix(&stParams, sizeof stParams);
    return stParams;
}

bool ModelIndex(int iModel) {
    return TvlInRange(iModel, kFedModelNum);
}

// Which bound set drives a motor of the initialised action; -1 when none.
int DrivenWork(int iMot) {
    const EN_AdjConfigSta enCfg = g_stLogic.stActUnit[g_model.Action()].enMotCfg[iMot];
    if (enCfg == enAdjCfgMain) {
        return enFedMotWorkMain;
    }
    return enCfg == enAdjCfgAux ? enFedMotWorkAux : -1;
}

void CheckDrivenWords(const ST_HostFedColC &stCmd) {
    const int iModel = g_model.ModelInForce();
    if (!ModelIndex(iModel) || g_bUntrusted[iModel]) {
        return;
    }
    const auto enAct = static_cast<EN_FeederAct>(g_model.Action());
    const auto enModel = static_cast<EN_FeederModel>(iModel);
    for (int mot = 0; mot < kVoiMotNum; ++mot) {
        const int iWork = DrivenWork(mot);
        if (iWork < 0) {
            continue;
        }
        for (int param = 0; param < kFedMotParamNum; ++param) {
            const auto enParam = static_cast<EN_FeederMotParam>(param);
            const auto enWork = static_cast<EN_FedMotWorkType>(iWork);
            Require(tvlfuzz::MotorWordFault(
                stCmd.u16MotParam[mot][param],
                FedParamRe(enAct, enParam, enWork, enParamScopeInit, enModel),
                FedParamRe(enAct, enParam, enWork, enParamScopeMin, enModel),
                FedParamRe(enAct, enParam, enWork, enParamScopeMax, enModel)));
        }
    }
}

int RunCall(std::uint8_t u8Op);

enum class CbKind { kCoord, kFeeder, kStatus };

void CallbackStarts(CbKind kind) {
    Require(tvlfuzz::HostModel::CallbackPlace(g_iTaskDepth));
    Require(g_stepEnd.bDue ? "host callback after a call back that ends the step" : nullptr);
    ++g_trace.u64Callbacks;
    MixInt(static_cast<int>(kind));
}

// A callback that calls back into the library runs one more call from the
// input, up to a bounded depth.
void CallBack(CbKind kind, bool bReenter) {
    if (!bReenter || g_iCallbackDepth >= kMaxCallbackDepth || g_input.Empty()) {
        return;
    }
    ++g_iCallbackDepth;
    const int iEndsAt = RunCall(g_input.U8());
    --g_iCallbackDepth;
    if (iEndsAt >= 0 && kind != CbKind::kCoord) {
        g_model.StepInterrupted();
        g_stepEnd.bDue = true;
        g_stepEnd.iTask = iEndsAt;
        g_stepEnd.u64Bytes = g_trace.u64Bytes;
        g_stepEnd.stImage.Take();
    }
}

ST_HostMateInf Poll(bool bReenter) {
    CallbackStarts(CbKind::kCoord);
    CallBack(CbKind::kCoord, bReenter);
    ST_HostMateInf stMate{};
    const std::uint8_t u8Kind = g_input.U8();
    stMate.fPosX = g_input.Coord();
    stMate.fPosY = g_input.Coord();
    switch (u8Kind % 4) {
    case 0:
        stMate.bMateReco = 0;
        break;
    case 3: {
        const std::uint32_t uRaw = g_input.U32();
        std::memcpy(&stMate.bMateReco, &uRaw, sizeof uRaw);
        break;
    }
    default:
        stMate.bMateReco = 1;
        break;
    }
    Mix(&stMate, sizeof stMate);
    return stMate;
}
ST_HostMateInf CoordPlain() {
    return Poll(false);
}
ST_HostMateInf CoordReenter() {
    return Poll(true);
}

void FedColChecks(const ST_HostFedColC &stCmd) {
    CallbackStarts(CbKind::kFeeder);
    Mix(&stCmd, sizeof stCmd);
    Require(g_model.Command(stCmd));
    CheckDrivenWords(stCmd);
}
int FedColPlain(ST_HostFedColC stCmd) {
    FedColChecks(stCmd);
    return 0;
}
int FedColReenter(ST_HostFedColC stCmd) {
    FedColChecks(stCmd);
    CallBack(CbKind::kFeeder, true);
    return static_cast<int>(g_input.U32());
}

void LogColChecks(int iStatus) {
    CallbackStarts(CbKind::kStatus);
    MixInt(iStatus);
    Require(g_model.Status(iStatus));
}
int LogColPlain(int iStatus) {
    LogColChecks(iStatus);
    return 0;
}
int LogColReenter(int iStatus) {
    LogColChecks(iStatus);
    CallBack(CbKind::kStatus, true);
    return static_cast<int>(g_input.U32());
}

// Each callback slot: null, plain or calling back into the library.
PFN_TVLCoordRe PickCoord() {
    static const PFN_TVLCoordRe kPick[] = {nullptr, CoordPlain, CoordReenter};
    return kPick[g_input.U8() % 3];
}
PFN_TVLFedCol PickFedCol() {
    static const PFN_TVLFedCol kPick[] = {nullptr, FedColPlain, FedColReenter};
    return kPick[g_input.U8() % 3];
}
PFN_TVLLogCol PickLogCol() {
    static const PFN_TVLLogCol kPick[] = {nullptr, LogColPlain, LogColReenter};
    return kPick[g_input.U8() % 3];
}

EN_FeederModel Model() {
    return static_cast<EN_FeederModel>(g_input.Int());
}
EN_FeederAct Act() {
    return static_cast<EN_FeederAct>(g_input.Int());
}

// Each call returns the task state the step in progress must end with when
// the call is made from inside a status or feeder callback, or -1 when the
// step goes on.
constexpr int kStepGoesOn = -1;

int CallInit() {
    const PFN_TVLCoordRe pfnCoord = PickCoord();
    const PFN_TVLFedCol pfnFedCol = PickFedCol();
    const PFN_TVLLogCol pfnLogCol = PickLogCol();
    const int iModel = g_input.Int();
    const int iAct = g_input.Int();
    const int iResult = TVLInit(pfnCoord, pfnFedCol, pfnLogCol, iModel, iAct);
    MixInt(iResult);
    unsigned short u16Dur[kFedModelNum] = {};
    for (int model = 0; model < kFedModelNum; ++model) {
        u16Dur[model] =
            FedDuartTimRe(static_cast<EN_FeederAct>(iAct), static_cast<EN_FeederModel>(model));
    }
    g_model.Initialised(iResult, iAct, iModel, pfnFedCol != nullptr, ReadParams(), u16Dur);
    for (bool &bUntrusted : g_bUntrusted) {
        bUntrusted = false;
    }
    return iResult == 1 ? TVL_TASK_ADJ : TVL_TASK_NONE;
}

// A TVLTask inside a callback does nothing and returns the state in force.
void NestedTask() {
    Image stBefore;
    stBefore.Take();
    const Trace stTrace = g_trace;
    const int iResult = TVLTask();
    Require(stBefore.Same() && g_trace.u64Bytes == stTrace.u64Bytes &&
                    g_trace.u64Callbacks == stTrace.u64Callbacks
                ? nullptr
                : "a TVLTask inside a callback did something");
    Require(iResult == g_stLogic.enLogicTaskSta
                ? nullptr
                : "a TVLTask inside a callback returned another state than the one in force");
    MixInt(iResult);
}

int CallTask() {
    if (g_iTaskDepth > 0) {
        NestedTask();
        return kStepGoesOn;
    }
    ++g_iTaskDepth;
    const int iResult = TVLTask();
    --g_iTaskDepth;
    MixInt(iResult);
    if (g_stepEnd.bDue) {
        g_stepEnd.bDue = false;
        Require(g_stepEnd.stImage.Same() ? nullptr
                                         : "the step changed state after a call back that ends it");
        Require(g_trace.u64Bytes == g_stepEnd.u64Bytes
                    ? nullptr
                    : "the step printed after a call back that ends it");
        Require(iResult == g_stepEnd.iTask ? nullptr
                                           : "TVLTask did not return the state the call back set");
    }
    Require(g_model.StepEnded(iResult));
    return kStepGoesOn;
}

int CallParamSet() {
    tvlfuzz::HostParams stSet{};
    for (unsigned short &u16 : stSet.u16Val) {
        u16 = g_input.U16();
    }
    MixInt(TVLLogicParamSet(stSet.u16Val[0], stSet.u16Val[1], stSet.u16Val[2], stSet.u16Val[3],
                            stSet.u16Val[4]));
    Require(g_model.ParamsSetAndRead(stSet, ReadParams()));
    if (g_model.Live() && ModelIndex(g_model.ModelInForce())) {
        g_bUntrusted[g_model.ModelInForce()] = false; // the motors start from the new values
    }
    return kStepGoesOn;
}

int CallParamRe() {
    Require(g_model.ParamsRead(ReadParams()));
    return kStepGoesOn;
}

int CallStaCol() {
    const int iCommand = g_input.Int();
    const bool bCarriedOut = g_model.CommandCarriedOut(iCommand);
    MixInt(TVLLogicStaCol(iCommand));
    return bCarriedOut ? tvlfuzz::HostModel::StateAfterCommand(iCommand) : kStepGoesOn;
}

int CallModelDetect() {
    const float fX = g_input.Coord();
    MixInt(Logic_VisFedModCof_Cb(fX, g_input.Coord()));
    // Which model the windows select is the library's to say.
    g_model.ModelDetected(g_stLogic.enFedModel, ReadParams());
    return kStepGoesOn;
}

int CallCompDis() {
    MixInt(LogicFedCompDis());
    return kStepGoesOn;
}

// A bound table from four words: the three scopes and a stride between entries.
int CallConfig() {
    static std::uint16_t u16Table[kFedBoundTableLen];
    const bool bNull = (g_input.U8() & 1U) != 0;
    const std::uint16_t u16Scope[kParamScopeNum] = {g_input.U16(), g_input.U16(), g_input.U16()};
    const unsigned uStride = g_input.U8();
    for (unsigned uWord = 0; uWord < kFedBoundTableLen; ++uWord) {
        u16Table[uWord] = static_cast<std::uint16_t>(u16Scope[uWord % kParamScopeNum] +
                                                     uWord / kParamScopeNum * uStride);
    }
    const EN_FeederModel enModel = Model();
    MixInt(FeederConfig_AM(bNull ? nullptr : u16Table, enModel));
    if (!bNull && ModelIndex(enModel)) {
        g_model.BoundsLoaded(enModel);
        g_bUntrusted[enModel] = true;
    }
    return kStepGoesOn;
}

int CallVibrAdj() {
    const EN_FeederAct enAct = Act();
    const auto enMot = static_cast<EN_FeederVoiMot>(g_input.Int());
    const auto enWork = static_cast<EN_FedMotWorkType>(g_input.Int());
    const auto enParam = static_cast<EN_FeederMotParam>(g_input.Int());
    const auto enDire = static_cast<EN_ParamAdjDire>(g_input.Int());
    const std::uint16_t u16Step = g_input.U16();
    const EN_FeederModel enModel = Model();
    MixInt(FedVibrAdj(enAct, enMot, enWork, enParam, enDire, u16Step, enModel));
    // Stepped against the other bound set, a word may leave the bounds the
    // checks hold it to.
    if (enAct == g_model.Action() && ModelIndex(enModel) && TvlInRange(enMot, kVoiMotNum) &&
        DrivenWork(enMot) >= 0 && DrivenWork(enMot) != enWork) {
        g_bUntrusted[enModel] = true;
    }
    return kStepGoesOn;
}

int CallDuartTimAdj() {
    const EN_FeederAct enAct = Act();
    const std::uint16_t u16Val = g_input.U16();
    const EN_FeederModel enModel = Model();
    if (FedDuartTimAdj(enAct, u16Val, enModel) == 1) {
        g_model.DurationSet(enAct, enModel, u16Val);
    }
    return kStepGoesOn;
}

int CallBacklight() {
    const auto enSta = static_cast<EN_BackLightSta>(g_input.Int());
    const std::uint16_t u16Val = g_input.U16();
    const std::uint16_t u16Pwm = g_input.U16();
    MixInt(FedBacklightCol(enSta, u16Val, u16Pwm, Model()));
    return kStepGoesOn;
}

int CallBacklightPwm() {
    const std::uint16_t u16Pwm = g_input.U16();
    MixInt(FedBacklightPWMCol(u16Pwm, Model()));
    return kStepGoesOn;
}

int CallBacklightStaRe() {
    MixInt(FedBacklightStaRe(Model()));
    return kStepGoesOn;
}

// Time moves forward only, as the monotonic clock does: up to 65.535 s a call.
int AdvanceClock() {
    g_tNow += static_cast<TvlTimePoint>(g_input.U16()) * 1000000;
    return kStepGoesOn;
}

// The call an input byte selects, modulo the table's length.
constexpr int (*kCalls[])() = {
    CallInit,        CallTask,         CallParamSet,       CallParamRe,  CallStaCol,
    CallModelDetect, CallCompDis,      CallConfig,         CallVibrAdj,  CallDuartTimAdj,
    CallBacklight,   CallBacklightPwm, CallBacklightStaRe, AdvanceClock,
};

int RunCall(std::uint8_t u8Op) {
    return kCalls[u8Op % (sizeof kCalls / sizeof kCalls[0])]();
}

// Runs the input from the state at load and returns the hash of all the host saw.
std::uint64_t RunInput(const std::uint8_t *pu8Data, std::size_t uSize) {
    TvlResetAll();
    g_pfnLogicClock = FuzzClock;
    g_tNow = 0;
    g_iTaskDepth = 0;
    g_iCallbackDepth = 0;
    g_model.Reset();
    for (bool &bUntrusted : g_bUntrusted) {
        bUntrusted = false;
    }
    g_trace = Trace{14695981039346656037ULL, 0, 0};
    g_stepEnd.bDue = false;
    g_input.Reset(pu8Data, uSize);
    while (!g_input.Empty()) {
        RunCall(g_input.U8());
    }
    return g_trace.u64Hash;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    // The library's text is hashed into the trace; libFuzzer reports on stderr.
    const cookie_io_functions_t stText = {nullptr, TextWrite, nullptr, nullptr};
    FILE *pText = fopencookie(nullptr, "w", stText);
    if (pText == nullptr || setvbuf(pText, nullptr, _IONBF, 0) != 0) {
        abort();
    }
    stdout = pText;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pu8Data, std::size_t uSize) {
    const std::uint64_t u64First = RunInput(pu8Data, uSize);
    Require(RunInput(pu8Data, uSize) == u64First ? nullptr
                                                 : "the same input gave other callbacks or text");
    return 0;
}
