// The cell's tuning: a re-tune from the recipe, the drift check, the full
// tuning it falls back to (after the probes when asked), and what is kept.
#include "internal.h"

#include <vector>

namespace {

// One session as it ended.
struct SessionEnd {
    int outcome = TVK_RUNNING;
    int vibrations = 0;
    ST_HostFedColC command{};
    ST_HostLogicParam params{};
    std::string reason;
};

int kitFailure(const char *what, int code) {
    const std::string message = tvk_errmsg();
    return tvr::fail(TVR_E_KIT, std::string("tvr_tune: ") + what + ": " +
                                    (message.empty() ? tvk_strerror(code) : message));
}

// Ends the kit's session when it goes.
class KitSession {
  public:
    KitSession() = default;
    KitSession(const KitSession &) = delete;
    KitSession &operator=(const KitSession &) = delete;
    ~KitSession() {
        (void)tvk_session_end(session_);
    }
    TVK_Session **out() {
        return &session_;
    }
    TVK_Session *get() const {
        return session_;
    }

  private:
    TVK_Session *session_ = nullptr;
};

// A cap on a session's vibrations: past limit (0: none) the session is
// ended with outcome and reason.
struct Cap {
    int limit = 0;
    int outcome = TVK_STOPPED;
    std::string reason;
};

// Steps until the outcome is decided, or the cap ends it. params null: the
// factory window.
int runSession(const TVR_TuneConfig &config, const ST_HostLogicParam *params, const Cap &cap,
               SessionEnd *end) {
    TVK_SessionConfig session;
    tvk_session_config_init(&session, config.model, config.action);
    session.max_steps = config.max_steps;
    session.verdict_sweeps = config.verdict_sweeps;
    session.camera = config.camera;
    session.feeder = config.drive;
    session.user = config.user;
    // Each session starts with the part where a tuning starts, also after
    // a warm start ended with the part anywhere.
    if (config.put_back != nullptr) {
        config.put_back(config.user);
    }
    KitSession kit;
    int result = tvk_session_start(&session, kit.out());
    if (result != TVK_OK) {
        return kitFailure("session start", result);
    }
    end->params = TVLLogicParamRe();
    if (params != nullptr) {
        result = tvk_session_set_params(kit.get(), params);
        if (result != TVK_OK) {
            return kitFailure("host parameters", result);
        }
        end->params = *params;
    }
    TVK_StepReport report{};
    report.size = sizeof report;
    do {
        result = tvk_session_step(kit.get(), &report);
        if (result != TVK_OK) {
            return kitFailure("step", result);
        }
        if (report.outcome == TVK_RUNNING && cap.limit > 0 && report.vibrations > cap.limit) {
            (void)tvk_session_command(kit.get(), TVL_CMD_END);
            report.outcome = cap.outcome;
            tvr::copyText(report.reason, cap.reason);
        } else if ((report.events & TVK_EV_ARRIVED) != 0 && config.put_back != nullptr) {
            config.put_back(config.user);
        }
    } while (report.outcome == TVK_RUNNING);
    end->outcome = report.outcome;
    end->vibrations = report.vibrations;
    end->command = report.command;
    end->reason = report.reason;
    return TVR_OK;
}

TVR_Tuning historyOf(const TVR_TuneConfig &config, int start, const SessionEnd &end) {
    TVR_Tuning tuning{};
    tuning.size = sizeof tuning;
    tvr::copyText(tuning.part, config.part);
    tvr::copyText(tuning.feeder, config.feeder);
    tuning.model = config.model;
    tuning.action = config.action;
    tuning.start = start;
    tuning.outcome = end.outcome;
    tuning.vibrations = end.vibrations;
    tuning.command = end.command;
    tuning.params = end.params;
    tvr::copyText(tuning.reason, end.reason);
    return tuning;
}

// The history row of a session and, when it tuned, the recipe it makes.
int keep(sqlite3 *db, const TVR_Tuning &tuning) {
    tvr::Transaction transaction(db);
    int result = transaction.begun();
    if (result == TVR_OK) {
        result = tvr::writeHistory(db, tuning);
    }
    if (result == TVR_OK && tuning.outcome == TVK_TUNED) {
        TVR_Recipe recipe{};
        recipe.size = sizeof recipe;
        tvr::copyText(recipe.part, tuning.part);
        tvr::copyText(recipe.feeder, tuning.feeder);
        recipe.model = tuning.model;
        recipe.action = tuning.action;
        recipe.command = tuning.command;
        recipe.params = tuning.params;
        recipe.vibrations = tuning.vibrations;
        recipe.outcome = tuning.outcome;
        result = tvr::writeRecipe(db, recipe);
    }
    if (result == TVR_OK && tuning.drifted != 0) {
        result = tvr::markDrifted(db, "tvr_tune", tuning.part, tuning.feeder, tuning.action);
    }
    return result == TVR_OK ? transaction.commit() : result;
}

int registerBoth(sqlite3 *db, const TVR_TuneConfig &config) {
    tvr::Transaction transaction(db);
    int result = transaction.begun();
    if (result == TVR_OK) {
        result = tvr::registerFeeder(db, "tvr_tune", config.feeder, config.model);
    }
    if (result == TVR_OK) {
        result = tvr::registerPart(db, config.part);
    }
    return result == TVR_OK ? transaction.commit() : result;
}

void record(TVR_TuneResult &result, int start, const SessionEnd &end) {
    result.outcome = end.outcome;
    result.start = start;
    result.vibrations += end.vibrations;
    result.command = end.command;
    result.params = end.params;
    tvr::copyText(result.reason, end.reason);
}

// The re-tune from a recipe: true when it worked.
int warmStart(sqlite3 *db, const TVR_TuneConfig &config, const TVR_Recipe &recipe,
              TVR_TuneResult &result, bool *worked) {
    ST_HostLogicParam params{};
    int outcome = tvr_warm_params(&recipe, &params);
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    if (outcome == TVR_OK && tvk_geometry(config.model, config.action, &geometry) != TVK_OK) {
        outcome = kitFailure("geometry", TVK_E_LAYOUT);
    }
    if (outcome != TVR_OK) {
        return outcome;
    }
    const int limit = geometry.success_count + 1 + config.drift_margin;
    SessionEnd end;
    const Cap cap{limit, TVK_STOPPED,
                  "more than " + std::to_string(limit) +
                      " vibrations: the recipe no longer works as it is"};
    outcome = runSession(config, &params, cap, &end);
    if (outcome != TVR_OK) {
        return outcome;
    }
    *worked = end.outcome == TVK_TUNED && end.vibrations <= limit;
    result.warm = 1;
    result.warm_vibrations = end.vibrations;
    result.drifted = *worked ? 0 : 1;
    record(result, TVR_START_WARM, end);
    TVR_Tuning tuning = historyOf(config, TVR_START_WARM, end);
    tuning.drifted = result.drifted;
    if (!*worked) {
        // A drifted recipe keeps its words; only the mark changes.
        tuning.outcome = end.outcome == TVK_TUNED ? TVK_STOPPED : end.outcome;
        tvr::copyText(tuning.reason, "drifted: " + end.reason + " (" +
                                         std::to_string(end.vibrations) + " vibrations, limit " +
                                         std::to_string(limit) + ")");
    }
    return keep(db, tuning);
}

// The store's own answer to how long a full tuning of this model and action
// takes: twice the 90th percentile of the tuned ones in the history, once it
// holds kFleetSessions of them; a full tuning past it is ended as hopeless.
// The probes count against it.
constexpr int kFleetSessions = 20;

int fleetCap(sqlite3 *db, const TVR_TuneConfig &config, int probes, Cap *cap) {
    if (config.fleet_verdict == 0) {
        return TVR_OK;
    }
    tvr::Statement select(db, "SELECT vibrations FROM history WHERE model = ?1 AND action = ?2"
                              " AND outcome = ?3 AND start IN (?4, ?5) ORDER BY vibrations");
    if (!select.ok()) {
        return tvr::failDb(db, "tvr_tune: history");
    }
    select.integer(1, config.model);
    select.integer(2, config.action);
    select.integer(3, TVK_TUNED);
    select.integer(4, TVR_START_COLD);
    select.integer(5, TVR_START_COMMISSIONED);
    std::vector<std::int64_t> tuned;
    int row = 0;
    while ((row = select.step()) == SQLITE_ROW) {
        tuned.push_back(select.column(0));
    }
    if (row != SQLITE_DONE) {
        return tvr::failDb(db, "tvr_tune: history");
    }
    if (tuned.size() < static_cast<std::size_t>(kFleetSessions)) {
        return TVR_OK;
    }
    // Nearest rank.
    const std::size_t rank = (tuned.size() * 9 + 9) / 10;
    const std::int64_t p90 = tuned[rank - 1];
    cap->limit = static_cast<int>(std::max<std::int64_t>(1, 2 * p90 - probes));
    cap->outcome = TVK_FAILED;
    cap->reason = "no success within twice the 90th percentile (" + std::to_string(p90) +
                  " vibrations) of the " + std::to_string(tuned.size()) +
                  " tuned full tunings of this model and action in the store";
    return TVR_OK;
}

// The full tuning, after the probes when asked.
int coldStart(sqlite3 *db, const TVR_TuneConfig &config, TVR_TuneResult &result) {
    SessionEnd end;
    int start = TVR_START_COLD;
    TVR_Commissioning probes{};
    probes.size = sizeof probes;
    if (config.commission != 0) {
        const tvr::Host host{config.camera, config.drive, config.put_back, config.user};
        const int probed = tvr::commission(config.model, config.action, host, &probes);
        if (probed != TVR_OK) {
            return probed;
        }
        start = TVR_START_COMMISSIONED;
        result.probe_vibrations = probes.probe_vibrations;
        result.vibrations += probes.probe_vibrations;
    }
    if (probes.verdict == TVK_FAILED) {
        end.outcome = TVK_FAILED;
        end.params = probes.params;
        end.reason = probes.reason;
    } else {
        Cap cap;
        const int ran = fleetCap(db, config, probes.probe_vibrations, &cap);
        if (ran != TVR_OK) {
            return ran;
        }
        const int tuned =
            runSession(config, config.commission != 0 ? &probes.params : nullptr, cap, &end);
        if (tuned != TVR_OK) {
            return tuned;
        }
    }
    record(result, start, end);
    TVR_Tuning tuning = historyOf(config, start, end);
    tuning.probe_vibrations = probes.probe_vibrations;
    tuning.vibrations += probes.probe_vibrations;
    return keep(db, tuning);
}

int refuseConfig(const TVR_TuneConfig &config) {
    int result = tvr::checkName("tvr_tune", "config->part", config.part);
    if (result == TVR_OK) {
        result = tvr::checkName("tvr_tune", "config->feeder", config.feeder);
    }
    if (result == TVR_OK) {
        result = tvr::checkAction("tvr_tune", config.action, false);
    }
    if (result == TVR_OK && (config.camera == nullptr || config.drive == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_tune: config->camera or config->drive is null");
    }
    if (result == TVR_OK &&
        (config.max_steps < 0 || config.verdict_sweeps < 0 || config.drift_margin < 0)) {
        result =
            tvr::fail(TVR_E_ARG, "tvr_tune: max_steps, verdict_sweeps or drift_margin is negative");
    }
    return result;
}

} // namespace

namespace tvr {

int mainMotor(int model, int action) {
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    if (tvk_geometry(model, action, &geometry) != TVK_OK) {
        return -1;
    }
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        if (geometry.motor[motor] == TVK_MOTOR_MAIN) {
            return motor;
        }
    }
    return -1;
}

} // namespace tvr

