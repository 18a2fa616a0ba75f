/* A tiny host built against an installed host kit: it asks the library's
 * geometry and tunes one action of the simulated feeder. */
#include "tavrel_hostkit.h"

#include <stdio.h>
#include <string.h>

static void PutBack(void *pUser) {
    float fX = 0.0f;
    float fY = 0.0f;
    tvk_start_point(0, 3, 190.0f, 155.0f, &fX, &fY);
    tvk_sim_place((TVK_SimFeeder *)pUser, fX, fY);
}

int main(void) {
    TVK_SimFeeder *pSim = NULL;
    TVK_Session *pSession = NULL;
    TVK_SessionConfig stConfig;
    TVK_StepReport stReport;

    if (tvk_in_target(0, 3, 95.0f, 150.0f) != 1 || tvk_sim_create(0, NULL, 1, 1, &pSim) != TVK_OK) {
        return 1;
    }
    PutBack(pSim);
    tvk_session_config_init(&stConfig, 0, 3);
    stConfig.camera = tvk_sim_camera_cb;
    stConfig.feeder = tvk_sim_feeder_cb;
    stConfig.user = pSim;
    memset(&stReport, 0, sizeof stReport);
    stReport.size = sizeof stReport;
    tvk_capture_discard();
    if (tvk_session_start(&stConfig, &pSession) != TVK_OK ||
        tvk_session_run(pSession, PutBack, &stReport) != TVK_OK) {
        return 1;
    }
    tvk_session_end(pSession);
    tvk_capture_stop();
    tvk_sim_destroy(pSim);
    printf("kit %s: %s\n", tvk_version(), stReport.reason);
    return stReport.outcome == TVK_TUNED ? 0 : 1;
}
