// What the host kit says of itself, and the sizes its records are built on.
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>The host kit's constants, version and clock.</summary>
    public static class Kit
    {
        public const int ModelCount = 3;
        public const int ActionCount = 11;
        public const int MotorCount = 4;
        public const int AreaCount = 9;
        public const int StatusMax = 8;
        public const int ReasonMax = 192;

        /// <summary>tvk_version: "MAJOR.MINOR.PATCH", the same as the library's.</summary>
        public static string Version() => Native.Text(Native.tvk_version());

        /// <summary>tvk_strerror: a short English text for a result code.</summary>
        public static string ErrorText(ErrorCode code) => Native.Text(Native.tvk_strerror((int)code));

        /// <summary>
        /// The monotonic clock the library reads, in seconds: record step times
        /// with it and a replay reproduces the library's timeouts.
        /// </summary>
        public static double ClockSeconds() => Native.tvk_clock_seconds();

        /// <summary>A zeroed step report with its leading size member set.</summary>
        internal static StepReport NewStepReport() =>
            new StepReport
            {
                Size = (uint)Marshal.SizeOf(typeof(StepReport)),
                Status = new int[StatusMax],
                Reason = "",
            };
    }
}
