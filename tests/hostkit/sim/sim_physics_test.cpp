#include "sim/sim_physics.h"
#include "tavrel_hostkit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tvk {
namespace {

// A feeder without noise or mismatch, resonance 64, half-width 15.
Feeder idealFeeder(double friction = 10.0) {
    FeederParams params;
    params.resonance = 64.0;
    params.halfWidth = 15.0;
    params.gain = 0.002;
    params.friction = friction;
    return Feeder(params, {1.0, 1.0, 1.0, 1.0});
}

Vibration vibration(unsigned runMs, std::initializer_list<std::pair<int, MotorWords>> motors) {
    Vibration result;
    result.runMs = runMs;
    for (const auto &[motor, words] : motors) {
        result.motors.at(motor) = words;
    }
    return result;
}

TEST(FeederModel, ResponsePeaksAtResonanceAndHalvesOneHalfWidthAway) {
    const Feeder feeder = idealFeeder();
    EXPECT_DOUBLE_EQ(feeder.response(64.0), 1.0);
    EXPECT_DOUBLE_EQ(feeder.response(49.0), 0.5);
    EXPECT_DOUBLE_EQ(feeder.response(79.0), 0.5);
    EXPECT_LT(feeder.response(20.0), 0.15);
}

TEST(FeederModel, DriveAtOrBelowFrictionLeavesThePartStill) {
    Rng rng(1);
    const Vec2 from{95.0, 77.5};
    const Feeder feeder = idealFeeder(40.0);
    const Vec2 still = feeder.vibrate(from, vibration(300, {{2, {40, 64, 0}}}), {190, 155}, rng);
    EXPECT_DOUBLE_EQ(still.x, from.x);
    EXPECT_DOUBLE_EQ(still.y, from.y);
    const Vec2 moved = feeder.vibrate(from, vibration(300, {{2, {41, 64, 0}}}), {190, 155}, rng);
    EXPECT_GT(moved.x, from.x);
}

TEST(FeederModel, PartStopsAtThePlatformEdge) {
    Rng rng(1);
    const Vec2 end =
        idealFeeder().vibrate({95.0, 77.5}, vibration(60000, {{2, {80, 64, 0}}}), {190, 155}, rng);
    EXPECT_DOUBLE_EQ(end.x, 190.0);
    EXPECT_DOUBLE_EQ(end.y, 155.0);
}

TEST(FeederModel, SameSeedDrawsTheSameFeeder) {
    Rng first(42);
    Rng second(42);
    const Feeder a = Feeder::draw(defaultRanges(0), first);
    const Feeder b = Feeder::draw(defaultRanges(0), second);
    const Vibration probe = vibration(300, {{0, {40, 60, 0}}, {3, {30, 70, 0}}});
    EXPECT_EQ(a.params().resonance, b.params().resonance);
    EXPECT_EQ(a.drift(probe).x, b.drift(probe).x);
    EXPECT_EQ(a.drift(probe).y, b.drift(probe).y);
}

// Each action's configured motors with the model-0 factory words that matter
// here: main amplitude 40, auxiliary 3 (below friction), phases as shipped.
struct DirectionCase {
    int action;
    Vibration drive;
    int signX; // expected sign of the drift, 0 for none
    int signY;
};

constexpr MotorWords kMain{40, 64, 0};
constexpr MotorWords kMainReversed{40, 64, 180};
constexpr MotorWords kAux{3, 64, 0};

const DirectionCase kDirections[] = {
    {0, vibration(300, {{2, kMain}, {3, kMain}}), +1, 0},
    {1, vibration(300, {{2, kMain}, {0, kAux}}), +1, +1},
    {2, vibration(300, {{3, kMain}, {1, kAux}}), +1, -1},
    {3, vibration(300, {{0, kMain}, {2, kMain}}), 0, +1},
    {4, vibration(300, {{1, kMain}, {3, kMain}}), 0, -1},
    {5, vibration(300, {{0, kMain}, {1, kMain}}), -1, 0},
    {6, vibration(300, {{0, kMain}, {2, kAux}}), -1, +1},
    {7, vibration(300, {{1, kMain}, {3, kAux}}), -1, -1},
    {8, vibration(300, {{0, kMain}, {1, kMain}, {2, kMain}, {3, kMain}}), 0, 0},
    {9, vibration(300, {{0, kMainReversed}, {1, kMainReversed}, {2, kMain}, {3, kMain}}), +1, 0},
    {10, vibration(300, {{0, kMain}, {1, kMainReversed}, {2, kMain}, {3, kMainReversed}}), 0, +1},
};

int signOf(double value) {
    return std::fabs(value) < 1e-9 ? 0 : (value > 0.0 ? 1 : -1);
}

bool inTarget(Vec2 point, int action) {
    return tvk_in_target(0, action, static_cast<float>(point.x), static_cast<float>(point.y)) == 1;
}

Vec2 startPosition(int action) {
    float x = 0.0F;
    float y = 0.0F;
    tvk_start_point(0, action, 190.0F, 155.0F, &x, &y);
    return {x, y};
}

// The physics and the library's own geometry fit: each action's motors push
// the part from its start point into its targets.
TEST(FeederModel, EachActionsMotorsPushTowardsItsTargetAreas) {
    const Feeder feeder = idealFeeder();
    for (const DirectionCase &c : kDirections) {
        SCOPED_TRACE("action " + std::to_string(c.action));
        TVK_Geometry geometry{};
        geometry.size = sizeof geometry;
        ASSERT_EQ(tvk_geometry(0, c.action, &geometry), TVK_OK);
        for (int motor = 0; motor < kMotorNum; ++motor) {
            const bool driven = c.drive.motors.at(motor).amp > 0;
            EXPECT_EQ(driven, geometry.motor[motor] != TVK_MOTOR_OFF) << "motor " << motor;
        }
        const Vec2 drift = feeder.drift(c.drive);
        EXPECT_EQ(signOf(drift.x), c.signX);
        EXPECT_EQ(signOf(drift.y), c.signY);
        Rng rng(3);
        Vibration longRun = c.drive;
        longRun.runMs = 5000;
        const Vec2 end = feeder.vibrate(startPosition(c.action), longRun, platformSize(0), rng);
        if (c.action == 8) {
            // The pushes cancel; the part hops instead.
            EXPECT_GT(feeder.scatter(c.drive), 0.0);
        } else {
            EXPECT_TRUE(inTarget(end, c.action)) << end.x << ", " << end.y;
            EXPECT_FALSE(inTarget(startPosition(c.action), c.action));
        }
    }
}

TEST(FeederModel, ScatterNeedsAllFourMotorsInPhase) {
    const Feeder feeder = idealFeeder();
    EXPECT_EQ(feeder.scatter(kDirections[9].drive), 0.0);
    EXPECT_EQ(feeder.scatter(kDirections[0].drive), 0.0);
    const Vibration weak =
        vibration(300, {{0, {2, 64, 0}}, {1, {2, 64, 0}}, {2, {2, 64, 0}}, {3, {2, 64, 0}}});
    EXPECT_EQ(feeder.scatter(weak), 0.0); // 4 x 2 is below the friction of 10
}

} // namespace
} // namespace tvk
