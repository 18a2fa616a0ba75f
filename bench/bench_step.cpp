// What one TVLTask step costs beyond the diagnostic text it must print. Each
// step benchmark has a floor beside it that makes exactly the same print calls
// and nothing else; the ratio step/floor is the library's own share.
#include "bench/print_record.h"
#include "feeder/feeder.h"
#include "host/tavrel.h"
#include "logic/logic.h"
#include "vision/vision.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <ostream>
#include <streambuf>
#include <string>
#include <unistd.h>

namespace {

// The host: a coordinate callback answering what the scenario sets, and
// feeder and status callbacks that do nothing.
ST_HostMateInf g_stAnswer{};
ST_HostMateInf HostCoord() {
    return g_stAnswer;
}
int HostFedCol(ST_HostFedColC /*stCmd*/) {
    return 0;
}
int HostLogCol(int /*iStatus*/) {
    return 0;
}

constexpr float kStartX = 100.0F;
constexpr float kStartY = 80.0F;

ST_HostMateInf At(float fX, float fY) {
    return ST_HostMateInf{fX, fY, 1};
}

// Action 0 of model 0, adjusting: primed, then three misses.
void StartAdjusting() {
    TVLInit(HostCoord, HostFedCol, HostLogCol, 0, 0);
    g_stAnswer = At(kStartX, kStartY);
    for (int step = 0; step < 4; ++step) {
        TVLTask();
    }
}

// The ring slot the next sample is measured against.
ST_MateInf &PreviousSample() {
    return g_stVision.stEntiMateInf[(g_stVision.u8MateIdx + kVisionRingLen - 1) % kVisionRingLen]
        .stMateInf;
}

unsigned short g_u16SavedMot[kVoiMotNum][kFedMotParamNum];

// --- No sample: the host saw nothing this step.
void PrepareNoSample() {
    StartAdjusting();
    g_stAnswer = ST_HostMateInf{};
    // A last sample in the far future: no timeout however long the run.
    g_stLogic.stLogicAdj.stLogMateReco.tLastMate = std::numeric_limits<TvlTimePoint>::max();
}
void RestoreNoSample() {}

// --- Wanted movement outside the target areas: scored, and a vibration commanded.
void PrepareWantedMove() {
    StartAdjusting();
    g_stAnswer = At(kStartX + 4, kStartY);
}
void RestoreWantedMove() {
    PreviousSample().fPosX = kStartX;
    PreviousSample().fPosY = kStartY;
    g_stLogic.stLogicAdj.u8AdjNum = 0;
    g_stLogic.stLogicAdj.bMoveLatch = 0;
}

// --- No movement: rejected, the motors corrected, a vibration commanded.
void PrepareRejected() {
    StartAdjusting();
    g_stAnswer = At(kStartX, kStartY);
    std::memcpy(g_u16SavedMot, g_stFedParam[0].stActParam[0].u16MotParam, sizeof g_u16SavedMot);
}
void RestoreRejected() {
    std::memcpy(g_stFedParam[0].stActParam[0].u16MotParam, g_u16SavedMot, sizeof g_u16SavedMot);
    PreviousSample().fPosX = kStartX;
    PreviousSample().fPosY = kStartY;
}

// --- Verification start: the verification vibration commanded.
void PrepareVerification() {
    StartAdjusting();
    g_stAnswer = ST_HostMateInf{};
    TVLLogicStaCol(TVL_CMD_VERIFY);
}
void RestoreVerification() {
    g_stLogic.enLogicTaskSta = enLogicTaskVerifStart;
    g_stLogic.stLogicAdj.enAdj = enLogicAdjVerifStart;
}

struct Scenario {
    const char *pszName;
    void (*pfnPrepare)();
    void (*pfnRestore)(); // undoes what a step changed; a few stores, timed with the step
};

const Scenario kScenarios[] = {
    {"no_sample", PrepareNoSample, RestoreNoSample},
    {"sample_commands_vibration", PrepareWantedMove, RestoreWantedMove},
    {"rejected_sample_corrects_motors", PrepareRejected, RestoreRejected},
    {"verification_start", PrepareVerification, RestoreVerification},
};

// One step's print calls, after checking that every step prints the same.
bool RecordStep(const Scenario &stScenario, tvlbench::PrintRecord *pstRecord) {
    stScenario.pfnPrepare();
    tvlbench::PrintRecord stRuns[2];
    for (tvlbench::PrintRecord &stRun : stRuns) {
        stScenario.pfnRestore();
        tvlbench::StartRecording();
        TVLTask();
        stRun = tvlbench::StopRecording();
    }
    *pstRecord = stRuns[0];
    return !stRuns[0].bUnsupported && stRuns[0].text == stRuns[1].text;
}

void BM_Step(benchmark::State &state, const Scenario &stScenario) {
    tvlbench::PrintRecord stRecord;
    if (!RecordStep(stScenario, &stRecord)) {
        state.SkipWithError("the step prints differently each time, or a call the replay lacks");
        return;
    }
    stScenario.pfnPrepare();
    for (auto _ : state) {
        stScenario.pfnRestore();
        benchmark::DoNotOptimize(TVLTask());
    }
    state.counters["bytes"] = static_cast<double>(stRecord.text.size());
}

void BM_Floor(benchmark::State &state, const Scenario &stScenario) {
    tvlbench::PrintRecord stRecord;
    if (!RecordStep(stScenario, &stRecord)) {
        state.SkipWithError("the step prints differently each time, or a call the replay lacks");
        return;
    }
    for (auto _ : state) {
        tvlbench::Replay(stRecord.calls);
    }
    state.counters["bytes"] = static_cast<double>(stRecord.text.size());
}

// A stream over a FILE *: the report goes to the real standard output while
// the library's goes to /dev/null.
class FileBuf : public std::streambuf {
  public:
    explicit FileBuf(FILE *pFile) : m_pFile(pFile) {}

