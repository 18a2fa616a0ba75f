// Result texts, the last failure's message, the record rule, frames and the
// platform frame: what every part of the frames library uses.
#include "internal.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>

namespace {

// Trivially destructible, so no thread's exit runs code of ours.
constexpr std::size_t kMessageMax = 512;
thread_local char g_message[kMessageMax];

} // namespace

namespace tvf {

int fail(int code, const std::string &message) {
    (void)std::snprintf(g_message, sizeof g_message, "%s", message.c_str());
    return code;
}

int checkRecord(const char *function, const char *name, const void *record, std::size_t mine,
                bool tail) {
    const std::string what = std::string(function) + ": " + name;
    if (record == nullptr) {
        return fail(TVF_E_ARG, what + " is null");
    }
    const std::uint32_t size = *static_cast<const std::uint32_t *>(record);
    if (size < mine) {
        return fail(TVF_E_SIZE, what + "->size " + std::to_string(size) +
                                    " is below the record's first release (" +
                                    std::to_string(mine) + ")");
    }
    const auto *bytes = static_cast<const unsigned char *>(record);
    if (tail && std::any_of(bytes + mine, bytes + size, [](unsigned char b) { return b != 0; })) {
        return fail(TVF_E_SIZE, what + "->size " + std::to_string(size) +
                                    ": bytes beyond this release's " + std::to_string(mine) +
                                    " are not zero");
    }
    return TVF_OK;
}

int wrapFrame(const char *function, const TVF_Frame *frame, cv::Mat *mat) {
    const int refused = checkRecord(function, "frame", frame, sizeof(TVF_Frame), true);
    if (refused != TVF_OK) {
        return refused;
    }
    const std::string what = std::string(function) + ": frame ";
    if (frame->data == nullptr) {
        return fail(TVF_E_ARG, what + "data is null");
    }
    if (frame->format != TVF_GRAY8) {
        return fail(TVF_E_FORMAT,
                    what + "format " + std::to_string(frame->format) + " is not TVF_GRAY8");
    }
    if (frame->width <= 0 || frame->height <= 0 || frame->stride < frame->width) {
        return fail(TVF_E_FORMAT, what + std::to_string(frame->width) + "x" +
                                      std::to_string(frame->height) + " with stride " +
                                      std::to_string(frame->stride));
    }
    // OpenCV's Mat views const pixels through a non-const pointer; nothing
    // here writes through it.
    *mat = cv::Mat(frame->height, frame->width, CV_8UC1, const_cast<std::uint8_t *>(frame->data),
                   static_cast<std::size_t>(frame->stride));
    return TVF_OK;
}

int platformOf(const char *function, int model, cv::Size2d *platform) {
    float width = 0.0F;
    float height = 0.0F;
    if (tvk_sim_platform(model, &width, &height) != TVK_OK) {
        return fail(TVF_E_ARG, std::string(function) + ": model " + std::to_string(model) +
                                   " is not 0.." + std::to_string(TVK_MODEL_COUNT - 1));
    }
    *platform = cv::Size2d(width, height);
    return TVF_OK;
}

std::array<cv::Point2d, 4> platformCorners(cv::Size2d platform) {
    return {cv::Point2d(0, 0), cv::Point2d(platform.width, 0),
            cv::Point2d(platform.width, platform.height), cv::Point2d(0, platform.height)};
}

std::array<int, 4> cornerSlots(int orientation) {
    const int turn = orientation % 4;
    const bool mirrored = orientation >= 4;
    std::array<int, 4> slots{};
    for (int i = 0; i < 4; ++i) {
        slots[static_cast<std::size_t>(i)] = mirrored ? (turn - i + 4) % 4 : (turn + i) % 4;
    }
    return slots;
}

cv::Matx33d platformToImage(cv::Size2d platform, const std::array<cv::Point2d, 4> &corners) {
    const auto from = platformCorners(platform);
    std::array<cv::Point2f, 4> src{};
    std::array<cv::Point2f, 4> dst{};
    for (std::size_t i = 0; i < 4; ++i) {
        src[i] = from[i];
        dst[i] = corners[i];
    }
    return cv::Matx33d(cv::getPerspectiveTransform(src.data(), dst.data()));
}

cv::Point2d apply(const cv::Matx33d &h, cv::Point2d p) {
    const cv::Vec3d q = h * cv::Vec3d(p.x, p.y, 1.0);
    return {q[0] / q[2], q[1] / q[2]};
}

} // namespace tvf

extern "C" {

const char *tvf_errmsg(void) {
    return g_message;
}

const char *tvf_strerror(int code) {
    switch (code) {
    case TVF_OK:
        return "success";
    case TVF_E_ARG:
        return "bad argument (a null pointer or a value out of range)";
    case TVF_E_FORMAT:
        return "a frame of the wrong size, stride or pixel format";
    case TVF_E_FIT:
        return "the calibration was made for another frame size or platform";
    case TVF_E_IO:
        return "a file could not be read or written";
    case TVF_E_NOMEM:
        return "out of memory";
    case TVF_E_NOTFOUND:
        return "not found in the frame (no lit platform, or no part)";
    case TVF_E_CALLBACK:
        return "a host callback reported an error";
    case TVF_E_ORIENT:
        return "the test vibrations do not decide the orientation";
    case TVF_E_END:
        return "the camera source has no more frames";
    case TVF_E_SIZE:
        return "a record size the library cannot serve";
    default:
        return "unknown result code";
    }
}

const char *tvf_version(void) {
    return tvk_version();
}

} // extern "C"
