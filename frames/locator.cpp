// The part locator: the frame thresholded against the local backlight,
// cleaned, its blobs labelled, sized and checked against the platform's
// edge; the one part's centroid, angle and area in library units.
#include "internal.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// The backlight is estimated on a grid kShrink times coarser than the frame.
constexpr int kShrink = 8;
// A saturated pixel.
constexpr int kFull = 255;

struct Blob {
    int label;
    cv::Mat labels;       // its window's labels
    cv::Point origin;     // the window's corner in the platform's box
    double lit;           // the backlight's grey level about it
    cv::Rect box;         // in its window
    cv::Point2d centroid; // pixels, of the thresholded blob
    double area;          // library units squared
    bool cut;             // touches the band along the platform's edge
};

struct Scan {
    double backlight = 0;
    double saturated = 0; // fraction of sampled platform pixels at full scale
    std::vector<Blob> blobs;
};

// The area of one camera pixel at p in library units squared.
double pixelArea(const cv::Matx33d &h, cv::Point2d p) {
    const cv::Point2d o = tvf::apply(h, p);
    const cv::Point2d ex = tvf::apply(h, p + cv::Point2d(1, 0)) - o;
    const cv::Point2d ey = tvf::apply(h, p + cv::Point2d(0, 1)) - o;
    return std::abs(ex.x * ey.y - ex.y * ey.x);
}

} // namespace

struct TVF_Locator {
    TVF_Calibration cal;
    TVF_LocatorConfig config{};
    cv::Rect roi;                // the platform's bounding box in the frame
    cv::Mat inside;              // ROI-sized: 255 where blobs are looked for
    cv::Mat coarseInside;        // the same on the coarse grid
    cv::Mat coarseLit;           // the share of each coarse cell on the platform
    std::vector<cv::Point> band; // ROI pixels along the edge of inside
    cv::Mat kernel;              // the coarse backlight's reach
    // Scratch, kept between frames so a frame allocates nothing.
    cv::Mat coarse;
    cv::Mat local;
    cv::Mat flagged;
    cv::Mat dark;
    cv::Mat stats;
    cv::Mat centroids;

    void build();
    int learnOrLocate(const char *function, const TVF_Frame *frame, cv::Mat *grey);
    Scan scan(const cv::Mat &grey);
    std::vector<cv::Rect> windows();
    void label(const cv::Mat &view, cv::Rect window, Scan *result);
    void refine(const cv::Mat &grey, const Blob &blob, TVF_Location *out) const;
};

void TVF_Locator::build() {
    std::vector<cv::Point> quad;
    for (const cv::Point2d &p : tvf::platformOrder(cal)) {
        quad.emplace_back(cvRound(p.x), cvRound(p.y));
    }
    roi = cv::boundingRect(quad) & cv::Rect(cv::Point(0, 0), cal.size);
    // Whole coarse cells, so the coarse grid averages exact squares: the box
    // grows right and down, or moves left and up where the frame ends.
    const auto whole_cells = [](int extent, int start, int limit, int *begin) {
        const int grown = std::min(limit, (extent + kShrink - 1) / kShrink * kShrink);
        *begin = std::max(0, std::min(start, limit - grown));
        return grown / kShrink * kShrink;
    };
    roi.width = whole_cells(roi.width, roi.x, cal.size.width, &roi.x);
    roi.height = whole_cells(roi.height, roi.y, cal.size.height, &roi.y);
    cv::Mat whole(roi.size(), CV_8U, cv::Scalar(0));
    for (cv::Point &p : quad) {
        p -= roi.tl();
    }
    cv::fillConvexPoly(whole, quad, cv::Scalar(255));
    // The platform's own edge is blurred: blobs are looked for edge_px in.
    const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    // Off the box is off the platform.
    const cv::Scalar off(0);
    cv::erode(whole, inside, square, cv::Point(-1, -1), config.edge_px, cv::BORDER_CONSTANT, off);
    cv::Mat core;
    cv::erode(inside, core, square, cv::Point(-1, -1), 2, cv::BORDER_CONSTANT, off);
    cv::Mat ring = inside & ~core;
    cv::findNonZero(ring, band);
    const cv::Size coarseSize(roi.width / kShrink, roi.height / kShrink);
    cv::resize(inside, coarseInside, coarseSize, 0, 0, cv::INTER_NEAREST);
    cv::resize(whole, coarseLit, coarseSize, 0, 0, cv::INTER_AREA);
    coarseLit.convertTo(coarseLit, CV_32F, 1.0 / 255);
    // The coarse backlight reaches past a part of up to a fifth of the
    // platform's larger extent, so the part's own shadow never sets it.
    const int reach = std::max(1, std::max(roi.width, roi.height) / (10 * kShrink));
    kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * reach + 1, 2 * reach + 1));
}

