#include "cli.h"

#include "tavrel_hostkit.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvltools {

namespace {

// The running program's file.
std::filesystem::path programFile(std::error_code &error) {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        error = std::make_error_code(std::errc::filename_too_long);
        return {};
    }
    return std::string(path, length);
#else
    return std::filesystem::read_symlink("/proc/self/exe", error);
#endif
}

std::string shortNumber(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

} // namespace

long parseInt(const std::string &text, long lo, long hi, const std::string &what) {
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < lo || value > hi) {
        throw UsageError(what + ": expected a whole number from " + std::to_string(lo) + " to " +
                         std::to_string(hi) + ", got " + quoted(text));
    }
    return value;
}

double parseDouble(const std::string &text, double lo, double hi, const std::string &what) {
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < lo ||
        value > hi) {
        throw UsageError(what + ": expected a number from " + shortNumber(lo) + " to " +
                         shortNumber(hi) + ", got " + quoted(text));
    }
    return value;
}

float parseFloat(const std::string &text, const std::string &what) {
    char *end = nullptr;
    errno = 0;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) {
        throw UsageError(what + ": expected a number, got " + quoted(text));
    }
    return value;
}

std::string versionText(const std::string &program) {
    return program + " " TAVREL_VERSION_STRING "\n";
}

std::string ArgCursor::valueOf(const std::string &option) {
    if (done()) {
        throw UsageError(option + " needs a value");
    }
    return next();
}

std::string ArgCursor::fileOf(const std::string &option) {
    std::string name = valueOf(option);
    if (name.empty()) {
        throw UsageError(option + ": empty file name");
    }
    return name;
}

std::string besideProgram(const std::string &installed, const std::string &buildTree) {
    std::error_code error;
    const std::filesystem::path program = programFile(error);
    const std::filesystem::path beside = program.parent_path() / installed;
    if (!error && std::filesystem::is_regular_file(beside, error)) {
        return beside.string();
    }
    return buildTree;
}

} // namespace tvltools
