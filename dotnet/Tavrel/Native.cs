// P/Invoke declarations of libtavrel's five entry points and of the host kit,
// for the binding's own use. "tavrel" and "tavrel_hostkit" are the libraries'
// names; LibraryNames says which files they resolve to. Everything is cdecl:
// the only convention on x64, and the C default on Linux.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    internal static class Native
    {
        const string Library = "tavrel";
        const string Kit = "tavrel_hostkit";

        // Runs before the first call into either library.
        static Native()
        {
            LibraryNames.UseVersionedOnLinux(typeof(Native).Assembly);
            Layout.Verify();
        }

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int CameraFn(IntPtr user, out float x, out float y);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int FeederFn(IntPtr user, ref FeederCommand command);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void LineFn(IntPtr user, IntPtr line, int length);

        // ---------------------------------------------------------- libtavrel

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int TVLInit(Tavrel.Library.CoordinateCallback coordinate,
                                           Tavrel.Library.FeederCallback feeder,
                                           Tavrel.Library.StatusCallback status, int model,
                                           int action);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int TVLTask();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int TVLLogicParamSet(ushort ampInit, ushort ampMax, ushort freInit,
                                                    ushort freMax, ushort runTime);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern HostLogicParam TVLLogicParamRe();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int TVLLogicStaCol(int command);

        // ------------------------------------------------------------ the kit

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvk_strerror(int code);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvk_errmsg();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvk_version();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_geometry(int model, int action, ref Geometry geometry);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_area_of(int model, int action, float x, float y);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_in_target(int model, int action, float x, float y);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_start_point(int model, int action, float width, float height,
                                                   out float x, out float y);

        // Writes no more than size bytes (since 1.2.0).
        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvk_session_config_init_sized(ref SessionConfig config, uint size,
                                                                  int model, int action);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_start(ref SessionConfig config, out SessionHandle session);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_step(SessionHandle session, ref StepReport report);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_command(SessionHandle session, int command);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_set_params(SessionHandle session, ref HostLogicParam p);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_outcome(SessionHandle session, byte[] reason,
                                                       int reasonSize);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_session_end(IntPtr session);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern double tvk_clock_seconds();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_recorder_open(string path, int model, int action,
                                                     out RecorderHandle recorder);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_recorder_write(RecorderHandle recorder, double timeS,
                                                      ref StepReport step, int reset);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_recorder_close(IntPtr recorder);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvk_recorder_abandon(IntPtr recorder);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_to_file(string path, int append);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_to_callback(LineFn fn, IntPtr user);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_discard();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_pump();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_stop();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_capture_active();

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_default_ranges(int model, ref SimRanges ranges);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_platform(int model, out float width, out float height);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern ulong tvk_sim_mix_seed(ulong seed, ulong a, ulong b);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_create(int model, ref SimRanges ranges, ulong feederSeed,
                                                  ulong noiseSeed, out SimFeederHandle sim);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl, EntryPoint = "tvk_sim_create")]
        internal static extern int tvk_sim_create_default(int model, IntPtr noRanges, ulong feederSeed,
                                                          ulong noiseSeed, out SimFeederHandle sim);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_reseed(SimFeederHandle sim, ulong noiseSeed);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_params(SimFeederHandle sim, ref SimParams p);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_place(SimFeederHandle sim, float x, float y);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_position(SimFeederHandle sim, out float x, out float y);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_camera(SimFeederHandle sim, out float x, out float y);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_vibrate(SimFeederHandle sim, ref FeederCommand command);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_sim_probe(SimFeederHandle sim, ref FeederCommand command, ref SimProbe probe);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern double tvk_sim_vibration_ms(SimFeederHandle sim);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvk_sim_destroy(IntPtr sim);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_instance_open(string kitPath, out InstanceHandle instance);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_instance_api(InstanceHandle instance, ref ApiTable table);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_instance_symbol(InstanceHandle instance, string name, out IntPtr symbol);

        [DllImport(Kit, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvk_instance_close(IntPtr instance);

        /// <summary>A static C string of the kit's as a managed string.</summary>
        internal static string Text(IntPtr text) => Marshal.PtrToStringAnsi(text);
    }
}
