// The simulated feeder: a plate on springs, four voice coils under its
// corners, and a part on the plate that sticks, slides and flies through each
// vibration cycle under Coulomb friction. Lengths in mm, times in s inside
// the physics; the platform frame in the host's units outside it.
#ifndef TAVREL_HOSTKIT_SIM_SIM_PHYSICS_H
#define TAVREL_HOSTKIT_SIM_SIM_PHYSICS_H

#include <array>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace tvk {

constexpr int kMotorNum = 4;
constexpr int kModelNum = 3;
constexpr double kGravity = 9806.65; // mm/s^2

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
    double resonance = 0.0;     // Hz, new and unloaded
    double halfWidth = 0.0;     // Hz from resonance to half power: Q = resonance / (2 halfWidth)
    double gain = 0.0;          // um of static stroke along a coil's push per amplitude word
    double friction = 0.0;      // static friction coefficient
    double noise = 0.0;         // largest random offset per vibration and axis, host units
    double mismatch = 0.0;      // largest relative gain error of one coil
    double kinetic = 0.0;       // kinetic friction as a fraction of static
    double lift = 0.0;          // vertical stroke per horizontal stroke of one coil at the centre
    double restitution = 0.0;   // rebound speed per impact speed at a landing
    double scatter = 0.0;       // sideways kick per impact speed at a landing (its spread)
    double resonanceWear = 0.0; // fraction of the resonance lost per hour of running
    double frictionWear = 0.0;  // fraction of friction gained per hour of running
    double age = 0.0;           // hours of running before the first vibration
    double load = 0.0;          // load on the plate per plate mass
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
    Range kinetic;
    Range lift;
    Range restitution;
    Range scatter;
    Range resonanceWear;
    Range frictionWear;
    Range age;
    Range load;
};

// The platform in host units (model 0 is 190 x 155, models 1 and 2 are
// 320 x 240) and how many mm one unit measures.
struct Platform {
    Vec2 size;
    double mmPerUnit = 1.0;
};

Platform platformOf(int model);
FeederRanges defaultRanges(int model);

// The point moved onto the platform, the nearest edge for a point outside.
Vec2 clampToPlatform(Vec2 point, Vec2 platform);

// Unit vector of coil k's horizontal push at phase 0; the coil sits under
// the opposite corner and pushes towards the centre.
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

using Phasor = std::complex<double>;

// One frequency of the plate's steady motion at a point: displacement
// Re(amplitude e^{i 2 pi hz t}) in mm along X, Y and Z.
struct PlateTone {
    unsigned hz = 0;
    Phasor x;
    Phasor y;
    Phasor z;
};

struct PlateMotion {
    std::vector<PlateTone> tones;
};

// What one run of the part on the plate did.
struct Transport {
    Vec2 displacement; // mm, in the plate's frame
    double flightFraction = 0.0;
};

// The part's own constants in one run.
struct Contact {
    double staticFriction = 0.0;
    double kineticFriction = 0.0;
    double restitution = 0.0;
    double scatter = 0.0;
};

// Runs the part, at rest at the start, for `seconds` on the plate motion;
// `rng` draws the landing kicks (none when scatter is 0).
Transport convey(const PlateMotion &plate, const Contact &contact, double seconds, Rng &rng);

// What a vibration does to a part at one point, noise aside. For several
// frequencies the amplitudes add and A w sums each tone's.
struct Probe {
    double horizontalUm = 0.0; // the largest horizontal excursion of the plate
    double verticalUm = 0.0;
    double accelG = 0.0; // A w^2 / g, horizontal
    double throwG = 0.0; // A_v w^2 / g
    double speed = 0.0;  // mm/s
    double kv = 0.0;     // speed / (A w)
    double flight = 0.0; // fraction of the run in the air
};

class Feeder {
  public:
    Feeder(const FeederParams &params, const std::array<double, kMotorNum> &motorGain,
           const Platform &platform);
    static Feeder draw(const FeederRanges &ranges, const Platform &platform, Rng &rng);

    const FeederParams &params() const {
        return params_;
    }
    const Platform &platform() const {
        return platform_;
    }
    double motorGain(int motor) const {
        return motorGain_.at(static_cast<std::size_t>(motor));
    }
    double q() const;
    // Resonance and static friction after `hours` of running, under the load.
    double resonanceAt(double hours) const;
    double frictionAt(double hours) const;
    // Stroke per static stroke at `hz`: Q at resonance, its argument the lag.
    Phasor response(double hz, double hours) const;
    // The plate's motion at `where` (host units) under the vibration.
    PlateMotion plate(const Vibration &vibration, Vec2 where, double hours) const;
    Contact contact(double hours) const;
    Probe probe(const Vibration &vibration, Vec2 where, double hours) const;
    // Where a part at `from` ends after the vibration; it stops at the edge.
    Vec2 vibrate(Vec2 from, const Vibration &vibration, double hours, Rng &rng) const;

  private:
    FeederParams params_;
    std::array<double, kMotorNum> motorGain_;
    Platform platform_;
};

} // namespace tvk

#endif
