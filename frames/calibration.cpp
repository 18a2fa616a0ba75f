// The calibration: the lit platform's corners, found in an empty frame or
// given, the homographies between camera pixels and the platform frame, and
// their file.
#include "internal.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

using Quad = std::array<cv::Point2d, 4>;

// The corners sorted clockwise on screen (y runs down), the one nearest the
// image's origin first.
Quad clockwiseFrom(const Quad &corners) {
    cv::Point2d centre(0, 0);
    for (const cv::Point2d &p : corners) {
        centre += p / 4.0;
    }
    Quad sorted = corners;
    std::sort(sorted.begin(), sorted.end(), [&](cv::Point2d a, cv::Point2d b) {
        return std::atan2(a.y - centre.y, a.x - centre.x) <
               std::atan2(b.y - centre.y, b.x - centre.x);
    });
    const auto first =
        std::min_element(sorted.begin(), sorted.end(),
                         [](cv::Point2d a, cv::Point2d b) { return a.x + a.y < b.x + b.y; });
    std::rotate(sorted.begin(), first, sorted.end());
    return sorted;
}

// The grey level at a sub-pixel point, bilinear; -1 off the image.
double sample(const cv::Mat &grey, cv::Point2d p) {
    const int x = static_cast<int>(std::floor(p.x));
    const int y = static_cast<int>(std::floor(p.y));
    if (x < 0 || y < 0 || x + 1 >= grey.cols || y + 1 >= grey.rows) {
        return -1;
    }
    const double fx = p.x - x;
    const double fy = p.y - y;
    const auto *r0 = grey.ptr<std::uint8_t>(y) + x;
    const auto *r1 = grey.ptr<std::uint8_t>(y + 1) + x;
    return (1 - fy) * ((1 - fx) * r0[0] + fx * r0[1]) + fy * ((1 - fx) * r1[0] + fx * r1[1]);
}

// Where the profile across the edge at p (along normal n) crosses half way
// between its darkest and brightest, as a distance along n; false for a
// profile without a clear edge.
bool crossing(const cv::Mat &grey, cv::Point2d p, cv::Point2d n, double reach, double *at) {
    constexpr double kStep = 0.25;
    constexpr double kMinContrast = 20;
    std::vector<double> profile;
    const int steps = static_cast<int>(2 * reach / kStep);
    for (int i = 0; i <= steps; ++i) {
        const double v = sample(grey, p + (i * kStep - reach) * n);
        if (v < 0) {
            return false;
        }
        profile.push_back(v);
    }
    const auto [lo, hi] = std::minmax_element(profile.begin(), profile.end());
    if (*hi - *lo < kMinContrast) {
        return false;
    }
    const double mid = (*hi + *lo) / 2;
    // n points out of the platform: from the lit side to the dark one; the
    // first fall below mid is the edge.
    for (std::size_t i = 1; i < profile.size(); ++i) {
        if (profile[i - 1] >= mid && profile[i] < mid) {
            const double f = (profile[i - 1] - mid) / (profile[i - 1] - profile[i]);
            *at = -reach + (static_cast<double>(i - 1) + f) * kStep;
            return true;
        }
    }
    return false;
}

struct Line {
    cv::Point2d point;
    cv::Point2d direction;
};

// The straight edge from a to b of the lit region, fitted to sub-pixel edge
// points along it; false when too few were found.
bool fitEdge(const cv::Mat &grey, cv::Point2d a, cv::Point2d b, cv::Point2d inside, Line *line) {
    const cv::Point2d along = b - a;
    const double length = std::hypot(along.x, along.y);
    cv::Point2d n(along.y / length, -along.x / length);
    if ((a - inside).dot(n) < 0) {
        n = -n;
    }
    const double reach = std::max(6.0, 0.01 * std::max(grey.cols, grey.rows));
    std::vector<cv::Point2f> points;
    const int samples = std::max(8, static_cast<int>(length / 3));
    for (int i = 0; i <= samples; ++i) {
        // Keep clear of the corners, where the other edge bends the profile.
        const double t = 0.08 + 0.84 * i / samples;
        const cv::Point2d p = a + t * along;
        double at = 0;
        if (crossing(grey, p, n, reach, &at)) {
            points.emplace_back(p + at * n);
        }
    }
    if (points.size() < 6) {
        return false;
    }
    cv::Vec4f fitted;
    cv::fitLine(points, fitted, cv::DIST_HUBER, 0, 0.01, 0.01);
    *line = Line{{fitted[2], fitted[3]}, {fitted[0], fitted[1]}};
    return true;
}

cv::Point2d intersect(const Line &l, const Line &m) {
    const double det = l.direction.x * m.direction.y - l.direction.y * m.direction.x;
    const cv::Point2d d = m.point - l.point;
    const double t = (d.x * m.direction.y - d.y * m.direction.x) / det;
    return l.point + t * l.direction;
}

