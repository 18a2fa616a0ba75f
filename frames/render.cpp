// What a backlit camera sees of the platform: the lit platform in
// perspective, the parts' silhouettes, vignetting, dust, blur and noise.
#include "coverage.h"
#include "internal.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

namespace {

constexpr double kDegree = CV_PI / 180.0;
// How much light a dust speck blocks.
constexpr double kDustDepth = 0.6;

struct Range {
    const char *name;
    double value;
    double lo;
    double hi;
};

int checkScene(const char *function, const TVF_Scene &s) {
    const Range ranges[] = {
        {"width", static_cast<double>(s.width), 16, 16384},
        {"height", static_cast<double>(s.height), 16, 16384},
        {"orientation", static_cast<double>(s.orientation), 0, 7},
        {"tilt", s.tilt, 0, 0.4},
        {"roll_deg", s.roll_deg, -10, 10},
        {"fill", s.fill, 0.3, 1},
        {"shape", static_cast<double>(s.shape), 0, TVF_SHAPE_COUNT - 1},
        {"part_count", static_cast<double>(s.part_count), 0, TVF_PARTS_MAX},
        {"part_scale", s.part_scale, 0.2, 5},
        {"backlight", s.backlight, 0, 1000},
        {"dark", s.dark, 0, 255},
        {"vignetting", s.vignetting, 0, 1},
        {"blur_px", s.blur_px, 0, 20},
        {"noise", s.noise, 0, 100},
        {"dust", static_cast<double>(s.dust), 0, 10000},
    };
    for (const Range &r : ranges) {
        if (!(r.value >= r.lo && r.value <= r.hi)) {
            return tvf::fail(TVF_E_ARG, std::string(function) + ": scene " + r.name + " " +
                                            std::to_string(r.value) + " is not " +
                                            std::to_string(r.lo) + ".." + std::to_string(r.hi));
        }
    }
    for (int i = 0; i < s.part_count; ++i) {
        const TVF_Part &p = s.part[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.angle_deg)) {
            return tvf::fail(TVF_E_ARG, std::string(function) + ": scene part " +
                                            std::to_string(i) + " is not finite");
        }
    }
    return TVF_OK;
}

// The image corners in platform order: the platform fitted into the image
// as the camera is mounted, its far (top) edge shortened by the tilt, the
// whole turned by the roll.
std::array<cv::Point2d, 4> sceneCorners(const TVF_Scene &s, cv::Size2d platform) {
    const bool sideways = ((s.orientation % 4) % 2 == 1) != (s.orientation >= 4);
    const double across = sideways ? platform.height : platform.width;
    const double down = sideways ? platform.width : platform.height;
    const double scale = s.fill * std::min(s.width / across, s.height / down);
    const double a = scale * across / 2;
    const double b = scale * down / 2;
    const std::array<cv::Point2d, 4> clockwise = {cv::Point2d(-a * (1 - s.tilt), -b),
                                                  cv::Point2d(a * (1 - s.tilt), -b),
                                                  cv::Point2d(a, b), cv::Point2d(-a, b)};
    const double c = std::cos(s.roll_deg * kDegree);
    const double sn = std::sin(s.roll_deg * kDegree);
    const cv::Point2d centre((s.width - 1) / 2.0, (s.height - 1) / 2.0);
    const auto slots = tvf::cornerSlots(s.orientation);
    std::array<cv::Point2d, 4> corners{};
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d q = clockwise[static_cast<std::size_t>(slots[i])];
        corners[i] = centre + cv::Point2d(c * q.x - sn * q.y, sn * q.x + c * q.y);
    }
    return corners;
}

