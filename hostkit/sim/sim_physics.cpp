#include "sim_physics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tvk {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInvSqrt2 = 0.70710678118654752440;
// Integration steps per cycle of the plate's motion.
constexpr int kStepsPerCycle = 80;
// A rebound slower than this (mm/s) settles on the plate at once.
constexpr double kSettleSpeed = 1.0;
// Two cycle starts this close (mm/s, mm) are the same state: the motion is periodic.
constexpr double kSameSpeed = 1e-4;
constexpr double kSameHeight = 1e-7;
// How far the plate rocks: a coil lifts its own corner 1 + 2 kTilt times the
// centre, the opposite corner 1 - 2 kTilt times.
constexpr double kTilt = 0.25;

double clamp(double value, double hi) {
    return std::min(std::max(value, 0.0), hi);
}

double length(Vec2 v) {
    return std::hypot(v.x, v.y);
}

Vec2 scaled(Vec2 v, double factor) {
    return {v.x * factor, v.y * factor};
}

Vec2 plus(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}

// The part relative to the plate: horizontal slip and, in flight, height.
struct PartState {
    bool flying = false;
    bool stuck = true;
    Vec2 velocity; // mm/s relative to the plate
    double height = 0.0;
    double climb = 0.0; // mm/s upwards relative to the plate

    bool same(const PartState &other) const {
        return flying == other.flying && stuck == other.stuck &&
               length(plus(velocity, scaled(other.velocity, -1.0))) < kSameSpeed &&
               std::fabs(height - other.height) < kSameHeight &&
               std::fabs(climb - other.climb) < kSameSpeed;
    }
};

// The plate's acceleration at one instant, mm/s^2.
struct PlateAccel {
    Vec2 horizontal;
    double vertical = 0.0;
};

// One tone's rotating e^{i w t}, advanced by a fixed step.
struct Rotor {
    double omegaSquared;
    Phasor now;
    Phasor step;
};

// Integrates the part through the plate's motion with a fixed step, the
// accelerations taken at each step's middle.
class Integrator {
  public:
    Integrator(const PlateMotion &plate, const Contact &contact, double dt, Rng &rng)
        : plate_(plate), contact_(contact), dt_(dt), rng_(rng) {
        for (const PlateTone &tone : plate.tones) {
            const double omega = 2.0 * kPi * tone.hz;
            rotors_.push_back({omega * omega, {}, std::polar(1.0, omega * dt)});
        }
    }

    // Sets the rotors to the middle of a cycle's first step.
    void restartCycle() {
        for (std::size_t tone = 0; tone < rotors_.size(); ++tone) {
            const double omega = 2.0 * kPi * plate_.tones[tone].hz;
            rotors_[tone].now = std::polar(1.0, 0.5 * omega * dt_);
        }
    }

    void step() {
        const PlateAccel accel = acceleration();
        const double normal = kGravity + accel.vertical;
        if (!state_.flying && normal <= 0.0) {
            state_.flying = true;
            state_.stuck = false;
            state_.height = 0.0;
            state_.climb = 0.0;
        }
        if (state_.flying) {
            fly(accel, normal);
            ++flightSteps_;
        } else if (!state_.stuck || length(accel.horizontal) > contact_.staticFriction * normal) {
            slide(accel, normal);
        }
        for (Rotor &rotor : rotors_) {
            rotor.now *= rotor.step;
        }
    }

    const PartState &state() const {
        return state_;
    }
    Vec2 displacement() const {
        return displacement_;
    }
    long flightSteps() const {
        return flightSteps_;
    }
    bool drew() const {
        return drew_;
    }
    void clearDrew() {
        drew_ = false;
    }
    // Repeats the last cycle `cycles` times: the motion is periodic.
    void repeat(Vec2 perCycle, long flightPerCycle, long cycles) {
        displacement_ = plus(displacement_, scaled(perCycle, static_cast<double>(cycles)));
        flightSteps_ += flightPerCycle * cycles;
    }

