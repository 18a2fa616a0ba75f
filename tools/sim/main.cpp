// tavrel-sim: tunes simulated feeders with the host kit's session driver and
// prints what each session achieved.
#include "cli.h"
#include "console.h"
#include "copies.h"
#include "options.h"
#include "output_file.h"
#include "physics.h"
#include "progress.h"
#ifdef TAVREL_SIM_RECIPES
#include "recipes_run.h"
#endif
#include "report.h"
#include "session.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tvlsim;

// A simulated feeder of one copy of the kit, destroyed with its owner.
class SimFeeder {
  public:
    SimFeeder(const TVK_Api &api, const Options &options, int model, int index, int action)
        : api_(api) {
        const TVK_SimRanges ranges = rangesFor(model, options.overrides);
        // Feeder i of a model is the same for every action; its motion noise
        // differs per action.
        const std::uint64_t feederSeed = api.sim_mix_seed(
            options.seed, static_cast<std::uint64_t>(model), static_cast<std::uint64_t>(index));
        const std::uint64_t noiseSeed = api.sim_mix_seed(
            options.seed,
            static_cast<std::uint64_t>(model) * 1000003 + static_cast<std::uint64_t>(index),
            static_cast<std::uint64_t>(action) + 1);
        const int result = api.sim_create(model, &ranges, feederSeed, noiseSeed, &sim_);
        if (result != TVK_OK) {
            throw tvltools::UsageError(std::string("simulated feeder: ") + api.strerror(result));
        }
    }
    SimFeeder(const SimFeeder &) = delete;
    SimFeeder &operator=(const SimFeeder &) = delete;
    ~SimFeeder() {
        api_.sim_destroy(sim_);
    }
    TVK_SimFeeder *get() const {
        return sim_;
    }

  private:
    const TVK_Api &api_;
    TVK_SimFeeder *sim_ = nullptr;
};

// The feeder's name in the names of its frames.
std::string feederLabel(int model, int action, int index) {
    char label[32];
    (void)std::snprintf(label, sizeof label, "m%d-a%02d-f%06d", model, action, index);
    return label;
}

// A fresh feeder and session: the result depends on nothing but the options,
// the model, the index and the action, whichever copy runs it. frames: the
// frames camera, else the simulator's coordinates.
SessionResult runOne(const tvltools::KitCopy &copy, const Options &options,
                     const CameraModule *frames, int model, int index, int action,
                     std::string *trace) {
    const SimFeeder feeder(copy.api, options, model, index, action);
    SessionSetup setup;
    setup.model = model;
    setup.action = action;
    setup.maxSteps = options.maxSteps;
    setup.cameraMs = options.cameraMs;
    setup.verdictSweeps = options.verdictSweeps;
    if (frames != nullptr) {
        setup.frames = frames;
        setup.frameOptions = &options.frames;
        setup.cameraSeed = copy.api.sim_mix_seed(options.seed,
                                                 static_cast<std::uint64_t>(model) * 1000003 +
                                                     static_cast<std::uint64_t>(index),
                                                 static_cast<std::uint64_t>(action) + 1000001);
        setup.label = feederLabel(model, action, index);
    }
    return runSession(copy, setup, feeder.get(), trace);
}

std::string motorCell(const SessionResult &result, const TVK_Geometry &geometry, int motor) {
    if (geometry.motor[motor] == TVK_MOTOR_OFF || !result.commanded) {
        return "-";
    }
    const unsigned short *words = result.lastCommand.u16MotParam[motor];
    return std::to_string(words[0]) + "/" + std::to_string(words[1]);
}

void printSessionRow(FILE *out, int model, int action, const SessionResult &result) {
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    tvk_geometry(model, action, &geometry);
    (void)std::fprintf(out, "%5d %6d  %-6s %10d %8.1f", model, action,
                       result.tuned() ? "tuned" : "failed", result.vibrations, result.simSeconds);
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        (void)std::fprintf(out, " %10s", motorCell(result, geometry, motor).c_str());
    }
    (void)std::fprintf(out, "\n");
}

std::string sessionLabel(int model, int action) {
    return "model " + std::to_string(model) + " action " + std::to_string(action);
}

long sessionCount(const Options &options) {
    return static_cast<long>(options.models.size() * options.actions.size()) *
           std::max(options.fleet, 1);
}

