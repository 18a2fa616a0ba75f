// Parts, feeders, recipes and the history: reading and writing rows.
#include "internal.h"

namespace {

constexpr const char *kRecipeColumns =
    "part, feeder, (SELECT model FROM feeders WHERE id = feeder), action, words, run_ms,"
    " amp_init, amp_max, fre_init, fre_max, run_time, tuned_at, library_version, vibrations,"
    " outcome, drifted";

void bindParams(tvr::Statement &statement, int first, const ST_HostLogicParam &params) {
    statement.integer(first, params.u16AmpInit);
    statement.integer(first + 1, params.u16AmpMax);
    statement.integer(first + 2, params.u16FreInit);
    statement.integer(first + 3, params.u16FreMax);
    statement.integer(first + 4, params.u16FedRunTim);
}

ST_HostLogicParam columnParams(const tvr::Statement &statement, int first) {
    ST_HostLogicParam params{};
    params.u16AmpInit = static_cast<unsigned short>(statement.column(first));
    params.u16AmpMax = static_cast<unsigned short>(statement.column(first + 1));
    params.u16FreInit = static_cast<unsigned short>(statement.column(first + 2));
    params.u16FreMax = static_cast<unsigned short>(statement.column(first + 3));
    params.u16FedRunTim = static_cast<unsigned short>(statement.column(first + 4));
    return params;
}

ST_HostFedColC columnCommand(sqlite3 *db, const tvr::Statement &statement, int action, int words) {
    ST_HostFedColC command{};
    command.enAct = action;
    (void)tvr::wordsFromJson(db, statement.columnText(words), &command);
    command.u16RunTim = static_cast<unsigned short>(statement.column(words + 1));
    return command;
}

// One row of kRecipeColumns.
TVR_Recipe recipeRow(sqlite3 *db, const tvr::Statement &row) {
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    tvr::copyText(recipe.part, row.columnText(0));
    tvr::copyText(recipe.feeder, row.columnText(1));
    recipe.model = static_cast<int32_t>(row.column(2));
    recipe.action = static_cast<int32_t>(row.column(3));
    recipe.command = columnCommand(db, row, recipe.action, 4);
    recipe.params = columnParams(row, 6);
    recipe.tuned_at = row.column(11);
    tvr::copyText(recipe.library_version, row.columnText(12));
    recipe.vibrations = static_cast<int32_t>(row.column(13));
    recipe.outcome = static_cast<int32_t>(row.column(14));
    recipe.drifted = static_cast<int32_t>(row.column(15));
    return recipe;
}

constexpr const char *kHistoryColumns =
    "id, part, feeder, model, action, at, start, outcome, vibrations, probe_vibrations, drifted,"
    " words, run_ms, amp_init, amp_max, fre_init, fre_max, run_time, library_version, reason";

TVR_Tuning historyRow(sqlite3 *db, const tvr::Statement &row) {
    TVR_Tuning tuning{};
    tuning.size = sizeof tuning;
    tuning.id = row.column(0);
    tvr::copyText(tuning.part, row.columnText(1));
    tvr::copyText(tuning.feeder, row.columnText(2));
    tuning.model = static_cast<int32_t>(row.column(3));
    tuning.action = static_cast<int32_t>(row.column(4));
    tuning.at = row.column(5);
    tuning.start = static_cast<int32_t>(row.column(6));
    tuning.outcome = static_cast<int32_t>(row.column(7));
    tuning.vibrations = static_cast<int32_t>(row.column(8));
    tuning.probe_vibrations = static_cast<int32_t>(row.column(9));
    tuning.drifted = static_cast<int32_t>(row.column(10));
    tuning.command = columnCommand(db, row, tuning.action, 11);
    tuning.params = columnParams(row, 13);
    tvr::copyText(tuning.library_version, row.columnText(18));
    tvr::copyText(tuning.reason, row.columnText(19));
    return tuning;
}

int unknownRecipe(const char *function, const char *part, const char *feeder, int action) {
    return tvr::fail(TVR_E_UNKNOWN,
                     std::string(function) + ": no recipe for part '" + part + "' on feeder '" +
                         feeder + "'" +
                         (action >= 0 ? ", action " + std::to_string(action) : std::string()));
}

} // namespace

