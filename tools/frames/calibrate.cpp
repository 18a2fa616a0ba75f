// tavrel-calibrate: the calibration from one frame of the empty, lit
// platform, written to a file with an annotated picture of what was found.
#include "frames_tool.h"

#include <cstdio>

namespace {

const char *const kHelp =
    "Usage: tavrel-calibrate [OPTION]... FRAME\n"
    "Find the lit platform's corners in FRAME (an image of the empty platform)\n"
    "to sub-pixel accuracy and write the calibration from camera pixels to the\n"
    "platform frame in library units.\n"
    "\n"
    "  --model N          the feeder model, 0..2 (default 0)\n"
    "  --orientation N    where the library's axes lie in the image, 0..7\n"
    "                     (default 0: +X right, +Y down)\n"
    "  --out FILE         the calibration (.yml, .yaml, .xml or .json;\n"
    "                     default calibration.yml)\n"
    "  --picture FILE     an annotated picture of the corners and the axes\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "Prints the corners, in pixels, for the platform points (0, 0), (W, 0),\n"
    "(W, H), (0, H). Exit status: 0 written, 2 bad options or input.\n";

struct CalibrationDeleter {
    void operator()(TVF_Calibration *cal) const {
        tvf_calibration_destroy(cal);
    }
};

int calibrate(int argc, char **argv) {
    int model = 0;
    int orientation = 0;
    std::string out = "calibration.yml";
    std::string picture;
    std::string frame;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            (void)std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            (void)std::fputs(tvftools::versionText("tavrel-calibrate").c_str(), stdout);
            return 0;
        }
        if (arg == "--model") {
            model = tvftools::parseInt(tvftools::valueOf(argc, argv, &i, arg), 0, 2, "--model");
        } else if (arg == "--orientation") {
            orientation =
                tvftools::parseInt(tvftools::valueOf(argc, argv, &i, arg), 0, 7, "--orientation");
        } else if (arg == "--out") {
            out = tvftools::valueOf(argc, argv, &i, arg);
        } else if (arg == "--picture") {
            picture = tvftools::valueOf(argc, argv, &i, arg);
        } else if (arg.rfind("--", 0) == 0 || !frame.empty()) {
            throw tvftools::Failure("unexpected argument '" + arg + "' (--help lists them)");
        } else {
            frame = arg;
        }
    }
    if (frame.empty()) {
        throw tvftools::Failure("no FRAME (--help)");
    }
    const tvftools::FrameFile file(frame);
    TVF_Calibration *made = nullptr;
    tvftools::check(tvf_calibrate(model, &file.frame(), &made), "frame '" + frame + "'");
    const std::unique_ptr<TVF_Calibration, CalibrationDeleter> cal(made);
    tvftools::check(tvf_calibration_set_orientation(cal.get(), orientation), "orientation");
    tvftools::check(tvf_calibration_save(cal.get(), out.c_str()), "calibration");
    if (!picture.empty()) {
        cv::Mat drawn = file.picture();
        tvftools::drawCalibration(drawn, cal.get());
        tvftools::writePicture(picture, drawn);
    }
    double corners[8];
    tvftools::check(tvf_calibration_corners(cal.get(), corners), "calibration");
    (void)std::printf("corners px: (%.3f, %.3f) (%.3f, %.3f) (%.3f, %.3f) (%.3f, %.3f)\n",
                      corners[0], corners[1], corners[2], corners[3], corners[4], corners[5],
                      corners[6], corners[7]);
    (void)std::printf("orientation %d: %s\nwritten: %s\n", orientation,
                      tvf_orientation_name(orientation), out.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    return tvftools::runTool("tavrel-calibrate", calibrate, argc, argv);
}
