// The kit functions the binding's objects call, as one table: the process's
// own copy binds them to the P/Invoke declarations, an instance to the
// function pointers of its TVK_Api table.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    internal sealed class KitApi
    {
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate IntPtr TextFn();
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void ConfigInitFn(ref SessionConfig config, uint size, int model, int action);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SessionStartFn(ref SessionConfig config, out SessionHandle session);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SessionStepFn(SessionHandle session, ref StepReport report);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SessionCommandFn(SessionHandle session, int command);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SessionSetParamsFn(SessionHandle session, ref HostLogicParam p);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SessionOutcomeFn(SessionHandle session, byte[] reason, int reasonSize);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int ReleaseFn(IntPtr handle);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void AbandonFn(IntPtr handle);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int RecorderOpenFn(string path, int model, int action, out RecorderHandle recorder);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int RecorderWriteFn(RecorderHandle recorder, double timeS, ref StepReport step,
                                              int reset);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int CaptureFileFn(string path, int append);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int CaptureCallbackFn(Native.LineFn fn, IntPtr user);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int PlainFn();
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimCreateFn(int model, ref SimRanges ranges, ulong feederSeed, ulong noiseSeed,
                                          out SimFeederHandle sim);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimCreateDefaultFn(int model, IntPtr noRanges, ulong feederSeed,
                                                 ulong noiseSeed, out SimFeederHandle sim);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimReseedFn(SimFeederHandle sim, ulong noiseSeed);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimParamsFn(SimFeederHandle sim, ref SimParams p);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimPlaceFn(SimFeederHandle sim, float x, float y);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimPointFn(SimFeederHandle sim, out float x, out float y);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimVibrateFn(SimFeederHandle sim, ref FeederCommand command);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int SimProbeFn(SimFeederHandle sim, ref FeederCommand command, ref SimProbe probe);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate double SimVibrationFn(SimFeederHandle sim);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate HostLogicParam ParamsFn();

        internal TextFn errmsg;
        internal ConfigInitFn session_config_init_sized;
        internal SessionStartFn session_start;
        internal SessionStepFn session_step;
        internal SessionCommandFn session_command;
        internal SessionSetParamsFn session_set_params;
        internal SessionOutcomeFn session_outcome;
        internal ReleaseFn session_end;
        internal RecorderOpenFn recorder_open;
        internal RecorderWriteFn recorder_write;
        internal ReleaseFn recorder_close;
        internal AbandonFn recorder_abandon;
        internal CaptureFileFn capture_to_file;
        internal CaptureCallbackFn capture_to_callback;
        internal PlainFn capture_discard;
        internal PlainFn capture_pump;
        internal PlainFn capture_stop;
        internal PlainFn capture_active;
        internal SimCreateFn sim_create;
        internal SimCreateDefaultFn sim_create_default;
        internal SimReseedFn sim_reseed;
        internal SimParamsFn sim_params;
        internal SimPlaceFn sim_place;
        internal SimPointFn sim_position;
        internal SimPointFn sim_camera;
        internal SimVibrateFn sim_vibrate;
        internal SimProbeFn sim_probe;
        internal SimVibrationFn sim_vibration_ms;
        internal AbandonFn sim_destroy;
        /// <summary>The copy's TVLLogicParamRe: the parameters in force.</summary>
        internal ParamsFn logic_params;

        /// <summary>The instance the table belongs to; null for the process's own copy.</summary>
        internal InstanceHandle Instance { get; private set; }

        /// <summary>The process's own copy, as the binding has always called it.</summary>
        internal static readonly KitApi Process = new KitApi
        {
            errmsg = Native.tvk_errmsg,
            session_config_init_sized = Native.tvk_session_config_init_sized,
            session_start = Native.tvk_session_start,
            session_step = Native.tvk_session_step,
            session_command = Native.tvk_session_command,
            session_set_params = Native.tvk_session_set_params,
            session_outcome = Native.tvk_session_outcome,
            session_end = Native.tvk_session_end,
            recorder_open = Native.tvk_recorder_open,
            recorder_write = Native.tvk_recorder_write,
            recorder_close = Native.tvk_recorder_close,
            recorder_abandon = Native.tvk_recorder_abandon,
            capture_to_file = Native.tvk_capture_to_file,
            capture_to_callback = Native.tvk_capture_to_callback,
            capture_discard = Native.tvk_capture_discard,
            capture_pump = Native.tvk_capture_pump,
            capture_stop = Native.tvk_capture_stop,
            capture_active = Native.tvk_capture_active,
            sim_create = Native.tvk_sim_create,
            sim_create_default = Native.tvk_sim_create_default,
            sim_reseed = Native.tvk_sim_reseed,
            sim_params = Native.tvk_sim_params,
            sim_place = Native.tvk_sim_place,
            sim_position = Native.tvk_sim_position,
            sim_camera = Native.tvk_sim_camera,
            sim_vibrate = Native.tvk_sim_vibrate,
            sim_probe = Native.tvk_sim_probe,
            sim_vibration_ms = Native.tvk_sim_vibration_ms,
            sim_destroy = Native.tvk_sim_destroy,
            logic_params = Native.TVLLogicParamRe,
        };

        /// <summary>An instance's copy: its table's pointers and its library's TVLLogicParamRe.</summary>
        internal static KitApi Of(InstanceHandle instance, ApiTable t, IntPtr logicParams) =>
            new KitApi
            {
                Instance = instance,
                errmsg = Bind<TextFn>(t.errmsg),
                session_config_init_sized = Bind<ConfigInitFn>(t.session_config_init_sized),
                session_start = Bind<SessionStartFn>(t.session_start),
                session_step = Bind<SessionStepFn>(t.session_step),
                session_command = Bind<SessionCommandFn>(t.session_command),
                session_set_params = Bind<SessionSetParamsFn>(t.session_set_params),
                session_outcome = Bind<SessionOutcomeFn>(t.session_outcome),
                session_end = Bind<ReleaseFn>(t.session_end),
                recorder_open = Bind<RecorderOpenFn>(t.recorder_open),
                recorder_write = Bind<RecorderWriteFn>(t.recorder_write),
                recorder_close = Bind<ReleaseFn>(t.recorder_close),
                recorder_abandon = Bind<AbandonFn>(t.recorder_abandon),
                capture_to_file = Bind<CaptureFileFn>(t.capture_to_file),
                capture_to_callback = Bind<CaptureCallbackFn>(t.capture_to_callback),
                capture_discard = Bind<PlainFn>(t.capture_discard),
                capture_pump = Bind<PlainFn>(t.capture_pump),
                capture_stop = Bind<PlainFn>(t.capture_stop),
                capture_active = Bind<PlainFn>(t.capture_active),
                sim_create = Bind<SimCreateFn>(t.sim_create),
                sim_create_default = Bind<SimCreateDefaultFn>(t.sim_create),
                sim_reseed = Bind<SimReseedFn>(t.sim_reseed),
                sim_params = Bind<SimParamsFn>(t.sim_params),
                sim_place = Bind<SimPlaceFn>(t.sim_place),
                sim_position = Bind<SimPointFn>(t.sim_position),
                sim_camera = Bind<SimPointFn>(t.sim_camera),
                sim_vibrate = Bind<SimVibrateFn>(t.sim_vibrate),
                sim_probe = Bind<SimProbeFn>(t.sim_probe),
                sim_vibration_ms = Bind<SimVibrationFn>(t.sim_vibration_ms),
                sim_destroy = Bind<AbandonFn>(t.sim_destroy),
                logic_params = Bind<ParamsFn>(logicParams),
            };

        static T Bind<T>(IntPtr function) where T : class =>
            (T)(object)Marshal.GetDelegateForFunctionPointer(function, typeof(T));
    }

    /// <summary>TVK_Api as the kit lays it out: the size, then one pointer per function.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal struct ApiTable
    {
        internal uint size;
        internal IntPtr strerror, errmsg, version, geometry, area_of, in_target, start_point;
        internal IntPtr session_config_init_sized, session_start, session_step, session_run;
        internal IntPtr session_command, session_set_params, session_outcome, session_end;
        internal IntPtr clock_seconds, recorder_open, recorder_write, recorder_close, recorder_abandon;
        internal IntPtr capture_to_file, capture_to_callback, capture_discard, capture_pump;
        internal IntPtr capture_stop, capture_active, sim_default_ranges, sim_platform, sim_mix_seed;
        internal IntPtr sim_create, sim_reseed, sim_params, sim_place, sim_position, sim_camera;
        internal IntPtr sim_vibrate, sim_probe, sim_vibration_ms, sim_destroy, sim_camera_cb, sim_feeder_cb;
    }
}
