// tavrel-sim: tunes simulated feeders through the library's five entry points
// and prints what each session achieved.
#include "action_layout.h"
#include "cli.h"
#include "console.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"
#include "report.h"
#include "session.h"
#include "trace_format.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tvlsim;

// Feeder i of a model, the same for every action.
Feeder drawFeeder(const Options &options, int model, int index) {
    Rng rng(mixSeed(options.seed, static_cast<std::uint64_t>(model),
                    static_cast<std::uint64_t>(index)));
    return Feeder::draw(rangesFor(model, options.overrides), rng);
}

SessionResult runOne(const Options &options, const Feeder &feeder, int model, int index, int action,
                     std::vector<StepRecord> *trace) {
    Rng noise(mixSeed(options.seed, static_cast<std::uint64_t>(model * 1000003 + index),
                      static_cast<std::uint64_t>(action) + 1));
    const SessionSetup setup{model, action, options.maxSteps, options.cameraMs};
    return runSession(setup, feeder, noise, trace);
}

std::string motorCell(const SessionResult &result, int action, int motor) {
    if (!actionLayout(action).motors.at(motor) || !result.commanded) {
        return "-";
    }
    const unsigned short *words = result.lastCommand.u16MotParam[motor];
    return std::to_string(words[0]) + "/" + std::to_string(words[1]);
}

void printSessionRow(FILE *out, int model, int action, const SessionResult &result) {
    std::fprintf(out, "%5d %6d  %-6s %10d %8.1f", model, action, result.tuned ? "tuned" : "failed",
                 result.vibrations, result.simSeconds);
    for (int motor = 0; motor < kMotorNum; ++motor) {
        std::fprintf(out, " %10s", motorCell(result, action, motor).c_str());
    }
    std::fprintf(out, "\n");
}

std::string sessionLabel(int model, int action) {
    return "model " + std::to_string(model) + " action " + std::to_string(action);
}

long sessionCount(const Options &options) {
    return static_cast<long>(options.models.size() * options.actions.size()) *
           std::max(options.fleet, 1);
}

// The files that record a session (--trace, --report), opened before any
// work so that a bad name fails at once.
struct RecordFiles {
    explicit RecordFiles(const Options &options) {
        if (!options.tracePath.empty()) {
            trace.emplace(options.tracePath, "--trace");
        }
        if (!options.reportPath.empty()) {
            picture.emplace(options.reportPath, "--report");
        }
    }
    bool any() const {
        return trace || picture;
    }
    std::optional<tvltools::OutputFile> trace;
    std::optional<tvltools::OutputFile> picture;
};

void writeTrace(std::ostream &out, int model, int action, const std::vector<StepRecord> &trace) {
    const std::vector<std::string> &columns = tvltools::simTraceColumns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        out << (i == 0 ? "" : ",") << columns[i];
    }
    out << "\n";
    char time[32];
    for (const StepRecord &step : trace) {
        std::snprintf(time, sizeof time, "%.3f", step.timeS);
        out << step.step << "," << time << "," << model << "," << action << ","
            << tvltools::positionField(step.x) << "," << tvltools::positionField(step.y) << ",1,"
            << tvltools::positionField(step.dx) << "," << tvltools::positionField(step.dy) << ","
            << step.area << "," << tvltools::statusField(step.statuses) << "," << step.task << ","
            << (step.command >= 0 ? std::to_string(step.command) : "") << ","
            << (step.reset ? 1 : 0) << ","
            << tvltools::commandFields(step.commanded ? &step.feederCommand : nullptr) << "\n";
    }
}

// The trace, and the picture drawn from it.
void keepRecord(RecordFiles &files, int model, int action, const std::vector<StepRecord> &trace) {
    std::ostringstream text;
    writeTrace(text, model, action, trace);
    if (files.trace) {
        files.trace->stream() << text.str();
        files.trace->commit();
    }
    if (files.picture) {
        drawReport(*files.picture, text.str(), model, action);
    }
}

bool runSessions(const Options &options, RecordFiles &files, FILE *out) {
    const bool recording = files.any();
    std::fprintf(out, "model action  result vibrations    sim s %10s %10s %10s %10s\n",
                 "m0 amp/fre", "m1 amp/fre", "m2 amp/fre", "m3 amp/fre");
    bool allTuned = true;
    tvltools::ProgressMeter progress(sessionCount(options), "sessions");
    for (const int model : options.models) {
        const Feeder feeder = drawFeeder(options, model, 0);
        for (const int action : options.actions) {
            progress.setLabel(sessionLabel(model, action));
            std::vector<StepRecord> trace;
            const SessionResult result =
                runOne(options, feeder, model, 0, action, recording ? &trace : nullptr);
            progress.clear();
            printSessionRow(out, model, action, result);
            std::fflush(out);
            progress.advance();
            allTuned = allTuned && result.tuned;
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

void printFleetRow(FILE *out, int model, int action, int feeders, std::vector<double> vibrations,
                   std::vector<double> seconds) {
    const double rate = 100.0 * static_cast<double>(vibrations.size()) / feeders;
    std::fprintf(out, "%5d %6d %8d %7.1f%%", model, action, feeders, rate);
    if (vibrations.empty()) {
        std::fprintf(out, " %10s %8s %10s %8s\n", "-", "-", "-", "-");
        return;
    }
    std::sort(vibrations.begin(), vibrations.end());
    std::sort(seconds.begin(), seconds.end());
    std::fprintf(out, " %10.0f %8.0f %10.1f %8.1f\n", percentile(vibrations, 0.5),
                 percentile(vibrations, 0.9), percentile(seconds, 0.5), percentile(seconds, 0.9));
}

bool runFleet(const Options &options, FILE *out) {
    std::fprintf(out, "model action  feeders   tuned vib median  vib p90 sim s med  sim p90\n");
    bool allTuned = true;
    tvltools::ProgressMeter progress(sessionCount(options), "sessions");
    for (const int model : options.models) {
        std::vector<Feeder> feeders;
        for (int index = 0; index < options.fleet; ++index) {
            feeders.push_back(drawFeeder(options, model, index));
        }
        for (const int action : options.actions) {
            progress.setLabel(sessionLabel(model, action));
            std::vector<double> vibrations;
            std::vector<double> seconds;
            for (int index = 0; index < options.fleet; ++index) {
                const SessionResult result =
                    runOne(options, feeders[index], model, index, action, nullptr);
                if (result.tuned) {
                    vibrations.push_back(result.vibrations);
                    seconds.push_back(result.simSeconds);
                }
                progress.advance();
            }
            progress.clear();
            allTuned = allTuned && static_cast<int>(vibrations.size()) == options.fleet;
            printFleetRow(out, model, action, options.fleet, vibrations, seconds);
            std::fflush(out);
        }
    }
    return allTuned;
}

} // namespace

int main(int argc, char **argv) {
    try {
        const Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText(), stdout);
            return 0;
        }
        if (options.version) {
            std::fputs(tvltools::versionText("tavrel-sim").c_str(), stdout);
            return 0;
        }
        RecordFiles files(options);
        FILE *out = tvltools::divertLibraryOutput(options.verbose, options.logPath);
        const bool allTuned =
            options.fleet > 0 ? runFleet(options, out) : runSessions(options, files, out);
        std::fflush(out);
        return allTuned ? 0 : 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavrel-sim: %s\n", error.what());
        return 2;
    }
}
