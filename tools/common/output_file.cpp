#include "output_file.h"

#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#ifdef _WIN32
#include <fstream>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tvltools {

namespace fs = std::filesystem;

#ifdef _WIN32

// Windows has no FIFOs or descriptor paths: every output is a regular file.
OutputFile::OutputFile(std::string path, std::string option)
    : path_(std::move(path)), target_(path_), option_(std::move(option)) {
    if (path_.empty()) {
        throw UsageError(option_ + ": empty file name");
    }
    std::error_code error;
    if (fs::is_directory(target_, error)) {
        fail("is a directory");
    }
}

OutputFile::~OutputFile() = default;

void OutputFile::commit() {
    const std::string temp = target_ + ".part";
    std::ofstream out(temp, std::ios::binary);
    out << text_.str();
    out.close();
    std::error_code error;
    if (out) {
        fs::rename(temp, target_, error);
    }
    if (!out || error) {
        std::remove(temp.c_str());
        fail(error ? error.message() : "cannot write");
    }
}

#else

namespace {

constexpr int kMaxLinkHops = 40;

// The file descriptor a path names (/dev/stdout, /dev/fd/3, /proc/self/fd/3),
// or -1.
int descriptorNamed(const std::string &path) {
    if (path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (const char *prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t length = std::strlen(prefix);
        if (path.compare(0, length, prefix) == 0 && path.size() > length &&
            path.find_first_not_of("0123456789", length) == std::string::npos) {
            return std::atoi(path.c_str() + length);
        }
    }
    return -1;
}

struct Resolved {
    std::string path;
    int descriptor = -1;
};

// Follows symbolic links to the file they lead to, stopping at a path that
// names a file descriptor. A loop stops after kMaxLinkHops; opening reports it.
Resolved resolve(const std::string &path) {
    fs::path current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const int descriptor = descriptorNamed(current.string());
        std::error_code error;
        if (descriptor >= 0 || !fs::is_symlink(fs::symlink_status(current, error))) {
            return {current.string(), descriptor};
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) {
            break;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return {current.string(), -1};
}

std::string folderOf(const std::string &path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

// Permissions of a new file: what the umask allows of rw-rw-rw-.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// An empty string, or why the text could not be written.
std::string writeAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return written < 0 ? std::strerror(errno) : "nothing written";
        }
        done += static_cast<std::size_t>(written);
    }
    return "";
}

// The text in a temporary file beside `target`, renamed over it: an empty
// string, or why it failed (the temporary file then removed).
std::string replaceRegularFile(const std::string &target, const std::string &text) {
    struct stat info {};
    const mode_t mode = stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : newFileMode();
    std::string temp = folderOf(target) + "/." + fs::path(target).filename().string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return std::strerror(errno);
    }
    std::string why = writeAll(fd, text);
    if (why.empty() && fchmod(fd, mode) != 0) {
        why = std::strerror(errno);
    }
    if (close(fd) != 0 && why.empty()) {
        why = std::strerror(errno);
    }
    if (why.empty() && std::rename(temp.c_str(), target.c_str()) != 0) {
        why = std::strerror(errno);
    }
    if (!why.empty()) {
        unlink(temp.c_str());
    }
    return why;
}

} // namespace

OutputFile::OutputFile(std::string path, std::string option)
    : path_(std::move(path)), option_(std::move(option)) {
    if (path_.empty()) {
        throw UsageError(option_ + ": empty file name");
    }
    const Resolved resolved = resolve(path_);
    target_ = resolved.path;
    if (resolved.descriptor >= 0) {
        // Taken now, while standard output is still the program's own.
        streamFd_ = fcntl(resolved.descriptor, F_DUPFD_CLOEXEC, 0);
        if (streamFd_ < 0) {
            fail(std::strerror(errno));
        }
        return;
    }
    struct stat info {};
    if (stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            fail("is a directory");
        }
        if (!S_ISREG(info.st_mode)) {
            // A FIFO blocks here until its reader opens it.
            streamFd_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (streamFd_ < 0) {
                fail(std::strerror(errno));
            }
            return;
        }
        if (access(target_.c_str(), W_OK) != 0) {
            fail(std::strerror(errno));
        }
    } else if (errno != ENOENT) {
        fail(std::strerror(errno));
    }
    // The temporary file and the rename need a writable folder.
    if (access(folderOf(target_).c_str(), W_OK) != 0) {
        fail(std::strerror(errno));
    }
}

OutputFile::~OutputFile() {
    if (streamFd_ >= 0) {
        close(streamFd_);
    }
}

void OutputFile::commit() {
    std::string why;
    if (streamFd_ >= 0) {
        why = writeAll(streamFd_, text_.str());
        close(streamFd_);
        streamFd_ = -1;
    } else {
        why = replaceRegularFile(target_, text_.str());
    }
    if (!why.empty()) {
        fail(why);
    }
}

#endif

void OutputFile::fail(const std::string &why) const {
    throw UsageError(option_ + ": " + quoted(path_) + ": " + why);
}

} // namespace tvltools
