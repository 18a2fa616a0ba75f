// What the frames library's parts share: refusals with a message, the
// record rule, frames wrapped for OpenCV, and the calibration's insides.
#ifndef TAVREL_FRAMES_INTERNAL_H
#define TAVREL_FRAMES_INTERNAL_H

#include "tavrel_frames.h"

#include <opencv2/core.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tvf {

// Keeps message for tvf_errmsg() on this thread and returns code.
int fail(int code, const std::string &message);

// TVF_OK, or the refusal of a record the library cannot serve: null, below
// this release's size, or larger with bytes beyond it set (tail: for a
// record the library reads).
int checkRecord(const char *function, const char *name, const void *record, std::size_t mine,
                bool tail);

// Writes full into the caller's record: no more than its size, its bytes
// beyond ours zeroed, its size what was written.
template <typename Record> void writeRecord(const Record &full, Record *out) {
    const std::size_t callerSize = out->size;
    const std::size_t written = std::min(callerSize, sizeof(Record));
    std::memset(reinterpret_cast<unsigned char *>(out) + written, 0, callerSize - written);
    std::memcpy(static_cast<void *>(out), &full, written);
    out->size = static_cast<std::uint32_t>(written);
}

// TVF_OK and *mat viewing the frame's pixels (no copy), or the refusal.
int wrapFrame(const char *function, const TVF_Frame *frame, cv::Mat *mat);

// TVF_OK and the model's platform frame from the kit, or the refusal.
int platformOf(const char *function, int model, cv::Size2d *platform);

// The platform's corners (0, 0), (W, 0), (W, H), (0, H).
std::array<cv::Point2d, 4> platformCorners(cv::Size2d platform);

// Which image corner (0 top left, then clockwise) each platform corner lies
// at in an orientation.
std::array<int, 4> cornerSlots(int orientation);

// The homography from platform points to image points for image corners
// given in platform order.
cv::Matx33d platformToImage(cv::Size2d platform, const std::array<cv::Point2d, 4> &corners);

cv::Point2d apply(const cv::Matx33d &h, cv::Point2d p);

} // namespace tvf

struct TVF_Calibration {
    int model = 0;
    cv::Size size;                        // the frames it was made for
    cv::Size2d platform;                  // library units
    std::array<cv::Point2d, 4> clockwise; // image corners, top left first, clockwise
    int orientation = 0;
    cv::Matx33d toImage;    // platform -> image
    cv::Matx33d toPlatform; // image -> platform
};

namespace tvf {
// Sets the orientation and the homographies from clockwise.
void orient(TVF_Calibration &cal, int orientation);
// The corners in platform order.
std::array<cv::Point2d, 4> platformOrder(const TVF_Calibration &cal);
} // namespace tvf

#endif
