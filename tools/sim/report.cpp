#include "report.h"

#include "action_layout.h"
#include "cli.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tvlsim {

namespace {

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

std::string indexList(const bool *flags, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (flags[i]) {
            list += (list.empty() ? "" : ",") + std::to_string(i);
        }
    }
    return list;
}

// The installed script beside the installed program, else the source tree's.
std::string reportScript() {
#ifndef _WIN32
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path installed = program.parent_path() / TAVREL_REPORT_SCRIPT_INSTALLED;
    if (!error && std::filesystem::is_regular_file(installed, error)) {
        return installed.string();
    }
#endif
    return TAVREL_REPORT_SCRIPT;
}

std::string plotCommand(const std::string &pngPath, const std::string &tracePath, int model,
                        int action) {
    const ActionLayout &layout = actionLayout(action);
    const Vec2 size = platformSize(model);
    const Bands x = bandsX(model, action);
    const Bands y = bandsY(model, action);
    std::ostringstream command;
    command << quoted(TAVREL_PYTHON) << " " << quoted(reportScript()) << " --trace "
            << quoted(tracePath) << " --out " << quoted(pngPath) << " --platform " << size.x << " "
            << size.y << " --bands " << x.low << " " << x.high << " " << y.low << " " << y.high
            << " --targets " << indexList(layout.target.data(), kAreaNum) << " --motors "
            << indexList(layout.motors.data(), kMotorNum) << " --title "
            << quoted("model " + std::to_string(model) + ", action " + std::to_string(action));
#ifdef _WIN32
    // cmd.exe drops the outer pair of quotes of a command that starts with one.
    return "\"" + command.str() + "\"";
#else
    return command.str();
#endif
}

} // namespace

void drawReport(const std::string &pngPath, const std::string &tracePath, int model, int action,
                bool dropTrace) {
    const int status = std::system(plotCommand(pngPath, tracePath, model, action).c_str());
    if (dropTrace) {
        std::remove(tracePath.c_str());
    }
    if (status != 0) {
        throw tvltools::UsageError("--report: drawing '" + pngPath +
                                   "' failed (it needs " TAVREL_PYTHON " with matplotlib)");
    }
}

} // namespace tvlsim
