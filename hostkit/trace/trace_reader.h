// Reading a trace, or any recording of camera polls, row by row.
#ifndef TAVREL_HOSTKIT_TRACE_READER_H
#define TAVREL_HOSTKIT_TRACE_READER_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace tvk {

// How a message shows text from a file or a command line: bytes outside
// printable ASCII as \xNN, a backslash doubled, and at most the first
// kShownBytes bytes, then "... (N bytes)".
constexpr std::size_t kShownBytes = 120;
std::string printable(const std::string &text);
// printable(text) in single quotes.
std::string quoted(const std::string &text);

// One CSV line: fields separated by commas, blanks around a field dropped, a
// field in double quotes taken as written ("" for a quote). False, with why,
// for a quote left open or text after a closing quote.
bool splitCsvLine(const std::string &line, std::vector<std::string> &fields, std::string &why);

// One step of a recording.
struct TraceRow {
    float x = 0.0F;
    float y = 0.0F;
    int valid = 0;
    int command = -1;         // the host command after the step; -1: none
    std::int64_t timeNs = -1; // when the step began; -1: the file has no times
    int model = -1;           // -1: no model column
    int action = -1;
};

// The columns: x, y, valid (required), command, time_s (in every row or in
// none, never decreasing), model and action (one value throughout), and any
// other column of a trace, which is ignored. Column names in any case; a
// byte-order mark before the header is skipped. Errors are one line:
// "NAME:LINE: what", e.g. "polls.csv:3: column 'x': 'abc' is not a number".
class TraceReader {
  public:
    TraceReader(std::istream &in, std::string name) : in_(in), name_(std::move(name)) {}

    // False on an empty file or a bad header.
    bool readHeader();
    bool hasColumn(const std::string &column) const {
        return index_.count(column) != 0;
    }
    // 1 with a row, 0 at the end, -1 on an error.
    int next(TraceRow &row);
    const std::string &error() const {
        return error_;
    }

  private:
    bool nextLine(std::string &line);
    bool fail(const std::string &what);
    bool readFields(const std::vector<std::string> &fields, TraceRow &row);
    bool field(const std::vector<std::string> &fields, const char *column, std::string &text) const;
    bool whole(const std::vector<std::string> &fields, const char *column, int hi, int &value);
    bool coordinate(const std::vector<std::string> &fields, const char *column, float &value);
    bool readTime(const std::vector<std::string> &fields, TraceRow &row);
    bool settle(int &kept, int value, const char *column);

    std::istream &in_;
    std::string name_;
    long line_ = 0;
    std::map<std::string, std::size_t> index_;
    std::string error_;
    long rows_ = 0;
    bool timed_ = false;
    std::int64_t lastNs_ = 0;
    int model_ = -1;
    int action_ = -1;
};

} // namespace tvk

#endif
