// Plain CSV as the hosts write it: comma-separated, no quoting, a header line.
#ifndef TAVREL_TOOLS_CSV_H
#define TAVREL_TOOLS_CSV_H

#include <fstream>
#include <string>
#include <vector>

namespace tvltools {

std::vector<std::string> splitCsvLine(const std::string &line);

// A file that appears under its name only once it is complete: the text goes
// to a temporary file beside it, renamed by commit(). Without commit() the
// temporary file is removed.
class AtomicFile {
  public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    std::ostream &stream() {
        return out_;
    }
    // Throws UsageError when the file cannot be written or renamed.
    void commit();

  private:
    std::string path_;
    std::string tempPath_;
    std::ofstream out_;
    bool committed_ = false;
};

} // namespace tvltools

#endif
