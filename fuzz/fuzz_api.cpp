// libFuzzer target: reads its input as a sequence of calls on the library and
// checks every result and every callback against the promises in
// fuzz/invariants.h. The input format is described in docs/fuzzing.md.
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

void Require(const char *pszFault) {
    if (pszFault != nullptr) {
        fprintf(stderr, "invariant broken: %s\n", pszFault);
        abort();
    }
}

TvlTimePoint FuzzClock() {
    return g_tNow;
}

void RunCall(std::uint8_t u8Op);

// Every host callback checks that it runs inside TVLTask; one that calls back
// into the library runs one more call from the input, up to a bounded depth.
void EnterCallback(bool bReenter) {
    Require(tvlfuzz::CallbackFault(g_iTaskDepth));
    if (!bReenter || g_iCallbackDepth >= kMaxCallbackDepth || g_input.Empty()) {
        return;
    }
    ++g_iCallbackDepth;
    RunCall(g_input.U8());
    --g_iCallbackDepth;
}

ST_HostMateInf Poll(bool bReenter) {
    EnterCallback(bReenter);
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
    return stMate;
}
ST_HostMateInf CoordPlain() {
    return Poll(false);
}
ST_HostMateInf CoordReenter() {
    return Poll(true);
}

int FedColPlain(ST_HostFedColC stCmd) {
    Require(tvlfuzz::CommandFault(stCmd));
    EnterCallback(false);
    return 0;
}
int FedColReenter(ST_HostFedColC stCmd) {
    Require(tvlfuzz::CommandFault(stCmd));
    EnterCallback(true);
    return static_cast<int>(g_input.U32());
}

int LogColPlain(int iStatus) {
    Require(tvlfuzz::StatusFault(iStatus));
    EnterCallback(false);
    return 0;
}
int LogColReenter(int iStatus) {
    Require(tvlfuzz::StatusFault(iStatus));
    EnterCallback(true);
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

void CallInit() {
    const PFN_TVLCoordRe pfnCoord = PickCoord();
    const PFN_TVLFedCol pfnFedCol = PickFedCol();
    const PFN_TVLLogCol pfnLogCol = PickLogCol();
    const int iModel = g_input.Int();
    TVLInit(pfnCoord, pfnFedCol, pfnLogCol, iModel, g_input.Int());
}

void CallTask() {
    ++g_iTaskDepth;
    const int iResult = TVLTask();
    --g_iTaskDepth;
    Require(tvlfuzz::TaskResultFault(iResult));
}

void CallParamSet() {
    std::uint16_t u16Val[5];
    for (std::uint16_t &u16 : u16Val) {
        u16 = g_input.U16();
    }
    TVLLogicParamSet(u16Val[0], u16Val[1], u16Val[2], u16Val[3], u16Val[4]);
}

// A bound table from four words: the three scopes and a stride between entries.
void CallConfig() {
    static std::uint16_t u16Table[kFedBoundTableLen];
    const bool bNull = (g_input.U8() & 1U) != 0;
    const std::uint16_t u16Scope[kParamScopeNum] = {g_input.U16(), g_input.U16(), g_input.U16()};
    const unsigned uStride = g_input.U8();
    for (unsigned uWord = 0; uWord < kFedBoundTableLen; ++uWord) {
        u16Table[uWord] = static_cast<std::uint16_t>(u16Scope[uWord % kParamScopeNum] +
                                                     uWord / kParamScopeNum * uStride);
    }
    FeederConfig_AM(bNull ? nullptr : u16Table, Model());
}

void CallVibrAdj() {
    const EN_FeederAct enAct = Act();
    const auto enMot = static_cast<EN_FeederVoiMot>(g_input.Int());
    const auto enWork = static_cast<EN_FedMotWorkType>(g_input.Int());
    const auto enParam = static_cast<EN_FeederMotParam>(g_input.Int());
    const auto enDire = static_cast<EN_ParamAdjDire>(g_input.Int());
    const std::uint16_t u16Step = g_input.U16();
    FedVibrAdj(enAct, enMot, enWork, enParam, enDire, u16Step, Model());
}

void CallDuartTimAdj() {
    const EN_FeederAct enAct = Act();
    const std::uint16_t u16Val = g_input.U16();
    FedDuartTimAdj(enAct, u16Val, Model());
}

void CallBacklight() {
    const auto enSta = static_cast<EN_BackLightSta>(g_input.Int());
    const std::uint16_t u16Val = g_input.U16();
    const std::uint16_t u16Pwm = g_input.U16();
    FedBacklightCol(enSta, u16Val, u16Pwm, Model());
}

void CallBacklightPwm() {
    const std::uint16_t u16Pwm = g_input.U16();
    FedBacklightPWMCol(u16Pwm, Model());
}

void CallModelDetect() {
    const float fX = g_input.Coord();
    Logic_VisFedModCof_Cb(fX, g_input.Coord());
}

// Time moves forward only, as the monotonic clock does: up to 65.535 s a call.
void AdvanceClock() {
    g_tNow += static_cast<TvlTimePoint>(g_input.U16()) * 1000000;
}

void CallParamRe() {
    TVLLogicParamRe();
}
void CallStaCol() {
    TVLLogicStaCol(g_input.Int());
}
void CallCompDis() {
    LogicFedCompDis();
}
void CallBacklightStaRe() {
    FedBacklightStaRe(Model());
}

// The call an input byte selects, modulo the table's length.
constexpr void (*kCalls[])() = {
    CallInit,        CallTask,         CallParamSet,       CallParamRe,  CallStaCol,
    CallModelDetect, CallCompDis,      CallConfig,         CallVibrAdj,  CallDuartTimAdj,
    CallBacklight,   CallBacklightPwm, CallBacklightStaRe, AdvanceClock,
};

void RunCall(std::uint8_t u8Op) {
    kCalls[u8Op % (sizeof kCalls / sizeof kCalls[0])]();
}

// Every input starts from the state at load.
void ResetLibrary() {
    TvlResetAll();
    g_tNow = 0;
    g_iTaskDepth = 0;
    g_iCallbackDepth = 0;
    g_pfnLogicClock = FuzzClock;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    // The diagnostic text is no use here; libFuzzer reports on stderr.
    if (freopen("/dev/null", "w", stdout) == nullptr) {
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pu8Data, std::size_t uSize) {
    ResetLibrary();
    g_input.Reset(pu8Data, uSize);
    while (!g_input.Empty()) {
        RunCall(g_input.U8());
    }
    return 0;
}