  private:
    PlateAccel acceleration() const {
        PlateAccel accel;
        for (std::size_t tone = 0; tone < rotors_.size(); ++tone) {
            const Rotor &rotor = rotors_[tone];
            const PlateTone &motion = plate_.tones[tone];
            accel.horizontal.x -= rotor.omegaSquared * (motion.x * rotor.now).real();
            accel.horizontal.y -= rotor.omegaSquared * (motion.y * rotor.now).real();
            accel.vertical -= rotor.omegaSquared * (motion.z * rotor.now).real();
        }
        return accel;
    }

    // Coulomb friction against the slip; the part sticks when friction can
    // stop it within the step and static friction can hold it.
    void slide(const PlateAccel &accel, double normal) {
        const Vec2 plateAccel = accel.horizontal;
        const double speed = length(state_.velocity);
        const double push = length(plateAccel);
        const Vec2 slip = speed > 0.0 ? scaled(state_.velocity, 1.0 / speed)
                                      : scaled(plateAccel, push > 0.0 ? -1.0 / push : 0.0);
        const double friction = contact_.kineticFriction * normal;
        const Vec2 relative = plus(scaled(plateAccel, -1.0), scaled(slip, -friction));
        const Vec2 next = plus(state_.velocity, scaled(relative, dt_));
        const bool stops = next.x * slip.x + next.y * slip.y <= 0.0;
        if (stops && push <= contact_.staticFriction * normal) {
            displacement_ = plus(displacement_, scaled(state_.velocity, 0.5 * dt_));
            state_.velocity = {};
            state_.stuck = true;
            return;
        }
        displacement_ = plus(displacement_, scaled(plus(state_.velocity, next), 0.5 * dt_));
        state_.velocity = next;
        state_.stuck = false;
    }

    void fly(const PlateAccel &accel, double normal) {
        state_.velocity = plus(state_.velocity, scaled(accel.horizontal, -dt_));
        displacement_ = plus(displacement_, scaled(state_.velocity, dt_));
        state_.climb -= normal * dt_;
        state_.height += state_.climb * dt_;
        if (state_.height <= 0.0 && state_.climb < 0.0) {
            land();
        }
    }

    // The impact's friction impulse slows the slip; the part's own shape
    // kicks it sideways; a slow rebound settles.
    void land() {
        const double impact = -state_.climb;
        const double impulse = contact_.kineticFriction * (1.0 + contact_.restitution) * impact;
        const double speed = length(state_.velocity);
        state_.velocity =
            speed <= impulse ? Vec2{} : scaled(state_.velocity, (speed - impulse) / speed);
        if (contact_.scatter > 0.0) {
            // One draw per statement: the order of draws must not depend on the compiler.
            const double kickX = rng_.normal();
            const double kickY = rng_.normal();
            state_.velocity = plus(state_.velocity,
                                   scaled({kickX, kickY}, contact_.scatter * impact * kInvSqrt2));
            drew_ = true;
        }
        state_.height = 0.0;
        state_.climb = contact_.restitution * impact;
        if (state_.climb < kSettleSpeed) {
            state_.flying = false;
            state_.climb = 0.0;
            state_.stuck = length(state_.velocity) == 0.0;
        }
    }

    const PlateMotion &plate_;
    Contact contact_;
    double dt_;
    Rng &rng_;
    std::vector<Rotor> rotors_;
    PartState state_;
    Vec2 displacement_;
    long flightSteps_ = 0;
    bool drew_ = false;
};

// The plate's motion repeats every 1 / gcd(frequencies) s.
unsigned commonHz(const PlateMotion &plate) {
    unsigned hz = 0;
    for (const PlateTone &tone : plate.tones) {
        hz = std::gcd(hz, tone.hz);
    }
    return hz;
}

unsigned highestHz(const PlateMotion &plate) {
    unsigned hz = 0;
    for (const PlateTone &tone : plate.tones) {
        hz = std::max(hz, tone.hz);
    }
    return hz;
}

} // namespace

Platform platformOf(int model) {
    return model == 0 ? Platform{{190.0, 155.0}, 1.0} : Platform{{320.0, 240.0}, 1.25};
}

