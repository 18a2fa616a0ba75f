// Records the calls the library makes to print its diagnostic text, so that a
// floor benchmark can make exactly the same calls and nothing else.
//
// The benchmark is linked with --wrap for printf and puts (the compiler turns
// a printf of a plain line into puts). Every such call in the executable, the
// library's and the floor's alike, passes through the same thin wrapper, so
// the wrapper's cost is the same on both sides.
#ifndef TAVREL_BENCH_PRINT_RECORD_H
#define TAVREL_BENCH_PRINT_RECORD_H

#include <string>
#include <vector>

namespace tvlbench {

// The argument lists the replay knows, named by one letter per argument.
enum class PrintShape { kPuts, kNone, kD, kDD, kF, kFF, kS, kSDDDD, kUnknown };

// One call with its arguments; the formats use only %d, %f and %s.
struct PrintCall {
    PrintShape enShape;
    const char *pszText; // the library's own format or line
    int iArgs[8];
    double dArgs[8];
    const char *pszArgs[8];
};

struct PrintRecord {
    std::vector<PrintCall> calls;
    std::string text;          // everything printed, for comparing two records
    bool bUnsupported = false; // a call the replay could not make
};

// Records every print call until StopRecording; the calls still print.
void StartRecording();
PrintRecord StopRecording();

// Makes the recorded calls again.
void Replay(const std::vector<PrintCall> &calls);

} // namespace tvlbench

#endif
