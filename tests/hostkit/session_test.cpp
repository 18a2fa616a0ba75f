// The session driver on the simulated feeder: the standard answers, events,
// outcomes with their reasons, the one-session rule and the refusals.
#include "library_clock.h"
#include "support.h"
#include "tavrel_hostkit.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A simulated feeder of a model with its part at the action's start point.
struct Rig {
    TVK_SimFeeder *sim = nullptr;
    float startX = 0.0F;
    float startY = 0.0F;

    Rig(int model, int action, const TVK_SimRanges *ranges = nullptr) {
        EXPECT_EQ(tvk_sim_create(model, ranges, 7, 8, &sim), TVK_OK);
        float width = 0.0F;
        float height = 0.0F;
        tvk_sim_platform(model, &width, &height);
        tvk_start_point(model, action, width, height, &startX, &startY);
        tvk_sim_place(sim, startX, startY);
    }
    ~Rig() {
        tvk_sim_destroy(sim);
    }
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;
};

TVK_SessionConfig configFor(int model, int action, TVK_SimFeeder *sim) {
    TVK_SessionConfig config;
    tvk_session_config_init(&config, model, action);
    config.camera = tvk_sim_camera_cb;
    config.feeder = tvk_sim_feeder_cb;
    config.user = sim;
    return config;
}

TVK_StepReport emptyReport() {
    TVK_StepReport report{};
    report.size = sizeof report;
    return report;
}

class Session : public tvltest::Fresh {
  protected:
    void TearDown() override {
        tvk_session_end(session);
    }
    TVK_Session *session = nullptr;
};

TEST_F(Session, TunesVerifiesAndEndsWithTheStandardAnswers) {
    Rig rig(0, 0);
    const TVK_SessionConfig config = configFor(0, 0, rig.sim);
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    TVK_StepReport report = emptyReport();
    int events = 0;
    std::vector<int> answers;
    do {
        ASSERT_EQ(tvk_session_step(session, &report), TVK_OK);
        events |= report.events;
        if ((report.events & TVK_EV_ARRIVED) != 0) {
            EXPECT_EQ(tvk_in_target(0, 0, report.x, report.y), 1);
            tvk_sim_place(rig.sim, rig.startX, rig.startY);
        }
        if ((report.events & TVK_EV_TUNED) != 0) {
            EXPECT_EQ(report.host_command, TVL_CMD_VERIFY);
        }
        if (report.host_command >= 0) {
            answers.push_back(report.host_command);
        }
    } while (report.outcome == TVK_RUNNING);
    EXPECT_EQ(report.outcome, TVK_TUNED) << report.reason;
    EXPECT_EQ(report.task, TVL_TASK_END);
    EXPECT_EQ(answers.back(), TVL_CMD_SUCCESS);
    const int wanted =
        TVK_EV_VIBRATED | TVK_EV_ARRIVED | TVK_EV_TUNED | TVK_EV_VERIFIED | TVK_EV_SUCCESS;
    EXPECT_EQ(events & wanted, wanted);
    EXPECT_GT(report.vibrations, 0);
    EXPECT_STRNE(report.reason, "");
    char reason[16];
    EXPECT_EQ(tvk_session_outcome(session, reason, sizeof reason), TVK_TUNED);
    EXPECT_EQ(std::string(reason).size(), sizeof reason - 1); // cut to fit
    EXPECT_EQ(tvk_session_step(session, &report), TVK_E_STATE);
}

TEST_F(Session, HopelessFeederFailsEarlyWithAReasonAndBudgetEndsItOtherwise) {
    TVK_SimRanges stuck{};
    stuck.size = sizeof stuck;
    ASSERT_EQ(tvk_sim_default_ranges(0, &stuck), TVK_OK);
    stuck.gain = {0.0, 0.0}; // the coils move nothing
    for (const int sweeps : {1, 0}) {
        SCOPED_TRACE("sweeps " + std::to_string(sweeps));
        Rig rig(0, 3, &stuck);
        TVK_SessionConfig config = configFor(0, 3, rig.sim);
        config.verdict_sweeps = sweeps;
        config.max_steps = 5000;
        ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
        TVK_StepReport report = emptyReport();
        ASSERT_EQ(tvk_session_run(session, nullptr, &report), TVK_OK);
        if (sweeps == 1) {
            EXPECT_EQ(report.outcome, TVK_FAILED);
            EXPECT_LT(report.step, config.max_steps - 1);
            EXPECT_NE(std::string(report.reason).find("motor 0 frequency"), std::string::npos)
                << report.reason;
        } else {
            EXPECT_EQ(report.outcome, TVK_BUDGET);
            EXPECT_EQ(report.step, config.max_steps - 1);
            EXPECT_NE(std::string(report.reason).find("5000 steps"), std::string::npos);
        }
        tvk_session_end(session);
        session = nullptr;
    }
}

TEST_F(Session, OneSessionAtATime) {
    Rig rig(1, 2);
    const TVK_SessionConfig config = configFor(1, 2, rig.sim);
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    TVK_Session *second = nullptr;
    EXPECT_EQ(tvk_session_start(&config, &second), TVK_E_BUSY);
    EXPECT_EQ(second, nullptr);
    tvk_session_end(session);
    EXPECT_EQ(tvk_session_start(&config, &session), TVK_OK);
    // A handle that is not the running session is refused.
    TVK_StepReport report = emptyReport();
    EXPECT_EQ(tvk_session_step(reinterpret_cast<TVK_Session *>(&report), &report), TVK_E_HANDLE);
}

