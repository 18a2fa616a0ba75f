// tavrel-replay: drives the library from recorded camera polls, on the
// recording's time, and writes every feeder command, status and task state
// per step.
#include "cli.h"
#include "console.h"
#include "logic/clock.h"
#include "output_file.h"
#include "polls.h"
#include "tavrel.h"
#include "trace_columns.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using tvlreplay::Poll;
using tvltools::UsageError;

const char *const kHelp = R"(tavrel-replay: drive libtavrel from recorded camera polls.

Usage: tavrel-replay [--model N] [--action N] [--step-ms N] [--pace-ms N]
                     [--log FILE] [--verbose] POLLS.csv OUT.csv
       tavrel-replay --help | --version

POLLS.csv has a header line and one row per TVLTask step. Columns:
  x, y      the position the camera reports for that step
  valid     1 when the camera recognised the part, 0 when not
  command   optional: the host command (0..3) sent with TVLLogicStaCol after
            that step; empty for none
  time_s    optional: the host's clock in seconds when it called the step
            (in every row or in none, never decreasing)
A trace written by the host kit's recorder (tavrel-sim --trace, or a field
host) is accepted as it is (its other columns are ignored); its model and
action columns give the model and the action.

Time. The library's clock reads the recorded time of each step, so its
timeouts (more than 5000 ms without a sample) fall where they fell when the
session was recorded, however fast the replay runs. Without a time_s column
the steps are --step-ms apart.

OUT.csv gets one row per step: step, time_s, x, y, valid, the status values
the library sent (blank-separated), the task state TVLTask returned, the host
command, and the feeder command of that step (act, the sixteen motor words
m<k>_amp, m<k>_fre, m<k>_pha, m<k>_mode, run_ms), empty when none. It appears
only when the whole replay succeeded.

  --model N    feeder model 0..2 (default: the file's model column)
  --action N   action 0..10 (default: the file's action column)
  --step-ms N  time between steps of a file without time_s (default 100)
  --pace-ms N  wait N ms of real time before each step, to watch a replay go
               by; the library still reads the recorded time (default 0)
  --log FILE   the library's diagnostic text goes to FILE (default: discarded)
  --verbose    the library's diagnostic text stays on standard output
  --help       this text
  --version    the release of tavrel-replay

The library keeps its state for the life of the process and primes its
sample ring with the first valid poll, so one replay per process reproduces a
session exactly.

Exit status: 0 on success, 2 on a bad command line or input.
)";

struct Args {
    std::optional<int> model;
    std::optional<int> action;
    int stepMs = 100;
    int paceMs = 0;
    std::string logPath;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

Args parseArgs(int argc, char **argv) {
    Args args;
    tvltools::ArgCursor cursor(argc, argv);
    while (!cursor.done()) {
        const std::string arg = cursor.next();
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--version") {
            args.version = true;
        } else if (arg == "--model") {
            args.model = static_cast<int>(tvltools::parseInt(cursor.valueOf(arg), 0, 2, arg));
        } else if (arg == "--action") {
            args.action = static_cast<int>(tvltools::parseInt(cursor.valueOf(arg), 0, 10, arg));
        } else if (arg == "--step-ms") {
            args.stepMs =
                static_cast<int>(tvltools::parseInt(cursor.valueOf(arg), 0, 3600000, arg));
        } else if (arg == "--pace-ms") {
            args.paceMs = static_cast<int>(tvltools::parseInt(cursor.valueOf(arg), 0, 60000, arg));
        } else if (arg == "--log") {
            args.logPath = cursor.fileOf(arg);
        } else if (arg == "--verbose") {
            args.verbose = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + tvltools::quoted(arg) + " (see --help)");
        } else {
            args.files.push_back(arg);
        }
    }
    if (!args.help && !args.version && args.files.size() != 2) {
        throw UsageError("expected POLLS.csv and OUT.csv (see --help)");
    }
    return args;
}

int resolve(const std::optional<int> &given, const std::optional<int> &recorded,
            const std::string &what, const std::string &path) {
    if (given) {
        return *given;
    }
    if (!recorded) {
        throw UsageError(tvltools::printable(path) + ": no " + what + " column; give --" + what);
    }
    return *recorded;
}

// The library calls back through plain function pointers; the step being
// replayed, and the time the library's clock reads, live here.
struct StepState {
    Poll poll;
    std::vector<int> statuses;
    bool commanded = false;
    ST_HostFedColC command{};
} g_step;
TvlTimePoint g_nowNs = 0;

TvlTimePoint recordedClock() {
    return g_nowNs;
}

ST_HostMateInf coordRe() {
    return {g_step.poll.x, g_step.poll.y, g_step.poll.valid};
}

int fedCol(ST_HostFedColC command) {
    g_step.commanded = true;
    g_step.command = command;
    return 0;
}

int logCol(int status) {
    g_step.statuses.push_back(status);
    return 0;
}

void waitMs(int ms) {
    if (ms <= 0) {
        return;
    }
#ifdef _WIN32
    Sleep(static_cast<DWORD>(ms));
#else
    timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
#endif
}

void replay(const std::vector<Poll> &polls, int model, int action, const Args &args,
            std::ostream &out) {
    out << "step,time_s,x,y,valid,status,task,command";
    for (const std::string &column : tvk::commandColumns()) {
        out << "," << column;
    }
    out << "\n";
    g_pfnLogicClock = recordedClock;
    if (TVLInit(coordRe, fedCol, logCol, model, action) != 1) {
        throw UsageError("the library refused model " + std::to_string(model) + ", action " +
                         std::to_string(action));
    }
    for (std::size_t step = 0; step < polls.size(); ++step) {
        g_step = StepState{};
        g_step.poll = polls[step];
        g_nowNs = g_step.poll.timeNs >= 0 ? g_step.poll.timeNs
                                          : static_cast<TvlTimePoint>(step) * args.stepMs * 1000000;
        waitMs(args.paceMs);
        const int task = TVLTask();
        if (g_step.poll.command >= 0) {
            TVLLogicStaCol(g_step.poll.command);
        }
        const std::vector<int> &statuses = g_step.statuses;
        out << step << "," << tvk::timeField(static_cast<double>(g_nowNs) / 1e9) << ","
            << tvk::positionField(g_step.poll.x) << "," << tvk::positionField(g_step.poll.y) << ","
            << g_step.poll.valid << ","
            << tvk::statusField(statuses.data(), static_cast<int>(statuses.size())) << "," << task
            << "," << (g_step.poll.command >= 0 ? std::to_string(g_step.poll.command) : "") << ","
            << tvk::commandFields(g_step.commanded ? &g_step.command : nullptr) << "\n";
    }
}

} // namespace

int main(int argc, char **argv) {
    try {
        const Args args = parseArgs(argc, argv);
        if (args.help) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (args.version) {
            std::fputs(tvltools::versionText("tavrel-replay").c_str(), stdout);
            return 0;
        }
        tvltools::OutputFile out(args.files[1], "OUT.csv");
        const std::string &inPath = args.files[0];
        const tvlreplay::Recording recording = tvlreplay::readRecording(inPath);
        const int model = resolve(args.model, recording.model, "model", inPath);
        const int action = resolve(args.action, recording.action, "action", inPath);
        tvltools::divertLibraryOutput(args.verbose, args.logPath);
        replay(recording.polls, model, action, args, out.stream());
        out.commit();
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavrel-replay: %s\n", error.what());
        return 2;
    }
}
