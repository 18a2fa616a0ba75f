// The renderer: deterministic from its seed, the platform where it says,
// and the scenes and buffers it refuses.
#include "frames_support.h"

#include <cmath>

namespace {

using namespace tvf_test;

TEST(FramesRender, TheSameSceneGivesTheSamePixelsAndTheSeedChangesThem) {
    TVF_Scene s = scene(0, 2);
    s.dust = 20;
    s.part[1] = TVF_Part{30, 30, 45};
    const auto a = render(s);
    const auto b = render(s);
    EXPECT_EQ(a->pixels, b->pixels);
    s.seed = 2;
    EXPECT_NE(render(s)->pixels, a->pixels);
}

TEST(FramesRender, ThePlatformIsLitWhereItsCornersSayAndDarkAround) {
    for (int orientation = 0; orientation < TVF_ORIENTATION_COUNT; ++orientation) {
        TVF_Scene s = scene(1, 0);
        s.orientation = orientation;
        s.tilt = 0.2;
        s.noise = 0;
        const auto image = render(s);
        double c[8];
        ASSERT_EQ(tvf_render_corners(&s, c), TVF_OK);
        const auto at = [&](double x, double y) {
            return image->pixels[static_cast<std::size_t>(std::lround(y)) * s.width +
                                 static_cast<std::size_t>(std::lround(x))];
        };
        // A point a fifth of the way from each corner to the centre is lit,
        // the image's corners are dark.
        const double cx = (c[0] + c[2] + c[4] + c[6]) / 4;
        const double cy = (c[1] + c[3] + c[5] + c[7]) / 4;
        for (int i = 0; i < 4; ++i) {
            EXPECT_GT(at(0.8 * c[2 * i] + 0.2 * cx, 0.8 * c[2 * i + 1] + 0.2 * cy), 150)
                << "corner " << i << ", orientation " << orientation;
        }
        EXPECT_LT(at(1, 1), 40);
        EXPECT_LT(at(s.width - 2, s.height - 2), 40);
        // The platform's long side lies along the image's long side exactly
        // when the orientation keeps X across the image.
        const double xSide = std::hypot(c[2] - c[0], c[3] - c[1]);
        const double ySide = std::hypot(c[6] - c[0], c[7] - c[1]);
        EXPECT_GT(xSide, ySide) << "the 320 x 240 platform's X side is the longer";
    }
}

TEST(FramesRender, RefusesBadScenesAndBuffersAndDrawsNothing) {
    struct Case {
        const char *name;
        void (*spoil)(TVF_Scene &);
        int expected;
    };
    const Case cases[] = {
        {"model", [](TVF_Scene &s) { s.model = 3; }, TVF_E_ARG},
        {"orientation", [](TVF_Scene &s) { s.orientation = 8; }, TVF_E_ARG},
        {"tilt", [](TVF_Scene &s) { s.tilt = 0.5; }, TVF_E_ARG},
        {"shape", [](TVF_Scene &s) { s.shape = TVF_SHAPE_COUNT; }, TVF_E_ARG},
        {"parts", [](TVF_Scene &s) { s.part_count = 3; }, TVF_E_ARG},
        {"noise NaN", [](TVF_Scene &s) { s.noise = NAN; }, TVF_E_ARG},
        {"part not finite", [](TVF_Scene &s) { s.part[0].x = INFINITY; }, TVF_E_ARG},
        {"record size", [](TVF_Scene &s) { s.size = 16; }, TVF_E_SIZE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TVF_Scene s = scene(0);
        c.spoil(s);
        std::vector<std::uint8_t> pixels(640 * 480, 7);
        EXPECT_EQ(tvf_render(&s, pixels.data(), 640, 480, 640), c.expected);
        EXPECT_EQ(pixels, std::vector<std::uint8_t>(640 * 480, 7));
        EXPECT_NE(std::string(tvf_errmsg()).find("tvf_render: "), std::string::npos);
    }
    const TVF_Scene s = scene(0);
    std::vector<std::uint8_t> pixels(640 * 480, 7);
    EXPECT_EQ(tvf_render(&s, pixels.data(), 320, 480, 640), TVF_E_FORMAT);
    EXPECT_EQ(tvf_render(&s, pixels.data(), 640, 480, 639), TVF_E_FORMAT);
    EXPECT_EQ(tvf_render(&s, nullptr, 640, 480, 640), TVF_E_ARG);
    EXPECT_EQ(pixels, std::vector<std::uint8_t>(640 * 480, 7));
}

} // namespace
