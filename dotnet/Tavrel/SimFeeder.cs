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
        readonly KitApi _api;

        public int Model { get; }

        public SimFeeder(int model, ulong feederSeed, ulong noiseSeed) : this(model, feederSeed, noiseSeed, null) { }

        /// <summary>A simulated feeder of an instance's copy (null: the process's). Since 1.3.0.</summary>
        public SimFeeder(int model, ulong feederSeed, ulong noiseSeed, Instance instance)
        {
            Arguments.ModelAction(model, 0);
            Model = model;
            _api = Instance.ApiOf(instance);
            Errors.Check(_api.sim_create_default(model, IntPtr.Zero, feederSeed, noiseSeed, out _handle),
                         nameof(Native.tvk_sim_create), _api);
            _handle.Adopt(_api);
        }

        public SimFeeder(int model, SimRanges ranges, ulong feederSeed, ulong noiseSeed)
            : this(model, ranges, feederSeed, noiseSeed, null) { }

        /// <summary>A simulated feeder drawn from ranges, of an instance's copy (null: the process's). Since 1.3.0.</summary>
        public SimFeeder(int model, SimRanges ranges, ulong feederSeed, ulong noiseSeed, Instance instance)
        {
            Arguments.ModelAction(model, 0);
            Model = model;
            _api = Instance.ApiOf(instance);
            ranges.Size = (uint)Marshal.SizeOf(typeof(SimRanges));
            Errors.Check(_api.sim_create(model, ref ranges, feederSeed, noiseSeed, out _handle),
                         nameof(Native.tvk_sim_create), _api);
            _handle.Adopt(_api);
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
            Errors.Check(_api.sim_reseed(_handle, noiseSeed), nameof(Native.tvk_sim_reseed), _api);

        /// <summary>Puts the part at (x, y), clamped to the platform.</summary>
        public void Place(float x, float y) =>
            Errors.Check(_api.sim_place(_handle, x, y), nameof(Native.tvk_sim_place), _api);

        /// <summary>Where the part is.</summary>
        public void Position(out float x, out float y) =>
            Errors.Check(_api.sim_position(_handle, out x, out y), nameof(Native.tvk_sim_position), _api);

        /// <summary>What a camera reports: the position rounded to two decimals.</summary>
        public bool Camera(out float x, out float y) =>
            Errors.Check(_api.sim_camera(_handle, out x, out y), nameof(Native.tvk_sim_camera), _api) == 1;

        /// <summary>Runs one feeder command: the part moves for its run time.</summary>
        public void Vibrate(FeederCommand command) =>
            Errors.Check(_api.sim_vibrate(_handle, ref command), nameof(Native.tvk_sim_vibrate), _api);

        /// <summary>What the command would do to the part where it lies; nothing changes.</summary>
        public SimProbe Probe(FeederCommand command)
        {
            var probe = new SimProbe { Size = (uint)Marshal.SizeOf(typeof(SimProbe)) };
            Errors.Check(_api.sim_probe(_handle, ref command, ref probe), nameof(Native.tvk_sim_probe), _api);
            return probe;
        }

        /// <summary>Simulated milliseconds of vibration so far.</summary>
        public double VibrationMs => _api.sim_vibration_ms(_handle);

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
                Errors.Check(_api.sim_params(_handle, ref p), nameof(Native.tvk_sim_params), _api);
                return p;
            }
        }

        internal SimFeederHandle Handle => _handle;

        public void Dispose() => _handle.Dispose();
    }
}
