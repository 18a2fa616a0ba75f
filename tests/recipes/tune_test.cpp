// Tuning from recipes on the simulated feeder: warm start, drift, the
// fall-back, commissioning and the production command.
#include "hostkit/scratch_files.h"
#include "tavrel_recipes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A simulated feeder with the host's three callbacks.
struct Cell {
    Cell(int model, int action, const TVK_SimRanges *ranges, std::uint64_t seed,
         std::uint64_t noise)
        : model(model), action(action) {
        EXPECT_EQ(tvk_sim_create(model, ranges, seed, noise, &sim), TVK_OK);
        float width = 0.0F;
        float height = 0.0F;
        EXPECT_EQ(tvk_sim_platform(model, &width, &height), TVK_OK);
        EXPECT_EQ(tvk_start_point(model, action, width, height, &startX, &startY), TVK_OK);
        putBack(this);
    }
    ~Cell() {
        tvk_sim_destroy(sim);
    }
    Cell(const Cell &) = delete;
    Cell &operator=(const Cell &) = delete;

    static int camera(void *user, float *x, float *y) {
        return tvk_sim_camera(static_cast<Cell *>(user)->sim, x, y);
    }
    static int drive(void *user, const ST_HostFedColC *command) {
        auto *cell = static_cast<Cell *>(user);
        ++cell->vibrations;
        return tvk_sim_vibrate(cell->sim, command);
    }
    static void putBack(void *user) {
        auto *cell = static_cast<Cell *>(user);
        (void)tvk_sim_place(cell->sim, cell->startX, cell->startY);
    }
    TVR_TuneConfig config(const char *part, const char *feeder, int commission) {
        TVR_TuneConfig tune;
        tvr_tune_config_init(&tune, part, feeder, model, action);
        tune.camera = camera;
        tune.drive = drive;
        tune.put_back = putBack;
        tune.user = this;
        tune.commission = commission;
        return tune;
    }

    int model;
    int action;
    TVK_SimFeeder *sim = nullptr;
    float startX = 0.0F;
    float startY = 0.0F;
    int vibrations = 0;
};

struct Store {
    explicit Store(const std::string &name) {
        EXPECT_EQ(tvr_open((tvktest::freshFolder(name) + "r.db").c_str(), &store), TVR_OK);
    }
    ~Store() {
        tvr_close(store);
    }
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    TVR_Store *store = nullptr;
};

TVR_TuneResult tune(TVR_Store *store, Cell &cell, int commission) {
    TVR_TuneResult result{};
    result.size = sizeof result;
    const TVR_TuneConfig config = cell.config("bolt", "cell-1", commission);
    EXPECT_EQ(tvr_tune(store, &config, &result), TVR_OK) << tvr_errmsg();
    return result;
}

int successCount(int model, int action) {
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    EXPECT_EQ(tvk_geometry(model, action, &geometry), TVK_OK);
    return geometry.success_count;
}

std::vector<TVR_Tuning> history(TVR_Store *store) {
    std::vector<TVR_Tuning> rows;
    EXPECT_EQ(tvr_history(
                  store, nullptr, nullptr, -1,
                  [](void *user, const TVR_Tuning *tuning) {
                      static_cast<std::vector<TVR_Tuning> *>(user)->push_back(*tuning);
                      return 0;
                  },
                  &rows),
              TVR_OK);
    return rows;
}

