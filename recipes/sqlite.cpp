// SQLite statements and transactions that clean up after themselves.
#include "internal.h"

#include <ctime>

namespace tvr {

Statement::Statement(sqlite3 *db, const char *sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        stmt_ = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::text(int index, const char *value) {
    if (value == nullptr) {
        sqlite3_bind_null(stmt_, index);
    } else {
        sqlite3_bind_text(stmt_, index, value, -1, SQLITE_TRANSIENT);
    }
}

void Statement::integer(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}

int Statement::step() {
    return sqlite3_step(stmt_);
}

std::int64_t Statement::column(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

std::string Statement::columnText(int index) const {
    const unsigned char *value = sqlite3_column_text(stmt_, index);
    return value == nullptr ? std::string() : reinterpret_cast<const char *>(value);
}

int exec(sqlite3 *db, const char *sql, const char *what) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? TVR_OK
                                                                         : failDb(db, what);
}

Transaction::Transaction(sqlite3 *db) : db_(db), begun_(exec(db, "BEGIN IMMEDIATE", "begin")) {
    open_ = begun_ == TVR_OK;
}

Transaction::~Transaction() {
    if (open_) {
        (void)sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

int Transaction::commit() {
    const int result = exec(db_, "COMMIT", "commit");
    open_ = result != TVR_OK;
    return result;
}

std::string wordsJson(const ST_HostFedColC &command) {
    std::string text = "[";
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        for (int word = 0; word < 4; ++word) {
            text += (motor == 0 && word == 0 ? "" : ",") +
                    std::to_string(command.u16MotParam[motor][word]);
        }
    }
    return text + "]";
}

bool wordsFromJson(sqlite3 *db, const std::string &text, ST_HostFedColC *command) {
    Statement values(db, "SELECT value, type FROM json_each(?1) WHERE json_type(?1) = 'array'");
    if (!values.ok()) {
        return false;
    }
    values.text(1, text.c_str());
    int count = 0;
    while (values.step() == SQLITE_ROW) {
        const std::int64_t word = values.column(0);
        if (values.columnText(1) != "integer" || word < 0 || word > 65535 || count >= 16) {
            return false;
        }
        command->u16MotParam[count / 4][count % 4] = static_cast<unsigned short>(word);
        ++count;
    }
    return count == 16;
}

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace tvr
