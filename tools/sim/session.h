// One tuning session: the library drives the simulated feeder through the
// five entry points while the host behaves as a careful integrator would.
#ifndef TAVREL_SIM_SESSION_H
#define TAVREL_SIM_SESSION_H

#include "feeder_model.h"
#include "tavrel.h"

#include <vector>

namespace tvlsim {

struct SessionSetup {
    int model = 0;
    int action = 0;
    int maxSteps = 3000;
    int cameraMs = 100;
};

// What happened in one call of TVLTask and what the host did after it.
struct StepRecord {
    int step = 0;
    double timeS = 0.0; // simulated time at the end of the step
    float x = 0.0F;     // position the camera reported
    float y = 0.0F;
    float dx = 0.0F; // against the previous report
    float dy = 0.0F;
    int area = 0;
    std::vector<int> statuses;
    int task = 0;
    int command = -1;   // host command after the step, -1 for none
    bool reset = false; // the part was put back at its start after the step
    bool commanded = false;
    ST_HostFedColC feederCommand{};
};

struct SessionResult {
    bool tuned = false;
    int vibrations = 0;
    double simSeconds = 0.0;
    bool commanded = false;
    ST_HostFedColC lastCommand{}; // holds the tuned words after success
};

// Runs one session from TVLInit on; appends every step to `trace` when given.
// The library's state outlives the call, so only the first session of a
// process is reproduced exactly by a fresh replay.
SessionResult runSession(const SessionSetup &setup, const Feeder &feeder, Rng &rng,
                         std::vector<StepRecord> *trace);

} // namespace tvlsim

#endif
