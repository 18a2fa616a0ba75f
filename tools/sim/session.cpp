#include "session.h"

#include "console.h"
#include "session_driver.h"
#include "trace/trace_columns.h"
#include "trace/trace_values.h"

#include <cstdint>
#include <exception>
#include <memory>
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

// What the library is shown through rendered frames: the simulated feeder,
// looked at by its camera. A camera's error stops the step here and is
// thrown again outside the kit.
struct FramesView {
    const TVK_Api *api = nullptr;
    TVK_SimFeeder *sim = nullptr;
    std::unique_ptr<SessionCamera> camera;
    std::exception_ptr error;
};

int lookAtFrames(void *user, float *x, float *y) {
    auto *view = static_cast<FramesView *>(user);
    float trueX = 0.0F;
    float trueY = 0.0F;
    try {
        check(*view->api, view->api->sim_position(view->sim, &trueX, &trueY), "position");
        return view->camera->look(trueX, trueY, x, y);
    } catch (...) {
        view->error = std::current_exception();
        return -1;
    }
}

int vibrateSeen(void *user, const ST_HostFedColC *command) {
    const auto *view = static_cast<FramesView *>(user);
    return view->api->sim_feeder_cb(view->sim, command);
}

TVLSIM_CameraSetup cameraSetup(const SessionSetup &setup, float startX, float startY) {
    const FrameOptions &o = *setup.frameOptions;
    TVLSIM_CameraSetup camera{};
    camera.size = sizeof camera;
    camera.model = setup.model;
    camera.width = o.width;
    camera.height = o.height;
    camera.orientation = o.orientation;
    camera.tilt = o.tilt;
    camera.roll_deg = o.rollDeg;
    camera.shape = o.shape;
    camera.vignetting = o.vignetting;
    camera.blur_px = o.blurPx;
    camera.noise = o.noise;
    camera.dust = o.dust;
    camera.seed = setup.cameraSeed;
    camera.start_x = startX;
    camera.start_y = startY;
    camera.save_dir = o.saveDir.empty() ? nullptr : o.saveDir.c_str();
    camera.label = setup.label.c_str();
    return camera;
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
    FramesView frames;
    if (setup.frames != nullptr) {
        frames.api = &api;
        frames.sim = sim;
        frames.camera =
            std::make_unique<SessionCamera>(*setup.frames, cameraSetup(setup, startX, startY));
        config.camera = lookAtFrames;
        config.feeder = vibrateSeen;
        config.user = &frames;
    }

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
        try {
            step = driver.step();
        } catch (...) {
            if (frames.error) {
                std::rethrow_exception(frames.error);
            }
            throw;
        }
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
