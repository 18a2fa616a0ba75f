/*
 * tavrel_hostkit.h - the host kit: what every feeder host built on libtavrel
 * needs, answered by the library itself.
 *
 *   Geometry      band edges, target areas, the area of a point and a start
 *                 point for a model and an action, computed by the library's
 *                 own initialisers and classification (never a copied table).
 *   Session       TVLInit, one TVLTask step per call, the standard answers to
 *                 statuses 3 (verify) and 6 (success or restart), arrivals
 *                 reported for the host to put the part back, a step budget
 *                 and an early verdict when tuning is hopeless.
 *   Recorder      writes the step trace tavrel-replay reads.
 *   Capture       the library's standard-output text to a file, to a callback
 *                 line by line, or nowhere.
 *   Simulator     a simulated feeder, deterministic from a seed, so a host can
 *                 test itself without hardware.
 *   Instances     private copies of the library and the kit in one process,
 *                 one per feeder, each with its own state (Linux).
 *
 * Conventions, the same for every function:
 *   - Results are int: TVK_OK (0) or a negative TVK_E_* code, unless a
 *     function says otherwise. tvk_strerror() names a code; tvk_errmsg()
 *     says, for the last failing call on the calling thread, which argument
 *     or object it refused and, for TVK_E_IO, the system's reason.
 *   - Records carry their size in bytes in the first member: set it to
 *     sizeof the record (the *_init functions do). A record from an older
 *     header is smaller: the kit reads and writes only its first `size`
 *     bytes and takes the fields an older caller lacks as their defaults. A
 *     record from a newer header is larger: the kit accepts it when the
 *     bytes it does not know are zero, and zeroes them in records it fills.
 *     TVK_E_SIZE for a size below the record's first release, or a newer
 *     record whose unknown bytes are not zero. A record the kit fills gets
 *     no more than `size` bytes written and its size set to what the kit
 *     wrote (the smaller of the caller's size and the kit's). First
 *     releases: 1.1.0 for every record; TVK_SessionConfig grew in 1.2.0
 *     (answers). Since 1.2.0.
 *   - Plain C types only: no varargs, no unions, no records by value across
 *     the kit's own functions. Handles are opaque tokens, good for the
 *     object they were made for only: a handle of an ended session, a closed
 *     recorder or a destroyed feeder gives TVK_E_HANDLE, never acts on
 *     another object, even one made later at the same address; the kit
 *     never gives the same handle value out twice in a process. A handle is
 *     not an address: do not dereference or free it. Every callback
 *     receives the caller's user pointer first. Since 1.2.0.
 *   - Threads: the kit starts none. Each object (the session, a recorder, a
 *     simulated feeder, the capture) serves one call at a time: a call on it
 *     while a call on another thread is under way gives TVK_E_THREAD and
 *     changes nothing (no lock is taken: the call returns at once). Callbacks
 *     run on the calling thread, inside the call that makes them; "inside a
 *     callback" is that thread's state only, so another thread's call is
 *     told TVK_E_THREAD, never TVK_E_REENTRY. From inside a callback of the
 *     session (camera, feeder, put_back) or of a capture (a line), every
 *     session call but tvk_session_outcome, and from inside a line every
 *     capture call but tvk_capture_active, gives TVK_E_REENTRY and changes
 *     nothing; the simulated feeder's calls are allowed (its callbacks are
 *     made for that). A callback left without returning (a runtime that
 *     aborts the thread and unwinds the frames without running their
 *     destructors) leaves no mark: the next call on that thread from a
 *     frame no deeper than the abandoned call's is served. A thread that
 *     ends inside a kit call leaves its object in use. The rule reads the
 *     stack: a callback must not call the kit from another stack of the
 *     same thread (a fiber, a coroutine with a stack of its own, a signal
 *     handler). Since 1.2.0.
 *   - Layouts: the kit is built for the library of its own release. Before
 *     its first geometry answer and its first session, it checks through
 *     the library's exported functions that the loaded libtavrel lays out
 *     the records the kit reads as the kit was built for; TVK_E_LAYOUT
 *     otherwise, for every geometry call and session start of the process.
 *     Since 1.2.0.
 *
 * Valid C99 and C++.
 */
#ifndef TAVREL_HOSTKIT_H
#define TAVREL_HOSTKIT_H

#include "tavrel.h"

#include <stdint.h>

/* One macro marks everything the kit exports. */
#if defined(TVK_STATIC)
#define TVK_API
#elif defined(_WIN32)
#if defined(TVK_BUILDING)
#define TVK_API __declspec(dllexport)
#else
#define TVK_API __declspec(dllimport)
#endif
#else
#define TVK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Results */

