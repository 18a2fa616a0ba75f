// The recipe store: what it opens and refuses, its rows, and JSON.
#include "hostkit/scratch_files.h"
#include "tavrel_recipes.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using tvktest::freshFolder;
using tvktest::readFile;

TVR_Recipe recipeOf(const char *part, const char *feeder, int model, int action, int word) {
    TVR_Recipe recipe{};
    recipe.size = sizeof recipe;
    std::snprintf(recipe.part, sizeof recipe.part, "%s", part);
    std::snprintf(recipe.feeder, sizeof recipe.feeder, "%s", feeder);
    recipe.model = model;
    recipe.action = action;
    recipe.command.enAct = action;
    for (int motor = 0; motor < 4; ++motor) {
        recipe.command.u16MotParam[motor][0] = static_cast<unsigned short>(word + motor);
        recipe.command.u16MotParam[motor][1] = static_cast<unsigned short>(60 + motor);
    }
    recipe.command.u16RunTim = 5000;
    recipe.params.u16AmpInit = 40;
    recipe.params.u16AmpMax = 80;
    recipe.params.u16FreInit = 70;
    recipe.params.u16FreMax = 80;
    recipe.params.u16FedRunTim = 300;
    recipe.tuned_at = 1700000000;
    recipe.vibrations = 9;
    recipe.outcome = TVK_TUNED;
    return recipe;
}

// Opens a store and closes it at the end of the test.
struct OpenStore {
    explicit OpenStore(const std::string &path) {
        EXPECT_EQ(tvr_open(path.c_str(), &store), TVR_OK) << tvr_errmsg();
    }
    ~OpenStore() {
        EXPECT_EQ(tvr_close(store), TVR_OK);
    }
    OpenStore(const OpenStore &) = delete;
    OpenStore &operator=(const OpenStore &) = delete;
    TVR_Store *store = nullptr;
};

void runSql(const std::string &path, const char *sql) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::vector<TVR_Recipe> listed(TVR_Store *store, const char *part, const char *feeder) {
    std::vector<TVR_Recipe> recipes;
    EXPECT_EQ(tvr_recipe_list(
                  store, part, feeder,
                  [](void *user, const TVR_Recipe *recipe) {
                      static_cast<std::vector<TVR_Recipe> *>(user)->push_back(*recipe);
                      return 0;
                  },
                  &recipes),
              TVR_OK);
    return recipes;
}

std::vector<TVR_Tuning> history(TVR_Store *store, const char *part, const char *feeder,
                                int action) {
    std::vector<TVR_Tuning> rows;
    EXPECT_EQ(tvr_history(
                  store, part, feeder, action,
                  [](void *user, const TVR_Tuning *tuning) {
                      static_cast<std::vector<TVR_Tuning> *>(user)->push_back(*tuning);
                      return 0;
                  },
                  &rows),
              TVR_OK);
    return rows;
}

TEST(RecipeStore, RefusesFilesThatAreNoStoreAndLeavesThemUntouched) {
    const std::string folder = freshFolder("recipes_refuse/");
    const std::string text = folder + "notes.txt";
    const std::string other = folder + "other.db";
    const std::string newer = folder + "newer.db";
    { std::ofstream(text) << "not a database at all, but long enough to be read as a header\n"; }
    runSql(other, "CREATE TABLE t(x); INSERT INTO t VALUES(1)");
    {
        const OpenStore made(newer);
        ASSERT_EQ(tvr_schema_version(made.store), 1);
    }
    runSql(newer, "PRAGMA user_version = 99");
    const struct {
        std::string path;
        int code;
    } cases[] = {{text, TVR_E_NOTSTORE}, {other, TVR_E_NOTSTORE}, {newer, TVR_E_SCHEMA}};
    for (const auto &c : cases) {
        const std::string before = readFile(c.path);
        TVR_Store *store = nullptr;
        EXPECT_EQ(tvr_open(c.path.c_str(), &store), c.code) << c.path;
        EXPECT_EQ(store, nullptr);
        EXPECT_NE(std::string(tvr_errmsg()).find(c.path), std::string::npos) << tvr_errmsg();
        EXPECT_EQ(readFile(c.path), before) << c.path;
        EXPECT_FALSE(std::filesystem::exists(c.path + "-wal")) << c.path;
    }
    TVR_Store *store = nullptr;
    EXPECT_EQ(tvr_open((folder + "no/such/folder.db").c_str(), &store), TVR_E_IO);
    EXPECT_EQ(tvr_close(reinterpret_cast<TVR_Store *>(&store)), TVR_E_HANDLE);
}

