// The kit's geometry held against the library itself: after an
// initialisation, the library's own classification of a sample and its
// arrival test must agree with the kit at every point of a grid, for every
// model and action.
#include "support.h"
#include "tavrel_hostkit.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

using tvltest::Fresh;

TVK_Geometry geometryOf(int model, int action) {
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    EXPECT_EQ(tvk_geometry(model, action, &geometry), TVK_OK);
    return geometry;
}

// Every band edge, a hair on either side of it, and a coarse grid beyond.
std::vector<float> probes(float low, float high) {
    std::vector<float> values{-5.0F, 0.0F, std::numeric_limits<float>::quiet_NaN()};
    for (const float edge : {low, high}) {
        values.push_back(edge);
        values.push_back(std::nextafter(edge, -1e9F));
        values.push_back(std::nextafter(edge, 1e9F));
    }
    for (float value = 2.5F; value < 400.0F; value += 7.5F) {
        values.push_back(value);
    }
    return values;
}

class Geometry : public Fresh {};

TEST_F(Geometry, AgreesWithTheLibrarysClassificationEverywhere) {
    for (int model = 0; model < TVK_MODEL_COUNT; ++model) {
        for (int action = 0; action < TVK_ACTION_COUNT; ++action) {
            SCOPED_TRACE("model " + std::to_string(model) + " action " + std::to_string(action));
            ASSERT_EQ(TVLInit(nullptr, nullptr, nullptr, model, action), 1);
            ST_ActManageUnit &unit = g_stLogic.stActUnit[action];
            const TVK_Geometry geometry = geometryOf(model, action);
            EXPECT_EQ(geometry.x_low, unit.stThresX[model].fBandLow);
            EXPECT_EQ(geometry.x_high, unit.stThresX[model].fBandHigh);
            EXPECT_EQ(geometry.y_low, unit.stThresY[model].fBandLow);
            EXPECT_EQ(geometry.y_high, unit.stThresY[model].fBandHigh);
            EXPECT_EQ(geometry.success_count, unit.u8AdjSuccNum);
            for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
                EXPECT_EQ(geometry.motor[motor], unit.enMotCfg[motor]);
            }
            for (const float x : probes(geometry.x_low, geometry.x_high)) {
                for (const float y : probes(geometry.y_low, geometry.y_high)) {
                    g_stLogic.stLogicAdj.stLogMateReco.stMateInf = tvltest::Sample(x, y);
                    LogicValDim(&g_stLogic);
                    const EN_MatePosArea area = g_stLogic.stLogicAdj.stLogicDim.enArea;
                    const int arrived = LogicValAnaHandle_ArrPos(area, unit.enAreaCfg);
                    ASSERT_EQ(tvk_area_of(model, action, x, y), area) << x << ", " << y;
                    ASSERT_EQ(tvk_in_target(model, action, x, y), arrived) << x << ", " << y;
                    ASSERT_EQ(geometry.target[area], arrived);
                }
            }
        }
    }
}

// The hand-made copy the simulator once carried listed area 6 as a target of
// action 10; the library does not.
TEST(GeometryFacts, Action10DoesNotWantHighXLowY) {
    for (int model = 0; model < TVK_MODEL_COUNT; ++model) {
        const TVK_Geometry geometry = geometryOf(model, 10);
        EXPECT_EQ(geometry.target[TVK_AREA_XHI_YLO], 0);
        const int targets[] = {0, 2, 4, 5, 7, 8};
        for (const int area : targets) {
            EXPECT_EQ(geometry.target[area], 1) << "area " << area;
        }
    }
}

TEST(GeometryFacts, StartPointLiesOnThePlatformInNoTarget) {
    for (int model = 0; model < TVK_MODEL_COUNT; ++model) {
        float width = 0.0F;
        float height = 0.0F;
        ASSERT_EQ(tvk_sim_platform(model, &width, &height), TVK_OK);
        for (int action = 0; action < TVK_ACTION_COUNT; ++action) {
            for (const float extent : {1.0F, 0.0F}) {
                float x = -1.0F;
                float y = -1.0F;
                ASSERT_EQ(tvk_start_point(model, action, width * extent, height * extent, &x, &y),
                          TVK_OK);
                EXPECT_EQ(tvk_in_target(model, action, x, y), 0) << model << "/" << action;
                EXPECT_GT(x, 0.0F);
                EXPECT_GT(y, 0.0F);
                EXPECT_LT(x, width);
                EXPECT_LT(y, height);
            }
        }
    }
    // Where the centre is a target, the start moves out of the band pushed from.
    float x = 0.0F;
    float y = 0.0F;
    ASSERT_EQ(tvk_start_point(0, 9, 190.0F, 155.0F, &x, &y), TVK_OK);
    EXPECT_EQ(tvk_area_of(0, 9, x, y), TVK_AREA_XLO_YMID);
    ASSERT_EQ(tvk_start_point(0, 10, 190.0F, 155.0F, &x, &y), TVK_OK);
    EXPECT_EQ(tvk_area_of(0, 10, x, y), TVK_AREA_XMID_YLO);
    ASSERT_EQ(tvk_start_point(1, 3, 320.0F, 240.0F, &x, &y), TVK_OK);
    EXPECT_EQ(tvk_area_of(1, 3, x, y), TVK_AREA_CENTRE);
}

} // namespace
