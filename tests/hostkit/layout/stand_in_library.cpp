// A stand-in libtavrel.so.1 for the kit's layout check: the functions the
// shared kit calls, under the library's own names, from a library whose
// records differ from the kit's in one way each (STAND_IN_FAULT):
//   1  ST_Logic grew: its initialiser writes past the kit's record
//   2  ST_VoiMotActMag grew: its initialiser writes past the kit's block
//   3  the parameter store's readers find the words elsewhere
// Otherwise it answers as the library would, so that only the fault shows.
#include "feeder/feeder.h"
#include "host/tavrel.h"
#include "logic/logic.h"

#include <cstring>

namespace {

constexpr int kGrownLogic = 1;
constexpr int kGrownBlock = 2;
constexpr int kOtherReader = 3;
constexpr std::size_t kGrowth = 16;

unsigned short wordOf(int act, int param, int work, int scope) {
    return static_cast<unsigned short>(100 + act * 24 + param * 6 + work * 3 + scope);
}

} // namespace

int TVLInit(PFN_TVLCoordRe, PFN_TVLFedCol, PFN_TVLLogCol, int, int) {
    return 1;
}

int TVLTask(void) {
    return TVL_TASK_ADJ;
}

int TVLLogicParamSet(unsigned short, unsigned short, unsigned short, unsigned short,
                     unsigned short) {
    return 1;
}

int TVLLogicStaCol(int) {
    return 1;
}

int LogicActMovThrParamInit(ST_Logic *pstLogic) {
    for (ST_ActManageUnit &unit : pstLogic->stActUnit) {
        unit.u8AdjSuccNum = 1;
        for (int model = 0; model < kFedModelNum; ++model) {
            unit.stThresX[model].fBandLow = unit.stThresY[model].fBandLow = 10.0F;
            unit.stThresX[model].fBandHigh = unit.stThresY[model].fBandHigh = 20.0F;
        }
    }
    if (STAND_IN_FAULT == kGrownLogic) {
        std::memset(reinterpret_cast<unsigned char *>(pstLogic + 1), 0, kGrowth);
    }
    return 1;
}

int LogicPosDim_ValToSta(unsigned char *, EN_MatePosArea *penArea, float fX, float fY,
                         ST_ActThres stThresX, ST_ActThres stThresY) {
    const auto band = [](float value, const ST_ActThres &thres) {
        return value < thres.fBandLow ? 0 : value < thres.fBandHigh ? 1 : 2;
    };
    static const EN_MatePosArea kAreas[3][3] = {{enPosXLoYLo, enPosXLoYMid, enPosXLoYHi},
                                                {enPosXMidYLo, enPosCentre, enPosXMidYHi},
                                                {enPosXHiYLo, enPosXHiYMid, enPosXHiYHi}};
    *penArea = kAreas[band(fX, stThresX)][band(fY, stThresY)];
    return 1;
}

int LogicValAnaHandle_ArrPos(EN_MatePosArea enArea, EN_AdjConfigSta *penCfg) {
    return penCfg[enArea] != enAdjCfgOff ? 1 : 0;
}

int FedKavParamInit(ST_VoiMotActMag *pstMag) {
    for (int act = 0; act < kFedActNum; ++act) {
        pstMag->stActParam[act].u16DuartTim = static_cast<unsigned short>(500 + act);
    }
    if (STAND_IN_FAULT == kGrownBlock) {
        std::memset(reinterpret_cast<unsigned char *>(pstMag + 1), 0, kGrowth);
    }
    return 1;
}

int FedKavParamSetInit(ST_VoiMotActMag *pstMag) {
    for (int act = 0; act < kFedActNum; ++act) {
        for (int param = 0; param < kFedMotParamNum; ++param) {
            for (int work = 0; work < kFedWorkTypeNum; ++work) {
                ST_VoiMotParamInf &inf = pstMag->stParamInf[act][param][work];
                inf.u16Init = wordOf(act, param, work, enParamScopeInit);
                inf.u16Min = wordOf(act, param, work, enParamScopeMin);
                inf.u16Max = wordOf(act, param, work, enParamScopeMax);
            }
        }
    }
    return 1;
}

int FeederInit() {
    return 1;
}

unsigned short FedDuartTimRe(EN_FeederAct enAct, EN_FeederModel) {
    return static_cast<unsigned short>(500 + enAct);
}

unsigned short FedParamRe(EN_FeederAct enAct, EN_FeederMotParam enParam, EN_FedMotWorkType enWork,
                          EN_ParamScopeSet enScope, EN_FeederModel) {
    const unsigned short word = wordOf(enAct, enParam, enWork, enScope);
    return STAND_IN_FAULT == kOtherReader ? static_cast<unsigned short>(word + 1) : word;
}
