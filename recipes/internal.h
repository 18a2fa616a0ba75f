// What the recipe library's sources share: the store's object, the failure
// message, SQLite statements that finalise themselves and the record rule.
#ifndef TAVREL_RECIPES_INTERNAL_H
#define TAVREL_RECIPES_INTERNAL_H

#include "tavrel_recipes.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

struct TVR_Store {
    sqlite3 *db = nullptr;
    std::mutex mutex; // one call at a time
};

namespace tvr {

// Keeps message for tvr_errmsg() on this thread and returns code.
int fail(int code, const std::string &message);
// TVR_E_DATABASE (TVR_E_NOMEM for SQLITE_NOMEM) with SQLite's own message.
int failDb(sqlite3 *db, const std::string &what);

// The store when it is one this library opened and has not closed, else
// null with TVR_E_HANDLE kept for tvr_errmsg().
TVR_Store *liveStore(TVR_Store *store, const char *function);
// TVR_OK, or TVR_E_ARG for a null or empty name, or one too long to store.
int checkName(const char *function, const char *what, const char *name);
int checkAction(const char *function, int action, bool anyAllowed);

// A prepared statement, finalised when it goes.
class Statement {
  public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const {
        return stmt_ != nullptr;
    }
    sqlite3_stmt *get() const {
        return stmt_;
    }
    // Binds by position (1-based); a null text binds NULL.
    void text(int index, const char *value);
    void integer(int index, std::int64_t value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    std::int64_t column(int index) const;
    std::string columnText(int index) const;

  private:
    sqlite3_stmt *stmt_ = nullptr;
};

// The store's lock and handle check, and the names every keyed call takes.
class StoreCall {
  public:
    StoreCall(TVR_Store *store, const char *function)
        : function_(function), store_(liveStore(store, function)) {
        if (store_ != nullptr) {
            lock_ = std::unique_lock<std::mutex>(store_->mutex);
        }
    }
    int refusal(const char *part, const char *feeder, int action, bool anyAction) const {
        if (store_ == nullptr) {
            return TVR_E_HANDLE;
        }
        int result = part != nullptr ? checkName(function_, "part", part) : TVR_OK;
        if (result == TVR_OK && feeder != nullptr) {
            result = checkName(function_, "feeder", feeder);
        }
        return result == TVR_OK ? checkAction(function_, action, anyAction) : result;
    }
    sqlite3 *db() const {
        return store_->db;
    }

  private:
    const char *function_;
    TVR_Store *store_;
    std::unique_lock<std::mutex> lock_;
};

// Runs one or more statements without results; TVR_OK or the failure.
int exec(sqlite3 *db, const char *sql, const char *what);

// A transaction: BEGIN IMMEDIATE at start, ROLLBACK unless committed.
class Transaction {
  public:
    explicit Transaction(sqlite3 *db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    int begun() const {
        return begun_;
    }
    int commit();

  private:
    sqlite3 *db_;
    int begun_;
    bool open_ = false;
};

// Records that grow: the size-first rule of the kit, for this library's
// records (each first released in 1.3.0 at its present size).
int checkRecordIn(const char *function, const char *name, const void *record, std::size_t full);
int checkRecordOut(const char *function, const char *name, const void *record, std::size_t full);

template <typename Record>
int readRecord(const char *function, const char *name, const Record *in, Record *full) {
    const int refused = checkRecordIn(function, name, in, sizeof(Record));
    if (refused == TVR_OK) {
        std::memcpy(static_cast<void *>(full), in, sizeof(Record));
        full->size = sizeof(Record);
    }
    return refused;
}

template <typename Record> void writeRecord(const Record &full, Record *out) {
    const std::size_t callerSize = out->size;
    const std::size_t written = std::min(callerSize, sizeof(Record));
    std::memset(reinterpret_cast<unsigned char *>(out) + written, 0, callerSize - written);
    std::memcpy(static_cast<void *>(out), &full, written);
    out->size = static_cast<std::uint32_t>(written);
}

// Copies text into a fixed field, cut to fit and NUL-terminated.
template <std::size_t N> void copyText(char (&field)[N], const std::string &text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// The part, feeder (with its model) and history row every saved tuning
// writes; inside the caller's transaction.
int registerFeeder(sqlite3 *db, const char *function, const char *feeder, int model);
int registerPart(sqlite3 *db, const char *part);
int writeRecipe(sqlite3 *db, const TVR_Recipe &recipe);
int writeHistory(sqlite3 *db, const TVR_Tuning &tuning);
int markDrifted(sqlite3 *db, const char *function, const char *part, const char *feeder,
                int action);
// The recipe of part, feeder and action: TVR_OK, TVR_E_UNKNOWN or a failure.
int readRecipe(sqlite3 *db, const char *function, const char *part, const char *feeder, int action,
               TVR_Recipe *out);

// The sixteen words as a JSON array text and back.
std::string wordsJson(const ST_HostFedColC &command);
// False when text is not an array of sixteen words 0..65535.
bool wordsFromJson(sqlite3 *db, const std::string &text, ST_HostFedColC *command);

std::int64_t now();

// The host's callbacks, as the probes and the sessions use them.
struct Host {
    TVK_CameraFn camera;
    TVK_FeederFn drive;
    TVK_PutBackFn putBack;
    void *user;
};

// The probes of tvr_commission into *out (filled whole); TVR_OK, or
// TVR_E_KIT when a callback failed or the kit refused.
int commission(int model, int action, const Host &host, TVR_Commissioning *out);
// The first motor the action drives as a main motor, or -1.
int mainMotor(int model, int action);

} // namespace tvr

#endif
