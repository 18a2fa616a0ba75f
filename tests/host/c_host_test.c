/* A host written in plain C that knows only tavrel.h: it tunes action 0 of
 * model 0 on a scripted feeder that moves the part 8 units along +X per tuning
 * vibration, verifies, and ends with success. Exit status 0 on success. */
#include "tavrel.h"

#include <stdio.h>
#include <string.h>

static ST_HostMateInf g_stPart = {100.0f, 75.0f, 1};
static int g_iLastStatus;
static int g_iTuningCmds;
static int g_iVerifCmds;
static int g_iBadRecords;

static ST_HostMateInf HostCoord(void) {
    return g_stPart;
}

static int HostFedCol(ST_HostFedColC stCmd) {
    if (stCmd.enAct != 0 || stCmd.u16Fill != 0) {
        ++g_iBadRecords;
    }
    if (stCmd.u16RunTim == 300) {
        ++g_iTuningCmds;
        g_stPart.fPosX += 8.0f;
    } else {
        ++g_iVerifCmds;
    }
    return 0;
}

static int HostLogCol(int status) {
    g_iLastStatus = status;
    /* After an arrival the part is put back at the start. */
    if (status == 2 && g_stPart.fPosX >= 130.0f) {
        g_stPart.fPosX = 100.0f;
    }
    return 0;
}

int main(void) {
    ST_HostLogicParam stParam;
    int iState = TVL_TASK_NONE;
    int bTuned = 0;
    int bVerified = 0;
    int step;

    if (sizeof(ST_HostMateInf) != 12 || sizeof(ST_HostFedColC) != 40 ||
        sizeof(ST_HostLogicParam) != 16) {
        fprintf(stderr, "c_host: record sizes differ\n");
        return 1;
    }
    if (TVLInit(HostCoord, HostFedCol, HostLogCol, 0, 0) != 1) {
        fprintf(stderr, "c_host: TVLInit failed\n");
        return 1;
    }
    stParam = TVLLogicParamRe();
    if (stParam.u16AmpInit != 40 || stParam.u16FreMax != 80 || stParam.u16FedRunTim != 300) {
        fprintf(stderr, "c_host: unexpected defaults %u %u %u\n", stParam.u16AmpInit,
                stParam.u16FreMax, stParam.u16FedRunTim);
        return 1;
    }
    for (step = 0; step < 300 && iState != TVL_TASK_END; ++step) {
        g_iLastStatus = 0;
        iState = TVLTask();
        if (g_iLastStatus == 3) {
            bTuned = 1;
            TVLLogicStaCol(TVL_CMD_VERIFY);
        } else if (g_iLastStatus == 6) {
            bVerified = 1;
            TVLLogicStaCol(TVL_CMD_SUCCESS);
        }
    }
    fflush(stdout);
    fprintf(stderr, "c_host: %d steps, %d tuning and %d verification vibrations\n", step,
            g_iTuningCmds, g_iVerifCmds);
    if (!bTuned || !bVerified || iState != TVL_TASK_END || g_iVerifCmds != 1 ||
        g_iBadRecords != 0) {
        fprintf(stderr, "c_host: run did not complete (tuned %d verified %d state %d bad %d)\n",
                bTuned, bVerified, iState, g_iBadRecords);
        return 1;
    }
    return 0;
}
