// The session driver. The library's callbacks carry no user pointer, so the
// one session a process may run lives here, and the adapters below reach it.
// Its handle is a token that is never given out again, so a stale handle
// cannot reach a later session. The session's guard is held for the length
// of each call: a call from inside one of its callbacks (or from inside a
// capture's line callback) is refused, as is a call from another thread
// while one is under way.
#include "capture.h"
#include "guard.h"
#include "kit.h"
#include "layout.h"
#include "verdict.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr int kStatusWaiting = 2; // an arrival, or no sample to analyse
constexpr int kStatusTuned = 3;
constexpr int kStatusVerified = 6;

struct Driver {
    void *handle = nullptr;
    bool active = false;
    TVK_SessionConfig config{};
    int steps = 0;
    int vibrations = 0;
    int outcome = TVK_RUNNING;
    std::string reason;
    bool successSent = false;
    int lastHostCommand = -1; // with host answers: the host's last command
    bool callbackFailed = false;
    bool lastSeen = false;
    float lastX = 0.0F;
    float lastY = 0.0F;
    ST_HostFedColC lastCommand{};
    TVK_StepReport step{};
    tvk::SweepVerdict verdict;
};

Driver g_driver;
tvk::OwnerGuard g_guard;

bool hostAnswers() {
    return g_driver.config.answers == TVK_ANSWERS_HOST;
}

