// The frames library measured: the locator's accuracy over a table of
// conditions at two resolutions, the verdict table, calibration over tilts,
// the orientation in all eight mountings, and the locator's speed. Prints
// tables; not a test: it reports, it does not judge. Run it on one core:
//   taskset -c 0 build-bench/bench/tavrel_frames_bench [TABLE...]
#include "tavrel_frames.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Image {
    std::vector<std::uint8_t> pixels;
    TVF_Frame frame{};
};

std::unique_ptr<Image> render(const TVF_Scene &s) {
    auto image = std::make_unique<Image>();
    image->pixels.resize(static_cast<std::size_t>(s.width) * s.height);
    if (tvf_render(&s, image->pixels.data(), s.width, s.height, s.width) != TVF_OK) {
        std::fprintf(stderr, "render: %s\n", tvf_errmsg());
        std::exit(1);
    }
    image->frame =
        TVF_Frame{sizeof(TVF_Frame), s.width, s.height, s.width, TVF_GRAY8, image->pixels.data()};
    return image;
}

TVF_Calibration *calibrate(TVF_Scene s) {
    s.part_count = 0;
    const auto empty = render(s);
    TVF_Calibration *cal = nullptr;
    if (tvf_calibrate(s.model, &empty->frame, &cal) != TVF_OK) {
        std::fprintf(stderr, "calibrate: %s\n", tvf_errmsg());
        std::exit(1);
    }
    tvf_calibration_set_orientation(cal, s.orientation);
    return cal;
}

TVF_Scene base(int model, int width, int height) {
    TVF_Scene s;
    tvf_scene_init(&s, model);
    s.width = width;
    s.height = height;
    return s;
}

struct Condition {
    const char *name;
    void (*apply)(TVF_Scene &);
};

void accuracy() {
    const Condition conditions[] = {
        {"nominal", [](TVF_Scene &) {}},
        {"noise 6", [](TVF_Scene &s) { s.noise = 6; }},
        {"noise 12", [](TVF_Scene &s) { s.noise = 12; }},
        {"blur 2 px", [](TVF_Scene &s) { s.blur_px = 2; }},
        {"vignetting 0.5", [](TVF_Scene &s) { s.vignetting = 0.5; }},
        {"dust 150", [](TVF_Scene &s) { s.dust = 150; }},
        {"tilt 0.3, roll 5",
         [](TVF_Scene &s) {
             s.tilt = 0.3;
             s.roll_deg = 5;
         }},
        {"ring", [](TVF_Scene &s) { s.shape = TVF_SHAPE_RING; }},
        {"screw", [](TVF_Scene &s) { s.shape = TVF_SHAPE_SCREW; }},
        {"all at once",
         [](TVF_Scene &s) {
             s.noise = 6;
             s.blur_px = 1.5;
             s.vignetting = 0.4;
             s.dust = 100;
             s.tilt = 0.3;
             s.roll_deg = 5;
             s.shape = TVF_SHAPE_SCREW;
         }},
    };
    constexpr int kParts = 40;
    std::printf("Accuracy: model 0, %d placements each, calibration found in the empty frame;\n"
                "position error in library units, angle error in degrees (not for the ring)\n",
                kParts);
    std::printf("%-18s %-10s %9s %9s %9s %9s %s\n", "condition", "image", "RMS", "max", "angle RMS",
                "angle max", "missed");
    for (const Condition &c : conditions) {
        for (const auto &[w, h] : {std::pair{640, 480}, std::pair{1920, 1200}}) {
            TVF_Scene s = base(0, w, h);
            c.apply(s);
            TVF_Calibration *cal = calibrate(s);
            TVF_Locator *loc = nullptr;
            tvf_locator_create(cal, nullptr, &loc);
            std::mt19937_64 rng(7);
            std::uniform_real_distribution<double> ux(25, 165);
            std::uniform_real_distribution<double> uy(25, 130);
            std::uniform_real_distribution<double> ua(-89, 89);
            double sum = 0;
            double worst = 0;
            double asum = 0;
            double aworst = 0;
            int missed = 0;
            for (int i = 0; i < kParts; ++i) {
                s.part[0] = TVF_Part{ux(rng), uy(rng), ua(rng)};
                s.seed = 100 + static_cast<std::uint64_t>(i);
                const auto image = render(s);
                TVF_Location where{};
                where.size = sizeof where;
                tvf_locate(loc, &image->frame, &where);
                if (where.verdict != TVF_ONE) {
                    ++missed;
                    continue;
                }
                const double e = std::hypot(where.x - s.part[0].x, where.y - s.part[0].y);
                sum += e * e;
                worst = std::max(worst, e);
                double da = std::fmod(where.angle_deg - s.part[0].angle_deg + 270.0, 180.0) - 90;
                asum += da * da;
                aworst = std::max(aworst, std::abs(da));
            }
            const int n = std::max(1, kParts - missed);
            const bool ring = s.shape == TVF_SHAPE_RING;
            char image[16];
            std::snprintf(image, sizeof image, "%dx%d", w, h);
            std::printf("%-18s %-10s %9.4f %9.4f %9s %9s %d\n", c.name, image, std::sqrt(sum / n),
                        worst,
                        ring ? "-" : std::to_string(std::sqrt(asum / n)).substr(0, 6).c_str(),
                        ring ? "-" : std::to_string(aworst).substr(0, 6).c_str(), missed);
            tvf_locator_destroy(loc);
            tvf_calibration_destroy(cal);
        }
    }
}