// The silhouette's outline about its own origin, long axis along +u,
// library units; length is the part's long extent.
std::vector<cv::Point2d> outline(int shape, double length) {
    std::vector<cv::Point2d> points;
    if (shape == TVF_SHAPE_RECT) {
        const double a = length / 2;
        const double b = 0.225 * length;
        return {{-a, -b}, {a, -b}, {a, b}, {-a, b}};
    }
    if (shape == TVF_SHAPE_RING) {
        constexpr int kSteps = 72;
        for (int i = 0; i < kSteps; ++i) {
            const double t = 2 * CV_PI * i / kSteps;
            points.emplace_back(0.4 * length * std::cos(t), 0.4 * length * std::sin(t));
        }
        return points;
    }
    // A screw: a head, then a threaded shaft whose teeth stand out on both
    // sides, ending in a point.
    const double head = 0.25 * length;
    const double shaft = 0.1 * length;
    const double tooth = 0.05 * length;
    const double start = -length / 2;
    const double neck = start + 0.28 * length;
    constexpr int kTeeth = 6;
    const double pitch = (length / 2 - 0.08 * length - neck) / kTeeth;
    points = {{start, -head}, {neck, -head}, {neck, -shaft}};
    for (int i = 0; i < kTeeth; ++i) {
        points.emplace_back(neck + (i + 0.5) * pitch, -shaft - tooth);
        points.emplace_back(neck + (i + 1) * pitch, -shaft);
    }
    points.emplace_back(length / 2, 0.0);
    const std::size_t top = points.size() - 1;
    for (std::size_t i = top; i-- > 0;) {
        points.emplace_back(points[i].x, -points[i].y);
    }
    return points;
}

// Outline points of a shape's silhouette moved so its area centroid is the
// origin.
std::vector<cv::Point2d> centred(int shape, double length) {
    std::vector<cv::Point2d> points = outline(shape, length);
    std::vector<cv::Point2f> asFloat(points.begin(), points.end());
    const cv::Moments m = cv::moments(asFloat);
    const cv::Point2d centroid(m.m10 / m.m00, m.m01 / m.m00);
    for (cv::Point2d &p : points) {
        p -= centroid;
    }
    return points;
}

std::vector<cv::Point2d> toImage(const std::vector<cv::Point2d> &local, const TVF_Part &part,
                                 const cv::Matx33d &h) {
    const double c = std::cos(part.angle_deg * kDegree);
    const double s = std::sin(part.angle_deg * kDegree);
    std::vector<cv::Point2d> image;
    image.reserve(local.size());
    for (const cv::Point2d &q : local) {
        const cv::Point2d p(part.x + c * q.x - s * q.y, part.y + s * q.x + c * q.y);
        image.push_back(tvf::apply(h, p));
    }
    return image;
}

// Dust specks: small dark dots scattered over the platform.
void scatterDust(tvf::Coverage &dust, const TVF_Scene &s, cv::Size2d platform, const cv::Matx33d &h,
                 cv::RNG &rng) {
    constexpr int kSides = 12;
    for (int i = 0; i < s.dust; ++i) {
        const cv::Point2d p = tvf::apply(
            h, cv::Point2d(rng.uniform(0.0, platform.width), rng.uniform(0.0, platform.height)));
        const double radius = rng.uniform(0.6, 2.0);
        std::vector<cv::Point2d> speck;
        for (int k = 0; k < kSides; ++k) {
            const double t = 2 * CV_PI * k / kSides;
            speck.emplace_back(p.x + radius * std::cos(t), p.y + radius * std::sin(t));
        }
        dust.add(speck);
    }
}

// Light falls off towards the image's corners.
void vignette(cv::Mat &light, double strength) {
    const double cx = (light.cols - 1) / 2.0;
    const double cy = (light.rows - 1) / 2.0;
    const double corner2 = cx * cx + cy * cy;
    for (int y = 0; y < light.rows; ++y) {
        auto *row = light.ptr<float>(y);
        const double dy2 = (y - cy) * (y - cy);
        for (int x = 0; x < light.cols; ++x) {
            const double dx = x - cx;
            row[x] *= static_cast<float>(1.0 - strength * (dx * dx + dy2) / corner2);
        }
    }
}

// TVF_OK and the scene's platform frame, or the refusal of the scene.
int prepare(const char *function, const TVF_Scene *scene, cv::Size2d *platform) {
    int result = tvf::checkRecord(function, "scene", scene, sizeof(TVF_Scene), true);
    if (result == TVF_OK) {
        result = tvf::platformOf(function, scene->model, platform);
    }
    if (result == TVF_OK) {
        result = checkScene(function, *scene);
    }
    return result;
}

} // namespace