enum {
    TVK_OK = 0,
    TVK_E_ARG = -1,      /* a null pointer or a value out of range; tvk_errmsg() names it */
    TVK_E_BUSY = -2,     /* a session (or a capture) is already active in this process */
    TVK_E_STATE = -3,    /* not allowed now: the session is over, or no capture is active */
    TVK_E_IO = -4,       /* a file or descriptor operation failed; tvk_errmsg() says why */
    TVK_E_LIBRARY = -5,  /* the library refused: TVLInit returned 0 */
    TVK_E_CALLBACK = -6, /* a host callback returned a negative value */
    TVK_E_NOMEM = -7,    /* out of memory */
    TVK_E_SIZE = -8,     /* a record size the kit cannot serve (since 1.2.0) */
    TVK_E_LAYOUT = -9,   /* the loaded libtavrel lays out its records otherwise than the kit
                            was built for (since 1.2.0) */
    TVK_E_HANDLE = -10,  /* a handle of an ended session, a closed recorder or a destroyed
                            feeder, or none of the kit's (since 1.2.0) */
    TVK_E_REENTRY = -11, /* called from inside one of the kit's callbacks (since 1.2.0;
                            TVK_E_STATE before) */
    TVK_E_THREAD = -12,  /* the object is in use by a call on another thread (since 1.2.0) */
    TVK_E_LIMIT = -13,   /* the process holds as many instances as the C library's loader
                            allows, or on Windows the kit (since 1.3.0) */
    TVK_E_PLATFORM = -14 /* not available on this platform: an instance's capture on
                            Windows (since 1.3.0) */
};

/* A short English text for a result code; never null, static. */
TVK_API const char *tvk_strerror(int code);
/* What the last kit call that failed on the calling thread refused, for a
 * person: the function, the argument or object and, for TVK_E_IO, the
 * system's reason, e.g. "tvk_recorder_open: path 'nodir/x.csv': No such file
 * or directory". "" before any failure. Never null; owned by the kit, valid
 * on this thread until its next failing kit call. Since 1.2.0. */
TVK_API const char *tvk_errmsg(void);
/* The kit's version, "MAJOR.MINOR.PATCH"; the same as the library's. */
TVK_API const char *tvk_version(void);

/* --------------------------------------------------------------- Geometry */

/* Areas of the 3 x 3 grid as the library numbers them: X band selects the
 * row, Y band the column. */
enum {
    TVK_AREA_XLO_YMID = 0,
    TVK_AREA_XLO_YLO = 1,
    TVK_AREA_XLO_YHI = 2,
    TVK_AREA_XMID_YLO = 3,
    TVK_AREA_XMID_YHI = 4,
    TVK_AREA_XHI_YMID = 5,
    TVK_AREA_XHI_YLO = 6,
    TVK_AREA_XHI_YHI = 7,
    TVK_AREA_CENTRE = 8,
    TVK_AREA_COUNT = 9
};

/* How an action uses a motor. */
enum { TVK_MOTOR_OFF = 0, TVK_MOTOR_AUX = 1, TVK_MOTOR_MAIN = 2 };

enum { TVK_MODEL_COUNT = 3, TVK_ACTION_COUNT = 11, TVK_MOTOR_COUNT = 4 };

/* What the library's factory configuration makes of one model and action.
 * A coordinate is in the low band below *_low, the middle band from *_low up
 * to (not including) *_high, the high band from *_high on. */
typedef struct TVK_Geometry {
    uint32_t size; /* set to sizeof(TVK_Geometry) */
    int32_t model;
    int32_t action;
    float x_low;
    float x_high;
    float y_low;
    float y_high;
    int32_t target[TVK_AREA_COUNT]; /* 1: area i is one of the action's targets */
    int32_t motor[TVK_MOTOR_COUNT]; /* TVK_MOTOR_* per motor */
    int32_t success_count;          /* arrivals in a row that make the library report success */
} TVK_Geometry;

/* model 0..2, action 0..10. Fills *out. TVK_E_LAYOUT (here and in the
 * three functions below) when the loaded library is not the kit's. */
TVK_API int tvk_geometry(int model, int action, TVK_Geometry *out);
/* The area (0..8) the library gives the point, or a negative TVK_E_* code. */
TVK_API int tvk_area_of(int model, int action, float x, float y);
/* 1 when the library counts the point as arrived, 0 when not, or a negative
 * TVK_E_* code. */
TVK_API int tvk_in_target(int model, int action, float x, float y);
/* A point in no target area: the middle of the non-target area nearest the
 * centre of the grid. The platform runs from 0 to width (X) and 0 to height
 * (Y); give 0 for an unknown extent (the high band's middle is then taken as
 * far beyond its edge as the middle band is wide). */
TVK_API int tvk_start_point(int model, int action, float width, float height, float *x, float *y);

