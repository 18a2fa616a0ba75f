// The picture of one session, drawn by a plotting script from its trace.
#ifndef TAVREL_SIM_REPORT_H
#define TAVREL_SIM_REPORT_H

#include "output_file.h"

#include <string>

namespace tvlsim {

// Draws the session whose trace (CSV text) is `trace` into `png` and commits
// it. The script runs without a shell, on $TAVREL_PYTHON or the configured
// interpreter; throws tvltools::UsageError with the cause when it cannot run
// or fails.
void drawReport(tvltools::OutputFile &png, const std::string &trace, int model, int action);

} // namespace tvlsim

#endif
