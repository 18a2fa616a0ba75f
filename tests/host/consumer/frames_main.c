/* A tiny host built against an installed frames library: it renders a frame
 * of one part, calibrates on its corners, locates the part and prints the
 * version when the part is where it was drawn. */
#include "tavrel_frames.h"

#include <math.h>
#include <stdio.h>

int main(void) {
    static uint8_t pixels[640 * 480];
    TVF_Scene scene;
    double corners[8];
    TVF_Calibration *cal = NULL;
    TVF_Locator *loc = NULL;
    TVF_Location where = {sizeof where};
    TVF_Frame frame = {sizeof frame, 640, 480, 640, TVF_GRAY8, pixels};
    int ok;

    tvf_scene_init(&scene, 0);
    if (tvf_render(&scene, pixels, 640, 480, 640) != TVF_OK ||
        tvf_render_corners(&scene, corners) != TVF_OK ||
        tvf_calibrate_corners(0, 640, 480, corners, &cal) != TVF_OK ||
        tvf_locator_create(cal, NULL, &loc) != TVF_OK || tvf_locate(loc, &frame, &where) != TVF_OK) {
        fprintf(stderr, "%s\n", tvf_errmsg());
        return 1;
    }
    ok = where.verdict == TVF_ONE && fabs(where.x - scene.part[0].x) < 0.1 &&
         fabs(where.y - scene.part[0].y) < 0.1;
    tvf_locator_destroy(loc);
    tvf_calibration_destroy(cal);
    if (!ok) {
        return 1;
    }
    printf("%s\n", tvf_version());
    return 0;
}
