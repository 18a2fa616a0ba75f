// The console of a host program: the library prints its diagnostics on
// standard output, so the program writes its own view to a saved copy of it
// and sends file descriptor 1 elsewhere while the library runs.
#ifndef TAVREL_TOOLS_CONSOLE_H
#define TAVREL_TOOLS_CONSOLE_H

#include <cstdio>
#include <string>

namespace tvltools {

// Where the program's own output goes: standard output as it was at start.
// With `passThrough` the library's text stays on standard output as well;
// otherwise it goes to `logPath`, or is discarded when that is empty.
// Throws UsageError when the log cannot be opened.
FILE *divertLibraryOutput(bool passThrough, const std::string &logPath);

bool isTerminal(FILE *stream);

} // namespace tvltools

#endif