// After the session ended the library may still be stepped directly: the
// adapters then see nothing and drive nothing.
ST_HostMateInf cameraAdapter() {
    if (!g_driver.active) {
        return {0.0F, 0.0F, 0};
    }
    TVK_StepReport &step = g_driver.step;
    float x = 0.0F;
    float y = 0.0F;
    const int seen = g_driver.config.camera(g_driver.config.user, &x, &y);
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
    if (g_driver.config.feeder(g_driver.config.user, &command) < 0) {
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
    tvk::lib::TVLLogicStaCol(command);
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
}

// Status 2 is the library's arrival when the part it was shown this step
// lies in a target, and otherwise its word that it had no sample to analyse
// and waited (the sample timeout among them).
void observeWaiting(TVK_StepReport &step) {
    if (!sent(step, kStatusWaiting)) {
        return;
    }
    if (step.seen != 0 && partInTarget()) {
        step.events |= TVK_EV_ARRIVED;
        g_driver.verdict.countAgain();
    } else {
        step.events |= TVK_EV_TIMEOUT;
    }
}

// With host answers the library's end is the host's doing.
bool judgeHostEnd(const TVK_StepReport &step) {
    if (!hostAnswers() || step.task != TVL_TASK_END) {
        return false;
    }
    if (g_driver.lastHostCommand == TVL_CMD_SUCCESS) {
        finish(TVK_TUNED, "the task ended after the host's success command");
    } else {
        finish(TVK_STOPPED, "the task ended after the host's command " +
                                std::to_string(g_driver.lastHostCommand));
    }
    return true;
}

bool judgeStandardSuccess(const TVK_StepReport &step) {
    if (hostAnswers() || !g_driver.successSent || step.host_command >= 0) {
        return false;
    }
    // The step after the success command shows whether the task ended.
    if (step.task == TVL_TASK_END) {
        finish(TVK_TUNED, "tuned and verified: the part stayed in its target");
    } else {
        finish(TVK_FAILED, "the task did not end after the success command (task state " +
                               std::to_string(step.task) + ")");
    }
    return true;
}

void judge(const TVK_StepReport &step) {
    if (judgeHostEnd(step) || judgeStandardSuccess(step)) {
        return;
    }
    const bool succeeded = g_driver.successSent && !hostAnswers();
    if (g_driver.verdict.reached() && !succeeded) {
        finish(TVK_FAILED, g_driver.verdict.reason() + "; " + std::to_string(g_driver.vibrations) +
                               " vibrations");
        return;
    }
    const int budget = g_driver.config.max_steps;
    if (!succeeded && budget > 0 && g_driver.steps >= budget) {
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

// One TVLTask step into g_driver.step; the caller holds the session.
int stepOnce() {
    TVK_StepReport &step = g_driver.step;
    step = TVK_StepReport{};
    step.size = sizeof step;
    step.step = g_driver.steps;
    step.area = -1;
    step.host_command = -1;
    g_driver.callbackFailed = false;
    step.task = tvk::lib::TVLTask();
    ++g_driver.steps;
    if (step.commanded != 0) {
        step.events |= TVK_EV_VIBRATED;
    }
    // The step after the driver's success command only confirms the end.
    if (hostAnswers() || !g_driver.successSent) {
        if (!hostAnswers()) {
            answer(step);
        }
        observeWaiting(step);
    }
    judge(step);
    fillOutcome(step);
    tvk::pumpCapture();
    return g_driver.callbackFailed ? TVK_E_CALLBACK : TVK_OK;
}

// A session call's refusals before it looks at its arguments: from inside a
// callback of the session or of a capture, or while another thread's call
// runs.
class SessionCall {
  public:
    SessionCall(const char *function, const void *frame,
                tvk::Nesting nesting = tvk::Nesting::kRefused)
        : function_(function), hold_(g_guard, function, frame, nesting) {
        refusal_ = hold_.refusal();
        if (refusal_ == TVK_OK && nesting == tvk::Nesting::kRefused &&
            tvk::insideCaptureCallback(frame)) {
            refusal_ =
                tvk::fail(TVK_E_REENTRY,
                          std::string(function) + ": called from inside a capture's line callback");
        }
    }
    // The refusal, or TVK_E_HANDLE when session is not the live session.
    int refusalFor(const TVK_Session *session) const {
        if (refusal_ != TVK_OK) {
            return refusal_;
        }
        if (!g_driver.active || session != g_driver.handle) {
            return tvk::fail(TVK_E_HANDLE,
                             std::string(function_) + ": session is not a live session");
        }
        return TVK_OK;
    }
    int refusal() const {
        return refusal_;
    }

  private:
    const char *function_;
    tvk::Hold hold_;
    int refusal_;
};

// TVK_E_STATE once the outcome is decided.
int refuseOver(const char *function) {
    if (g_driver.outcome == TVK_RUNNING) {
        return TVK_OK;
    }
    return tvk::fail(TVK_E_STATE, std::string(function) + ": the session is over (outcome " +
                                      std::to_string(g_driver.outcome) + ")");
}

// What tvk_session_step and tvk_session_run refuse before a step.
int refusalToStep(const SessionCall &call, const char *function, const TVK_Session *session,
                  const TVK_StepReport *report) {
    int result = call.refusalFor(session);
    if (result == TVK_OK) {
        result = tvk::checkOutput(function, "report", report);
    }
    return result == TVK_OK ? refuseOver(function) : result;
}

int refuseConfig(const char *function, const TVK_SessionConfig &config) {
    const std::string what = std::string(function) + ": config->";
    if (!TvlInRange(config.model, TVK_MODEL_COUNT)) {
        return tvk::fail(TVK_E_ARG,
                         what + "model " + std::to_string(config.model) + " is not 0..2");
    }
    if (!TvlInRange(config.action, TVK_ACTION_COUNT)) {
        return tvk::fail(TVK_E_ARG,
                         what + "action " + std::to_string(config.action) + " is not 0..10");
    }
    if (config.max_steps < 0) {
        return tvk::fail(TVK_E_ARG,
                         what + "max_steps " + std::to_string(config.max_steps) + " is negative");
    }
    if (config.verdict_sweeps < 0) {
        return tvk::fail(TVK_E_ARG, what + "verdict_sweeps " +
                                        std::to_string(config.verdict_sweeps) + " is negative");
    }
    if (config.camera == nullptr || config.feeder == nullptr) {
        return tvk::fail(TVK_E_ARG,
                         what + (config.camera == nullptr ? "camera" : "feeder") + " is null");
    }
    if (config.answers != TVK_ANSWERS_STANDARD && config.answers != TVK_ANSWERS_HOST) {
        return tvk::fail(TVK_E_ARG,
                         what + "answers " + std::to_string(config.answers) + " is not 0 or 1");
    }
    return TVK_OK;
}

void fillDefaults(TVK_SessionConfig *config, int model, int action) {
    *config = TVK_SessionConfig{};
    config->size = sizeof *config;
    config->model = model;
    config->action = action;
    config->max_steps = 3000;
    config->verdict_sweeps = 3;
    config->answers = TVK_ANSWERS_STANDARD;
}

} // namespace

extern "C" {

void tvk_session_config_init_sized(TVK_SessionConfig *config, uint32_t size, int model,
                                   int action) {
    if (config == nullptr) {
        return;
    }
    TVK_SessionConfig full;
    fillDefaults(&full, model, action);
    config->size = size;
    if (tvk::checkOutput("tvk_session_config_init_sized", "config", config) == TVK_OK) {
        tvk::writeRecord(full, config);
    }
}

// Parenthesised: the header's macro of the same name serves newer callers.
void(tvk_session_config_init)(TVK_SessionConfig *config, int model, int action) {
    tvk_session_config_init_sized(config, tvk::firstReleaseSize(config), model, action);
}

int tvk_session_start(const TVK_SessionConfig *config, TVK_Session **out) {
    constexpr const char *kFunction = "tvk_session_start";
    const SessionCall call(kFunction, __builtin_frame_address(0));
    if (call.refusal() != TVK_OK) {
        return call.refusal();
    }
    if (out == nullptr) {
        return tvk::fail(TVK_E_ARG, "tvk_session_start: out is null");
    }
    TVK_SessionConfig full;
    fillDefaults(&full, 0, 0);
    int result = tvk::readRecord(kFunction, "config", config, &full);
    if (result == TVK_OK) {
        result = refuseConfig(kFunction, full);
    }
    if (result != TVK_OK) {
        return result;
    }
    if (g_driver.active) {
        return tvk::fail(TVK_E_BUSY, "tvk_session_start: a session is already active");
    }
    result = tvk::checkLibraryLayouts(kFunction);
    if (result != TVK_OK) {
        return result;
    }
    g_driver = Driver{};
    g_driver.config = full;
    g_driver.verdict.begin(full.model, full.action, full.verdict_sweeps);
    const int initialised =
        tvk::lib::TVLInit(cameraAdapter, feederAdapter, statusAdapter, full.model, full.action);
    if (initialised != 1) {
        return tvk::fail(TVK_E_LIBRARY, "tvk_session_start: TVLInit refused model " +
                                            std::to_string(full.model) + ", action " +
                                            std::to_string(full.action));
    }
    g_driver.handle = tvk::newToken();
    g_driver.active = true;
    *out = static_cast<TVK_Session *>(g_driver.handle);
    return TVK_OK;
}

int tvk_session_step(TVK_Session *session, TVK_StepReport *report) {
    constexpr const char *kFunction = "tvk_session_step";
    const SessionCall call(kFunction, __builtin_frame_address(0));
    int result = refusalToStep(call, kFunction, session, report);
    if (result != TVK_OK) {
        return result;
    }
    result = stepOnce();
    tvk::writeRecord(g_driver.step, report);
    return result;
}

int tvk_session_run(TVK_Session *session, TVK_PutBackFn put_back, TVK_StepReport *report) {
    constexpr const char *kFunction = "tvk_session_run";
    const SessionCall call(kFunction, __builtin_frame_address(0));
    int result = refusalToStep(call, kFunction, session, report);
    while (result == TVK_OK) {
        result = stepOnce();
        tvk::writeRecord(g_driver.step, report);
        if (result != TVK_OK || g_driver.step.outcome != TVK_RUNNING) {
            break;
        }
        if ((g_driver.step.events & TVK_EV_ARRIVED) != 0 && put_back != nullptr) {
            put_back(g_driver.config.user);
        }
    }
    return result;
}

int tvk_session_command(TVK_Session *session, int command) {
    constexpr const char *kFunction = "tvk_session_command";
    const SessionCall call(kFunction, __builtin_frame_address(0));
    int result = call.refusalFor(session);
    if (result == TVK_OK && (command < TVL_CMD_END || command > TVL_CMD_SUCCESS)) {
        result = tvk::fail(TVK_E_ARG, "tvk_session_command: command " + std::to_string(command) +
                                          " is not 0..3");
    }
    if (result == TVK_OK) {
        result = refuseOver(kFunction);
    }
    if (result != TVK_OK) {
        return result;
    }
    tvk::lib::TVLLogicStaCol(command);
    g_driver.lastHostCommand = command;
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
    constexpr const char *kFunction = "tvk_session_set_params";
    const SessionCall call(kFunction, __builtin_frame_address(0));
    int result = call.refusalFor(session);
    if (result != TVK_OK) {
        return result;
    }
    // Returned here, not carried in result, so that the null check guards the
    // reads below in plain sight.
    if (params == nullptr) {
        return tvk::fail(TVK_E_ARG, "tvk_session_set_params: params is null");
    }
    result = refuseOver(kFunction);
    if (result != TVK_OK) {
        return result;
    }
    tvk::lib::TVLLogicParamSet(params->u16AmpInit, params->u16AmpMax, params->u16FreInit,
                               params->u16FreMax, params->u16FedRunTim);
    g_driver.verdict.begin(g_driver.config.model, g_driver.config.action,
                           g_driver.config.verdict_sweeps);
    return TVK_OK;
}

int tvk_session_outcome(const TVK_Session *session, char *reason, int32_t reason_size) {
    const SessionCall call("tvk_session_outcome", __builtin_frame_address(0),
                           tvk::Nesting::kAllowed);
    int result = call.refusalFor(session);
    if (result == TVK_OK && reason != nullptr && reason_size <= 0) {
        result = tvk::fail(TVK_E_ARG, "tvk_session_outcome: reason_size " +
                                          std::to_string(reason_size) + " is not positive");
    }
    if (result != TVK_OK) {
        return result;
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
    const SessionCall call("tvk_session_end", __builtin_frame_address(0));
    const int result = call.refusalFor(session);
    if (result == TVK_OK) {
        g_driver.active = false;
    }
    return result;
}

} // extern "C"
