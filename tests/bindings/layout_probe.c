/* Prints the size and member offsets of every record in tavrel.h and
 * tavrel_hostkit.h, and the value of every constant, as the C compiler lays
 * them out: the bindings' declarations are held against this. */
#include "tavrel_hostkit.h"

#include <stddef.h>
#include <stdio.h>

#define SIZE(type) printf("size %s %u\n", #type, (unsigned)sizeof(type))
#define OFFSET(type, member)                                                                       \
    printf("offset %s.%s %u\n", #type, #member, (unsigned)offsetof(type, member))
#define CONSTANT(name) printf("const %s %d\n", #name, (int)(name))

static void library_records(void) {
    SIZE(ST_HostMateInf);
    OFFSET(ST_HostMateInf, fPosX);
    OFFSET(ST_HostMateInf, fPosY);
    OFFSET(ST_HostMateInf, bMateReco);
    SIZE(ST_HostFedColC);
    OFFSET(ST_HostFedColC, enAct);
    OFFSET(ST_HostFedColC, u16MotParam);
    OFFSET(ST_HostFedColC, u16RunTim);
    OFFSET(ST_HostFedColC, u16Fill);
    SIZE(ST_HostLogicParam);
    OFFSET(ST_HostLogicParam, u32Reserve);
    OFFSET(ST_HostLogicParam, u16AmpInit);
    OFFSET(ST_HostLogicParam, u16AmpMax);
    OFFSET(ST_HostLogicParam, u16FreInit);
    OFFSET(ST_HostLogicParam, u16FreMax);
    OFFSET(ST_HostLogicParam, u16FedRunTim);
    OFFSET(ST_HostLogicParam, u16Reserve);
}

static void kit_records(void) {
    SIZE(TVK_Geometry);
    OFFSET(TVK_Geometry, size);
    OFFSET(TVK_Geometry, model);
    OFFSET(TVK_Geometry, action);
    OFFSET(TVK_Geometry, x_low);
    OFFSET(TVK_Geometry, x_high);
    OFFSET(TVK_Geometry, y_low);
    OFFSET(TVK_Geometry, y_high);
    OFFSET(TVK_Geometry, target);
    OFFSET(TVK_Geometry, motor);
    OFFSET(TVK_Geometry, success_count);
    SIZE(TVK_SessionConfig);
    OFFSET(TVK_SessionConfig, size);
    OFFSET(TVK_SessionConfig, model);
    OFFSET(TVK_SessionConfig, action);
    OFFSET(TVK_SessionConfig, max_steps);
    OFFSET(TVK_SessionConfig, verdict_sweeps);
    OFFSET(TVK_SessionConfig, camera);
    OFFSET(TVK_SessionConfig, feeder);
    OFFSET(TVK_SessionConfig, user);
    OFFSET(TVK_SessionConfig, answers);
    SIZE(TVK_StepReport);
    OFFSET(TVK_StepReport, size);
    OFFSET(TVK_StepReport, step);
    OFFSET(TVK_StepReport, task);
    OFFSET(TVK_StepReport, seen);
    OFFSET(TVK_StepReport, x);
    OFFSET(TVK_StepReport, y);
    OFFSET(TVK_StepReport, dx);
    OFFSET(TVK_StepReport, dy);
    OFFSET(TVK_StepReport, area);
    OFFSET(TVK_StepReport, status_count);
    OFFSET(TVK_StepReport, status);
    OFFSET(TVK_StepReport, host_command);
    OFFSET(TVK_StepReport, events);
    OFFSET(TVK_StepReport, outcome);
    OFFSET(TVK_StepReport, vibrations);
    OFFSET(TVK_StepReport, commanded);
    OFFSET(TVK_StepReport, command);
    OFFSET(TVK_StepReport, reason);
    SIZE(TVK_SimRange);
    OFFSET(TVK_SimRange, lo);
    OFFSET(TVK_SimRange, hi);
    SIZE(TVK_SimRanges);
    OFFSET(TVK_SimRanges, size);
    OFFSET(TVK_SimRanges, resonance);
    OFFSET(TVK_SimRanges, half_width);
    OFFSET(TVK_SimRanges, gain);
    OFFSET(TVK_SimRanges, friction);
    OFFSET(TVK_SimRanges, noise);
    OFFSET(TVK_SimRanges, mismatch);
    OFFSET(TVK_SimRanges, kinetic);
    OFFSET(TVK_SimRanges, lift);
    OFFSET(TVK_SimRanges, restitution);
    OFFSET(TVK_SimRanges, scatter);
    OFFSET(TVK_SimRanges, resonance_wear);
    OFFSET(TVK_SimRanges, friction_wear);
    OFFSET(TVK_SimRanges, age_h);
    OFFSET(TVK_SimRanges, load);
    SIZE(TVK_SimParams);
    OFFSET(TVK_SimParams, size);
    OFFSET(TVK_SimParams, resonance);
    OFFSET(TVK_SimParams, half_width);
    OFFSET(TVK_SimParams, gain);
    OFFSET(TVK_SimParams, friction);
    OFFSET(TVK_SimParams, noise);
    OFFSET(TVK_SimParams, mismatch);
    OFFSET(TVK_SimParams, motor_gain);
    OFFSET(TVK_SimParams, kinetic);
    OFFSET(TVK_SimParams, lift);
    OFFSET(TVK_SimParams, restitution);
    OFFSET(TVK_SimParams, scatter);
    OFFSET(TVK_SimParams, resonance_wear);
    OFFSET(TVK_SimParams, friction_wear);
    OFFSET(TVK_SimParams, age_h);
    OFFSET(TVK_SimParams, load);
    OFFSET(TVK_SimParams, mm_per_unit);
    OFFSET(TVK_SimParams, q);
    OFFSET(TVK_SimParams, resonance_now);
    OFFSET(TVK_SimParams, friction_now);
    SIZE(TVK_SimProbe);
    OFFSET(TVK_SimProbe, size);
    OFFSET(TVK_SimProbe, horizontal_um);
    OFFSET(TVK_SimProbe, vertical_um);
    OFFSET(TVK_SimProbe, accel_g);
    OFFSET(TVK_SimProbe, throw_g);
    OFFSET(TVK_SimProbe, speed_mm_s);
    OFFSET(TVK_SimProbe, kv);
    OFFSET(TVK_SimProbe, flight);
}

static void constants(void) {
    CONSTANT(TVL_TASK_NONE);
    CONSTANT(TVL_TASK_ADJ);
    CONSTANT(TVL_TASK_VERIF_START);
    CONSTANT(TVL_TASK_VERIF_ING);
    CONSTANT(TVL_TASK_WAIT);
    CONSTANT(TVL_TASK_END);
    CONSTANT(TVL_CMD_END);
    CONSTANT(TVL_CMD_RESTART);
    CONSTANT(TVL_CMD_VERIFY);
    CONSTANT(TVL_CMD_SUCCESS);
    CONSTANT(TVK_OK);
    CONSTANT(TVK_E_ARG);
    CONSTANT(TVK_E_BUSY);
    CONSTANT(TVK_E_STATE);
    CONSTANT(TVK_E_IO);
    CONSTANT(TVK_E_LIBRARY);
    CONSTANT(TVK_E_CALLBACK);
    CONSTANT(TVK_E_NOMEM);
    CONSTANT(TVK_E_SIZE);
    CONSTANT(TVK_E_LAYOUT);
    CONSTANT(TVK_E_HANDLE);
    CONSTANT(TVK_E_REENTRY);
    CONSTANT(TVK_E_THREAD);
    CONSTANT(TVK_ANSWERS_STANDARD);
    CONSTANT(TVK_ANSWERS_HOST);
    CONSTANT(TVK_AREA_XLO_YMID);
    CONSTANT(TVK_AREA_XLO_YLO);
    CONSTANT(TVK_AREA_XLO_YHI);
    CONSTANT(TVK_AREA_XMID_YLO);
    CONSTANT(TVK_AREA_XMID_YHI);
    CONSTANT(TVK_AREA_XHI_YMID);
    CONSTANT(TVK_AREA_XHI_YLO);
    CONSTANT(TVK_AREA_XHI_YHI);
    CONSTANT(TVK_AREA_CENTRE);
    CONSTANT(TVK_AREA_COUNT);
    CONSTANT(TVK_MOTOR_OFF);
    CONSTANT(TVK_MOTOR_AUX);
    CONSTANT(TVK_MOTOR_MAIN);
    CONSTANT(TVK_MODEL_COUNT);
    CONSTANT(TVK_ACTION_COUNT);
    CONSTANT(TVK_MOTOR_COUNT);
    CONSTANT(TVK_EV_VIBRATED);
    CONSTANT(TVK_EV_ARRIVED);
    CONSTANT(TVK_EV_TUNED);
    CONSTANT(TVK_EV_VERIFIED);
    CONSTANT(TVK_EV_RESTARTED);
    CONSTANT(TVK_EV_SUCCESS);
    CONSTANT(TVK_EV_TIMEOUT);
    CONSTANT(TVK_RUNNING);
    CONSTANT(TVK_TUNED);
    CONSTANT(TVK_FAILED);
    CONSTANT(TVK_BUDGET);
    CONSTANT(TVK_STOPPED);
    CONSTANT(TVK_STATUS_MAX);
    CONSTANT(TVK_REASON_MAX);
}

int main(void) {
    library_records();
    kit_records();
    constants();
    return 0;
}
