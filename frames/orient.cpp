// The orientation from test vibrations: the part's movement in the image
// under pushes of known direction, set against each of the eight ways the
// library's axes can lie there.
#include "internal.h"

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr double kMinMovePx = 2.0;
constexpr double kMinAngleSine = 0.3; // pushes this far from parallel tell a mirror apart

struct LocatorDeleter {
    void operator()(TVF_Locator *locator) const {
        tvf_locator_destroy(locator);
    }
};

int refuse(const char *function, int code, const std::string &what) {
    return tvf::fail(code, std::string(function) + ": " + what);
}

// The part's pixel position in the next frame; TVF_E_ORIENT when the frame
// does not show one part.
int sight(const char *function, TVF_Locator *locator, TVF_GrabFn grab, void *user,
          cv::Point2d *at) {
    TVF_Frame frame{};
    frame.size = sizeof frame;
    if (grab(user, &frame) < 0) {
        return refuse(function, TVF_E_CALLBACK, "the camera callback failed");
    }
    TVF_Location where{};
    where.size = sizeof where;
    const int result = tvf_locate(locator, &frame, &where);
    if (result != TVF_OK) {
        return result;
    }
    if (where.verdict != TVF_ONE) {
        return refuse(function, TVF_E_ORIENT,
                      std::string("a frame shows no single part (") + where.reason + ")");
    }
    *at = cv::Point2d(where.px, where.py);
    return TVF_OK;
}

int checkPushes(const char *function, const TVF_Push *pushes, int32_t count) {
    if (pushes == nullptr || count < 2 || count > 3) {
        return refuse(function, TVF_E_ARG, "pushes must be 2 or 3");
    }
    double widest = 0;
    for (int i = 0; i < count; ++i) {
        const cv::Point2d a(pushes[i].dx, pushes[i].dy);
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || std::hypot(a.x, a.y) == 0) {
            return refuse(function, TVF_E_ARG,
                          "push " + std::to_string(i) + " has no finite direction");
        }
        for (int j = 0; j < i; ++j) {
            const cv::Point2d b(pushes[j].dx, pushes[j].dy);
            widest = std::max(widest,
                              std::abs(a.cross(b)) / (std::hypot(a.x, a.y) * std::hypot(b.x, b.y)));
        }
    }
    return widest >= kMinAngleSine
               ? TVF_OK
               : refuse(function, TVF_E_ARG, "the pushes are all (nearly) parallel");
}

} // namespace

extern "C" {

int tvf_calibration_orient(TVF_Calibration *cal, const TVF_LocatorConfig *config,
                           const TVF_Push *pushes, int32_t count, TVF_GrabFn grab,
                           TVK_FeederFn feeder, void *user, int32_t *orientation) {
    constexpr const char *kFunction = "tvf_calibration_orient";
    if (cal == nullptr || grab == nullptr || feeder == nullptr || orientation == nullptr) {
        return refuse(kFunction, TVF_E_ARG, "cal, grab, feeder and orientation must not be null");
    }
    int result = checkPushes(kFunction, pushes, count);
    TVF_Locator *made = nullptr;
    if (result == TVF_OK) {
        result = tvf_locator_create(cal, config, &made);
    }
    if (result != TVF_OK) {
        return result;
    }
    const std::unique_ptr<TVF_Locator, LocatorDeleter> locator(made);
    std::vector<std::pair<cv::Point2d, cv::Point2d>> moves;
    for (int i = 0; i < count; ++i) {
        cv::Point2d before;
        cv::Point2d after;
        result = sight(kFunction, locator.get(), grab, user, &before);
        if (result == TVF_OK && feeder(user, &pushes[i].command) < 0) {
            result = refuse(kFunction, TVF_E_CALLBACK, "the feeder callback failed");
        }
        if (result == TVF_OK) {
            result = sight(kFunction, locator.get(), grab, user, &after);
        }
        if (result != TVF_OK) {
            return result;
        }
        const double moved = std::hypot(after.x - before.x, after.y - before.y);
        if (moved < kMinMovePx) {
            return refuse(kFunction, TVF_E_ORIENT,
                          "push " + std::to_string(i) + " moved the part " + std::to_string(moved) +
                              " pixels, below 2");
        }
        moves.emplace_back(before, after);
    }
    // Each orientation's agreement: the mean cosine between the pushes and
    // the movements seen in its platform frame.
    TVF_Calibration trial = *cal;
    std::vector<double> score(TVF_ORIENTATION_COUNT, 0.0);
    for (int o = 0; o < TVF_ORIENTATION_COUNT; ++o) {
        tvf::orient(trial, o);
        for (int i = 0; i < count; ++i) {
            const cv::Point2d d = tvf::apply(trial.toPlatform, moves[i].second) -
                                  tvf::apply(trial.toPlatform, moves[i].first);
            const cv::Point2d e(pushes[i].dx, pushes[i].dy);
            score[o] += d.dot(e) / (std::hypot(d.x, d.y) * std::hypot(e.x, e.y)) / count;
        }
    }
    const auto best = std::max_element(score.begin(), score.end());
    double second = -1;
    for (auto it = score.begin(); it != score.end(); ++it) {
        second = it == best ? second : std::max(second, *it);
    }
    if (*best < 0.7 || *best - second < 0.2) {
        return refuse(kFunction, TVF_E_ORIENT,
                      "no orientation agrees clearly with the pushes (best " +
                          std::to_string(*best) + ", next " + std::to_string(second) + ")");
    }
    const int found = static_cast<int>(best - score.begin());
    tvf::orient(*cal, found);
    *orientation = found;
    return TVF_OK;
}

} // extern "C"