  protected:
    int overflow(int iChar) override {
        return iChar == EOF ? 0 : fputc(iChar, m_pFile);
    }
    std::streamsize xsputn(const char *pcData, std::streamsize lCount) override {
        return static_cast<std::streamsize>(
            fwrite(pcData, 1, static_cast<std::size_t>(lCount), m_pFile));
    }
    int sync() override {
        return fflush(m_pFile);
    }

  private:
    FILE *m_pFile;
};

// Shows the runs as usual and keeps the medians for the ratio table.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    explicit MedianReporter(bool bColor) : ConsoleReporter(bColor ? OO_ColorTabular : OO_Tabular) {}

    std::map<std::string, double> medianNs;

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name == "median") {
                medianNs[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }
};

void PrintSummary(FILE *pReport, const MedianReporter &reporter) {
    fprintf(pReport, "\nmedian CPU time per TVLTask step, ns\n%-34s %8s %8s %8s %10s\n", "step",
            "step", "floor", "library", "step/floor");
    for (const Scenario &stScenario : kScenarios) {
        const std::string name = stScenario.pszName;
        const auto itStep = reporter.medianNs.find("step/" + name);
        const auto itFloor = reporter.medianNs.find("floor/" + name);
        if (itStep == reporter.medianNs.end() || itFloor == reporter.medianNs.end()) {
            continue;
        }
        fprintf(pReport, "%-34s %8.0f %8.0f %8.0f %10.2f\n", name.c_str(), itStep->second,
                itFloor->second, itStep->second - itFloor->second,
                itStep->second / itFloor->second);
    }
    fprintf(pReport,
            "\nstatic state: g_stLogic %zu B, g_stVision %zu B, g_stFedParam %zu B, total %zu B\n",
            sizeof g_stLogic, sizeof g_stVision, sizeof g_stFedParam,
            sizeof g_stLogic + sizeof g_stVision + sizeof g_stFedParam);
}

} // namespace

int main(int argc, char **argv) {
    FILE *pReport = fdopen(dup(STDOUT_FILENO), "w");
    if (pReport == nullptr || freopen("/dev/null", "w", stdout) == nullptr) {
        perror("redirecting standard output");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    for (const Scenario &stScenario : kScenarios) {
        const std::string name = stScenario.pszName;
        benchmark::RegisterBenchmark(("step/" + name).c_str(), BM_Step, stScenario)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(("floor/" + name).c_str(), BM_Floor, stScenario)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    FileBuf fileBuf(pReport);
    std::ostream reportStream(&fileBuf);
    MedianReporter reporter(isatty(fileno(pReport)) != 0);
    reporter.SetOutputStream(&reportStream);
    reporter.SetErrorStream(&reportStream);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reportStream.flush();
    PrintSummary(pReport, reporter);
    benchmark::Shutdown();
    fclose(pReport);
    return 0;
}
