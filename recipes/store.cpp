// Opening a store: the default path, the checks that leave a foreign or
// newer file untouched, the schema's migrations, and the open handles.
#include "internal.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace {

// 'TVR1': marks a SQLite file as a recipe store.
constexpr int kApplicationId = 0x54565231;
constexpr int kBusyTimeoutMs = 10000;
constexpr int kWalRetryMs = 5;

// Each step brings the schema from its index to the next version; a new
// release appends a step and never edits one that shipped.
constexpr const char *kMigrations[] = {
    // 0 -> 1 (1.3.0)
    "CREATE TABLE parts(name TEXT PRIMARY KEY NOT NULL);"
    "CREATE TABLE feeders(id TEXT PRIMARY KEY NOT NULL,"
    " model INTEGER NOT NULL CHECK(model BETWEEN 0 AND 2));"
    "CREATE TABLE recipes("
    " part TEXT NOT NULL REFERENCES parts(name),"
    " feeder TEXT NOT NULL REFERENCES feeders(id),"
    " action INTEGER NOT NULL CHECK(action BETWEEN 0 AND 10),"
    " words TEXT NOT NULL CHECK(json_array_length(words) = 16),"
    " run_ms INTEGER NOT NULL, amp_init INTEGER NOT NULL, amp_max INTEGER NOT NULL,"
    " fre_init INTEGER NOT NULL, fre_max INTEGER NOT NULL, run_time INTEGER NOT NULL,"
    " tuned_at INTEGER NOT NULL, library_version TEXT NOT NULL,"
    " vibrations INTEGER NOT NULL, outcome INTEGER NOT NULL,"
    " drifted INTEGER NOT NULL DEFAULT 0,"
    " PRIMARY KEY(part, feeder, action));"
    "CREATE TABLE history(id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " part TEXT NOT NULL, feeder TEXT NOT NULL, model INTEGER NOT NULL,"
    " action INTEGER NOT NULL, at INTEGER NOT NULL, start INTEGER NOT NULL,"
    " outcome INTEGER NOT NULL, vibrations INTEGER NOT NULL,"
    " probe_vibrations INTEGER NOT NULL, drifted INTEGER NOT NULL,"
    " words TEXT NOT NULL, run_ms INTEGER NOT NULL, amp_init INTEGER NOT NULL,"
    " amp_max INTEGER NOT NULL, fre_init INTEGER NOT NULL, fre_max INTEGER NOT NULL,"
    " run_time INTEGER NOT NULL, library_version TEXT NOT NULL, reason TEXT NOT NULL);"
    "CREATE INDEX history_key ON history(part, feeder, action);",
};
constexpr int kSchemaVersion = static_cast<int>(sizeof kMigrations / sizeof kMigrations[0]);

std::mutex g_liveMutex;
std::set<const TVR_Store *> g_live;

int pragmaValue(sqlite3 *db, const char *sql, int *value) {
    tvr::Statement statement(db, sql);
    if (!statement.ok() || statement.step() != SQLITE_ROW) {
        return sqlite3_errcode(db);
    }
    *value = static_cast<int>(statement.column(0));
    return SQLITE_OK;
}

// What the file holds, read without writing and in one snapshot (another
// process may be creating the store): TVR_OK for a recipe store of a
// schema this release knows, or an empty database; else the refusal.
int checkFile(sqlite3 *db, const std::string &path) {
    tvr::Statement head(db, "SELECT (SELECT application_id FROM pragma_application_id),"
                            " (SELECT user_version FROM pragma_user_version),"
                            " (SELECT count(*) FROM sqlite_schema)");
    const int read = head.ok() ? head.step() : sqlite3_errcode(db);
    if (read == SQLITE_NOTADB) {
        return tvr::fail(TVR_E_NOTSTORE, "tvr_open: '" + path + "' is not a SQLite database");
    }
    if (read == SQLITE_CANTOPEN) {
        return tvr::fail(TVR_E_IO, "tvr_open: '" + path + "': " + sqlite3_errmsg(db));
    }
    if (read != SQLITE_ROW) {
        return tvr::failDb(db, "tvr_open: '" + path + "'");
    }
    const std::int64_t application = head.column(0);
    const std::int64_t version = head.column(1);
    if (application != kApplicationId && (head.column(2) > 0 || application != 0)) {
        return tvr::fail(TVR_E_NOTSTORE,
                         "tvr_open: '" + path + "' is a database of another application");
    }
    if (version > kSchemaVersion) {
        return tvr::fail(TVR_E_SCHEMA, "tvr_open: '" + path + "' has schema " +
                                           std::to_string(version) + "; this release reads up to " +
                                           std::to_string(kSchemaVersion));
    }
    return TVR_OK;
}

// Brings the schema up to date; the version is read again inside the
// transaction, so two processes creating one store do it once.
int migrate(sqlite3 *db, const std::string &path) {
    tvr::Transaction transaction(db);
    if (transaction.begun() != TVR_OK) {
        return transaction.begun();
    }
    int version = 0;
    if (pragmaValue(db, "PRAGMA user_version", &version) != SQLITE_OK) {
        return tvr::failDb(db, "tvr_open: '" + path + "'");
    }
    if (version == kSchemaVersion) {
        return TVR_OK;
    }
    for (int step = version; step < kSchemaVersion; ++step) {
        const int result = tvr::exec(db, kMigrations[step], "tvr_open: migration");
        if (result != TVR_OK) {
            return result;
        }
    }
    const std::string mark = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                             "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
    const int marked = tvr::exec(db, mark.c_str(), "tvr_open: schema version");
    return marked == TVR_OK ? transaction.commit() : marked;
}

