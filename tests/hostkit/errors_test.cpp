// Every refusal of a bad call: its result code and a message that names the
// function and the argument it refused.
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

int camera(void *, float *, float *) {
    return 0;
}

int feeder(void *, const ST_HostFedColC *) {
    return 0;
}

TVK_SessionConfig goodConfig() {
    TVK_SessionConfig config;
    tvk_session_config_init(&config, 0, 0);
    config.camera = camera;
    config.feeder = feeder;
    return config;
}

int startWith(const std::function<void(TVK_SessionConfig &)> &change) {
    TVK_SessionConfig config = goodConfig();
    change(config);
    TVK_Session *session = nullptr;
    const int result = tvk_session_start(&config, &session);
    tvk_session_end(session);
    return result;
}

int createWith(const std::function<void(TVK_SimRanges &)> &change) {
    TVK_SimRanges ranges{};
    ranges.size = sizeof ranges;
    tvk_sim_default_ranges(0, &ranges);
    change(ranges);
    TVK_SimFeeder *sim = nullptr;
    const int result = tvk_sim_create(0, &ranges, 1, 2, &sim);
    tvk_sim_destroy(sim);
    return result;
}

int onFeeder(const std::function<int(TVK_SimFeeder *)> &call) {
    TVK_SimFeeder *sim = nullptr;
    EXPECT_EQ(tvk_sim_create(0, nullptr, 1, 2, &sim), TVK_OK);
    const int result = call(sim);
    tvk_sim_destroy(sim);
    return result;
}

struct BadCall {
    const char *what;
    std::function<int()> call;
    int code;
    const char *message; // a part of tvk_errmsg()
};

