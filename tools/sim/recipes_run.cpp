#include "recipes_run.h"

#include "cli.h"
#include "console.h"
#include "library_clock.h"
#include "progress.h"
#include "recipe_store.h"
#include "session.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvlsim {

namespace {

using Store = tvltools::RecipeStore;

// A simulated feeder with the host's callbacks; simulated time adds every
// run time and the camera time of every poll.
class SimCell {
  public:
    SimCell(const Options &options, int model, int index, int action, int pass) : model_(model) {
        TVK_SimRanges ranges = rangesFor(model, options.overrides);
        if (pass > 0 && options.driftLoad > 0.0) {
            ranges.load = {options.driftLoad, options.driftLoad};
        }
        const std::uint64_t feederSeed = tvk_sim_mix_seed(
            options.seed, static_cast<std::uint64_t>(model), static_cast<std::uint64_t>(index));
        // The same feeder in each pass; its motion noise differs per action and pass.
        const std::uint64_t noiseSeed = tvk_sim_mix_seed(
            options.seed,
            static_cast<std::uint64_t>(model) * 1000003 + static_cast<std::uint64_t>(index),
            static_cast<std::uint64_t>(action) + 1 +
                static_cast<std::uint64_t>(pass) * TVK_ACTION_COUNT);
        checkKit(tvk_sim_create(model, &ranges, feederSeed, noiseSeed, &sim_), "simulated feeder");
        float width = 0.0F;
        float height = 0.0F;
        checkKit(tvk_sim_platform(model, &width, &height), "platform");
        checkKit(tvk_start_point(model, action, width, height, &startX_, &startY_), "start");
        putBack(this);
        cameraMs_ = options.cameraMs;
    }
    ~SimCell() {
        tvk_sim_destroy(sim_);
    }
    SimCell(const SimCell &) = delete;
    SimCell &operator=(const SimCell &) = delete;

    TVR_TuneResult tune(TVR_Store *store, const Options &options, int index, int action) {
        const std::string feeder = "sim-" + std::to_string(model_) + "-" + std::to_string(index);
        TVR_TuneConfig config;
        tvr_tune_config_init(&config, options.part.c_str(), feeder.c_str(), model_, action);
        config.camera = camera;
        config.drive = drive;
        config.put_back = putBack;
        config.user = this;
        config.max_steps = options.maxSteps;
        config.verdict_sweeps = options.verdictSweeps;
        config.commission = options.commission ? 1 : 0;
        config.fleet_verdict = options.fleetVerdict ? 1 : 0;
        if (options.driftMargin >= 0) {
            config.drift_margin = options.driftMargin;
        }
        TVR_TuneResult result{};
        result.size = sizeof result;
        tvk::useLibraryClock(simulatedClock);
        const int done = tvr_tune(store, &config, &result);
        tvk::useLibraryClock(nullptr);
        tvltools::checkStore(done);
        return result;
    }
    double simSeconds() const {
        return (static_cast<double>(polls_) * cameraMs_ + tvk_sim_vibration_ms(sim_)) / 1000.0;
    }

  private:
    static int camera(void *user, float *x, float *y) {
        auto *cell = static_cast<SimCell *>(user);
        setSimulatedNow(cell->startNs_ + static_cast<std::int64_t>(cell->simSeconds() * 1e9));
        ++cell->polls_;
        return tvk_sim_camera(cell->sim_, x, y);
    }
    static int drive(void *user, const ST_HostFedColC *command) {
        return tvk_sim_vibrate(static_cast<SimCell *>(user)->sim_, command);
    }
    static void putBack(void *user) {
        auto *cell = static_cast<SimCell *>(user);
        (void)tvk_sim_place(cell->sim_, cell->startX_, cell->startY_);
    }

    int model_;
    TVK_SimFeeder *sim_ = nullptr;
    float startX_ = 0.0F;
    float startY_ = 0.0F;
    int cameraMs_ = 100;
    long polls_ = 0;
    // The library's clock never goes back: each feeder's time follows the last.
    std::int64_t startNs_ = simulatedClock();
};

const char *startName(int start) {
    static const char *const names[] = {"cold", "warm", "commissioned", "saved", "imported"};
    return start >= 0 && start <= TVR_START_IMPORTED ? names[start] : "?";
}

std::string motorCell(const TVR_TuneResult &result, const TVK_Geometry &geometry, int motor) {
    if (geometry.motor[motor] == TVK_MOTOR_OFF || result.outcome != TVK_TUNED) {
        return "-";
    }
    const unsigned short *words = result.command.u16MotParam[motor];
    return std::to_string(words[0]) + "/" + std::to_string(words[1]);
}

// Nearest-rank percentile of sorted values; 0 for none.
double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(fraction * static_cast<double>(values.size()) + 0.999999);
    return values.at(std::max<std::size_t>(rank, 1) - 1);
}

