// Recipes as JSON, to move them between cells: built and read by SQLite's
// own JSON functions.
#include "internal.h"

#include <cstdlib>

namespace {

constexpr const char *kFormat = "tavrel-recipes";
constexpr int kFormatVersion = 1;

constexpr const char *kExport =
    "SELECT json_object('format', ?3, 'version', ?4, 'recipes',"
    " (SELECT json_group_array(json_object('part', part, 'feeder', feeder,"
    "   'model', (SELECT model FROM feeders WHERE id = feeder), 'action', action,"
    "   'words', json(words), 'run_ms', run_ms,"
    "   'params', json_object('amp_init', amp_init, 'amp_max', amp_max, 'fre_init', fre_init,"
    "     'fre_max', fre_max, 'run_time', run_time),"
    "   'tuned_at', tuned_at, 'library_version', library_version, 'vibrations', vibrations,"
    "   'outcome', outcome, 'drifted', drifted))"
    "  FROM (SELECT * FROM recipes WHERE (?1 IS NULL OR part = ?1) AND (?2 IS NULL OR feeder = ?2)"
    "   ORDER BY part, feeder, action)))";

// The fields of one recipe of an export, each with its JSON type.
constexpr const char *kFields =
    "SELECT json_extract(value, '$.part'), json_type(value, '$.part'),"
    " json_extract(value, '$.feeder'), json_type(value, '$.feeder'),"
    " json_extract(value, '$.model'), json_type(value, '$.model'),"
    " json_extract(value, '$.action'), json_type(value, '$.action'),"
    " json_extract(value, '$.words'),"
    " json_extract(value, '$.run_ms'), json_type(value, '$.run_ms'),"
    " json_extract(value, '$.params.amp_init'), json_type(value, '$.params.amp_init'),"
    " json_extract(value, '$.params.amp_max'), json_type(value, '$.params.amp_max'),"
    " json_extract(value, '$.params.fre_init'), json_type(value, '$.params.fre_init'),"
    " json_extract(value, '$.params.fre_max'), json_type(value, '$.params.fre_max'),"
    " json_extract(value, '$.params.run_time'), json_type(value, '$.params.run_time'),"
    " json_extract(value, '$.tuned_at'), json_type(value, '$.tuned_at'),"
    " json_extract(value, '$.library_version'), json_type(value, '$.library_version'),"
    " json_extract(value, '$.vibrations'), json_type(value, '$.vibrations'),"
    " json_extract(value, '$.outcome'), json_type(value, '$.outcome'),"
    " json_extract(value, '$.drifted'), json_type(value, '$.drifted')"
    " FROM json_each(?1, '$.recipes') ORDER BY key";

// Reads an integer field (value at column, its type beside it) in lo..hi.
bool integerField(const tvr::Statement &row, int column, std::int64_t lo, std::int64_t hi,
                  std::int64_t *value) {
    if (row.columnText(column + 1) != "integer") {
        return false;
    }
    *value = row.column(column);
    return *value >= lo && *value <= hi;
}

bool wordField(const tvr::Statement &row, int column, unsigned short *word) {
    std::int64_t value = 0;
    if (!integerField(row, column, 0, 65535, &value)) {
        return false;
    }
    *word = static_cast<unsigned short>(value);
    return true;
}

bool textField(const tvr::Statement &row, int column, std::size_t max, std::string *text) {
    *text = row.columnText(column);
    return row.columnText(column + 1) == "text" && !text->empty() && text->size() < max;
}

// One recipe of an export, or the name of its first bad field.
const char *readRecipe(sqlite3 *db, const tvr::Statement &row, TVR_Recipe *recipe) {
    std::string part;
    std::string feeder;
    std::string version;
    std::int64_t value = 0;
    if (!textField(row, 0, TVR_NAME_MAX, &part)) {
        return "part";
    }
    if (!textField(row, 2, TVR_NAME_MAX, &feeder)) {
        return "feeder";
    }
    tvr::copyText(recipe->part, part);
    tvr::copyText(recipe->feeder, feeder);
    if (!integerField(row, 4, 0, TVK_MODEL_COUNT - 1, &value)) {
        return "model";
    }
    recipe->model = static_cast<int32_t>(value);
    if (!integerField(row, 6, 0, TVK_ACTION_COUNT - 1, &value)) {
        return "action";
    }
    recipe->action = static_cast<int32_t>(value);
    recipe->command.enAct = recipe->action;
    if (!tvr::wordsFromJson(db, row.columnText(8), &recipe->command)) {
        return "words";
    }
    ST_HostLogicParam &params = recipe->params;
    if (!wordField(row, 9, &recipe->command.u16RunTim)) {
        return "run_ms";
    }
    if (!wordField(row, 11, &params.u16AmpInit) || !wordField(row, 13, &params.u16AmpMax) ||
        !wordField(row, 15, &params.u16FreInit) || !wordField(row, 17, &params.u16FreMax) ||
        !wordField(row, 19, &params.u16FedRunTim)) {
        return "params";
    }
    if (!integerField(row, 21, 0, INT64_MAX, &recipe->tuned_at)) {
        return "tuned_at";
    }
    if (!textField(row, 23, TVR_VERSION_MAX, &version)) {
        return "library_version";
    }
    tvr::copyText(recipe->library_version, version);
    if (!integerField(row, 25, 0, INT32_MAX, &value)) {
        return "vibrations";
    }
    recipe->vibrations = static_cast<int32_t>(value);
    if (!integerField(row, 27, TVK_RUNNING, TVK_STOPPED, &value)) {
        return "outcome";
    }
    recipe->outcome = static_cast<int32_t>(value);
    if (!integerField(row, 29, 0, 1, &value)) {
        return "drifted";
    }
    recipe->drifted = static_cast<int32_t>(value);
    return nullptr;
}

int refuseDocument(sqlite3 *db, const char *json) {
    tvr::Statement head(db, "SELECT json_valid(?1), json_extract(?1, '$.format'),"
                            " json_type(?1, '$.version'), json_extract(?1, '$.version'),"
                            " json_type(?1, '$.recipes')");
    if (!head.ok()) {
        return tvr::failDb(db, "tvr_import_json");
    }
    head.text(1, json);
    if (head.step() != SQLITE_ROW || head.column(0) != 1) {
        return tvr::fail(TVR_E_FORMAT, "tvr_import_json: the text is not JSON");
    }
    if (head.columnText(1) != kFormat) {
        return tvr::fail(TVR_E_FORMAT,
                         std::string("tvr_import_json: format is not '") + kFormat + "'");
    }
    if (head.columnText(2) != "integer" || head.column(3) < 1 || head.column(3) > kFormatVersion) {
        return tvr::fail(TVR_E_FORMAT, "tvr_import_json: version '" + head.columnText(3) +
                                           "' is not one this release reads (1)");
    }
    if (head.columnText(4) != "array") {
        return tvr::fail(TVR_E_FORMAT, "tvr_import_json: recipes is not an array");
    }
    return TVR_OK;
}

int saveImported(sqlite3 *db, const TVR_Recipe &recipe) {
    int result = tvr::registerFeeder(db, "tvr_import_json", recipe.feeder, recipe.model);
    if (result == TVR_OK) {
        result = tvr::registerPart(db, recipe.part);
    }
    if (result == TVR_OK) {
        result = tvr::writeRecipe(db, recipe);
    }
    if (result != TVR_OK) {
        return result;
    }
    TVR_Tuning tuning{};
    tuning.size = sizeof tuning;
    tvr::copyText(tuning.part, recipe.part);
    tvr::copyText(tuning.feeder, recipe.feeder);
    tuning.model = recipe.model;
    tuning.action = recipe.action;
    tuning.start = TVR_START_IMPORTED;
    tuning.outcome = recipe.outcome;
    tuning.vibrations = recipe.vibrations;
    tuning.drifted = recipe.drifted;
    tuning.command = recipe.command;
    tuning.params = recipe.params;
    tvr::copyText(tuning.library_version, recipe.library_version);
    tvr::copyText(tuning.reason, "imported");
    return tvr::writeHistory(db, tuning);
}

int importAll(sqlite3 *db, const char *json, int32_t *count) {
    tvr::Statement rows(db, kFields);
    if (!rows.ok()) {
        return tvr::failDb(db, "tvr_import_json");
    }
    rows.text(1, json);
    int row = 0;
    while ((row = rows.step()) == SQLITE_ROW) {
        TVR_Recipe recipe{};
        recipe.size = sizeof recipe;
        const char *bad = readRecipe(db, rows, &recipe);
        if (bad != nullptr) {
            return tvr::fail(TVR_E_FORMAT, "tvr_import_json: recipe " + std::to_string(*count) +
                                               ": " + bad + " is missing or out of range");
        }
        const int result = saveImported(db, recipe);
        if (result != TVR_OK) {
            return result;
        }
        ++*count;
    }
    return row == SQLITE_DONE ? TVR_OK : tvr::failDb(db, "tvr_import_json");
}

} // namespace

