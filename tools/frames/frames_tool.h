// What tavrel-calibrate and tavrel-locate share: options, reading a frame,
// and the annotated picture.
#ifndef TAVREL_TOOLS_FRAMES_TOOL_H
#define TAVREL_TOOLS_FRAMES_TOOL_H

#include "tavrel_frames.h"

#include <opencv2/core.hpp>

#include <memory>
#include <stdexcept>
#include <string>

namespace tvftools {

// A bad option or input; what() is the whole one-line message.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Throws Failure with the frames library's message when result is not TVF_OK.
void check(int result, const std::string &doing);

// A whole number in [lo, hi]; throws Failure naming what.
int parseInt(const std::string &text, int lo, int hi, const std::string &what);

// The next argument as the value of option; throws Failure when there is none.
std::string valueOf(int argc, char **argv, int *index, const std::string &option);

// A frame read from an image file as 8-bit grey.
class FrameFile {
  public:
    explicit FrameFile(const std::string &path);
    ~FrameFile();
    FrameFile(const FrameFile &) = delete;
    FrameFile &operator=(const FrameFile &) = delete;
    const TVF_Frame &frame() const {
        return frame_;
    }
    // The frame as a colour picture to draw on.
    cv::Mat picture() const;

  private:
    TVF_Source *source_ = nullptr;
    TVF_Frame frame_{};
};

// Draws the calibration: the platform's outline, its corners and the
// library's +X and +Y from the origin.
void drawCalibration(cv::Mat &picture, const TVF_Calibration *cal);

// Writes picture to path (the ending chooses the format); throws Failure.
void writePicture(const std::string &path, const cv::Mat &picture);

// "PROGRAM MAJOR.MINOR.PATCH\n".
std::string versionText(const char *program);

// Runs body; a Failure is printed as "PROGRAM: message" and gives status 2.
int runTool(const char *program, int (*body)(int, char **), int argc, char **argv);

} // namespace tvftools

#endif
