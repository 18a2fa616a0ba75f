// The five entry points and the adapters between the host's records and the
// library's own.
#include "host/host.h"
#include "host/reset.h"

#include <cstddef>
#include <cstdio>

static_assert(sizeof(ST_HostMateInf) == 12, "host sample is 12 bytes");
static_assert(offsetof(ST_HostMateInf, fPosX) == 0 && offsetof(ST_HostMateInf, fPosY) == 4 &&
                  offsetof(ST_HostMateInf, bMateReco) == 8,
              "host sample layout");
static_assert(sizeof(ST_HostFedColC) == 40, "host command is 40 bytes");
static_assert(offsetof(ST_HostFedColC, enAct) == 0 && offsetof(ST_HostFedColC, u16MotParam) == 4 &&
                  offsetof(ST_HostFedColC, u16RunTim) == 36 &&
                  offsetof(ST_HostFedColC, u16Fill) == 38,
              "host command layout");
static_assert(sizeof(ST_HostLogicParam) == 16 && alignof(ST_HostLogicParam) == 4,
              "host parameter record is 16 bytes, 4-byte aligned");
static_assert(offsetof(ST_HostLogicParam, u16AmpInit) == 4 &&
                  offsetof(ST_HostLogicParam, u16AmpMax) == 6 &&
                  offsetof(ST_HostLogicParam, u16FreInit) == 8 &&
                  offsetof(ST_HostLogicParam, u16FreMax) == 10 &&
                  offsetof(ST_HostLogicParam, u16FedRunTim) == 12,
              "host parameter layout");

namespace {

PFN_TVLCoordRe pfnHostCoordRe = nullptr;
PFN_TVLFedCol pfnHostFedCol = nullptr;
PFN_TVLLogCol pfnHostLogCol = nullptr;

} // namespace

void TvlResetAll() {
    pfnHostCoordRe = nullptr;
    pfnHostFedCol = nullptr;
    pfnHostLogCol = nullptr;
    LogicReset();
    VisionReset();
    FeederReset();
}

ST_MateInf TvlCoordRe() {
    // Without a host callback every poll yields no sample.
    ST_MateInf stMate{};
    if (pfnHostCoordRe != nullptr) {
        const ST_HostMateInf stHost = pfnHostCoordRe();
        stMate.fPosX = stHost.fPosX;
        stMate.fPosY = stHost.fPosY;
        stMate.bMateReco = stHost.bMateReco;
    }
    return stMate;
}

int TvlFedCol(ST_FedColC stCmd) {
    ST_HostFedColC stHost{};
    stHost.enAct = stCmd.enAct;
    FedMotWordsCopy(stHost.u16MotParam, stCmd.u16MotParam);
    stHost.u16RunTim = stCmd.u16RunTim;
    stHost.u16Fill = 0;
    // CONTRACT: verbatim host-visible text; do not "fix".
    // 29 "$" before the run time, 33 after.
    printf("$$$$$$$$$$$$$$$$$$$$$$$$$$$$$Fed Run Tim = %d$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$\n",
           stHost.u16RunTim);
    if (pfnHostFedCol != nullptr) {
        pfnHostFedCol(stHost);
    }
    return 0;
}

int TvlLogCol(EN_LogicAdjSta enSta) {
    if (pfnHostLogCol != nullptr) {
        pfnHostLogCol(enSta);
    }
    return 0;
}

extern "C" {

int TVLInit(PFN_TVLCoordRe pfnCoordRe, PFN_TVLFedCol pfnFedCol, PFN_TVLLogCol pfnLogCol, int model,
            int action) {
    pfnHostCoordRe = pfnCoordRe;
    pfnHostFedCol = pfnFedCol;
    pfnHostLogCol = pfnLogCol;
    return LogicInit(TvlCoordRe, TvlFedCol, TvlLogCol, model, static_cast<EN_FeederAct>(action));
}

int TVLTask(void) {
    return LogicTask();
}

int TVLLogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax, unsigned short u16FreInit,
                     unsigned short u16FreMax, unsigned short u16FedRunTim) {
    LogicParamSet(u16AmpInit, u16AmpMax, u16FreInit, u16FreMax, u16FedRunTim);
    return 0;
}

ST_HostLogicParam TVLLogicParamRe(void) {
    ST_HostLogicParam stParam{};
    LogicParamRe(&stParam.u16AmpInit, &stParam.u16AmpMax, &stParam.u16FreInit, &stParam.u16FreMax,
                 &stParam.u16FedRunTim);
    return stParam;
}

int TVLLogicStaCol(int command) {
    LogicStaCol(command);
    return 0;
}

} // extern "C"