TEST(Errors, EveryBadCallIsRefusedWithAMessageNamingItsArgument) {
    float x = 0.0F;
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    const BadCall calls[] = {
        {"geometry model", [&] { return tvk_geometry(3, 0, &geometry); }, TVK_E_ARG,
         "tvk_geometry: model 3 is not 0..2"},
        {"geometry action", [&] { return tvk_geometry(0, 11, &geometry); }, TVK_E_ARG,
         "tvk_geometry: action 11 is not 0..10"},
        {"geometry out", [] { return tvk_geometry(0, 0, nullptr); }, TVK_E_ARG,
         "tvk_geometry: out is null"},
        {"area model", [] { return tvk_area_of(-1, 0, 1.0F, 1.0F); }, TVK_E_ARG,
         "tvk_area_of: model -1 is not 0..2"},
        {"in target action", [] { return tvk_in_target(0, -1, 1.0F, 1.0F); }, TVK_E_ARG,
         "tvk_in_target: action -1 is not 0..10"},
        {"start point x", [&] { return tvk_start_point(0, 0, 0.0F, 0.0F, nullptr, &x); }, TVK_E_ARG,
         "tvk_start_point: x is null"},
        {"start point model", [&] { return tvk_start_point(4, 0, 0.0F, 0.0F, &x, &x); }, TVK_E_ARG,
         "tvk_start_point: model 4 is not 0..2"},
        {"config model", [] { return startWith([](TVK_SessionConfig &c) { c.model = 7; }); },
         TVK_E_ARG, "tvk_session_start: config->model 7 is not 0..2"},
        {"config action", [] { return startWith([](TVK_SessionConfig &c) { c.action = 11; }); },
         TVK_E_ARG, "tvk_session_start: config->action 11 is not 0..10"},
        {"config camera",
         [] { return startWith([](TVK_SessionConfig &c) { c.camera = nullptr; }); }, TVK_E_ARG,
         "tvk_session_start: config->camera is null"},
        {"config feeder",
         [] { return startWith([](TVK_SessionConfig &c) { c.feeder = nullptr; }); }, TVK_E_ARG,
         "tvk_session_start: config->feeder is null"},
        {"config budget", [] { return startWith([](TVK_SessionConfig &c) { c.max_steps = -1; }); },
         TVK_E_ARG, "tvk_session_start: config->max_steps -1 is negative"},
        {"config sweeps",
         [] { return startWith([](TVK_SessionConfig &c) { c.verdict_sweeps = -2; }); }, TVK_E_ARG,
         "tvk_session_start: config->verdict_sweeps -2 is negative"},
        {"config answers", [] { return startWith([](TVK_SessionConfig &c) { c.answers = 2; }); },
         TVK_E_ARG, "tvk_session_start: config->answers 2 is not 0 or 1"},
        {"config null",
         [] {
             TVK_Session *session = nullptr;
             return tvk_session_start(nullptr, &session);
         },
         TVK_E_ARG, "tvk_session_start: config is null"},
        {"start out",
         [] {
             const TVK_SessionConfig config = goodConfig();
             return tvk_session_start(&config, nullptr);
         },
         TVK_E_ARG, "tvk_session_start: out is null"},
        {"step handle", [] { return tvk_session_step(nullptr, nullptr); }, TVK_E_HANDLE,
         "tvk_session_step: session is not a live session"},
        {"command handle", [] { return tvk_session_command(nullptr, TVL_CMD_END); }, TVK_E_HANDLE,
         "tvk_session_command: session is not a live session"},
        {"capture path", [] { return tvk_capture_to_file(nullptr, 0); }, TVK_E_ARG,
         "tvk_capture_to_file: path is null"},
        {"capture fn", [] { return tvk_capture_to_callback(nullptr, nullptr); }, TVK_E_ARG,
         "tvk_capture_to_callback: fn is null"},
        {"capture stop", [] { return tvk_capture_stop(); }, TVK_E_STATE,
         "tvk_capture_stop: no capture is active"},
        {"sim model",
         [] {
             TVK_SimFeeder *sim = nullptr;
             return tvk_sim_create(5, nullptr, 1, 2, &sim);
         },
         TVK_E_ARG, "tvk_sim_create: model 5 is not 0..2"},
        {"sim out", [] { return tvk_sim_create(0, nullptr, 1, 2, nullptr); }, TVK_E_ARG,
         "tvk_sim_create: out is null"},
        {"sim platform", [&] { return tvk_sim_platform(0, nullptr, &x); }, TVK_E_ARG,
         "tvk_sim_platform: width is null"},
        {"ranges infinite", [] { return createWith([](TVK_SimRanges &r) { r.gain.hi = kInf; }); },
         TVK_E_ARG, "tvk_sim_create: ranges->gain"},
        {"ranges not a number",
         [] { return createWith([](TVK_SimRanges &r) { r.resonance.lo = std::nan(""); }); },
         TVK_E_ARG, "ranges->resonance nan..70.000000 is not finite"},
        {"ranges reversed",
         [] { return createWith([](TVK_SimRanges &r) {
                  r.noise = {2.0, 1.0};
              }); }, TVK_E_ARG,
         "ranges->noise 2.000000..1.000000 has lo above hi"},
        {"ranges half width zero",
         [] { return createWith([](TVK_SimRanges &r) { r.half_width.lo = 0.0; }); }, TVK_E_ARG,
         "ranges->half_width 0.000000..7.000000 must be above 0"},
        {"ranges friction negative",
         [] { return createWith([](TVK_SimRanges &r) { r.friction.lo = -1.0; }); }, TVK_E_ARG,
         "ranges->friction -1.000000..0.700000 must not be negative"},
        {"ranges mismatch whole",
         [] { return createWith([](TVK_SimRanges &r) { r.mismatch.hi = 1.0; }); }, TVK_E_ARG,
         "ranges->mismatch 0.000000..1.000000 must lie below 1"},
        {"place infinite",
         [] {
             return onFeeder([](TVK_SimFeeder *sim) {
                 return tvk_sim_place(sim, std::numeric_limits<float>::infinity(), 1.0F);
             });
         },
         TVK_E_ARG, "tvk_sim_place: x inf is not finite"},
        {"place not a number",
         [] { return onFeeder([](TVK_SimFeeder *sim) { return tvk_sim_place(sim, 1.0F, NAN); }); },
         TVK_E_ARG, "tvk_sim_place: y nan is not finite"},
        {"vibrate command",
         [] { return onFeeder([](TVK_SimFeeder *sim) { return tvk_sim_vibrate(sim, nullptr); }); },
         TVK_E_ARG, "tvk_sim_vibrate: command is null"},
        {"sim handle", [] { return tvk_sim_reseed(nullptr, 1); }, TVK_E_HANDLE,
         "tvk_sim_reseed: not a live handle"},
    };
    for (const BadCall &bad : calls) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(bad.call(), bad.code);
        EXPECT_NE(std::string(tvk_errmsg()).find(bad.message), std::string::npos) << tvk_errmsg();
    }
}

} // namespace
