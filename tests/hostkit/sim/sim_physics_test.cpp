#include "sim/sim_physics.h"
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tvk {
namespace {

constexpr double kPi = 3.14159265358979323846;

double omegaOf(double hz) {
    return 2.0 * kPi * hz;
}

// A plate moving along one line: horizontal amplitude along X and a vertical
// amplitude in phase with it, both in mm.
PlateMotion lineMotion(unsigned hz, double horizontalMm, double verticalMm) {
    PlateMotion motion;
    motion.tones.push_back({hz, Phasor(horizontalMm), Phasor(0.0), Phasor(verticalMm)});
    return motion;
}

// The horizontal amplitude (mm) whose peak acceleration is `accelG` g.
double amplitudeFor(double accelG, unsigned hz) {
    return accelG * kGravity / (omegaOf(hz) * omegaOf(hz));
}

Transport run(const PlateMotion &motion, const Contact &contact, double seconds = 0.3) {
    Rng rng(1);
    return convey(motion, contact, seconds, rng);
}

double distance(Vec2 v) {
    return std::hypot(v.x, v.y);
}

struct FrictionCase {
    double staticFriction;
    double verticalRatio; // vertical per horizontal amplitude
    unsigned hz;
};

const FrictionCase kFrictionCases[] = {
    {0.5, 0.0, 60}, {0.5, 0.5, 60}, {0.3, 0.8, 100}, {0.7, 0.3, 30}, {0.45, 0.6, 75},
};

// The part slides once the plate's horizontal acceleration beats static
// friction on the normal force, which the vertical motion lowers at the same
// instant: A w^2 (1 + r mu) = mu g, mu g itself on a flat plate.
TEST(PartOnPlate, DoesNotMoveBelowTheFrictionAcceleration) {
    for (const FrictionCase &c : kFrictionCases) {
        SCOPED_TRACE("mu " + std::to_string(c.staticFriction) + " ratio " +
                     std::to_string(c.verticalRatio) + " at " + std::to_string(c.hz) + " Hz");
        const Contact contact{c.staticFriction, 0.8 * c.staticFriction, 0.3, 0.0};
        const double onsetG = c.staticFriction / (1.0 + c.verticalRatio * c.staticFriction);
        for (const double share : {0.5, 0.97}) {
            const double amplitude = amplitudeFor(share * onsetG, c.hz);
            const Transport still =
                run(lineMotion(c.hz, amplitude, c.verticalRatio * amplitude), contact);
            EXPECT_EQ(distance(still.displacement), 0.0) << share << " of the onset";
        }
        const double above = amplitudeFor(1.1 * onsetG, c.hz);
        const Transport moved = run(lineMotion(c.hz, above, c.verticalRatio * above), contact);
        EXPECT_GT(distance(moved.displacement), 0.0);
    }
}

// The hop onset the literature gives: g / w^2, 99 um at 50 Hz and 25 um at
// 100 Hz, whatever the horizontal motion does.
TEST(PartOnPlate, FlightBeginsWhereTheVerticalAccelerationPassesG) {
    const Contact contact{0.5, 0.4, 0.3, 0.0};
    for (const unsigned hz : {50U, 100U, 30U}) {
        SCOPED_TRACE(std::to_string(hz) + " Hz");
        const double onsetMm = kGravity / (omegaOf(hz) * omegaOf(hz));
        if (hz == 50U) {
            EXPECT_NEAR(onsetMm, 0.099, 0.001);
        }
        if (hz == 100U) {
            EXPECT_NEAR(onsetMm, 0.025, 0.001);
        }
        for (const double horizontal : {0.0, 0.5 * onsetMm}) {
            EXPECT_EQ(run(lineMotion(hz, horizontal, 0.98 * onsetMm), contact).flightFraction, 0.0);
            EXPECT_GT(run(lineMotion(hz, horizontal, 1.03 * onsetMm), contact).flightFraction, 0.0);
        }
    }
}

Vibration vibration(unsigned runMs, std::initializer_list<std::pair<int, MotorWords>> motors) {
    Vibration result;
    result.runMs = runMs;
    for (const auto &[motor, words] : motors) {
        result.motors.at(static_cast<std::size_t>(motor)) = words;
    }
    return result;
}

// Action 0's two coils at one amplitude and frequency.
Vibration pairAt(unsigned amp, unsigned hz, unsigned runMs) {
    return vibration(runMs, {{2, {amp, hz, 0}}, {3, {amp, hz, 0}}});
}

Feeder drawnFeeder(int model, std::uint64_t seed) {
    Rng rng(seed);
    return Feeder::draw(defaultRanges(model), platformOf(model), rng);
}

Vec2 centreOf(int model) {
    const Vec2 size = platformOf(model).size;
    return {size.x / 2.0, size.y / 2.0};
}

// Sliding as feeders are run, just below lift-off (throw number 0.85..1, no
// flight, twice the onset acceleration or more), the feeders the default
// ranges draw convey at 0.4..0.8 of the plate's peak velocity.
TEST(PartOnPlate, VelocityCoefficientIsWithinPublishedRangeWhenSliding) {
    for (int model = 0; model < kModelNum; ++model) {
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            const Feeder feeder = drawnFeeder(model, seed);
            const double mu = feeder.params().friction;
            int sliding = 0;
            for (unsigned amp = 5; amp <= 100; amp += 5) {
                for (unsigned hz = 15; hz <= 100; hz += 5) {
                    const Probe probe = feeder.probe(pairAt(amp, hz, 500), centreOf(model), 0.0);
                    const double ratio = probe.throwG / probe.accelG;
                    if (probe.flight > 0.0 || probe.throwG < 0.85 ||
                        probe.accelG < 2.0 * mu / (1.0 + ratio * mu)) {
                        continue;
                    }
                    ++sliding;
                    EXPECT_GE(probe.kv, 0.4) << "model " << model << " seed " << seed << " amp "
                                             << amp << " at " << hz << " Hz";
                    EXPECT_LE(probe.kv, 0.8) << "model " << model << " seed " << seed << " amp "
                                             << amp << " at " << hz << " Hz";
                }
            }
            EXPECT_GT(sliding, 3) << "model " << model << " seed " << seed;
        }
    }
}

// A feeder without noise or mismatch: resonance 60 Hz, Q 8.
Feeder idealFeeder(double load = 0.0) {
    FeederParams params;
    params.resonance = 60.0;
    params.halfWidth = 3.75;
    params.gain = 1.0;
    params.friction = 0.5;
    params.kinetic = 0.8;
    params.lift = 0.5;
    params.restitution = 0.3;
    params.resonanceWear = 0.002;
    params.frictionWear = 0.01;
    params.load = load;
    return Feeder(params, {1.0, 1.0, 1.0, 1.0}, platformOf(0));
}

// The plate's stroke peaks at the resonance at Q times the static stroke,
// falls to 1/sqrt(2) of it one half-width away, and lags by 90 degrees
// there: below it less, above it more.
TEST(PlateResponse, PeaksAtResonanceWithTheWidthQSets) {
    const Feeder feeder = idealFeeder();
    EXPECT_DOUBLE_EQ(feeder.q(), 8.0);
    const auto stroke = [&feeder](double hz) {
        const Vibration single = vibration(300, {{2, {10, static_cast<unsigned>(hz), 0}}});
        return feeder.probe(single, centreOf(0), 0.0).horizontalUm / 10.0;
    };
    EXPECT_NEAR(stroke(60.0), 8.0, 1e-9);
    unsigned peak = 0;
    for (unsigned hz = 30; hz <= 90; ++hz) {
        peak = stroke(hz) > stroke(peak) ? hz : peak;
    }
    EXPECT_EQ(peak, 60U);
    const double halfPower = 8.0 / std::sqrt(2.0);
    EXPECT_NEAR(std::abs(feeder.response(56.25, 0.0)), halfPower, 0.05 * halfPower);
    EXPECT_NEAR(std::abs(feeder.response(63.75, 0.0)), halfPower, 0.05 * halfPower);
    const auto lagDegrees = [&feeder](double hz) {
        return -std::arg(feeder.response(hz, 0.0)) * 180.0 / kPi;
    };
    EXPECT_NEAR(lagDegrees(60.0), 90.0, 1e-9);
    EXPECT_LT(lagDegrees(50.0), 45.0);
    EXPECT_GT(lagDegrees(70.0), 135.0);
}

// Running time softens the springs and roughens the plate; a load on the
// plate lowers its resonance as a mass on a spring does.
TEST(PlateResponse, ResonanceAndFrictionDriftWithRunningTimeAndLoad) {
    const Feeder fresh = idealFeeder();
    EXPECT_DOUBLE_EQ(fresh.resonanceAt(0.0), 60.0);
    EXPECT_NEAR(fresh.resonanceAt(10.0), 60.0 * std::exp(-0.02), 1e-9);
    EXPECT_NEAR(fresh.frictionAt(10.0), 0.5 * std::exp(0.1), 1e-9);
    EXPECT_NEAR(idealFeeder(0.21).resonanceAt(0.0), 60.0 / 1.1, 1e-9);
    const Vibration atResonance = pairAt(10, 60, 300);
    EXPECT_LT(fresh.probe(atResonance, centreOf(0), 10.0).horizontalUm,
              fresh.probe(atResonance, centreOf(0), 0.0).horizontalUm);
}

TEST(FeederModel, PartStopsAtThePlatformEdge) {
    Rng rng(1);
    const Vec2 end = idealFeeder().vibrate(centreOf(0), pairAt(20, 60, 60000), 0.0, rng);
    EXPECT_DOUBLE_EQ(end.x, 190.0);
}

TEST(FeederModel, SameSeedDrawsTheSameFeederAndMotion) {
    const Feeder a = drawnFeeder(0, 42);
    const Feeder b = drawnFeeder(0, 42);
    EXPECT_EQ(a.params().resonance, b.params().resonance);
    EXPECT_EQ(a.params().lift, b.params().lift);
    Rng first(7);
    Rng second(7);
    const Vibration hopping = pairAt(60, 60, 300);
    const Vec2 endA = a.vibrate(centreOf(0), hopping, 0.0, first);
    const Vec2 endB = b.vibrate(centreOf(0), hopping, 0.0, second);
    EXPECT_EQ(endA.x, endB.x);
    EXPECT_EQ(endA.y, endB.y);
}

// Each action's configured motors with the model-0 factory words that matter
// here: main amplitude 40 (58 for action 9, 20 for 10, 25 for the hop of 8),
// auxiliary 3, phases and frequencies as shipped.
struct DirectionCase {
    int action;
    Vibration drive;
};

constexpr MotorWords kMain{40, 70, 0};
constexpr MotorWords kAux{3, 70, 0};

const DirectionCase kDirections[] = {
    {0, vibration(300, {{2, kMain}, {3, kMain}})},
    {1, vibration(300, {{2, kMain}, {0, kAux}})},
    {2, vibration(300, {{3, kMain}, {1, kAux}})},
    {3, vibration(300, {{0, {30, 60, 0}}, {2, {30, 60, 0}}})},
    {4, vibration(300, {{1, {30, 60, 0}}, {3, {30, 60, 0}}})},
    {5, vibration(300, {{0, kMain}, {1, kMain}})},
    {6, vibration(300, {{0, kMain}, {2, kAux}})},
    {7, vibration(300, {{1, kMain}, {3, kAux}})},
    {8, vibration(300, {{0, {25, 50, 0}}, {1, {25, 50, 0}}, {2, {25, 50, 0}}, {3, {25, 50, 0}}})},
    {9,
     vibration(300, {{0, {58, 50, 180}}, {1, {58, 50, 180}}, {2, {58, 50, 0}}, {3, {58, 50, 0}}})},
    {10,
     vibration(300, {{0, {20, 55, 0}}, {1, {20, 55, 180}}, {2, {20, 55, 0}}, {3, {20, 55, 180}}})},
};

bool inTarget(Vec2 point, int action) {
    return tvk_in_target(0, action, static_cast<float>(point.x), static_cast<float>(point.y)) == 1;
}

Vec2 startPosition(int action) {
    float x = 0.0F;
    float y = 0.0F;
    tvk_start_point(0, action, 190.0F, 155.0F, &x, &y);
    return {x, y};
}

// The physics and the library's own geometry fit: each action's motors carry
// the part from its start point into its targets; action 8's four coils in
// phase make it hop, and its landings scatter it out of the centre.
TEST(FeederModel, EachActionsMotorsCarryThePartIntoItsTargetAreas) {
    FeederParams params = idealFeeder().params();
    params.scatter = 0.8;
    const Feeder feeder(params, {1.0, 1.0, 1.0, 1.0}, platformOf(0));
    for (const DirectionCase &c : kDirections) {
        SCOPED_TRACE("action " + std::to_string(c.action));
        TVK_Geometry geometry{};
        geometry.size = sizeof geometry;
        ASSERT_EQ(tvk_geometry(0, c.action, &geometry), TVK_OK);
        for (int motor = 0; motor < kMotorNum; ++motor) {
            const bool driven = c.drive.motors.at(static_cast<std::size_t>(motor)).amp > 0;
            EXPECT_EQ(driven, geometry.motor[motor] != TVK_MOTOR_OFF) << "motor " << motor;
        }
        EXPECT_FALSE(inTarget(startPosition(c.action), c.action));
        Rng rng(3);
        Vec2 part = startPosition(c.action);
        for (int count = 0; count < 200 && !inTarget(part, c.action); ++count) {
            part = feeder.vibrate(part, c.drive, 0.0, rng);
        }
        EXPECT_TRUE(inTarget(part, c.action)) << part.x << ", " << part.y;
        if (c.action == 8) {
            EXPECT_GT(feeder.probe(c.drive, startPosition(8), 0.0).flight, 0.0);
        }
    }
}

} // namespace
} // namespace tvk
