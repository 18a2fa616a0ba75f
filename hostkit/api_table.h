// The functions of TVK_Api, in its order: each member's name, and the kit
// function it holds (tvk_ and the name). One list fills the process's own
// table and an instance's.
#ifndef TAVREL_HOSTKIT_API_TABLE_H
#define TAVREL_HOSTKIT_API_TABLE_H

#define TVK_API_TABLE(X)                                                                           \
    X(strerror)                                                                                    \
    X(errmsg)                                                                                      \
    X(version)                                                                                     \
    X(geometry)                                                                                    \
    X(area_of)                                                                                     \
    X(in_target)                                                                                   \
    X(start_point)                                                                                 \
    X(session_config_init_sized)                                                                   \
    X(session_start)                                                                               \
    X(session_step)                                                                                \
    X(session_run)                                                                                 \
    X(session_command)                                                                             \
    X(session_set_params)                                                                          \
    X(session_outcome)                                                                             \
    X(session_end)                                                                                 \
    X(clock_seconds)                                                                               \
    X(recorder_open)                                                                               \
    X(recorder_write)                                                                              \
    X(recorder_close)                                                                              \
    X(recorder_abandon)                                                                            \
    X(capture_to_file)                                                                             \
    X(capture_to_callback)                                                                         \
    X(capture_discard)                                                                             \
    X(capture_pump)                                                                                \
    X(capture_stop)                                                                                \
    X(capture_active)                                                                              \
    X(sim_default_ranges)                                                                          \
    X(sim_platform)                                                                                \
    X(sim_mix_seed)                                                                                \
    X(sim_create)                                                                                  \
    X(sim_reseed)                                                                                  \
    X(sim_params)                                                                                  \
    X(sim_place)                                                                                   \
    X(sim_position)                                                                                \
    X(sim_camera)                                                                                  \
    X(sim_vibrate)                                                                                 \
    X(sim_probe)                                                                                   \
    X(sim_vibration_ms)                                                                            \
    X(sim_destroy)                                                                                 \
    X(sim_camera_cb)                                                                               \
    X(sim_feeder_cb)

#endif
