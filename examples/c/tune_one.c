/* tune_one: a minimal feeder host on the host kit. It tunes one action of a
 * simulated feeder with the kit's session driver, keeps the library's
 * diagnostic text out of its own output, records the session for
 * tavrel-replay, and prints what happened.
 *
 *   tune_one [MODEL ACTION [TRACE.csv]]     (default: model 0, action 0)
 *
 * A bad command line gets a message and exit status 2.
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

static const char kUsage[] = "usage: tune_one [MODEL ACTION [TRACE.csv]]\n"
                             "  MODEL 0..2, ACTION 0..10 (default: model 0, action 0)\n";

/* The kit's message names what it refused; the code's text says what kind. */
static int Fail(const char *what, int code) {
    fprintf(stderr, "tune_one: %s: %s (%s)\n", what, tvk_errmsg(), tvk_strerror(code));
    return 2;
}

static int Usage(const char *problem) {
    fprintf(stderr, "tune_one: %s\n%s", problem, kUsage);
    return 2;
}

/* A whole number from lowest to highest, all of text; 1 when it is one. */
static int ParseWhole(const char *text, long lowest, long highest, int *out) {
    char *end = NULL;
    long value;
    if (*text == '\0') {
        return 0;
    }
    value = strtol(text, &end, 10);
    if (*end != '\0' || value < lowest || value > highest) {
        return 0;
    }
    *out = (int)value;
    return 1;
}

/* Model, action and trace from the command line; -1 after printing help, a
 * non-zero exit status for a bad command line, else 0. */
static int ParseArgs(int argc, char **argv, int *model, int *action, const char **tracePath) {
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsage, stdout);
        return -1;
    }
    if (argc == 2 || argc > 4) {
        return Usage("give both MODEL and ACTION, then optionally TRACE.csv");
    }
    if (argc > 2 && !ParseWhole(argv[1], 0, TVK_MODEL_COUNT - 1, model)) {
        return Usage("MODEL must be a whole number from 0 to 2");
    }
    if (argc > 2 && !ParseWhole(argv[2], 0, TVK_ACTION_COUNT - 1, action)) {
        return Usage("ACTION must be a whole number from 0 to 10");
    }
    *tracePath = argc > 3 ? argv[3] : NULL;
    return 0;
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
    int model = 0;
    int action = 0;
    const char *tracePath = NULL;
    Host host = {NULL, 0.0f, 0.0f, 0.0};
    TVK_Geometry geometry;
    TVK_SessionConfig config;
    TVK_StepReport step;
    TVK_Session *session = NULL;
    TVK_Recorder *recorder = NULL;
    float width = 0.0f;
    float height = 0.0f;
    int result = ParseArgs(argc, argv, &model, &action, &tracePath);

    if (result != 0) {
        return result < 0 ? 0 : result;
    }
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
    if (recorder != NULL) {
        const int closed = tvk_recorder_close(recorder);
        if (closed != TVK_OK) {
            tvk_sim_destroy(host.sim);
            return Fail("trace", closed);
        }
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
