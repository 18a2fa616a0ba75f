// Calls from inside the kit's callbacks: refused with TVK_E_REENTRY from
// every callback (the camera, the feeder, put_back and a capture's line
// callback), the step under way untouched and each captured line delivered
// once and whole. A callback left without unwinding (as a runtime's thread
// abort does) does not leave the kit inside it.
#include "support.h"
#include "tavrel_hostkit.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

enum class Where { kCamera, kFeeder, kPutBack, kLineInStep, kLineInPump };

struct Probe {
    Where where = Where::kCamera;
    std::function<int()> nested; // made once, from inside the callback
    std::vector<int> results;
    std::vector<std::string> lines;
    TVK_SimFeeder *sim = nullptr;

    void fire(Where here) {
        if (here == where && results.empty()) {
            results.push_back(nested());
        }
    }
};

Probe *g_probe = nullptr;

int probeCamera(void *, float *x, float *y) {
    g_probe->fire(Where::kCamera);
    return tvk_sim_camera(g_probe->sim, x, y);
}

int probeFeeder(void *, const ST_HostFedColC *command) {
    g_probe->fire(Where::kFeeder);
    return tvk_sim_vibrate(g_probe->sim, command);
}

void probePutBack(void *) {
    g_probe->fire(Where::kPutBack);
    float x = 0.0F;
    float y = 0.0F;
    tvk_start_point(0, 0, 190.0F, 155.0F, &x, &y);
    tvk_sim_place(g_probe->sim, x, y);
}

void probeLine(void *, const char *line, int32_t length) {
    g_probe->lines.emplace_back(line, static_cast<std::size_t>(length));
    g_probe->fire(Where::kLineInStep);
}

void probePumpedLine(void *, const char *line, int32_t length) {
    g_probe->lines.emplace_back(line, static_cast<std::size_t>(length));
    g_probe->fire(Where::kLineInPump);
}

class Reentry : public tvltest::Fresh {
  public:
    void SetUp() override {
        tvltest::Fresh::SetUp();
        probe = Probe{};
        ASSERT_EQ(tvk_sim_create(0, nullptr, 7, 8, &probe.sim), TVK_OK);
        float x = 0.0F;
        float y = 0.0F;
        tvk_start_point(0, 0, 190.0F, 155.0F, &x, &y);
        tvk_sim_place(probe.sim, x, y);
        g_probe = &probe;
        tvk_session_config_init(&config, 0, 0);
        config.camera = probeCamera;
        config.feeder = probeFeeder;
        report.size = sizeof report;
    }
    void TearDown() override {
        if (tvk_capture_active() != 0) {
            tvk_capture_stop();
        }
        tvk_session_end(session);
        tvk_sim_destroy(probe.sim);
        g_probe = nullptr;
    }
    // Steps (or runs) until the probe has fired.
    void driveUntilFired() {
        if (probe.where == Where::kPutBack) {
            ASSERT_EQ(tvk_session_run(session, probePutBack, &report), TVK_OK);
            return;
        }
        if (probe.where == Where::kLineInPump) {
            std::printf("a line of the host's\n");
            ASSERT_EQ(tvk_capture_pump(), TVK_OK);
            return;
        }
        for (int step = 0; step < 200 && probe.results.empty(); ++step) {
            ASSERT_EQ(tvk_session_step(session, &report), TVK_OK);
        }
    }

    Probe probe;
    TVK_SessionConfig config{};
    TVK_Session *session = nullptr;
    TVK_StepReport report{};
};

struct NestedCall {
    const char *what;
    bool capture; // a capture call: refused from a line callback only
    std::function<int(Reentry &)> call;
};

