#include "session.h"

#include "logic/clock.h"
#include "trace_columns.h"

#include <stdexcept>

namespace tvlsim {

namespace {

// What the library's clock reads: the simulated time of the step.
TvlTimePoint g_simNowNs = 0;

TvlTimePoint simClock() {
    return g_simNowNs;
}

void check(int result, const char *what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + tvk_strerror(result));
    }
}

// Ends the session whatever way the run ends.
class SessionGuard {
  public:
    SessionGuard() = default;
    SessionGuard(const SessionGuard &) = delete;
    SessionGuard &operator=(const SessionGuard &) = delete;
    ~SessionGuard() {
        tvk_session_end(session);
    }
    TVK_Session *session = nullptr;
};

} // namespace

SessionResult runSession(const SessionSetup &setup, TVK_SimFeeder *sim, std::string *trace) {
    float width = 0.0F;
    float height = 0.0F;
    float startX = 0.0F;
    float startY = 0.0F;
    check(tvk_sim_platform(setup.model, &width, &height), "platform");
    check(tvk_start_point(setup.model, setup.action, width, height, &startX, &startY), "start");
    check(tvk_sim_place(sim, startX, startY), "place");

    TVK_SessionConfig config;
    tvk_session_config_init(&config, setup.model, setup.action);
    config.max_steps = setup.maxSteps;
    config.verdict_sweeps = setup.verdictSweeps;
    config.camera = tvk_sim_camera_cb;
    config.feeder = tvk_sim_feeder_cb;
    config.user = sim;

    g_pfnLogicClock = simClock;
    const double vibrationMsAtStart = tvk_sim_vibration_ms(sim);
    double cameraMs = 0.0;
    const auto simMs = [&] { return cameraMs + tvk_sim_vibration_ms(sim) - vibrationMsAtStart; };
    SessionGuard guard;
    check(tvk_session_start(&config, &guard.session), "session");
    if (trace != nullptr) {
        *trace += tvk::traceHeader();
    }

    TVK_StepReport step{};
    step.size = sizeof step;
    do {
        const double startMs = simMs();
        g_simNowNs = static_cast<TvlTimePoint>(startMs * 1e6);
        check(tvk_session_step(guard.session, &step), "step");
        cameraMs += setup.cameraMs;
        const bool putBack = (step.events & TVK_EV_ARRIVED) != 0;
        if (putBack) {
            // An arrival: a robot or an operator puts the part back.
            check(tvk_sim_place(sim, startX, startY), "place");
        }
        if (trace != nullptr) {
            *trace += tvk::traceRow(setup.model, setup.action, startMs / 1000.0, step, putBack);
        }
    } while (step.outcome == TVK_RUNNING);

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
