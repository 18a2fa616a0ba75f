// The kit's simulated feeder, for testing a host without hardware.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>
    /// A simulated feeder of a model, drawn with feederSeed from ranges (by
    /// default the model's); the same seeds give the same feeder and motion.
    /// The part starts at the platform's centre.
    /// </summary>
    public sealed class SimFeeder : IDisposable
    {
        readonly SimFeederHandle _handle;

        public int Model { get; }

        public SimFeeder(int model, ulong feederSeed, ulong noiseSeed)
        {
            Arguments.ModelAction(model, 0);
            Model = model;
            Errors.Check(Native.tvk_sim_create_default(model, IntPtr.Zero, feederSeed, noiseSeed, out _handle),
                         nameof(Native.tvk_sim_create));
        }

        public SimFeeder(int model, SimRanges ranges, ulong feederSeed, ulong noiseSeed)
        {
            Arguments.ModelAction(model, 0);
            Model = model;
            ranges.Size = (uint)Marshal.SizeOf(typeof(SimRanges));
            Errors.Check(Native.tvk_sim_create(model, ref ranges, feederSeed, noiseSeed, out _handle),
                         nameof(Native.tvk_sim_create));
        }

        /// <summary>The ranges a model's feeders are drawn from by default.</summary>
        public static SimRanges DefaultRanges(int model)
        {
            Arguments.ModelAction(model, 0);
            var ranges = new SimRanges { Size = (uint)Marshal.SizeOf(typeof(SimRanges)) };
            Errors.Check(Native.tvk_sim_default_ranges(model, ref ranges),
                         nameof(Native.tvk_sim_default_ranges));
            return ranges;
        }

        /// <summary>The platform's width and height in host coordinate units.</summary>
        public static void Platform(int model, out float width, out float height)
        {
            Arguments.ModelAction(model, 0);
            Errors.Check(Native.tvk_sim_platform(model, out width, out height),
                         nameof(Native.tvk_sim_platform));
        }

        /// <summary>Mixes a seed with two numbers into a new seed, as the simulator does.</summary>
        public static ulong MixSeed(ulong seed, ulong a, ulong b) => Native.tvk_sim_mix_seed(seed, a, b);

        /// <summary>The same feeder with its motion noise started again from noiseSeed.</summary>
        public void Reseed(ulong noiseSeed) =>
            Errors.Check(Native.tvk_sim_reseed(_handle, noiseSeed), nameof(Native.tvk_sim_reseed));

        /// <summary>Puts the part at (x, y), clamped to the platform.</summary>
        public void Place(float x, float y) =>
            Errors.Check(Native.tvk_sim_place(_handle, x, y), nameof(Native.tvk_sim_place));

        /// <summary>Where the part is.</summary>
        public void Position(out float x, out float y) =>
            Errors.Check(Native.tvk_sim_position(_handle, out x, out y), nameof(Native.tvk_sim_position));

        /// <summary>What a camera reports: the position rounded to two decimals.</summary>
        public bool Camera(out float x, out float y) =>
            Errors.Check(Native.tvk_sim_camera(_handle, out x, out y), nameof(Native.tvk_sim_camera)) == 1;

        /// <summary>Runs one feeder command: the part moves for its run time.</summary>
        public void Vibrate(FeederCommand command) =>
            Errors.Check(Native.tvk_sim_vibrate(_handle, ref command), nameof(Native.tvk_sim_vibrate));

        /// <summary>What the command would do to the part where it lies; nothing changes.</summary>
        public SimProbe Probe(FeederCommand command)
        {
            var probe = new SimProbe { Size = (uint)Marshal.SizeOf(typeof(SimProbe)) };
            Errors.Check(Native.tvk_sim_probe(_handle, ref command, ref probe), nameof(Native.tvk_sim_probe));
            return probe;
        }

        /// <summary>Simulated milliseconds of vibration so far.</summary>
        public double VibrationMs => Native.tvk_sim_vibration_ms(_handle);

        /// <summary>The drawn feeder's constants.</summary>
        public SimParams Params
        {
            get
            {
                var p = new SimParams
                {
                    Size = (uint)Marshal.SizeOf(typeof(SimParams)),
                    MotorGain = new double[Kit.MotorCount],
                };
                Errors.Check(Native.tvk_sim_params(_handle, ref p), nameof(Native.tvk_sim_params));
                return p;
            }
        }

        internal SimFeederHandle Handle => _handle;

        public void Dispose() => _handle.Dispose();
    }
}
