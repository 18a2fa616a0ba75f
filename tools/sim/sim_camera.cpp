// tavrel_sim_camera.so: what a backlit camera over the simulated feeder
// sees, rendered, calibrated and located by the frames library.
#include "sim_camera.h"

#include "tavrel_frames.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

// After a vibration the part slides on to where the simulator put it, each
// frame closing this share of what is left; the host's own wait runs out
// after kWaitFrames frames.
constexpr double kStillLeft = 0.35;
constexpr int kWaitFrames = 12;
// Two frames agreeing within this many library units: settled.
constexpr double kSettleUnits = 0.05;
// How far the part may turn as it moves, degrees either way.
constexpr double kTurnDeg = 30.0;
// The simulator moves a point, which may lie on the platform's rim; the
// rim keeps a real part whole on the platform. The part's outline reaches
// about 0.6 of its length (7 % of the platform's width) from its centre,
// and the locator's edge band adds about 1 %: the rendered centre keeps
// this share of the width from the rim.
constexpr double kRimShare = 0.055;

thread_local std::string t_message;

int fail(int code, const std::string &why) {
    t_message = why;
    return code;
}

int failFrames(int code) {
    return fail(code, tvf_errmsg());
}

std::uint64_t mixSeed(std::uint64_t seed, std::uint64_t n) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (n + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// "one", "none", "several", "at-edge", "too-dark", "saturated": the words
// tavrel-locate prints.
std::string verdictWord(int verdict) {
    std::string word = tvf_verdict_name(verdict);
    for (char &c : word) {
        c = c == ' ' ? '-' : c;
    }
    return word == "one-part" ? "one" : word;
}

} // namespace

struct TVLSIM_Camera {
    TVF_Scene scene{};
    std::vector<std::uint8_t> pixels;
    TVF_Calibration *calibration = nullptr;
    TVF_Locator *locator = nullptr;
    cv::RNG turns;
    std::uint64_t seed = 0;
    std::uint64_t frameCount = 0;
    std::string saveDir;
    std::string label;
    long lookCount = 0;
    TVF_Part part{};
    double rim = 0.0; // library units
    float platformWidth = 0.0F;
    float platformHeight = 0.0F;

    ~TVLSIM_Camera() {
        tvf_locator_destroy(locator);
        tvf_calibration_destroy(calibration);
    }

    TVF_Frame frame() const {
        TVF_Frame f{};
        f.size = sizeof f;
        f.width = scene.width;
        f.height = scene.height;
        f.stride = scene.width;
        f.format = TVF_GRAY8;
        f.data = pixels.data();
        return f;
    }

    // Where the rim lets the part's centre lie.
    double withinRim(double v, float extent) const {
        return std::min(std::max(v, rim), static_cast<double>(extent) - rim);
    }

    // Renders the scene with the part at `at` (or none) under fresh noise.
    int render(const TVF_Part *at) {
        scene.part_count = at != nullptr ? 1 : 0;
        if (at != nullptr) {
            scene.part[0] = TVF_Part{withinRim(at->x, platformWidth),
                                     withinRim(at->y, platformHeight), at->angle_deg};
        }
        scene.seed = mixSeed(seed, frameCount++);
        const int result =
            tvf_render(&scene, pixels.data(), scene.width, scene.height, scene.width);
        return result == TVF_OK ? TVF_OK : failFrames(result);
    }

    // Keeps the frame just rendered, when frames are kept: named so that the
    // names sort in the order the frames were taken.
    int keep(int frameInLook, int verdict) const {
        if (saveDir.empty()) {
            return TVF_OK;
        }
        char name[64];
        (void)std::snprintf(name, sizeof name, "-%07ld-%02d-", lookCount, frameInLook);
        const std::string path = saveDir + "/" + label + name + verdictWord(verdict) + ".png";
        const cv::Mat image(scene.height, scene.width, CV_8UC1,
                            const_cast<std::uint8_t *>(pixels.data()));
        bool written = false;
        try {
            written = cv::imwrite(path, image);
        } catch (const cv::Exception &error) {
            return fail(TVF_E_IO, "cannot write " + path + ": " + error.what());
        }
        return written ? TVF_OK : fail(TVF_E_IO, "cannot write " + path);
    }

    int locate(TVF_Location *where) {
        *where = TVF_Location{};
        where->size = sizeof *where;
        const TVF_Frame f = frame();
        const int result = tvf_locate(locator, &f, where);
        return result == TVF_OK ? TVF_OK : failFrames(result);
    }

    int open(const TVLSIM_CameraSetup &setup);
    int look(double x, double y, TVLSIM_Sight *out);
};

