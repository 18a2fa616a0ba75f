/*
 * tavrel_frames.h - frames in: the part found in a backlit camera frame, in
 * the library's own coordinates.
 *
 *   Platform frame  the rectangle 0..width x 0..height in library units that
 *                   the factory band edges divide (tvk_sim_platform gives it
 *                   per model; docs/integrating.md draws it).
 *   Rendering       what a backlit camera sees of a feeder: the platform in
 *                   perspective, part silhouettes, vignetting, blur, noise,
 *                   dust; deterministic from a seed.
 *   Calibration     the lit platform's corners (found in an empty frame or
 *                   given), the homography from camera pixels to the platform
 *                   frame, the orientation of the library's axes in the
 *                   image; saved to and loaded from a file.
 *   Locator         the part's position, angle and area in library units and
 *                   a verdict: one part, none, several, at the edge, too
 *                   dark, saturated.
 *   Settling        a position valid once two consecutive frames agree.
 *
 * Conventions, the same for every function:
 *   - Results are int: TVF_OK (0) or a negative TVF_E_* code, unless a
 *     function says otherwise. tvf_strerror() names a code; tvf_errmsg()
 *     says, for the last failing call on the calling thread, what was
 *     refused. A call that fails changes nothing it was given.
 *   - Records carry their size in bytes in the first member, as in the host
 *     kit: set it to sizeof the record (the *_init functions do).
 *   - Frames are 8-bit grey, row after row, rows stride bytes apart; the
 *     library reads them in place and never keeps the pointer.
 *   - Handles are opaque; each has one creator and one destroyer. One call
 *     at a time per handle; different handles may be used on different
 *     threads. The library starts no thread.
 *
 * Since 1.3.0. Valid C99 and C++.
 */
#ifndef TAVREL_FRAMES_H
#define TAVREL_FRAMES_H

#include "tavrel_hostkit.h"

#include <stdint.h>

/* One macro marks everything libtavrel_frames exports (built for Linux
 * only: Debian has no OpenCV for MinGW). */
#if defined(TVF_STATIC)
#define TVF_API
#else
#define TVF_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Results */
/* Records: a size below the record's first release (1.3.0 for all), or a
 * larger record with bytes beyond this release's set, gives TVF_E_SIZE. */

enum {
    TVF_OK = 0,
    TVF_E_ARG = -1,      /* a null pointer or a value out of range; tvf_errmsg() names it */
    TVF_E_FORMAT = -2,   /* a frame of the wrong size, stride or pixel format */
    TVF_E_FIT = -3,      /* a calibration made for another frame size or platform */
    TVF_E_IO = -4,       /* a file could not be read or written; tvf_errmsg() says why */
    TVF_E_NOMEM = -5,    /* out of memory */
    TVF_E_NOTFOUND = -6, /* no lit platform (calibration) or no part (learning) in the frame */
    TVF_E_CALLBACK = -7, /* a host callback returned a negative value */
    TVF_E_ORIENT = -8,   /* the test vibrations do not decide the orientation */
    TVF_E_END = -9,      /* a camera source has no more frames */
    TVF_E_SIZE = -10     /* a record size the library cannot serve */
};

/* A short English text for a result code; never null, static. Since 1.3.0. */
TVF_API const char *tvf_strerror(int code);
/* What the last failing call on the calling thread refused, e.g.
 * "tvf_locate: frame 640x480, calibration for 1280x1024". "" before any
 * failure. Never null; valid on this thread until its next failing call.
 * Since 1.3.0. */
TVF_API const char *tvf_errmsg(void);
/* The library's version, "MAJOR.MINOR.PATCH"; the kit's. Since 1.3.0. */
TVF_API const char *tvf_version(void);

/* ------------------------------------------------------------------ Frames */

enum { TVF_GRAY8 = 0 };

/* A frame lent to the library: width x height pixels of format TVF_GRAY8,
 * rows stride bytes apart (stride >= width). Since 1.3.0. */
typedef struct TVF_Frame {
    uint32_t size; /* set to sizeof(TVF_Frame) */
    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t format; /* TVF_GRAY8 */
    const uint8_t *data;
} TVF_Frame;

/* ------------------------------------------------------------- Rendering */

enum { TVF_SHAPE_RECT = 0, TVF_SHAPE_RING = 1, TVF_SHAPE_SCREW = 2, TVF_SHAPE_COUNT = 3 };
enum { TVF_PARTS_MAX = 2, TVF_ORIENTATION_COUNT = 8 };

/* A part on the platform: its silhouette's area centroid at (x, y) in
 * library units, its long axis angle_deg from the platform's +X towards +Y. */
typedef struct TVF_Part {
    double x;
    double y;
    double angle_deg;
} TVF_Part;