// A host whose camera tries to drive the session from inside the step, or
// fails, or never sees the part.
struct Probe {
    TVK_Session *session = nullptr;
    int mode = 0; // 0: call back into the kit, 1: fail, 2: see nothing
    std::vector<int> results;
};

int probeCamera(void *user, float *x, float *y) {
    auto *probe = static_cast<Probe *>(user);
    *x = 100.0F;
    *y = 75.0F;
    if (probe->mode == 0) {
        TVK_StepReport report = emptyReport();
        TVK_Session *other = nullptr;
        TVK_SessionConfig config = configFor(0, 0, nullptr);
        probe->results.push_back(tvk_session_step(probe->session, &report));
        probe->results.push_back(tvk_session_command(probe->session, TVL_CMD_END));
        probe->results.push_back(tvk_session_start(&config, &other));
        return 1;
    }
    return probe->mode == 1 ? -1 : 0;
}

int quietFeeder(void *, const ST_HostFedColC *) {
    return 0;
}

TEST_F(Session, CallbacksCannotStepOrCommandAndTheirErrorsSurface) {
    Probe probe;
    TVK_SessionConfig config = configFor(0, 0, nullptr);
    config.camera = probeCamera;
    config.feeder = quietFeeder;
    config.user = &probe;
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    probe.session = session;
    TVK_StepReport report = emptyReport();
    EXPECT_EQ(tvk_session_step(session, &report), TVK_OK);
    EXPECT_EQ(probe.results, (std::vector<int>{TVK_E_REENTRY, TVK_E_REENTRY, TVK_E_REENTRY}));
    EXPECT_EQ(report.outcome, TVK_RUNNING);

    probe.mode = 1;
    EXPECT_EQ(tvk_session_step(session, &report), TVK_E_CALLBACK);
    EXPECT_EQ(report.step, 1);
    EXPECT_EQ(report.seen, 0);

    probe.mode = 2;
    EXPECT_EQ(tvk_session_step(session, &report), TVK_OK);
    EXPECT_EQ(report.events & TVK_EV_TIMEOUT, TVK_EV_TIMEOUT);
    EXPECT_EQ(report.area, -1);

    EXPECT_EQ(tvk_session_command(session, TVL_CMD_END), TVK_OK);
    EXPECT_EQ(tvk_session_outcome(session, nullptr, 0), TVK_STOPPED);
    EXPECT_EQ(tvk_session_step(session, &report), TVK_E_STATE);
}

void collectLine(void *user, const char *line, int32_t length) {
    static_cast<std::vector<std::string> *>(user)->emplace_back(line,
                                                                static_cast<std::size_t>(length));
}

// On the real clock the library's sample timeout fires at the first step:
// the first sighting only primes its ring, so there is no sample to analyse
// and the last one lies at the clock's origin. The part is seen, not in a
// target: the library waited, and the kit says so.
TEST_F(Session, TheFirstStepOnTheRealClockReportsTheLibrarysTimeout) {
    tvk::useLibraryClock(nullptr);
    Rig rig(0, 0);
    const TVK_SessionConfig config = configFor(0, 0, rig.sim);
    std::vector<std::string> lines;
    ASSERT_EQ(tvk_capture_to_callback(collectLine, &lines), TVK_OK);
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    TVK_StepReport report = emptyReport();
    ASSERT_EQ(tvk_session_step(session, &report), TVK_OK);
    ASSERT_EQ(tvk_capture_stop(), TVK_OK);
    EXPECT_NE(std::find(lines.begin(), lines.end(), ".........Mate Vanish; Tim = 3S......"),
              lines.end());
    EXPECT_EQ(report.seen, 1);
    EXPECT_EQ(report.events & (TVK_EV_TIMEOUT | TVK_EV_ARRIVED), TVK_EV_TIMEOUT);
}

// With host answers the driver gives no command; the host's own answers
// tune the action and the session ends TUNED, or STOPPED on its end.
TEST_F(Session, HostAnswersLeaveEveryCommandToTheHost) {
    for (const int last : {TVL_CMD_SUCCESS, TVL_CMD_END}) {
        SCOPED_TRACE("last command " + std::to_string(last));
        Rig rig(0, 0);
        TVK_SessionConfig config = configFor(0, 0, rig.sim);
        config.answers = TVK_ANSWERS_HOST;
        ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
        TVK_StepReport report = emptyReport();
        const int driverEvents = TVK_EV_TUNED | TVK_EV_VERIFIED | TVK_EV_RESTARTED | TVK_EV_SUCCESS;
        do {
            ASSERT_EQ(tvk_session_step(session, &report), TVK_OK);
            EXPECT_EQ(report.host_command, -1);
            EXPECT_EQ(report.events & driverEvents, 0);
            const int count = std::min<int>(report.status_count, TVK_STATUS_MAX);
            for (int i = 0; i < count && report.outcome == TVK_RUNNING; ++i) {
                if (report.status[i] == 3) {
                    ASSERT_EQ(tvk_session_command(session, TVL_CMD_VERIFY), TVK_OK);
                } else if (report.status[i] == 6) {
                    ASSERT_EQ(tvk_session_command(session, last), TVK_OK);
                }
            }
            if ((report.events & TVK_EV_ARRIVED) != 0) {
                tvk_sim_place(rig.sim, rig.startX, rig.startY);
            }
        } while (report.outcome == TVK_RUNNING &&
                 tvk_session_outcome(session, nullptr, 0) == TVK_RUNNING);
        const int outcome = tvk_session_outcome(session, nullptr, 0);
        EXPECT_EQ(outcome, last == TVL_CMD_SUCCESS ? TVK_TUNED : TVK_STOPPED);
        tvk_session_end(session);
        session = nullptr;
    }
}

} // namespace