void verdicts() {
    struct Kind {
        const char *name;
        int parts;
        double x; // fraction of the width, first part
        double backlight;
        int expected;
    };
    const Kind kinds[] = {
        {"none", 0, 0.5, 200, TVF_NONE},    {"one", 1, 0.5, 200, TVF_ONE},
        {"two", 2, 0.3, 200, TVF_SEVERAL},  {"at edge", 1, 0.0, 200, TVF_AT_EDGE},
        {"dark", 1, 0.5, 30, TVF_TOO_DARK}, {"saturated", 1, 0.5, 700, TVF_SATURATED}};
    constexpr int kFrames = 30;
    std::printf("\nVerdicts: %d frames of each kind, model 1, 640x480, random positions, shapes, "
                "noise and dust\n",
                kFrames);
    std::printf("%-10s %8s %s\n", "frames", "right", "wrong verdicts");
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(0, 1);
    for (const Kind &k : kinds) {
        int right = 0;
        std::string wrong;
        for (int i = 0; i < kFrames; ++i) {
            TVF_Scene s = base(1, 640, 480);
            s.shape = static_cast<int>(u(rng) * TVF_SHAPE_COUNT) % TVF_SHAPE_COUNT;
            s.noise = 1 + 5 * u(rng);
            s.dust = static_cast<int>(60 * u(rng));
            s.seed = 500 + static_cast<std::uint64_t>(i);
            TVF_Calibration *cal = calibrate(s);
            s.part_count = k.parts;
            s.backlight = k.backlight;
            const double edgeX = k.x == 0.0 ? 0.0 : 320 * (k.x + 0.3 * u(rng));
            s.part[0] = TVF_Part{edgeX, 60 + 120 * u(rng), 180 * u(rng) - 90};
            s.part[1] = TVF_Part{250, 60 + 120 * u(rng), 180 * u(rng) - 90};
            const auto image = render(s);
            TVF_Locator *loc = nullptr;
            tvf_locator_create(cal, nullptr, &loc);
            TVF_Location where{};
            where.size = sizeof where;
            tvf_locate(loc, &image->frame, &where);
            if (where.verdict == k.expected) {
                ++right;
            } else {
                wrong += std::string(tvf_verdict_name(where.verdict)) + "; ";
            }
            tvf_locator_destroy(loc);
            tvf_calibration_destroy(cal);
        }
        std::printf("%-10s %5d/%d %s\n", k.name, right, kFrames, wrong.c_str());
    }
}

void calibration() {
    constexpr int kSeeds = 10;
    std::printf("\nCalibration from one empty frame, model 0, 1280x1024, roll 3, vignetting 0.3, "
                "dust 40, %d seeds per tilt\n",
                kSeeds);
    std::printf("%-6s %14s %14s %18s\n", "tilt", "corner RMS px", "corner max px",
                "platform max units");
    for (const double tilt : {0.0, 0.1, 0.2, 0.3, 0.4}) {
        double sum = 0;
        double worst = 0;
        double units = 0;
        int n = 0;
        for (int seed = 0; seed < kSeeds; ++seed) {
            TVF_Scene s = base(0, 1280, 1024);
            s.tilt = tilt;
            s.roll_deg = 3;
            s.vignetting = 0.3;
            s.dust = 40;
            s.seed = 900 + static_cast<std::uint64_t>(seed);
            TVF_Calibration *cal = calibrate(s);
            double truth[8];
            double found[8];
            tvf_render_corners(&s, truth);
            tvf_calibration_corners(cal, found);
            for (int i = 0; i < 4; ++i) {
                const double e =
                    std::hypot(found[2 * i] - truth[2 * i], found[2 * i + 1] - truth[2 * i + 1]);
                sum += e * e;
                worst = std::max(worst, e);
                ++n;
            }
            // A grid of platform points: drawn where the truth puts them,
            // mapped back through the found calibration.
            TVF_Calibration *exact = nullptr;
            tvf_calibrate_corners(0, s.width, s.height, truth, &exact);
            for (double x = 0; x <= 190; x += 19) {
                for (double y = 0; y <= 155; y += 15.5) {
                    double px = 0;
                    double py = 0;
                    double bx = 0;
                    double by = 0;
                    tvf_calibration_to_image(exact, x, y, &px, &py);
                    tvf_calibration_to_platform(cal, px, py, &bx, &by);
                    units = std::max(units, std::hypot(bx - x, by - y));
                }
            }
            tvf_calibration_destroy(exact);
            tvf_calibration_destroy(cal);
        }
        std::printf("%-6.1f %14.4f %14.4f %18.4f\n", tilt, std::sqrt(sum / n), worst, units);
    }
}