/* -------------------------------------------------------- Session driver */

/* The host's camera: store the part's position and return 1 when it sees
 * the part, 0 when it does not, a negative value on a host error (the step
 * then reports TVK_E_CALLBACK). */
typedef int (*TVK_CameraFn)(void *user, float *x, float *y);
/* The host's feeder: run this command (40 bytes, layout in tavrel.h). Return
 * 0, or a negative value on a host error. */
typedef int (*TVK_FeederFn)(void *user, const ST_HostFedColC *command);

typedef struct TVK_SessionConfig {
    uint32_t size; /* set to sizeof(TVK_SessionConfig) */
    int32_t model;
    int32_t action;
    int32_t max_steps; /* step budget; 0: none (default 3000) */
    /* Early verdict: fail once every driven motor has swept its whole
     * frequency window at its top amplitude this many times, and at least
     * 100 vibrations per sweep have passed, with no sign of progress (an
     * arrival, or the library keeping the main motors' drive because the
     * part moved the right way); 0 turns it off (default 3). */
    int32_t verdict_sweeps;
    TVK_CameraFn camera; /* required */
    TVK_FeederFn feeder; /* required */
    void *user;          /* passed to both callbacks */
    int32_t answers;     /* TVK_ANSWERS_STANDARD (0, default): the driver answers statuses 3
                            and 6 itself; TVK_ANSWERS_HOST (1): it gives none, the host gives
                            its own commands with tvk_session_command between steps (a replay
                            does). Since 1.2.0. */
} TVK_SessionConfig;

/* Who answers the library's statuses 3 and 6 (TVK_SessionConfig.answers).
 * With TVK_ANSWERS_HOST the driver sends nothing: a report's host_command is
 * always -1 and its events hold no TVK_EV_TUNED, TVK_EV_VERIFIED,
 * TVK_EV_RESTARTED or TVK_EV_SUCCESS (they name the driver's answers). The
 * outcome is the host's (TVL_CMD_END: TVK_STOPPED), the budget's or the
 * early verdict's, or the library's: a step whose task state is
 * TVL_TASK_END ends the session, TVK_TUNED when the host's last command was
 * TVL_CMD_SUCCESS, TVK_STOPPED otherwise. Since 1.2.0. */
enum { TVK_ANSWERS_STANDARD = 0, TVK_ANSWERS_HOST = 1 };

/* Defaults for model and action: size set, budget 3000, verdict after three
 * sweeps, standard answers; callbacks and user null. Writes no more than
 * size bytes; size is the caller's sizeof(TVK_SessionConfig), which the
 * macro below passes. Since 1.2.0. */
TVK_API void tvk_session_config_init_sized(TVK_SessionConfig *config, uint32_t size, int model,
                                           int action);
/* The function of the first release: fills the first release's record
 * only (its size, without answers). Programs compiled against this header
 * call tvk_session_config_init_sized through the macro; bindings that call
 * the symbol by name should call tvk_session_config_init_sized. */
TVK_API void tvk_session_config_init(TVK_SessionConfig *config, int model, int action);
#define tvk_session_config_init(config, model, action)                                             \
    tvk_session_config_init_sized((config), (uint32_t)sizeof *(config), (model), (action))

/* What a step brought, as bits of TVK_StepReport.events. */
enum {
    TVK_EV_VIBRATED = 1,   /* the library commanded a vibration (given to the feeder) */
    TVK_EV_ARRIVED = 2,    /* status 2 with the part seen in a target: put it back now */
    TVK_EV_TUNED = 4,      /* status 3: the driver answered verify */
    TVK_EV_VERIFIED = 8,   /* status 6: the driver answered success or restart */
    TVK_EV_RESTARTED = 16, /* the driver sent restart (the part left its target) */
    TVK_EV_SUCCESS = 32,   /* the driver sent success (the part stayed in its target) */
    TVK_EV_TIMEOUT = 64    /* status 2 without an arrival: see below */
};
/* TVK_EV_TIMEOUT, exactly: the library sent status 2 during the step and the
 * step was no arrival (the part not seen, or seen outside every target).
 * Status 2 without an arrival is the library saying it had no new sample to
 * analyse and waited for one; among such steps are those where its sample
 * timeout fires (it prints "Mate Vanish"), on the real clock already the
 * first step of a session, whose first sighting only primes the library's
 * sample ring. The kit does not copy the library's timing rule, so it does
 * not tell those apart. Since 1.2.0 (before, only for a part not seen). */

/* Where the session stands after a step. */
enum {
    TVK_RUNNING = 0,
    TVK_TUNED = 1,  /* the library ended the task after success; the command holds the words */
    TVK_FAILED = 2, /* early verdict: tuning is hopeless; reason says why */
    TVK_BUDGET = 3, /* the step budget is spent */
    TVK_STOPPED = 4 /* the host ended the session with tvk_session_command(TVL_CMD_END) */
};