TEST_F(Reentry, EveryCallbackIsRefusedEveryCallThatChangesTheStep) {
    ST_HostLogicParam params{};
    const NestedCall calls[] = {
        {"step", false,
         [](Reentry &t) {
             TVK_StepReport inner{};
             inner.size = sizeof inner;
             return tvk_session_step(t.session, &inner);
         }},
        {"run", false,
         [](Reentry &t) {
             TVK_StepReport inner{};
             inner.size = sizeof inner;
             return tvk_session_run(t.session, nullptr, &inner);
         }},
        {"command", false, [](Reentry &t) { return tvk_session_command(t.session, TVL_CMD_END); }},
        {"params", false, [&](Reentry &t) { return tvk_session_set_params(t.session, &params); }},
        {"start", false,
         [](Reentry &t) {
             TVK_Session *other = nullptr;
             return tvk_session_start(&t.config, &other);
         }},
        {"end", false, [](Reentry &t) { return tvk_session_end(t.session); }},
        {"capture pump", true, [](Reentry &) { return tvk_capture_pump(); }},
        {"capture stop", true, [](Reentry &) { return tvk_capture_stop(); }},
        {"capture discard", true, [](Reentry &) { return tvk_capture_discard(); }},
    };
    const struct {
        const char *name;
        Where where;
    } places[] = {{"camera", Where::kCamera},
                  {"feeder", Where::kFeeder},
                  {"put back", Where::kPutBack},
                  {"line in a step", Where::kLineInStep},
                  {"line pumped by the host", Where::kLineInPump}};
    for (const auto &place : places) {
        const bool line = place.where == Where::kLineInStep || place.where == Where::kLineInPump;
        for (const NestedCall &nested : calls) {
            if (nested.capture && !line) {
                continue;
            }
            SCOPED_TRACE(std::string(place.name) + ": " + nested.what);
            TearDown();
            SetUp();
            probe.where = place.where;
            probe.nested = [&] { return nested.call(*this); };
            if (line) {
                ASSERT_EQ(
                    tvk_capture_to_callback(
                        place.where == Where::kLineInStep ? probeLine : probePumpedLine, nullptr),
                    TVK_OK);
            }
            ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
            driveUntilFired();
            // Stopped first: the capture would swallow a failure's text.
            EXPECT_EQ(line ? tvk_capture_stop() : TVK_OK, TVK_OK);
            ASSERT_EQ(probe.results.size(), 1U);
            EXPECT_EQ(probe.results[0], TVK_E_REENTRY) << tvk_errmsg();
            EXPECT_NE(std::string(tvk_errmsg()).find("inside"), std::string::npos);
            EXPECT_EQ(tvk_session_outcome(session, nullptr, 0),
                      place.where == Where::kPutBack ? report.outcome : TVK_RUNNING);
            if (line) {
                for (const std::string &text : probe.lines) {
                    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
                }
                // One step (or one pump) delivers its first line once.
                const std::string first =
                    place.where == Where::kLineInPump
                        ? "a line of the host's"
                        : std::string(30, '#') + "***Task Run***" + std::string(42, '#');
                EXPECT_EQ(std::count(probe.lines.begin(), probe.lines.end(), first), 1)
                    << testing::PrintToString(probe.lines);
            }
        }
    }
}

// Reading the outcome changes nothing and is allowed from inside a callback.
TEST_F(Reentry, TheOutcomeCanBeReadFromInsideACallback) {
    probe.nested = [this] { return tvk_session_outcome(session, nullptr, 0); };
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    driveUntilFired();
    EXPECT_EQ(probe.results, std::vector<int>{TVK_RUNNING});
}

std::jmp_buf g_escape;

// Leaves the step the way a runtime's thread abort does: the kit's frames
// are gone without their destructors having run.
int escapingCamera(void *, float *, float *) {
    std::longjmp(g_escape, 1);
}

TEST_F(Reentry, ACallbackLeftWithoutUnwindingDoesNotLeaveTheKitInsideIt) {
    config.camera = escapingCamera;
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
    if (setjmp(g_escape) == 0) {
        tvk_session_step(session, &report);
        FAIL() << "the camera was not called";
    }
    EXPECT_EQ(tvk_session_end(session), TVK_OK) << tvk_errmsg();
    config.camera = probeCamera;
    ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK) << tvk_errmsg();
    EXPECT_EQ(tvk_session_command(session, TVL_CMD_END), TVK_OK) << tvk_errmsg();
}

} // namespace
