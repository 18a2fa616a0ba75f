// One tuning session of the simulated feeder, driven by the host kit on
// simulated time: the library's clock reads the simulator's seconds.
#ifndef TAVREL_SIM_SESSION_H
#define TAVREL_SIM_SESSION_H

#include "camera.h"
#include "session_driver.h"
#include "tavrel_hostkit.h"

#include <cstdint>
#include <string>

namespace tvlsim {

struct SessionSetup {
    int model = 0;
    int action = 0;
    int maxSteps = 3000;
    int cameraMs = 100;
    int verdictSweeps = 3; // 0: no early verdict, the whole budget
    // The frames camera (null: the simulator's coordinates), how it sees the
    // feeder, and the feeder's seed and name for it.
    const CameraModule *frames = nullptr;
    const FrameOptions *frameOptions = nullptr;
    std::uint64_t cameraSeed = 0;
    std::string label;
};

struct SessionResult {
    int outcome = TVK_RUNNING; // TVK_TUNED, TVK_FAILED or TVK_BUDGET
    std::string reason;
    int vibrations = 0;
    double simSeconds = 0.0;
    bool commanded = false;
    ST_HostFedColC lastCommand{}; // holds the tuned words after success

    bool tuned() const {
        return outcome == TVK_TUNED;
    }
};

// The simulated time the library's clock reads, in nanoseconds, on this
// thread (each thread runs its sessions on a copy of its own); the host sets
// it before the library looks (never going back).
std::int64_t simulatedClock();
void setSimulatedNow(std::int64_t ns);
// Throws std::runtime_error naming what and the kit's code for a negative result.
void checkKit(int result, const char *what);

// Runs one session from its start point on the copy of the kit that made
// sim; appends the trace of every step (the recorder's CSV) to `trace` when
// given. Throws std::runtime_error when the kit refuses. Sessions on
// different copies may run at once on different threads.
SessionResult runSession(const tvltools::KitCopy &copy, const SessionSetup &setup,
                         TVK_SimFeeder *sim, std::string *trace);

} // namespace tvlsim

#endif
