#include "options.h"

#include "cli.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Feeder overrides: option name, where it goes, the range it pins, allowed values.
struct OverrideOption {
    const char *name;
    std::optional<double> Overrides::*member;
    TVK_SimRange TVK_SimRanges::*range;
    double lo;
    double hi;
};

const OverrideOption kOverrideOptions[] = {
    {"--resonance", &Overrides::resonance, &TVK_SimRanges::resonance, 1.0, 1000.0},
    {"--width", &Overrides::halfWidth, &TVK_SimRanges::half_width, 0.1, 1000.0},
    {"--gain", &Overrides::gain, &TVK_SimRanges::gain, 0.0, 1000.0},
    {"--friction", &Overrides::friction, &TVK_SimRanges::friction, 0.0, 100.0},
    {"--noise", &Overrides::noise, &TVK_SimRanges::noise, 0.0, 1000.0},
    {"--mismatch", &Overrides::mismatch, &TVK_SimRanges::mismatch, 0.0, 0.9},
    {"--kinetic", &Overrides::kinetic, &TVK_SimRanges::kinetic, 0.01, 1.0},
    {"--lift", &Overrides::lift, &TVK_SimRanges::lift, 0.0, 10.0},
    {"--restitution", &Overrides::restitution, &TVK_SimRanges::restitution, 0.0, 0.99},
    {"--scatter", &Overrides::scatter, &TVK_SimRanges::scatter, 0.0, 10.0},
    {"--age", &Overrides::age, &TVK_SimRanges::age_h, 0.0, 100000.0},
    {"--load", &Overrides::load, &TVK_SimRanges::load, 0.0, 10.0},
};

// How the frames camera sees the feeder: option name, where it goes, allowed values.
struct FrameNumberOption {
    const char *name;
    double FrameOptions::*member;
    double lo;
    double hi;
};

const FrameNumberOption kFrameNumbers[] = {
    {"--frame-tilt", &FrameOptions::tilt, 0.0, 0.4},
    {"--frame-roll", &FrameOptions::rollDeg, -10.0, 10.0},
    {"--frame-vignetting", &FrameOptions::vignetting, 0.0, 1.0},
    {"--frame-blur", &FrameOptions::blurPx, 0.0, 10.0},
    {"--frame-noise", &FrameOptions::noise, 0.0, 100.0},
};

const char *const kShapes[] = {"rect", "ring", "screw"};

int shapeOf(const std::string &text) {
    for (int i = 0; i < static_cast<int>(std::size(kShapes)); ++i) {
        if (text == kShapes[i]) {
            return i;
        }
    }
    throw UsageError("--frame-shape: " + tvltools::quoted(text) + " is not rect, ring or screw");
}

// WIDTHxHEIGHT, each 64..8192.
void takeFrameSize(const std::string &text, FrameOptions &frames) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        throw UsageError("--frame-size: " + tvltools::quoted(text) + " is not WIDTHxHEIGHT");
    }
    frames.width = static_cast<int>(parseInt(text.substr(0, x), 64, 8192, "--frame-size width"));
    frames.height = static_cast<int>(parseInt(text.substr(x + 1), 64, 8192, "--frame-size height"));
}

