// The session driver. The library's callbacks carry no user pointer, so the
// one session a process may run lives here, and the adapters below reach it.
#include "capture.h"
#include "kit.h"
#include "verdict.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

struct TVK_Session {
    int unused;
};

namespace {

constexpr int kStatusWaiting = 2; // an arrival, or no part seen
constexpr int kStatusTuned = 3;
constexpr int kStatusVerified = 6;

struct Driver {
    TVK_Session handle{};
    bool active = false;
    bool inCallback = false;
    TVK_SessionConfig config{};
    int steps = 0;
    int vibrations = 0;
    int outcome = TVK_RUNNING;
    std::string reason;
    bool successSent = false;
    bool callbackFailed = false;
    bool lastSeen = false;
    float lastX = 0.0F;
    float lastY = 0.0F;
    ST_HostFedColC lastCommand{};
    TVK_StepReport step{};
    tvk::SweepVerdict verdict;
};

Driver g_driver;

// Marks the time the host's code runs inside the library's call.
class InCallback {
  public:
    InCallback() {
        g_driver.inCallback = true;
    }
    ~InCallback() {
        g_driver.inCallback = false;
    }
    InCallback(const InCallback &) = delete;
    InCallback &operator=(const InCallback &) = delete;
};

// After the session ended the library may still be stepped directly: the
// adapters then see nothing and drive nothing.
ST_HostMateInf cameraAdapter() {
    if (!g_driver.active) {
        return {0.0F, 0.0F, 0};
    }
    TVK_StepReport &step = g_driver.step;
    float x = 0.0F;
    float y = 0.0F;
    int seen = 0;
    {
        const InCallback guard;
        seen = g_driver.config.camera(g_driver.config.user, &x, &y);
    }
    if (seen < 0) {
        g_driver.callbackFailed = true;
    }
    step.seen = seen > 0 ? 1 : 0;
    if (step.seen == 0) {
        return {0.0F, 0.0F, 0};
    }
    step.x = x;
    step.y = y;
    step.dx = g_driver.lastSeen ? x - g_driver.lastX : 0.0F;
    step.dy = g_driver.lastSeen ? y - g_driver.lastY : 0.0F;
    step.area = tvk::areaOf(g_driver.config.model, g_driver.config.action, x, y);
    g_driver.lastSeen = true;
    g_driver.lastX = x;
    g_driver.lastY = y;
    return {x, y, 1};
}

int feederAdapter(ST_HostFedColC command) {
    if (!g_driver.active) {
        return 0;
    }
    TVK_StepReport &step = g_driver.step;
    step.commanded = 1;
    step.command = command;
    g_driver.lastCommand = command;
    ++g_driver.vibrations;
    g_driver.verdict.observe(command);
    int result = 0;
    {
        const InCallback guard;
        result = g_driver.config.feeder(g_driver.config.user, &command);
    }
    if (result < 0) {
        g_driver.callbackFailed = true;
    }
    return 0;
}

int statusAdapter(int status) {
    if (!g_driver.active) {
        return 0;
    }
    TVK_StepReport &step = g_driver.step;
    if (step.status_count < TVK_STATUS_MAX) {
        step.status[step.status_count] = status;
    }
    ++step.status_count;
    return 0;
}

bool sent(const TVK_StepReport &step, int status) {
    const int count = std::min<int>(step.status_count, TVK_STATUS_MAX);
    return std::find(step.status, step.status + count, status) != step.status + count;
}

bool partInTarget() {
    return g_driver.lastSeen && tvk::inTarget(g_driver.config.model, g_driver.config.action,
                                              g_driver.lastX, g_driver.lastY);
}

void finish(int outcome, const std::string &reason) {
    g_driver.outcome = outcome;
    g_driver.reason = reason;
}

void give(TVK_StepReport &step, int command) {
    step.host_command = command;
    TVLLogicStaCol(command);
}

// The standard answers: verify a tuned action; after the verification keep
// the result when the part stayed in its target, tune again when it left.
void answer(TVK_StepReport &step) {
    if (sent(step, kStatusTuned)) {
        step.events |= TVK_EV_TUNED;
        g_driver.verdict.countAgain();
        give(step, TVL_CMD_VERIFY);
    } else if (sent(step, kStatusVerified)) {
        step.events |= TVK_EV_VERIFIED;
        const bool stayed = partInTarget();
        step.events |= stayed ? TVK_EV_SUCCESS : TVK_EV_RESTARTED;
        give(step, stayed ? TVL_CMD_SUCCESS : TVL_CMD_RESTART);
        g_driver.successSent = stayed;
    }
    if (sent(step, kStatusWaiting)) {
        if (step.seen == 0) {
            step.events |= TVK_EV_TIMEOUT;
        } else if (partInTarget()) {
            step.events |= TVK_EV_ARRIVED;
            g_driver.verdict.countAgain();
        }
    }
}

void judge(const TVK_StepReport &step) {
    if (g_driver.successSent && step.host_command < 0) {
        // The step after the success command shows whether the task ended.
        if (step.task == TVL_TASK_END) {
            finish(TVK_TUNED, "tuned and verified: the part stayed in its target");
        } else {
            finish(TVK_FAILED, "the task did not end after the success command (task state " +
                                   std::to_string(step.task) + ")");
        }
        return;
    }
    if (g_driver.verdict.reached() && !g_driver.successSent) {
        finish(TVK_FAILED, g_driver.verdict.reason() + "; " + std::to_string(g_driver.vibrations) +
                               " vibrations");
        return;
    }
    const int budget = g_driver.config.max_steps;
    if (!g_driver.successSent && budget > 0 && g_driver.steps >= budget) {
        finish(TVK_BUDGET, "no success within the budget of " + std::to_string(budget) +
                               " steps (" + std::to_string(g_driver.vibrations) + " vibrations)");
    }
}

void fillOutcome(TVK_StepReport &step) {
    step.outcome = g_driver.outcome;
    step.vibrations = g_driver.vibrations;
    if (step.commanded == 0) {
        step.command = g_driver.lastCommand;
    }
    const std::size_t length = std::min<std::size_t>(g_driver.reason.size(), TVK_REASON_MAX - 1);
    std::memcpy(step.reason, g_driver.reason.data(), length);
    step.reason[length] = '\0';
}

bool ours(const TVK_Session *session) {
    return g_driver.active && session == &g_driver.handle;
}

bool validConfig(const TVK_SessionConfig *config) {
    return tvk::sizedRecord(config) && tvk::validModelAction(config->model, config->action) &&
           config->max_steps >= 0 && config->verdict_sweeps >= 0 && config->camera != nullptr &&
           config->feeder != nullptr;
}

} // namespace