enum { TVK_STATUS_MAX = 8, TVK_REASON_MAX = 192 };

/* One step as the host saw it. */
typedef struct TVK_StepReport {
    uint32_t size; /* set to sizeof(TVK_StepReport) */
    int32_t step;  /* 0 for the first step of the session */
    int32_t task;  /* what TVLTask returned */
    int32_t seen;  /* the camera saw the part this step */
    float x;       /* position the camera reported (when seen) */
    float y;
    float dx; /* against the previous position the camera reported */
    float dy;
    int32_t area;         /* area of (x, y) for the session's model and action, -1 when not seen */
    int32_t status_count; /* statuses the library sent during the step */
    int32_t status[TVK_STATUS_MAX];
    int32_t host_command;   /* command the driver gave after the step (TVL_CMD_*), -1 for none */
    int32_t events;         /* TVK_EV_* bits */
    int32_t outcome;        /* TVK_RUNNING, TVK_TUNED, TVK_FAILED, TVK_BUDGET, TVK_STOPPED */
    int32_t vibrations;     /* feeder commands so far in the session */
    int32_t commanded;      /* a feeder command was given during the step */
    ST_HostFedColC command; /* the command of this step, or the last one before it */
    char reason[TVK_REASON_MAX]; /* why the outcome, for a person; "" while running */
} TVK_StepReport;

typedef struct TVK_Session TVK_Session;

/* Initialises the library (TVLInit) for the configuration and returns the
 * session. One session at a time per process: the library's callbacks carry
 * no user pointer, so the driver keeps its state in the kit; a second start
 * before tvk_session_end gives TVK_E_BUSY. Restores every library default,
 * as TVLInit does. TVK_E_LIBRARY when the library refuses, TVK_E_LAYOUT when
 * the loaded library is not the kit's, TVK_E_SIZE for a config size the kit
 * cannot serve. The handle is a token (see Conventions). */
TVK_API int tvk_session_start(const TVK_SessionConfig *config, TVK_Session **out);
/* One TVLTask step with the standard answers; fills *report. After an outcome
 * other than TVK_RUNNING, further steps give TVK_E_STATE. A negative host
 * callback result gives TVK_E_CALLBACK after the step (the report is filled).
 * After the step the driver pumps a callback capture. */
TVK_API int tvk_session_step(TVK_Session *session, TVK_StepReport *report);
/* Runs steps until the outcome is decided; report gets the last step. On
 * TVK_EV_ARRIVED the driver calls put_back (may be null) with the session's
 * user pointer, for the host to put the part back; put_back is a session
 * callback (calls on the session from it give TVK_E_REENTRY). */
typedef void (*TVK_PutBackFn)(void *user);
TVK_API int tvk_session_run(TVK_Session *session, TVK_PutBackFn put_back, TVK_StepReport *report);
/* A host command (TVL_CMD_*) given now, between steps. End stops the session
 * (outcome TVK_STOPPED); restart starts the verdict's count again. Refused
 * with TVK_E_REENTRY from inside a callback (TVK_E_STATE before 1.2.0). */
TVK_API int tvk_session_command(TVK_Session *session, int command);
/* Host parameters for this action and model (TVLLogicParamSet): between
 * steps; the verdict reads the new bounds and starts its count again. */
TVK_API int tvk_session_set_params(TVK_Session *session, const ST_HostLogicParam *params);
/* The session's outcome (TVK_RUNNING...) and, when reason is not null, its
 * reason copied into reason[0..reason_size-1]. Allowed from inside the
 * session's callbacks. */
TVK_API int tvk_session_outcome(const TVK_Session *session, char *reason, int32_t reason_size);
/* Ends the session and frees it; the next tvk_session_start may follow. The
 * library keeps its state (the tuned words stay readable). TVK_OK, also for
 * null; TVK_E_HANDLE for a handle of an ended session; TVK_E_REENTRY from
 * inside one of the session's callbacks and TVK_E_THREAD while a call on it
 * runs on another thread (the session then goes on). Returns int since
 * 1.2.0 (void before). */
TVK_API int tvk_session_end(TVK_Session *session);

/* --------------------------------------------------------------- Recorder */

typedef struct TVK_Recorder TVK_Recorder;

/* The monotonic clock the library reads, in seconds (CLOCK_MONOTONIC on
 * Linux, the performance counter on Windows). Record step times with it and
 * a replay reproduces the library's timeouts exactly. */
TVK_API double tvk_clock_seconds(void);