extern "C" {

int tvr_warm_params(const TVR_Recipe *recipe, ST_HostLogicParam *out) {
    constexpr const char *kFunction = "tvr_warm_params";
    TVR_Recipe full{};
    int result = tvr::readRecord(kFunction, "recipe", recipe, &full);
    if (result == TVR_OK && out == nullptr) {
        result = tvr::fail(TVR_E_ARG, "tvr_warm_params: out is null");
    }
    if (result == TVR_OK && (full.model < 0 || full.model >= TVK_MODEL_COUNT)) {
        result = tvr::fail(TVR_E_ARG, "tvr_warm_params: recipe->model is not 0..2");
    }
    if (result == TVR_OK) {
        result = tvr::checkAction(kFunction, full.action, false);
    }
    if (result != TVR_OK) {
        return result;
    }
    ST_HostLogicParam params = full.params;
    const int motor = tvr::mainMotor(full.model, full.action);
    if (motor >= 0) {
        const unsigned short *words = full.command.u16MotParam[motor];
        // Initial and maximum alike: a correction after a noisy cycle finds
        // both words at their maxima and puts them back where they were.
        params.u16AmpInit = words[0];
        params.u16AmpMax = words[0];
        params.u16FreInit = words[1];
        params.u16FreMax = words[1];
    }
    *out = params;
    return TVR_OK;
}

void tvr_tune_config_init(TVR_TuneConfig *config, const char *part, const char *feeder, int model,
                          int action) {
    if (config == nullptr) {
        return;
    }
    *config = TVR_TuneConfig{};
    config->size = sizeof *config;
    config->part = part;
    config->feeder = feeder;
    config->model = model;
    config->action = action;
    config->max_steps = 3000;
    config->verdict_sweeps = 3;
    // Measured on the simulated fleet (bench/recipes.sh): a re-tune of an
    // unchanged feeder often needs a few cycles more than the fewest (a noisy
    // cycle is rejected, the part travels), and a tighter margin re-tunes
    // more of them cold for nothing.
    config->drift_margin = 16;
    config->fleet_verdict = 0;
}

int tvr_tune(TVR_Store *store, const TVR_TuneConfig *config, TVR_TuneResult *result) {
    constexpr const char *kFunction = "tvr_tune";
    const tvr::StoreCall call(store, kFunction);
    TVR_TuneConfig full{};
    tvr_tune_config_init(&full, nullptr, nullptr, 0, 0);
    int outcome = call.refusal(nullptr, nullptr, 0, false);
    if (outcome == TVR_OK) {
        outcome = tvr::readRecord(kFunction, "config", config, &full);
    }
    if (outcome == TVR_OK) {
        outcome = refuseConfig(full);
    }
    if (outcome == TVR_OK) {
        outcome = tvr::checkRecordOut(kFunction, "result", result, sizeof(TVR_TuneResult));
    }
    if (outcome == TVR_OK) {
        outcome = registerBoth(call.db(), full);
    }
    if (outcome != TVR_OK) {
        return outcome;
    }
    TVR_TuneResult done{};
    done.size = sizeof done;
    TVR_Recipe recipe{};
    outcome = tvr::readRecipe(call.db(), kFunction, full.part, full.feeder, full.action, &recipe);
    bool worked = false;
    if (outcome == TVR_OK && recipe.drifted == 0) {
        outcome = warmStart(call.db(), full, recipe, done, &worked);
    } else if (outcome == TVR_E_UNKNOWN || outcome == TVR_OK) {
        outcome = TVR_OK;
    }
    if (outcome == TVR_OK && !worked) {
        outcome = coldStart(call.db(), full, done);
    }
    tvr::writeRecord(done, result);
    return outcome;
}

} // extern "C"
