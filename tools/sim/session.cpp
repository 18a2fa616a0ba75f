#include "session.h"

#include "console.h"
#include "session_driver.h"
#include "trace/trace_columns.h"
#include "trace/trace_values.h"

#include <cstdint>
#include <stdexcept>

namespace tvlsim {

namespace {

// What the library's clock reads: the simulated time of the step.
std::int64_t g_simNowNs = 0;

} // namespace

std::int64_t simulatedClock() {
    return g_simNowNs;
}

void setSimulatedNow(std::int64_t ns) {
    g_simNowNs = ns;
}

void checkKit(int result, const char *what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + tvk_strerror(result));
    }
}

SessionResult runSession(const SessionSetup &setup, TVK_SimFeeder *sim, std::string *trace) {
    float width = 0.0F;
    float height = 0.0F;
    float startX = 0.0F;
    float startY = 0.0F;
    checkKit(tvk_sim_platform(setup.model, &width, &height), "platform");
    checkKit(tvk_start_point(setup.model, setup.action, width, height, &startX, &startY), "start");
    checkKit(tvk_sim_place(sim, startX, startY), "place");

    TVK_SessionConfig config;
    tvk_session_config_init(&config, setup.model, setup.action);
    config.max_steps = setup.maxSteps;
    config.verdict_sweeps = setup.verdictSweeps;
    config.camera = tvk_sim_camera_cb;
    config.feeder = tvk_sim_feeder_cb;
    config.user = sim;

    const double vibrationMsAtStart = tvk_sim_vibration_ms(sim);
    double cameraMs = 0.0;
    const auto simMs = [&] { return cameraMs + tvk_sim_vibration_ms(sim) - vibrationMsAtStart; };
    tvltools::SessionDriver driver(config, simulatedClock);
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
            checkKit(tvk_sim_place(sim, startX, startY), "place");
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