/* What the camera looks at and how it sees it. Since 1.3.0. */
typedef struct TVF_Scene {
    uint32_t size; /* set to sizeof(TVF_Scene) */
    int32_t model; /* 0..2: the platform frame's extent */
    int32_t width; /* the image, pixels */
    int32_t height;
    int32_t orientation; /* 0..7: how the camera is mounted (see tvf_orientation_name) */
    double tilt;         /* 0..0.4: the far edge's shortening, fraction of its length */
    double roll_deg;     /* the camera's rotation about its axis, -10..10 */
    double fill;         /* 0.3..1: the platform's share of the image's smaller extent */
    int32_t shape;       /* TVF_SHAPE_* */
    int32_t part_count;  /* 0..TVF_PARTS_MAX */
    TVF_Part part[TVF_PARTS_MAX];
    double part_scale; /* the silhouette's size, 1: about 7 % of the platform's width */
    double backlight;  /* grey level of the lit platform at the image's centre */
    double dark;       /* grey level of the part and of what lies off the platform */
    double vignetting; /* 0..1: light lost at the image's corners, fraction */
    double blur_px;    /* Gaussian blur, sigma in pixels; 0 none */
    double noise;      /* sensor noise, sigma in grey levels; 0 none */
    int32_t dust;      /* dust specks on the platform */
    uint64_t seed;     /* noise and dust */
} TVF_Scene;

/* Defaults: size set, the model's platform in a 640 x 480 image seen
 * straight on (orientation 0, no tilt, no roll, fill 0.85), one rectangle at
 * the platform's centre, backlight 200, dark 20, vignetting 0.15, blur 0.8,
 * noise 2, dust 0, seed 1. Since 1.3.0. */
TVF_API void tvf_scene_init(TVF_Scene *scene, int model);
/* Draws the scene into pixels (width x height, rows stride bytes apart, 8-bit
 * grey). The same scene gives the same pixels. TVF_E_ARG for a field out of
 * range (named), TVF_E_FORMAT when the buffer's size is not the scene's.
 * Since 1.3.0. */
TVF_API int tvf_render(const TVF_Scene *scene, uint8_t *pixels, int32_t width, int32_t height,
                       int32_t stride);
/* Where the scene puts the platform's corners in the image, in pixels, as
 * x, y pairs for the platform points (0, 0), (W, 0), (W, H), (0, H). */
TVF_API int tvf_render_corners(const TVF_Scene *scene, double corners[8]);

/* ----------------------------------------------------------- Calibration */

/* The eight ways the library's axes can lie in the image: orientation
 * r + 4 m puts the platform's origin at the image corner r steps clockwise
 * from the top left, with +X running clockwise (m = 0) or counter-clockwise
 * (m = 1) along the platform's edge. A short name for it, e.g. "+X right, +Y
 * down"; "?" for a value out of range. Since 1.3.0. */
TVF_API const char *tvf_orientation_name(int orientation);

typedef struct TVF_Calibration TVF_Calibration;

/* Finds the lit platform's four corners to sub-pixel accuracy in one frame
 * of the empty platform and makes the calibration for model (orientation
 * 0: origin top left, +X right). TVF_E_NOTFOUND when no four-cornered lit
 * region covers at least a tenth of the frame. Free with
 * tvf_calibration_destroy. Since 1.3.0. */
TVF_API int tvf_calibrate(int model, const TVF_Frame *empty, TVF_Calibration **out);
/* The calibration from four corners the user gives, in pixels, as x, y
 * pairs for the platform points (0, 0), (W, 0), (W, H), (0, H), for frames
 * of width x height. TVF_E_ARG for corners that are not finite, lie off
 * the frame or do not make a convex quadrilateral. Since 1.3.0. */
TVF_API int tvf_calibrate_corners(int model, int32_t width, int32_t height, const double corners[8],
                                  TVF_Calibration **out);
/* Null is allowed. Since 1.3.0. */
TVF_API void tvf_calibration_destroy(TVF_Calibration *cal);

/* The calibration's model, frame size and orientation. Since 1.3.0. */
TVF_API int tvf_calibration_info(const TVF_Calibration *cal, int32_t *model, int32_t *width,
                                 int32_t *height, int32_t *orientation);
/* The corners in pixels for the platform points (0, 0), (W, 0), (W, H),
 * (0, H), as tvf_calibrate_corners takes them. Since 1.3.0. */
TVF_API int tvf_calibration_corners(const TVF_Calibration *cal, double corners[8]);
/* Turns the calibration to another orientation (0..7): the same corners,
 * the library's axes laid otherwise. Since 1.3.0. */
