// P/Invoke declarations of libtavrel's five entry points and of the host kit.
// "tavrel" and "tavrel_hostkit" resolve to libtavrel.so and
// libtavrel_hostkit.so under Mono on Linux, to tavrel.dll and
// tavrel_hostkit.dll under .NET on Windows. Everything is cdecl: the only
// convention on x64, and the C default on Linux.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>Task states TVLTask returns.</summary>
    public enum TaskState
    {
        None = 0,
        Adjusting = 4,
        VerifyStart = 5,
        Verifying = 6,
        Waiting = 7,
        End = 8,
    }

    /// <summary>Commands for TVLLogicStaCol.</summary>
    public enum HostCommand
    {
        End = 0,
        Restart = 1,
        Verify = 2,
        Success = 3,
    }

    /// <summary>Statuses the library sends the status callback.</summary>
    public enum Status
    {
        Vibrating = 1,
        Waiting = 2,
        Tuned = 3,
        Verified = 6,
    }

    /// <summary>Areas of the 3 x 3 grid as the library numbers them (X band, Y band).</summary>
    public enum Area
    {
        XLowYMid = 0,
        XLowYLow = 1,
        XLowYHigh = 2,
        XMidYLow = 3,
        XMidYHigh = 4,
        XHighYMid = 5,
        XHighYLow = 6,
        XHighYHigh = 7,
        Centre = 8,
    }

    /// <summary>How an action uses a motor.</summary>
    public enum MotorUse
    {
        Off = 0,
        Aux = 1,
        Main = 2,
    }

    /// <summary>What a session step brought.</summary>
    [Flags]
    public enum StepEvents
    {
        None = 0,
        Vibrated = 1,
        Arrived = 2,
        Tuned = 4,
        Verified = 8,
        Restarted = 16,
        Success = 32,
        Timeout = 64,
    }

    /// <summary>Where a session stands.</summary>
    public enum Outcome
    {
        Running = 0,
        Tuned = 1,
        Failed = 2,
        Budget = 3,
        Stopped = 4,
    }

    /// <summary>The kit's result codes.</summary>
    public enum ErrorCode
    {
        Ok = 0,
        Argument = -1,
        Busy = -2,
        State = -3,
        IO = -4,
        Library = -5,
        Callback = -6,
        NoMemory = -7,
    }

    /// <summary>libtavrel's five entry points and its three host callbacks.</summary>
    public static class Library
    {
        const string Name = "tavrel";

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate HostMateInf CoordinateCallback();

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int FeederCallback(FeederCommand command);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int StatusCallback(int status);

        // The library calls these until the next TVLInit: a collected delegate
        // would leave it calling freed code.
#pragma warning disable CS0414 // written only to be held
        static CoordinateCallback s_coordinate;
        static FeederCallback s_feeder;
        static StatusCallback s_status;
#pragma warning restore CS0414

        static Library() => Layout.Verify();

        /// <summary>
        /// TVLInit: model 0..2, action 0..10; true when initialised. The three
        /// callbacks are kept alive until the next Init.
        /// </summary>
        public static bool Init(CoordinateCallback coordinate, FeederCallback feeder,
                                StatusCallback status, int model, int action)
        {
            s_coordinate = coordinate;
            s_feeder = feeder;
            s_status = status;
            return TVLInit(coordinate, feeder, status, model, action) == 1;
        }

        /// <summary>TVLTask: one step of the tuning loop; the callbacks run inside it.</summary>
        public static TaskState Task() => (TaskState)TVLTask();

        /// <summary>TVLLogicParamSet: the five host parameters.</summary>
        public static void SetParams(HostLogicParam p) =>
            TVLLogicParamSet(p.AmpInit, p.AmpMax, p.FreInit, p.FreMax, p.RunTime);

        /// <summary>TVLLogicParamRe.</summary>
        public static HostLogicParam Params() => TVLLogicParamRe();

        /// <summary>TVLLogicStaCol.</summary>
        public static void Command(HostCommand command) => TVLLogicStaCol((int)command);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        static extern int TVLInit(CoordinateCallback coordinate, FeederCallback feeder,
                                  StatusCallback status, int model, int action);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        static extern int TVLTask();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        static extern int TVLLogicParamSet(ushort ampInit, ushort ampMax, ushort freInit,
                                           ushort freMax, ushort runTime);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        static extern HostLogicParam TVLLogicParamRe();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        static extern int TVLLogicStaCol(int command);
    }

    /// <summary>The host kit's C interface (tavrel_hostkit.h), one to one.</summary>
    public static class Kit
    {
        const string Name = "tavrel_hostkit";

        public const int ModelCount = 3;
        public const int ActionCount = 11;
        public const int MotorCount = 4;
        public const int AreaCount = 9;
        public const int StatusMax = 8;
        public const int ReasonMax = 192;

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int CameraFn(IntPtr user, out float x, out float y);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate int FeederFn(IntPtr user, ref FeederCommand command);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void PutBackFn(IntPtr user);

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        public delegate void LineFn(IntPtr user, IntPtr line, int length);

        static Kit() => Layout.Verify();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr tvk_strerror(int code);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern IntPtr tvk_version();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_geometry(int model, int action, ref Geometry geometry);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_area_of(int model, int action, float x, float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_in_target(int model, int action, float x, float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_start_point(int model, int action, float width, float height,
                                                 out float x, out float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern void tvk_session_config_init(out SessionConfig config, int model,
                                                          int action);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_start(ref SessionConfig config, out IntPtr session);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_step(IntPtr session, ref StepReport report);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_run(IntPtr session, PutBackFn putBack,
                                                 ref StepReport report);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_command(IntPtr session, int command);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_set_params(IntPtr session, ref HostLogicParam p);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_session_outcome(IntPtr session, byte[] reason, int reasonSize);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern void tvk_session_end(IntPtr session);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern double tvk_clock_seconds();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_recorder_open(string path, int model, int action,
                                                   out IntPtr recorder);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_recorder_write(IntPtr recorder, double timeS,
                                                    ref StepReport step, int reset);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_recorder_close(IntPtr recorder);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern void tvk_recorder_abandon(IntPtr recorder);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_to_file(string path, int append);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_to_callback(LineFn fn, IntPtr user);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_discard();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_pump();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_stop();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_capture_active();

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_default_ranges(int model, ref SimRanges ranges);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_platform(int model, out float width, out float height);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern ulong tvk_sim_mix_seed(ulong seed, ulong a, ulong b);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_create(int model, ref SimRanges ranges, ulong feederSeed,
                                                ulong noiseSeed, out IntPtr sim);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl, EntryPoint = "tvk_sim_create")]
        public static extern int tvk_sim_create_default(int model, IntPtr noRanges, ulong feederSeed,
                                                        ulong noiseSeed, out IntPtr sim);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_reseed(IntPtr sim, ulong noiseSeed);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_params(IntPtr sim, ref SimParams p);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_place(IntPtr sim, float x, float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_position(IntPtr sim, out float x, out float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_camera(IntPtr sim, out float x, out float y);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern int tvk_sim_vibrate(IntPtr sim, ref FeederCommand command);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern double tvk_sim_vibration_ms(IntPtr sim);

        [DllImport(Name, CallingConvention = CallingConvention.Cdecl)]
        public static extern void tvk_sim_destroy(IntPtr sim);

        /// <summary>Throws a TavrelException for a negative kit result; returns it otherwise.</summary>
        public static int Check(int result, string doing)
        {
            if (result < 0)
                throw new TavrelException((ErrorCode)result, doing);
            return result;
        }

        /// <summary>tvk_strerror as a managed string.</summary>
        public static string ErrorText(int code) => Marshal.PtrToStringAnsi(tvk_strerror(code));

        /// <summary>tvk_version as a managed string.</summary>
        public static string Version() => Marshal.PtrToStringAnsi(tvk_version());

        /// <summary>A zeroed record with its leading size member set.</summary>
        public static StepReport NewStepReport() =>
            new StepReport
            {
                Size = (uint)Marshal.SizeOf(typeof(StepReport)),
                Status = new int[StatusMax],
                Reason = "",
            };
    }

    /// <summary>A kit call failed; Code says why.</summary>
    public class TavrelException : Exception
    {
        public ErrorCode Code { get; }

        public TavrelException(ErrorCode code, string doing)
            : base($"{doing}: {Kit.ErrorText((int)code)} ({code})")
        {
            Code = code;
        }
    }
}
