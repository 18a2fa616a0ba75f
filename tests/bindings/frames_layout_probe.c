/* Prints the size and member offsets of every record in tavrel_frames.h, and
 * the value of every constant, as the C compiler lays them out: the bindings'
 * frames declarations are held against this. */
#include "tavrel_frames.h"

#include <stddef.h>
#include <stdio.h>

#define SIZE(type) printf("size %s %u\n", #type, (unsigned)sizeof(type))
#define OFFSET(type, member)                                                                       \
    printf("offset %s.%s %u\n", #type, #member, (unsigned)offsetof(type, member))
#define CONSTANT(name) printf("const %s %d\n", #name, (int)(name))

static void records(void) {
    SIZE(TVF_Frame);
    OFFSET(TVF_Frame, width);
    OFFSET(TVF_Frame, height);
    OFFSET(TVF_Frame, stride);
    OFFSET(TVF_Frame, format);
    OFFSET(TVF_Frame, data);
    SIZE(TVF_Part);
    OFFSET(TVF_Part, y);
    OFFSET(TVF_Part, angle_deg);
    SIZE(TVF_Scene);
    OFFSET(TVF_Scene, model);
    OFFSET(TVF_Scene, width);
    OFFSET(TVF_Scene, height);
    OFFSET(TVF_Scene, orientation);
    OFFSET(TVF_Scene, tilt);
    OFFSET(TVF_Scene, roll_deg);
    OFFSET(TVF_Scene, fill);
    OFFSET(TVF_Scene, shape);
    OFFSET(TVF_Scene, part_count);
    OFFSET(TVF_Scene, part);
    OFFSET(TVF_Scene, part_scale);
    OFFSET(TVF_Scene, backlight);
    OFFSET(TVF_Scene, dark);
    OFFSET(TVF_Scene, vignetting);
    OFFSET(TVF_Scene, blur_px);
    OFFSET(TVF_Scene, noise);
    OFFSET(TVF_Scene, dust);
    OFFSET(TVF_Scene, seed);
    SIZE(TVF_LocatorConfig);
    OFFSET(TVF_LocatorConfig, threshold);
    OFFSET(TVF_LocatorConfig, min_area);
    OFFSET(TVF_LocatorConfig, max_area);
    OFFSET(TVF_LocatorConfig, min_blob);
    OFFSET(TVF_LocatorConfig, min_backlight);
    OFFSET(TVF_LocatorConfig, max_saturated);
    OFFSET(TVF_LocatorConfig, edge_px);
    SIZE(TVF_Location);
    OFFSET(TVF_Location, verdict);
    OFFSET(TVF_Location, x);
    OFFSET(TVF_Location, y);
    OFFSET(TVF_Location, angle_deg);
    OFFSET(TVF_Location, area);
    OFFSET(TVF_Location, px);
    OFFSET(TVF_Location, py);
    OFFSET(TVF_Location, candidates);
    OFFSET(TVF_Location, backlight);
    OFFSET(TVF_Location, reason);
    SIZE(TVF_Push);
    OFFSET(TVF_Push, dx);
    OFFSET(TVF_Push, dy);
    SIZE(TVF_Settle);
    OFFSET(TVF_Settle, tolerance);
    OFFSET(TVF_Settle, frames);
    OFFSET(TVF_Settle, settled);
    OFFSET(TVF_Settle, x);
    OFFSET(TVF_Settle, y);
    OFFSET(TVF_Settle, last_x);
    OFFSET(TVF_Settle, last_y);
    OFFSET(TVF_Settle, have_last);
}

static void constants(void) {
    CONSTANT(TVF_E_ARG);
    CONSTANT(TVF_E_FORMAT);
    CONSTANT(TVF_E_FIT);
    CONSTANT(TVF_E_IO);
    CONSTANT(TVF_E_NOMEM);
    CONSTANT(TVF_E_NOTFOUND);
    CONSTANT(TVF_E_CALLBACK);
    CONSTANT(TVF_E_ORIENT);
    CONSTANT(TVF_E_END);
    CONSTANT(TVF_E_SIZE);
    CONSTANT(TVF_GRAY8);
    CONSTANT(TVF_SHAPE_RECT);
    CONSTANT(TVF_SHAPE_RING);
    CONSTANT(TVF_SHAPE_SCREW);
    CONSTANT(TVF_SHAPE_COUNT);
    CONSTANT(TVF_PARTS_MAX);
    CONSTANT(TVF_ORIENTATION_COUNT);
    CONSTANT(TVF_NONE);
    CONSTANT(TVF_ONE);
    CONSTANT(TVF_SEVERAL);
    CONSTANT(TVF_AT_EDGE);
    CONSTANT(TVF_TOO_DARK);
    CONSTANT(TVF_SATURATED);
    CONSTANT(TVF_VERDICT_COUNT);
}

int main(void) {
    records();
    constants();
    return 0;
}