namespace tvr {

int registerFeeder(sqlite3 *db, const char *function, const char *feeder, int model) {
    if (model < 0 || model >= TVK_MODEL_COUNT) {
        return fail(TVR_E_ARG,
                    std::string(function) + ": model " + std::to_string(model) + " is not 0..2");
    }
    Statement insert(db, "INSERT INTO feeders(id, model) VALUES(?1, ?2) ON CONFLICT DO NOTHING");
    Statement known(db, "SELECT model FROM feeders WHERE id = ?1");
    if (!insert.ok() || !known.ok()) {
        return failDb(db, function);
    }
    insert.text(1, feeder);
    insert.integer(2, model);
    known.text(1, feeder);
    if (insert.step() != SQLITE_DONE || known.step() != SQLITE_ROW) {
        return failDb(db, function);
    }
    if (known.column(0) != model) {
        return fail(TVR_E_MODEL, std::string(function) + ": feeder '" + feeder +
                                     "' is in the store with model " +
                                     std::to_string(known.column(0)) + ", not " +
                                     std::to_string(model));
    }
    return TVR_OK;
}

int registerPart(sqlite3 *db, const char *part) {
    Statement insert(db, "INSERT INTO parts(name) VALUES(?1) ON CONFLICT DO NOTHING");
    if (!insert.ok()) {
        return failDb(db, "part");
    }
    insert.text(1, part);
    return insert.step() == SQLITE_DONE ? TVR_OK : failDb(db, "part");
}

int writeRecipe(sqlite3 *db, const TVR_Recipe &recipe) {
    Statement insert(db, "INSERT OR REPLACE INTO recipes(part, feeder, action, words, run_ms,"
                         " amp_init, amp_max, fre_init, fre_max, run_time, tuned_at,"
                         " library_version, vibrations, outcome, drifted)"
                         " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14,"
                         " ?15)");
    if (!insert.ok()) {
        return failDb(db, "recipe");
    }
    insert.text(1, recipe.part);
    insert.text(2, recipe.feeder);
    insert.integer(3, recipe.action);
    insert.text(4, wordsJson(recipe.command).c_str());
    insert.integer(5, recipe.command.u16RunTim);
    bindParams(insert, 6, recipe.params);
    insert.integer(11, recipe.tuned_at != 0 ? recipe.tuned_at : now());
    insert.text(12,
                recipe.library_version[0] != '\0' ? recipe.library_version : TAVREL_VERSION_STRING);
    insert.integer(13, recipe.vibrations);
    insert.integer(14, recipe.outcome);
    insert.integer(15, recipe.drifted != 0 ? 1 : 0);
    return insert.step() == SQLITE_DONE ? TVR_OK : failDb(db, "recipe");
}

int writeHistory(sqlite3 *db, const TVR_Tuning &tuning) {
    Statement insert(db, "INSERT INTO history(part, feeder, model, action, at, start, outcome,"
                         " vibrations, probe_vibrations, drifted, words, run_ms, amp_init,"
                         " amp_max, fre_init, fre_max, run_time, library_version, reason)"
                         " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14,"
                         " ?15, ?16, ?17, ?18, ?19)");
    if (!insert.ok()) {
        return failDb(db, "history");
    }
    insert.text(1, tuning.part);
    insert.text(2, tuning.feeder);
    insert.integer(3, tuning.model);
    insert.integer(4, tuning.action);
    insert.integer(5, tuning.at != 0 ? tuning.at : now());
    insert.integer(6, tuning.start);
    insert.integer(7, tuning.outcome);
    insert.integer(8, tuning.vibrations);
    insert.integer(9, tuning.probe_vibrations);
    insert.integer(10, tuning.drifted != 0 ? 1 : 0);
    insert.text(11, wordsJson(tuning.command).c_str());
    insert.integer(12, tuning.command.u16RunTim);
    bindParams(insert, 13, tuning.params);
    insert.text(18,
                tuning.library_version[0] != '\0' ? tuning.library_version : TAVREL_VERSION_STRING);
    insert.text(19, tuning.reason);
    return insert.step() == SQLITE_DONE ? TVR_OK : failDb(db, "history");
}

int markDrifted(sqlite3 *db, const char *function, const char *part, const char *feeder,
                int action) {
    Statement update(db, "UPDATE recipes SET drifted = 1 WHERE part = ?1 AND feeder = ?2 AND"
                         " action = ?3");
    if (!update.ok()) {
        return failDb(db, function);
    }
    update.text(1, part);
    update.text(2, feeder);
    update.integer(3, action);
    if (update.step() != SQLITE_DONE) {
        return failDb(db, function);
    }
    return sqlite3_changes(db) > 0 ? TVR_OK : unknownRecipe(function, part, feeder, action);
}

int readRecipe(sqlite3 *db, const char *function, const char *part, const char *feeder, int action,
               TVR_Recipe *out) {
    const std::string sql = std::string("SELECT ") + kRecipeColumns +
                            " FROM recipes WHERE part = ?1 AND feeder = ?2 AND action = ?3";
    Statement select(db, sql.c_str());
    if (!select.ok()) {
        return failDb(db, function);
    }
    select.text(1, part);
    select.text(2, feeder);
    select.integer(3, action);
    const int row = select.step();
    if (row == SQLITE_DONE) {
        return unknownRecipe(function, part, feeder, action);
    }
    if (row != SQLITE_ROW) {
        return failDb(db, function);
    }
    *out = recipeRow(db, select);
    return TVR_OK;
}

} // namespace tvr

