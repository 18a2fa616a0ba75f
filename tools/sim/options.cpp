#include "options.h"

#include "cli.h"

namespace tvlsim {

namespace {

using tvltools::parseDouble;
using tvltools::parseInt;
using tvltools::UsageError;

std::vector<int> oneOrAll(const std::string &text, int count, const std::string &option) {
    std::vector<int> values;
    if (text == "all") {
        for (int value = 0; value < count; ++value) {
            values.push_back(value);
        }
    } else {
        values.push_back(static_cast<int>(parseInt(text, 0, count - 1, option)));
    }
    return values;
}

// Feeder overrides: option name, where it goes, allowed range.
struct OverrideOption {
    const char *name;
    std::optional<double> Overrides::*member;
    double lo;
    double hi;
};

const OverrideOption kOverrideOptions[] = {
    {"--resonance", &Overrides::resonance, 0.0, 1000.0},
    {"--width", &Overrides::halfWidth, 0.1, 1000.0},
    {"--gain", &Overrides::gain, 0.0, 1.0},
    {"--friction", &Overrides::friction, 0.0, 1.0e6},
    {"--noise", &Overrides::noise, 0.0, 1000.0},
    {"--mismatch", &Overrides::mismatch, 0.0, 0.9},
};

bool takeOverride(const std::string &arg, tvltools::ArgCursor &args, Overrides &overrides) {
    for (const OverrideOption &option : kOverrideOptions) {
        if (arg == option.name) {
            overrides.*option.member = parseDouble(args.valueOf(arg), option.lo, option.hi, arg);
            return true;
        }
    }
    return false;
}

void takeOption(const std::string &arg, tvltools::ArgCursor &args, Options &options) {
    if (arg == "--help" || arg == "-h") {
        options.help = true;
    } else if (arg == "--version") {
        options.version = true;
    } else if (arg == "--model") {
        options.models = oneOrAll(args.valueOf(arg), TVK_MODEL_COUNT, arg);
    } else if (arg == "--action") {
        options.actions = oneOrAll(args.valueOf(arg), TVK_ACTION_COUNT, arg);
    } else if (arg == "--seed") {
        options.seed = static_cast<std::uint64_t>(parseInt(args.valueOf(arg), 0, 2147483647L, arg));
    } else if (arg == "--fleet") {
        options.fleet = static_cast<int>(parseInt(args.valueOf(arg), 1, 1000000, arg));
    } else if (arg == "--max-steps") {
        options.maxSteps = static_cast<int>(parseInt(args.valueOf(arg), 1, 10000000, arg));
    } else if (arg == "--verdict") {
        options.verdictSweeps = static_cast<int>(parseInt(args.valueOf(arg), 0, 1000, arg));
    } else if (arg == "--camera-ms") {
        options.cameraMs = static_cast<int>(parseInt(args.valueOf(arg), 0, 60000, arg));
    } else if (arg == "--trace") {
        options.tracePath = args.fileOf(arg);
    } else if (arg == "--report") {
        options.reportPath = args.fileOf(arg);
    } else if (arg == "--log") {
        options.logPath = args.fileOf(arg);
    } else if (arg == "--verbose") {
        options.verbose = true;
    } else if (arg == "--physics") {
        options.physics = true;
    } else if (!takeOverride(arg, args, options.overrides)) {
        throw UsageError("unknown option " + tvltools::quoted(arg) + " (see --help)");
    }
}

void checkCombination(const Options &options) {
    const bool recording = !options.tracePath.empty() || !options.reportPath.empty();
    if (recording && options.fleet > 0) {
        throw UsageError("--trace and --report record one session; they do not go with --fleet");
    }
    if (recording && (options.models.size() != 1 || options.actions.size() != 1)) {
        throw UsageError("--trace and --report record one session: give one --model and one "
                         "--action");
    }
    if (options.verbose && !options.logPath.empty()) {
        throw UsageError("--verbose and --log both choose where diagnostics go; give one");
    }
}

TVK_SimRange pinned(const std::optional<double> &value, TVK_SimRange range) {
    return value ? TVK_SimRange{*value, *value} : range;
}

} // namespace

Options parseOptions(int argc, char **argv) {
    Options options;
    options.actions = oneOrAll("all", TVK_ACTION_COUNT, "--action");
    tvltools::ArgCursor args(argc, argv);
    while (!args.done()) {
        takeOption(args.next(), args, options);
    }
    checkCombination(options);
    return options;
}

TVK_SimRanges rangesFor(int model, const Overrides &overrides) {
    TVK_SimRanges ranges{};
    ranges.size = sizeof ranges;
    tvk_sim_default_ranges(model, &ranges);
    ranges.resonance = pinned(overrides.resonance, ranges.resonance);
    ranges.half_width = pinned(overrides.halfWidth, ranges.half_width);
    ranges.gain = pinned(overrides.gain, ranges.gain);
    ranges.friction = pinned(overrides.friction, ranges.friction);
    ranges.noise = pinned(overrides.noise, ranges.noise);
    ranges.mismatch = pinned(overrides.mismatch, ranges.mismatch);
    return ranges;
}

const char *helpText() {
    return R"(tavrel-sim: tune a simulated flexible feeder with libtavrel.

Usage: tavrel-sim [options]

  --model N|all       feeder model 0, 1 or 2 (default 0)
  --action N|all      action 0..10 (default all)
  --seed N            seed of the feeder draw and of the noise (default 1)
  --fleet N           draw N feeders per model and action; print success rate,
                      median and 90th percentile of vibrations and simulated
                      seconds to success and of those spent on feeders that
                      did not tune, and sessions per second
  --resonance F       pin the resonance, in frequency words
  --width W           pin the resonance half-width, in frequency words
  --gain G            pin the drift gain, px per ms per unit of drive
  --friction D        pin the static-friction threshold, in drive units
  --noise P           pin the largest noise per vibration and axis, px
  --mismatch M        pin the largest motor gain mismatch (0.03 = 3 %)
  --max-steps N       step budget of one session (default 3000)
  --verdict N         declare a session failed once every driven motor has
                      swept its whole frequency window at its top amplitude
                      N times, over at least 100 N vibrations, with no
                      arrival and no accepted movement (default 3; 0:
                      never, a failing session spends its whole budget)
  --camera-ms N       camera time added per step (default 100)
  --trace FILE.csv    write every step of the session (one model and action)
  --report FILE.png   draw the session: the part's path over the platform and
                      each motor's frequency and amplitude per vibration
                      (needs python3 with matplotlib: $TAVREL_PYTHON, else
                      /usr/bin/python3)
  --log FILE          the library's diagnostic text goes to FILE, whole lines
                      (default: discarded)
  --verbose           the library's diagnostic text stays on standard output
  --help              this text
  --version           the release of tavrel-sim and of the library headers
                      it was built with

The feeder. The platform measures 190 x 155 (model 0) or 320 x 240 (models 1
and 2) in the host's coordinate units; the part stops at its edge. Motors 0..3
sit under the corners and push the part towards (-X,+Y), (-X,-Y), (+X,+Y) and
(+X,-Y); a phase of 180 degrees reverses a push (cos(phase) scales it). A
motor's drive is amplitude x R(frequency) x its own gain (within +-mismatch of
1), with R = 1 / (1 + ((frequency - resonance) / half-width)^2). A drive at or
below the friction threshold moves nothing; above it the motor drifts the part
at gain x (drive - friction) px per ms along its push. A vibration of run time
T ms moves the part by T times the sum of the drifts, plus noise uniform in
+-noise px per axis. When all four motors run in phase their pushes cancel and
the part hops randomly: a normal spread of gain x (sum of the four drives -
friction) x T px per axis. The mode word is not modelled.

Each feeder draws resonance, half-width, gain, friction, noise and mismatch
uniformly from ranges of its model, from the seed (feeder i of a fleet from
the seed and i); the pin options fix one value:
  model 0:     resonance 54..74, half-width 9..20, gain 0.0012..0.0035,
               friction 10..20, noise 0.3..2.5, mismatch 0..0.05
  models 1, 2: resonance 20..30, half-width 5..11, gain 0.0005..0.0014,
               friction 8..18, noise 0.5..5, mismatch 0..0.05
The default seed gives a feeder that tunes every action of every model; the
ranges also hold feeders that do not tune.

The host is the host kit's session driver. Each step calls TVLTask once; the
camera reports the part's position (two decimals) at every step, so each
report after a vibration shows where it went. On status 2 with the part in
one of the action's target areas the part is put back at the action's start
(the middle of the non-target area nearest the centre of the grid: the centre,
or the low X band for action 9 and the low Y band for action 10). Status 3 is
answered with verify (2); status 6 with success (3) when the part lies in a
target area, else restart (1). After success one more step must show the task
ended (8). A session fails when the early verdict (--verdict) declares it
hopeless or when it has not ended within the step budget. Simulated time adds
every run time and the camera time of every step, and the library's clock
reads it: its timeouts run on simulated seconds.

The library's state lasts as long as the process: only the first session of a
process is exactly what a fresh tavrel-replay of its trace reproduces.

Output files (--trace, --report, --log) are checked before any session runs;
a regular file is written whole or not at all (a temporary file beside it,
renamed over it with its mode kept), a symbolic link leads to the file it
names, a FIFO, a terminal or a device is written in place. Two outputs in
one file are refused; a write error fails the run.

SIGINT or SIGTERM stops the run at the next step: the log is kept, ending on
whole lines; a trace or report of the unfinished session is not written.

Exit status: 0 when every requested session tuned, 1 when one failed, 2 on a
bad command line or file or a write error, 130 after SIGINT and 143 after
SIGTERM.
)";
}

} // namespace tvlsim