struct Cell {
    TVF_Scene scene;
    std::unique_ptr<Image> image;
    double dx[2];
    double dy[2];
};

int grab(void *user, TVF_Frame *frame) {
    auto *cell = static_cast<Cell *>(user);
    cell->image = render(cell->scene);
    *frame = cell->image->frame;
    return 0;
}

int push(void *user, const ST_HostFedColC *command) {
    auto *cell = static_cast<Cell *>(user);
    cell->scene.part[0].x += 10 * cell->dx[command->enAct];
    cell->scene.part[0].y += 10 * cell->dy[command->enAct];
    return 0;
}

void orientation() {
    std::printf("\nOrientation from two test pushes (+X, then +Y), model 1, 640x480, tilt 0.25\n");
    int right = 0;
    for (int truth = 0; truth < TVF_ORIENTATION_COUNT; ++truth) {
        Cell cell{base(1, 640, 480), nullptr, {1, 0}, {0, 1}};
        cell.scene.orientation = truth;
        cell.scene.tilt = 0.25;
        TVF_Calibration *cal = nullptr;
        {
            TVF_Scene e = cell.scene;
            e.part_count = 0;
            const auto frame = render(e);
            tvf_calibrate(1, &frame->frame, &cal);
        }
        TVF_Push pushes[2] = {};
        pushes[0].command.enAct = 0;
        pushes[0].dx = 1;
        pushes[1].command.enAct = 1;
        pushes[1].dy = 1;
        int32_t found = -1;
        const int result =
            tvf_calibration_orient(cal, nullptr, pushes, 2, grab, push, &cell, &found);
        right += result == TVF_OK && found == truth ? 1 : 0;
        std::printf("  %-20s found %-20s %s\n", tvf_orientation_name(truth),
                    result == TVF_OK ? tvf_orientation_name(found) : tvf_errmsg(),
                    found == truth ? "right" : "WRONG");
        tvf_calibration_destroy(cal);
    }
    std::printf("  right in %d of 8\n", right);
}

void speed() {
    std::printf("\nLocator speed on this core (median of 300 frames after 20 to warm up)\n");
    std::printf("%-11s %10s %10s %10s\n", "image", "median ms", "p95 ms", "fps");
    for (const auto &[w, h] : {std::pair{640, 480}, std::pair{1280, 1024}, std::pair{2448, 2048}}) {
        TVF_Scene s = base(0, w, h);
        s.dust = 40;
        TVF_Calibration *cal = calibrate(s);
        TVF_Locator *loc = nullptr;
        tvf_locator_create(cal, nullptr, &loc);
        const auto image = render(s);
        std::vector<double> ms;
        for (int i = 0; i < 320; ++i) {
            TVF_Location where{};
            where.size = sizeof where;
            const auto t0 = std::chrono::steady_clock::now();
            tvf_locate(loc, &image->frame, &where);
            const auto t1 = std::chrono::steady_clock::now();
            if (i >= 20) {
                ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            }
        }
        std::sort(ms.begin(), ms.end());
        const double median = ms[ms.size() / 2];
        char image_name[16];
        std::snprintf(image_name, sizeof image_name, "%dx%d", w, h);
        std::printf("%-11s %10.3f %10.3f %10.0f\n", image_name, median, ms[ms.size() * 95 / 100],
                    1000 / median);
        tvf_locator_destroy(loc);
        tvf_calibration_destroy(cal);
    }
}

} // namespace

// Every table, or the ones named: accuracy verdicts calibration orientation
// speed.
int main(int argc, char **argv) {
    const std::pair<const char *, void (*)()> tables[] = {{"accuracy", accuracy},
                                                          {"verdicts", verdicts},
                                                          {"calibration", calibration},
                                                          {"orientation", orientation},
                                                          {"speed", speed}};
    for (const auto &[name, table] : tables) {
        bool wanted = argc == 1;
        for (int i = 1; i < argc; ++i) {
            wanted = wanted || std::string(argv[i]) == name;
        }
        if (wanted) {
            table();
        }
    }
    return 0;
}