Scan TVF_Locator::scan(const cv::Mat &grey) {
    Scan result;
    const cv::Mat view = grey(roi);
    cv::resize(view, coarse, coarseInside.size(), 0, 0, cv::INTER_AREA);
    cv::dilate(coarse, local, kernel);
    double lo = 0;
    cv::minMaxLoc(local, &lo, &result.backlight, nullptr, nullptr, coarseInside);
    int sampled = 0;
    int full = 0;
    for (int y = 0; y < view.rows; y += 4) {
        const auto *row = view.ptr<std::uint8_t>(y);
        const auto *in = inside.ptr<std::uint8_t>(y);
        for (int x = 0; x < view.cols; x += 4) {
            if (in[x] != 0) {
                ++sampled;
                full += row[x] >= kFull ? 1 : 0;
            }
        }
    }
    result.saturated = sampled > 0 ? static_cast<double>(full) / sampled : 0.0;
    if (result.backlight < config.min_backlight || result.saturated > config.max_saturated) {
        return result;
    }
    for (const cv::Rect &window : windows()) {
        label(view, window, &result);
    }
    return result;
}

// The boxes worth labelling at full resolution: coarse cells clearly darker
// than the backlight would make them (by the share of them on the
// platform), grouped, grown by a cell and merged where they overlap. Dust
// and noise leave the coarse grid alone, so most of a frame is never
// labelled.
std::vector<cv::Rect> TVF_Locator::windows() {
    constexpr float kDarker = 0.85F;
    flagged.create(coarse.size(), CV_8U);
    for (int y = 0; y < coarse.rows; ++y) {
        const auto *c = coarse.ptr<std::uint8_t>(y);
        const auto *l = local.ptr<std::uint8_t>(y);
        const auto *share = coarseLit.ptr<float>(y);
        auto *f = flagged.ptr<std::uint8_t>(y);
        for (int x = 0; x < coarse.cols; ++x) {
            f[x] = share[x] > 0 &&
                           static_cast<float>(c[x]) < kDarker * share[x] * static_cast<float>(l[x])
                       ? 255
                       : 0;
        }
    }
    cv::Mat groups;
    const int count =
        cv::connectedComponentsWithStats(flagged, groups, stats, centroids, 8, CV_32S);
    std::vector<cv::Rect> boxes;
    const cv::Rect all(cv::Point(0, 0), roi.size());
    for (int i = 1; i < count; ++i) {
        const cv::Rect cells(
            stats.at<int>(i, cv::CC_STAT_LEFT) - 1, stats.at<int>(i, cv::CC_STAT_TOP) - 1,
            stats.at<int>(i, cv::CC_STAT_WIDTH) + 2, stats.at<int>(i, cv::CC_STAT_HEIGHT) + 2);
        boxes.push_back(cv::Rect(cells.x * kShrink, cells.y * kShrink, cells.width * kShrink,
                                 cells.height * kShrink) &
                        all);
    }
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t a = 0; a < boxes.size() && !merged; ++a) {
            for (std::size_t b = a + 1; b < boxes.size() && !merged; ++b) {
                if ((boxes[a] & boxes[b]).area() > 0) {
                    boxes[a] |= boxes[b];
                    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(b));
                    merged = true;
                }
            }
        }
    }
    return boxes;
}