/* Starts a trace at path for the model and action: a CSV file with one row
 * per step that tavrel-replay reads (and replays with the library's timeouts
 * at the recorded times). The path is checked now: a regular file (or a new
 * one) appears whole at tvk_recorder_close or not at all, written to a
 * temporary file created exclusively beside it and renamed over it, with an
 * existing file's mode kept; a symbolic link leads to the file it names and
 * stays; a FIFO, a terminal or a device is written in place. TVK_E_ARG for an
 * empty or null path; TVK_E_IO when the path cannot be written, with
 * tvk_errmsg() naming it and the system's reason. */
TVK_API int tvk_recorder_open(const char *path, int model, int action, TVK_Recorder **out);
/* One row: time_s is the host's clock, in seconds, when it called the step
 * (any origin, never decreasing, from 0 to 9223372036.854775807, what the
 * library's nanosecond clock holds). reset: the host put the part back after
 * the step. Positions and times are written as the shortest text that reads
 * back as the same number. TVK_E_ARG, nothing written, for a time that is
 * not finite, negative, before the previous row's or beyond that range, or a
 * position (x, y, dx, dy of a step that saw the part) that is not finite.
 * TVK_E_IO when a write failed; TVK_E_HANDLE for a closed recorder. */
TVK_API int tvk_recorder_write(TVK_Recorder *recorder, double time_s, const TVK_StepReport *step,
                               int reset);
/* Finishes the file and frees the recorder. TVK_E_IO when any write, the
 * close or the rename failed: a regular file at path is then left as it was.
 * TVK_E_HANDLE for a closed recorder. */
TVK_API int tvk_recorder_close(TVK_Recorder *recorder);
/* Frees the recorder and leaves a regular file at path as it was. Null, and
 * a closed recorder, are allowed and do nothing. */
TVK_API void tvk_recorder_abandon(TVK_Recorder *recorder);

/* ---------------------------------------------------- Diagnostics capture */

/* The library prints its diagnostics with printf on standard output (file
 * descriptor 1). Capture points descriptor 1 elsewhere; it is process-wide,
 * so everything else written to descriptor 1 in the meantime (by the host, a
 * scripting runtime or another library) goes the same way. The kit flushes
 * C stdio before it redirects, before it reads back and before it restores.
 * Use stderr, or a stream duplicated before the capture, for your own text.
 * One capture at a time (TVK_E_BUSY otherwise). */

/* Each complete line without its "\n", NUL-terminated, and its length in
 * bytes (the library's text holds no NUL of its own). */
typedef void (*TVK_LineFn)(void *user, const char *line, int32_t length);

/* Every start refuses with TVK_E_IO (and leaves descriptor 1 as it was)
 * when descriptor 1 is not open: there is nothing to capture, and the
 * capture's own file would take its place. Since 1.2.0. */

/* To a file, created or truncated (append: non-zero adds to it). TVK_E_IO
 * when it cannot be opened; tvk_errmsg() names the path and the system's
 * reason. */
TVK_API int tvk_capture_to_file(const char *path, int append);
/* Line by line to fn, delivered by tvk_capture_pump (the session driver
 * pumps after every step). No thread and no pipe: the text collects in a
 * temporary file and is read back when pumped. */
TVK_API int tvk_capture_to_callback(TVK_LineFn fn, void *user);
/* Nowhere. */
TVK_API int tvk_capture_discard(void);
/* Delivers the complete lines collected so far; 0 when no callback capture
 * is active. */
TVK_API int tvk_capture_pump(void);
/* Pumps, delivers a last partial line and puts descriptor 1 back as it was.
 * TVK_E_STATE when no capture is active. TVK_E_IO when text could not be
 * written to the capture's file (a full disk: the message names the path
 * and the reason); the capture ends and descriptor 1 is back all the same.
 * Since 1.2.0 for the write error. */
TVK_API int tvk_capture_stop(void);
/* 1 while a capture is active, else 0. */
TVK_API int tvk_capture_active(void);

/* -------------------------------------------------------- Simulated feeder */

/* A plate on springs with four voice coils under its corners, and a part on
 * it that sticks, slides and hops under Coulomb friction, integrated through
 * every vibration cycle (docs/sim.md states the equations). The amplitude
 * word sets a coil's force, the frequency word is in Hz, the phase word in
 * degrees, the run time in ms; the mode word is not modelled (every coil
 * runs a sine). Each feeder draws its physical constants from ranges; the
 * same seeds give the same feeder and the same motion on every platform.
 * Since 1.2.0 the ranges and constants carry the fields after mismatch, and
 * half_width, gain and friction mean the physical values below (before: the
 * widths, drift gain and drive threshold of a drift model in words). */

typedef struct TVK_SimRange {
    double lo;
    double hi;
} TVK_SimRange;

