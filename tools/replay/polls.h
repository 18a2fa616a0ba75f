// A recorded session as tavrel-replay reads it: one camera poll per step and
// the host command, if any, issued after that step.
#ifndef TAVREL_REPLAY_POLLS_H
#define TAVREL_REPLAY_POLLS_H

#include <optional>
#include <string>
#include <vector>

namespace tvlreplay {

struct Poll {
    float x = 0.0F;
    float y = 0.0F;
    int valid = 0;
    int command = -1; // -1: none
};

struct Recording {
    std::vector<Poll> polls;
    std::optional<int> model; // when the file names one
    std::optional<int> action;
};

// Reads and checks the whole file before anything runs. Columns: x, y, valid
// (required), command, and any other column of a tavrel-sim trace, whose
// model and action columns must hold one value throughout. Throws
// tvltools::UsageError with "FILE:LINE: ..." on bad input.
Recording readRecording(const std::string &path);

} // namespace tvlreplay

#endif
