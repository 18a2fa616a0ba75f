// What the library promises the host on every call, as checks the fuzz target
// applies to everything it sees. Each check returns null when the value keeps
// the promise, otherwise a short description of the breach.
#ifndef TAVREL_FUZZ_INVARIANTS_H
#define TAVREL_FUZZ_INVARIANTS_H

#include "host/tavrel.h"

namespace tvlfuzz {

// TVLTask returns 0 (not initialised) or a task state 4..8.
const char *TaskResultFault(int iResult);

// A feeder command names an action 0..10 and carries zero in bytes 38-39.
const char *CommandFault(const ST_HostFedColC &stCmd);

// The status callback only ever receives 1, 2, 3 or 6.
const char *StatusFault(int iStatus);

// Host callbacks run only inside TVLTask; iTaskDepth counts the TVLTask calls
// in progress.
const char *CallbackFault(int iTaskDepth);

} // namespace tvlfuzz

#endif
