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
    tvk::Feeder feeder;
    tvk::Rng noise;
    tvk::Vec2 part;
    double vibrationMs;

    double hours() const {
        constexpr double kMsPerHour = 3.6e6;
        return feeder.params().age + vibrationMs / kMsPerHour;
    }
    tvk::Vec2 platform() const {
        return feeder.platform().size;
    }
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

// Each range of the record beside the physics' own.
struct RangeField {
    TVK_SimRange TVK_SimRanges::*kit;
    tvk::Range tvk::FeederRanges::*physics;
};

constexpr RangeField kRangeFields[] = {
    {&TVK_SimRanges::resonance, &tvk::FeederRanges::resonance},
    {&TVK_SimRanges::half_width, &tvk::FeederRanges::halfWidth},
    {&TVK_SimRanges::gain, &tvk::FeederRanges::gain},
    {&TVK_SimRanges::friction, &tvk::FeederRanges::friction},
    {&TVK_SimRanges::noise, &tvk::FeederRanges::noise},
    {&TVK_SimRanges::mismatch, &tvk::FeederRanges::mismatch},
    {&TVK_SimRanges::kinetic, &tvk::FeederRanges::kinetic},
    {&TVK_SimRanges::lift, &tvk::FeederRanges::lift},
    {&TVK_SimRanges::restitution, &tvk::FeederRanges::restitution},
    {&TVK_SimRanges::scatter, &tvk::FeederRanges::scatter},
    {&TVK_SimRanges::resonance_wear, &tvk::FeederRanges::resonanceWear},
    {&TVK_SimRanges::friction_wear, &tvk::FeederRanges::frictionWear},
    {&TVK_SimRanges::age_h, &tvk::FeederRanges::age},
    {&TVK_SimRanges::load, &tvk::FeederRanges::load},
};

// The fields since 1.2.0 begin here: {0, 0} in one of them is its default.
constexpr std::size_t kFirstGrownField = 6;

tvk::FeederRanges toRanges(const TVK_SimRanges &ranges) {
    tvk::FeederRanges physics;
    for (const RangeField &field : kRangeFields) {
        physics.*field.physics = toRange(ranges.*field.kit);
    }
    return physics;
}

TVK_SimRanges fromRanges(const tvk::FeederRanges &physics) {
    TVK_SimRanges ranges{};
    ranges.size = sizeof ranges;
    for (const RangeField &field : kRangeFields) {
        ranges.*field.kit = fromRange(physics.*field.physics);
    }
    return ranges;
}

void defaultZeroRanges(int model, TVK_SimRanges *ranges) {
    const TVK_SimRanges defaults = fromRanges(tvk::defaultRanges(model));
    for (std::size_t index = kFirstGrownField; index < std::size(kRangeFields); ++index) {
        TVK_SimRange &range = ranges->*kRangeFields[index].kit;
        if (range.lo == 0.0 && range.hi == 0.0) {
            range = defaults.*kRangeFields[index].kit;
        }
    }
}

