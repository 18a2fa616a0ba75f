// Camera sources: image files in order, a video file, and a GigE Vision
// camera on the loopback interface (Aravis's fake camera, fed with rendered
// frames, so they travel the real protocol stack).
#include "frames_support.h"

#include <arv.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <filesystem>
#include <fstream>
#include <mutex>

namespace {

using namespace tvf_test;

class FramesSources : public Scratch {};

std::vector<std::uint8_t> packed(const TVF_Frame &frame) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < frame.height; ++y) {
        pixels.insert(pixels.end(), frame.data + static_cast<std::ptrdiff_t>(y) * frame.stride,
                      frame.data + static_cast<std::ptrdiff_t>(y) * frame.stride + frame.width);
    }
    return pixels;
}

struct SourceDeleter {
    void operator()(TVF_Source *source) const {
        tvf_source_close(source);
    }
};
using Source = std::unique_ptr<TVF_Source, SourceDeleter>;

TEST_F(FramesSources, FilesComeInOrderAndAnUnreadableOneIsReportedInItsTurn) {
    TVF_Scene s = scene(0);
    const auto first = render(s);
    s.part[0].x = 50;
    const auto second = render(s);
    writePgm("a.pgm", *first);
    writePgm("b.pgm", *second);
    std::ofstream(path("broken.pgm")) << "not an image";
    const std::string names[] = {path("a.pgm"), path("broken.pgm"), path("b.pgm")};
    const char *paths[] = {names[0].c_str(), names[1].c_str(), names[2].c_str()};
    TVF_Source *opened = nullptr;
    ASSERT_EQ(tvf_source_open_files(paths, 3, &opened), TVF_OK);
    const Source source(opened);
    TVF_Frame frame{};
    frame.size = sizeof frame;
    ASSERT_EQ(tvf_source_next(source.get(), &frame), TVF_OK) << tvf_errmsg();
    EXPECT_EQ(packed(frame), first->pixels);
    EXPECT_EQ(tvf_source_next(source.get(), &frame), TVF_E_IO);
    EXPECT_NE(std::string(tvf_errmsg()).find("broken.pgm"), std::string::npos);
    ASSERT_EQ(tvf_source_next(source.get(), &frame), TVF_OK);
    EXPECT_EQ(packed(frame), second->pixels);
    EXPECT_EQ(tvf_source_next(source.get(), &frame), TVF_E_END);
    EXPECT_EQ(tvf_source_open_files(paths, 0, &opened), TVF_E_ARG);
}

TEST_F(FramesSources, AVideoFileGivesItsFramesInGrey) {
    TVF_Scene s = scene(1);
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    cv::VideoWriter writer(path("run.avi"), cv::CAP_OPENCV_MJPEG,
                           cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 10,
                           cv::Size(s.width, s.height), true);
    ASSERT_TRUE(writer.isOpened());
    const double xs[] = {100, 160, 220};
    for (const double x : xs) {
        s.part[0].x = x;
        const auto image = render(s);
        cv::Mat colour;
        cv::cvtColor(cv::Mat(s.height, s.width, CV_8UC1, image->pixels.data()), colour,
                     cv::COLOR_GRAY2BGR);
        writer.write(colour);
    }
    writer.release();
    TVF_Source *opened = nullptr;
    ASSERT_EQ(tvf_source_open_video(path("run.avi").c_str(), &opened), TVF_OK) << tvf_errmsg();
    const Source source(opened);
    for (const double x : xs) {
        TVF_Frame frame{};
        frame.size = sizeof frame;
        ASSERT_EQ(tvf_source_next(source.get(), &frame), TVF_OK) << tvf_errmsg();
        const TVF_Location where = locate(loc.get(), frame);
        EXPECT_EQ(where.verdict, TVF_ONE) << where.reason;
        EXPECT_NEAR(where.x, x, 0.3) << "through a lossy codec";
    }
    TVF_Frame frame{};
    frame.size = sizeof frame;
    EXPECT_EQ(tvf_source_next(source.get(), &frame), TVF_E_END);
    EXPECT_EQ(tvf_source_open_video(path("missing.avi").c_str(), &opened), TVF_E_IO);
}

// The fake camera's sensor shows whatever frame the test last rendered.
struct Sensor {
    std::mutex lock;
    std::vector<std::uint8_t> pixels;
    int width = 0;
};

void fillFromSensor(ArvBuffer *buffer, void *user, guint32, guint32, ArvPixelFormat) {
    auto *sensor = static_cast<Sensor *>(user);
    const std::lock_guard<std::mutex> hold(sensor->lock);
    auto *data =
        static_cast<std::uint8_t *>(const_cast<void *>(arv_buffer_get_data(buffer, nullptr)));
    const auto count = static_cast<std::size_t>(arv_buffer_get_image_width(buffer)) *
                       static_cast<std::size_t>(arv_buffer_get_image_height(buffer));
    if (data != nullptr && count == sensor->pixels.size()) {
        std::copy(sensor->pixels.begin(), sensor->pixels.end(), data);
    }
}

TEST_F(FramesSources, AGigEVisionCameraOnLoopbackDeliversRenderedFrames) {
    Sensor sensor;
    TVF_Scene s = scene(0);
    const auto show = [&](const TVF_Scene &shown) {
        const auto image = render(shown);
        const std::lock_guard<std::mutex> hold(sensor.lock);
        sensor.pixels = image->pixels;
    };
    show(s);
    ArvGvFakeCamera *served = arv_gv_fake_camera_new("127.0.0.1", "TVF-TEST");
    ASSERT_NE(served, nullptr);
    ASSERT_TRUE(arv_gv_fake_camera_is_running(served));
    arv_fake_camera_set_fill_pattern(arv_gv_fake_camera_get_fake_camera(served), fillFromSensor,
                                     &sensor);
    TVF_Source *opened = nullptr;
    ASSERT_EQ(tvf_source_open_genicam("127.0.0.1", s.width, s.height, &opened), TVF_OK)
        << tvf_errmsg();
    Source source(opened);
    const Calibration cal = trueCalibration(s);
    const Locator loc = locator(cal.get());
    TVF_Frame frame{};
    frame.size = sizeof frame;
    ASSERT_EQ(tvf_source_next(source.get(), &frame), TVF_OK) << tvf_errmsg();
    ASSERT_EQ(frame.width, s.width);
    ASSERT_EQ(frame.height, s.height);
    {
        const std::lock_guard<std::mutex> hold(sensor.lock);
        EXPECT_EQ(packed(frame), sensor.pixels) << "the frame arrives bit for bit";
    }
    EXPECT_NEAR(locate(loc.get(), frame).x, s.part[0].x, 0.1);
    // The part moves: within the frames queued in the stream the camera
    // shows it at its new place.
    s.part[0].x = 40;
    show(s);
    double seen = 0;
    for (int i = 0; i < 12 && std::abs(seen - 40) > 0.1; ++i) {
        ASSERT_EQ(tvf_source_next(source.get(), &frame), TVF_OK) << tvf_errmsg();
        seen = locate(loc.get(), frame).x;
    }
    EXPECT_NEAR(seen, 40, 0.1);
    // The camera is stopped while it is still served (else closing waits
    // for its answers in vain).
    source.reset();
    g_object_unref(served);
}

} // namespace
