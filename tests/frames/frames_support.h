// Rendered frames for the frames library's tests: a scene drawn into a
// buffer, lent as a TVF_Frame.
#ifndef TAVREL_TESTS_FRAMES_SUPPORT_H
#define TAVREL_TESTS_FRAMES_SUPPORT_H

#include "tavrel_frames.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace tvf_test {

struct Image {
    std::vector<std::uint8_t> pixels;
    TVF_Frame frame{};
};

// The scene drawn with rows stride bytes apart (0: packed); the padding
// holds fill.
inline std::unique_ptr<Image> render(const TVF_Scene &scene, int32_t stride = 0,
                                     std::uint8_t fill = 0) {
    auto image = std::make_unique<Image>();
    const int32_t rowBytes = stride > 0 ? stride : scene.width;
    image->pixels.assign(static_cast<std::size_t>(rowBytes) * scene.height, fill);
    EXPECT_EQ(tvf_render(&scene, image->pixels.data(), scene.width, scene.height, rowBytes), TVF_OK)
        << tvf_errmsg();
    image->frame = TVF_Frame{sizeof(TVF_Frame), scene.width, scene.height,
                             rowBytes,          TVF_GRAY8,   image->pixels.data()};
    return image;
}

inline TVF_Scene scene(int model, int parts = 1) {
    TVF_Scene s;
    tvf_scene_init(&s, model);
    s.part_count = parts;
    return s;
}

struct CalibrationDeleter {
    void operator()(TVF_Calibration *cal) const {
        tvf_calibration_destroy(cal);
    }
};
using Calibration = std::unique_ptr<TVF_Calibration, CalibrationDeleter>;

struct LocatorDeleter {
    void operator()(TVF_Locator *locator) const {
        tvf_locator_destroy(locator);
    }
};
using Locator = std::unique_ptr<TVF_Locator, LocatorDeleter>;

// The calibration from the scene's own corners (the renderer's truth).
inline Calibration trueCalibration(const TVF_Scene &s) {
    double corners[8];
    EXPECT_EQ(tvf_render_corners(&s, corners), TVF_OK) << tvf_errmsg();
    TVF_Calibration *cal = nullptr;
    EXPECT_EQ(tvf_calibrate_corners(s.model, s.width, s.height, corners, &cal), TVF_OK)
        << tvf_errmsg();
    return Calibration(cal);
}

inline Locator locator(const TVF_Calibration *cal, const TVF_LocatorConfig *config = nullptr) {
    TVF_Locator *made = nullptr;
    EXPECT_EQ(tvf_locator_create(cal, config, &made), TVF_OK) << tvf_errmsg();
    return Locator(made);
}

inline TVF_Location locate(TVF_Locator *locator, const TVF_Frame &frame) {
    TVF_Location where{};
    where.size = sizeof where;
    EXPECT_EQ(tvf_locate(locator, &frame, &where), TVF_OK) << tvf_errmsg();
    return where;
}

// A scratch folder of the test's own name, and frames written into it as
// grey PGM files.
class Scratch : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_);
    }
    std::string path(const std::string &name) const {
        return (dir_ / name).string();
    }
    void writePgm(const std::string &name, const Image &image) const {
        std::ofstream out(path(name), std::ios::binary);
        out << "P5\n" << image.frame.width << " " << image.frame.height << "\n255\n";
        out.write(reinterpret_cast<const char *>(image.pixels.data()),
                  static_cast<std::streamsize>(image.pixels.size()));
    }

  private:
    std::filesystem::path dir_ = std::filesystem::path(TAVREL_SCRATCH_DIR) /
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

} // namespace tvf_test

#endif