extern "C" {

void tvk_session_config_init(TVK_SessionConfig *config, int model, int action) {
    if (config == nullptr) {
        return;
    }
    *config = TVK_SessionConfig{};
    config->size = sizeof *config;
    config->model = model;
    config->action = action;
    config->max_steps = 3000;
    config->verdict_sweeps = 3;
}

int tvk_session_start(const TVK_SessionConfig *config, TVK_Session **out) {
    if (out == nullptr || !validConfig(config)) {
        return TVK_E_ARG;
    }
    if (g_driver.inCallback) {
        return TVK_E_STATE;
    }
    if (g_driver.active) {
        return TVK_E_BUSY;
    }
    g_driver = Driver{};
    g_driver.config = *config;
    g_driver.config.size = sizeof g_driver.config;
    g_driver.verdict.begin(config->model, config->action, config->verdict_sweeps);
    if (TVLInit(cameraAdapter, feederAdapter, statusAdapter, config->model, config->action) != 1) {
        return TVK_E_LIBRARY;
    }
    g_driver.active = true;
    *out = &g_driver.handle;
    return TVK_OK;
}

int tvk_session_step(TVK_Session *session, TVK_StepReport *report) {
    if (!ours(session) || !tvk::sizedRecord(report)) {
        return TVK_E_ARG;
    }
    if (g_driver.inCallback || g_driver.outcome != TVK_RUNNING) {
        return TVK_E_STATE;
    }
    TVK_StepReport &step = g_driver.step;
    step = TVK_StepReport{};
    step.size = sizeof step;
    step.step = g_driver.steps;
    step.area = -1;
    step.host_command = -1;
    g_driver.callbackFailed = false;
    step.task = TVLTask();
    ++g_driver.steps;
    if (step.commanded != 0) {
        step.events |= TVK_EV_VIBRATED;
    }
    const bool confirming = g_driver.successSent;
    if (!confirming) {
        answer(step);
    }
    judge(step);
    fillOutcome(step);
    tvk::pumpCapture();
    std::memcpy(report, &step, sizeof step);
    return g_driver.callbackFailed ? TVK_E_CALLBACK : TVK_OK;
}

int tvk_session_run(TVK_Session *session, TVK_PutBackFn put_back, TVK_StepReport *report) {
    if (!ours(session) || !tvk::sizedRecord(report)) {
        return TVK_E_ARG;
    }
    for (;;) {
        const int result = tvk_session_step(session, report);
        if (result != TVK_OK) {
            return result;
        }
        if ((report->events & TVK_EV_ARRIVED) != 0 && put_back != nullptr) {
            const InCallback guard;
            put_back(g_driver.config.user);
        }
        if (report->outcome != TVK_RUNNING) {
            return TVK_OK;
        }
    }
}

int tvk_session_command(TVK_Session *session, int command) {
    if (!ours(session) || command < TVL_CMD_END || command > TVL_CMD_SUCCESS) {
        return TVK_E_ARG;
    }
    if (g_driver.inCallback || g_driver.outcome != TVK_RUNNING) {
        return TVK_E_STATE;
    }
    TVLLogicStaCol(command);
    if (command == TVL_CMD_END) {
        finish(TVK_STOPPED, "ended by the host");
    } else if (command == TVL_CMD_SUCCESS) {
        g_driver.successSent = true;
    } else if (command == TVL_CMD_RESTART) {
        g_driver.verdict.countAgain();
    }
    return TVK_OK;
}

int tvk_session_set_params(TVK_Session *session, const ST_HostLogicParam *params) {
    if (!ours(session) || params == nullptr) {
        return TVK_E_ARG;
    }
    if (g_driver.inCallback || g_driver.outcome != TVK_RUNNING) {
        return TVK_E_STATE;
    }
    TVLLogicParamSet(params->u16AmpInit, params->u16AmpMax, params->u16FreInit, params->u16FreMax,
                     params->u16FedRunTim);
    g_driver.verdict.begin(g_driver.config.model, g_driver.config.action,
                           g_driver.config.verdict_sweeps);
    return TVK_OK;
}

int tvk_session_outcome(const TVK_Session *session, char *reason, int32_t reason_size) {
    if (!ours(session) || (reason != nullptr && reason_size <= 0)) {
        return TVK_E_ARG;
    }
    if (reason != nullptr) {
        const std::size_t length = std::min<std::size_t>(g_driver.reason.size(),
                                                         static_cast<std::size_t>(reason_size) - 1);
        std::memcpy(reason, g_driver.reason.data(), length);
        reason[length] = '\0';
    }
    return g_driver.outcome;
}

int tvk_session_end(TVK_Session *session) {
    if (session == nullptr) {
        return TVK_OK;
    }
    if (!ours(session)) {
        return tvk::fail(TVK_E_HANDLE, "tvk_session_end: session is not a live session");
    }
    if (g_driver.inCallback) {
        return tvk::fail(TVK_E_REENTRY, "tvk_session_end: called from inside a callback");
    }
    g_driver.active = false;
    return TVK_OK;
}

} // extern "C"