TEST(RecipeStore, DefaultPathFollowsXdg) {
    const std::string folder = freshFolder("recipes_xdg/");
    ASSERT_EQ(setenv("XDG_DATA_HOME", (folder + "data").c_str(), 1), 0);
    char path[TVR_PATH_MAX];
    ASSERT_EQ(tvr_default_path(path, sizeof path), TVR_OK);
    EXPECT_EQ(std::string(path), folder + "data/tavrel/recipes.db");
    ASSERT_EQ(setenv("XDG_DATA_HOME", "relative", 1), 0);
    ASSERT_EQ(setenv("HOME", (folder + "home").c_str(), 1), 0);
    ASSERT_EQ(tvr_default_path(path, sizeof path), TVR_OK);
    EXPECT_EQ(std::string(path), folder + "home/.local/share/tavrel/recipes.db");
    EXPECT_EQ(tvr_default_path(path, 8), TVR_E_ARG);
    TVR_Store *store = nullptr;
    ASSERT_EQ(tvr_open(nullptr, &store), TVR_OK) << tvr_errmsg();
    EXPECT_TRUE(std::filesystem::exists(folder + "home/.local/share/tavrel/recipes.db"));
    EXPECT_EQ(tvr_close(store), TVR_OK);
    unsetenv("XDG_DATA_HOME");
}

TEST(RecipeStore, KeepsRecipesHistoryAndProductionCommands) {
    const std::string path = freshFolder("recipes_rows/") + "r.db";
    const OpenStore open(path);
    TVR_Store *store = open.store;
    const TVR_Recipe a = recipeOf("bolt", "cell-1", 0, 3, 20);
    ASSERT_EQ(tvr_recipe_put(store, &a), TVR_OK) << tvr_errmsg();
    const TVR_Recipe b = recipeOf("bolt", "cell-1", 0, 5, 30);
    ASSERT_EQ(tvr_recipe_put(store, &b), TVR_OK);
    const TVR_Recipe c = recipeOf("nut", "cell-2", 1, 0, 40);
    ASSERT_EQ(tvr_recipe_put(store, &c), TVR_OK);

    TVR_Recipe got{};
    got.size = sizeof got;
    ASSERT_EQ(tvr_recipe_get(store, "bolt", "cell-1", 3, &got), TVR_OK);
    EXPECT_EQ(std::memcmp(&got.command, &a.command, sizeof a.command), 0);
    EXPECT_EQ(std::memcmp(&got.params, &a.params, sizeof a.params), 0);
    EXPECT_EQ(got.tuned_at, a.tuned_at);
    EXPECT_STREQ(got.library_version, TAVREL_VERSION_STRING);
    EXPECT_EQ(tvr_feeder_model(store, "cell-2"), 1);

    ASSERT_EQ(listed(store, nullptr, nullptr).size(), 3U);
    ASSERT_EQ(listed(store, "bolt", nullptr).size(), 2U);
    EXPECT_EQ(listed(store, nullptr, "cell-2").at(0).action, 0);

    ST_HostFedColC command{};
    ASSERT_EQ(tvr_production_command(store, "bolt", "cell-1", 5, &command), TVR_OK);
    EXPECT_EQ(std::memcmp(&command, &b.command, sizeof command), 0);
    ASSERT_EQ(tvr_recipe_mark_drifted(store, "bolt", "cell-1", 5), TVR_OK);
    EXPECT_EQ(tvr_production_command(store, "bolt", "cell-1", 5, &command), TVR_E_DRIFTED);

    // Bad input changes nothing.
    const TVR_Recipe wrongModel = recipeOf("bolt", "cell-1", 2, 4, 50);
    EXPECT_EQ(tvr_recipe_put(store, &wrongModel), TVR_E_MODEL);
    EXPECT_EQ(tvr_recipe_get(store, "bolt", "cell-1", 4, &got), TVR_E_UNKNOWN);
    EXPECT_EQ(tvr_production_command(store, "washer", "cell-1", 3, &command), TVR_E_UNKNOWN);
    EXPECT_EQ(tvr_recipe_delete(store, "washer", "cell-1", -1), TVR_E_UNKNOWN);
    EXPECT_EQ(tvr_recipe_get(store, "", "cell-1", 3, &got), TVR_E_ARG);
    EXPECT_EQ(tvr_recipe_get(store, "bolt", "cell-1", 11, &got), TVR_E_ARG);
    got.size = 4;
    EXPECT_EQ(tvr_recipe_get(store, "bolt", "cell-1", 3, &got), TVR_E_SIZE);

    ASSERT_EQ(tvr_recipe_delete(store, "bolt", "cell-1", -1), TVR_OK);
    EXPECT_EQ(listed(store, nullptr, nullptr).size(), 1U);
    // The history keeps every tuning, also of deleted recipes.
    const std::vector<TVR_Tuning> rows = history(store, nullptr, nullptr, -1);
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].start, TVR_START_SAVED);
    EXPECT_EQ(rows[1].action, 5);
    EXPECT_LT(rows[0].id, rows[1].id);
    EXPECT_EQ(history(store, "nut", nullptr, 0).size(), 1U);
}