// The program's output files (--trace, --report, --log), opened before any
// work so that a bad name fails at once.
struct RecordFiles {
    explicit RecordFiles(const Options &options) {
        if (!options.tracePath.empty()) {
            trace.emplace(options.tracePath, "--trace");
        }
        if (!options.reportPath.empty()) {
            picture.emplace(options.reportPath, "--report");
        }
        if (!options.logPath.empty()) {
            log.emplace(options.logPath, "--log");
        }
        std::vector<const tvltools::OutputFile *> all;
        for (const auto *file : {&trace, &picture, &log}) {
            if (*file) {
                all.push_back(&**file);
            }
        }
        tvltools::refuseClashes(all, {});
    }
    bool recording() const {
        return trace || picture;
    }
    tvltools::OutputFile *logFile() {
        return log ? &*log : nullptr;
    }
    std::optional<tvltools::OutputFile> trace;
    std::optional<tvltools::OutputFile> picture;
    std::optional<tvltools::OutputFile> log;
};

// The trace, and the picture drawn from it.
void keepRecord(RecordFiles &files, int model, int action, const std::string &trace) {
    if (files.trace) {
        files.trace->write(trace);
        files.trace->commit();
    }
    if (files.picture) {
        drawReport(*files.picture, trace, model, action);
    }
}

bool runSessions(const Options &options, const CameraModule *frames, RecordFiles &files,
                 FILE *out) {
    const bool recording = files.recording();
    (void)std::fprintf(out, "model action  result vibrations    sim s %10s %10s %10s %10s\n",
                       "m0 amp/fre", "m1 amp/fre", "m2 amp/fre", "m3 amp/fre");
    (void)std::fflush(out);
    bool allTuned = true;
    tvltools::ProgressMeter progress(sessionCount(options), "sessions");
    const tvltools::KitCopy own = tvltools::ownCopy();
    for (const int model : options.models) {
        for (const int action : options.actions) {
            progress.setLabel(sessionLabel(model, action));
            std::string trace;
            const SessionResult result =
                runOne(own, options, frames, model, 0, action, recording ? &trace : nullptr);
            progress.clear();
            if (tvltools::stopSignal() != 0) {
                return false;
            }
            printSessionRow(out, model, action, result);
            (void)std::fflush(out);
            progress.advance();
            allTuned = allTuned && result.tuned();
            if (recording) {
                keepRecord(files, model, action, trace);
            }
        }
    }
    return allTuned;
}

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double> &sorted, double fraction) {
    const auto rank =
        static_cast<std::size_t>(fraction * static_cast<double>(sorted.size()) + 0.999999);
    return sorted.at(std::max<std::size_t>(rank, 1) - 1);
}

// Vibrations and simulated seconds of a group of sessions.
struct Spent {
    std::vector<double> vibrations;
    std::vector<double> seconds;

    void add(const SessionResult &result) {
        vibrations.push_back(result.vibrations);
        seconds.push_back(result.simSeconds);
    }
    void append(const Spent &other) {
        vibrations.insert(vibrations.end(), other.vibrations.begin(), other.vibrations.end());
        seconds.insert(seconds.end(), other.seconds.begin(), other.seconds.end());
    }
    // Median and 90th percentile of both, or dashes for an empty group.
    void print(FILE *out) const {
        if (vibrations.empty()) {
            (void)std::fprintf(out, " %8s %8s %8s %8s", "-", "-", "-", "-");
            return;
        }
        std::vector<double> v = vibrations;
        std::vector<double> s = seconds;
        std::sort(v.begin(), v.end());
        std::sort(s.begin(), s.end());
        (void)std::fprintf(out, " %8.0f %8.0f %8.1f %8.1f", percentile(v, 0.5), percentile(v, 0.9),
                           percentile(s, 0.5), percentile(s, 0.9));
    }
};

void printFleetRow(FILE *out, int model, int action, int feeders, const Spent &tuned,
                   const Spent &failed) {
    const double rate = 100.0 * static_cast<double>(tuned.vibrations.size()) / feeders;
    (void)std::fprintf(out, "%5d %6d %7d %6.1f%%", model, action, feeders, rate);
    tuned.print(out);
    failed.print(out);
    (void)std::fprintf(out, "\n");
}

// Session i of the fleet: model by model, action by action, feeder by feeder
// (worked out, not listed: a fleet may hold millions).
struct FleetSession {
    int model;
    int action;
    int index;
};

FleetSession fleetSession(const Options &options, std::size_t i) {
    const auto fleet = static_cast<std::size_t>(options.fleet);
    const std::size_t group = i / fleet;
    return {options.models[group / options.actions.size()],
            options.actions[group % options.actions.size()], static_cast<int>(i % fleet)};
}

