/*
 * tavrel.h - public interface of the Tavrel feeder self-tuning library.
 *
 * A host application owns the camera, the image processing and the link to
 * the feeder. It lends the library three callbacks and drives it like this:
 *
 *   1. TVLInit(coord, fedCol, logCol, model, action)   once; returns 1 on success
 *   2. TVLLogicParamSet(...)                            optional, after TVLInit
 *   3. TVLTask()                                        periodically, from one thread;
 *                                                       the callbacks run inside it
 *   4. TVLLogicStaCol(cmd)                              when the host decides:
 *        status 3 (tuned)            -> 2 (verify)
 *        status 6 (verification end) -> 3 (success), 0 (end), 1 (restart) or 2
 *
 * TVLInit may be called again at any time to tune another action or model; it
 * restores every default. Nothing is allocated and nothing needs releasing.
 *
 * Valid C99 and C++. All records use native little-endian layout with the
 * byte offsets noted beside each member.
 */
#ifndef TAVREL_H
#define TAVREL_H

/* TAVREL_VERSION_MAJOR, _MINOR, _PATCH and TAVREL_VERSION_STRING: the release
 * of these headers (from the header installed beside this one). A library of
 * the same major version fits them. */
#include "tavrel_version.h"

/* One macro marks everything the library exports. */
#if defined(_WIN32)
#if defined(TVL_BUILDING)
#define TVL_API __declspec(dllexport)
#else
#define TVL_API __declspec(dllimport)
#endif
#else
#define TVL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What the coordinate callback returns: 12 bytes. */
typedef struct ST_HostMateInf {
    float fPosX;   /* 0-3: part position X, host coordinate units */
    float fPosY;   /* 4-7: part position Y */
    int bMateReco; /* 8-11: non-zero: a new observation of the part; 0: none */
} ST_HostMateInf;

/* The feeder command the feeder callback receives: 40 bytes. */
typedef struct ST_HostFedColC {
    int enAct;                        /* 0-3: action 0..10 */
    unsigned short u16MotParam[4][4]; /* 4-35: per motor: amplitude, frequency, phase, mode */
    unsigned short u16RunTim;         /* 36-37: run time of the vibration */
    unsigned short u16Fill;           /* 38-39: always 0 */
} ST_HostFedColC;

/* What TVLLogicParamRe returns: 16 bytes. */
typedef struct ST_HostLogicParam {
    unsigned int u32Reserve;     /* 0-3: no value */
    unsigned short u16AmpInit;   /* 4-5: initial amplitude of the main motors */
    unsigned short u16AmpMax;    /* 6-7: maximum amplitude */
    unsigned short u16FreInit;   /* 8-9: initial frequency */
    unsigned short u16FreMax;    /* 10-11: maximum frequency */
    unsigned short u16FedRunTim; /* 12-13: run time of one tuning vibration */
    unsigned short u16Reserve;   /* 14-15: no value */
} ST_HostLogicParam;

/* Host callbacks. Results of the last two are ignored. */
typedef ST_HostMateInf (*PFN_TVLCoordRe)(void);
typedef int (*PFN_TVLFedCol)(ST_HostFedColC stCmd);
typedef int (*PFN_TVLLogCol)(int enStatus); /* 1 vibrate, 2 wait, 3 tuned, 6 verified */

/* Task states TVLTask returns. */
enum {
    TVL_TASK_NONE = 0, /* not initialised */
    TVL_TASK_ADJ = 4,
    TVL_TASK_VERIF_START = 5,
    TVL_TASK_VERIF_ING = 6,
    TVL_TASK_WAIT = 7,
    TVL_TASK_END = 8
};

/* Commands for TVLLogicStaCol. */
enum { TVL_CMD_END = 0, TVL_CMD_RESTART = 1, TVL_CMD_VERIFY = 2, TVL_CMD_SUCCESS = 3 };

/* model: 0, 1 or 2; action: 0..10. Returns 1 initialised, 0 failed. */
TVL_API int TVLInit(PFN_TVLCoordRe pfnCoordRe, PFN_TVLFedCol pfnFedCol, PFN_TVLLogCol pfnLogCol,
                    int model, int action);
/* One step of the tuning loop; returns the task state (0 or 4..8). */
TVL_API int TVLTask(void);
/* Host parameters of the current action and model (main motors); always 0. */
TVL_API int TVLLogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax,
                             unsigned short u16FreInit, unsigned short u16FreMax,
                             unsigned short u16FedRunTim);
TVL_API ST_HostLogicParam TVLLogicParamRe(void);
/* 0 end, 1 restart, 2 verify, 3 success; anything else is ignored. Always 0. */
TVL_API int TVLLogicStaCol(int command);

#ifdef __cplusplus
}
#endif

#endif /* TAVREL_H */
