"""The C declarations and the two shared libraries, loaded with cffi.

``lib`` is ``libtavrel`` (the five entry points), ``kit`` the host kit
``libtavrel_hostkit``. Both are the binaries a C host links; this module only
describes them to cffi. Records cross by value where the C interface says so
(the coordinate callback returns ``ST_HostMateInf``, the feeder callback
receives the 40-byte command), which is why the binding uses cffi: the
standard ``ctypes`` cannot make a callback that returns a record.

Where the libraries are looked for, first match wins:

1. the paths in ``TAVREL_LIBRARY`` and ``TAVREL_HOSTKIT_LIBRARY``;
2. the source checkout's ``build/`` tree, when this package runs from it;
3. the system loader (an installed library).
"""

from __future__ import annotations

import ctypes.util
import os
import sys
from pathlib import Path
from typing import Any, Dict, List, Optional

import cffi

# The declarations of host/tavrel.h and hostkit/tavrel_hostkit.h, member for
# member. The test suite holds every record's size and offsets, and every
# constant, against the C headers.
CDEF = """
typedef struct ST_HostMateInf {
    float fPosX;
    float fPosY;
    int bMateReco;
} ST_HostMateInf;

typedef struct ST_HostFedColC {
    int enAct;
    unsigned short u16MotParam[4][4];
    unsigned short u16RunTim;
    unsigned short u16Fill;
} ST_HostFedColC;

typedef struct ST_HostLogicParam {
    unsigned int u32Reserve;
    unsigned short u16AmpInit;
    unsigned short u16AmpMax;
    unsigned short u16FreInit;
    unsigned short u16FreMax;
    unsigned short u16FedRunTim;
    unsigned short u16Reserve;
} ST_HostLogicParam;

typedef ST_HostMateInf (*PFN_TVLCoordRe)(void);
typedef int (*PFN_TVLFedCol)(ST_HostFedColC stCmd);
typedef int (*PFN_TVLLogCol)(int enStatus);

enum {
    TVL_TASK_NONE = 0,
    TVL_TASK_ADJ = 4,
    TVL_TASK_VERIF_START = 5,
    TVL_TASK_VERIF_ING = 6,
    TVL_TASK_WAIT = 7,
    TVL_TASK_END = 8
};

enum { TVL_CMD_END = 0, TVL_CMD_RESTART = 1, TVL_CMD_VERIFY = 2, TVL_CMD_SUCCESS = 3 };

int TVLInit(PFN_TVLCoordRe pfnCoordRe, PFN_TVLFedCol pfnFedCol, PFN_TVLLogCol pfnLogCol,
            int model, int action);
int TVLTask(void);
int TVLLogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax,
                     unsigned short u16FreInit, unsigned short u16FreMax,
                     unsigned short u16FedRunTim);
ST_HostLogicParam TVLLogicParamRe(void);
int TVLLogicStaCol(int command);

enum {
    TVK_OK = 0,
    TVK_E_ARG = -1,
    TVK_E_BUSY = -2,
    TVK_E_STATE = -3,
    TVK_E_IO = -4,
    TVK_E_LIBRARY = -5,
    TVK_E_CALLBACK = -6,
    TVK_E_NOMEM = -7,
    TVK_E_SIZE = -8,
    TVK_E_LAYOUT = -9,
    TVK_E_HANDLE = -10,
    TVK_E_REENTRY = -11,
    TVK_E_THREAD = -12,
    TVK_E_LIMIT = -13,
    TVK_E_PLATFORM = -14
};

const char *tvk_strerror(int code);
const char *tvk_errmsg(void);
const char *tvk_version(void);

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

enum { TVK_MOTOR_OFF = 0, TVK_MOTOR_AUX = 1, TVK_MOTOR_MAIN = 2 };

enum { TVK_MODEL_COUNT = 3, TVK_ACTION_COUNT = 11, TVK_MOTOR_COUNT = 4 };

typedef struct TVK_Geometry {
    uint32_t size;
    int32_t model;
    int32_t action;
    float x_low;
    float x_high;
    float y_low;
    float y_high;
    int32_t target[9];
    int32_t motor[4];
    int32_t success_count;
} TVK_Geometry;

int tvk_geometry(int model, int action, TVK_Geometry *out);
int tvk_area_of(int model, int action, float x, float y);
int tvk_in_target(int model, int action, float x, float y);
int tvk_start_point(int model, int action, float width, float height, float *x, float *y);

typedef int (*TVK_CameraFn)(void *user, float *x, float *y);
typedef int (*TVK_FeederFn)(void *user, const ST_HostFedColC *command);

typedef struct TVK_SessionConfig {
    uint32_t size;
    int32_t model;
    int32_t action;
    int32_t max_steps;
    int32_t verdict_sweeps;
    TVK_CameraFn camera;
    TVK_FeederFn feeder;
    void *user;
    int32_t answers;
} TVK_SessionConfig;

enum { TVK_ANSWERS_STANDARD = 0, TVK_ANSWERS_HOST = 1 };

void tvk_session_config_init_sized(TVK_SessionConfig *config, uint32_t size, int model,
                                   int action);
void tvk_session_config_init(TVK_SessionConfig *config, int model, int action);

enum {
    TVK_EV_VIBRATED = 1,
    TVK_EV_ARRIVED = 2,
    TVK_EV_TUNED = 4,
    TVK_EV_VERIFIED = 8,
    TVK_EV_RESTARTED = 16,
    TVK_EV_SUCCESS = 32,
    TVK_EV_TIMEOUT = 64
};

enum {
    TVK_RUNNING = 0,
    TVK_TUNED = 1,
    TVK_FAILED = 2,
    TVK_BUDGET = 3,
    TVK_STOPPED = 4
};

enum { TVK_STATUS_MAX = 8, TVK_REASON_MAX = 192 };

typedef struct TVK_StepReport {
    uint32_t size;
    int32_t step;
    int32_t task;
    int32_t seen;
    float x;
    float y;
    float dx;
    float dy;
    int32_t area;
    int32_t status_count;
    int32_t status[8];
    int32_t host_command;
    int32_t events;
    int32_t outcome;
    int32_t vibrations;
    int32_t commanded;
    ST_HostFedColC command;
    char reason[192];
} TVK_StepReport;

typedef struct TVK_Session TVK_Session;

int tvk_session_start(const TVK_SessionConfig *config, TVK_Session **out);
int tvk_session_step(TVK_Session *session, TVK_StepReport *report);
typedef void (*TVK_PutBackFn)(void *user);
int tvk_session_run(TVK_Session *session, TVK_PutBackFn put_back, TVK_StepReport *report);
int tvk_session_command(TVK_Session *session, int command);
int tvk_session_set_params(TVK_Session *session, const ST_HostLogicParam *params);
int tvk_session_outcome(const TVK_Session *session, char *reason, int32_t reason_size);
int tvk_session_end(TVK_Session *session);

typedef struct TVK_Recorder TVK_Recorder;

double tvk_clock_seconds(void);

int tvk_recorder_open(const char *path, int model, int action, TVK_Recorder **out);
int tvk_recorder_write(TVK_Recorder *recorder, double time_s, const TVK_StepReport *step,
                       int reset);
int tvk_recorder_close(TVK_Recorder *recorder);
void tvk_recorder_abandon(TVK_Recorder *recorder);

typedef void (*TVK_LineFn)(void *user, const char *line, int32_t length);

int tvk_capture_to_file(const char *path, int append);
int tvk_capture_to_callback(TVK_LineFn fn, void *user);
int tvk_capture_discard(void);
int tvk_capture_pump(void);
int tvk_capture_stop(void);
int tvk_capture_active(void);

typedef struct TVK_SimRange {
    double lo;
    double hi;
} TVK_SimRange;

typedef struct TVK_SimRanges {
    uint32_t size;
    TVK_SimRange resonance;
    TVK_SimRange half_width;
    TVK_SimRange gain;
    TVK_SimRange friction;
    TVK_SimRange noise;
    TVK_SimRange mismatch;
    TVK_SimRange kinetic;
    TVK_SimRange lift;
    TVK_SimRange restitution;
    TVK_SimRange scatter;
    TVK_SimRange resonance_wear;
    TVK_SimRange friction_wear;
    TVK_SimRange age_h;
    TVK_SimRange load;
} TVK_SimRanges;

typedef struct TVK_SimParams {
    uint32_t size;
    double resonance;
    double half_width;
    double gain;
    double friction;
    double noise;
    double mismatch;
    double motor_gain[4];
    double kinetic;
    double lift;
    double restitution;
    double scatter;
    double resonance_wear;
    double friction_wear;
    double age_h;
    double load;
    double mm_per_unit;
    double q;
    double resonance_now;
    double friction_now;
} TVK_SimParams;

typedef struct TVK_SimProbe {
    uint32_t size;
    double horizontal_um;
    double vertical_um;
    double accel_g;
    double throw_g;
    double speed_mm_s;
    double kv;
    double flight;
} TVK_SimProbe;

typedef struct TVK_SimFeeder TVK_SimFeeder;

int tvk_sim_default_ranges(int model, TVK_SimRanges *out);
int tvk_sim_platform(int model, float *width, float *height);
uint64_t tvk_sim_mix_seed(uint64_t seed, uint64_t a, uint64_t b);
int tvk_sim_create(int model, const TVK_SimRanges *ranges, uint64_t feeder_seed,
                   uint64_t noise_seed, TVK_SimFeeder **out);
int tvk_sim_reseed(TVK_SimFeeder *sim, uint64_t noise_seed);
int tvk_sim_params(const TVK_SimFeeder *sim, TVK_SimParams *out);
int tvk_sim_place(TVK_SimFeeder *sim, float x, float y);
int tvk_sim_position(const TVK_SimFeeder *sim, float *x, float *y);
int tvk_sim_camera(const TVK_SimFeeder *sim, float *x, float *y);
int tvk_sim_vibrate(TVK_SimFeeder *sim, const ST_HostFedColC *command);
int tvk_sim_probe(const TVK_SimFeeder *sim, const ST_HostFedColC *command, TVK_SimProbe *out);
double tvk_sim_vibration_ms(const TVK_SimFeeder *sim);
void tvk_sim_destroy(TVK_SimFeeder *sim);

int tvk_sim_camera_cb(void *user, float *x, float *y);
int tvk_sim_feeder_cb(void *user, const ST_HostFedColC *command);

typedef struct TVK_Instance TVK_Instance;

typedef struct TVK_Api {
    uint32_t size;
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

int tvk_instance_open(const char *kit_path, TVK_Instance **out);
int tvk_instance_api(const TVK_Instance *instance, TVK_Api *out);
int tvk_instance_symbol(const TVK_Instance *instance, const char *name, void **out);
int tvk_instance_close(TVK_Instance *instance);
"""