bool runFleet(const Options &options, const CameraModule *frames, const KitCopies &copies,
              FILE *out) {
    (void)std::fprintf(out, "%29s %-35s %s\n", "", "tuned: vibrations, sim s",
                       "not tuned: vibrations, sim s");
    (void)std::fprintf(out, "model action feeders  tuned   median      p90   median      p90"
                            "   median      p90   median      p90\n");
    (void)std::fflush(out);
    const auto started = std::chrono::steady_clock::now();
    bool allTuned = true;
    tvltools::ProgressMeter progress(sessionCount(options), "sessions");
    const auto count = static_cast<std::size_t>(sessionCount(options));
    progress.setLabel(sessionLabel(options.models.front(), options.actions.front()));
    long done = 0;
    Spent tuned;
    Spent failed;
    Spent allFailed;
    const auto tuneOne = [&](const tvltools::KitCopy &copy, std::size_t i) {
        const FleetSession session = fleetSession(options, i);
        return runOne(copy, options, frames, session.model, session.index, session.action, nullptr);
    };
    // Results arrive in the sessions' order, whatever the number of jobs.
    const auto take = [&](std::size_t i, const SessionResult &result) {
        const FleetSession session = fleetSession(options, i);
        (result.tuned() ? tuned : failed).add(result);
        ++done;
        progress.advance();
        if (session.index + 1 < options.fleet) {
            return;
        }
        progress.clear();
        allTuned = allTuned && failed.vibrations.empty();
        printFleetRow(out, session.model, session.action, options.fleet, tuned, failed);
        allFailed.append(failed);
        tuned = Spent{};
        failed = Spent{};
        (void)std::fflush(out);
        if (i + 1 < count) {
            const FleetSession next = fleetSession(options, i + 1);
            progress.setLabel(sessionLabel(next.model, next.action));
        }
    };
    copies.runInOrder(count, tuneOne, take);
    if (tvltools::stopSignal() != 0) {
        return false;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    (void)std::fprintf(out, "not tuned: %zu of %ld sessions;", allFailed.vibrations.size(), done);
    if (!allFailed.vibrations.empty()) {
        (void)std::fprintf(out, " vibrations, sim s (median, p90):");
        allFailed.print(out);
    }
    (void)std::fprintf(out, "\n%ld sessions in %.1f s: %.0f sessions per second\n", done,
                       elapsed.count(), static_cast<double>(done) / elapsed.count());
    return allTuned;
}

void printPhysicsOf(const Options &options, FILE *out) {
    const tvltools::KitCopy own = tvltools::ownCopy();
    for (const int model : options.models) {
        const SimFeeder feeder(own.api, options, model, 0, 0);
        printPhysics(out, model, feeder.get());
    }
}

bool runAll(const Options &options, const CameraModule *frames, RecordFiles &files, FILE *out) {
#ifdef TAVREL_SIM_RECIPES
    if (!options.recipesPath.empty()) {
        return options.fleet > 0 ? runRecipeFleet(options, out) : runRecipeSessions(options, out);
    }
#endif
    if (options.fleet > 0) {
        // Instances without a log or --verbose keep their text to themselves.
        const KitCopies copies(options.jobs, !options.verbose && files.logFile() == nullptr);
        return runFleet(options, frames, copies, out);
    }
    return runSessions(options, frames, files, out);
}

// What the program prints and its exit status; write errors on standard
// output show at its close.
int run(const Options &options) {
    if (options.help) {
        (void)std::fputs(helpText(), stdout);
        return 0;
    }
    if (options.version) {
        (void)std::fputs(tvltools::versionText("tavrel-sim").c_str(), stdout);
        return 0;
    }
    if (options.physics) {
        printPhysicsOf(options, stdout);
        return 0;
    }
    // The frames camera first: without it nothing runs.
    std::optional<CameraModule> frames;
    if (options.frames.on) {
        frames.emplace();
    }
    RecordFiles files(options);
    tvltools::LibraryOutput library(options.verbose, files.logFile());
    FILE *out = library.view();
    const bool allTuned = runAll(options, frames ? &*frames : nullptr, files, out);
    (void)std::fflush(out);
    library.end();
    if (tvltools::stopSignal() != 0) {
        return tvltools::stoppedExitCode();
    }
    return allTuned ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    tvltools::openStandardDescriptors();
    tvltools::watchStopSignals();
    try {
        const int status = run(parseOptions(argc, argv));
        tvltools::closeOutput(stdout);
        return status;
    } catch (const std::exception &error) {
        (void)std::fprintf(stderr, "tavrel-sim: %s\n", error.what());
        return 2;
    }
}
