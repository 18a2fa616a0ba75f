#include "session.h"

#include "console.h"
#include "session_driver.h"
#include "trace/trace_columns.h"
#include "trace/trace_values.h"

#include <cstdint>
#include <stdexcept>

namespace tvlsim {

namespace {

// What the library's clock reads: the simulated time of the step on this
// thread (each thread runs its sessions on a copy of its own).
thread_local std::int64_t t_simNowNs = 0;

void check(const TVK_Api &api, int result, const char *what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + api.strerror(result));
    }
}

} // namespace

std::int64_t simulatedClock() {
    return t_simNowNs;
}

void setSimulatedNow(std::int64_t ns) {
    t_simNowNs = ns;
}

void checkKit(int result, const char *what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + tvk_strerror(result));
    }
}

SessionResult runSession(const tvltools::KitCopy &copy, const SessionSetup &setup,
                         TVK_SimFeeder *sim, std::string *trace) {
    const TVK_Api &api = copy.api;
    float width = 0.0F;
    float height = 0.0F;
    float startX = 0.0F;
    float startY = 0.0F;
    check(api, api.sim_platform(setup.model, &width, &height), "platform");
    check(api, api.start_point(setup.model, setup.action, width, height, &startX, &startY),
          "start");
    check(api, api.sim_place(sim, startX, startY), "place");

    TVK_SessionConfig config;
    api.session_config_init_sized(&config, sizeof config, setup.model, setup.action);
    config.max_steps = setup.maxSteps;
    config.verdict_sweeps = setup.verdictSweeps;
    config.camera = api.sim_camera_cb;
    config.feeder = api.sim_feeder_cb;
    config.user = sim;

    const double vibrationMsAtStart = api.sim_vibration_ms(sim);
    double cameraMs = 0.0;
    const auto simMs = [&] { return cameraMs + api.sim_vibration_ms(sim) - vibrationMsAtStart; };
    tvltools::SessionDriver driver(copy, config, simulatedClock);
    if (trace != nullptr) {
        *trace += tvk::traceHeader();
    }

    TVK_StepReport step{};
    do {
        const double startMs = simMs();
        setSimulatedNow(static_cast<std::int64_t>(startMs * 1e6));
        step = driver.step();
        cameraMs += setup.cameraMs;
        const bool putBack = (step.events & TVK_EV_ARRIVED) != 0;
        if (putBack) {
            // An arrival: a robot or an operator puts the part back.
            check(api, api.sim_place(sim, startX, startY), "place");
        }
        if (trace != nullptr) {
            *trace += tvk::traceRow(setup.model, setup.action, tvk::exactText(startMs / 1000.0),
                                    step, putBack);
        }
    } while (step.outcome == TVK_RUNNING && tvltools::stopSignal() == 0);

    SessionResult result;
    result.outcome = step.outcome;
    result.reason = step.reason;
    result.vibrations = step.vibrations;
    result.simSeconds = simMs() / 1000.0;
    result.commanded = step.vibrations > 0;
    result.lastCommand = step.command;
    return result;
}

} // namespace tvlsim
