// The locator: its verdicts, its accuracy against the rendered truth, any
// stride, the learned size range, settling, and the frames it refuses.
#include "frames_support.h"

#include <cmath>
#include <cstring>

namespace {

using namespace tvf_test;

struct VerdictCase {
    const char *name;
    int parts;
    double x; // first part, fraction of the platform's width
    double backlight;
    int expected;
};

TEST(FramesLocator, EachKindOfFrameGetsItsVerdict) {
    const VerdictCase cases[] = {
        {"empty", 0, 0.5, 200, TVF_NONE},       {"one", 1, 0.5, 200, TVF_ONE},
        {"two", 2, 0.3, 200, TVF_SEVERAL},      {"at edge", 1, 0.0, 200, TVF_AT_EDGE},
        {"too dark", 1, 0.5, 30, TVF_TOO_DARK}, {"saturated", 1, 0.5, 600, TVF_SATURATED},
    };
    for (int model = 0; model < 2; ++model) {
        for (const VerdictCase &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " model " + std::to_string(model));
            TVF_Scene s = scene(model, c.parts);
            float width = 0;
            float height = 0;
            ASSERT_EQ(tvk_sim_platform(model, &width, &height), TVK_OK);
            s.part[0] = TVF_Part{c.x * width, 0.5 * height, 30};
            s.part[1] = TVF_Part{0.7 * width, 0.4 * height, -20};
            s.backlight = c.backlight;
            const auto image = render(s);
            const Calibration cal = trueCalibration(s);
            const Locator loc = locator(cal.get());
            const TVF_Location where = locate(loc.get(), image->frame);
            EXPECT_EQ(where.verdict, c.expected) << where.reason;
            float x = -1;
            float y = -1;
            EXPECT_EQ(tvf_location_seen(&where, &x, &y), c.expected == TVF_ONE ? 1 : 0);
            if (c.expected == TVF_ONE) {
                EXPECT_NEAR(x, s.part[0].x, 0.1);
                EXPECT_NEAR(y, s.part[0].y, 0.1);
            } else {
                EXPECT_EQ(x, -1.0F) << "a position that does not reach the library is left alone";
            }
            EXPECT_NE(where.reason[0], '\0');
        }
    }
}

TEST(FramesLocator, FindsEachShapeWithinATenthOfAUnit) {
    for (int shape = 0; shape < TVF_SHAPE_COUNT; ++shape) {
        for (const double tilt : {0.0, 0.3}) {
            for (int i = 0; i < 6; ++i) {
                TVF_Scene s = scene(0);
                s.shape = shape;
                s.tilt = tilt;
                s.roll_deg = 3;
                s.seed = 10 + static_cast<uint64_t>(i);
                s.part[0] = TVF_Part{40.0 + 22 * i, 30.0 + 17 * i, -75.0 + 29 * i};
                SCOPED_TRACE("shape " + std::to_string(shape) + " tilt " + std::to_string(tilt) +
                             " part " + std::to_string(i));
                const auto image = render(s);
                const Calibration cal = trueCalibration(s);
                const Locator loc = locator(cal.get());
                const TVF_Location where = locate(loc.get(), image->frame);
                ASSERT_EQ(where.verdict, TVF_ONE) << where.reason;
                EXPECT_NEAR(where.x, s.part[0].x, 0.1);
                EXPECT_NEAR(where.y, s.part[0].y, 0.1);
                if (shape != TVF_SHAPE_RING) {
                    EXPECT_NEAR(where.angle_deg, s.part[0].angle_deg, 1.5);
                }
                EXPECT_GT(where.area, 0);
                EXPECT_EQ(where.candidates, 1);
            }
        }
    }
}

TEST(FramesLocator, AnyStrideGivesTheSameLocation) {
    const TVF_Scene s = scene(1);
    const auto packed = render(s);
    const auto padded = render(s, s.width + 13, 0);
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    const TVF_Location a = locate(loc.get(), packed->frame);
    const TVF_Location b = locate(loc.get(), padded->frame);
    EXPECT_EQ(a.verdict, TVF_ONE);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.area, b.area);
}

TEST(FramesLocator, LearnedSizeRangeLeavesOtherSizesOut) {
    TVF_Scene s = scene(0);
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    EXPECT_EQ(tvf_locator_learn(loc.get(), &render(scene(0, 0))->frame), TVF_E_NOTFOUND);
    ASSERT_EQ(tvf_locator_learn(loc.get(), &render(s)->frame), TVF_OK) << tvf_errmsg();
    TVF_LocatorConfig learned{};
    learned.size = sizeof learned;
    ASSERT_EQ(tvf_locator_config(loc.get(), &learned), TVF_OK);
    EXPECT_LT(learned.min_area, learned.max_area);
    EXPECT_EQ(locate(loc.get(), render(s)->frame).verdict, TVF_ONE);
    s.part_scale = 2;
    EXPECT_EQ(locate(loc.get(), render(s)->frame).verdict, TVF_NONE) << "twice the size";
    s.part_scale = 0.5;
    EXPECT_EQ(locate(loc.get(), render(s)->frame).verdict, TVF_NONE) << "half the size";
}

