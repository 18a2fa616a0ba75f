// What tavrel-calibrate and tavrel-locate share.
#include "frames_tool.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>

namespace tvftools {

void check(int result, const std::string &doing) {
    if (result != TVF_OK) {
        throw Failure(doing + ": " + tvf_errmsg());
    }
}

int parseInt(const std::string &text, int lo, int hi, const std::string &what) {
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < lo || value > hi) {
        throw Failure(what + " '" + text + "' is not a whole number from " + std::to_string(lo) +
                      " to " + std::to_string(hi));
    }
    return static_cast<int>(value);
}

std::string valueOf(int argc, char **argv, int *index, const std::string &option) {
    if (*index + 1 >= argc) {
        throw Failure(option + " needs a value");
    }
    ++*index;
    return argv[*index];
}

FrameFile::FrameFile(const std::string &path) {
    const char *paths[] = {path.c_str()};
    check(tvf_source_open_files(paths, 1, &source_), "frame '" + path + "'");
    frame_.size = sizeof frame_;
    const int result = tvf_source_next(source_, &frame_);
    if (result != TVF_OK) {
        tvf_source_close(source_);
        source_ = nullptr;
        check(result, "frame '" + path + "'");
    }
}

FrameFile::~FrameFile() {
    tvf_source_close(source_);
}

cv::Mat FrameFile::picture() const {
    // The library never writes through the frame; OpenCV's view wants a
    // non-const pointer.
    const cv::Mat grey(frame_.height, frame_.width, CV_8UC1, const_cast<uint8_t *>(frame_.data),
                       static_cast<std::size_t>(frame_.stride));
    cv::Mat colour;
    cv::cvtColor(grey, colour, cv::COLOR_GRAY2BGR);
    return colour;
}

namespace {

cv::Point2d toImage(const TVF_Calibration *cal, double x, double y) {
    cv::Point2d p;
    check(tvf_calibration_to_image(cal, x, y, &p.x, &p.y), "calibration");
    return p;
}

} // namespace

void drawCalibration(cv::Mat &picture, const TVF_Calibration *cal) {
    double corners[8];
    check(tvf_calibration_corners(cal, corners), "calibration");
    const cv::Scalar outline(0, 200, 255);
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d a(corners[2 * i], corners[2 * i + 1]);
        const cv::Point2d b(corners[(2 * i + 2) % 8], corners[(2 * i + 3) % 8]);
        cv::line(picture, a, b, outline, 1, cv::LINE_AA);
        cv::circle(picture, a, 5, outline, 1, cv::LINE_AA);
    }
    // The axes from the origin, a fifth of the platform's width long.
    const cv::Point2d far(corners[4], corners[5]);
    double width = 0;
    double height = 0;
    check(tvf_calibration_to_platform(cal, far.x, far.y, &width, &height), "calibration");
    const cv::Point2d origin = toImage(cal, 0, 0);
    const double reach = 0.2 * width;
    const cv::Point2d xTip = toImage(cal, reach, 0);
    const cv::Point2d yTip = toImage(cal, 0, reach);
    cv::arrowedLine(picture, origin, xTip, cv::Scalar(0, 0, 255), 2, cv::LINE_AA);
    cv::arrowedLine(picture, origin, yTip, cv::Scalar(0, 180, 0), 2, cv::LINE_AA);
    cv::putText(picture, "+X", xTip, cv::FONT_HERSHEY_SIMPLEX, 0.6, cv::Scalar(0, 0, 255), 2);
    cv::putText(picture, "+Y", yTip, cv::FONT_HERSHEY_SIMPLEX, 0.6, cv::Scalar(0, 180, 0), 2);
}

void writePicture(const std::string &path, const cv::Mat &picture) {
    bool written = false;
    try {
        written = cv::imwrite(path, picture);
    } catch (const cv::Exception &e) {
        throw Failure("picture '" + path + "': " + e.what());
    }
    if (!written) {
        throw Failure("picture '" + path + "' cannot be written");
    }
}

std::string versionText(const char *program) {
    return std::string(program) + " " + tvf_version() + "\n";
}

int runTool(const char *program, int (*body)(int, char **), int argc, char **argv) {
    try {
        return body(argc, argv);
    } catch (const Failure &e) {
        (void)std::fprintf(stderr, "%s: %s\n", program, e.what());
        return 2;
    }
}

} // namespace tvftools
