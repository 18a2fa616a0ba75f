// Command-line helpers: strict number parsing with one-line errors.
#ifndef TAVREL_TOOLS_CLI_H
#define TAVREL_TOOLS_CLI_H

#include "trace/trace_reader.h"

#include <stdexcept>
#include <string>

namespace tvltools {

// A bad option or input; what() is the whole one-line message.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// How an error message shows text from the command line or a file.
using tvk::printable;
using tvk::quoted;

// Whole number in [lo, hi]; throws UsageError naming `what`.
long parseInt(const std::string &text, long lo, long hi, const std::string &what);
// Finite number in [lo, hi]; throws UsageError naming `what`.
double parseDouble(const std::string &text, double lo, double hi, const std::string &what);

// Finite single-precision number, rounded once from the text as a camera
// reading would be; throws UsageError naming `what`.
float parseFloat(const std::string &text, const std::string &what);

// What --version prints: "PROGRAM MAJOR.MINOR.PATCH" and a newline.
std::string versionText(const std::string &program);

// An installed program's own file: `installed` taken from the running
// program's folder when a regular file is there (a moved install still
// finds it), else `buildTree` (the file in the build tree).
std::string besideProgram(const std::string &installed, const std::string &buildTree);

// Walks argv; takes the value of an option that needs one.
class ArgCursor {
  public:
    ArgCursor(int argc, char **argv) : argc_(argc), argv_(argv) {}
    bool done() const {
        return index_ >= argc_;
    }
    std::string next() {
        return argv_[index_++];
    }
    std::string valueOf(const std::string &option);
    // A file name: not empty.
    std::string fileOf(const std::string &option);

  private:
    int argc_;
    char **argv_;
    int index_ = 1;
};

} // namespace tvltools

#endif
