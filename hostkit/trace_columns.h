// The CSV columns both hosts share: the sim writes them per step, the replay
// reads the poll columns back and writes the step and command columns.
#ifndef TAVREL_TOOLS_TRACE_FORMAT_H
#define TAVREL_TOOLS_TRACE_FORMAT_H

#include "tavrel.h"

#include <string>
#include <vector>

namespace tvltools {

// act, then m<k>_amp, m<k>_fre, m<k>_pha, m<k>_mode for motors 0..3, then run_ms.
const std::vector<std::string> &commandColumns();
// Every column of a sim trace, in order.
const std::vector<std::string> &simTraceColumns();

// The command columns' fields; empty fields when nothing was commanded.
std::string commandFields(const ST_HostFedColC *command);
// Status values sent during one step, separated by blanks.
std::string statusField(const std::vector<int> &statuses);
// Positions as the camera reports them: two decimals, read back exactly.
std::string positionField(float value);
float cameraValue(double value);

} // namespace tvltools

#endif
