// The command line of tavrel-sim.
#ifndef TAVREL_SIM_OPTIONS_H
#define TAVREL_SIM_OPTIONS_H

#include "camera.h"
#include "tavrel_hostkit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvlsim {

struct Overrides {
    std::optional<double> resonance;
    std::optional<double> halfWidth;
    std::optional<double> gain;
    std::optional<double> friction;
    std::optional<double> noise;
    std::optional<double> mismatch;
    std::optional<double> kinetic;
    std::optional<double> lift;
    std::optional<double> restitution;
    std::optional<double> scatter;
    std::optional<double> age;
    std::optional<double> load;
    double rangeScale = 1.0;
};

struct Options {
    std::vector<int> models{0};
    std::vector<int> actions;
    std::uint64_t seed = 1;
    int fleet = 0;
    int jobs = 1; // parseOptions sets the default: the number of processors
    int maxSteps = 3000;
    int verdictSweeps = 3;
    int cameraMs = 100;
    FrameOptions frames;           // --camera frames and how it sees the feeders
    bool frameOptionGiven = false; // a --frame-* option or --save-frames
    Overrides overrides;
    std::string tracePath;
    std::string reportPath;
    std::string logPath;
    bool verbose = false;
    bool physics = false;
    std::string recipesPath; // --recipes: tune through this store
    std::string part = "sim-part";
    bool commission = false;
    bool fleetVerdict = false; // --fleet-verdict: the store ends hopeless full tunings
    int driftMargin = -1;      // --drift-margin: the store's default when negative
    double driftLoad = 0.0;    // --drift: the re-tune's load per plate mass
    bool help = false;
    bool version = false;
};

// Throws tvltools::UsageError on a bad command line.
Options parseOptions(int argc, char **argv);
// The model's default ranges with every override pinned.
TVK_SimRanges rangesFor(int model, const Overrides &overrides);
const char *helpText();

} // namespace tvlsim

#endif
