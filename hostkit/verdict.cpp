#include "verdict.h"

#include "kit.h"

#include <algorithm>

namespace tvk {

namespace {

enum StepByte { kStepFre = 0, kStepAmp = 1, kStepAuxAmp = 2, kStepFreLarge = 3 };

// A narrow window is swept in a few vibrations, too few for chance (the part
// drifting in on its own) to be ruled out: every sweep asked for counts at
// least this many vibrations.
constexpr long kLeastVibrationsPerSweep = 100;

} // namespace

void SweepVerdict::begin(int model, int action, int sweeps) {
    model_ = model;
    action_ = action;
    sweepsNeeded_ = sweeps;
    const ST_ActManageUnit &unit = factoryUnit(action);
    const unsigned char *step = unit.u8AdjStep[model];
    for (int k = 0; k < kVoiMotNum; ++k) {
        Motor &motor = motors_.at(k);
        motor = Motor{};
        const EN_AdjConfigSta cfg = unit.enMotCfg[k];
        motor.driven = cfg == enAdjCfgMain || cfg == enAdjCfgAux;
        motor.main = cfg == enAdjCfgMain;
        motor.work = cfg == enAdjCfgAux ? enFedMotWorkAux : enFedMotWorkMain;
        const bool auxStep = cfg == enAdjCfgAux && unit.bAuxAmpStep == 1;
        motor.ampStep = step[auxStep ? kStepAuxAmp : kStepAmp];
        motor.freStep = std::max(step[kStepFre], step[kStepFreLarge]);
    }
    countAgain();
}

void SweepVerdict::countAgain() {
    sinceProgress_ = 0;
    reached_ = false;
    reason_.clear();
    for (Motor &motor : motors_) {
        motor.sweeps = 0;
    }
}

SweepVerdict::Bounds SweepVerdict::boundsInForce(const Motor &motor) const {
    const auto act = static_cast<EN_FeederAct>(action_);
    const auto model = static_cast<EN_FeederModel>(model_);
    const auto work = static_cast<EN_FedMotWorkType>(motor.work);
    return {tvk::lib::FedParamRe(act, enFedMotAmp, work, enParamScopeInit, model),
            tvk::lib::FedParamRe(act, enFedMotAmp, work, enParamScopeMax, model),
            tvk::lib::FedParamRe(act, enFedMotFre, work, enParamScopeInit, model),
            tvk::lib::FedParamRe(act, enFedMotFre, work, enParamScopeMax, model)};
}

// From the end of the window at the top amplitude straight back to the
// initial words: only an overflow of both does that.
bool SweepVerdict::completesSweep(const Motor &motor, const Bounds &bounds, unsigned amp,
                                  unsigned fre) const {
    const bool wasAtTopAmp = motor.amp + motor.ampStep > bounds.ampMax;
    const bool wasAtWindowEnd = motor.fre + motor.freStep > bounds.freMax;
    const bool backToStart = amp == bounds.ampInit && fre == bounds.freInit;
    const bool moved = amp != motor.amp || fre != motor.fre;
    return motor.seen && moved && wasAtTopAmp && wasAtWindowEnd && backToStart;
}

bool SweepVerdict::keepsMainWords(const ST_HostFedColC &command) const {
    bool anyMain = false;
    for (int k = 0; k < kVoiMotNum; ++k) {
        const Motor &motor = motors_.at(k);
        if (!motor.main) {
            continue;
        }
        anyMain = true;
        if (!motor.seen || command.u16MotParam[k][enFedMotAmp] != motor.amp ||
            command.u16MotParam[k][enFedMotFre] != motor.fre) {
            return false;
        }
    }
    return anyMain;
}

bool SweepVerdict::observe(const ST_HostFedColC &command) {
    if (sweepsNeeded_ <= 0 || reached_) {
        return reached_;
    }
    if (keepsMainWords(command)) {
        countAgain();
    }
    ++sinceProgress_;
    bool allSwept = true;
    bool anyDriven = false;
    for (int k = 0; k < kVoiMotNum; ++k) {
        Motor &motor = motors_.at(k);
        if (!motor.driven) {
            continue;
        }
        anyDriven = true;
        const unsigned amp = command.u16MotParam[k][enFedMotAmp];
        const unsigned fre = command.u16MotParam[k][enFedMotFre];
        if (completesSweep(motor, boundsInForce(motor), amp, fre)) {
            ++motor.sweeps;
            motor.topAmp = motor.amp;
        }
        motor.seen = true;
        motor.amp = amp;
        motor.fre = fre;
        allSwept = allSwept && motor.sweeps >= sweepsNeeded_;
    }
    if (anyDriven && allSwept && sinceProgress_ >= kLeastVibrationsPerSweep * sweepsNeeded_) {
        conclude();
    }
    return reached_;
}

void SweepVerdict::conclude() {
    reached_ = true;
    reason_ = "hopeless: every driven motor swept its whole frequency window at its top "
              "amplitude " +
              std::to_string(sweepsNeeded_) + (sweepsNeeded_ == 1 ? " time" : " times") +
              " with no arrival and no accepted movement in " + std::to_string(sinceProgress_) +
              " vibrations (";
    const char *separator = "";
    for (int k = 0; k < kVoiMotNum; ++k) {
        const Motor &motor = motors_.at(k);
        if (!motor.driven) {
            continue;
        }
        const Bounds bounds = boundsInForce(motor);
        reason_ += separator;
        reason_ += "motor " + std::to_string(k) + " frequency " + std::to_string(bounds.freInit) +
                   ".." + std::to_string(bounds.freMax) + " at amplitude " +
                   std::to_string(motor.topAmp);
        separator = ", ";
    }
    reason_ += ")";
}

} // namespace tvk
