/* A plain C host on the shared kit and the shared library: the kit's records
 * as C sees them, the library's text captured through the kit, and a session
 * on the simulated feeder that tunes. Exit status 0 on success. */
#include "tavrel_hostkit.h"

#include <stdio.h>
#include <string.h>

static int g_iFailures;
static int g_iBanners;

static void Check(int bOk, const char *pszWhat) {
    if (!bOk) {
        fprintf(stderr, "hostkit c_host: %s\n", pszWhat);
        ++g_iFailures;
    }
}

static void CountBanner(void *pUser, const char *pszLine, int32_t iLength) {
    (void)pUser;
    if (iLength > 0 && strstr(pszLine, "Task Run") != NULL) {
        ++g_iBanners;
    }
}

static void PutBack(void *pUser) {
    float fX = 0.0f;
    float fY = 0.0f;
    tvk_start_point(1, 4, 320.0f, 240.0f, &fX, &fY);
    tvk_sim_place((TVK_SimFeeder *)pUser, fX, fY);
}

int main(void) {
    TVK_Geometry stGeometry;
    TVK_SessionConfig stConfig;
    TVK_StepReport stReport;
    TVK_SimFeeder *pSim = NULL;
    TVK_Session *pSession = NULL;

    Check(sizeof(ST_HostFedColC) == 40 && sizeof(TVK_SimRange) == 16, "record sizes");
    memset(&stGeometry, 0, sizeof stGeometry);
    stGeometry.size = sizeof stGeometry;
    Check(tvk_geometry(1, 4, &stGeometry) == TVK_OK, "geometry");
    Check(stGeometry.target[TVK_AREA_XLO_YLO] == 1 && stGeometry.target[TVK_AREA_CENTRE] == 0,
          "action 4 wants the low Y band");
    Check(tvk_area_of(1, 4, 10.0f, 10.0f) == TVK_AREA_XLO_YLO, "area of a point");
    Check(strcmp(tvk_strerror(TVK_E_BUSY), tvk_strerror(TVK_E_ARG)) != 0, "error texts");

    Check(tvk_sim_create(1, NULL, 1, 2, &pSim) == TVK_OK, "simulated feeder");
    PutBack(pSim);
    tvk_session_config_init(&stConfig, 1, 4);
    stConfig.camera = tvk_sim_camera_cb;
    stConfig.feeder = tvk_sim_feeder_cb;
    stConfig.user = pSim;

    Check(tvk_capture_to_callback(CountBanner, NULL) == TVK_OK, "capture");
    Check(tvk_session_start(&stConfig, &pSession) == TVK_OK, "session start");
    memset(&stReport, 0, sizeof stReport);
    stReport.size = sizeof stReport;
    Check(tvk_session_run(pSession, PutBack, &stReport) == TVK_OK, "session run");
    tvk_session_end(pSession);
    Check(tvk_capture_stop() == TVK_OK, "capture stop");

    Check(stReport.outcome == TVK_TUNED, stReport.reason);
    Check(g_iBanners == stReport.step + 1, "one banner per step reached the callback");
    tvk_sim_destroy(pSim);
    if (g_iFailures == 0) {
        printf("hostkit c_host: tuned model 1 action 4 in %d vibrations\n", stReport.vibrations);
    }
    return g_iFailures == 0 ? 0 : 1;
}