// The empty platform gives the calibration; the part at the start, its size.
int TVLSIM_Camera::open(const TVLSIM_CameraSetup &setup) {
    tvf_scene_init(&scene, setup.model);
    scene.width = setup.width;
    scene.height = setup.height;
    scene.orientation = setup.orientation;
    scene.tilt = setup.tilt;
    scene.roll_deg = setup.roll_deg;
    scene.shape = setup.shape;
    scene.vignetting = setup.vignetting;
    scene.blur_px = setup.blur_px;
    scene.noise = setup.noise;
    scene.dust = setup.dust;
    seed = setup.seed;
    if (tvk_sim_platform(setup.model, &platformWidth, &platformHeight) != TVK_OK) {
        return fail(TVF_E_ARG, "no platform for model " + std::to_string(setup.model));
    }
    rim = kRimShare * platformWidth;
    turns = cv::RNG(mixSeed(seed, ~0ULL));
    saveDir = setup.save_dir != nullptr ? setup.save_dir : "";
    label = setup.label != nullptr ? setup.label : "feeder";
    pixels.assign(static_cast<std::size_t>(setup.width) * static_cast<std::size_t>(setup.height),
                  0);
    part = TVF_Part{setup.start_x, setup.start_y, turns.uniform(-90.0, 90.0)};

    TVF_Location where{};
    int result = render(nullptr);
    if (result == TVF_OK) {
        const TVF_Frame empty = frame();
        result = tvf_calibrate(setup.model, &empty, &calibration);
    }
    if (result == TVF_OK) {
        result = tvf_calibration_set_orientation(calibration, setup.orientation);
    }
    if (result == TVF_OK) {
        result = tvf_locator_create(calibration, nullptr, &locator);
    }
    if (result != TVF_OK) {
        return failFrames(result);
    }
    result = locate(&where);
    if (result == TVF_OK) {
        result = keep(0, where.verdict);
    }
    if (result == TVF_OK) {
        result = render(&part);
    }
    if (result == TVF_OK) {
        const TVF_Frame learning = frame();
        result = tvf_locator_learn(locator, &learning);
        result = result == TVF_OK ? locate(&where) : failFrames(result);
    }
    return result == TVF_OK ? keep(1, where.verdict) : result;
}

// The part slides from where the last look saw it rest to (x, y), turning
// on the way; the look takes frames until two agree.
int TVLSIM_Camera::look(double x, double y, TVLSIM_Sight *out) {
    ++lookCount;
    const TVF_Part from = part;
    part.x = x;
    part.y = y;
    if (x != from.x || y != from.y) {
        part.angle_deg = from.angle_deg + turns.uniform(-kTurnDeg, kTurnDeg);
    }
    TVF_Settle settle{};
    settle.size = sizeof settle;
    int result = tvf_settle_start(&settle, kSettleUnits);
    TVF_Location where{};
    int settled = 0;
    double left = 1.0;
    for (int k = 1; result == TVF_OK && settled == 0 && k <= kWaitFrames; ++k) {
        left *= kStillLeft;
        const TVF_Part now{x + (from.x - x) * left, y + (from.y - y) * left,
                           part.angle_deg + (from.angle_deg - part.angle_deg) * left};
        result = render(&now);
        if (result == TVF_OK) {
            result = locate(&where);
        }
        if (result == TVF_OK) {
            result = keep(k, where.verdict);
        }
        if (result == TVF_OK) {
            settled = tvf_settle_feed(&settle, &where, k == kWaitFrames ? 1 : 0);
            result = settled < 0 ? failFrames(settled) : TVF_OK;
        }
    }
    if (result != TVF_OK) {
        return result;
    }
    out->seen = settled == 1 ? 1 : 0;
    if (settled == 1) {
        out->x = static_cast<float>(settle.x);
        out->y = static_cast<float>(settle.y);
    }
    out->verdict = where.verdict;
    out->frames = settle.frames;
    return TVF_OK;
}

namespace {

int cameraOpen(const TVLSIM_CameraSetup *setup, TVLSIM_Camera **out) {
    // Each camera renders and locates on its caller's thread, and the
    // simulator runs one per thread: OpenCV's own pool would only contend.
    static std::once_flag serial;
    std::call_once(serial, [] { cv::setNumThreads(1); });
    if (setup == nullptr || out == nullptr || setup->size < sizeof(TVLSIM_CameraSetup)) {
        return fail(TVF_E_ARG, "camera setup missing or too small");
    }
    auto *camera = new (std::nothrow) TVLSIM_Camera;
    if (camera == nullptr) {
        return fail(TVF_E_NOMEM, "out of memory");
    }
    int result = TVF_E_NOMEM;
    try {
        result = camera->open(*setup);
    } catch (const std::exception &error) {
        result = fail(TVF_E_NOMEM, error.what());
    }
    if (result != TVF_OK) {
        delete camera;
        return result;
    }
    *out = camera;
    return TVF_OK;
}

int cameraLook(TVLSIM_Camera *camera, double x, double y, TVLSIM_Sight *out) {
    if (camera == nullptr || out == nullptr || out->size < sizeof(TVLSIM_Sight)) {
        return fail(TVF_E_ARG, "camera or sight missing, or the sight too small");
    }
    try {
        return camera->look(x, y, out);
    } catch (const std::exception &error) {
        return fail(TVF_E_NOMEM, error.what());
    }
}

void cameraClose(TVLSIM_Camera *camera) {
    delete camera;
}

const char *cameraMessage() {
    return t_message.c_str();
}

const TVLSIM_CameraTable kTable = {sizeof(TVLSIM_CameraTable),
                                   TVLSIM_CAMERA_VERSION,
                                   cameraOpen,
                                   cameraLook,
                                   cameraClose,
                                   cameraMessage};

} // namespace

extern "C" __attribute__((visibility("default"))) const TVLSIM_CameraTable *
tvlsim_camera_table(void) {
    return &kTable;
}
