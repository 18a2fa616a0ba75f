#include "report.h"

#include "cli.h"
#include "tavrel_hostkit.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace tvlsim {

#ifdef _WIN32

void drawReport(tvltools::OutputFile &, const std::string &, int, int) {
    throw tvltools::UsageError("--report: not available in the Windows build");
}

#else

namespace {

namespace fs = std::filesystem;
using tvltools::UsageError;

// The script's exit status when matplotlib cannot be imported.
constexpr int kNoMatplotlib = 3;

// The indices of the non-zero entries, comma-separated.
std::string indexList(const int32_t *flags, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (flags[i] != 0) {
            list += (list.empty() ? "" : ",") + std::to_string(i);
        }
    }
    return list;
}

std::string decimal(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string interpreter() {
    const char *chosen = std::getenv("TAVREL_PYTHON");
    return chosen != nullptr && *chosen != '\0' ? chosen : TAVREL_PYTHON;
}

std::vector<std::string> plotArguments(const std::string &tracePath, const std::string &pngPath,
                                       int model, int action) {
    // The library's own geometry: its bands, targets and driven motors.
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    tvk_geometry(model, action, &geometry);
    float width = 0.0F;
    float height = 0.0F;
    tvk_sim_platform(model, &width, &height);
    return {interpreter(),
            tvltools::besideProgram(TAVREL_REPORT_SCRIPT_INSTALLED, TAVREL_REPORT_SCRIPT),
            "--trace",
            tracePath,
            "--out",
            pngPath,
            "--platform",
            decimal(width),
            decimal(height),
            "--bands",
            decimal(geometry.x_low),
            decimal(geometry.x_high),
            decimal(geometry.y_low),
            decimal(geometry.y_high),
            "--targets",
            indexList(geometry.target, TVK_AREA_COUNT),
            "--motors",
            indexList(geometry.motor, TVK_MOTOR_COUNT),
            "--title",
            "model " + std::to_string(model) + ", action " + std::to_string(action)};
}

// A private folder for the script's files, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "tavrel-sim.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw UsageError("--report: cannot make a temporary folder: " +
                             std::string(std::strerror(errno)));
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    std::string file(const char *name) const {
        return (path_ / name).string();
    }

  private:
    fs::path path_;
};

std::string lastLine(const std::string &text) {
    std::istringstream in(text);
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(" \t\r") != std::string::npos) {
            last = line;
        }
    }
    return last;
}

struct ScriptRun {
    int status = 0; // as waitpid reports it
    std::string errors;
};

// Runs args[0] with args, no shell; its standard error is captured, its
// standard output goes where the program's library text goes.
ScriptRun runScript(std::vector<std::string> args) {
    std::vector<char *> argv;
    argv.reserve(args.size() + 1);
    for (std::string &arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    int errPipe[2];
    if (pipe(errPipe) != 0) {
        throw UsageError("--report: cannot make a pipe: " + std::string(std::strerror(errno)));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[1]);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    ScriptRun run;
    char buffer[4096];
    for (ssize_t got; (got = read(errPipe[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) {
            run.errors.append(buffer, static_cast<std::size_t>(got));
        } else if (errno != EINTR) {
            break;
        }
    }
    close(errPipe[0]);
    if (spawned != 0) {
        throw UsageError("--report: cannot run " + tvltools::quoted(args[0]) + ": " +
                         std::strerror(spawned) + " (set TAVREL_PYTHON to a python3)");
    }
    while (waitpid(child, &run.status, 0) < 0 && errno == EINTR) {
    }
    return run;
}

void checkRun(const ScriptRun &run, const std::string &interpreterPath) {
    if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) {
        return;
    }
    if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == kNoMatplotlib) {
        throw UsageError("--report: " + tvltools::quoted(interpreterPath) +
                         " has no matplotlib (Debian: python3-matplotlib)");
    }
    const std::string cause = WIFSIGNALED(run.status)
                                  ? "killed by signal " + std::to_string(WTERMSIG(run.status))
                                  : "exit status " + std::to_string(WEXITSTATUS(run.status));
    const std::string said = lastLine(run.errors);
    throw UsageError("--report: the plotting script failed (" + cause + ")" +
                     (said.empty() ? "" : ": " + tvltools::printable(said)));
}

} // namespace

void drawReport(tvltools::OutputFile &png, const std::string &trace, int model, int action) {
    const ScratchFolder scratch;
    const std::string tracePath = scratch.file("trace.csv");
    const std::string pngPath = scratch.file("report.png");
    std::ofstream(tracePath, std::ios::binary) << trace;
    const std::vector<std::string> args = plotArguments(tracePath, pngPath, model, action);
    checkRun(runScript(args), args[0]);
    std::ifstream picture(pngPath, std::ios::binary);
    if (!picture) {
        throw UsageError("--report: the plotting script wrote no picture");
    }
    std::ostringstream bytes;
    bytes << picture.rdbuf();
    png.write(bytes.str());
    png.commit();
}

#endif

} // namespace tvlsim