// The frames camera's options; false for another option.
bool takeFrameOption(const std::string &arg, tvltools::ArgCursor &args, Options &options) {
    FrameOptions &frames = options.frames;
    if (arg == "--camera") {
        const std::string kind = args.valueOf(arg);
        if (kind != "frames" && kind != "coordinates") {
            throw UsageError("--camera: " + tvltools::quoted(kind) +
                             " is not coordinates or frames");
        }
        frames.on = kind == "frames";
        return true;
    }
    options.frameOptionGiven =
        options.frameOptionGiven || arg.rfind("--frame-", 0) == 0 || arg == "--save-frames";
    for (const FrameNumberOption &option : kFrameNumbers) {
        if (arg == option.name) {
            frames.*option.member = parseDouble(args.valueOf(arg), option.lo, option.hi, arg);
            return true;
        }
    }
    if (arg == "--frame-size") {
        takeFrameSize(args.valueOf(arg), frames);
    } else if (arg == "--frame-shape") {
        frames.shape = shapeOf(args.valueOf(arg));
    } else if (arg == "--frame-dust") {
        frames.dust = static_cast<int>(parseInt(args.valueOf(arg), 0, 10000, arg));
    } else if (arg == "--frame-mount") {
        frames.orientation = static_cast<int>(parseInt(args.valueOf(arg), 0, 7, arg));
    } else if (arg == "--save-frames") {
        frames.saveDir = args.fileOf(arg);
    } else {
        return false;
    }
    return true;
}

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
    } else if (arg == "--jobs") {
        options.jobs = static_cast<int>(parseInt(args.valueOf(arg), 1, 1024, arg));
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
    } else if (arg == "--recipes") {
        options.recipesPath = args.fileOf(arg);
    } else if (arg == "--part") {
        options.part = args.valueOf(arg);
    } else if (arg == "--commission") {
        options.commission = true;
    } else if (arg == "--fleet-verdict") {
        options.fleetVerdict = true;
    } else if (arg == "--drift-margin") {
        options.driftMargin = static_cast<int>(parseInt(args.valueOf(arg), 0, 1000000, arg));
    } else if (arg == "--drift") {
        options.driftLoad = parseDouble(args.valueOf(arg), 0.0, 10.0, arg);
    } else if (arg == "--range-scale") {
        options.overrides.rangeScale = parseDouble(args.valueOf(arg), 0.0, 10.0, arg);
    } else if (!takeOverride(arg, args, options.overrides) &&
               !takeFrameOption(arg, args, options)) {
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
    const bool recipeOnly = options.commission || options.fleetVerdict || options.driftLoad > 0.0 ||
                            options.driftMargin >= 0 || options.part != "sim-part";
    if (recipeOnly && options.recipesPath.empty()) {
        throw UsageError("--commission, --fleet-verdict, --drift, --drift-margin and --part go "
                         "with --recipes PATH");
    }
    if (!options.recipesPath.empty() && recording) {
        throw UsageError("--recipes does not go with --trace or --report");
    }
#ifndef TAVREL_SIM_RECIPES
    if (!options.recipesPath.empty()) {
        throw UsageError("--recipes: this tavrel-sim was built without the recipe store");
    }
#endif
    if (options.frameOptionGiven && !options.frames.on) {
        throw UsageError("--frame-* and --save-frames go with --camera frames");
    }
    if (options.frames.on && !options.recipesPath.empty()) {
        throw UsageError("--camera frames does not go with --recipes");
    }
#ifdef _WIN32
    if (options.frames.on) {
        throw UsageError("--camera frames: this build has no frames library (none is built for "
                         "Windows)");
    }
#endif
    if (options.verbose && !options.logPath.empty()) {
        throw UsageError("--verbose and --log both choose where diagnostics go; give one");
    }
}

// A folder the frames can be written into, before any session runs.
void checkFramesDir(const std::string &dir) {
#ifndef _WIN32
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0) {
        throw UsageError("--save-frames " + tvltools::quoted(dir) + ": " + std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        throw UsageError("--save-frames " + tvltools::quoted(dir) + ": not a directory");
    }
    if (access(dir.c_str(), W_OK | X_OK) != 0) {
        throw UsageError("--save-frames " + tvltools::quoted(dir) + ": not writable (" +
                         std::strerror(errno) + ")");
    }
#else
    (void)dir;
#endif
}