// The largest lit region's four rough corners (clockwise), or false.
bool roughCorners(const cv::Mat &grey, Quad *quad) {
    cv::Mat lit;
    cv::threshold(grey, lit, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(lit, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    const auto largest =
        std::max_element(contours.begin(), contours.end(), [](const auto &a, const auto &b) {
            return cv::contourArea(a) < cv::contourArea(b);
        });
    if (largest == contours.end() ||
        cv::contourArea(*largest) < 0.1 * static_cast<double>(grey.total())) {
        return false;
    }
    std::vector<cv::Point> hull;
    cv::convexHull(*largest, hull);
    const double perimeter = cv::arcLength(hull, true);
    // Ever looser, from 1 % to 10 % of the perimeter, until four corners remain.
    for (int percent = 1; percent <= 10; ++percent) {
        std::vector<cv::Point> polygon;
        cv::approxPolyDP(hull, polygon, percent * 0.01 * perimeter, true);
        if (polygon.size() == 4) {
            Quad corners{};
            std::copy(polygon.begin(), polygon.end(), corners.begin());
            *quad = clockwiseFrom(corners);
            return true;
        }
    }
    return false;
}

bool findCorners(const cv::Mat &grey, Quad *corners) {
    Quad rough{};
    if (!roughCorners(grey, &rough)) {
        return false;
    }
    const cv::Point2d inside = (rough[0] + rough[1] + rough[2] + rough[3]) / 4.0;
    std::array<Line, 4> edges{};
    for (std::size_t i = 0; i < 4; ++i) {
        if (!fitEdge(grey, rough[i], rough[(i + 1) % 4], inside, &edges[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < 4; ++i) {
        (*corners)[i] = intersect(edges[(i + 3) % 4], edges[i]);
    }
    return true;
}

int make(int model, cv::Size size, cv::Size2d platform, const Quad &clockwise, int orientation,
         TVF_Calibration **out) {
    auto *cal = new (std::nothrow) TVF_Calibration;
    if (cal == nullptr) {
        return tvf::fail(TVF_E_NOMEM, "calibration: out of memory");
    }
    cal->model = model;
    cal->size = size;
    cal->platform = platform;
    cal->clockwise = clockwise;
    tvf::orient(*cal, orientation);
    *out = cal;
    return TVF_OK;
}

int refuseNull(const char *function, const char *name, const void *p) {
    return p == nullptr ? tvf::fail(TVF_E_ARG, std::string(function) + ": " + name + " is null")
                        : TVF_OK;
}

int makeCalibration(int model, cv::Size size, const std::array<cv::Point2d, 4> &corners,
                    const char *function, TVF_Calibration **out) {
    cv::Size2d platform;
    int result = refuseNull(function, "out", out);
    if (result == TVF_OK) {
        result = tvf::platformOf(function, model, &platform);
    }
    if (result != TVF_OK) {
        return result;
    }
    std::vector<cv::Point2f> polygon;
    for (const cv::Point2d &p : corners) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || p.x < -0.5 || p.y < -0.5 ||
            p.x > size.width - 0.5 || p.y > size.height - 0.5) {
            return tvf::fail(TVF_E_ARG, std::string(function) + ": corner (" + std::to_string(p.x) +
                                            ", " + std::to_string(p.y) + ") is off the " +
                                            std::to_string(size.width) + "x" +
                                            std::to_string(size.height) + " frame");
        }
        polygon.emplace_back(p);
    }
    if (!cv::isContourConvex(polygon) || cv::contourArea(polygon) < 16) {
        return tvf::fail(TVF_E_ARG,
                         std::string(function) +
                             ": the corners do not make a convex quadrilateral in order");
    }
    const Quad clockwise = clockwiseFrom(corners);
    for (int o = 0; o < TVF_ORIENTATION_COUNT; ++o) {
        const auto slots = tvf::cornerSlots(o);
        bool same = true;
        for (std::size_t i = 0; i < 4; ++i) {
            same = same && clockwise[static_cast<std::size_t>(slots[i])] == corners[i];
        }
        if (same) {
            return make(model, size, platform, clockwise, o, out);
        }
    }
    return tvf::fail(TVF_E_ARG, std::string(function) + ": the corners are not in order");
}

int mapPoint(const char *function, const TVF_Calibration *cal,
             const cv::Matx33d TVF_Calibration::*h, double u, double v, double *x, double *y) {
    if (cal == nullptr || x == nullptr || y == nullptr) {
        return tvf::fail(TVF_E_ARG, std::string(function) + ": cal, x and y must not be null");
    }
    if (!(std::isfinite(u) && std::isfinite(v))) {
        return tvf::fail(TVF_E_ARG, std::string(function) + ": the point is not finite");
    }
    const cv::Point2d p = tvf::apply(cal->*h, cv::Point2d(u, v));
    *x = p.x;
    *y = p.y;
    return TVF_OK;
}

} // namespace

namespace tvf {

void orient(TVF_Calibration &cal, int orientation) {
    cal.orientation = orientation;
    cal.toImage = platformToImage(cal.platform, platformOrder(cal));
    cal.toPlatform = cal.toImage.inv();
}

std::array<cv::Point2d, 4> platformOrder(const TVF_Calibration &cal) {
    const auto slots = cornerSlots(cal.orientation);
    Quad corners{};
    for (std::size_t i = 0; i < 4; ++i) {
        corners[i] = cal.clockwise[static_cast<std::size_t>(slots[i])];
    }
    return corners;
}

} // namespace tvf

extern "C" {

const char *tvf_orientation_name(int orientation) {
    static const char *const kNames[TVF_ORIENTATION_COUNT] = {
        "+X right, +Y down", "+X down, +Y left", "+X left, +Y up", "+X up, +Y right",
        "+X down, +Y right", "+X left, +Y down", "+X up, +Y left", "+X right, +Y up"};
    return orientation >= 0 && orientation < TVF_ORIENTATION_COUNT ? kNames[orientation] : "?";
}

int tvf_calibrate(int model, const TVF_Frame *empty, TVF_Calibration **out) {
    constexpr const char *kFunction = "tvf_calibrate";
    cv::Mat grey;
    cv::Size2d platform;
    int result = refuseNull(kFunction, "out", out);
    if (result == TVF_OK) {
        result = tvf::platformOf(kFunction, model, &platform);
    }
    if (result == TVF_OK) {
        result = tvf::wrapFrame(kFunction, empty, &grey);
    }
    if (result != TVF_OK) {
        return result;
    }
    Quad corners{};
    if (!findCorners(grey, &corners)) {
        return tvf::fail(TVF_E_NOTFOUND,
                         std::string(kFunction) + ": no four-cornered lit platform in the frame");
    }
    return make(model, grey.size(), platform, clockwiseFrom(corners), 0, out);
}

int tvf_calibrate_corners(int model, int32_t width, int32_t height, const double corners[8],
                          TVF_Calibration **out) {
    constexpr const char *kFunction = "tvf_calibrate_corners";
    int result = refuseNull(kFunction, "corners", corners);
    if (result == TVF_OK && (width < 16 || height < 16)) {
        result = tvf::fail(TVF_E_ARG, std::string(kFunction) + ": frame " + std::to_string(width) +
                                          "x" + std::to_string(height) + " is below 16x16");
    }
    if (result != TVF_OK) {
        return result;
    }
    Quad quad{};
    for (std::size_t i = 0; i < 4; ++i) {
        quad[i] = cv::Point2d(corners[2 * i], corners[2 * i + 1]);
    }
    return makeCalibration(model, cv::Size(width, height), quad, kFunction, out);
}

void tvf_calibration_destroy(TVF_Calibration *cal) {
    delete cal;
}

int tvf_calibration_info(const TVF_Calibration *cal, int32_t *model, int32_t *width,
                         int32_t *height, int32_t *orientation) {
    const int result = refuseNull("tvf_calibration_info", "cal", cal);
    if (result != TVF_OK) {
        return result;
    }
    const std::pair<int32_t *, int32_t> fields[] = {{model, cal->model},
                                                    {width, cal->size.width},
                                                    {height, cal->size.height},
                                                    {orientation, cal->orientation}};
    for (const auto &[where, value] : fields) {
        if (where != nullptr) {
            *where = value;
        }
    }
    return TVF_OK;
}

int tvf_calibration_corners(const TVF_Calibration *cal, double corners[8]) {
    constexpr const char *kFunction = "tvf_calibration_corners";
    int result = refuseNull(kFunction, "cal", cal);
    if (result == TVF_OK) {
        result = refuseNull(kFunction, "corners", corners);
    }
    if (result != TVF_OK) {
        return result;
    }
    const Quad quad = tvf::platformOrder(*cal);
    for (std::size_t i = 0; i < 4; ++i) {
        corners[2 * i] = quad[i].x;
        corners[2 * i + 1] = quad[i].y;
    }
    return TVF_OK;
}

int tvf_calibration_set_orientation(TVF_Calibration *cal, int orientation) {
    constexpr const char *kFunction = "tvf_calibration_set_orientation";
    int result = refuseNull(kFunction, "cal", cal);
    if (result == TVF_OK && (orientation < 0 || orientation >= TVF_ORIENTATION_COUNT)) {
        result = tvf::fail(TVF_E_ARG, std::string(kFunction) + ": orientation " +
                                          std::to_string(orientation) + " is not 0..7");
    }
    if (result == TVF_OK) {
        tvf::orient(*cal, orientation);
    }
    return result;
}

int tvf_calibration_to_platform(const TVF_Calibration *cal, double px, double py, double *x,
                                double *y) {
    return mapPoint("tvf_calibration_to_platform", cal, &TVF_Calibration::toPlatform, px, py, x, y);
}

int tvf_calibration_to_image(const TVF_Calibration *cal, double x, double y, double *px,
                             double *py) {
    return mapPoint("tvf_calibration_to_image", cal, &TVF_Calibration::toImage, x, y, px, py);
}

} // extern "C"
