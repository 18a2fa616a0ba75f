// tavrel-locate: the part in each frame, one line per frame, in library
// units; optionally an annotated picture of each.
#include "frames_tool.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const char *const kHelp =
    "Usage: tavrel-locate [OPTION]... FRAME...\n"
    "Locate the part in each backlit FRAME and print one line per frame:\n"
    "  FRAME VERDICT x y angle area candidates\n"
    "with x and y in library units, the angle in degrees from +X towards +Y,\n"
    "the area in library units squared (\"-\" where the verdict is not\n"
    "\"one\"), then the reason.\n"
    "\n"
    "  --calibration FILE   a calibration tavrel-calibrate wrote (default:\n"
    "                       calibrate on the first frame, orientation 0)\n"
    "  --model N            the feeder model without --calibration, 0..2\n"
    "                       (default 0)\n"
    "  --pictures DIR       an annotated picture of each frame, DIR/NAME.png\n"
    "  --help               this text\n"
    "  --version            the program's version\n"
    "\n"
    "Verdicts: one, none, several, at-edge, too-dark, saturated. Exit status:\n"
    "0 every frame located, 1 a frame did not show one part, 2 bad options or\n"
    "input.\n";

struct Options {
    std::string calibration;
    int model = 0;
    std::string pictures;
    std::vector<std::string> frames;
};

struct CalibrationDeleter {
    void operator()(TVF_Calibration *cal) const {
        tvf_calibration_destroy(cal);
    }
};
struct LocatorDeleter {
    void operator()(TVF_Locator *locator) const {
        tvf_locator_destroy(locator);
    }
};

std::string verdictWord(int verdict) {
    std::string word = tvf_verdict_name(verdict);
    for (char &c : word) {
        c = c == ' ' ? '-' : c;
    }
    return word == "one-part" ? "one" : word;
}

void annotate(const tvftools::FrameFile &file, const TVF_Calibration *cal,
              const TVF_Location &where, const std::string &path) {
    cv::Mat picture = file.picture();
    tvftools::drawCalibration(picture, cal);
    const cv::Scalar mark =
        where.verdict == TVF_ONE ? cv::Scalar(0, 200, 0) : cv::Scalar(0, 0, 255);
    if (where.candidates > 0) {
        const cv::Point2d c(where.px, where.py);
        cv::drawMarker(picture, c, mark, cv::MARKER_CROSS, 16, 1, cv::LINE_AA);
        if (where.verdict == TVF_ONE) {
            // The long axis, drawn through the platform frame.
            const double a = where.angle_deg * CV_PI / 180;
            double ex = 0;
            double ey = 0;
            tvftools::check(tvf_calibration_to_image(cal, where.x + 8 * std::cos(a),
                                                     where.y + 8 * std::sin(a), &ex, &ey),
                            "calibration");
            cv::line(picture, c, cv::Point2d(ex, ey), mark, 1, cv::LINE_AA);
        }
    }
    cv::putText(picture, verdictWord(where.verdict) + ": " + where.reason, cv::Point(8, 20),
                cv::FONT_HERSHEY_SIMPLEX, 0.5, mark, 1, cv::LINE_AA);
    tvftools::writePicture(path, picture);
}

std::string pictureName(const std::string &dir, const std::string &frame) {
    const std::size_t slash = frame.find_last_of('/');
    std::string name = slash == std::string::npos ? frame : frame.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dir + "/" + (dot == std::string::npos ? name : name.substr(0, dot)) + ".png";
}

Options parse(int argc, char **argv, bool *done) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "--version") {
            (void)std::fputs(
                arg == "--help" ? kHelp : tvftools::versionText("tavrel-locate").c_str(), stdout);
            *done = true;
            return options;
        }
        if (arg == "--calibration") {
            options.calibration = tvftools::valueOf(argc, argv, &i, arg);
        } else if (arg == "--model") {
            options.model = tvftools::parseInt(tvftools::valueOf(argc, argv, &i, arg), 0, 2, arg);
        } else if (arg == "--pictures") {
            options.pictures = tvftools::valueOf(argc, argv, &i, arg);
        } else if (arg.rfind("--", 0) == 0) {
            throw tvftools::Failure("unknown option '" + arg + "' (--help lists them)");
        } else {
            options.frames.push_back(arg);
        }
    }
    if (options.frames.empty()) {
        throw tvftools::Failure("no FRAME (--help)");
    }
    return options;
}

int locate(int argc, char **argv) {
    bool done = false;
    const Options options = parse(argc, argv, &done);
    if (done) {
        return 0;
    }
    TVF_Calibration *made = nullptr;
    if (options.calibration.empty()) {
        const tvftools::FrameFile first(options.frames.front());
        tvftools::check(tvf_calibrate(options.model, &first.frame(), &made),
                        "frame '" + options.frames.front() + "'");
    } else {
        tvftools::check(tvf_calibration_load(options.calibration.c_str(), &made), "calibration");
    }
    const std::unique_ptr<TVF_Calibration, CalibrationDeleter> cal(made);
    TVF_Locator *locator = nullptr;
    tvftools::check(tvf_locator_create(cal.get(), nullptr, &locator), "locator");
    const std::unique_ptr<TVF_Locator, LocatorDeleter> loc(locator);
    int status = 0;
    for (const std::string &name : options.frames) {
        const tvftools::FrameFile file(name);
        TVF_Location where{};
        where.size = sizeof where;
        tvftools::check(tvf_locate(loc.get(), &file.frame(), &where), "frame '" + name + "'");
        if (where.verdict == TVF_ONE) {
            (void)std::printf("%s one %.3f %.3f %.2f %.2f %d %s\n", name.c_str(), where.x, where.y,
                              where.angle_deg, where.area, where.candidates, where.reason);
        } else {
            status = 1;
            (void)std::printf("%s %s - - - - %d %s\n", name.c_str(),
                              verdictWord(where.verdict).c_str(), where.candidates, where.reason);
        }
        if (!options.pictures.empty()) {
            annotate(file, cal.get(), where, pictureName(options.pictures, name));
        }
    }
    return status;
}

} // namespace

int main(int argc, char **argv) {
    return tvftools::runTool("tavrel-locate", locate, argc, argv);
}