extern "C" {

int tvr_export_json(TVR_Store *store, const char *part, const char *feeder, char **json,
                    size_t *length) {
    constexpr const char *kFunction = "tvr_export_json";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(part, feeder, 0, false);
    if (result == TVR_OK && json == nullptr) {
        result = tvr::fail(TVR_E_ARG, "tvr_export_json: json is null");
    }
    if (result != TVR_OK) {
        return result;
    }
    *json = nullptr;
    tvr::Statement select(call.db(), kExport);
    if (!select.ok()) {
        return tvr::failDb(call.db(), kFunction);
    }
    select.text(1, part);
    select.text(2, feeder);
    select.text(3, kFormat);
    select.integer(4, kFormatVersion);
    if (select.step() != SQLITE_ROW) {
        return tvr::failDb(call.db(), kFunction);
    }
    const std::string text = select.columnText(0);
    auto *copy = static_cast<char *>(std::malloc(text.size() + 1));
    if (copy == nullptr) {
        return tvr::fail(TVR_E_NOMEM, "tvr_export_json: out of memory");
    }
    std::memcpy(copy, text.c_str(), text.size() + 1);
    *json = copy;
    if (length != nullptr) {
        *length = text.size();
    }
    return TVR_OK;
}

int tvr_import_json(TVR_Store *store, const char *json, int32_t *imported) {
    constexpr const char *kFunction = "tvr_import_json";
    const tvr::StoreCall call(store, kFunction);
    int result = call.refusal(nullptr, nullptr, 0, false);
    if (result == TVR_OK && json == nullptr) {
        result = tvr::fail(TVR_E_ARG, "tvr_import_json: json is null");
    }
    if (result == TVR_OK) {
        result = refuseDocument(call.db(), json);
    }
    if (result != TVR_OK) {
        return result;
    }
    tvr::Transaction transaction(call.db());
    int32_t count = 0;
    result = transaction.begun();
    if (result == TVR_OK) {
        result = importAll(call.db(), json, &count);
    }
    if (result == TVR_OK) {
        result = transaction.commit();
    }
    if (result == TVR_OK && imported != nullptr) {
        *imported = count;
    }
    return result;
}

void tvr_free(void *memory) {
    std::free(memory);
}

} // extern "C"