extern "C" {

void tvf_scene_init(TVF_Scene *scene, int model) {
    if (scene == nullptr) {
        return;
    }
    *scene = TVF_Scene{};
    scene->size = sizeof *scene;
    scene->model = model;
    scene->width = 640;
    scene->height = 480;
    scene->fill = 0.85;
    cv::Size2d platform(0, 0);
    if (tvf::platformOf("tvf_scene_init", model, &platform) == TVF_OK) {
        scene->part[0] = TVF_Part{platform.width / 2, platform.height / 2, 0.0};
    }
    scene->part_count = 1;
    scene->part_scale = 1.0;
    scene->backlight = 200;
    scene->dark = 20;
    scene->vignetting = 0.15;
    scene->blur_px = 0.8;
    scene->noise = 2;
    scene->seed = 1;
}

int tvf_render_corners(const TVF_Scene *scene, double corners[8]) {
    constexpr const char *kFunction = "tvf_render_corners";
    cv::Size2d platform;
    const int result = prepare(kFunction, scene, &platform);
    if (result != TVF_OK) {
        return result;
    }
    if (corners == nullptr) {
        return tvf::fail(TVF_E_ARG, std::string(kFunction) + ": corners is null");
    }
    const auto image = sceneCorners(*scene, platform);
    for (std::size_t i = 0; i < 4; ++i) {
        corners[2 * i] = image[i].x;
        corners[2 * i + 1] = image[i].y;
    }
    return TVF_OK;
}

int tvf_render(const TVF_Scene *scene, uint8_t *pixels, int32_t width, int32_t height,
               int32_t stride) {
    constexpr const char *kFunction = "tvf_render";
    cv::Size2d platform;
    const int result = prepare(kFunction, scene, &platform);
    if (result != TVF_OK) {
        return result;
    }
    if (pixels == nullptr) {
        return tvf::fail(TVF_E_ARG, std::string(kFunction) + ": pixels is null");
    }
    if (width != scene->width || height != scene->height || stride < width) {
        return tvf::fail(TVF_E_FORMAT, std::string(kFunction) + ": buffer " +
                                           std::to_string(width) + "x" + std::to_string(height) +
                                           " with stride " + std::to_string(stride) + ", scene " +
                                           std::to_string(scene->width) + "x" +
                                           std::to_string(scene->height));
    }
    const cv::Matx33d h = tvf::platformToImage(platform, sceneCorners(*scene, platform));
    const cv::Size size(width, height);
    tvf::Coverage lit(size);
    std::vector<cv::Point2d> quad;
    for (const cv::Point2d &p : tvf::platformCorners(platform)) {
        quad.push_back(tvf::apply(h, p));
    }
    lit.add(quad);
    cv::RNG rng(scene->seed);
    tvf::Coverage dust(size);
    scatterDust(dust, *scene, platform, h, rng);
    tvf::Coverage parts(size);
    const double length = 0.07 * platform.width * scene->part_scale;
    const std::vector<cv::Point2d> local = centred(scene->shape, length);
    for (int i = 0; i < scene->part_count; ++i) {
        parts.add(toImage(local, scene->part[i], h));
        if (scene->shape == TVF_SHAPE_RING) {
            // The hole, wound the other way.
            std::vector<cv::Point2d> hole(local.rbegin(), local.rend());
            for (cv::Point2d &q : hole) {
                q *= 0.5;
            }
            parts.add(toImage(hole, scene->part[i], h));
        }
    }
    // light: the fraction of the backlight reaching each pixel.
    cv::Mat light = lit.resolve().mul(1.0 - parts.resolve());
    light = light.mul(1.0 - kDustDepth * dust.resolve());
    vignette(light, scene->vignetting);
    cv::Mat grey = light * (scene->backlight - scene->dark) + scene->dark;
    if (scene->blur_px > 0) {
        cv::GaussianBlur(grey, grey, cv::Size(0, 0), scene->blur_px);
    }
    if (scene->noise > 0) {
        cv::Mat noise(grey.size(), CV_32F);
        rng.fill(noise, cv::RNG::NORMAL, 0.0, scene->noise);
        grey += noise;
    }
    cv::Mat out(height, width, CV_8UC1, pixels, static_cast<std::size_t>(stride));
    grey.convertTo(out, CV_8U);
    return TVF_OK;
}

} // extern "C"