TEST(FramesLocator, DustIsNotAPart) {
    TVF_Scene s = scene(0);
    s.dust = 60;
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    const TVF_Location where = locate(loc.get(), render(s)->frame);
    EXPECT_EQ(where.verdict, TVF_ONE) << where.reason;
    EXPECT_NEAR(where.x, s.part[0].x, 0.1);
}

TEST(FramesLocator, RefusesBadFramesAndLeavesTheResultAlone) {
    const TVF_Scene s = scene(0);
    const auto image = render(s);
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    TVF_Scene other = scene(0);
    other.width = 320;
    other.height = 240;
    const auto small = render(other);
    struct Case {
        const char *name;
        TVF_Frame frame;
        int expected;
    };
    const TVF_Frame good = image->frame;
    TVF_Frame nullData = good;
    nullData.data = nullptr;
    TVF_Frame format = good;
    format.format = 1;
    TVF_Frame stride = good;
    stride.stride = good.width - 1;
    TVF_Frame oldSize = good;
    oldSize.size = 8;
    const Case cases[] = {{"null data", nullData, TVF_E_ARG},
                          {"not grey", format, TVF_E_FORMAT},
                          {"stride below width", stride, TVF_E_FORMAT},
                          {"record size", oldSize, TVF_E_SIZE},
                          {"other frame size", small->frame, TVF_E_FIT}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TVF_Location where{};
        where.size = sizeof where;
        where.verdict = 77;
        EXPECT_EQ(tvf_locate(loc.get(), &c.frame, &where), c.expected);
        EXPECT_EQ(where.verdict, 77);
        EXPECT_NE(std::strstr(tvf_errmsg(), "tvf_locate: "), nullptr) << tvf_errmsg();
    }
    TVF_Location where{};
    where.size = sizeof where;
    EXPECT_EQ(tvf_locate(loc.get(), nullptr, &where), TVF_E_ARG);
    EXPECT_EQ(tvf_locate(nullptr, &good, &where), TVF_E_ARG);
    EXPECT_EQ(tvf_locate(loc.get(), &good, nullptr), TVF_E_ARG);
    TVF_LocatorConfig bad;
    tvf_locator_config_init(&bad);
    bad.threshold = 1.5;
    TVF_Locator *made = nullptr;
    EXPECT_EQ(tvf_locator_create(cal.get(), &bad, &made), TVF_E_ARG);
    EXPECT_EQ(made, nullptr);
}

struct SettleStep {
    int verdict;
    double x;
    int hostWaited;
    int expected;
};

TEST(FramesSettle, ValidOnceTwoFramesAgreeOrTheHostHasWaited) {
    struct Case {
        const char *name;
        std::vector<SettleStep> steps;
        int frames; // when it settled
    };
    const Case cases[] = {
        {"still at once", {{TVF_ONE, 10, 0, 0}, {TVF_ONE, 10.2, 0, 1}}, 2},
        {"moving, then still",
         {{TVF_ONE, 10, 0, 0}, {TVF_ONE, 14, 0, 0}, {TVF_ONE, 16, 0, 0}, {TVF_ONE, 16.1, 0, 1}},
         4},
        {"a frame without the part breaks the pair",
         {{TVF_ONE, 10, 0, 0}, {TVF_NONE, 0, 0, 0}, {TVF_ONE, 10, 0, 0}, {TVF_ONE, 10, 0, 1}},
         4},
        {"the host's wait passed", {{TVF_ONE, 10, 0, 0}, {TVF_ONE, 30, 1, 1}}, 2},
        {"the host's wait without a part", {{TVF_SEVERAL, 10, 1, 0}, {TVF_ONE, 3, 1, 1}}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TVF_Settle settle{};
        settle.size = sizeof settle;
        ASSERT_EQ(tvf_settle_start(&settle, 0.5), TVF_OK);
        double last = 0;
        for (const SettleStep &step : c.steps) {
            TVF_Location where{};
            where.size = sizeof where;
            where.verdict = step.verdict;
            where.x = step.x;
            where.y = 5;
            EXPECT_EQ(tvf_settle_feed(&settle, &where, step.hostWaited), step.expected);
            last = step.x;
        }
        EXPECT_EQ(settle.settled, 1);
        EXPECT_EQ(settle.frames, c.frames);
        EXPECT_EQ(settle.x, last);
    }
    TVF_Settle settle{};
    settle.size = sizeof settle;
    EXPECT_EQ(tvf_settle_start(&settle, 0), TVF_E_ARG);
    EXPECT_EQ(tvf_settle_start(&settle, NAN), TVF_E_ARG);
    EXPECT_EQ(tvf_settle_feed(&settle, nullptr, 0), TVF_E_ARG);
}

} // namespace
