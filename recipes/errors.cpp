// Result texts, the last failure's message and the checks every entry
// point makes.
#include "internal.h"

#include <cstdio>
#include <set>

namespace {

// Trivially destructible, so no thread's exit runs code of ours.
constexpr std::size_t kMessageMax = 512;
thread_local char g_message[kMessageMax];

} // namespace

namespace tvr {

int fail(int code, const std::string &message) {
    (void)std::snprintf(g_message, sizeof g_message, "%s", message.c_str());
    return code;
}

int failDb(sqlite3 *db, const std::string &what) {
    const int code = sqlite3_errcode(db);
    return fail(code == SQLITE_NOMEM ? TVR_E_NOMEM : TVR_E_DATABASE,
                what + ": " + sqlite3_errmsg(db));
}

int checkName(const char *function, const char *what, const char *name) {
    if (name == nullptr || name[0] == '\0') {
        return fail(TVR_E_ARG, std::string(function) + ": " + what + " is null or empty");
    }
    if (std::strlen(name) >= TVR_NAME_MAX) {
        return fail(TVR_E_ARG, std::string(function) + ": " + what + " is longer than " +
                                   std::to_string(TVR_NAME_MAX - 1) + " bytes");
    }
    return TVR_OK;
}

int checkAction(const char *function, int action, bool anyAllowed) {
    if ((action >= 0 && action < TVK_ACTION_COUNT) || (anyAllowed && action == -1)) {
        return TVR_OK;
    }
    return fail(TVR_E_ARG, std::string(function) + ": action " + std::to_string(action) +
                               (anyAllowed ? " is not -1..10" : " is not 0..10"));
}

int checkRecordIn(const char *function, const char *name, const void *record, std::size_t full) {
    const int refused = checkRecordOut(function, name, record, full);
    if (refused != TVR_OK) {
        return refused;
    }
    const std::uint32_t size = *static_cast<const std::uint32_t *>(record);
    const auto *bytes = static_cast<const unsigned char *>(record);
    if (std::any_of(bytes + std::min<std::size_t>(size, full), bytes + size,
                    [](unsigned char byte) { return byte != 0; })) {
        return fail(TVR_E_SIZE, std::string(function) + ": " + name + "->size " +
                                    std::to_string(size) + ": bytes beyond " +
                                    std::to_string(full) + " are not zero");
    }
    return TVR_OK;
}

int checkRecordOut(const char *function, const char *name, const void *record, std::size_t full) {
    if (record == nullptr) {
        return fail(TVR_E_ARG, std::string(function) + ": " + name + " is null");
    }
    const std::uint32_t size = *static_cast<const std::uint32_t *>(record);
    if (size < full) {
        return fail(TVR_E_SIZE, std::string(function) + ": " + name + "->size " +
                                    std::to_string(size) + " is below the record's " +
                                    std::to_string(full));
    }
    return TVR_OK;
}

} // namespace tvr

extern "C" {

const char *tvr_errmsg(void) {
    return g_message;
}

const char *tvr_strerror(int code) {
    switch (code) {
    case TVR_OK:
        return "success";
    case TVR_E_ARG:
        return "bad argument (a null pointer, an empty name or a value out of range)";
    case TVR_E_IO:
        return "the store's file cannot be opened or created";
    case TVR_E_NOMEM:
        return "out of memory";
    case TVR_E_SIZE:
        return "a record size this library cannot serve";
    case TVR_E_HANDLE:
        return "not an open store";
    case TVR_E_NOTSTORE:
        return "the file is not a recipe store";
    case TVR_E_SCHEMA:
        return "the store was written by a newer release (its schema is newer)";
    case TVR_E_UNKNOWN:
        return "no such part, feeder or recipe";
    case TVR_E_MODEL:
        return "the feeder is in the store with another model";
    case TVR_E_FORMAT:
        return "not a recipe export";
    case TVR_E_DRIFTED:
        return "the recipe is marked drifted";
    case TVR_E_DATABASE:
        return "the database failed (locked, corrupt or full)";
    case TVR_E_KIT:
        return "the host kit refused";
    default:
        return "unknown result code";
    }
}

} // extern "C"