TVF_API int tvf_calibration_set_orientation(TVF_Calibration *cal, int orientation);
/* A camera pixel (px, py) in the platform frame, library units. */
TVF_API int tvf_calibration_to_platform(const TVF_Calibration *cal, double px, double py, double *x,
                                        double *y);
/* A platform point in camera pixels. */
TVF_API int tvf_calibration_to_image(const TVF_Calibration *cal, double x, double y, double *px,
                                     double *py);
/* Writes the calibration to path in OpenCV's storage format the name's
 * ending chooses (.yml, .yaml, .xml or .json). TVF_E_IO when it cannot be
 * written. Since 1.3.0. */
TVF_API int tvf_calibration_save(const TVF_Calibration *cal, const char *path);
/* Reads a calibration tvf_calibration_save wrote. TVF_E_IO for a file that
 * cannot be read or parsed, TVF_E_FIT when its platform is not the model's
 * platform of this release. Since 1.3.0. */
TVF_API int tvf_calibration_load(const char *path, TVF_Calibration **out);

/* --------------------------------------------------------------- Locator */

enum {
    TVF_NONE = 0,      /* no part on the platform */
    TVF_ONE = 1,       /* one part: the position is valid */
    TVF_SEVERAL = 2,   /* more than one part-sized blob */
    TVF_AT_EDGE = 3,   /* a blob cut by the platform's edge */
    TVF_TOO_DARK = 4,  /* the backlight is too dark to see by */
    TVF_SATURATED = 5, /* too much of the platform is at full scale */
    TVF_VERDICT_COUNT = 6
};

/* How the locator decides. Since 1.3.0. */
typedef struct TVF_LocatorConfig {
    uint32_t size;        /* set to sizeof(TVF_LocatorConfig) */
    double threshold;     /* a pixel darker than this fraction of the backlight is part */
    double min_area;      /* the part's area range, library units squared; */
    double max_area;      /* 0, 0: every blob of at least min_blob pixels */
    int32_t min_blob;     /* blobs of fewer pixels are noise or dust */
    double min_backlight; /* below this grey level the frame is too dark */
    double max_saturated; /* above this fraction of platform pixels at 255: saturated */
    int32_t edge_px;      /* the band along the platform's edge a blob must not touch */
} TVF_LocatorConfig;

/* Defaults: threshold 0.5, no area range, min_blob 12, min_backlight 40,
 * max_saturated 0.25, edge_px 3. Since 1.3.0. */
TVF_API void tvf_locator_config_init(TVF_LocatorConfig *config);

/* What the locator made of one frame. Since 1.3.0. */
typedef struct TVF_Location {
    uint32_t size;   /* set to sizeof(TVF_Location) */
    int32_t verdict; /* TVF_NONE... */
    double x;        /* the part's centroid in library units (valid for TVF_ONE) */
    double y;
    double angle_deg; /* its long axis from +X towards +Y, -90..90 */
    double area;      /* library units squared */
    double px;        /* the centroid in camera pixels */
    double py;
    int32_t candidates; /* part-sized blobs on the platform, cut ones included */
    double backlight;   /* the backlight's grey level measured */
    char reason[96];    /* the verdict for a person */
} TVF_Location;

typedef struct TVF_Locator TVF_Locator;

/* A locator for frames of the calibration (copied: the calibration may be
 * destroyed after). config null: the defaults. Since 1.3.0. */
TVF_API int tvf_locator_create(const TVF_Calibration *cal, const TVF_LocatorConfig *config,
                               TVF_Locator **out);
/* Null is allowed. Since 1.3.0. */
TVF_API void tvf_locator_destroy(TVF_Locator *locator);
/* Locates in one frame. TVF_E_FORMAT for a bad frame, TVF_E_FIT for a frame
 * of another size than the calibration's; *out is then left as it was. The
 * verdict is a result, not an error: TVF_OK for every verdict. */
TVF_API int tvf_locate(TVF_Locator *locator, const TVF_Frame *frame, TVF_Location *out);
/* Learns the part's area range from a frame with one part on it: 0.6 to
 * 1.6 times the largest blob's area. TVF_E_NOTFOUND without a blob. */
TVF_API int tvf_locator_learn(TVF_Locator *locator, const TVF_Frame *frame);
/* The configuration in force (after learning, its area range). */
TVF_API int tvf_locator_config(const TVF_Locator *locator, TVF_LocatorConfig *out);
/* What reaches the library: 1 with (x, y) for TVF_ONE, 0 otherwise (x and
 * y left as they were). The host's coordinate callback returns it as
 * bMateReco. */
TVF_API int tvf_location_seen(const TVF_Location *location, float *x, float *y);
/* A short name for a verdict ("one part", "none", ...); "?" out of range. */
TVF_API const char *tvf_verdict_name(int verdict);

