/* A host on the shared kit, loaded with whatever libtavrel.so.1 the loader
 * finds first: geometry and a session start must give the codes expected
 * (argv[1], argv[2]) and never crash. */
#include "tavrel_hostkit.h"

#include <stdio.h>
#include <stdlib.h>

static int camera(void *user, float *x, float *y) {
    (void)user;
    *x = 0.0F;
    *y = 0.0F;
    return 0;
}

static int feeder(void *user, const ST_HostFedColC *command) {
    (void)user;
    (void)command;
    return 0;
}

static int expect(const char *what, int got, int wanted) {
    printf("%s: %d (%s) %s\n", what, got, tvk_strerror(got), got < 0 ? tvk_errmsg() : "");
    if (got != wanted) {
        fprintf(stderr, "%s: %d, wanted %d\n", what, got, wanted);
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    TVK_Geometry geometry;
    TVK_SessionConfig config;
    TVK_Session *session = NULL;
    int failures = 0;
    if (argc != 3) {
        fprintf(stderr, "usage: %s GEOMETRY_CODE SESSION_CODE\n", argv[0]);
        return 2;
    }
    geometry.size = sizeof geometry;
    failures += expect("tvk_geometry", tvk_geometry(0, 0, &geometry), atoi(argv[1]));
    tvk_session_config_init(&config, 0, 0);
    config.camera = camera;
    config.feeder = feeder;
    failures += expect("tvk_session_start", tvk_session_start(&config, &session), atoi(argv[2]));
    tvk_session_end(session);
    return failures == 0 ? 0 : 1;
}
