// Handles are tokens for one object: the handle of an ended session or a
// destroyed feeder is refused and never reaches the object made after it
// (which may well sit at the same address).
#include "support.h"
#include "tavrel_hostkit.h"

#include <functional>
#include <string>

namespace {

int quietCamera(void *, float *, float *) {
    return 0;
}

int quietFeeder(void *, const ST_HostFedColC *) {
    return 0;
}

TVK_Session *startSession() {
    TVK_SessionConfig config;
    tvk_session_config_init(&config, 0, 0);
    config.camera = quietCamera;
    config.feeder = quietFeeder;
    TVK_Session *session = nullptr;
    EXPECT_EQ(tvk_session_start(&config, &session), TVK_OK);
    return session;
}

struct StaleCall {
    const char *what;
    std::function<int(TVK_Session *)> call;
};

class Lifetimes : public tvltest::Fresh {};

TEST_F(Lifetimes, AnEndedSessionsHandleNeverReachesTheNextSession) {
    TVK_Session *ended = startSession();
    ASSERT_EQ(tvk_session_end(ended), TVK_OK);
    TVK_Session *live = startSession();
    TVK_StepReport report{};
    report.size = sizeof report;
    ST_HostLogicParam params{};
    int foreign = 0;
    const StaleCall calls[] = {
        {"step", [&](TVK_Session *s) { return tvk_session_step(s, &report); }},
        {"run", [&](TVK_Session *s) { return tvk_session_run(s, nullptr, &report); }},
        {"command", [](TVK_Session *s) { return tvk_session_command(s, TVL_CMD_END); }},
        {"params", [&](TVK_Session *s) { return tvk_session_set_params(s, &params); }},
        {"outcome", [](TVK_Session *s) { return tvk_session_outcome(s, nullptr, 0); }},
        {"end", [](TVK_Session *s) { return tvk_session_end(s); }},
    };
    for (TVK_Session *stale : {ended, reinterpret_cast<TVK_Session *>(&foreign)}) {
        for (const StaleCall &stale_call : calls) {
            SCOPED_TRACE(stale_call.what);
            EXPECT_EQ(stale_call.call(stale), TVK_E_HANDLE);
            EXPECT_EQ(tvk_session_outcome(live, nullptr, 0), TVK_RUNNING);
        }
    }
    EXPECT_EQ(tvk_session_step(live, &report), TVK_OK);
    EXPECT_EQ(tvk_session_end(live), TVK_OK);
    EXPECT_EQ(tvk_session_end(live), TVK_E_HANDLE);
}

struct StaleFeederCall {
    const char *what;
    std::function<int(TVK_SimFeeder *)> call;
};

TEST_F(Lifetimes, ADestroyedFeedersHandleNeverReachesTheNextFeeder) {
    TVK_SimFeeder *destroyed = nullptr;
    ASSERT_EQ(tvk_sim_create(0, nullptr, 1, 2, &destroyed), TVK_OK);
    tvk_sim_destroy(destroyed);
    TVK_SimFeeder *live = nullptr;
    ASSERT_EQ(tvk_sim_create(0, nullptr, 1, 2, &live), TVK_OK);
    float liveX = 0.0F;
    float liveY = 0.0F;
    ASSERT_EQ(tvk_sim_position(live, &liveX, &liveY), TVK_OK);
    float x = 0.0F;
    float y = 0.0F;
    TVK_SimParams params{};
    params.size = sizeof params;
    ST_HostFedColC command{};
    command.u16RunTim = 500;
    const StaleFeederCall calls[] = {
        {"place", [](TVK_SimFeeder *s) { return tvk_sim_place(s, 1.0F, 1.0F); }},
        {"reseed", [](TVK_SimFeeder *s) { return tvk_sim_reseed(s, 9); }},
        {"vibrate", [&](TVK_SimFeeder *s) { return tvk_sim_vibrate(s, &command); }},
        {"params", [&](TVK_SimFeeder *s) { return tvk_sim_params(s, &params); }},
        {"position", [&](TVK_SimFeeder *s) { return tvk_sim_position(s, &x, &y); }},
        {"camera", [&](TVK_SimFeeder *s) { return tvk_sim_camera(s, &x, &y); }},
        {"feeder callback", [&](TVK_SimFeeder *s) { return tvk_sim_feeder_cb(s, &command); }},
    };
    for (const StaleFeederCall &stale : calls) {
        SCOPED_TRACE(stale.what);
        EXPECT_EQ(stale.call(destroyed), TVK_E_HANDLE);
    }
    tvk_sim_destroy(destroyed); // a second destroy leaves the live feeder alone
    ASSERT_EQ(tvk_sim_position(live, &x, &y), TVK_OK);
    EXPECT_EQ(x, liveX);
    EXPECT_EQ(y, liveY);
    EXPECT_EQ(tvk_sim_vibration_ms(live), 0.0);
    tvk_sim_destroy(live);
}

} // namespace