TEST(RecipeTune, ReTuneOfAnUnchangedFeederTakesTheFewestVibrations) {
    // Feeders whose tuned words move the part the same way every time; on
    // others a cycle may go astray (bench/recipes.sh measures the fleet).
    const struct {
        int model;
        int action;
    } cases[] = {{0, 3}, {1, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE("model " + std::to_string(c.model) + " action " + std::to_string(c.action));
        const Store store("recipes_warm/");
        Cell first(c.model, c.action, nullptr, 7, 1);
        const TVR_TuneResult cold = tune(store.store, first, 0);
        ASSERT_EQ(cold.outcome, TVK_TUNED) << cold.reason;
        EXPECT_EQ(cold.warm, 0);
        EXPECT_EQ(cold.vibrations, first.vibrations);
        // The same feeder at the next shift: new motion noise.
        Cell again(c.model, c.action, nullptr, 7, 2);
        const TVR_TuneResult warm = tune(store.store, again, 0);
        EXPECT_EQ(warm.outcome, TVK_TUNED) << warm.reason;
        EXPECT_EQ(warm.start, TVR_START_WARM);
        EXPECT_EQ(warm.drifted, 0);
        EXPECT_EQ(warm.vibrations, successCount(c.model, c.action) + 1);
        EXPECT_EQ(std::memcmp(warm.command.u16MotParam, cold.command.u16MotParam,
                              sizeof warm.command.u16MotParam),
                  0);
        ST_HostFedColC command{};
        ASSERT_EQ(tvr_production_command(store.store, "bolt", "cell-1", c.action, &command),
                  TVR_OK);
        EXPECT_EQ(std::memcmp(&command, &warm.command, sizeof command), 0);
    }
}

TEST(RecipeTune, WarmParamsPinTheStoredWords) {
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    recipe.model = 0;
    recipe.action = 0; // main motors 2 and 3
    recipe.command.u16MotParam[2][0] = 46;
    recipe.command.u16MotParam[2][1] = 73;
    recipe.params = {0, 40, 80, 70, 80, 300, 0};
    ST_HostLogicParam params{};
    ASSERT_EQ(tvr_warm_params(&recipe, &params), TVR_OK);
    EXPECT_EQ(params.u16AmpInit, 46);
    EXPECT_EQ(params.u16AmpMax, 46);
    EXPECT_EQ(params.u16FreInit, 73);
    EXPECT_EQ(params.u16FreMax, 73);
    EXPECT_EQ(params.u16FedRunTim, 300);
    recipe.action = 11;
    EXPECT_EQ(tvr_warm_params(&recipe, &params), TVR_E_ARG);
}

TEST(RecipeTune, DriftedFeederIsMarkedAndTunedAfresh) {
    const Store store("recipes_drift/");
    Cell young(0, 0, nullptr, 11, 1);
    ASSERT_EQ(tune(store.store, young, 0).outcome, TVK_TUNED);
    // Many hours later under load, the resonance has moved away.
    TVK_SimRanges aged{};
    aged.size = sizeof aged;
    ASSERT_EQ(tvk_sim_default_ranges(0, &aged), TVK_OK);
    aged.load = {0.4, 0.4};
    Cell old(0, 0, &aged, 11, 2);
    const TVR_TuneResult result = tune(store.store, old, 0);
    EXPECT_EQ(result.warm, 1);
    EXPECT_EQ(result.drifted, 1);
    EXPECT_EQ(result.vibrations, old.vibrations);
    const std::vector<TVR_Tuning> rows = history(store.store);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[1].start, TVR_START_WARM);
    EXPECT_EQ(rows[1].drifted, 1);
    EXPECT_NE(std::string(rows[1].reason).find("drifted"), std::string::npos) << rows[1].reason;
    EXPECT_EQ(rows[2].start, TVR_START_COLD);
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    ASSERT_EQ(tvr_recipe_get(store.store, "bolt", "cell-1", 0, &recipe), TVR_OK);
    EXPECT_EQ(recipe.drifted, result.outcome == TVK_TUNED ? 0 : 1);
}

TEST(RecipeTune, CommissioningFailsAHopelessFeederAtOnce) {
    const Store store("recipes_hopeless/");
    TVK_SimRanges weak{};
    weak.size = sizeof weak;
    ASSERT_EQ(tvk_sim_default_ranges(0, &weak), TVK_OK);
    weak.gain = {0.001, 0.001};
    Cell cell(0, 0, &weak, 3, 1);
    const TVR_TuneResult result = tune(store.store, cell, 1);
    EXPECT_EQ(result.outcome, TVK_FAILED);
    EXPECT_EQ(result.start, TVR_START_COMMISSIONED);
    EXPECT_EQ(result.vibrations, result.probe_vibrations);
    EXPECT_LT(result.vibrations, 40);
    EXPECT_NE(std::string(result.reason).find("no probe moved the part"), std::string::npos)
        << result.reason;
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    EXPECT_EQ(tvr_recipe_get(store.store, "bolt", "cell-1", 0, &recipe), TVR_E_UNKNOWN);
}

