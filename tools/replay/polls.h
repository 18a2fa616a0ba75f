// A recorded session as tavrel-replay reads it: one camera poll per step and
// the host command, if any, issued after that step.
#ifndef TAVREL_REPLAY_POLLS_H
#define TAVREL_REPLAY_POLLS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvlreplay {

struct Poll {
    float x = 0.0F;
    float y = 0.0F;
    int valid = 0;
    int command = -1;         // -1: none
    std::int64_t timeNs = -1; // when the step began, on the recording's clock; -1: unknown
};

struct Recording {
    std::vector<Poll> polls;
    std::optional<int> model; // when the file names one
    std::optional<int> action;
    bool timed = false; // every row has a time
};

// Reads and checks the whole file before anything runs. Columns: x, y, valid
// (required), command, time_s (in every row or in none, never decreasing),
// and any other column of a trace, whose model and action columns must hold
// one value throughout. Throws
// tvltools::UsageError with "FILE:LINE: ..." on bad input.
Recording readRecording(const std::string &path);

} // namespace tvlreplay

#endif
