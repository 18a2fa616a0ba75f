#include "trace_reader.h"

#include "trace_columns.h"
#include "trace_values.h"

#include <algorithm>
#include <cstdio>

namespace tvk {

namespace {

constexpr int kModelMax = 2;
constexpr int kActionMax = 10;
constexpr int kCommandMax = 3;
const std::string kByteOrderMark = "\xef\xbb\xbf";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string lowerCase(std::string text) {
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool knownColumn(const std::string &name) {
    const std::vector<std::string> &columns = traceColumns();
    return std::find(columns.begin(), columns.end(), name) != columns.end();
}

// A field that starts with a quote, from text[i] on; i ends past the quote.
bool quotedField(const std::string &text, std::size_t &i, std::string &field) {
    for (++i; i < text.size(); ++i) {
        if (text[i] != '"') {
            field += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else {
            ++i;
            return true;
        }
    }
    return false;
}

} // namespace

std::string printable(const std::string &text) {
    std::string shown;
    const std::size_t length = std::min(text.size(), kShownBytes);
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\\') {
            shown += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f) {
            shown += static_cast<char>(byte);
        } else {
            char escaped[8];
            (void)std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    if (length < text.size()) {
        shown += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return shown;
}

std::string quoted(const std::string &text) {
    return "'" + printable(text) + "'";
}

bool splitCsvLine(const std::string &line, std::vector<std::string> &fields, std::string &why) {
    fields.clear();
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        std::string field;
        if (i < line.size() && line[i] == '"') {
            if (!quotedField(line, i, field)) {
                why = "a quote is not closed";
                return false;
            }
            while (i < line.size() && isBlank(line[i])) {
                ++i;
            }
            if (i < line.size() && line[i] != ',') {
                why = "text after a closing quote";
                return false;
            }
        } else {
            const std::size_t comma = std::min(line.find(',', i), line.size());
            field = line.substr(i, comma - i);
            while (!field.empty() && isBlank(field.back())) {
                field.pop_back();
            }
            i = comma;
        }
        fields.push_back(field);
        if (i >= line.size()) {
            return true;
        }
        ++i; // the comma
    }
}

bool TraceReader::fail(const std::string &what) {
    error_ = name_ + ":" + std::to_string(line_) + ": " + what;
    return false;
}

bool TraceReader::nextLine(std::string &line) {
    if (!std::getline(in_, line)) {
        return false;
    }
    ++line_;
    if (line_ == 1 && line.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        line.erase(0, kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

bool TraceReader::readHeader() {
    std::string line;
    if (!nextLine(line)) {
        line_ = 1;
        return fail(in_.bad() ? "cannot read the file" : "empty file, expected a header line");
    }
    std::vector<std::string> names;
    std::string why;
    if (!splitCsvLine(line, names, why)) {
        return fail(why);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = lowerCase(names[i]);
        if (!knownColumn(name)) {
            return fail("unknown column " + quoted(names[i]));
        }
        if (!index_.emplace(name, i).second) {
            return fail("column " + quoted(names[i]) + " appears twice");
        }
    }
    for (const char *required : {"x", "y", "valid"}) {
        if (!hasColumn(required)) {
            return fail("missing column '" + std::string(required) + "'");
        }
    }
    return true;
}

bool TraceReader::field(const std::vector<std::string> &fields, const char *column,
                        std::string &text) const {
    const auto found = index_.find(column);
    if (found == index_.end() || fields[found->second].empty()) {
        return false;
    }
    text = fields[found->second];
    return true;
}

bool TraceReader::whole(const std::vector<std::string> &fields, const char *column, int hi,
                        int &value) {
    std::string text;
    field(fields, column, text);
    const bool digits = !text.empty() && text.size() <= 9 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(text) > hi) {
        return fail("column '" + std::string(column) + "': " + quoted(text) +
                    " is not a whole number from 0 to " + std::to_string(hi));
    }
    value = std::stoi(text);
    return true;
}

bool TraceReader::coordinate(const std::vector<std::string> &fields, const char *column,
                             float &value) {
    std::string text;
    field(fields, column, text);
    const ValueError fault = parseCoordinate(text, value);
    return fault == ValueError::None || fail("column '" + std::string(column) +
                                             "': " + quoted(text) + " " + describe(fault, false));
}

bool TraceReader::settle(int &kept, int value, const char *column) {
    if (kept >= 0 && kept != value) {
        return fail(std::string(column) + " changes from " + std::to_string(kept) + " to " +
                    std::to_string(value));
    }
    kept = value;
    return true;
}

// Times make the replay exact: all rows have one, or none does.
bool TraceReader::readTime(const std::vector<std::string> &fields, TraceRow &row) {
    std::string text;
    const bool timed = field(fields, "time_s", text);
    if (rows_ == 0) {
        timed_ = timed;
    } else if (timed != timed_) {
        return fail(std::string("time_s is ") + (timed ? "given" : "missing") +
                    " here but not in the rows before");
    }
    if (!timed) {
        return true;
    }
    const ValueError fault = parseSeconds(text, row.timeNs);
    if (fault != ValueError::None) {
        return fail("column 'time_s': " + quoted(text) + " " + describe(fault, true));
    }
    if (rows_ > 0 && row.timeNs < lastNs_) {
        return fail("time_s goes back in time");
    }
    lastNs_ = row.timeNs;
    return true;
}

bool TraceReader::readFields(const std::vector<std::string> &fields, TraceRow &row) {
    std::string text;
    if (!coordinate(fields, "x", row.x) || !coordinate(fields, "y", row.y) ||
        !whole(fields, "valid", 1, row.valid)) {
        return false;
    }
    if (field(fields, "command", text) && !whole(fields, "command", kCommandMax, row.command)) {
        return false;
    }
    if (field(fields, "model", text) &&
        !(whole(fields, "model", kModelMax, row.model) && settle(model_, row.model, "model"))) {
        return false;
    }
    if (field(fields, "action", text) && !(whole(fields, "action", kActionMax, row.action) &&
                                           settle(action_, row.action, "action"))) {
        return false;
    }
    return readTime(fields, row);
}

int TraceReader::next(TraceRow &row) {
    std::string line;
    do {
        if (!nextLine(line)) {
            if (in_.bad()) {
                fail("cannot read the file");
                return -1;
            }
            return 0;
        }
    } while (line.find_first_not_of(" \t") == std::string::npos);
    std::vector<std::string> fields;
    std::string why;
    if (!splitCsvLine(line, fields, why)) {
        fail(why);
        return -1;
    }
    if (fields.size() != index_.size()) {
        fail("expected " + std::to_string(index_.size()) + " fields, found " +
             std::to_string(fields.size()));
        return -1;
    }
    row = TraceRow{};
    if (!readFields(fields, row)) {
        return -1;
    }
    ++rows_;
    return 1;
}

} // namespace tvk
