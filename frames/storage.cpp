// A calibration's file, in OpenCV's own storage formats: the corners, the
// orientation and what they were made for; the homography is written for a
// reader's convenience and computed again on loading.
#include "internal.h"

#include <opencv2/core/persistence.hpp>

#include <cmath>
#include <fstream>
#include <new>
#include <sstream>

namespace {

constexpr const char *kKind = "tavrel-frames-calibration";
constexpr int kFormat = 1;

bool knownEnding(const std::string &path) {
    for (const char *ending : {".yml", ".yaml", ".xml", ".json"}) {
        const std::string e(ending);
        if (path.size() > e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0) {
            return true;
        }
    }
    return false;
}

int refusePath(const char *function, const char *path) {
    if (path == nullptr || *path == '\0') {
        return tvf::fail(TVF_E_ARG, std::string(function) + ": path is null or empty");
    }
    if (!knownEnding(path)) {
        return tvf::fail(TVF_E_ARG, std::string(function) + ": path '" + path +
                                        "' ends in none of .yml, .yaml, .xml, .json");
    }
    return TVF_OK;
}

// The calibration a file describes, checked against this release's
// platform; false with *why.
bool readCalibration(const cv::FileStorage &fs, TVF_Calibration *cal, std::string *why) {
    if (static_cast<std::string>(fs["kind"]) != kKind ||
        static_cast<int>(fs["format"]) != kFormat) {
        *why = "not a calibration of format 1";
        return false;
    }
    cal->model = static_cast<int>(fs["model"]);
    cal->size = cv::Size(static_cast<int>(fs["image_width"]), static_cast<int>(fs["image_height"]));
    cal->orientation = static_cast<int>(fs["orientation"]);
    cv::Mat corners;
    fs["corners"] >> corners;
    if (corners.rows != 4 || corners.cols != 2 || corners.type() != CV_64F ||
        cal->orientation < 0 || cal->orientation >= TVF_ORIENTATION_COUNT || cal->size.width < 16 ||
        cal->size.height < 16) {
        *why = "corners, orientation or frame size missing or out of range";
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        cal->clockwise[static_cast<std::size_t>(i)] =
            cv::Point2d(corners.at<double>(i, 0), corners.at<double>(i, 1));
        if (!std::isfinite(corners.at<double>(i, 0)) || !std::isfinite(corners.at<double>(i, 1))) {
            *why = "a corner is not finite";
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" {

int tvf_calibration_save(const TVF_Calibration *cal, const char *path) {
    constexpr const char *kFunction = "tvf_calibration_save";
    if (cal == nullptr) {
        return tvf::fail(TVF_E_ARG, std::string(kFunction) + ": cal is null");
    }
    const int refused = refusePath(kFunction, path);
    if (refused != TVF_OK) {
        return refused;
    }
    try {
        // Written to memory first: OpenCV would log its own complaint about
        // a file it cannot open, and a host's log is the host's. The name's
        // ending chooses the format.
        cv::FileStorage fs(path, cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
        cv::Mat corners(4, 2, CV_64F);
        for (int i = 0; i < 4; ++i) {
            corners.at<double>(i, 0) = cal->clockwise[static_cast<std::size_t>(i)].x;
            corners.at<double>(i, 1) = cal->clockwise[static_cast<std::size_t>(i)].y;
        }
        fs << "kind" << kKind << "format" << kFormat << "model" << cal->model;
        fs << "image_width" << cal->size.width << "image_height" << cal->size.height;
        fs << "platform_width" << cal->platform.width << "platform_height" << cal->platform.height;
        fs << "orientation" << cal->orientation;
        fs << "corners" << corners << "to_platform" << cv::Mat(cal->toPlatform);
        const std::string text = fs.releaseAndGetString();
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!(file << text) || !file.flush()) {
            return tvf::fail(TVF_E_IO,
                             std::string(kFunction) + ": path '" + path + "' cannot be written");
        }
    } catch (const cv::Exception &e) {
        return tvf::fail(TVF_E_IO, std::string(kFunction) + ": path '" + path + "': " + e.what());
    }
    return TVF_OK;
}

int tvf_calibration_load(const char *path, TVF_Calibration **out) {
    constexpr const char *kFunction = "tvf_calibration_load";
    if (out == nullptr) {
        return tvf::fail(TVF_E_ARG, std::string(kFunction) + ": out is null");
    }
    const int refused = refusePath(kFunction, path);
    if (refused != TVF_OK) {
        return refused;
    }
    TVF_Calibration loaded;
    std::string why;
    cv::Size2d written;
    try {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        if (!file || !(text << file.rdbuf())) {
            return tvf::fail(TVF_E_IO,
                             std::string(kFunction) + ": path '" + path + "' cannot be read");
        }
        const cv::FileStorage fs(text.str(), cv::FileStorage::READ | cv::FileStorage::MEMORY);
        if (!fs.isOpened()) {
            return tvf::fail(TVF_E_IO,
                             std::string(kFunction) + ": path '" + path + "' cannot be parsed");
        }
        if (!readCalibration(fs, &loaded, &why)) {
            return tvf::fail(TVF_E_IO, std::string(kFunction) + ": path '" + path + "': " + why);
        }
        written = cv::Size2d(static_cast<double>(fs["platform_width"]),
                             static_cast<double>(fs["platform_height"]));
    } catch (const cv::Exception &e) {
        return tvf::fail(TVF_E_IO, std::string(kFunction) + ": path '" + path + "': " + e.what());
    }
    const int result = tvf::platformOf(kFunction, loaded.model, &loaded.platform);
    if (result != TVF_OK) {
        return tvf::fail(TVF_E_FIT, tvf_errmsg());
    }
    if (written != loaded.platform) {
        return tvf::fail(TVF_E_FIT, std::string(kFunction) + ": path '" + path +
                                        "' was made for a platform of " +
                                        std::to_string(written.width) + " x " +
                                        std::to_string(written.height) + ", model " +
                                        std::to_string(loaded.model) + "'s is " +
                                        std::to_string(loaded.platform.width) + " x " +
                                        std::to_string(loaded.platform.height));
    }
    auto *cal = new (std::nothrow) TVF_Calibration(loaded);
    if (cal == nullptr) {
        return tvf::fail(TVF_E_NOMEM, std::string(kFunction) + ": out of memory");
    }
    tvf::orient(*cal, loaded.orientation);
    *out = cal;
    return TVF_OK;
}

} // extern "C"