// What a drawn constant must be for the physics to stay finite.
enum class Bound { kPositive, kNotNegative, kFraction, kUnit };

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
    {"kinetic", &TVK_SimRanges::kinetic, Bound::kUnit},
    {"lift", &TVK_SimRanges::lift, Bound::kNotNegative},
    {"restitution", &TVK_SimRanges::restitution, Bound::kFraction},
    {"scatter", &TVK_SimRanges::scatter, Bound::kNotNegative},
    {"resonance_wear", &TVK_SimRanges::resonance_wear, Bound::kNotNegative},
    {"friction_wear", &TVK_SimRanges::friction_wear, Bound::kNotNegative},
    {"age_h", &TVK_SimRanges::age_h, Bound::kNotNegative},
    {"load", &TVK_SimRanges::load, Bound::kNotNegative},
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
    if (bound == Bound::kUnit && (range.lo <= 0.0 || range.hi > 1.0)) {
        return "must lie above 0 and at most 1";
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

// Stores a point through x and y, refused when either is null; the check sits
// next to the stores so that it is plain that neither is written through null.
int writePoint(const char *function, float *x, float *y, float pointX, float pointY) {
    if (x == nullptr || y == nullptr) {
        return tvk::fail(TVK_E_ARG,
                         std::string(function) + ": " + (x == nullptr ? "x" : "y") + " is null");
    }
    *x = pointX;
    *y = pointY;
    return TVK_OK;
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

TVK_SimParams paramsOf(const SimFeeder &sim) {
    const tvk::Feeder &feeder = sim.feeder;
    const tvk::FeederParams &params = feeder.params();
    TVK_SimParams full{};
    full.size = sizeof full;
    full.resonance = params.resonance;
    full.half_width = params.halfWidth;
    full.gain = params.gain;
    full.friction = params.friction;
    full.noise = params.noise;
    full.mismatch = params.mismatch;
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        full.motor_gain[motor] = feeder.motorGain(motor);
    }
    full.kinetic = params.kinetic;
    full.lift = params.lift;
    full.restitution = params.restitution;
    full.scatter = params.scatter;
    full.resonance_wear = params.resonanceWear;
    full.friction_wear = params.frictionWear;
    full.age_h = params.age;
    full.load = params.load;
    full.mm_per_unit = feeder.platform().mmPerUnit;
    full.q = feeder.q();
    full.resonance_now = feeder.resonanceAt(sim.hours());
    full.friction_now = feeder.frictionAt(sim.hours());
    return full;
}

TVK_SimProbe probeOf(const SimFeeder &sim, const tvk::Vibration &vibration) {
    const tvk::Probe probe = sim.feeder.probe(vibration, sim.part, sim.hours());
    TVK_SimProbe full{};
    full.size = sizeof full;
    full.horizontal_um = probe.horizontalUm;
    full.vertical_um = probe.verticalUm;
    full.accel_g = probe.accelG;
    full.throw_g = probe.throwG;
    full.speed_mm_s = probe.speed;
    full.kv = probe.kv;
    full.flight = probe.flight;
    return full;
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
    tvk::writeRecord(fromRanges(tvk::defaultRanges(model)), out);
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
    const tvk::Vec2 size = tvk::platformOf(model).size;
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
        defaultZeroRanges(model, &full);
    }
    if (result == TVK_OK) {
        result = refuseRanges(kFunction, full);
    }
    if (result != TVK_OK) {
        return result;
    }
    tvk::Rng draw(feeder_seed);
    const tvk::Platform platform = tvk::platformOf(model);
    // cppcheck loses the pointer's use through the nothrow new's braces.
    // cppcheck-suppress unreadVariable
    std::unique_ptr<SimFeeder> sim(new (std::nothrow)
                                       SimFeeder{{},
                                                 tvk::Feeder::draw(toRanges(full), platform, draw),
                                                 tvk::Rng(noise_seed),
                                                 {platform.size.x / 2.0, platform.size.y / 2.0},
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
    tvk::writeRecord(paramsOf(*call), out);
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
    call->part = tvk::clampToPlatform({x, y}, call->platform());
    return TVK_OK;
}

int tvk_sim_position(const TVK_SimFeeder *sim, float *x, float *y) {
    constexpr const char *kFunction = "tvk_sim_position";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    if (call.refusal() != TVK_OK) {
        return call.refusal();
    }
    return writePoint(kFunction, x, y, static_cast<float>(call->part.x),
                      static_cast<float>(call->part.y));
}

int tvk_sim_camera(const TVK_SimFeeder *sim, float *x, float *y) {
    constexpr const char *kFunction = "tvk_sim_camera";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    if (call.refusal() != TVK_OK) {
        return call.refusal();
    }
    const int result =
        writePoint(kFunction, x, y, tvk::cameraValue(call->part.x), tvk::cameraValue(call->part.y));
    return result == TVK_OK ? 1 : result;
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
        call->feeder.vibrate(call->part, toVibration(*command), call->hours(), call->noise);
    call->vibrationMs += command->u16RunTim;
    return TVK_OK;
}

int tvk_sim_probe(const TVK_SimFeeder *sim, const ST_HostFedColC *command, TVK_SimProbe *out) {
    constexpr const char *kFunction = "tvk_sim_probe";
    const SimCall call(sim, kFunction, __builtin_frame_address(0));
    int result = call.refusal();
    if (result == TVK_OK) {
        result = refuseNull(kFunction, "command", command);
    }
    if (result == TVK_OK) {
        result = tvk::checkOutput(kFunction, "out", out);
    }
    if (result != TVK_OK) {
        return result;
    }
    tvk::writeRecord(probeOf(*call, toVibration(*command)), out);
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
