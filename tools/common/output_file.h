// An output file of a tool, safe with any name a user may give.
#ifndef TAVREL_TOOLS_OUTPUT_FILE_H
#define TAVREL_TOOLS_OUTPUT_FILE_H

#include <sstream>
#include <string>

namespace tvltools {

// Opened before the work starts, so a bad name fails at once; written whole by
// commit(). A regular file, or a new one, appears complete or not at all: the
// text goes to a temporary file beside it (beside the file a symbolic link
// leads to, the link kept) and is renamed over it, keeping an existing file's
// permissions. Anything else (a FIFO, a terminal, /dev/stdout, /dev/fd/N) is
// written straight; a standard stream named by path is the one the program
// was started with. Errors are tvltools::UsageError naming `option`.
class OutputFile {
  public:
    OutputFile(std::string path, std::string option);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    std::ostream &stream() {
        return text_;
    }
    void commit();

  private:
    [[noreturn]] void fail(const std::string &why) const;

    std::string path_;   // as given
    std::string target_; // the file a symbolic link leads to, or path_
    std::string option_;
    int streamFd_ = -1; // open when written straight
    std::ostringstream text_;
};

} // namespace tvltools

#endif
