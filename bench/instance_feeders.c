/* Four simulated feeders tuned one after another, each alone, or at once on
 * four instances in four threads; and the cost of one instance. Prints one
 * line per feeder (outcome, vibrations, steps and a hash of every step's
 * report) and the wall time, for bench/instances.sh to set side by side.
 *
 * usage: instance_feeders sequential | fresh | feeder K | threads | open N
 *   sequential  one after another in the process's own copy
 *   fresh       one after another, each on an instance of its own
 *   feeder K    feeder K alone in the process's own copy (one per process)
 *   threads     at once, each on an instance of its own in a thread of its own
 *   open N      the time and resident memory one instance takes */
#define _GNU_SOURCE
#include "tavrel_hostkit.h"

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>
#endif
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { FEEDERS = 4 };
static const int kModel[FEEDERS] = {0, 1, 2, 0};
static const int kAction[FEEDERS] = {2, 5, 8, 9};

typedef struct Result {
    int outcome;
    int vibrations;
    int steps;
    unsigned long long hash;
} Result;

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

/* FNV-1a over the bytes of the step's report that a trace holds. */
static unsigned long long mix(unsigned long long hash, const void *bytes, size_t size) {
    const unsigned char *p = bytes;
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ p[i]) * 1099511628211ULL;
    }
    return hash;
}

static void must(int result, const TVK_Api *api, const char *what) {
    if (result < 0) {
        fprintf(stderr, "instance_feeders: %s: %s\n", what, api->errmsg());
        exit(2);
    }
}

static Result tune(const TVK_Api *api, int feeder) {
    const int model = kModel[feeder];
    const int action = kAction[feeder];
    TVK_SimFeeder *sim = NULL;
    must(api->sim_create(model, NULL, api->sim_mix_seed(1, model, 0),
                         api->sim_mix_seed(1, model * 1000003, action + 1), &sim),
         api, "sim");
    float width, height, x, y;
    api->sim_platform(model, &width, &height);
    api->start_point(model, action, width, height, &x, &y);
    api->sim_place(sim, x, y);
    TVK_SessionConfig config;
    api->session_config_init_sized(&config, sizeof config, model, action);
    config.camera = api->sim_camera_cb;
    config.feeder = api->sim_feeder_cb;
    config.user = sim;
    TVK_Session *session = NULL;
    /* An instance on Windows has no capture: its text is the process's
     * (bench/instances_windows.sh filters it out). */
    const int quiet = api->capture_discard();
    if (quiet != TVK_E_PLATFORM) {
        must(quiet, api, "capture");
    }
    must(api->session_start(&config, &session), api, "session");
    Result result = {0, 0, 0, 1469598103934665603ULL};
    TVK_StepReport report;
    do {
        memset(&report, 0, sizeof report);
        report.size = sizeof report;
        must(api->session_step(session, &report), api, "step");
        if (report.events & TVK_EV_ARRIVED) {
            api->sim_place(sim, x, y);
        }
        result.hash = mix(result.hash, &report.x, sizeof report.x * 2);
        result.hash = mix(result.hash, &report.events, sizeof report.events);
        result.hash = mix(result.hash, &report.command, sizeof report.command);
        ++result.steps;
    } while (report.outcome == TVK_RUNNING);
    result.outcome = report.outcome;
    result.vibrations = report.vibrations;
    api->session_end(session);
    api->capture_stop();
    api->sim_destroy(sim);
    return result;
}

static void print(int feeder, const Result *r) {
    printf("feeder %d (model %d action %d): outcome %d, %d vibrations, %d steps, trace %016llx\n",
           feeder, kModel[feeder], kAction[feeder], r->outcome, r->vibrations, r->steps, r->hash);
}

static TVK_Api ownApi(void) {
    TVK_Api api;
    api.size = sizeof api;
    tvk_instance_api(NULL, &api);
    return api;
}