/* ----------------------------------------------------------- Orientation */

/* A test vibration: the command the host's feeder runs, and the direction
 * it pushes the part in the platform frame (library units; only the
 * direction counts). Since 1.3.0. */
typedef struct TVF_Push {
    ST_HostFedColC command;
    double dx;
    double dy;
} TVF_Push;

/* The host's camera: fill *frame (its size set) with the next frame, whose
 * pixels stay valid until the next call; 0, or a negative value on a host
 * error. Since 1.3.0. */
typedef int (*TVF_GrabFn)(void *user, TVF_Frame *frame);

/* Finds where the library's +X and +Y lie in the image from two or three
 * test vibrations with known push directions, not all parallel: for each,
 * a frame, the command through feeder (the kit's feeder callback type), a
 * frame; the part's movement in the image is set against each of the eight
 * orientations and the one that agrees best is set on cal and stored in
 * *orientation. Every frame must show one part (config null: the locator's
 * defaults). TVF_E_ORIENT, cal unchanged, when a push moved the part less
 * than two pixels or no orientation agrees clearly; TVF_E_CALLBACK when a
 * callback returned a negative value; TVF_E_ARG for pushes that are all
 * parallel. Since 1.3.0. */
TVF_API int tvf_calibration_orient(TVF_Calibration *cal, const TVF_LocatorConfig *config,
                                   const TVF_Push *pushes, int32_t count, TVF_GrabFn grab,
                                   TVK_FeederFn feeder, void *user, int32_t *orientation);

/* --------------------------------------------------------- Camera sources */

typedef struct TVF_Source TVF_Source;

/* Image files read in order, each as 8-bit grey (any format OpenCV reads).
 * paths and their strings are copied. TVF_E_ARG for no paths. A file that
 * cannot be read is reported when its turn comes. Since 1.3.0. */
TVF_API int tvf_source_open_files(const char *const *paths, int32_t count, TVF_Source **out);
/* A video file's frames, converted to 8-bit grey. TVF_E_IO when OpenCV cannot
 * open it. Since 1.3.0. */
TVF_API int tvf_source_open_video(const char *path, TVF_Source **out);
/* A GenICam camera through Aravis: device is Aravis's device id or the
 * camera's address (e.g. "127.0.0.1"), null for the first camera found.
 * Sets Mono8, continuous acquisition, width x height from the sensor's
 * origin when both are above 0, and starts acquiring. TVF_E_IO with
 * Aravis's reason when the camera cannot be opened or set. Since 1.3.0. */
TVF_API int tvf_source_open_genicam(const char *device, int32_t width, int32_t height,
                                    TVF_Source **out);
/* The next frame into *frame (its size set): pixels owned by the source,
 * valid until the next call or tvf_source_close. TVF_E_END after the last
 * file or video frame; TVF_E_IO for a file that cannot be read (the source
 * moves on past it) or a camera that gave no complete frame within two
 * seconds. Since 1.3.0. */
TVF_API int tvf_source_next(TVF_Source *source, TVF_Frame *frame);
/* tvf_source_next as a TVF_GrabFn: user is the TVF_Source. */
TVF_API int tvf_source_grab(void *user, TVF_Frame *frame);
/* Stops a camera and frees the source; null is allowed. Since 1.3.0. */
TVF_API void tvf_source_close(TVF_Source *source);

/* -------------------------------------------------------------- Settling */

/* After a vibration: the part has settled once two consecutive frames with
 * one part agree within tolerance (library units), or once the host's own
 * wait has passed. Plain record in the host's memory. Since 1.3.0. */
typedef struct TVF_Settle {
    uint32_t size;    /* set to sizeof(TVF_Settle) */
    double tolerance; /* library units */
    int32_t frames;   /* frames given since tvf_settle_start */
    int32_t settled;  /* 1 once settled */
    double x;         /* the settled position (the later frame's) */
    double y;
    double last_x; /* the previous frame with one part */
    double last_y;
    int32_t have_last;
} TVF_Settle;

/* Starts waiting: after each vibration. tolerance > 0. */
TVF_API int tvf_settle_start(TVF_Settle *settle, double tolerance);
/* Gives the next frame's location; host_waited non-zero when the host's own
 * wait has passed (then a frame with one part settles at once). Returns 1
 * when settled (x, y valid, frames says how many frames it took), 0 while
 * not, or a negative TVF_E_* code. */
TVF_API int tvf_settle_feed(TVF_Settle *settle, const TVF_Location *location, int host_waited);

#ifdef __cplusplus
}
#endif

#endif /* TAVREL_FRAMES_H */