// Where a feeder responds and how strongly, drawn from ranges scale times as
// wide about their middles (kept positive).
void widen(TVK_SimRanges &ranges, double scale) {
    if (scale == 1.0) {
        return;
    }
    for (TVK_SimRange TVK_SimRanges::*range :
         {&TVK_SimRanges::resonance, &TVK_SimRanges::half_width, &TVK_SimRanges::gain}) {
        TVK_SimRange &r = ranges.*range;
        const double middle = (r.lo + r.hi) / 2.0;
        const double half = (r.hi - r.lo) / 2.0 * scale;
        r = {std::max(middle - half, middle * 0.05), middle + half};
    }
}

// A range of {0, 0} asks the kit for the default, so a pinned 0 is passed as
// the smallest positive number, which no physics tells from 0.
TVK_SimRange pinned(double value) {
    const double kept = value == 0.0 ? std::numeric_limits<double>::denorm_min() : value;
    return {kept, kept};
}

} // namespace

// One job per processor.
int defaultJobs() {
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

Options parseOptions(int argc, char **argv) {
    Options options;
    options.jobs = defaultJobs();
    options.actions = oneOrAll("all", TVK_ACTION_COUNT, "--action");
    tvltools::ArgCursor args(argc, argv);
    while (!args.done()) {
        takeOption(args.next(), args, options);
    }
    checkCombination(options);
    if (!options.frames.saveDir.empty()) {
        checkFramesDir(options.frames.saveDir);
    }
    return options;
}

TVK_SimRanges rangesFor(int model, const Overrides &overrides) {
    TVK_SimRanges ranges{};
    ranges.size = sizeof ranges;
    tvk_sim_default_ranges(model, &ranges);
    widen(ranges, overrides.rangeScale);
    for (const OverrideOption &option : kOverrideOptions) {
        if (const std::optional<double> &value = overrides.*option.member) {
            ranges.*option.range = pinned(*value);
        }
    }
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
  --jobs J            run the fleet on J instances of the library in J threads
                      (default: the number of processors; 1: in the process's
                      own copy); the statistics are the same for every J
  --resonance F       pin the plate's resonance, Hz
  --width W           pin the resonance half-width (to half power), Hz
  --gain G            pin the coil gain, um of static stroke per amplitude word
  --friction M        pin the static friction coefficient
  --kinetic K         pin kinetic friction as a fraction of static
  --lift L            pin a coil's vertical per horizontal stroke
  --restitution E     pin the rebound per impact speed of a landing part
  --scatter S         pin the sideways kick per impact speed at a landing
  --noise P           pin the largest noise per vibration and axis, host units
  --mismatch M        pin the largest coil gain mismatch (0.03 = 3 %)
  --age H             pin the hours the feeder has run before the session
  --load W            pin the load on the plate per plate mass
  --recipes PATH      tune through the recipe store at PATH (created when
                      missing): each session starts from the feeder's recipe
                      (warm start), a drifted recipe falls back to a full
                      tuning, and what tuned is saved; the table adds how each
                      session started, its probe vibrations and whether the
                      recipe had drifted. With --fleet: every feeder twice,
                      its first tuning and its re-tune from the recipe, with
                      median and 90th percentile of vibrations of the tuned
                      and of the failed sessions of each, the drifted
                      recipes, the re-tunes the warm start alone tuned and
                      the fewest a tuning takes (success count + 1)
  --part NAME         the part's name in the store (default sim-part)
  --commission        probe the feeder before a tuning without a working
                      recipe (with --recipes)
  --fleet-verdict     end a full tuning past twice the 90th percentile of the
                      store's tuned full tunings of its model and action
                      (with --recipes)
  --drift-margin N    vibrations a re-tune may take beyond the success count
                      and the verification before its recipe counts as
                      drifted (default: the store's)
  --drift L           with --recipes --fleet: the re-tune runs on the feeder
                      under a load of L per plate mass (its resonance lowered
                      by sqrt(1 + L))
  --range-scale F     draw resonance, half-width and gain from ranges F times
                      as wide about their middles (default 1)
  --physics           print, for feeder 0 of each --model, the part's mean
                      speed over a grid of amplitude words and frequencies
                      with the plate's amplitudes, A w^2 / g and Kv; no session
  --max-steps N       step budget of one session (default 3000)
  --verdict N         declare a session failed once every driven motor has
                      swept its whole frequency window at its top amplitude
                      N times, over at least 100 N vibrations, with no
                      arrival and no accepted movement (default 3; 0:
                      never, a failing session spends its whole budget)
  --camera-ms N       camera time added per step (default 100)
  --camera KIND       what the library is shown: coordinates (default), the
                      part's position rounded to two decimals, or frames:
                      each feeder's camera renders its empty platform and
                      calibrates on it, learns the part's size from one
                      frame, then at each step renders the part where it
                      lies, locates it and waits until two frames agree;
                      only "one part" reaches the library as seen. Needs
                      the frames camera module (package tavrel-frames-tools;
                      $TAVREL_SIM_MODULE_DIR names another folder to look in)
  --frame-size WxH    the frames' size in pixels (default 640x480)
  --frame-shape S     the part's silhouette: rect, ring or screw (default rect)
  --frame-mount N     how the camera is mounted, 0..7 (rotations and mirror;
                      default 0: origin top left, +X right); the calibration
                      is told, as an integrator would set it
  --frame-tilt T      perspective: the far edge shorter by T (0..0.4,
                      default 0.1)
  --frame-roll D      the camera turned by D degrees (-10..10, default 2)
  --frame-vignetting V  light lost in the image's corners (0..1, default 0.15)
  --frame-blur S      blur, sigma in pixels (default 0.8)
  --frame-noise S     sensor noise, sigma in grey levels (default 2)
  --frame-dust N      dust specks on the platform (default 10)
  --save-frames DIR   write every frame as DIR/mM-aAA-fFFFFFF-LLLLLLL-NN-VERDICT.png
                      (model, action, feeder, look, frame of the look, the
                      locator's verdict; look 0 holds the empty platform and
                      the part-size frame); names sort in the order taken.
                      DIR must be a writable directory
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

The feeder (docs/sim.md gives the equations). A plate on springs, 190 x 155
mm (model 0) or 400 x 300 mm (models 1 and 2, 1.25 mm per host unit; the host
sees 320 x 240), with four voice coils under its corners; a part on it sticks,
slides and hops under Coulomb friction, integrated through every cycle. Coil k
sits under the corner opposite its push towards (-X,+Y), (-X,-Y), (+X,+Y) or
(+X,-Y) and lifts as it pushes (--lift); the plate rocks, so the lift varies
across it. Each coil is a driven damped oscillator: stroke = gain x amplitude
word / sqrt((1 - (f/f0)^2)^2 + (f/(Q f0))^2), lagging by up to 180 degrees;
the frequency word is f in Hz, the phase word shifts the coil in degrees, the
run time is in ms; the mode word is not modelled (every coil runs a sine). The
part slides once the plate's acceleration beats friction and leaves the plate
when the vertical acceleration passes g; each landing kicks it sideways at
random (--scatter). The resonance falls and friction grows with running hours
(--age and the session's own vibration), and a load lowers the resonance.
A vibration also adds noise uniform in +-noise host units per axis.

Each feeder draws its constants uniformly from ranges of its model, from the
seed (feeder i of a fleet from the seed and i); the pin options fix one value:
  every model: friction 0.5..0.7, kinetic 0.8..0.95, lift 0.5..0.65,
               restitution 0.2..0.5, scatter 0.4..1, noise 0.2..1,
               mismatch 0..0.05, resonance wear 0.001..0.003 per hour,
               friction wear 0.005..0.02 per hour, age 0, load 0
  model 0:     resonance 54..70 Hz, half-width 3..7 Hz, gain 0.8..1.6 um
  models 1, 2: resonance 20..30 Hz, half-width 1.5..3.5 Hz, gain 4..8 um
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
