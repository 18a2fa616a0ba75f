#include "layout.h"

#include "kit.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace tvk {

namespace {

constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kFenceBytes = 256;

// A record of the kit's layout followed by a fence: whatever the library
// writes past the kit's size lands on the fence.
template <typename Record> struct Fenced {
    alignas(Record) unsigned char bytes[sizeof(Record) + kFenceBytes];

    Fenced() {
        std::memset(bytes, kCanary, sizeof bytes);
    }
    Record *record() {
        return reinterpret_cast<Record *>(bytes);
    }
    bool fenceIntact() const {
        return std::all_of(bytes + sizeof(Record), bytes + sizeof bytes,
                           [](unsigned char byte) { return byte == kCanary; });
    }
};

std::string wrotePast(const char *record, const char *initialiser, std::size_t size) {
    return std::string(initialiser) + " wrote past the kit's " + std::to_string(size) +
           " bytes of " + record;
}

bool plausibleThreshold(const ST_ActThres &thres) {
    return std::isfinite(thres.fBandLow) && std::isfinite(thres.fBandHigh) &&
           thres.fBandLow > 0.0F && thres.fBandLow < thres.fBandHigh;
}

bool plausibleConfig(EN_AdjConfigSta config) {
    return config == enAdjCfgOff || config == enAdjCfgAux || config == enAdjCfgMain;
}

// Every unit's bands ordered and finite, its configuration words in range:
// what the factory record holds wherever the kit's offsets are the library's.
bool plausibleUnit(const ST_ActManageUnit &unit) {
    const auto *areasEnd = unit.enAreaCfg + kPosAreaNum;
    const auto *motorsEnd = unit.enMotCfg + kVoiMotNum;
    return unit.u8AdjSuccNum > 0 && std::all_of(unit.enAreaCfg, areasEnd, plausibleConfig) &&
           std::all_of(unit.enMotCfg, motorsEnd, plausibleConfig) &&
           std::all_of(unit.stThresX, unit.stThresX + kFedModelNum, plausibleThreshold) &&
           std::all_of(unit.stThresY, unit.stThresY + kFedModelNum, plausibleThreshold);
}

// Empty when the library's factory logic record is the kit's, else why not.
std::string logicFault() {
    const auto fenced = std::make_unique<Fenced<ST_Logic>>();
    // cppcheck loses the pointer's use through the placement new.
    // cppcheck-suppress unreadVariable
    ST_Logic *logic = new (fenced->record()) ST_Logic{TvlStaticZero::kTag};
    if (tvk::lib::LogicActMovThrParamInit(logic) != 1) {
        return "LogicActMovThrParamInit refused the kit's record";
    }
    if (!fenced->fenceIntact()) {
        return wrotePast("ST_Logic", "LogicActMovThrParamInit", sizeof(ST_Logic));
    }
    if (!std::all_of(logic->stActUnit, logic->stActUnit + kFedActNum, plausibleUnit)) {
        return "ST_Logic's action units as LogicActMovThrParamInit fills them are not where the "
               "kit reads them";
    }
    return {};
}

// Empty when the library classifies by the bands of a threshold the kit
// passes by value, else why not.
std::string thresholdFault() {
    ST_ActThres thres{};
    thres.fBandLow = 10.0F;
    thres.fBandHigh = 20.0F;
    const struct {
        float at;
        EN_MatePosArea area;
    } probes[] = {{5.0F, enPosXLoYLo}, {15.0F, enPosCentre}, {25.0F, enPosXHiYHi}};
    for (const auto &probe : probes) {
        unsigned char counters[kPosAreaNum] = {};
        EN_MatePosArea area = enPosXLoYMid;
        tvk::lib::LogicPosDim_ValToSta(counters, &area, probe.at, probe.at, thres, thres);
        if (area != probe.area) {
            return "LogicPosDim_ValToSta reads ST_ActThres otherwise than the kit lays it out";
        }
    }
    return {};
}

// The kit's parameter block as the library's initialisers fill it; null
// (fault set) when they write past it.
std::unique_ptr<Fenced<ST_VoiMotActMag>> factoryBlock(std::string *fault) {
    auto fenced = std::make_unique<Fenced<ST_VoiMotActMag>>();
    std::memset(fenced->bytes, 0, sizeof(ST_VoiMotActMag));
    tvk::lib::FedKavParamInit(fenced->record());
    tvk::lib::FedKavParamSetInit(fenced->record());
    if (!fenced->fenceIntact()) {
        *fault = wrotePast("ST_VoiMotActMag", "FedKavParamInit", sizeof(ST_VoiMotActMag));
        return nullptr;
    }
    return fenced;
}

std::string blockFault() {
    std::string fault;
    factoryBlock(&fault);
    return fault;
}

// Empty when the library's own readers of its store give what the kit finds
// at its offsets of a block the same initialisers filled.
std::string storeFault() {
    std::string fault;
    const auto fenced = factoryBlock(&fault);
    if (fenced == nullptr) {
        return fault;
    }
    const ST_VoiMotActMag &block = *fenced->record();
    tvk::lib::FeederInit();
    for (int act = 0; act < kFedActNum; ++act) {
        const auto action = static_cast<EN_FeederAct>(act);
        if (tvk::lib::FedDuartTimRe(action, enFedKav) != block.stActParam[act].u16DuartTim) {
            return "FedDuartTimRe reads ST_VoiMotActMag otherwise than the kit lays it out";
        }
        for (int param = 0; param < kFedMotParamNum; ++param) {
            for (int work = 0; work < kFedWorkTypeNum; ++work) {
                const ST_VoiMotParamInf &inf = block.stParamInf[act][param][work];
                const unsigned short words[kParamScopeNum] = {inf.u16Init, inf.u16Min, inf.u16Max};
                for (int scope = 0; scope < kParamScopeNum; ++scope) {
                    if (tvk::lib::FedParamRe(action, static_cast<EN_FeederMotParam>(param),
                                             static_cast<EN_FedMotWorkType>(work),
                                             static_cast<EN_ParamScopeSet>(scope),
                                             enFedKav) != words[scope]) {
                        return "FedParamRe reads ST_VoiMotActMag otherwise than the kit lays it "
                               "out";
                    }
                }
            }
        }
    }
    return {};
}

std::string recordFault() {
    std::string fault = logicFault();
    if (fault.empty()) {
        fault = thresholdFault();
    }
    if (fault.empty()) {
        fault = blockFault();
    }
    return fault;
}

// Each check's fault, found once per process (it never changes). A thread
// that finds another one checking checks for itself.
struct Verdict {
    enum State { kUnknown, kChecking, kKnown };
    std::atomic<int> state{kUnknown};
    std::string fault;
};

template <typename Check> int refuse(const char *function, Verdict &verdict, Check check) {
    int expected = Verdict::kUnknown;
    std::string local;
    const std::string *fault = &verdict.fault;
    if (verdict.state.compare_exchange_strong(expected, Verdict::kChecking)) {
        verdict.fault = check();
        verdict.state.store(Verdict::kKnown);
    } else if (expected == Verdict::kChecking) {
        local = check();
        fault = &local;
    }
    if (fault->empty()) {
        return TVK_OK;
    }
    return fail(TVK_E_LAYOUT,
                std::string(function) +
                    ": the loaded libtavrel is not the one the kit was built for: " + *fault);
}

Verdict g_records;
Verdict g_store;

} // namespace

int checkRecordLayouts(const char *function) {
    return refuse(function, g_records, recordFault);
}

int checkLibraryLayouts(const char *function) {
    const int refused = checkRecordLayouts(function);
    return refused != TVK_OK ? refused : refuse(function, g_store, storeFault);
}

} // namespace tvk
