#include "polls.h"

#include "cli.h"
#include "csv.h"
#include "trace_columns.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

namespace tvlreplay {

namespace {

using tvltools::UsageError;

constexpr int kModelMax = 2;
constexpr int kActionMax = 10;
constexpr int kCommandMax = 3;
// Times beyond some 30,000 years would no longer fit the clock's nanoseconds.
constexpr double kLongestSeconds = 1e12;

bool knownColumn(const std::string &name) {
    const std::vector<std::string> &columns = tvk::traceColumns();
    return std::find(columns.begin(), columns.end(), name) != columns.end();
}

// Column name to field index, checked against what a recording may hold.
std::map<std::string, std::size_t> readHeader(const std::vector<std::string> &names,
                                              const std::string &where) {
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!knownColumn(names[i])) {
            throw UsageError(where + ": unknown column " + tvltools::quoted(names[i]));
        }
        if (!index.emplace(names[i], i).second) {
            throw UsageError(where + ": column " + tvltools::quoted(names[i]) + " appears twice");
        }
    }
    for (const char *required : {"x", "y", "valid"}) {
        if (index.count(required) == 0) {
            throw UsageError(where + ": missing column '" + std::string(required) + "'");
        }
    }
    return index;
}

// A value that must stay the same in every row.
void settle(std::optional<int> &kept, int value, const std::string &what,
            const std::string &where) {
    if (kept && *kept != value) {
        throw UsageError(where + ": " + what + " changes from " + std::to_string(*kept) + " to " +
                         std::to_string(value));
    }
    kept = value;
}

class RowReader {
  public:
    RowReader(const std::map<std::string, std::size_t> &index, std::vector<std::string> fields,
              std::string where)
        : index_(index), fields_(std::move(fields)), where_(std::move(where)) {}

    bool has(const std::string &column) const {
        const auto found = index_.find(column);
        return found != index_.end() && !fields_[found->second].empty();
    }
    const std::string &field(const std::string &column) const {
        return fields_[index_.at(column)];
    }
    float number(const std::string &column) const {
        return tvltools::parseFloat(field(column), where_ + ": " + column);
    }
    double seconds(const std::string &column) const {
        return tvltools::parseDouble(field(column), 0.0, kLongestSeconds, where_ + ": " + column);
    }
    int whole(const std::string &column, long hi) const {
        return static_cast<int>(tvltools::parseInt(field(column), 0, hi, where_ + ": " + column));
    }

  private:
    const std::map<std::string, std::size_t> &index_;
    std::vector<std::string> fields_;
    std::string where_;
};

// Times make the replay exact: all rows have one, or none does.
void readTime(const RowReader &row, const Recording &recording, Poll &poll,
              const std::string &where) {
    const bool first = recording.polls.empty();
    const bool timed = row.has("time_s");
    if (!first && timed != recording.timed) {
        throw UsageError(where + ": time_s is " + (timed ? "given" : "missing") +
                         " here but not in the rows before");
    }
    if (!timed) {
        return;
    }
    poll.timeNs = tvk::timeNanoseconds(row.seconds("time_s"));
    if (!first && poll.timeNs < recording.polls.back().timeNs) {
        throw UsageError(where + ": time_s goes back in time");
    }
}

void readRow(const RowReader &row, Recording &recording, const std::string &where) {
    Poll poll;
    poll.x = row.number("x");
    poll.y = row.number("y");
    poll.valid = row.whole("valid", 1);
    if (row.has("command")) {
        poll.command = row.whole("command", kCommandMax);
    }
    if (row.has("model")) {
        settle(recording.model, row.whole("model", kModelMax), "model", where);
    }
    if (row.has("action")) {
        settle(recording.action, row.whole("action", kActionMax), "action", where);
    }
    readTime(row, recording, poll, where);
    recording.polls.push_back(poll);
}

} // namespace

Recording readRecording(const std::string &path) {
    const std::string shownPath = tvltools::printable(path);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw UsageError(shownPath + ": is a directory");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw UsageError(shownPath + ": cannot open the file: " + std::strerror(errno));
    }
    std::string line;
    int lineNo = 0;
    std::map<std::string, std::size_t> index;
    Recording recording;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string where = shownPath + ":" + std::to_string(lineNo);
        std::vector<std::string> fields = tvltools::splitCsvLine(line);
        if (lineNo == 1) {
            index = readHeader(fields, where);
            continue;
        }
        if (line.empty()) {
            continue;
        }
        if (fields.size() != index.size()) {
            throw UsageError(where + ": expected " + std::to_string(index.size()) +
                             " fields, found " + std::to_string(fields.size()));
        }
        const RowReader row(index, std::move(fields), where);
        if (recording.polls.empty()) {
            recording.timed = row.has("time_s");
        }
        readRow(row, recording, where);
    }
    if (lineNo == 0) {
        throw UsageError(shownPath + ":1: empty file, expected a header line");
    }
    return recording;
}

} // namespace tvlreplay
