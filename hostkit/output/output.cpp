#include "output.h"

#include "tavrel_hostkit.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tvk {

namespace {

namespace fs = std::filesystem;

// Written out once this much collects (a stream at once).
constexpr std::size_t kBufferBytes = 1U << 16U;

std::string systemReason(int error) {
    return std::strerror(error);
}

std::string folderOf(const std::string &path) {
    const fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? "." : folder.string();
}

std::string absoluteName(const std::string &path) {
    std::error_code error;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path : absolute.string();
}

#ifdef _WIN32

struct Resolved {
    std::string path;
    int descriptor = -1; // Windows names no descriptor by path
};

Resolved resolve(const std::string &path) {
    return {path, -1};
}

int writeSome(int fd, const char *data, std::size_t size) {
    const unsigned chunk = size > (1U << 30U) ? (1U << 30U) : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}

int closeDescriptor(int fd) {
    return _close(fd);
}

void removeFile(const std::string &path) {
    _unlink(path.c_str());
}

// MoveFileEx replaces the target in one step where rename would refuse.
std::string renameOver(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
        return "";
    }
    return "cannot replace the file (Windows error " + std::to_string(GetLastError()) + ")";
}

// A device such as NUL or CON is written in place.
bool isDevice(const std::string &path) {
    struct _stat64 info {};
    return _stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFCHR) != 0;
}

int openInPlaceFile(const std::string &path) {
    return _open(path.c_str(), _O_WRONLY | _O_BINARY);
}

