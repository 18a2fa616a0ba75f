// tavrel-replay: drives the library from recorded camera polls, on the
// recording's time, and writes every feeder command, status and task state
// per step.
#include "cli.h"
#include "console.h"
#include "output_file.h"
#include "session_driver.h"
#include "tavrel_hostkit.h"
#include "trace/trace_columns.h"
#include "trace/trace_reader.h"
#include "trace/trace_values.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

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
            (in every row or in none, never decreasing, from 0 to
            9223372036.854775807, what the library's nanosecond clock holds)
A trace written by the host kit's recorder (tavrel-sim --trace, or a field
host) is accepted as it is (its other columns are ignored); its model and
action columns give the model and the action. Column names may be in any
case, a field may be in double quotes and have blanks around it, and a
byte-order mark may precede the header. Rows are read, replayed and written
one at a time; an error names the file, the line and the column.

Time. The library's clock reads the recorded time of each step, so its
timeouts (more than 5000 ms without a sample) fall where they fell when the
session was recorded, however fast the replay runs. Without a time_s column
the steps are --step-ms apart.

OUT.csv gets one row per step: step, time_s, x, y, valid, the status values
the library sent (blank-separated), the task state TVLTask returned, the host
command, and the feeder command of that step (act, the sixteen motor words
m<k>_amp, m<k>_fre, m<k>_pha, m<k>_mode, run_ms), empty when none. It appears
only when the whole replay succeeded (see Output files).

  --model N    feeder model 0..2 (default: the file's model column)
  --action N   action 0..10 (default: the file's action column)
  --step-ms N  time between steps of a file without time_s (default 100)
  --pace-ms N  wait N ms of real time before each step, to watch a replay go
               by; the library still reads the recorded time (default 0)
  --log FILE   the library's diagnostic text goes to FILE, whole lines
               (default: discarded)
  --verbose    the library's diagnostic text stays on standard output
  --help       this text
  --version    the release of tavrel-replay

The replay drives the library through the host kit's session driver, with
the recording's commands as the host's own. It ends where the session ends:
at the library's task end (8) or after a command 0 (end); rows after that are
not replayed, and standard error says so.

The library keeps its state for the life of the process and primes its
sample ring with the first valid poll, so one replay per process reproduces a
session exactly.

Output files. OUT.csv and the log are checked before the replay starts; a
regular file is written whole or not at all (a temporary file beside it,
renamed over it with its mode kept), a symbolic link leads to the file it
names, a FIFO, a terminal or a device is written in place. An output that is
the input, or both outputs in one file, is refused. A write error fails the
run.

SIGINT or SIGTERM stops the replay at the next step: the log is kept, ending
on whole lines; OUT.csv is not written.

Exit status: 0 on success, 2 on a bad command line, input or output, 130
after SIGINT and 143 after SIGTERM.
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

int resolve(const std::optional<int> &given, int recorded, const std::string &what,
            const std::string &path) {
    if (given) {
        return *given;
    }
    if (recorded < 0) {
        throw UsageError(tvltools::printable(path) + ": no " + what + " column; give --" + what);
    }
    return recorded;
}

// The step being replayed and the time the library's clock reads; the
// session's camera reports the step's poll.
tvk::TraceRow g_poll;
std::int64_t g_nowNs = 0;

std::int64_t recordedClock() {
    return g_nowNs;
}

int recordedCamera(void *, float *x, float *y) {
    *x = g_poll.x;
    *y = g_poll.y;
    return g_poll.valid;
}

// The feeder commands are what the replay writes down; there is no feeder.
int noFeeder(void *, const ST_HostFedColC *) {
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

std::string outputHeader() {
    std::string line = "step,time_s,x,y,valid,status,task,command";
    for (const std::string &column : tvk::commandColumns()) {
        line += "," + column;
    }
    return line + "\n";
}

// One row of OUT.csv: what the library did at the step just run.
std::string outputRow(const TVK_StepReport &report) {
    const int statuses = std::min<int>(report.status_count, TVK_STATUS_MAX);
    return std::to_string(report.step) + "," + tvk::timeField(g_nowNs) + "," +
           tvk::positionField(g_poll.x) + "," + tvk::positionField(g_poll.y) + "," +
           std::to_string(g_poll.valid) + "," + tvk::statusField(report.status, statuses) + "," +
           std::to_string(report.task) + "," +
           (g_poll.command >= 0 ? std::to_string(g_poll.command) : "") + "," +
           tvk::commandFields(report.commanded != 0 ? &report.command : nullptr) + "\n";
}

// When step `step` runs: its recorded time, else --step-ms apart.
std::int64_t stepTime(const tvk::TraceRow &poll, long step, const Args &args) {
    if (poll.timeNs >= 0) {
        return poll.timeNs;
    }
    const std::int64_t apart = static_cast<std::int64_t>(args.stepMs) * 1000000;
    if (apart > 0 && step > tvk::kTraceNanosecondsMax / apart) {
        throw UsageError("step " + std::to_string(step) + " at --step-ms " +
                         std::to_string(args.stepMs) + " is beyond the clock's range");
    }
    return step * apart;
}

// A row from the reader, or its error.
bool nextRow(tvk::TraceReader &reader, tvk::TraceRow &row) {
    const int got = reader.next(row);
    if (got < 0) {
        throw UsageError(reader.error());
    }
    return got > 0;
}

// The host kit's session with the recording's commands as the host's own.
TVK_SessionConfig replayConfig(int model, int action) {
    TVK_SessionConfig config;
    tvk_session_config_init(&config, model, action);
    config.max_steps = 0;
    config.verdict_sweeps = 0;
    config.answers = TVK_ANSWERS_HOST;
    config.camera = recordedCamera;
    config.feeder = noFeeder;
    return config;
}

// Reads a row, steps the library, writes a row, until the file, the session
// or a signal ends it. A session the library or the recording ended leaves
// the rows after it unreplayed, said on standard error.
void replay(tvk::TraceReader &reader, tvk::TraceRow first, bool any, int model, int action,
            const Args &args, tvltools::OutputFile &out) {
    out.write(outputHeader());
    const tvltools::KitCopy own = tvltools::ownCopy();
    tvltools::SessionDriver session(own, replayConfig(model, action), recordedClock);
    g_poll = first;
    for (long step = 0; any && tvltools::stopSignal() == 0; ++step) {
        g_nowNs = stepTime(g_poll, step, args);
        waitMs(args.paceMs);
        const TVK_StepReport &report = session.step();
        if (g_poll.command >= 0 && report.outcome == TVK_RUNNING) {
            session.command(g_poll.command);
        }
        out.write(outputRow(report));
        any = nextRow(reader, g_poll);
        if (any && session.over()) {
            (void)std::fprintf(stderr,
                               "tavrel-replay: the session ended at step %ld (%s); the rows "
                               "after it are not replayed\n",
                               step, session.reason().c_str());
            return;
        }
    }
}

void openInput(std::ifstream &in, const std::string &path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw UsageError(tvltools::printable(path) + ": is a directory");
    }
    in.open(path, std::ios::binary);
    if (!in) {
        throw UsageError(tvltools::printable(path) +
                         ": cannot open the file: " + std::strerror(errno));
    }
}

// What the program prints and its exit status; write errors on standard
// output show at its close.
int run(const Args &args) {
    if (args.help) {
        (void)std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.version) {
        (void)std::fputs(tvltools::versionText("tavrel-replay").c_str(), stdout);
        return 0;
    }
    const std::string &inPath = args.files[0];
    tvltools::OutputFile out(args.files[1], "OUT.csv");
    std::optional<tvltools::OutputFile> log;
    if (!args.logPath.empty()) {
        log.emplace(args.logPath, "--log");
    }
    tvltools::refuseClashes({&out, log ? &*log : nullptr}, {inPath});
    std::ifstream in;
    openInput(in, inPath);
    tvk::TraceReader reader(in, tvltools::printable(inPath));
    if (!reader.readHeader()) {
        throw UsageError(reader.error());
    }
    tvk::TraceRow first;
    const bool any = nextRow(reader, first);
    const int model = resolve(args.model, first.model, "model", inPath);
    const int action = resolve(args.action, first.action, "action", inPath);
    tvltools::LibraryOutput library(args.verbose, log ? &*log : nullptr);
    replay(reader, first, any, model, action, args, out);
    library.end();
    if (tvltools::stopSignal() != 0) {
        return tvltools::stoppedExitCode();
    }
    out.commit();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    tvltools::openStandardDescriptors();
    tvltools::watchStopSignals();
    try {
        const int status = run(parseArgs(argc, argv));
        tvltools::closeOutput(stdout);
        return status;
    } catch (const std::exception &error) {
        (void)std::fprintf(stderr, "tavrel-replay: %s\n", error.what());
        return 2;
    }
}