// Thresholds, cleans and labels one window; its part-sized blobs join the
// result.
void TVF_Locator::label(const cv::Mat &view, cv::Rect window, Scan *result) {
    const cv::Rect cells(window.x / kShrink, window.y / kShrink,
                         (window.width + kShrink - 1) / kShrink,
                         (window.height + kShrink - 1) / kShrink);
    double lit = 0;
    cv::minMaxLoc(local(cells & cv::Rect(cv::Point(0, 0), local.size())), nullptr, &lit);
    cv::threshold(view(window), dark, config.threshold * lit, 255, cv::THRESH_BINARY_INV);
    dark &= inside(window);
    cv::morphologyEx(dark, dark, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    cv::Mat labels;
    const int count = cv::connectedComponentsWithStats(dark, labels, stats, centroids, 8, CV_32S);
    std::vector<char> cut(static_cast<std::size_t>(count), 0);
    for (const cv::Point &p : band) {
        if (window.contains(p)) {
            cut[static_cast<std::size_t>(labels.at<int>(p - window.tl()))] = 1;
        }
    }
    for (int i = 1; i < count; ++i) {
        const int pixels = stats.at<int>(i, cv::CC_STAT_AREA);
        if (pixels < config.min_blob) {
            continue;
        }
        const cv::Point2d c(centroids.at<double>(i, 0) + window.x + roi.x,
                            centroids.at<double>(i, 1) + window.y + roi.y);
        const double area = pixels * pixelArea(cal.toPlatform, c);
        const bool isCut = cut[static_cast<std::size_t>(i)] != 0;
        const bool sized =
            config.max_area <= 0 || ((isCut || area >= config.min_area) && area <= config.max_area);
        if (sized) {
            const cv::Rect box(
                stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
            result->blobs.push_back(Blob{i, labels, window.tl(), lit, box, c, area, isCut});
        }
    }
}

// The blob's centroid, angle and area from the grey levels: each pixel near
// it weighs by how much of the backlight it blocks, so edge pixels count by
// their share of the part.
void TVF_Locator::refine(const cv::Mat &grey, const Blob &blob, TVF_Location *out) const {
    constexpr int kGrow = 2;
    // In the blob's window: its box grown by kGrow.
    const cv::Rect box = cv::Rect(blob.box.x - kGrow, blob.box.y - kGrow,
                                  blob.box.width + 2 * kGrow, blob.box.height + 2 * kGrow) &
                         cv::Rect(cv::Point(0, 0), blob.labels.size());
    cv::Mat near = blob.labels(box) == blob.label;
    cv::dilate(near, near, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    const cv::Point origin = blob.origin + box.tl() + roi.tl();
    const cv::Mat view = grey(cv::Rect(origin, box.size()));
    const double lit = blob.lit;
    double darkest = 0;
    cv::minMaxLoc(view, &darkest, nullptr, nullptr, nullptr, near);
    const double span = std::max(1.0, lit - darkest);
    // Moments in the platform frame: each pixel mapped through the
    // homography and weighed by its area there, so perspective shifts
    // neither the centroid nor the axis.
    const cv::Matx33d &h = cal.toPlatform;
    const double det = cv::determinant(h);
    double m00 = 0;
    double m10 = 0;
    double m01 = 0;
    double m20 = 0;
    double m02 = 0;
    double m11 = 0;
    for (int y = 0; y < view.rows; ++y) {
        const auto *row = view.ptr<std::uint8_t>(y);
        const auto *in = near.ptr<std::uint8_t>(y);
        const double iy = y + origin.y;
        for (int x = 0; x < view.cols; ++x) {
            if (in[x] == 0) {
                continue;
            }
            const double ix = x + origin.x;
            const double wq = h(2, 0) * ix + h(2, 1) * iy + h(2, 2);
            const double qx = (h(0, 0) * ix + h(0, 1) * iy + h(0, 2)) / wq;
            const double qy = (h(1, 0) * ix + h(1, 1) * iy + h(1, 2)) / wq;
            const double w =
                std::clamp((lit - row[x]) / span, 0.0, 1.0) * std::abs(det / (wq * wq * wq));
            m00 += w;
            m10 += w * qx;
            m01 += w * qy;
            m20 += w * qx * qx;
            m02 += w * qy * qy;
            m11 += w * qx * qy;
        }
    }
    out->x = m10 / m00;
    out->y = m01 / m00;
    const double mu20 = m20 / m00 - out->x * out->x;
    const double mu02 = m02 / m00 - out->y * out->y;
    const double mu11 = m11 / m00 - out->x * out->y;
    double deg = 0.5 * std::atan2(2 * mu11, mu20 - mu02) * 180.0 / CV_PI;
    out->angle_deg = deg <= -90 ? deg + 180 : deg;
    out->area = m00;
    const cv::Point2d centroid = tvf::apply(cal.toImage, cv::Point2d(out->x, out->y));
    out->px = centroid.x;
    out->py = centroid.y;
}

namespace {

int refuseNull(const char *function, const char *name, const void *p) {
    return p == nullptr ? tvf::fail(TVF_E_ARG, std::string(function) + ": " + name + " is null")
                        : TVF_OK;
}

int checkConfig(const char *function, const TVF_LocatorConfig &c) {
    const bool good = c.threshold > 0 && c.threshold < 1 && c.min_area >= 0 && c.max_area >= 0 &&
                      (c.max_area == 0 || c.max_area >= c.min_area) && c.min_blob >= 1 &&
                      c.min_backlight >= 0 && c.min_backlight <= 255 && c.max_saturated >= 0 &&
                      c.max_saturated <= 1 && c.edge_px >= 1 && c.edge_px <= 64;
    return good ? TVF_OK
                : tvf::fail(TVF_E_ARG, std::string(function) +
                                           ": config out of range (threshold 0..1 exclusive, "
                                           "areas not negative with max >= min or 0, min_blob "
                                           ">= 1, min_backlight 0..255, max_saturated 0..1, "
                                           "edge_px 1..64)");
}

void verdict(const Scan &scan, const TVF_LocatorConfig &config, TVF_Location *out,
             const Blob **one) {
    const auto cut =
        std::count_if(scan.blobs.begin(), scan.blobs.end(), [](const Blob &b) { return b.cut; });
    const auto whole = static_cast<long>(scan.blobs.size()) - cut;
    out->candidates = static_cast<int32_t>(scan.blobs.size());
    out->backlight = scan.backlight;
    char reason[sizeof out->reason];
    if (scan.backlight < config.min_backlight) {
        out->verdict = TVF_TOO_DARK;
        (void)std::snprintf(reason, sizeof reason, "backlight %.0f is below %.0f", scan.backlight,
                            config.min_backlight);
    } else if (scan.saturated > config.max_saturated) {
        out->verdict = TVF_SATURATED;
        (void)std::snprintf(reason, sizeof reason, "%.0f %% of the platform is at full scale",
                            100 * scan.saturated);
    } else if (scan.blobs.size() > 1) {
        out->verdict = TVF_SEVERAL;
        (void)std::snprintf(reason, sizeof reason, "%ld part-sized blobs (%ld cut by the edge)",
                            whole + cut, static_cast<long>(cut));
    } else if (cut == 1) {
        out->verdict = TVF_AT_EDGE;
        (void)std::snprintf(reason, sizeof reason, "the part is cut by the platform's edge");
    } else if (whole == 1) {
        out->verdict = TVF_ONE;
        *one = &scan.blobs.front();
        (void)std::snprintf(reason, sizeof reason, "one part");
    } else {
        out->verdict = TVF_NONE;
        (void)std::snprintf(reason, sizeof reason, "no part-sized blob on the platform");
    }
    std::memcpy(out->reason, reason, sizeof reason);
}

} // namespace

int TVF_Locator::learnOrLocate(const char *function, const TVF_Frame *frame, cv::Mat *grey) {
    const int result = tvf::wrapFrame(function, frame, grey);
    if (result != TVF_OK) {
        return result;
    }
    if (grey->size() != cal.size) {
        return tvf::fail(
            TVF_E_FIT, std::string(function) + ": frame " + std::to_string(grey->cols) + "x" +
                           std::to_string(grey->rows) + ", calibration for " +
                           std::to_string(cal.size.width) + "x" + std::to_string(cal.size.height));
    }
    return TVF_OK;
}

extern "C" {

void tvf_locator_config_init(TVF_LocatorConfig *config) {
    if (config == nullptr) {
        return;
    }
    *config = TVF_LocatorConfig{};
    config->size = sizeof *config;
    config->threshold = 0.5;
    config->min_blob = 30;
    config->min_backlight = 40;
    config->max_saturated = 0.25;
    config->edge_px = 3;
}

int tvf_locator_create(const TVF_Calibration *cal, const TVF_LocatorConfig *config,
                       TVF_Locator **out) {
    constexpr const char *kFunction = "tvf_locator_create";
    int result = refuseNull(kFunction, "cal", cal);
    if (result == TVF_OK) {
        result = refuseNull(kFunction, "out", out);
    }
    TVF_LocatorConfig chosen;
    tvf_locator_config_init(&chosen);
    if (result == TVF_OK && config != nullptr) {
        result = tvf::checkRecord(kFunction, "config", config, sizeof chosen, true);
        if (result == TVF_OK) {
            std::memcpy(&chosen, config, sizeof chosen);
            chosen.size = sizeof chosen;
            result = checkConfig(kFunction, chosen);
        }
    }
    if (result != TVF_OK) {
        return result;
    }
    auto *locator = new (std::nothrow) TVF_Locator;
    if (locator == nullptr) {
        return tvf::fail(TVF_E_NOMEM, std::string(kFunction) + ": out of memory");
    }
    locator->cal = *cal;
    locator->config = chosen;
    locator->build();
    *out = locator;
    return TVF_OK;
}

void tvf_locator_destroy(TVF_Locator *locator) {
    delete locator;
}

int tvf_locate(TVF_Locator *locator, const TVF_Frame *frame, TVF_Location *out) {
    constexpr const char *kFunction = "tvf_locate";
    int result = refuseNull(kFunction, "locator", locator);
    if (result == TVF_OK) {
        result = tvf::checkRecord(kFunction, "out", out, sizeof(TVF_Location), false);
    }
    cv::Mat grey;
    if (result == TVF_OK) {
        result = locator->learnOrLocate(kFunction, frame, &grey);
    }
    if (result != TVF_OK) {
        return result;
    }
    TVF_Location found{};
    found.size = sizeof found;
    const Scan scan = locator->scan(grey);
    const Blob *one = nullptr;
    verdict(scan, locator->config, &found, &one);
    if (one != nullptr) {
        locator->refine(grey, *one, &found);
    } else if (!scan.blobs.empty()) {
        const Blob &first = scan.blobs.front();
        const cv::Point2d at = tvf::apply(locator->cal.toPlatform, first.centroid);
        found.x = at.x;
        found.y = at.y;
        found.px = first.centroid.x;
        found.py = first.centroid.y;
        found.area = first.area;
    }
    tvf::writeRecord(found, out);
    return TVF_OK;
}

int tvf_locator_learn(TVF_Locator *locator, const TVF_Frame *frame) {
    constexpr const char *kFunction = "tvf_locator_learn";
    int result = refuseNull(kFunction, "locator", locator);
    cv::Mat grey;
    if (result == TVF_OK) {
        result = locator->learnOrLocate(kFunction, frame, &grey);
    }
    if (result != TVF_OK) {
        return result;
    }
    // Every blob counts while learning: the range is not known yet.
    const TVF_LocatorConfig kept = locator->config;
    locator->config.min_area = 0;
    locator->config.max_area = 0;
    const Scan scan = locator->scan(grey);
    locator->config = kept;
    const Blob *largest = nullptr;
    for (const Blob &b : scan.blobs) {
        if (!b.cut && (largest == nullptr || b.area > largest->area)) {
            largest = &b;
        }
    }
    if (largest == nullptr) {
        return tvf::fail(TVF_E_NOTFOUND,
                         std::string(kFunction) + ": no whole blob on the platform to learn from");
    }
    locator->config.min_area = 0.6 * largest->area;
    locator->config.max_area = 1.6 * largest->area;
    return TVF_OK;
}

int tvf_locator_config(const TVF_Locator *locator, TVF_LocatorConfig *out) {
    constexpr const char *kFunction = "tvf_locator_config";
    int result = refuseNull(kFunction, "locator", locator);
    if (result == TVF_OK) {
        result = tvf::checkRecord(kFunction, "out", out, sizeof(TVF_LocatorConfig), false);
    }
    if (result == TVF_OK) {
        tvf::writeRecord(locator->config, out);
    }
    return result;
}

int tvf_location_seen(const TVF_Location *location, float *x, float *y) {
    if (location == nullptr || x == nullptr || y == nullptr || location->verdict != TVF_ONE) {
        return 0;
    }
    *x = static_cast<float>(location->x);
    *y = static_cast<float>(location->y);
    return 1;
}

const char *tvf_verdict_name(int verdict) {
    static const char *const kNames[TVF_VERDICT_COUNT] = {"none",    "one part", "several",
                                                          "at edge", "too dark", "saturated"};
    return verdict >= 0 && verdict < TVF_VERDICT_COUNT ? kNames[verdict] : "?";
}

int tvf_settle_start(TVF_Settle *settle, double tolerance) {
    constexpr const char *kFunction = "tvf_settle_start";
    int result = tvf::checkRecord(kFunction, "settle", settle, sizeof(TVF_Settle), false);
    if (result == TVF_OK && !(tolerance > 0 && std::isfinite(tolerance))) {
        result = tvf::fail(TVF_E_ARG, std::string(kFunction) + ": tolerance " +
                                          std::to_string(tolerance) + " is not above 0");
    }
    if (result != TVF_OK) {
        return result;
    }
    TVF_Settle fresh{};
    fresh.size = sizeof fresh;
    fresh.tolerance = tolerance;
    tvf::writeRecord(fresh, settle);
    return TVF_OK;
}

int tvf_settle_feed(TVF_Settle *settle, const TVF_Location *location, int host_waited) {
    constexpr const char *kFunction = "tvf_settle_feed";
    int result = tvf::checkRecord(kFunction, "settle", settle, sizeof(TVF_Settle), false);
    if (result == TVF_OK) {
        result = tvf::checkRecord(kFunction, "location", location, sizeof(TVF_Location), false);
    }
    if (result != TVF_OK) {
        return result;
    }
    if (settle->settled != 0) {
        return 1;
    }
    ++settle->frames;
    if (location->verdict != TVF_ONE) {
        settle->have_last = 0;
        return 0;
    }
    const bool agrees =
        settle->have_last != 0 &&
        std::hypot(location->x - settle->last_x, location->y - settle->last_y) <= settle->tolerance;
    settle->last_x = location->x;
    settle->last_y = location->y;
    settle->have_last = 1;
    if (agrees || host_waited != 0) {
        settle->settled = 1;
        settle->x = location->x;
        settle->y = location->y;
        return 1;
    }
    return 0;
}

} // extern "C"