/* Zero in a field after mismatch ({0, 0}) means the model's default range. */
typedef struct TVK_SimRanges {
    uint32_t size;           /* set to sizeof(TVK_SimRanges) */
    TVK_SimRange resonance;  /* Hz, the plate's resonance when new and unloaded */
    TVK_SimRange half_width; /* Hz from resonance to half power: Q = resonance / (2 half_width) */
    TVK_SimRange gain;       /* um of static stroke along a coil's push per amplitude word */
    TVK_SimRange friction;   /* static friction coefficient of part on plate */
    TVK_SimRange noise;      /* largest random offset per vibration and axis, host units */
    TVK_SimRange mismatch;   /* largest relative gain error of one coil */
    /* Since 1.2.0: */
    TVK_SimRange kinetic;        /* kinetic friction as a fraction of static */
    TVK_SimRange lift;           /* vertical stroke per horizontal stroke of a coil, at the
                                    plate's centre */
    TVK_SimRange restitution;    /* rebound speed per impact speed when the part lands */
    TVK_SimRange scatter;        /* spread of the sideways kick per impact speed at a landing */
    TVK_SimRange resonance_wear; /* fraction of the resonance lost per hour of running */
    TVK_SimRange friction_wear;  /* fraction of friction gained per hour of running */
    TVK_SimRange age_h;          /* hours the feeder has run before its first vibration */
    TVK_SimRange load;           /* load on the plate per plate mass */
} TVK_SimRanges;

/* One drawn feeder's constants; the fields after motor_gain since 1.2.0. */
typedef struct TVK_SimParams {
    uint32_t size; /* set to sizeof(TVK_SimParams) */
    double resonance;
    double half_width;
    double gain;
    double friction;
    double noise;
    double mismatch;
    double motor_gain[TVK_MOTOR_COUNT];
    double kinetic;
    double lift;
    double restitution;
    double scatter;
    double resonance_wear;
    double friction_wear;
    double age_h;
    double load;
    double mm_per_unit;   /* the model's scale: mm of platform per host unit */
    double q;             /* resonance / (2 half_width) */
    double resonance_now; /* Hz, after the running so far and under the load */
    double friction_now;  /* static friction after the running so far */
} TVK_SimParams;

/* What one feeder command does to the part where it lies, without moving it
 * (since 1.2.0). Amplitudes are the plate's at the part, along the motion's
 * largest axis; the ratios are the peak accelerations over g. */
typedef struct TVK_SimProbe {
    uint32_t size;        /* set to sizeof(TVK_SimProbe) */
    double horizontal_um; /* the plate's horizontal displacement amplitude */
    double vertical_um;   /* the plate's vertical displacement amplitude */
    double accel_g;       /* A w^2 / g of the horizontal motion */
    double throw_g;       /* A_v w^2 / g: above 1 the part leaves the plate */
    double speed_mm_s;    /* mean speed of the part over the run, noise aside */
    double kv;            /* speed / (A w), 0 for no motion */
    double flight;        /* fraction of the run the part spends in the air */
} TVK_SimProbe;

typedef struct TVK_SimFeeder TVK_SimFeeder;

/* The ranges feeders of a model are drawn from. */
TVK_API int tvk_sim_default_ranges(int model, TVK_SimRanges *out);
/* The platform in host coordinate units: 190 x 155 for model 0, 320 x 240
 * for models 1 and 2 (TVK_SimParams.mm_per_unit gives the scale). */
TVK_API int tvk_sim_platform(int model, float *width, float *height);
/* Mixes a seed with two numbers into a new seed (for one seed per feeder and
 * per session from one run seed). */
TVK_API uint64_t tvk_sim_mix_seed(uint64_t seed, uint64_t a, uint64_t b);
/* Draws a feeder of the model from ranges (null: the model's defaults) with
 * feeder_seed; its motion noise starts from noise_seed. The part starts at
 * the platform's centre. Every range must be finite with lo <= hi;
 * resonance and half_width above 0, gain, friction, noise, lift, scatter,
 * the wears, age_h and load not negative, mismatch and restitution from 0
 * to below 1, kinetic above 0 and at most 1; TVK_E_ARG naming the field
 * otherwise (since 1.2.0). The handle is a token (see Conventions). */
TVK_API int tvk_sim_create(int model, const TVK_SimRanges *ranges, uint64_t feeder_seed,
                           uint64_t noise_seed, TVK_SimFeeder **out);
/* The same feeder with its motion noise started again from noise_seed. */
TVK_API int tvk_sim_reseed(TVK_SimFeeder *sim, uint64_t noise_seed);
TVK_API int tvk_sim_params(const TVK_SimFeeder *sim, TVK_SimParams *out);
/* Puts the part at (x, y), clamped to the platform; TVK_E_ARG for a
 * coordinate that is not finite (since 1.2.0; only NaN before). */