# The sizes every host must agree on, byte for byte.
RECORD_SIZES: Dict[str, int] = {"ST_HostMateInf": 12, "ST_HostFedColC": 40, "ST_HostLogicParam": 16}

ffi = cffi.FFI()
ffi.cdef(CDEF)


def _checkout_build_dir() -> Optional[Path]:
    """The build tree of the source checkout this package runs from, or None."""
    checkout = Path(__file__).resolve().parents[2]
    if (checkout / "host" / "tavrel.h").is_file():
        return checkout / "build"
    return None


def _system_names(stem: str) -> List[str]:
    """File names the system loader knows the library by on this platform."""
    if sys.platform == "win32":
        return [f"{stem}.dll"]
    if sys.platform == "darwin":
        return [f"lib{stem}.1.dylib", f"lib{stem}.dylib"]
    return [f"lib{stem}.so.1", f"lib{stem}.so"]


def _open(stem: str, variable: str, build_subdir: str) -> Any:
    """Opens one library: from the environment, the build tree or the system."""
    explicit = os.environ.get(variable)
    if explicit:
        if not Path(explicit).is_file():
            raise ImportError(f"{variable} names {explicit!r}, which is not a file")
        return ffi.dlopen(explicit)
    names = _system_names(stem)
    build = _checkout_build_dir()
    candidates = [str(build / build_subdir / names[-1])] if build else []
    candidates += names
    found = ctypes.util.find_library(stem)
    if found:
        candidates.append(found)
    errors = []
    for candidate in candidates:
        if os.sep in candidate and not Path(candidate).is_file():
            continue
        try:
            return ffi.dlopen(candidate)
        except OSError as error:
            errors.append(f"{candidate}: {error}")
    tried = "; ".join(errors) or ", ".join(candidates)
    raise ImportError(
        f"cannot load {names[0]} (tried {tried}); build the project or install "
        f"the library, or set {variable} to its path"
    )


def _check_record_sizes() -> None:
    """Refuses to run on a platform whose layout differs from the library's."""
    for record, size in RECORD_SIZES.items():
        if ffi.sizeof(record) != size:
            raise ImportError(
                f"{record} is {ffi.sizeof(record)} bytes here; the library needs {size}"
            )


_check_record_sizes()
# The library first, so the kit's dependency on it resolves to this copy.
lib = _open("tavrel", "TAVREL_LIBRARY", ".")
kit = _open("tavrel_hostkit", "TAVREL_HOSTKIT_LIBRARY", "hostkit")