extern "C" {

int tvr_feeder_add(TVR_Store *store, const char *feeder, int model) {
    constexpr const char *kFunction = "tvr_feeder_add";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(nullptr, feeder, 0, false);
    if (result == TVR_OK && feeder == nullptr) {
        result = tvr::checkName(kFunction, "feeder", feeder);
    }
    if (result != TVR_OK) {
        return result;
    }
    tvr::Transaction transaction(call.db());
    result = transaction.begun();
    if (result == TVR_OK) {
        result = tvr::registerFeeder(call.db(), kFunction, feeder, model);
    }
    return result == TVR_OK ? transaction.commit() : result;
}

int tvr_feeder_model(TVR_Store *store, const char *feeder) {
    constexpr const char *kFunction = "tvr_feeder_model";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(nullptr, feeder, 0, false);
    if (result == TVR_OK && feeder == nullptr) {
        result = tvr::checkName(kFunction, "feeder", feeder);
    }
    if (result != TVR_OK) {
        return result;
    }
    tvr::Statement select(call.db(), "SELECT model FROM feeders WHERE id = ?1");
    if (!select.ok()) {
        return tvr::failDb(call.db(), kFunction);
    }
    select.text(1, feeder);
    const int row = select.step();
    if (row == SQLITE_ROW) {
        return static_cast<int>(select.column(0));
    }
    return row == SQLITE_DONE ? tvr::fail(TVR_E_UNKNOWN, std::string(kFunction) + ": no feeder '" +
                                                             feeder + "' in the store")
                              : tvr::failDb(call.db(), kFunction);
}

int tvr_recipe_get(TVR_Store *store, const char *part, const char *feeder, int action,
                   TVR_Recipe *out) {
    constexpr const char *kFunction = "tvr_recipe_get";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, action, false);
    if (result == TVR_OK && (part == nullptr || feeder == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_recipe_get: part or feeder is null");
    }
    if (result == TVR_OK) {
        result = tvr::checkRecordOut(kFunction, "out", out, sizeof(TVR_Recipe));
    }
    TVR_Recipe recipe{};
    if (result == TVR_OK) {
        result = tvr::readRecipe(call.db(), kFunction, part, feeder, action, &recipe);
    }
    if (result == TVR_OK) {
        tvr::writeRecord(recipe, out);
    }
    return result;
}

int tvr_recipe_put(TVR_Store *store, const TVR_Recipe *recipe) {
    constexpr const char *kFunction = "tvr_recipe_put";
    const tvr::StoreCall call(store, kFunction);
    TVR_Recipe full{};
    int result = call.refusal(nullptr, nullptr, 0, false);
    if (result == TVR_OK) {
        result = tvr::readRecord(kFunction, "recipe", recipe, &full);
    }
    if (result == TVR_OK) {
        full.part[TVR_NAME_MAX - 1] = '\0';
        full.feeder[TVR_NAME_MAX - 1] = '\0';
        result = call.refusal(full.part, full.feeder, full.action, false);
    }
    if (result != TVR_OK) {
        return result;
    }
    tvr::Transaction transaction(call.db());
    result = transaction.begun();
    if (result == TVR_OK) {
        result = tvr::registerFeeder(call.db(), kFunction, full.feeder, full.model);
    }
    if (result == TVR_OK) {
        result = tvr::registerPart(call.db(), full.part);
    }
    if (result == TVR_OK) {
        result = tvr::writeRecipe(call.db(), full);
    }
    if (result == TVR_OK) {
        TVR_Tuning tuning{};
        tuning.size = sizeof tuning;
        tvr::copyText(tuning.part, full.part);
        tvr::copyText(tuning.feeder, full.feeder);
        tuning.model = full.model;
        tuning.action = full.action;
        tuning.at = full.tuned_at;
        tuning.start = TVR_START_SAVED;
        tuning.outcome = full.outcome;
        tuning.vibrations = full.vibrations;
        tuning.drifted = full.drifted;
        tuning.command = full.command;
        tuning.params = full.params;
        tvr::copyText(tuning.library_version, full.library_version);
        tvr::copyText(tuning.reason, "saved by the host");
        result = tvr::writeHistory(call.db(), tuning);
    }
    return result == TVR_OK ? transaction.commit() : result;
}

int tvr_recipe_delete(TVR_Store *store, const char *part, const char *feeder, int action) {
    constexpr const char *kFunction = "tvr_recipe_delete";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, action, true);
    if (result == TVR_OK && (part == nullptr || feeder == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_recipe_delete: part or feeder is null");
    }
    if (result != TVR_OK) {
        return result;
    }
    tvr::Statement remove(call.db(), "DELETE FROM recipes WHERE part = ?1 AND feeder = ?2 AND"
                                     " (?3 < 0 OR action = ?3)");
    if (!remove.ok()) {
        return tvr::failDb(call.db(), kFunction);
    }
    remove.text(1, part);
    remove.text(2, feeder);
    remove.integer(3, action);
    if (remove.step() != SQLITE_DONE) {
        return tvr::failDb(call.db(), kFunction);
    }
    return sqlite3_changes(call.db()) > 0 ? TVR_OK : unknownRecipe(kFunction, part, feeder, action);
}

int tvr_recipe_mark_drifted(TVR_Store *store, const char *part, const char *feeder, int action) {
    constexpr const char *kFunction = "tvr_recipe_mark_drifted";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, action, false);
    if (result == TVR_OK && (part == nullptr || feeder == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_recipe_mark_drifted: part or feeder is null");
    }
    return result == TVR_OK ? tvr::markDrifted(call.db(), kFunction, part, feeder, action) : result;
}

int tvr_recipe_list(TVR_Store *store, const char *part, const char *feeder, TVR_RecipeFn fn,
                    void *user) {
    constexpr const char *kFunction = "tvr_recipe_list";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, 0, false);
    if (result == TVR_OK && fn == nullptr) {
        result = tvr::fail(TVR_E_ARG, "tvr_recipe_list: fn is null");
    }
    if (result != TVR_OK) {
        return result;
    }
    const std::string sql = std::string("SELECT ") + kRecipeColumns +
                            " FROM recipes WHERE (?1 IS NULL OR part = ?1) AND"
                            " (?2 IS NULL OR feeder = ?2) ORDER BY part, feeder, action";
    tvr::Statement select(call.db(), sql.c_str());
    if (!select.ok()) {
        return tvr::failDb(call.db(), kFunction);
    }
    select.text(1, part);
    select.text(2, feeder);
    int row = 0;
    while ((row = select.step()) == SQLITE_ROW) {
        const TVR_Recipe recipe = recipeRow(call.db(), select);
        if (fn(user, &recipe) != 0) {
            return TVR_OK;
        }
    }
    return row == SQLITE_DONE ? TVR_OK : tvr::failDb(call.db(), kFunction);
}