TVK_API int tvk_sim_place(TVK_SimFeeder *sim, float x, float y);
/* Where the part is. */
TVK_API int tvk_sim_position(const TVK_SimFeeder *sim, float *x, float *y);
/* What a camera reports: the position rounded to two decimals. Returns 1
 * (the simulated camera always sees the part) or a negative TVK_E_* code. */
TVK_API int tvk_sim_camera(const TVK_SimFeeder *sim, float *x, float *y);
/* Runs one feeder command: the part moves for the command's run time. */
TVK_API int tvk_sim_vibrate(TVK_SimFeeder *sim, const ST_HostFedColC *command);
/* What the command would do to the part where it lies; nothing changes,
 * the landing kicks drawn from a fixed seed (since 1.2.0). */
TVK_API int tvk_sim_probe(const TVK_SimFeeder *sim, const ST_HostFedColC *command,
                          TVK_SimProbe *out);
/* Simulated milliseconds of vibration so far; 0 for a handle that is not
 * live (tvk_errmsg() says so). */
TVK_API double tvk_sim_vibration_ms(const TVK_SimFeeder *sim);
/* Null is allowed. A handle that is not live, or a feeder in use by a call
 * on another thread, is left alone (tvk_errmsg() says which). */
TVK_API void tvk_sim_destroy(TVK_SimFeeder *sim);

/* Ready-made callbacks for a session on a simulated feeder: user is the
 * TVK_SimFeeder. */
TVK_API int tvk_sim_camera_cb(void *user, float *x, float *y);
TVK_API int tvk_sim_feeder_cb(void *user, const ST_HostFedColC *command);

/* ---------------------------------------------------------------- Instances */

/* The library keeps its state in static records, so a process runs one
 * session at a time. An instance is a private copy of the library and of
 * the kit, loaded into a link-map namespace of its own (dlmopen) with its
 * own C runtime: its sessions, recorders, simulated feeders, capture,
 * errors and layout check are its own, and a session on one instance runs
 * while another instance runs one on another thread. The process's own
 * copy (the functions above) is not an instance and stays as it is.
 *
 * Everything an instance offers is reached through its table of functions,
 * TVK_Api: the kit's functions above, bound in the instance, under their
 * names without the tvk_ prefix. Its objects and handles are good for that
 * table only. Its failures are told by its own errmsg, on the calling
 * thread; its strerror names the same codes. Each of its objects serves one
 * thread at a time, as above (TVK_E_THREAD). Its capture does not touch
 * descriptor 1: the instance's C runtime gets a standard output stream of
 * the capture's own, so each instance captures alone, and the process's
 * capture (which moves descriptor 1) still takes the text of every
 * instance without a capture of its own.
 *
 * What instances share: the process's descriptors (descriptor 1 among
 * them), signals and their handlers, the working directory and the
 * environment. The limit: glibc holds 16 namespaces, the process's own
 * among them, and reserves thread-local storage for 4 (tunable
 * glibc.rtld.nns, at most 16); within the default reserve 11 instances
 * load at once on glibc 2.36 x86-64, 15 with GLIBC_TUNABLES=glibc.rtld.nns=16
 * set before the process starts. A closed instance's namespace is used
 * again by the next open (its C runtime stays loaded; the library and the
 * kit load afresh, with fresh state). docs/integrating.md gives the memory
 * and the time an instance takes.
 *
 * Windows: the loader keeps one module per name, so an instance is a copy of
 * the kit's DLL and of tavrel.dll, each under a name of its own, in a folder
 * of the process's under the temporary folder (GetTempPath), loaded from
 * there; the kit's copy calls the library's copy, bound at run time. All else
 * above holds, except: every copy shares the process's C runtime (msvcrt.dll)
 * and so its standard output. An instance's capture_to_file,
 * capture_to_callback and capture_discard give TVK_E_PLATFORM; its library's
 * text goes to the process's standard output, where the process's own
 * capture (tvk_capture_*) takes it together with every other instance's. The
 * kit holds at most 16 instances at once (TVK_E_LIMIT past them). Closing an
 * instance removes its copies; the folder goes at exit. A process killed, or
 * ending with instances open, leaves its folder behind (the copies of the two
 * DLLs for each instance); the next process to open an instance removes the
 * folders of processes that no longer run. Since 1.3.0. */

typedef struct TVK_Instance TVK_Instance;

