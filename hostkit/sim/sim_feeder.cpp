// The simulated feeder behind the kit's C interface: one drawn feeder, the
// part on its platform and the random source of its motion.
#include "kit.h"
#include "sim_physics.h"
#include "trace_columns.h"

#include <cmath>
#include <new>

struct TVK_SimFeeder {
    int model;
    tvk::Feeder feeder;
    tvk::Rng noise;
    tvk::Vec2 platform;
    tvk::Vec2 part;
    double vibrationMs;
};

namespace {

tvk::Range toRange(const TVK_SimRange &range) {
    return {range.lo, range.hi};
}

TVK_SimRange fromRange(const tvk::Range &range) {
    return {range.lo, range.hi};
}

tvk::FeederRanges toRanges(const TVK_SimRanges &ranges) {
    return {toRange(ranges.resonance), toRange(ranges.half_width), toRange(ranges.gain),
            toRange(ranges.friction),  toRange(ranges.noise),      toRange(ranges.mismatch)};
}

bool validRange(const TVK_SimRange &range) {
    return range.lo <= range.hi; // also false for a bound that is not a number
}

bool validRanges(const TVK_SimRanges &ranges) {
    return validRange(ranges.resonance) && validRange(ranges.half_width) &&
           ranges.half_width.lo > 0.0 && validRange(ranges.gain) && validRange(ranges.friction) &&
           validRange(ranges.noise) && validRange(ranges.mismatch);
}

tvk::Vibration toVibration(const ST_HostFedColC &command) {
    tvk::Vibration vibration;
    for (int motor = 0; motor < tvk::kMotorNum; ++motor) {
        const unsigned short *words = command.u16MotParam[motor];
        vibration.motors.at(motor) = {words[0], words[1], words[2]};
    }
    vibration.runMs = command.u16RunTim;
    return vibration;
}

} // namespace

extern "C" {

int tvk_sim_default_ranges(int model, TVK_SimRanges *out) {
    if (!tvk::sizedRecord(out) || !TvlInRange(model, TVK_MODEL_COUNT)) {
        return TVK_E_ARG;
    }
    const tvk::FeederRanges ranges = tvk::defaultRanges(model);
    out->resonance = fromRange(ranges.resonance);
    out->half_width = fromRange(ranges.halfWidth);
    out->gain = fromRange(ranges.gain);
    out->friction = fromRange(ranges.friction);
    out->noise = fromRange(ranges.noise);
    out->mismatch = fromRange(ranges.mismatch);
    return TVK_OK;
}

int tvk_sim_platform(int model, float *width, float *height) {
    if (width == nullptr || height == nullptr || !TvlInRange(model, TVK_MODEL_COUNT)) {
        return TVK_E_ARG;
    }
    const tvk::Vec2 size = tvk::platformSize(model);
    *width = static_cast<float>(size.x);
    *height = static_cast<float>(size.y);
    return TVK_OK;
}

uint64_t tvk_sim_mix_seed(uint64_t seed, uint64_t a, uint64_t b) {
    return tvk::mixSeed(seed, a, b);
}

int tvk_sim_create(int model, const TVK_SimRanges *ranges, uint64_t feeder_seed,
                   uint64_t noise_seed, TVK_SimFeeder **out) {
    if (out == nullptr || !TvlInRange(model, TVK_MODEL_COUNT) ||
        (ranges != nullptr && (!tvk::sizedRecord(ranges) || !validRanges(*ranges)))) {
        return TVK_E_ARG;
    }
    tvk::Rng draw(feeder_seed);
    const tvk::FeederRanges drawn =
        ranges != nullptr ? toRanges(*ranges) : tvk::defaultRanges(model);
    const tvk::Vec2 platform = tvk::platformSize(model);
    *out = new (std::nothrow)
        TVK_SimFeeder{model,    tvk::Feeder::draw(drawn, draw),       tvk::Rng(noise_seed),
                      platform, {platform.x / 2.0, platform.y / 2.0}, 0.0};
    return *out == nullptr ? TVK_E_NOMEM : TVK_OK;
}

int tvk_sim_reseed(TVK_SimFeeder *sim, uint64_t noise_seed) {
    if (sim == nullptr) {
        return TVK_E_ARG;
    }
    sim->noise = tvk::Rng(noise_seed);
    return TVK_OK;
}

int tvk_sim_params(const TVK_SimFeeder *sim, TVK_SimParams *out) {
    if (sim == nullptr || !tvk::sizedRecord(out)) {
        return TVK_E_ARG;
    }
    const tvk::FeederParams &params = sim->feeder.params();
    out->resonance = params.resonance;
    out->half_width = params.halfWidth;
    out->gain = params.gain;
    out->friction = params.friction;
    out->noise = params.noise;
    out->mismatch = params.mismatch;
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        out->motor_gain[motor] = sim->feeder.motorGain(motor);
    }
    return TVK_OK;
}

int tvk_sim_place(TVK_SimFeeder *sim, float x, float y) {
    if (sim == nullptr || std::isnan(x) || std::isnan(y)) {
        return TVK_E_ARG;
    }
    sim->part = tvk::clampToPlatform({x, y}, sim->platform);
    return TVK_OK;
}

int tvk_sim_position(const TVK_SimFeeder *sim, float *x, float *y) {
    if (sim == nullptr || x == nullptr || y == nullptr) {
        return TVK_E_ARG;
    }
    *x = static_cast<float>(sim->part.x);
    *y = static_cast<float>(sim->part.y);
    return TVK_OK;
}

int tvk_sim_camera(const TVK_SimFeeder *sim, float *x, float *y) {
    if (sim == nullptr || x == nullptr || y == nullptr) {
        return TVK_E_ARG;
    }
    *x = tvk::cameraValue(sim->part.x);
    *y = tvk::cameraValue(sim->part.y);
    return 1;
}

int tvk_sim_vibrate(TVK_SimFeeder *sim, const ST_HostFedColC *command) {
    if (sim == nullptr || command == nullptr) {
        return TVK_E_ARG;
    }
    sim->part = sim->feeder.vibrate(sim->part, toVibration(*command), sim->platform, sim->noise);
    sim->vibrationMs += command->u16RunTim;
    return TVK_OK;
}

double tvk_sim_vibration_ms(const TVK_SimFeeder *sim) {
    return sim == nullptr ? 0.0 : sim->vibrationMs;
}

void tvk_sim_destroy(TVK_SimFeeder *sim) {
    delete sim;
}

int tvk_sim_camera_cb(void *user, float *x, float *y) {
    return tvk_sim_camera(static_cast<const TVK_SimFeeder *>(user), x, y);
}

int tvk_sim_feeder_cb(void *user, const ST_HostFedColC *command) {
    return tvk_sim_vibrate(static_cast<TVK_SimFeeder *>(user), command);
}

} // extern "C"
