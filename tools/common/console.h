// The console of a host program: the library prints its diagnostics on
// standard output, so the program writes its own view to a saved copy of it
// and sends file descriptor 1 elsewhere while the library runs.
#ifndef TAVREL_TOOLS_CONSOLE_H
#define TAVREL_TOOLS_CONSOLE_H

#include "output_file.h"

#include <cstdio>

namespace tvltools {

// Descriptors 0, 1 and 2 open (on the null device where they were closed),
// so that no file the program opens takes their place; call first.
void openStandardDescriptors();

// Where the library's text goes while the program runs: with `passThrough`
// it stays on standard output; otherwise it goes to `log` line by line, or is
// discarded when that is null, and the program's own output goes to a copy of
// standard output as it was at start. Throws UsageError when the capture
// cannot start. Gone without end(), it stops the capture and leaves the log
// uncommitted.
class LibraryOutput {
  public:
    LibraryOutput(bool passThrough, OutputFile *log);
    ~LibraryOutput();
    LibraryOutput(const LibraryOutput &) = delete;
    LibraryOutput &operator=(const LibraryOutput &) = delete;

    // The program's own view of standard output.
    FILE *view() const {
        return view_;
    }
    // Ends the capture: the library's last text reaches the log, whole lines
    // only, the log is committed and the view closed. Throws UsageError when
    // either was not written.
    void end();

  private:
    FILE *view_ = stdout;
    OutputFile *log_;
};

// Flushes and closes a stream of the program's own output; throws UsageError
// ("standard output: REASON") when any of it was lost, so that a program whose
// output did not arrive cannot end with status 0.
void closeOutput(FILE *stream);

bool isTerminal(FILE *stream);

// SIGINT and SIGTERM ask the program to stop at the next step.
void watchStopSignals();
// The signal that asked the program to stop, or 0.
int stopSignal();
// What the program exits with when a signal stopped it: 128 + the signal.
int stoppedExitCode();

} // namespace tvltools

#endif
