#include "session.h"

#include "action_layout.h"
#include "trace_format.h"

#include <algorithm>
#include <stdexcept>

namespace tvlsim {

namespace {

constexpr int kStatusArrivedOrWait = 2;
constexpr int kStatusTuned = 3;
constexpr int kStatusVerified = 6;

Vibration toVibration(const ST_HostFedColC &command) {
    Vibration vibration;
    for (int motor = 0; motor < kMotorNum; ++motor) {
        const unsigned short *words = command.u16MotParam[motor];
        vibration.motors.at(motor) = {words[0], words[1], words[2]};
    }
    vibration.runMs = command.u16RunTim;
    return vibration;
}

// The library calls back through plain function pointers, so the session
// being run is reached through this pointer.
class Session;
Session *g_active = nullptr;

class Session {
  public:
    Session(const SessionSetup &setup, const Feeder &feeder, Rng &rng)
        : setup_(setup), feeder_(feeder), rng_(rng), platform_(platformSize(setup.model)),
          start_(startPosition(setup.model, setup.action)), part_(start_), lastSeen_(start_) {}

    SessionResult run(std::vector<StepRecord> *trace) {
        g_active = this;
        if (TVLInit(coordRe, fedCol, logCol, setup_.model, setup_.action) != 1) {
            throw std::logic_error("TVLInit refused the action");
        }
        for (int step = 0; step < setup_.maxSteps && !result_.tuned; ++step) {
            const StepRecord record = runStep(step);
            keep(record, trace);
            if (record.command == TVL_CMD_SUCCESS) {
                // One more step shows whether the task really ended.
                const StepRecord last = runStep(step + 1);
                keep(last, trace);
                result_.tuned = last.task == TVL_TASK_END;
                break;
            }
        }
        g_active = nullptr;
        result_.simSeconds = simMs_ / 1000.0;
        return result_;
    }

  private:
    static ST_HostMateInf coordRe() {
        return g_active->takePicture();
    }
    static int fedCol(ST_HostFedColC command) {
        g_active->vibrate(command);
        return 0;
    }
    static int logCol(int status) {
        g_active->step_.statuses.push_back(status);
        return 0;
    }

    static void keep(const StepRecord &record, std::vector<StepRecord> *trace) {
        if (trace != nullptr) {
            trace->push_back(record);
        }
    }

    ST_HostMateInf takePicture() {
        const float x = tvltools::cameraValue(part_.x);
        const float y = tvltools::cameraValue(part_.y);
        step_.x = x;
        step_.y = y;
        step_.dx = x - static_cast<float>(lastSeen_.x);
        step_.dy = y - static_cast<float>(lastSeen_.y);
        step_.area = areaOf({x, y}, setup_.model, setup_.action);
        lastSeen_ = {x, y};
        return {x, y, 1};
    }

    void vibrate(const ST_HostFedColC &command) {
        step_.commanded = true;
        step_.feederCommand = command;
        result_.commanded = true;
        result_.lastCommand = command;
        ++result_.vibrations;
        simMs_ += command.u16RunTim;
        part_ = feeder_.vibrate(part_, toVibration(command), platform_, rng_);
    }

    bool sent(int status) const {
        return std::find(step_.statuses.begin(), step_.statuses.end(), status) !=
               step_.statuses.end();
    }

    StepRecord runStep(int step) {
        step_ = StepRecord{};
        step_.step = step;
        step_.task = TVLTask();
        simMs_ += setup_.cameraMs;
        const bool inPlace = inTarget(part_, setup_.model, setup_.action);
        if (sent(kStatusTuned)) {
            step_.command = TVL_CMD_VERIFY;
        } else if (sent(kStatusVerified)) {
            step_.command = inPlace ? TVL_CMD_SUCCESS : TVL_CMD_RESTART;
        }
        if (step_.command >= 0) {
            TVLLogicStaCol(step_.command);
        }
        if (sent(kStatusArrivedOrWait) && inPlace) {
            // An arrival: a robot or an operator puts the part back.
            part_ = start_;
            step_.reset = true;
        }
        step_.timeS = simMs_ / 1000.0;
        return step_;
    }

    SessionSetup setup_;
    const Feeder &feeder_;
    Rng &rng_;
    Vec2 platform_;
    Vec2 start_;
    Vec2 part_;
    Vec2 lastSeen_;
    double simMs_ = 0.0;
    StepRecord step_;
    SessionResult result_;
};

} // namespace

SessionResult runSession(const SessionSetup &setup, const Feeder &feeder, Rng &rng,
                         std::vector<StepRecord> *trace) {
    Session session(setup, feeder, rng);
    return session.run(trace);
}

} // namespace tvlsim