typedef struct TVK_Api {
    uint32_t size; /* set to sizeof(TVK_Api) */
    const char *(*strerror)(int code);
    const char *(*errmsg)(void);
    const char *(*version)(void);
    int (*geometry)(int model, int action, TVK_Geometry *out);
    int (*area_of)(int model, int action, float x, float y);
    int (*in_target)(int model, int action, float x, float y);
    int (*start_point)(int model, int action, float width, float height, float *x, float *y);
    void (*session_config_init_sized)(TVK_SessionConfig *config, uint32_t size, int model,
                                      int action);
    int (*session_start)(const TVK_SessionConfig *config, TVK_Session **out);
    int (*session_step)(TVK_Session *session, TVK_StepReport *report);
    int (*session_run)(TVK_Session *session, TVK_PutBackFn put_back, TVK_StepReport *report);
    int (*session_command)(TVK_Session *session, int command);
    int (*session_set_params)(TVK_Session *session, const ST_HostLogicParam *params);
    int (*session_outcome)(const TVK_Session *session, char *reason, int32_t reason_size);
    int (*session_end)(TVK_Session *session);
    double (*clock_seconds)(void);
    int (*recorder_open)(const char *path, int model, int action, TVK_Recorder **out);
    int (*recorder_write)(TVK_Recorder *recorder, double time_s, const TVK_StepReport *step,
                          int reset);
    int (*recorder_close)(TVK_Recorder *recorder);
    void (*recorder_abandon)(TVK_Recorder *recorder);
    int (*capture_to_file)(const char *path, int append);
    int (*capture_to_callback)(TVK_LineFn fn, void *user);
    int (*capture_discard)(void);
    int (*capture_pump)(void);
    int (*capture_stop)(void);
    int (*capture_active)(void);
    int (*sim_default_ranges)(int model, TVK_SimRanges *out);
    int (*sim_platform)(int model, float *width, float *height);
    uint64_t (*sim_mix_seed)(uint64_t seed, uint64_t a, uint64_t b);
    int (*sim_create)(int model, const TVK_SimRanges *ranges, uint64_t feeder_seed,
                      uint64_t noise_seed, TVK_SimFeeder **out);
    int (*sim_reseed)(TVK_SimFeeder *sim, uint64_t noise_seed);
    int (*sim_params)(const TVK_SimFeeder *sim, TVK_SimParams *out);
    int (*sim_place)(TVK_SimFeeder *sim, float x, float y);
    int (*sim_position)(const TVK_SimFeeder *sim, float *x, float *y);
    int (*sim_camera)(const TVK_SimFeeder *sim, float *x, float *y);
    int (*sim_vibrate)(TVK_SimFeeder *sim, const ST_HostFedColC *command);
    int (*sim_probe)(const TVK_SimFeeder *sim, const ST_HostFedColC *command, TVK_SimProbe *out);
    double (*sim_vibration_ms)(const TVK_SimFeeder *sim);
    void (*sim_destroy)(TVK_SimFeeder *sim);
    int (*sim_camera_cb)(void *user, float *x, float *y);
    int (*sim_feeder_cb)(void *user, const ST_HostFedColC *command);
} TVK_Api;

/* Opens an instance: kit_path names the kit to load (null: the
 * libtavrel_hostkit of this kit's release beside the running kit; a program
 * may name a kit of its own build, built from the same sources). Loads and
 * checks in a few milliseconds. TVK_E_LIMIT past the loader's limit, with
 * tvk_errmsg() giving the loader's words and the tunable (Windows: past the
 * kit's 16); TVK_E_IO when the kit cannot be loaded (the loader's reason) or,
 * on Windows, copied.
 * The handle is a token (see Conventions); close it with
 * tvk_instance_close. Since 1.3.0. */
TVK_API int tvk_instance_open(const char *kit_path, TVK_Instance **out);
/* Fills *out with the instance's table; a null instance gives the table of
 * the process's own copy (the functions above), so one host path serves
 * both. The table's functions are good until the instance is closed.
 * TVK_E_HANDLE for a closed instance. Since 1.3.0. */
TVK_API int tvk_instance_api(const TVK_Instance *instance, TVK_Api *out);
/* Another symbol of the instance's kit by name (for a program's own kit
 * build with entry points of its own); TVK_E_ARG when it has none by that
 * name. Since 1.3.0. */
TVK_API int tvk_instance_symbol(const TVK_Instance *instance, const char *name, void **out);
/* Unloads the instance: what it printed is flushed, its capture stopped and
 * its C runtime's standard output given back (Windows: its copies removed);
 * its objects, handles and
 * table are gone with it (end them first: an open recorder is abandoned).
 * TVK_OK, also for null; TVK_E_HANDLE for a closed instance; TVK_E_THREAD
 * while a call on it runs on another thread. Since 1.3.0. */
TVK_API int tvk_instance_close(TVK_Instance *instance);

#ifdef __cplusplus
}
#endif

#endif /* TAVREL_HOSTKIT_H */
