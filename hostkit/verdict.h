// The early verdict: tuning is hopeless once every motor the action drives
// has swept its whole frequency window at its top amplitude, a given number
// of times, with no sign of progress in between. The motor correction steps
// frequency as the fast digit and amplitude as the slow one; when both
// overflow at the top amplitude they fall back to their initial values
// together and the same sweep starts again, through drives that all failed.
// Signs of progress, which start the count again: an arrival, and a
// vibration whose main motors keep the words of the one before (the library
// keeps them only when the part moved the way the action wants). Each sweep
// asked for also counts at least 100 vibrations since the last sign.
#ifndef TAVREL_HOSTKIT_VERDICT_H
#define TAVREL_HOSTKIT_VERDICT_H

#include "tavrel.h"

#include <array>
#include <string>

namespace tvk {

class SweepVerdict {
  public:
    // sweeps: full sweeps of every driven motor that make the verdict; 0 never.
    void begin(int model, int action, int sweeps);
    // Success, an arrival, new parameters or a restart: count again.
    void countAgain();
    // One feeder command as the host received it; true once the verdict holds.
    bool observe(const ST_HostFedColC &command);
    bool reached() const {
        return reached_;
    }
    // Why, for a person; empty before the verdict.
    const std::string &reason() const {
        return reason_;
    }

  private:
    struct Motor {
        bool driven = false;
        bool main = false;
        int work = 0;         // bound set: 0 main, 1 auxiliary
        unsigned ampStep = 0; // amplitude step of the full correction
        unsigned freStep = 0; // largest frequency step
        bool seen = false;    // words of an earlier command
        unsigned amp = 0;
        unsigned fre = 0;
        int sweeps = 0;      // completed since the count began
        unsigned topAmp = 0; // amplitude of the last completed sweep
    };
    struct Bounds {
        unsigned ampInit;
        unsigned ampMax;
        unsigned freInit;
        unsigned freMax;
    };

    Bounds boundsInForce(const Motor &motor) const;
    bool completesSweep(const Motor &motor, const Bounds &bounds, unsigned amp, unsigned fre) const;
    bool keepsMainWords(const ST_HostFedColC &command) const;
    void conclude();

    int model_ = 0;
    int action_ = 0;
    int sweepsNeeded_ = 0;
    long sinceProgress_ = 0;
    bool reached_ = false;
    std::string reason_;
    std::array<Motor, 4> motors_{};
};

} // namespace tvk

#endif