// WAL mode, kept in the file. Switching to it needs the file to itself and
// does not wait on the busy handler, so a store another process is opening
// at the same moment is tried again.
int useWal(sqlite3 *db) {
    for (int waited = 0;; waited += kWalRetryMs) {
        tvr::Statement wal(db, "PRAGMA journal_mode = WAL");
        const int step = wal.ok() ? wal.step() : sqlite3_errcode(db);
        if (step == SQLITE_ROW) {
            return TVR_OK;
        }
        if ((step != SQLITE_BUSY && step != SQLITE_LOCKED) || waited >= kBusyTimeoutMs) {
            return tvr::failDb(db, "tvr_open: journal");
        }
        sqlite3_sleep(kWalRetryMs);
    }
}

int configure(sqlite3 *db, const std::string &path) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    int result = checkFile(db, path);
    if (result == TVR_OK) {
        result = useWal(db);
    }
    if (result == TVR_OK) {
        result = tvr::exec(db, "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON",
                           "tvr_open: settings");
    }
    return result == TVR_OK ? migrate(db, path) : result;
}

// mkdir -p for the default store's folder.
int makeFolders(const std::string &path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return tvr::fail(TVR_E_IO,
                             "tvr_open: folder '" + folder + "': " + std::strerror(errno));
        }
    }
    return TVR_OK;
}

std::string defaultPath() {
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/tavrel/recipes.db";
    }
    const char *home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.local/share/tavrel/recipes.db";
    }
    return "";
}

} // namespace

namespace tvr {

TVR_Store *liveStore(TVR_Store *store, const char *function) {
    const std::lock_guard<std::mutex> lock(g_liveMutex);
    if (store == nullptr || g_live.count(store) == 0) {
        fail(TVR_E_HANDLE, std::string(function) + ": store is not an open store");
        return nullptr;
    }
    return store;
}

} // namespace tvr

extern "C" {

int tvr_default_path(char *path, int32_t size) {
    if (path == nullptr || size <= 0) {
        return tvr::fail(TVR_E_ARG, "tvr_default_path: path is null or size not positive");
    }
    const std::string found = defaultPath();
    if (found.empty()) {
        return tvr::fail(TVR_E_IO, "tvr_default_path: neither XDG_DATA_HOME nor HOME is set");
    }
    if (found.size() >= static_cast<std::size_t>(size)) {
        return tvr::fail(TVR_E_ARG, "tvr_default_path: size " + std::to_string(size) +
                                        " is too small for " + std::to_string(found.size() + 1));
    }
    std::memcpy(path, found.c_str(), found.size() + 1);
    return TVR_OK;
}

int tvr_open(const char *path, TVR_Store **out) {
    if (out == nullptr) {
        return tvr::fail(TVR_E_ARG, "tvr_open: out is null");
    }
    *out = nullptr;
    std::string file = path != nullptr ? path : defaultPath();
    if (file.empty()) {
        return tvr::fail(path != nullptr ? TVR_E_ARG : TVR_E_IO,
                         path != nullptr ? "tvr_open: path is empty"
                                         : "tvr_open: neither XDG_DATA_HOME nor HOME is set");
    }
    if (path == nullptr) {
        const int made = makeFolders(file);
        if (made != TVR_OK) {
            return made;
        }
    }
    auto store = std::make_unique<TVR_Store>();
    if (sqlite3_open_v2(file.c_str(), &store->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const int result = tvr::fail(
            TVR_E_IO, "tvr_open: '" + file + "': " +
                          (store->db != nullptr ? sqlite3_errmsg(store->db) : "out of memory"));
        sqlite3_close(store->db);
        return result;
    }
    const int result = configure(store->db, file);
    if (result != TVR_OK) {
        sqlite3_close(store->db);
        return result;
    }
    const std::lock_guard<std::mutex> lock(g_liveMutex);
    g_live.insert(store.get());
    *out = store.release();
    return TVR_OK;
}

int tvr_close(TVR_Store *store) {
    if (store == nullptr) {
        return TVR_OK;
    }
    {
        const std::lock_guard<std::mutex> lock(g_liveMutex);
        if (g_live.erase(store) == 0) {
            return tvr::fail(TVR_E_HANDLE, "tvr_close: store is not an open store");
        }
    }
    {
        // Waits for a call under way on another thread.
        const std::lock_guard<std::mutex> lock(store->mutex);
        sqlite3_close(store->db);
    }
    delete store;
    return TVR_OK;
}

int tvr_schema_version(TVR_Store *store) {
    TVR_Store *live = tvr::liveStore(store, "tvr_schema_version");
    if (live == nullptr) {
        return TVR_E_HANDLE;
    }
    const std::lock_guard<std::mutex> lock(live->mutex);
    int version = 0;
    if (pragmaValue(live->db, "PRAGMA user_version", &version) != SQLITE_OK) {
        return tvr::failDb(live->db, "tvr_schema_version");
    }
    return version;
}

} // extern "C"
