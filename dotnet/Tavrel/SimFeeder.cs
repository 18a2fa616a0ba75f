// The kit's simulated feeder, for testing a host without hardware.
using System;
using System.Runtime.InteropServices;

namespace Tavrel
{
    /// <summary>
    /// A simulated feeder of a model, drawn with feederSeed from the model's
    /// default ranges; the same seeds give the same feeder and motion. The part
    /// starts at the platform's centre.
    /// </summary>
    public sealed class SimFeeder : IDisposable
    {
        IntPtr _sim;

        public int Model { get; }

        public SimFeeder(int model, ulong feederSeed, ulong noiseSeed)
        {
            Arguments.ModelAction(model, 0);
            Model = model;
            Kit.Check(Kit.tvk_sim_create_default(model, IntPtr.Zero, feederSeed, noiseSeed, out _sim),
                      "create a simulated feeder");
        }

        /// <summary>The platform's width and height in host coordinate units.</summary>
        public static void Platform(int model, out float width, out float height)
        {
            Arguments.ModelAction(model, 0);
            Kit.Check(Kit.tvk_sim_platform(model, out width, out height), "platform");
        }

        /// <summary>Mixes a seed with two numbers into a new seed, as the simulator does.</summary>
        public static ulong MixSeed(ulong seed, ulong a, ulong b) => Kit.tvk_sim_mix_seed(seed, a, b);

        /// <summary>Puts the part at (x, y), clamped to the platform.</summary>
        public void Place(float x, float y) => Kit.Check(Kit.tvk_sim_place(Handle, x, y), "place the part");

        /// <summary>What a camera reports: the position rounded to two decimals.</summary>
        public bool Camera(out float x, out float y) =>
            Kit.Check(Kit.tvk_sim_camera(Handle, out x, out y), "camera") == 1;

        /// <summary>Runs one feeder command: the part moves for its run time.</summary>
        public void Vibrate(FeederCommand command) =>
            Kit.Check(Kit.tvk_sim_vibrate(Handle, ref command), "vibrate");

        /// <summary>Simulated milliseconds of vibration so far.</summary>
        public double VibrationMs => Kit.tvk_sim_vibration_ms(Handle);

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
                Kit.Check(Kit.tvk_sim_params(Handle, ref p), "feeder constants");
                return p;
            }
        }

        public void Dispose()
        {
            Kit.tvk_sim_destroy(_sim);
            _sim = IntPtr.Zero;
        }

        IntPtr Handle
        {
            get
            {
                if (_sim == IntPtr.Zero)
                    throw new ObjectDisposedException(nameof(SimFeeder));
                return _sim;
            }
        }
    }
}
