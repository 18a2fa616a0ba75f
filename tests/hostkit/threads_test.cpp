// Each kit object serves one call at a time: while a call on it runs on one
// thread (here held inside a callback), a call on another thread gives
// TVK_E_THREAD and changes nothing; the "inside a callback" state belongs to
// the thread running the step, never to the other thread.
#include "support.h"
#include "tavrel_hostkit.h"

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace {

// The stepping thread stops inside its callback until the other thread's
// calls are done.
struct Gate {
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};

    void holdHere() {
        if (inside.exchange(true)) {
            return; // held once
        }
        while (!release.load()) {
            std::this_thread::yield();
        }
    }
    void waitInside() const {
        while (!inside.load()) {
            std::this_thread::yield();
        }
    }
};

Gate *g_gate = nullptr;

int gatedCamera(void *, float *x, float *y) {
    g_gate->holdHere();
    *x = 10.0F;
    *y = 10.0F;
    return 1;
}

int quietFeeder(void *, const ST_HostFedColC *) {
    return 0;
}

void gatedLine(void *, const char *, int32_t) {
    g_gate->holdHere();
}

struct OtherThreadCall {
    const char *what;
    bool capture; // a capture call: the capture is in use inside a line only
    std::function<int(TVK_Session *)> call;
};

class Threads : public tvltest::Fresh {};

TEST_F(Threads, AnotherThreadsCallsWaitForNoCallbackAndChangeNothing) {
    TVK_StepReport report{};
    report.size = sizeof report;
    ST_HostLogicParam params{};
    const OtherThreadCall calls[] = {
        {"end", false, [](TVK_Session *s) { return tvk_session_end(s); }},
        {"command", false, [](TVK_Session *s) { return tvk_session_command(s, TVL_CMD_END); }},
        {"step", false, [&](TVK_Session *s) { return tvk_session_step(s, &report); }},
        {"params", false, [&](TVK_Session *s) { return tvk_session_set_params(s, &params); }},
        {"outcome", false, [](TVK_Session *s) { return tvk_session_outcome(s, nullptr, 0); }},
        {"capture stop", true, [](TVK_Session *) { return tvk_capture_stop(); }},
    };
    for (const OtherThreadCall &other : calls) {
        for (const bool inLine : {false, true}) {
            if (other.capture && !inLine) {
                continue;
            }
            SCOPED_TRACE(std::string(other.what) +
                         (inLine ? ", inside a line" : ", inside the camera"));
            Gate gate;
            g_gate = &gate;
            TVK_SessionConfig config;
            tvk_session_config_init(&config, 0, 0);
            config.camera = inLine ? [](void *, float *x, float *y) {
                *x = 10.0F;
                *y = 10.0F;
                return 1;
            } : gatedCamera;
            config.feeder = quietFeeder;
            ASSERT_EQ(tvk_capture_to_callback(
                          inLine ? gatedLine : [](void *, const char *, int32_t) {}, nullptr),
                      TVK_OK);
            TVK_Session *session = nullptr;
            ASSERT_EQ(tvk_session_start(&config, &session), TVK_OK);
            int stepped = TVK_E_STATE;
            std::thread stepper([&] {
                TVK_StepReport own{};
                own.size = sizeof own;
                stepped = tvk_session_step(session, &own);
            });
            gate.waitInside();
            const int result = other.call(session);
            const std::string message = tvk_errmsg();
            gate.release.store(true);
            stepper.join();
            // Stopped first: the capture would swallow a failure's text.
            const int stopped = tvk_capture_stop();
            EXPECT_EQ(stopped, TVK_OK);
            EXPECT_EQ(result, TVK_E_THREAD) << message;
            EXPECT_NE(message.find("another thread"), std::string::npos) << message;
            EXPECT_EQ(stepped, TVK_OK);
            EXPECT_EQ(tvk_session_outcome(session, nullptr, 0), TVK_RUNNING);
            EXPECT_EQ(tvk_session_end(session), TVK_OK);
            g_gate = nullptr;
        }
    }
}

} // namespace
