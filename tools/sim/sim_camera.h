/*
 * sim_camera.h - the seam between tavrel-sim and its frames camera, a module
 * of its own (tavrel_sim_camera.so, on the frames library) that the program
 * loads only when a run asks for frames, so that the simulator itself needs
 * no OpenCV.
 *
 * The module exports one function, tvlsim_camera_table, which returns a
 * static table: size first (the bytes this module's table holds), then the
 * seam's version. A host uses the table only when the version is its own
 * and the size covers every member it calls.
 *
 * A camera looks at one simulated feeder: made for its model with a scene
 * (how the camera sees the platform), it renders the empty platform and
 * calibrates from it, then learns the part's size from one frame. Each look
 * renders the part where the simulator holds it, locates it and waits for it
 * to settle. One call at a time per camera; cameras may be used on
 * different threads at once.
 */
#ifndef TAVREL_SIM_CAMERA_H
#define TAVREL_SIM_CAMERA_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { TVLSIM_CAMERA_VERSION = 1 };

/* How the camera sees a feeder. */
typedef struct TVLSIM_CameraSetup {
    uint32_t size; /* set to sizeof(TVLSIM_CameraSetup) */
    int32_t model;
    int32_t width; /* the image, pixels */
    int32_t height;
    int32_t orientation; /* 0..7: how the camera is mounted; the calibration is told */
    double tilt;         /* perspective: the far edge's shortening, 0..0.4 */
    double roll_deg;     /* -10..10 */
    int32_t shape;       /* the frames library's TVF_SHAPE_* */
    double vignetting;   /* 0..1 */
    double blur_px;      /* sigma, pixels */
    double noise;        /* sigma, grey levels */
    int32_t dust;        /* specks on the platform */
    uint64_t seed;       /* the feeder's: noise, dust and the part's turning */
    double start_x;      /* where the part lies when the camera learns its size */
    double start_y;
    const char *save_dir; /* null: no frames kept; else each frame as a PNG in it */
    const char *label;    /* the feeder's name in the frames' file names */
} TVLSIM_CameraSetup;

/* What one look made of the part. */
typedef struct TVLSIM_Sight {
    uint32_t size; /* set to sizeof(TVLSIM_Sight) */
    int32_t seen;  /* 1 for one located, settled part (bMateReco), else 0 */
    float x;       /* the located position, library units (when seen) */
    float y;
    int32_t verdict; /* the last frame's TVF_* verdict */
    int32_t frames;  /* frames this look took */
} TVLSIM_Sight;

typedef struct TVLSIM_Camera TVLSIM_Camera;

typedef struct TVLSIM_CameraTable {
    uint32_t size;    /* sizeof the module's table */
    uint32_t version; /* TVLSIM_CAMERA_VERSION */
    /* Makes a camera: renders the empty platform and calibrates, then learns
     * the part's size with the part at the start. 0, or a negative frames
     * library code with message() saying why. */
    int (*open)(const TVLSIM_CameraSetup *setup, TVLSIM_Camera **out);
    /* Looks at the part, which the simulator holds at (x, y): frames until it
     * has settled (or the wait has run out), the last written when frames
     * are kept. 0, or a negative code (a frame that cannot be written). */
    int (*look)(TVLSIM_Camera *camera, double x, double y, TVLSIM_Sight *out);
    /* Null is allowed. */
    void (*close)(TVLSIM_Camera *camera);
    /* Why the last failing call on this thread failed; never null. */
    const char *(*message)(void);
} TVLSIM_CameraTable;

typedef const TVLSIM_CameraTable *(*TVLSIM_CameraTableFn)(void);

#ifdef __cplusplus
}
#endif

#endif