TEST(RecipeStore, JsonMovesRecipesBetweenStoresAllOrNothing) {
    const std::string folder = freshFolder("recipes_json/");
    const OpenStore from(folder + "from.db");
    const OpenStore to(folder + "to.db");
    TVR_Recipe a = recipeOf("bolt", "cell-1", 0, 3, 20);
    a.drifted = 1;
    const TVR_Recipe b = recipeOf("nut \"quoted\"", "cell-2", 1, 10, 40);
    ASSERT_EQ(tvr_recipe_put(from.store, &a), TVR_OK);
    ASSERT_EQ(tvr_recipe_put(from.store, &b), TVR_OK);
    char *json = nullptr;
    size_t length = 0;
    ASSERT_EQ(tvr_export_json(from.store, nullptr, nullptr, &json, &length), TVR_OK);
    const std::string text(json, length);
    tvr_free(json);
    int32_t imported = 0;
    ASSERT_EQ(tvr_import_json(to.store, text.c_str(), &imported), TVR_OK) << tvr_errmsg();
    EXPECT_EQ(imported, 2);
    const std::vector<TVR_Recipe> before = listed(from.store, nullptr, nullptr);
    const std::vector<TVR_Recipe> after = listed(to.store, nullptr, nullptr);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(std::memcmp(&after[i], &before[i], sizeof after[i]), 0) << i;
    }
    EXPECT_EQ(history(to.store, nullptr, nullptr, -1).at(0).start, TVR_START_IMPORTED);

    // A conflicting model or any bad recipe: nothing is imported.
    const OpenStore conflict(folder + "conflict.db");
    ASSERT_EQ(tvr_feeder_add(conflict.store, "cell-2", 2), TVR_OK);
    EXPECT_EQ(tvr_import_json(conflict.store, text.c_str(), &imported), TVR_E_MODEL);
    EXPECT_TRUE(listed(conflict.store, nullptr, nullptr).empty());
    const auto replaced = [&](const std::string &from, const std::string &with) {
        std::string changed = text;
        const std::size_t at = changed.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return changed.replace(at, from.size(), with);
    };
    const std::string bad[] = {
        "{not json",
        "[]",
        replaced("tavrel-recipes", "something-else"),
        replaced("\"version\":1", "\"version\":2"),
        replaced("\"model\":1", "\"model\":3"),
        replaced("\"action\":10", "\"action\":\"10\""),
        replaced("\"words\":[", "\"words\":[1,"),
        replaced("\"words\":[", "\"words\":[-1,"),
        replaced("\"run_ms\":5000", "\"run_ms\":70000"),
        replaced("\"part\":\"bolt\"", "\"part\":\"\""),
    };
    const OpenStore empty(folder + "empty.db");
    for (const std::string &document : bad) {
        EXPECT_EQ(tvr_import_json(empty.store, document.c_str(), &imported), TVR_E_FORMAT)
            << document;
        EXPECT_TRUE(listed(empty.store, nullptr, nullptr).empty()) << document;
    }
}

} // namespace