int tvr_history(TVR_Store *store, const char *part, const char *feeder, int action, TVR_TuningFn fn,
                void *user) {
    constexpr const char *kFunction = "tvr_history";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, action, true);
    if (result == TVR_OK && fn == nullptr) {
        result = tvr::fail(TVR_E_ARG, "tvr_history: fn is null");
    }
    if (result != TVR_OK) {
        return result;
    }
    const std::string sql = std::string("SELECT ") + kHistoryColumns +
                            " FROM history WHERE (?1 IS NULL OR part = ?1) AND"
                            " (?2 IS NULL OR feeder = ?2) AND (?3 < 0 OR action = ?3) ORDER BY id";
    tvr::Statement select(call.db(), sql.c_str());
    if (!select.ok()) {
        return tvr::failDb(call.db(), kFunction);
    }
    select.text(1, part);
    select.text(2, feeder);
    select.integer(3, action);
    int row = 0;
    while ((row = select.step()) == SQLITE_ROW) {
        const TVR_Tuning tuning = historyRow(call.db(), select);
        if (fn(user, &tuning) != 0) {
            return TVR_OK;
        }
    }
    return row == SQLITE_DONE ? TVR_OK : tvr::failDb(call.db(), kFunction);
}

int tvr_production_command(TVR_Store *store, const char *part, const char *feeder, int action,
                           ST_HostFedColC *out) {
    constexpr const char *kFunction = "tvr_production_command";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, action, false);
    if (result == TVR_OK && (part == nullptr || feeder == nullptr || out == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_production_command: part, feeder or out is null");
    }
    TVR_Recipe recipe{};
    if (result == TVR_OK) {
        result = tvr::readRecipe(call.db(), kFunction, part, feeder, action, &recipe);
    }
    if (result == TVR_OK && recipe.drifted != 0) {
        result = tvr::fail(TVR_E_DRIFTED, std::string(kFunction) + ": the recipe of part '" + part +
                                              "' on feeder '" + feeder + "', action " +
                                              std::to_string(action) + " is marked drifted");
    }
    if (result == TVR_OK) {
        *out = recipe.command;
    }
    return result;
}

} // extern "C"