TEST(RecipeTune, CommissioningFindsAResonanceOutsideTheFactoryWindow) {
    // Model 0's action 0 sweeps from 70 Hz up; this feeder resonates at 50.
    TVK_SimRanges low{};
    low.size = sizeof low;
    ASSERT_EQ(tvk_sim_default_ranges(0, &low), TVK_OK);
    low.resonance = {50, 50};
    low.half_width = {2.5, 2.5};
    const Store store("recipes_commission/");
    Cell cell(0, 0, &low, 5, 1);
    TVR_Commissioning probes{};
    probes.size = sizeof probes;
    ASSERT_EQ(tvr_commission(0, 0, Cell::camera, Cell::drive, Cell::putBack, &cell, &probes),
              TVR_OK)
        << tvr_errmsg();
    EXPECT_EQ(probes.verdict, TVK_RUNNING) << probes.reason;
    EXPECT_NEAR(probes.best_frequency, 50.0F, 4.0F) << probes.reason;
    EXPECT_LE(probes.params.u16FreInit, 50);
    EXPECT_GE(probes.params.u16FreMax, 50);
    EXPECT_EQ(probes.probe_vibrations, cell.vibrations);
    const TVR_TuneResult result = tune(store.store, cell, 1);
    EXPECT_EQ(result.outcome, TVK_TUNED) << result.reason;
    EXPECT_EQ(result.start, TVR_START_COMMISSIONED);
}

TEST(RecipeTune, TheStoresOwnHistoryEndsAHopelessTuning) {
    const Store store("recipes_fleet/");
    const auto tuneAs = [&](Cell &cell, const char *feeder, int fleetVerdict) {
        TVR_TuneConfig config = cell.config("bolt", feeder, 0);
        config.fleet_verdict = fleetVerdict;
        TVR_TuneResult result{};
        result.size = sizeof result;
        EXPECT_EQ(tvr_tune(store.store, &config, &result), TVR_OK) << tvr_errmsg();
        return result;
    };
    std::vector<int> tuned;
    for (int i = 0; i < 20; ++i) {
        Cell cell(0, 0, nullptr, 100 + i, 1);
        const TVR_TuneResult result = tuneAs(cell, ("cell-" + std::to_string(i)).c_str(), 1);
        if (result.outcome == TVK_TUNED) {
            tuned.push_back(result.vibrations);
        }
    }
    ASSERT_EQ(tuned.size(), 20U);
    std::sort(tuned.begin(), tuned.end());
    const int p90 = tuned[17];
    // Resonance far below the factory window: the library alone never tunes it.
    TVK_SimRanges low{};
    low.size = sizeof low;
    ASSERT_EQ(tvk_sim_default_ranges(0, &low), TVK_OK);
    low.resonance = {40, 40};
    Cell hopeless(0, 0, &low, 5, 1);
    const TVR_TuneResult ended = tuneAs(hopeless, "hopeless", 1);
    EXPECT_EQ(ended.outcome, TVK_FAILED);
    EXPECT_EQ(ended.vibrations, 2 * p90 + 1) << ended.reason;
    EXPECT_NE(std::string(ended.reason).find("90th percentile (" + std::to_string(p90)),
              std::string::npos)
        << ended.reason;
    Cell again(0, 0, &low, 5, 1);
    EXPECT_GT(tuneAs(again, "hopeless-2", 0).vibrations, 2 * p90 + 1);
}

TEST(RecipeTune, RefusesAFeederOfAnotherModel) {
    const Store store("recipes_model/");
    ASSERT_EQ(tvr_feeder_add(store.store, "cell-1", 1), TVR_OK);
    Cell cell(0, 0, nullptr, 1, 1);
    TVR_TuneResult result{};
    result.size = sizeof result;
    const TVR_TuneConfig config = cell.config("bolt", "cell-1", 0);
    EXPECT_EQ(tvr_tune(store.store, &config, &result), TVR_E_MODEL);
    EXPECT_EQ(cell.vibrations, 0);
    EXPECT_TRUE(history(store.store).empty());
}

} // namespace
