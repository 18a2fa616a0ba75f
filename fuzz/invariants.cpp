#include "fuzz/invariants.h"

#include <cstring>

namespace tvlfuzz {

const char *TaskResultFault(int iResult) {
    if (iResult == TVL_TASK_NONE || (TVL_TASK_ADJ <= iResult && iResult <= TVL_TASK_END)) {
        return nullptr;
    }
    return "TVLTask returned a value other than 0 or 4..8";
}

const char *CommandFault(const ST_HostFedColC &stCmd) {
    if (stCmd.enAct < 0 || stCmd.enAct > 10) {
        return "feeder command with an action outside 0..10";
    }
    // Read the raw bytes: the promise is about the record the host receives.
    unsigned char u8Bytes[sizeof stCmd];
    std::memcpy(u8Bytes, &stCmd, sizeof stCmd);
    if (u8Bytes[38] != 0 || u8Bytes[39] != 0) {
        return "feeder command with non-zero bytes 38-39";
    }
    return nullptr;
}

const char *StatusFault(int iStatus) {
    switch (iStatus) {
    case 1:
    case 2:
    case 3:
    case 6:
        return nullptr;
    default:
        return "status other than 1, 2, 3 or 6";
    }
}

const char *CallbackFault(int iTaskDepth) {
    return iTaskDepth > 0 ? nullptr : "host callback outside TVLTask";
}

} // namespace tvlfuzz
