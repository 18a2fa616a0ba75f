// The output rule: how the kit and the tools write a file a user names.
//
// The name is checked when the output opens, before any work. A regular file
// (or a new one) is written whole or not at all: the text goes to a temporary
// file created exclusively beside it (never a predictable name, never through
// a symbolic link) and commit() renames it over the target, whose mode it
// keeps. A symbolic link is followed to its target and stays. A FIFO, a
// terminal, a device or a standard stream named by path (/dev/stdout,
// /dev/fd/N) is written in place. Every write and the close are checked;
// results are TVK_OK or a TVK_E_* code, with why() saying what failed.
#ifndef TAVREL_HOSTKIT_OUTPUT_H
#define TAVREL_HOSTKIT_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvk {

// What a name leads to, to tell two names of one file apart from two files.
struct FileIdentity {
    bool exists = false;   // device and inode are known
    bool replaced = false; // a regular file or a new one: rewritten as a whole
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string resolved; // absolute, links followed, for a file not there yet
};

FileIdentity identify(const std::string &path);
// One file under both names, and written whole by at least one of them (two
// writers of a terminal or a FIFO only interleave).
bool clashes(const FileIdentity &a, const FileIdentity &b);

class Output {
  public:
    Output() = default;
    ~Output(); // abandons an output not committed
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // TVK_E_ARG for an empty name, TVK_E_IO when the name cannot be written.
    int open(const std::string &path);
    // Buffered; a stream is written through at once. TVK_E_IO after any
    // failure, this one or an earlier one.
    int write(const char *data, std::size_t size);
    int write(const std::string &text) {
        return write(text.data(), text.size());
    }
    // Writes what is left and puts the file in place. TVK_E_IO when anything
    // failed: a regular file is then left as it was.
    int commit();
    // Closes without putting anything in place.
    void abandon();

    bool isOpen() const {
        return fd_ >= 0;
    }
    const FileIdentity &identity() const {
        return identity_;
    }
    // The system's reason for the last failure, e.g. "No space left on device".
    const std::string &why() const {
        return why_;
    }

  private:
    int refuse(int code, const std::string &why);
    bool flush();
    void closeFile();

    int fd_ = -1;
    bool inPlace_ = false;
    bool failed_ = false;
    std::string target_; // the file written, links followed
    std::string temp_;   // the temporary file of a regular one
    std::string buffer_;
    std::string why_;
    FileIdentity identity_;
};

} // namespace tvk

#endif
