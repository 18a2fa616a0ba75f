/* tune_one: a minimal feeder host on the host kit. It tunes one action of a
 * simulated feeder with the kit's session driver, keeps the library's
 * diagnostic text out of its own output, records the session for
 * tavrel-replay, and prints what happened.
 *
 *   tune_one [MODEL ACTION [TRACE.csv]]     (default: model 0, action 0)
 *
 * A real host replaces the simulated feeder's two callbacks with its camera
 * and its feeder link, and tvk_sim_place with its way of putting the part
 * back (a robot, an operator). */
#include "tavrel_hostkit.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Where the part starts, and goes back to after each arrival. */
typedef struct Host {
    TVK_SimFeeder *sim;
    float startX;
    float startY;
    double simSeconds; /* the simulated feeder's time: run times and camera frames */
} Host;

static void PutBack(Host *host) {
    tvk_sim_place(host->sim, host->startX, host->startY);
}

static int Fail(const char *what, int code) {
    fprintf(stderr, "tune_one: %s: %s\n", what, tvk_strerror(code));
    return 2;
}

static void PrintWords(const ST_HostFedColC *command, const TVK_Geometry *geometry) {
    int motor;
    for (motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        if (geometry->motor[motor] != TVK_MOTOR_OFF) {
            printf("  motor %d: amplitude %u, frequency %u\n", motor,
                   (unsigned)command->u16MotParam[motor][0],
                   (unsigned)command->u16MotParam[motor][1]);
        }
    }
}

int main(int argc, char **argv) {
    const int model = argc > 2 ? atoi(argv[1]) : 0;
    const int action = argc > 2 ? atoi(argv[2]) : 0;
    const char *tracePath = argc > 3 ? argv[3] : NULL;
    Host host = {NULL, 0.0f, 0.0f, 0.0};
    TVK_Geometry geometry;
    TVK_SessionConfig config;
    TVK_StepReport step;
    TVK_Session *session = NULL;
    TVK_Recorder *recorder = NULL;
    float width = 0.0f;
    float height = 0.0f;
    int result;

    memset(&geometry, 0, sizeof geometry);
    geometry.size = sizeof geometry;
    if ((result = tvk_geometry(model, action, &geometry)) != TVK_OK) {
        return Fail("model or action", result);
    }
    if ((result = tvk_sim_create(model, NULL, 1, 2, &host.sim)) != TVK_OK) {
        return Fail("simulated feeder", result);
    }
    tvk_sim_platform(model, &width, &height);
    tvk_start_point(model, action, width, height, &host.startX, &host.startY);
    PutBack(&host);

    tvk_session_config_init(&config, model, action);
    config.camera = tvk_sim_camera_cb;
    config.feeder = tvk_sim_feeder_cb;
    config.user = host.sim;
    if (tracePath != NULL &&
        (result = tvk_recorder_open(tracePath, model, action, &recorder)) != 0) {
        return Fail(tracePath, result);
    }
    /* The library prints on standard output; this host's own text must not
     * mix with it. */
    if ((result = tvk_capture_discard()) != TVK_OK) {
        return Fail("capture", result);
    }
    if ((result = tvk_session_start(&config, &session)) != TVK_OK) {
        tvk_capture_stop();
        return Fail("session", result);
    }
    memset(&step, 0, sizeof step);
    step.size = sizeof step;
    do {
        const double stepStart = host.simSeconds + tvk_sim_vibration_ms(host.sim) / 1000.0;
        if ((result = tvk_session_step(session, &step)) != TVK_OK) {
            break;
        }
        host.simSeconds += 0.1; /* one camera frame per step */
        if ((step.events & TVK_EV_ARRIVED) != 0) {
            PutBack(&host);
        }
        if (recorder != NULL) {
            tvk_recorder_write(recorder, stepStart, &step, (step.events & TVK_EV_ARRIVED) != 0);
        }
    } while (step.outcome == TVK_RUNNING);
    tvk_session_end(session);
    tvk_capture_stop();
    if (recorder != NULL && tvk_recorder_close(recorder) != TVK_OK) {
        fprintf(stderr, "tune_one: %s: could not be written\n", tracePath);
    }

    printf("model %d, action %d: %s after %d steps and %d vibrations\n", model, action,
           step.outcome == TVK_TUNED ? "tuned" : "not tuned", step.step + 1, step.vibrations);
    printf("  %s\n", step.reason);
    if (step.outcome == TVK_TUNED) {
        PrintWords(&step.command, &geometry);
    }
    tvk_sim_destroy(host.sim);
    return result == TVK_OK && step.outcome == TVK_TUNED ? 0 : 1;
}
