// Calibration: corners found to sub-pixel accuracy over perspective tilts,
// the eight orientations, given corners, and the file.
#include "frames_support.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace tvf_test;

Calibration calibrate(const TVF_Scene &s) {
    TVF_Scene empty = s;
    empty.part_count = 0;
    const auto image = render(empty);
    TVF_Calibration *cal = nullptr;
    EXPECT_EQ(tvf_calibrate(s.model, &image->frame, &cal), TVF_OK) << tvf_errmsg();
    return Calibration(cal);
}

double worstCornerError(const TVF_Calibration *cal, const TVF_Scene &s) {
    double truth[8];
    double found[8];
    EXPECT_EQ(tvf_render_corners(&s, truth), TVF_OK);
    EXPECT_EQ(tvf_calibration_corners(cal, found), TVF_OK);
    double worst = 0;
    for (int i = 0; i < 4; ++i) {
        worst = std::max(
            worst, std::hypot(found[2 * i] - truth[2 * i], found[2 * i + 1] - truth[2 * i + 1]));
    }
    return worst;
}

TEST(FramesCalibration, FindsTheCornersToSubPixelOverTilts) {
    for (int model = 0; model < 2; ++model) {
        for (const double tilt : {0.0, 0.15, 0.3, 0.4}) {
            for (const double roll : {-6.0, 0.0, 4.0}) {
                TVF_Scene s = scene(model);
                s.tilt = tilt;
                s.roll_deg = roll;
                s.vignetting = 0.3;
                s.dust = 30;
                SCOPED_TRACE("model " + std::to_string(model) + " tilt " + std::to_string(tilt) +
                             " roll " + std::to_string(roll));
                const Calibration cal = calibrate(s);
                ASSERT_NE(cal, nullptr);
                EXPECT_LT(worstCornerError(cal.get(), s), 0.25);
            }
        }
    }
}

