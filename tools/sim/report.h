// The picture of one session, drawn by a plotting script from its trace.
#ifndef TAVREL_SIM_REPORT_H
#define TAVREL_SIM_REPORT_H

#include <string>

namespace tvlsim {

// Writes pngPath from the trace at tracePath; removes the trace afterwards
// when `dropTrace`. Throws tvltools::UsageError when the picture fails.
void drawReport(const std::string &pngPath, const std::string &tracePath, int model, int action,
                bool dropTrace);

} // namespace tvlsim

#endif