typedef struct Job {
    int feeder;
    Result result;
} Job;

static void *onInstance(void *arg) {
    Job *job = arg;
    TVK_Instance *instance = NULL;
    TVK_Api api = ownApi();
    must(tvk_instance_open(NULL, &instance), &api, "open");
    api.size = sizeof api;
    tvk_instance_api(instance, &api);
    job->result = tune(&api, job->feeder);
    tvk_instance_close(instance);
    return NULL;
}

#ifdef _WIN32
/* The working set, Windows' resident memory. */
static long rssKb(void) {
    PROCESS_MEMORY_COUNTERS counters;
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
               ? (long)(counters.WorkingSetSize / 1024)
               : -1;
}
#else
static long rssKb(void) {
    FILE *status = fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    while (status != NULL && fgets(line, sizeof line, status) != NULL) {
        if (strncmp(line, "VmRSS:", 6) == 0) {
            kb = strtol(line + 6, NULL, 10);
        }
    }
    if (status != NULL) {
        fclose(status);
    }
    return kb;
}
#endif

/* The first open, then n open-and-close cycles (on Linux in a kept namespace), and
 * the resident memory of each of 8 instances held at once. */
static void openCost(int n) {
    const TVK_Api own = ownApi();
    TVK_Instance *held[8];
    const long before = rssKb();
    double t = now();
    must(tvk_instance_open(NULL, &held[0]), &own, "open");
    const double first = now() - t;
    const long one = rssKb();
    for (int i = 1; i < 8; ++i) {
        must(tvk_instance_open(NULL, &held[i]), &own, "open");
    }
    const long eight = rssKb();
    for (int i = 1; i < 8; ++i) {
        tvk_instance_close(held[i]);
    }
    t = now();
    for (int i = 0; i < n; ++i) {
        TVK_Instance *again = NULL;
        must(tvk_instance_open(NULL, &again), &own, "open");
        tvk_instance_close(again);
    }
    const double cycle = (now() - t) / n;
    tvk_instance_close(held[0]);
    printf("first open %.2f ms; open+close %.2f ms (mean of %d)\n", first * 1e3, cycle * 1e3, n);
    printf("resident memory: %ld KB before, +%ld KB with one instance, +%ld KB per instance "
           "over 8\n",
           before, one - before, (eight - before) / 8);
}

int main(int argc, char **argv) {
    const char *mode = argc > 1 ? argv[1] : "";
    const TVK_Api own = ownApi();
    const double started = now();
    if (strcmp(mode, "sequential") == 0) {
        for (int i = 0; i < FEEDERS; ++i) {
            const Result r = tune(&own, i);
            print(i, &r);
        }
    } else if (strcmp(mode, "fresh") == 0) {
        for (int i = 0; i < FEEDERS; ++i) {
            Job job = {i, {0, 0, 0, 0}};
            onInstance(&job);
            print(i, &job.result);
        }
    } else if (strcmp(mode, "feeder") == 0 && argc > 2) {
        const int i = atoi(argv[2]);
        const Result r = tune(&own, i);
        print(i, &r);
    } else if (strcmp(mode, "threads") == 0) {
        pthread_t threads[FEEDERS];
        Job jobs[FEEDERS];
        for (int i = 0; i < FEEDERS; ++i) {
            jobs[i].feeder = i;
            pthread_create(&threads[i], NULL, onInstance, &jobs[i]);
        }
        for (int i = 0; i < FEEDERS; ++i) {
            pthread_join(threads[i], NULL);
            print(i, &jobs[i].result);
        }
    } else if (strcmp(mode, "open") == 0 && argc > 2) {
        openCost(atoi(argv[2]));
        return 0;
    } else {
        fprintf(stderr,
                "usage: instance_feeders sequential | fresh | feeder K | threads | open N\n");
        return 2;
    }
    fprintf(stderr, "%.1f ms\n", (now() - started) * 1e3);
    return 0;
}