TEST(FramesCalibration, EachOrientationMapsTheImageOntoThePlatformFrame) {
    std::vector<std::string> names;
    for (int orientation = 0; orientation < TVF_ORIENTATION_COUNT; ++orientation) {
        TVF_Scene s = scene(0);
        s.orientation = orientation;
        s.tilt = 0.2;
        s.part[0] = TVF_Part{50, 40, 20};
        SCOPED_TRACE(tvf_orientation_name(orientation));
        const Calibration cal = calibrate(s);
        ASSERT_NE(cal, nullptr);
        ASSERT_EQ(tvf_calibration_set_orientation(cal.get(), orientation), TVF_OK);
        EXPECT_LT(worstCornerError(cal.get(), s), 0.25);
        const Locator loc = locator(cal.get());
        const TVF_Location where = locate(loc.get(), render(s)->frame);
        EXPECT_NEAR(where.x, 50, 0.1);
        EXPECT_NEAR(where.y, 40, 0.1);
        EXPECT_NEAR(where.angle_deg, 20, 1.5);
        names.emplace_back(tvf_orientation_name(orientation));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_STREQ(tvf_orientation_name(8), "?");
}

TEST(FramesCalibration, GivenCornersKeepTheirOrderAndBadOnesAreRefused) {
    TVF_Scene s = scene(1);
    s.orientation = 6;
    double truth[8];
    ASSERT_EQ(tvf_render_corners(&s, truth), TVF_OK);
    const Calibration cal = trueCalibration(s);
    int32_t orientation = -1;
    ASSERT_EQ(tvf_calibration_info(cal.get(), nullptr, nullptr, nullptr, &orientation), TVF_OK);
    EXPECT_EQ(orientation, 6);
    double x = 0;
    double y = 0;
    ASSERT_EQ(tvf_calibration_to_platform(cal.get(), truth[4], truth[5], &x, &y), TVF_OK);
    EXPECT_NEAR(x, 320, 1e-6);
    EXPECT_NEAR(y, 240, 1e-6);
    struct Case {
        const char *name;
        int index;
        double value;
    };
    const Case cases[] = {{"not finite", 0, NAN}, {"off the frame", 3, 480.0}, {"crossed", -1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        double corners[8];
        std::copy(truth, truth + 8, corners);
        if (c.index >= 0) {
            corners[c.index] = c.value;
        } else {
            std::swap(corners[0], corners[2]);
            std::swap(corners[1], corners[3]);
        }
        TVF_Calibration *made = nullptr;
        EXPECT_EQ(tvf_calibrate_corners(1, 640, 480, corners, &made), TVF_E_ARG);
        EXPECT_EQ(made, nullptr);
    }
}

TEST(FramesCalibration, RefusesFramesWithoutAPlatform) {
    std::vector<std::uint8_t> dark(640 * 480, 12);
    const TVF_Frame frame{sizeof(TVF_Frame), 640, 480, 640, TVF_GRAY8, dark.data()};
    TVF_Calibration *cal = nullptr;
    EXPECT_EQ(tvf_calibrate(0, &frame, &cal), TVF_E_NOTFOUND);
    EXPECT_EQ(tvf_calibrate(3, &frame, &cal), TVF_E_ARG);
    TVF_Frame grey = frame;
    grey.format = 2;
    EXPECT_EQ(tvf_calibrate(0, &grey, &cal), TVF_E_FORMAT);
    EXPECT_EQ(cal, nullptr);
}

class FramesCalibrationFile : public Scratch {};

TEST_F(FramesCalibrationFile, RoundTripsInEachFormat) {
    TVF_Scene s = scene(2);
    s.orientation = 5;
    s.tilt = 0.3;
    const Calibration cal = trueCalibration(s);
    for (const char *name : {"cal.yml", "cal.xml", "cal.json"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(tvf_calibration_save(cal.get(), path(name).c_str()), TVF_OK) << tvf_errmsg();
        TVF_Calibration *loaded = nullptr;
        ASSERT_EQ(tvf_calibration_load(path(name).c_str(), &loaded), TVF_OK) << tvf_errmsg();
        const Calibration back(loaded);
        double a[8];
        double b[8];
        ASSERT_EQ(tvf_calibration_corners(cal.get(), a), TVF_OK);
        ASSERT_EQ(tvf_calibration_corners(back.get(), b), TVF_OK);
        EXPECT_TRUE(std::equal(a, a + 8, b));
        int32_t model = -1;
        int32_t width = 0;
        int32_t orientation = -1;
        ASSERT_EQ(tvf_calibration_info(back.get(), &model, &width, nullptr, &orientation), TVF_OK);
        EXPECT_EQ(model, 2);
        EXPECT_EQ(width, 640);
        EXPECT_EQ(orientation, 5);
    }
}

TEST_F(FramesCalibrationFile, RefusesFilesItCannotUse) {
    const Calibration cal = trueCalibration(scene(0));
    ASSERT_EQ(tvf_calibration_save(cal.get(), path("good.yml").c_str()), TVF_OK);
    std::ifstream in(path("good.yml"));
    std::stringstream text;
    text << in.rdbuf();
    std::string other = text.str();
    const auto at = other.find("platform_width: ");
    ASSERT_NE(at, std::string::npos);
    other.replace(at, std::string("platform_width: 190.").size(), "platform_width: 191.");
    std::ofstream(path("other.yml")) << other;
    std::ofstream(path("garbage.yml")) << "%YAML:1.0\nkind: something else\n";
    std::ofstream(path("broken.yml")) << "\x01\x02 not yaml {{{";
    struct Case {
        const char *name;
        int expected;
    };
    const Case cases[] = {{"missing.yml", TVF_E_IO},
                          {"garbage.yml", TVF_E_IO},
                          {"broken.yml", TVF_E_IO},
                          {"other.yml", TVF_E_FIT},
                          {"good.txt", TVF_E_ARG}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TVF_Calibration *loaded = nullptr;
        EXPECT_EQ(tvf_calibration_load(path(c.name).c_str(), &loaded), c.expected) << tvf_errmsg();
        EXPECT_EQ(loaded, nullptr);
        EXPECT_NE(std::string(tvf_errmsg()).find(c.name), std::string::npos) << tvf_errmsg();
    }
    EXPECT_EQ(tvf_calibration_save(cal.get(), path("no/such/dir/cal.yml").c_str()), TVF_E_IO);
    EXPECT_EQ(tvf_calibration_save(cal.get(), nullptr), TVF_E_ARG);
}

} // namespace

namespace {

using namespace tvf_test;

// A feeder whose commands push the part a fixed way in the platform frame:
// action i pushes along (dx[i], dy[i]); the camera renders the scene.
struct Direction {
    double x;
    double y;
};

struct PushingCell {
    PushingCell(const TVF_Scene &s, Direction first, Direction second)
        : scene(s), dx{first.x, second.x}, dy{first.y, second.y} {}
    TVF_Scene scene;
    double dx[2];
    double dy[2];
    double step = 12;
    int grabs = 0;
    std::unique_ptr<Image> image{};
    bool failGrab = false;
};

int grab(void *user, TVF_Frame *frame) {
    auto *cell = static_cast<PushingCell *>(user);
    if (cell->failGrab) {
        return -1;
    }
    ++cell->grabs;
    cell->image = render(cell->scene);
    *frame = cell->image->frame;
    return 0;
}

int push(void *user, const ST_HostFedColC *command) {
    auto *cell = static_cast<PushingCell *>(user);
    const double dx = cell->dx[command->enAct];
    const double dy = cell->dy[command->enAct];
    const double norm = std::hypot(dx, dy);
    cell->scene.part[0].x += cell->step * dx / norm;
    cell->scene.part[0].y += cell->step * dy / norm;
    return 0;
}

TVF_Push pushAlong(int action, double dx, double dy) {
    TVF_Push p{};
    p.command.enAct = action;
    p.dx = dx;
    p.dy = dy;
    return p;
}

TEST(FramesOrientation, FoundFromTwoPushesInEachOfTheEight) {
    for (int truth = 0; truth < TVF_ORIENTATION_COUNT; ++truth) {
        SCOPED_TRACE(tvf_orientation_name(truth));
        PushingCell cell(scene(1), {1, 0}, {0.2, 1});
        cell.scene.orientation = truth;
        cell.scene.tilt = 0.25;
        const Calibration cal = calibrate(cell.scene);
        ASSERT_NE(cal, nullptr);
        const TVF_Push pushes[] = {pushAlong(0, 1, 0), pushAlong(1, 0.2, 1)};
        int32_t found = -1;
        ASSERT_EQ(tvf_calibration_orient(cal.get(), nullptr, pushes, 2, grab, push, &cell, &found),
                  TVF_OK)
            << tvf_errmsg();
        EXPECT_EQ(found, truth);
        EXPECT_EQ(cell.grabs, 4);
        EXPECT_LT(worstCornerError(cal.get(), cell.scene), 0.25);
    }
}

TEST(FramesOrientation, UndecidedOrFailedPushesLeaveTheCalibrationAlone) {
    struct Case {
        const char *name;
        double step;
        bool failGrab;
        TVF_Push second;
        int expected;
    };
    const Case cases[] = {
        {"the part does not move", 0, false, pushAlong(1, 0, 1), TVF_E_ORIENT},
        {"parallel pushes", 12, false, pushAlong(1, -1, 0.1), TVF_E_ARG},
        {"the camera fails", 12, true, pushAlong(1, 0, 1), TVF_E_CALLBACK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PushingCell cell(scene(0), {1, 0}, {c.second.dx, c.second.dy});
        cell.step = c.step;
        cell.failGrab = c.failGrab;
        cell.scene.orientation = 3;
        const Calibration cal = calibrate(cell.scene);
        const TVF_Push pushes[] = {pushAlong(0, 1, 0), c.second};
        int32_t found = -1;
        EXPECT_EQ(tvf_calibration_orient(cal.get(), nullptr, pushes, 2, grab, push, &cell, &found),
                  c.expected)
            << tvf_errmsg();
        EXPECT_EQ(found, -1);
        int32_t orientation = -1;
        ASSERT_EQ(tvf_calibration_info(cal.get(), nullptr, nullptr, nullptr, &orientation), TVF_OK);
        EXPECT_EQ(orientation, 0);
    }
}

} // namespace
