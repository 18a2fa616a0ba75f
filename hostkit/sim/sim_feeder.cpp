// The simulated feeder behind the kit's C interface: one drawn feeder, the
// part on its platform and the random source of its motion.
#include "kit.h"
#include "live_table.h"
#include "sim_physics.h"
#include "trace/trace_columns.h"

#include <cmath>
#include <memory>
#include <new>
#include <string>

namespace {

// One simulated feeder; its handle is a token in the table of live feeders.
struct SimFeeder {
    tvk::OwnerGuard guard;
    int model;
    tvk::Feeder feeder;
    tvk::Rng noise;
    tvk::Vec2 platform;
    tvk::Vec2 part;
    double vibrationMs;
};

tvk::LiveTable<SimFeeder> g_feeders;

// One call's use of the feeder behind a handle.
class SimCall : public tvk::LiveTable<SimFeeder>::Use {
  public:
    SimCall(const TVK_SimFeeder *sim, const char *function, const void *frame)
        : Use(g_feeders, sim, function, frame) {}
};

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

// What a drawn constant must be for the physics to stay finite.
enum class Bound { kPositive, kNotNegative, kFraction };

struct RangeRule {
    const char *name;
    TVK_SimRange TVK_SimRanges::*field;
    Bound bound;
};

constexpr RangeRule kRangeRules[] = {
    {"resonance", &TVK_SimRanges::resonance, Bound::kPositive},
    {"half_width", &TVK_SimRanges::half_width, Bound::kPositive},
    {"gain", &TVK_SimRanges::gain, Bound::kNotNegative},
    {"friction", &TVK_SimRanges::friction, Bound::kNotNegative},
    {"noise", &TVK_SimRanges::noise, Bound::kNotNegative},
    {"mismatch", &TVK_SimRanges::mismatch, Bound::kFraction},
};

std::string describe(const TVK_SimRange &range) {
    return std::to_string(range.lo) + ".." + std::to_string(range.hi);
}

// Empty when the range is good, else what is wrong with it.
std::string rangeFault(const TVK_SimRange &range, Bound bound) {
    if (!std::isfinite(range.lo) || !std::isfinite(range.hi)) {
        return "is not finite";
    }
    if (range.lo > range.hi) {
        return "has lo above hi";
    }
    if (bound == Bound::kPositive && range.lo <= 0.0) {
        return "must be above 0";
    }
    if (range.lo < 0.0) {
        return "must not be negative";
    }
    if (bound == Bound::kFraction && range.hi >= 1.0) {
        return "must lie below 1";
    }
    return {};
}

int refuseRanges(const char *function, const TVK_SimRanges &ranges) {
    for (const RangeRule &rule : kRangeRules) {
        const TVK_SimRange &range = ranges.*rule.field;
        const std::string fault = rangeFault(range, rule.bound);
        if (!fault.empty()) {
            return tvk::fail(TVK_E_ARG, std::string(function) + ": ranges->" + rule.name + " " +
                                            describe(range) + " " + fault);
        }
    }
    return TVK_OK;
}

int refuseModel(const char *function, int model) {
    if (TvlInRange(model, TVK_MODEL_COUNT)) {
        return TVK_OK;
    }
    return tvk::fail(TVK_E_ARG,
                     std::string(function) + ": model " + std::to_string(model) + " is not 0..2");
}

int refuseNull(const char *function, const char *name, const void *pointer) {
    return pointer != nullptr
               ? TVK_OK
               : tvk::fail(TVK_E_ARG, std::string(function) + ": " + name + " is null");
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
    constexpr const char *kFunction = "tvk_sim_default_ranges";
    int result = tvk::checkOutput(kFunction, "out", out);
    if (result == TVK_OK) {
        result = refuseModel(kFunction, model);
    }
    if (result != TVK_OK) {
        return result;
    }
    const tvk::FeederRanges ranges = tvk::defaultRanges(model);
    TVK_SimRanges full{};
    full.size = sizeof full;
    full.resonance = fromRange(ranges.resonance);
    full.half_width = fromRange(ranges.halfWidth);
    full.gain = fromRange(ranges.gain);
    full.friction = fromRange(ranges.friction);
    full.noise = fromRange(ranges.noise);
    full.mismatch = fromRange(ranges.mismatch);
    tvk::writeRecord(full, out);
    return TVK_OK;
}

int tvk_sim_platform(int model, float *width, float *height) {
    constexpr const char *kFunction = "tvk_sim_platform";
    int result = refuseNull(kFunction, "width", width);
    if (result == TVK_OK) {
        result = refuseNull(kFunction, "height", height);
    }
    if (result == TVK_OK) {
        result = refuseModel(kFunction, model);
    }
    if (result != TVK_OK) {
        return result;
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
    constexpr const char *kFunction = "tvk_sim_create";
    int result = refuseNull(kFunction, "out", out);
    if (result == TVK_OK) {
        result = refuseModel(kFunction, model);
    }
    TVK_SimRanges full{};
    full.size = sizeof full;
    if (result == TVK_OK) {
        tvk_sim_default_ranges(model, &full);
    }
    if (result == TVK_OK && ranges != nullptr) {
        result = tvk::readRecord(kFunction, "ranges", ranges, &full);
    }
    if (result == TVK_OK) {
        result = refuseRanges(kFunction, full);
    }
    if (result != TVK_OK) {
        return result;
    }
    const tvk::FeederRanges drawn = toRanges(full);
    tvk::Rng draw(feeder_seed);
    const tvk::Vec2 platform = tvk::platformSize(model);
    std::unique_ptr<SimFeeder> sim(new (std::nothrow)
                                       SimFeeder{{},
                                                 model,
                                                 tvk::Feeder::draw(drawn, draw),
                                                 tvk::Rng(noise_seed),
                                                 platform,
                                                 {platform.x / 2.0, platform.y / 2.0},
                                                 0.0});
    void *handle = sim != nullptr ? g_feeders.add(std::move(sim)) : nullptr;
    if (handle == nullptr) {
        return tvk::fail(TVK_E_NOMEM, "tvk_sim_create: out of memory");
    }
    *out = static_cast<TVK_SimFeeder *>(handle);
    return TVK_OK;
}

int tvk_sim_reseed(TVK_SimFeeder *sim, uint64_t noise_seed) {
    const SimCall call(sim, "tvk_sim_reseed", __builtin_frame_address(0));
    if (call.refusal() != TVK_OK) {
        return call.refusal();
    }
    call->noise = tvk::Rng(noise_seed);
    return TVK_OK;
}

int tvk_sim_params(const TVK_SimFeeder *sim, TVK_SimParams *out) {
    constexpr const char *kFunction = "tvk_sim_params";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    int result = call.refusal();
    if (result == TVK_OK) {
        result = tvk::checkOutput(kFunction, "out", out);
    }
    if (result != TVK_OK) {
        return result;
    }
    const tvk::FeederParams &params = call->feeder.params();
    TVK_SimParams full{};
    full.size = sizeof full;
    full.resonance = params.resonance;
    full.half_width = params.halfWidth;
    full.gain = params.gain;
    full.friction = params.friction;
    full.noise = params.noise;
    full.mismatch = params.mismatch;
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        full.motor_gain[motor] = call->feeder.motorGain(motor);
    }
    tvk::writeRecord(full, out);
    return TVK_OK;
}

int tvk_sim_place(TVK_SimFeeder *sim, float x, float y) {
    const SimCall call(sim, "tvk_sim_place", __builtin_frame_address(0));
    if (call.refusal() != TVK_OK) {
        return call.refusal();
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return tvk::fail(TVK_E_ARG,
                         std::string("tvk_sim_place: ") + (std::isfinite(x) ? "y " : "x ") +
                             std::to_string(std::isfinite(x) ? y : x) + " is not finite");
    }
    call->part = tvk::clampToPlatform({x, y}, call->platform);
    return TVK_OK;
}

int tvk_sim_position(const TVK_SimFeeder *sim, float *x, float *y) {
    constexpr const char *kFunction = "tvk_sim_position";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    int result = call.refusal();
    if (result == TVK_OK) {
        result = refuseNull(kFunction, x == nullptr ? "x" : "y", x == nullptr ? nullptr : y);
    }
    if (result != TVK_OK) {
        return result;
    }
    *x = static_cast<float>(call->part.x);
    *y = static_cast<float>(call->part.y);
    return TVK_OK;
}

int tvk_sim_camera(const TVK_SimFeeder *sim, float *x, float *y) {
    constexpr const char *kFunction = "tvk_sim_camera";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    int result = call.refusal();
    if (result == TVK_OK) {
        result = refuseNull(kFunction, x == nullptr ? "x" : "y", x == nullptr ? nullptr : y);
    }
    if (result != TVK_OK) {
        return result;
    }
    *x = tvk::cameraValue(call->part.x);
    *y = tvk::cameraValue(call->part.y);
    return 1;
}

int tvk_sim_vibrate(TVK_SimFeeder *sim, const ST_HostFedColC *command) {
    constexpr const char *kFunction = "tvk_sim_vibrate";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    int result = call.refusal();
    if (result == TVK_OK) {
        result = refuseNull(kFunction, "command", command);
    }
    if (result != TVK_OK) {
        return result;
    }
    call->part =
        call->feeder.vibrate(call->part, toVibration(*command), call->platform, call->noise);
    call->vibrationMs += command->u16RunTim;
    return TVK_OK;
}

double tvk_sim_vibration_ms(const TVK_SimFeeder *sim) {
    const SimCall call(sim, "tvk_sim_vibration_ms", __builtin_frame_address(0));
    return call.refusal() == TVK_OK ? call->vibrationMs : 0.0;
}

void tvk_sim_destroy(TVK_SimFeeder *sim) {
    if (sim == nullptr) {
        return;
    }
    std::unique_ptr<SimFeeder> gone;
    g_feeders.remove(sim, "tvk_sim_destroy", __builtin_frame_address(0), &gone);
}

int tvk_sim_camera_cb(void *user, float *x, float *y) {
    return tvk_sim_camera(static_cast<const TVK_SimFeeder *>(user), x, y);
}

int tvk_sim_feeder_cb(void *user, const ST_HostFedColC *command) {
    return tvk_sim_vibrate(static_cast<TVK_SimFeeder *>(user), command);
}

} // extern "C"
