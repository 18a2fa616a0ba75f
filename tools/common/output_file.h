// An output file of a tool: the kit's output rule (hostkit/output/), with
// errors as tvltools::UsageError naming the option and the file.
#ifndef TAVREL_TOOLS_OUTPUT_FILE_H
#define TAVREL_TOOLS_OUTPUT_FILE_H

#include "output/output.h"

#include <string>
#include <vector>

namespace tvltools {

// Opened (checked) on construction, before any work; destroyed without
// commit() it leaves a regular file as it was.
class OutputFile {
  public:
    OutputFile(std::string path, std::string option);

    void write(const std::string &text);
    void commit();
    void abandon() {
        output_.abandon();
    }
    // For writers that cannot throw (a capture callback): its errors stay
    // until commit() reports them.
    tvk::Output &output() {
        return output_;
    }
    const tvk::FileIdentity &identity() const {
        return output_.identity();
    }
    const std::string &option() const {
        return option_;
    }

  private:
    [[noreturn]] void fail() const;

    tvk::Output output_;
    std::string path_;
    std::string option_;
};

// Refuses outputs that are one file, or an output that is one of the inputs
// (which it would overwrite before or while it is read). Null outputs are
// skipped.
void refuseClashes(const std::vector<const OutputFile *> &outputs,
                   const std::vector<std::string> &inputs);

} // namespace tvltools

#endif
