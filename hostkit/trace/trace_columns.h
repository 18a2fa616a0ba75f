// The step trace: what the recorder writes and tavrel-replay reads back.
#ifndef TAVREL_HOSTKIT_TRACE_COLUMNS_H
#define TAVREL_HOSTKIT_TRACE_COLUMNS_H

#include "tavrel_hostkit.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tvk {

// act, then m<k>_amp, m<k>_fre, m<k>_pha, m<k>_mode for motors 0..3, then run_ms.
const std::vector<std::string> &commandColumns();
// Every column of a trace, in order.
const std::vector<std::string> &traceColumns();

// The header line and one step's line of a trace, each with its "\n".
// Positions and times as exactText() writes them; `timeText` is the step's.
std::string traceHeader();
std::string traceRow(int model, int action, const std::string &timeText, const TVK_StepReport &step,
                     bool reset);

// The command columns' fields; empty fields when nothing was commanded.
std::string commandFields(const ST_HostFedColC *command);
// Status values sent during one step, separated by blanks.
std::string statusField(const int32_t *statuses, int count);
// What the simulated camera reports: the position to two decimals.
float cameraValue(double value);
// The replay's own output columns: positions to two decimals, times to the
// microsecond.
std::string positionField(float value);
std::string timeField(std::int64_t nanoseconds);

} // namespace tvk

#endif