FeederRanges defaultRanges(int model) {
    FeederRanges ranges;
    ranges.noise = {0.2, 1.0};
    ranges.mismatch = {0.0, 0.05};
    ranges.friction = {0.5, 0.7};
    ranges.kinetic = {0.8, 0.95};
    ranges.restitution = {0.2, 0.5};
    ranges.scatter = {0.4, 1.0};
    ranges.resonanceWear = {0.001, 0.003};
    ranges.frictionWear = {0.005, 0.02};
    ranges.age = {0.0, 0.0};
    ranges.load = {0.0, 0.0};
    if (model == 0) {
        ranges.resonance = {54.0, 70.0};
        ranges.halfWidth = {3.0, 7.0};
        ranges.gain = {0.8, 1.6};
        ranges.lift = {0.5, 0.65};
    } else {
        ranges.resonance = {20.0, 30.0};
        ranges.halfWidth = {1.5, 3.5};
        ranges.gain = {4.0, 8.0};
        ranges.lift = {0.5, 0.65};
    }
    return ranges;
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

Transport convey(const PlateMotion &plate, const Contact &contact, double seconds, Rng &rng) {
    const unsigned common = commonHz(plate);
    if (common == 0 || seconds <= 0.0) {
        return {};
    }
    const long cycleSteps = static_cast<long>(kStepsPerCycle) * (highestHz(plate) / common);
    const double dt = 1.0 / (static_cast<double>(common) * static_cast<double>(cycleSteps));
    const long totalSteps = std::lround(seconds / dt);
    Integrator part(plate, contact, dt, rng);
    PartState cycleStart = part.state();
    Vec2 startDisplacement;
    long startFlight = 0;
    long done = 0;
    while (done < totalSteps) {
        part.restartCycle();
        const long steps = std::min(cycleSteps, totalSteps - done);
        for (long step = 0; step < steps; ++step) {
            part.step();
        }
        done += steps;
        const long cycles = (totalSteps - done) / cycleSteps;
        if (!part.drew() && cycles > 0 && part.state().same(cycleStart)) {
            const Vec2 moved = plus(part.displacement(), scaled(startDisplacement, -1.0));
            part.repeat(moved, part.flightSteps() - startFlight, cycles);
            done += cycles * cycleSteps;
        }
        part.clearDrew();
        cycleStart = part.state();
        startDisplacement = part.displacement();
        startFlight = part.flightSteps();
    }
    return {part.displacement(),
            static_cast<double>(part.flightSteps()) / static_cast<double>(totalSteps)};
}

Feeder::Feeder(const FeederParams &params, const std::array<double, kMotorNum> &motorGain,
               const Platform &platform)
    : params_(params), motorGain_(motorGain), platform_(platform) {}

Feeder Feeder::draw(const FeederRanges &ranges, const Platform &platform, Rng &rng) {
    const auto pick = [&rng](const Range &range) { return rng.uniform(range.lo, range.hi); };
    FeederParams drawn;
    drawn.resonance = pick(ranges.resonance);
    drawn.halfWidth = pick(ranges.halfWidth);
    drawn.gain = pick(ranges.gain);
    drawn.friction = pick(ranges.friction);
    drawn.noise = pick(ranges.noise);
    drawn.mismatch = pick(ranges.mismatch);
    std::array<double, kMotorNum> gains{};
    for (double &gain : gains) {
        gain = 1.0 + rng.uniform(-drawn.mismatch, drawn.mismatch);
    }
    drawn.kinetic = pick(ranges.kinetic);
    drawn.lift = pick(ranges.lift);
    drawn.restitution = pick(ranges.restitution);
    drawn.scatter = pick(ranges.scatter);
    drawn.resonanceWear = pick(ranges.resonanceWear);
    drawn.frictionWear = pick(ranges.frictionWear);
    drawn.age = pick(ranges.age);
    drawn.load = pick(ranges.load);
    return Feeder(drawn, gains, platform);
}

double Feeder::q() const {
    return params_.resonance / (2.0 * params_.halfWidth);
}

double Feeder::resonanceAt(double hours) const {
    return params_.resonance * std::exp(-params_.resonanceWear * hours) /
           std::sqrt(1.0 + params_.load);
}

double Feeder::frictionAt(double hours) const {
    return params_.friction * std::exp(params_.frictionWear * hours);
}

Phasor Feeder::response(double hz, double hours) const {
    const double ratio = hz / resonanceAt(hours);
    return 1.0 / Phasor(1.0 - ratio * ratio, ratio / q());
}

PlateMotion Feeder::plate(const Vibration &vibration, Vec2 where, double hours) const {
    // Offsets from the centre as fractions of the half sizes.
    const double across = 2.0 * where.x / platform_.size.x - 1.0;
    const double along = 2.0 * where.y / platform_.size.y - 1.0;
    PlateMotion motion;
    for (int motor = 0; motor < kMotorNum; ++motor) {
        const MotorWords &words = vibration.motors.at(static_cast<std::size_t>(motor));
        if (words.amp == 0 || words.fre == 0) {
            continue;
        }
        const Phasor stroke = 1e-3 * params_.gain * words.amp * motorGain(motor) *
                              response(words.fre, hours) * std::polar(1.0, words.pha * kPi / 180.0);
        // The coil sits under the corner opposite its push and rocks the plate.
        const Vec2 push = pushDirection(motor);
        const double tilt = 1.0 - kTilt * (std::copysign(1.0, push.x) * across +
                                           std::copysign(1.0, push.y) * along);
        auto tone = std::find_if(motion.tones.begin(), motion.tones.end(),
                                 [&words](const PlateTone &t) { return t.hz == words.fre; });
        if (tone == motion.tones.end()) {
            motion.tones.push_back({words.fre, {}, {}, {}});
            tone = std::prev(motion.tones.end());
        }
        tone->x += stroke * push.x;
        tone->y += stroke * push.y;
        tone->z += stroke * params_.lift * tilt;
    }
    return motion;
}

Contact Feeder::contact(double hours) const {
    const double staticFriction = frictionAt(hours);
    return {staticFriction, staticFriction * params_.kinetic, params_.restitution, params_.scatter};
}

Probe Feeder::probe(const Vibration &vibration, Vec2 where, double hours) const {
    const PlateMotion motion = plate(vibration, where, hours);
    Probe probe;
    double velocity = 0.0;
    for (const PlateTone &tone : motion.tones) {
        const double omega = 2.0 * kPi * tone.hz;
        const double sum = std::norm(tone.x) + std::norm(tone.y);
        const double major = std::sqrt(0.5 * (sum + std::abs(tone.x * tone.x + tone.y * tone.y)));
        probe.horizontalUm += 1e3 * major;
        probe.verticalUm += 1e3 * std::abs(tone.z);
        probe.accelG += major * omega * omega / kGravity;
        probe.throwG += std::abs(tone.z) * omega * omega / kGravity;
        velocity += major * omega;
    }
    Rng kicks(1);
    const double seconds = vibration.runMs / 1000.0;
    const Transport run = convey(motion, contact(hours), seconds, kicks);
    probe.speed = seconds > 0.0 ? length(run.displacement) / seconds : 0.0;
    probe.kv = velocity > 0.0 ? probe.speed / velocity : 0.0;
    probe.flight = run.flightFraction;
    return probe;
}

Vec2 Feeder::vibrate(Vec2 from, const Vibration &vibration, double hours, Rng &rng) const {
    const Transport run =
        convey(plate(vibration, from, hours), contact(hours), vibration.runMs / 1000.0, rng);
    const double noise = params_.noise;
    // One draw per statement: the order of draws must not depend on the compiler.
    double dx = run.displacement.x / platform_.mmPerUnit;
    double dy = run.displacement.y / platform_.mmPerUnit;
    dx += rng.uniform(-noise, noise);
    dy += rng.uniform(-noise, noise);
    return clampToPlatform({from.x + dx, from.y + dy}, platform_.size);
}

} // namespace tvk