// A name no other run picks (process, time and a counter), created with
// _O_EXCL so an existing file of that name is never opened.
int createTemporary(const std::string &target, std::string &temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folderOf(target) + "/." + fs::path(target).filename().string() + "." +
               std::to_string(_getpid()) + "-" + std::to_string(GetTickCount()) + "-" +
               std::to_string(++counter) + ".tmp";
        const int fd =
            _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

#else

constexpr int kMaxLinkHops = 40;
constexpr int kFirstFreeDescriptor = 3;

// The descriptor a string of decimal digits names, or -1.
int descriptorNumber(const char *digits) {
    if (*digits < '0' || *digits > '9') {
        return -1;
    }
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(digits, &end, 10);
    return errno == 0 && *end == '\0' && number <= INT_MAX ? static_cast<int>(number) : -1;
}

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
        if (path.compare(0, length, prefix) == 0) {
            return descriptorNumber(path.c_str() + length);
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

int writeSome(int fd, const char *data, std::size_t size) {
    return static_cast<int>(::write(fd, data, size > (1U << 30U) ? (1U << 30U) : size));
}

int closeDescriptor(int fd) {
    return close(fd);
}

void removeFile(const std::string &path) {
    unlink(path.c_str());
}

std::string renameOver(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? "" : systemReason(errno);
}

// Kept off descriptors 0..2, which a host may have closed and the capture
// points elsewhere.
int aboveStandardStreams(int fd) {
    if (fd < 0 || fd >= kFirstFreeDescriptor) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, kFirstFreeDescriptor);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
}

// The process's umask, read without changing it (other threads may be
// creating files); where /proc is missing, set and put back.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "Umask:") == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

int openInPlaceFile(const std::string &path) {
    // A FIFO blocks here until its reader opens it.
    return aboveStandardStreams(open(path.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
}

// mkostemp creates the name exclusively (O_CREAT | O_EXCL): never an
// existing file, never through a symbolic link.
int createTemporary(const std::string &target, std::string &temp) {
    temp = folderOf(target) + "/." + fs::path(target).filename().string() + ".XXXXXX";
    return aboveStandardStreams(mkostemp(temp.data(), O_CLOEXEC));
}

#endif

} // namespace

FileIdentity identify(const std::string &path) {
    FileIdentity identity;
    const Resolved resolved = resolve(path);
    identity.resolved = absoluteName(resolved.path);
#ifdef _WIN32
    identity.replaced = !isDevice(resolved.path);
#else
    struct stat info {};
    const bool found = resolved.descriptor >= 0 ? fstat(resolved.descriptor, &info) == 0
                                                : stat(resolved.path.c_str(), &info) == 0;
    identity.exists = found;
    identity.device = found ? static_cast<std::uint64_t>(info.st_dev) : 0;
    identity.inode = found ? static_cast<std::uint64_t>(info.st_ino) : 0;
    identity.replaced = resolved.descriptor < 0 && (!found || S_ISREG(info.st_mode));
#endif
    return identity;
}

bool clashes(const FileIdentity &a, const FileIdentity &b) {
    if (!a.replaced && !b.replaced) {
        return false;
    }
    if (a.exists && b.exists) {
        return a.device == b.device && a.inode == b.inode;
    }
    return a.resolved == b.resolved;
}

Output::~Output() {
    abandon();
}

int Output::refuse(int code, const std::string &why) {
    failed_ = true;
    why_ = why;
    return code;
}

int Output::open(const std::string &path) {
    abandon();
    failed_ = false;
    why_.clear();
    buffer_.clear();
    if (path.empty()) {
        return refuse(TVK_E_ARG, "empty file name");
    }
    const Resolved resolved = resolve(path);
    target_ = resolved.path;
    identity_ = identify(path);
    inPlace_ = !identity_.replaced;
#ifdef _WIN32
    std::error_code error;
    if (fs::is_directory(target_, error)) {
        return refuse(TVK_E_IO, "is a directory");
    }
    const int mode = 0;
#else
    if (resolved.descriptor >= 0) {
        // Taken now, while the descriptor is still what the program started with.
        fd_ = fcntl(resolved.descriptor, F_DUPFD_CLOEXEC, kFirstFreeDescriptor);
        return fd_ >= 0 ? TVK_OK : refuse(TVK_E_IO, systemReason(errno));
    }
    struct stat info {};
    mode_t mode = 0666 & ~currentUmask();
    if (stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return refuse(TVK_E_IO, "is a directory");
        }
        if (S_ISREG(info.st_mode) && access(target_.c_str(), W_OK) != 0) {
            return refuse(TVK_E_IO, systemReason(errno));
        }
        mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        return refuse(TVK_E_IO, systemReason(errno));
    }
#endif
    if (inPlace_) {
        fd_ = openInPlaceFile(target_);
        return fd_ >= 0 ? TVK_OK : refuse(TVK_E_IO, systemReason(errno));
    }
    fd_ = createTemporary(target_, temp_);
    if (fd_ < 0) {
        temp_.clear();
        return refuse(TVK_E_IO, systemReason(errno));
    }
#ifndef _WIN32
    if (fchmod(fd_, mode) != 0) {
        const int error = errno;
        abandon();
        return refuse(TVK_E_IO, systemReason(error));
    }
#else
    (void)mode;
#endif
    return TVK_OK;
}

bool Output::flush() {
    std::size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
        const int written = writeSome(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            refuse(TVK_E_IO, written < 0 ? systemReason(errno) : "nothing written");
        } else {
            done += static_cast<std::size_t>(written);
        }
    }
    buffer_.clear();
    return !failed_;
}

int Output::write(const char *data, std::size_t size) {
    if (fd_ < 0 && !failed_) {
        return refuse(TVK_E_IO, "not open");
    }
    if (failed_) {
        return TVK_E_IO;
    }
    buffer_.append(data, size);
    if (inPlace_ || buffer_.size() >= kBufferBytes) {
        flush();
    }
    return failed_ ? TVK_E_IO : TVK_OK;
}

void Output::closeFile() {
    if (fd_ >= 0 && closeDescriptor(fd_) != 0 && !failed_) {
        refuse(TVK_E_IO, systemReason(errno));
    }
    fd_ = -1;
}

int Output::commit() {
    if (fd_ < 0) {
        return failed_ ? TVK_E_IO : refuse(TVK_E_IO, "not open");
    }
    flush();
    closeFile();
    if (!failed_ && !temp_.empty()) {
        const std::string renameFault = renameOver(temp_, target_);
        if (!renameFault.empty()) {
            refuse(TVK_E_IO, renameFault);
        }
    }
    if (failed_ && !temp_.empty()) {
        removeFile(temp_);
    }
    temp_.clear();
    return failed_ ? TVK_E_IO : TVK_OK;
}

void Output::abandon() {
    buffer_.clear();
    if (fd_ >= 0) {
        closeDescriptor(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        removeFile(temp_);
        temp_.clear();
    }
}

} // namespace tvk
