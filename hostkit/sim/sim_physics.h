// The simulated feeder: a platform, four voice-coil motors under its corners,
// and a part that drifts while the motors vibrate.
#ifndef TAVREL_HOSTKIT_SIM_SIM_PHYSICS_H
#define TAVREL_HOSTKIT_SIM_SIM_PHYSICS_H

#include <array>
#include <cstdint>
#include <random>

namespace tvk {

constexpr int kMotorNum = 4;
constexpr int kModelNum = 3;

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// The words of one motor that the model uses; the mode word is not modelled.
struct MotorWords {
    unsigned amp = 0;
    unsigned fre = 0;
    unsigned pha = 0;
};

// One vibration as commanded.
struct Vibration {
    std::array<MotorWords, kMotorNum> motors{};
    unsigned runMs = 0;
};

// The physical constants of one feeder.
struct FeederParams {
    double resonance = 0.0; // frequency word of the peak response
    double halfWidth = 0.0; // frequency words from the peak to half response
    double gain = 0.0;      // px per ms per unit of drive above friction
    double friction = 0.0;  // drive below which the part stays put
    double noise = 0.0;     // largest random offset per vibration and axis, px
    double mismatch = 0.0;  // largest relative gain error of one motor
};

struct Range {
    double lo = 0.0;
    double hi = 0.0;
};

// Where feeders of one model fall; a feeder draws each constant uniformly.
struct FeederRanges {
    Range resonance;
    Range halfWidth;
    Range gain;
    Range friction;
    Range noise;
    Range mismatch;
};

// Host coordinate units: model 0 is 190 x 155, models 1 and 2 are 320 x 240.
Vec2 platformSize(int model);
FeederRanges defaultRanges(int model);

// The point moved onto the platform, the nearest edge for a point outside.
Vec2 clampToPlatform(Vec2 point, Vec2 platform);

// Unit vector of motor k's push at phase 0.
Vec2 pushDirection(int motor);

// Reproducible on every platform: the draws use only the engine's raw output.
class Rng {
  public:
    explicit Rng(std::uint64_t seed) : engine_(seed) {}
    double uniform(double lo, double hi);
    double normal();

  private:
    std::mt19937_64 engine_;
};

// Mixes several numbers into one seed.
std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t a, std::uint64_t b = 0);

class Feeder {
  public:
    Feeder(const FeederParams &params, const std::array<double, kMotorNum> &motorGain);
    static Feeder draw(const FeederRanges &ranges, Rng &rng);

    const FeederParams &params() const {
        return params_;
    }
    double motorGain(int motor) const {
        return motorGain_.at(static_cast<std::size_t>(motor));
    }
    // 1 at resonance, 1/2 one half-width away.
    double response(double frequencyWord) const;
    // Signed drive of one motor: negative when its phase reverses the push.
    double drive(int motor, const MotorWords &words) const;
    // Net drift in px per ms; each motor adds its push above friction.
    Vec2 drift(const Vibration &vibration) const;
    // Standard deviation in px per ms of the random hop when all four motors
    // run in phase and their pushes cancel.
    double scatter(const Vibration &vibration) const;
    // Where a part at `from` ends after the vibration; it stops at the edge.
    Vec2 vibrate(Vec2 from, const Vibration &vibration, Vec2 platform, Rng &rng) const;

  private:
    FeederParams params_;
    std::array<double, kMotorNum> motorGain_;
};

} // namespace tvk

#endif