struct Pass {
    std::vector<double> tuned;  // vibrations of the tuned sessions
    std::vector<double> failed; // of the others
    int drifted = 0;
    int warmTuned = 0; // tuned by the warm start alone

    void add(const TVR_TuneResult &result) {
        (result.outcome == TVK_TUNED ? tuned : failed).push_back(result.vibrations);
        drifted += result.drifted;
        warmTuned += result.outcome == TVK_TUNED && result.start == TVR_START_WARM ? 1 : 0;
    }
    void print(FILE *out, int feeders) const {
        (void)std::fprintf(out, " %6.1f%% %6.0f %6.0f %6.0f %6.0f",
                           100.0 * static_cast<double>(tuned.size()) / feeders,
                           percentile(tuned, 0.5), percentile(tuned, 0.9), percentile(failed, 0.5),
                           percentile(failed, 0.9));
    }
};

int successCount(int model, int action) {
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    checkKit(tvk_geometry(model, action, &geometry), "geometry");
    return geometry.success_count;
}

} // namespace

bool runRecipeSessions(const Options &options, FILE *out) {
    const Store store(options.recipesPath.c_str());
    (void)std::fprintf(out,
                       "model action  result vibrations    sim s %10s %10s %10s %10s  start probes"
                       " drifted\n",
                       "m0 amp/fre", "m1 amp/fre", "m2 amp/fre", "m3 amp/fre");
    bool allTuned = true;
    for (const int model : options.models) {
        for (const int action : options.actions) {
            SimCell cell(options, model, 0, action, 0);
            const TVR_TuneResult result = cell.tune(store.get(), options, 0, action);
            if (tvltools::stopSignal() != 0) {
                return false;
            }
            TVK_Geometry geometry{};
            geometry.size = sizeof geometry;
            checkKit(tvk_geometry(model, action, &geometry), "geometry");
            (void)std::fprintf(out, "%5d %6d  %-6s %10d %8.1f", model, action,
                               result.outcome == TVK_TUNED ? "tuned" : "failed", result.vibrations,
                               cell.simSeconds());
            for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
                (void)std::fprintf(out, " %10s", motorCell(result, geometry, motor).c_str());
            }
            (void)std::fprintf(out, "  %-5s %6d %7s\n", startName(result.start),
                               result.probe_vibrations, result.drifted != 0 ? "yes" : "no");
            (void)std::fflush(out);
            allTuned = allTuned && result.outcome == TVK_TUNED;
        }
    }
    return allTuned;
}

bool runRecipeFleet(const Options &options, FILE *out) {
    const Store store(options.recipesPath.c_str());
    (void)std::fprintf(out, "%21s %-37s %s\n", "",
                       options.commission ? "first tuning, commissioned (probes in)"
                                          : "first tuning, factory window",
                       "re-tune from the recipe");
    (void)std::fprintf(out, "model action feeders   tuned median    p90 f.med  f.p90   tuned median"
                            "    p90 f.med  f.p90 drifted warm-ok succ+1\n");
    tvltools::ProgressMeter progress(
        static_cast<long>(options.models.size() * options.actions.size()) * options.fleet * 2,
        "sessions");
    bool allTuned = true;
    for (const int model : options.models) {
        for (const int action : options.actions) {
            Pass passes[2];
            for (int pass = 0; pass < 2; ++pass) {
                for (int index = 0; index < options.fleet; ++index) {
                    SimCell cell(options, model, index, action, pass);
                    passes[pass].add(cell.tune(store.get(), options, index, action));
                    if (tvltools::stopSignal() != 0) {
                        return false;
                    }
                    progress.advance();
                }
            }
            progress.clear();
            (void)std::fprintf(out, "%5d %6d %7d", model, action, options.fleet);
            passes[0].print(out, options.fleet);
            passes[1].print(out, options.fleet);
            (void)std::fprintf(out, " %7d %7d %6d\n", passes[1].drifted, passes[1].warmTuned,
                               successCount(model, action) + 1);
            (void)std::fflush(out);
            allTuned = allTuned && passes[0].failed.empty() && passes[1].failed.empty();
        }
    }
    return allTuned;
}

} // namespace tvlsim
