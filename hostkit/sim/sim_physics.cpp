#include "sim_physics.h"

#include <algorithm>
#include <cmath>

namespace tvk {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInvSqrt2 = 0.70710678118654752440;

double clamp(double value, double hi) {
    return std::min(std::max(value, 0.0), hi);
}

} // namespace

Vec2 platformSize(int model) {
    return model == 0 ? Vec2{190.0, 155.0} : Vec2{320.0, 240.0};
}

FeederRanges defaultRanges(int model) {
    if (model == 0) {
        return {{54.0, 74.0}, {9.0, 20.0}, {0.0012, 0.0035}, {10.0, 20.0}, {0.3, 2.5}, {0.0, 0.05}};
    }
    return {{20.0, 30.0}, {5.0, 11.0}, {0.0005, 0.0014}, {8.0, 18.0}, {0.5, 5.0}, {0.0, 0.05}};
}

Vec2 clampToPlatform(Vec2 point, Vec2 platform) {
    return {clamp(point.x, platform.x), clamp(point.y, platform.y)};
}

Vec2 pushDirection(int motor) {
    static const std::array<Vec2, kMotorNum> kPush = {{{-kInvSqrt2, kInvSqrt2},
                                                       {-kInvSqrt2, -kInvSqrt2},
                                                       {kInvSqrt2, kInvSqrt2},
                                                       {kInvSqrt2, -kInvSqrt2}}};
    return kPush.at(static_cast<std::size_t>(motor));
}

double Rng::uniform(double lo, double hi) {
    const double unit = static_cast<double>(engine_() >> 11) * 0x1.0p-53;
    return lo + (hi - lo) * unit;
}

double Rng::normal() {
    // Box-Muller; 1 - u keeps the logarithm finite.
    const double u = 1.0 - uniform(0.0, 1.0);
    const double v = uniform(0.0, 1.0);
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * kPi * v);
}

std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t a, std::uint64_t b) {
    // splitmix64 finaliser over each part in turn.
    std::uint64_t state = seed;
    for (const std::uint64_t part : {a, b}) {
        state += 0x9e3779b97f4a7c15ULL + part;
        state = (state ^ (state >> 30)) * 0xbf58476d1ce4e5b9ULL;
        state = (state ^ (state >> 27)) * 0x94d049bb133111ebULL;
        state ^= state >> 31;
    }
    return state;
}

Feeder::Feeder(const FeederParams &params, const std::array<double, kMotorNum> &motorGain)
    : params_(params), motorGain_(motorGain) {}

Feeder Feeder::draw(const FeederRanges &ranges, Rng &rng) {
    const auto pick = [&rng](const Range &range) { return rng.uniform(range.lo, range.hi); };
    FeederParams params;
    params.resonance = pick(ranges.resonance);
    params.halfWidth = pick(ranges.halfWidth);
    params.gain = pick(ranges.gain);
    params.friction = pick(ranges.friction);
    params.noise = pick(ranges.noise);
    params.mismatch = pick(ranges.mismatch);
    std::array<double, kMotorNum> motorGain{};
    for (double &gain : motorGain) {
        gain = 1.0 + rng.uniform(-params.mismatch, params.mismatch);
    }
    return Feeder(params, motorGain);
}

double Feeder::response(double frequencyWord) const {
    const double offset = (frequencyWord - params_.resonance) / params_.halfWidth;
    return 1.0 / (1.0 + offset * offset);
}

double Feeder::drive(int motor, const MotorWords &words) const {
    const double phase = std::cos(static_cast<double>(words.pha) * kPi / 180.0);
    return static_cast<double>(words.amp) * response(words.fre) *
           motorGain_.at(static_cast<std::size_t>(motor)) * phase;
}

Vec2 Feeder::drift(const Vibration &vibration) const {
    Vec2 total;
    for (int motor = 0; motor < kMotorNum; ++motor) {
        const double signedDrive = drive(motor, vibration.motors.at(motor));
        const double speed =
            params_.gain * std::max(0.0, std::fabs(signedDrive) - params_.friction);
        const double sign = signedDrive < 0.0 ? -1.0 : 1.0;
        const Vec2 push = pushDirection(motor);
        total.x += sign * speed * push.x;
        total.y += sign * speed * push.y;
    }
    return total;
}

double Feeder::scatter(const Vibration &vibration) const {
    double sum = 0.0;
    int positive = 0;
    int negative = 0;
    for (int motor = 0; motor < kMotorNum; ++motor) {
        const double signedDrive = drive(motor, vibration.motors.at(motor));
        sum += std::fabs(signedDrive);
        positive += signedDrive > 0.0 ? 1 : 0;
        negative += signedDrive < 0.0 ? 1 : 0;
    }
    if (positive != kMotorNum && negative != kMotorNum) {
        return 0.0;
    }
    return params_.gain * std::max(0.0, sum - params_.friction);
}

Vec2 Feeder::vibrate(Vec2 from, const Vibration &vibration, Vec2 platform, Rng &rng) const {
    const double ms = vibration.runMs;
    const Vec2 speed = drift(vibration);
    const double spread = scatter(vibration) * ms;
    const double noise = params_.noise;
    // One draw per statement: the order of draws must not depend on the compiler.
    double dx = speed.x * ms + spread * rng.normal();
    double dy = speed.y * ms + spread * rng.normal();
    dx += rng.uniform(-noise, noise);
    dy += rng.uniform(-noise, noise);
    return clampToPlatform({from.x + dx, from.y + dy}, platform);
}

} // namespace tvk
