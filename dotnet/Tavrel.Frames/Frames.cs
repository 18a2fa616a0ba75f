// The frames library (libtavrel_frames) for .NET: the part found in a backlit
// camera frame, in the library's own coordinates. An assembly of its own,
// Tavrel.Frames.dll, built where the frames library is (not on Windows).
//
// Frames are 8-bit grey, row after row, rows Stride bytes apart, passed as a
// ReadOnlySpan<byte> (or a byte[] with an offset) and pinned for the length
// of the call: the library reads the host's own memory, never a copy.
using System;
using System.Collections.Generic;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using Tavrel;

// The tests hold the internal records against the C header too.
[assembly: InternalsVisibleTo("FramesTests")]

namespace Tavrel.Frames
{
    /// <summary>A frame's shape: width x height pixels, rows stride bytes apart (stride >= width).</summary>
    public struct FrameShape
    {
        public int Width;
        public int Height;
        public int Stride;

        public FrameShape(int width, int height, int stride = 0)
        {
            Width = width;
            Height = height;
            Stride = stride == 0 ? width : stride;
        }

        /// <summary>The bytes a buffer must hold: every row's stride but the last row's.</summary>
        public long Bytes => (long)(Height - 1) * Stride + Width;

        internal void Check(int available, string function)
        {
            if (Width <= 0 || Height <= 0 || Stride < Width)
                throw new ArgumentOutOfRangeException(nameof(FrameShape),
                    $"{function}: a frame of {Width}x{Height} with rows {Stride} bytes apart");
            if (available < Bytes)
                throw new ArgumentException(
                    $"{function}: a {Width}x{Height} frame with rows {Stride} bytes apart needs {Bytes} bytes, " +
                    $"the buffer has {available}");
        }
    }

    /// <summary>What the locator made of a frame; only One reaches the library as seen.</summary>
    public enum Verdict
    {
        None = 0,
        One = 1,
        Several = 2,
        AtEdge = 3,
        TooDark = 4,
        Saturated = 5,
    }

    /// <summary>The frames library's result codes (TVF_E_*).</summary>
    public enum FramesErrorCode
    {
        Ok = 0,
        Argument = -1,
        Format = -2,
        Fit = -3,
        IO = -4,
        NoMemory = -5,
        NotFound = -6,
        Callback = -7,
        Orient = -8,
        End = -9,
        Size = -10,
    }

    /// <summary>A part's silhouette in a rendered frame.</summary>
    public enum Shape
    {
        Rect = 0,
        Ring = 1,
        Screw = 2,
    }

    /// <summary>A part on the platform: its centroid in library units, its long axis in degrees.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Part
    {
        public double X;
        public double Y;
        public double AngleDeg;

        public Part(double x, double y, double angleDeg = 0)
        {
            X = x;
            Y = y;
            AngleDeg = angleDeg;
        }
    }

    /// <summary>What a simulated backlit camera sees (TVF_Scene); Scene.Defaults(model) first.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Scene
    {
        internal uint Size;
        public int Model;
        public int Width;
        public int Height;
        public int Orientation;
        public double Tilt;
        public double RollDeg;
        public double Fill;
        public Shape Shape;
        public int PartCount;
        public Part Part0;
        public Part Part1;
        public double PartScale;
        public double Backlight;
        public double Dark;
        public double Vignetting;
        public double BlurPx;
        public double Noise;
        public int Dust;
        public ulong Seed;

        /// <summary>The library's defaults for a model: 640 x 480, one rectangle at the centre.</summary>
        public static Scene Defaults(int model)
        {
            var scene = new Scene();
            FramesNative.tvf_scene_init(ref scene, model);
            return scene;
        }

        /// <summary>Draws the scene into pixels of its Width x Height, rows stride bytes apart (0: Width).</summary>
        public unsafe void Render(Span<byte> pixels, int stride = 0)
        {
            var shape = new FrameShape(Width, Height, stride);
            shape.Check(pixels.Length, "tvf_render");
            Scene scene = this;
            fixed (byte* p = &MemoryMarshal.GetReference(pixels))
                FramesLibrary.Check(FramesNative.tvf_render(ref scene, (IntPtr)p, Width, Height, shape.Stride),
                             "tvf_render");
        }

        /// <summary>A new Width x Height frame of the scene, rows Width bytes apart.</summary>
        public byte[] Render()
        {
            if (Width <= 0 || Height <= 0)
                throw new ArgumentOutOfRangeException(nameof(Width), $"a scene of {Width}x{Height}");
            var pixels = new byte[(long)Width * Height];
            Render(pixels);
            return pixels;
        }
    }

    /// <summary>How the locator decides (TVF_LocatorConfig); LocatorConfig.Defaults() first.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct LocatorConfig
    {
        internal uint Size;
        public double Threshold;
        public double MinArea;
        public double MaxArea;
        public int MinBlob;
        public double MinBacklight;
        public double MaxSaturated;
        public int EdgePx;

        public static LocatorConfig Defaults()
        {
            var config = new LocatorConfig();
            FramesNative.tvf_locator_config_init(ref config);
            return config;
        }
    }

    /// <summary>One frame's result (TVF_Location).</summary>
    [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Ansi)]
    public struct Location
    {
        internal uint Size;
        public Verdict Verdict;
        /// <summary>The part's centroid in library units (valid for Verdict.One).</summary>
        public double X;
        public double Y;
        public double AngleDeg;
        /// <summary>Library units squared.</summary>
        public double Area;
        /// <summary>The centroid in camera pixels.</summary>
        public double Px;
        public double Py;
        public int Candidates;
        public double Backlight;
        [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 96)]
        public string Reason;

        /// <summary>What reaches the library: true with (x, y) for one part (bMateReco 1), false otherwise.</summary>
        public bool Seen(out float x, out float y)
        {
            Location location = this;
            x = y = 0;
            return FramesNative.tvf_location_seen(ref location, ref x, ref y) == 1;
        }
    }

    /// <summary>A frames library call failed: Code, the function and the library's tvf_errmsg().</summary>
    public class FramesException : Exception
    {
        public FramesErrorCode Code { get; }
        public string Function { get; }
        public string LibraryMessage { get; }

        public FramesException(FramesErrorCode code, string function, string libraryMessage)
            : base(libraryMessage.Length > 0 ? $"{libraryMessage} ({code})" : $"{function}: {FramesLibrary.ErrorText(code)} ({code})")
        {
            Code = code;
            Function = function;
            LibraryMessage = libraryMessage;
        }
    }

    /// <summary>A value out of range (TVF_E_ARG).</summary>
    public class FramesArgumentException : FramesException
    {
        public FramesArgumentException(string f, string m) : base(FramesErrorCode.Argument, f, m) { }
    }

    /// <summary>A frame of the wrong size, stride or pixel format (TVF_E_FORMAT).</summary>
    public class FrameFormatException : FramesException
    {
        public FrameFormatException(string f, string m) : base(FramesErrorCode.Format, f, m) { }
    }

    /// <summary>A calibration made for another frame size or platform (TVF_E_FIT).</summary>
    public class CalibrationFitException : FramesException
    {
        public CalibrationFitException(string f, string m) : base(FramesErrorCode.Fit, f, m) { }
    }

    /// <summary>A file could not be read or written (TVF_E_IO).</summary>
    public class FramesIOException : FramesException
    {
        public FramesIOException(string f, string m) : base(FramesErrorCode.IO, f, m) { }
    }

    /// <summary>Out of memory (TVF_E_NOMEM).</summary>
    public class FramesNoMemoryException : FramesException
    {
        public FramesNoMemoryException(string f, string m) : base(FramesErrorCode.NoMemory, f, m) { }
    }

    /// <summary>No lit platform or no part in the frame (TVF_E_NOTFOUND).</summary>
    public class FramesNotFoundException : FramesException
    {
        public FramesNotFoundException(string f, string m) : base(FramesErrorCode.NotFound, f, m) { }
    }

    /// <summary>A host callback failed (TVF_E_CALLBACK).</summary>
    public class FramesCallbackException : FramesException
    {
        public FramesCallbackException(string f, string m) : base(FramesErrorCode.Callback, f, m) { }
    }

    /// <summary>The test vibrations do not decide the orientation (TVF_E_ORIENT).</summary>
    public class FramesOrientationException : FramesException
    {
        public FramesOrientationException(string f, string m) : base(FramesErrorCode.Orient, f, m) { }
    }

    /// <summary>A source has no more frames (TVF_E_END).</summary>
    public class FramesEndException : FramesException
    {
        public FramesEndException(string f, string m) : base(FramesErrorCode.End, f, m) { }
    }

    /// <summary>A record size the library cannot serve (TVF_E_SIZE).</summary>
    public class FramesSizeException : FramesException
    {
        public FramesSizeException(string f, string m) : base(FramesErrorCode.Size, f, m) { }
    }

    /// <summary>The library's version and texts, and its failures as exceptions.</summary>
    public static class FramesLibrary
    {
        static readonly Dictionary<FramesErrorCode, Func<string, string, FramesException>> ByCode =
            new Dictionary<FramesErrorCode, Func<string, string, FramesException>>
            {
                [FramesErrorCode.Argument] = (f, m) => new FramesArgumentException(f, m),
                [FramesErrorCode.Format] = (f, m) => new FrameFormatException(f, m),
                [FramesErrorCode.Fit] = (f, m) => new CalibrationFitException(f, m),
                [FramesErrorCode.IO] = (f, m) => new FramesIOException(f, m),
                [FramesErrorCode.NoMemory] = (f, m) => new FramesNoMemoryException(f, m),
                [FramesErrorCode.NotFound] = (f, m) => new FramesNotFoundException(f, m),
                [FramesErrorCode.Callback] = (f, m) => new FramesCallbackException(f, m),
                [FramesErrorCode.Orient] = (f, m) => new FramesOrientationException(f, m),
                [FramesErrorCode.End] = (f, m) => new FramesEndException(f, m),
                [FramesErrorCode.Size] = (f, m) => new FramesSizeException(f, m),
            };

        /// <summary>tvf_version: "MAJOR.MINOR.PATCH", the kit's.</summary>
        public static string Version() => Marshal.PtrToStringAnsi(FramesNative.tvf_version());

        /// <summary>tvf_strerror: a short English text for a result code.</summary>
        public static string ErrorText(FramesErrorCode code) =>
            Marshal.PtrToStringAnsi(FramesNative.tvf_strerror((int)code));

        /// <summary>A short name for a verdict ("one part", "none", ...).</summary>
        public static string VerdictName(Verdict verdict) =>
            Marshal.PtrToStringAnsi(FramesNative.tvf_verdict_name((int)verdict));

        /// <summary>The exception of a code: its own class, FramesException for an unknown one.</summary>
        public static FramesException For(FramesErrorCode code, string function, string message) =>
            ByCode.TryGetValue(code, out var make) ? make(function, message)
                                                   : new FramesException(code, function, message);

        internal static int Check(int result, string function)
        {
            if (result >= 0)
                return result;
            string message = Marshal.PtrToStringAnsi(FramesNative.tvf_errmsg());
            throw For((FramesErrorCode)result, function,
                      message.StartsWith(function + ":", StringComparison.Ordinal) ? message : "");
        }

        /// <summary>Runs call with a TVF_Frame over the pinned pixels.</summary>
        internal static unsafe int WithFrame(ReadOnlySpan<byte> pixels, FrameShape shape, string function,
                                             Func<FrameRecord, int> call)
        {
            shape.Check(pixels.Length, function);
            fixed (byte* p = &MemoryMarshal.GetReference(pixels))
            {
                var frame = new FrameRecord
                {
                    Size = (uint)Marshal.SizeOf(typeof(FrameRecord)),
                    Width = shape.Width,
                    Height = shape.Height,
                    Stride = shape.Stride,
                    Format = 0,
                    Data = (IntPtr)p,
                };
                return Check(call(frame), function);
            }
        }
    }

    /// <summary>TVF_Frame: a frame lent to the library for one call.</summary>
    [StructLayout(LayoutKind.Sequential)]
    internal struct FrameRecord
    {
        internal uint Size;
        internal int Width;
        internal int Height;
        internal int Stride;
        internal int Format;
        internal IntPtr Data;
    }

    /// <summary>The frames library's objects, each released once (Dispose or the finalizer).</summary>
    internal sealed class FramesHandle : SafeHandle
    {
        readonly Action<IntPtr> _free;

        internal FramesHandle(IntPtr handle, Action<IntPtr> free) : base(IntPtr.Zero, true)
        {
            _free = free;
            SetHandle(handle);
        }

        public override bool IsInvalid => handle == IntPtr.Zero;

        protected override bool ReleaseHandle()
        {
            _free(handle);
            return true;
        }
    }

    /// <summary>
    /// Camera pixels onto the platform frame of a model. Made by Find,
    /// FromCorners or Load; one call at a time.
    /// </summary>
    public sealed class Calibration : IDisposable
    {
        readonly FramesHandle _handle;

        Calibration(IntPtr handle)
        {
            _handle = new FramesHandle(handle, FramesNative.tvf_calibration_destroy);
        }

        /// <summary>Finds the lit platform's corners in a frame of the empty platform (orientation 0).</summary>
        public static Calibration Find(int model, ReadOnlySpan<byte> empty, FrameShape shape)
        {
            IntPtr made = IntPtr.Zero;
            FramesLibrary.WithFrame(empty, shape, "tvf_calibrate", frame => FramesNative.tvf_calibrate(model, ref frame, out made));
            return new Calibration(made);
        }

        /// <summary>Find over a byte[], the frame starting at offset.</summary>
        public static Calibration Find(int model, byte[] empty, int offset, FrameShape shape) =>
            Find(model, Span(empty, offset), shape);

        /// <summary>From the pixels of the corners (0, 0), (W, 0), (W, H), (0, H) as x, y pairs.</summary>
        public static Calibration FromCorners(int model, int width, int height, double[] corners)
        {
            if (corners == null || corners.Length != 8)
                throw new ArgumentException("eight numbers: x, y of four corners", nameof(corners));
            FramesLibrary.Check(FramesNative.tvf_calibrate_corners(model, width, height, corners, out IntPtr made),
                         "tvf_calibrate_corners");
            return new Calibration(made);
        }

        /// <summary>Reads a calibration Save wrote.</summary>
        public static Calibration Load(string path)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            FramesLibrary.Check(FramesNative.tvf_calibration_load(path, out IntPtr made), "tvf_calibration_load");
            return new Calibration(made);
        }

        /// <summary>Writes the calibration (.yml, .yaml, .xml or .json).</summary>
        public void Save(string path)
        {
            if (path == null)
                throw new ArgumentNullException(nameof(path));
            FramesLibrary.Check(FramesNative.tvf_calibration_save(_handle, path), "tvf_calibration_save");
        }

        public int Model => Info()[0];
        public int Width => Info()[1];
        public int Height => Info()[2];

        /// <summary>0..7: how the library's axes lie in the image.</summary>
        public int Orientation
        {
            get => Info()[3];
            set => FramesLibrary.Check(FramesNative.tvf_calibration_set_orientation(_handle, value),
                                "tvf_calibration_set_orientation");
        }

        /// <summary>The corners (0, 0), (W, 0), (W, H), (0, H) in pixels, as x, y pairs.</summary>
        public double[] Corners
        {
            get
            {
                var corners = new double[8];
                FramesLibrary.Check(FramesNative.tvf_calibration_corners(_handle, corners), "tvf_calibration_corners");
                return corners;
            }
        }

        /// <summary>A camera pixel in the platform frame, library units.</summary>
        public void ToPlatform(double px, double py, out double x, out double y) =>
            FramesLibrary.Check(FramesNative.tvf_calibration_to_platform(_handle, px, py, out x, out y),
                         "tvf_calibration_to_platform");

        /// <summary>A platform point in camera pixels.</summary>
        public void ToImage(double x, double y, out double px, out double py) =>
            FramesLibrary.Check(FramesNative.tvf_calibration_to_image(_handle, x, y, out px, out py),
                         "tvf_calibration_to_image");

        /// <summary>
        /// Finds where the library's +X and +Y lie in the image from two or three
        /// test pushes: for each, a frame from grab, the command through feeder,
        /// a frame. grab returns a frame's pixels (kept pinned until the next grab)
        /// and its shape. Sets the orientation found and returns it;
        /// FramesOrientationException (the calibration unchanged) when the pushes
        /// do not decide it. What grab or feeder throws is rethrown here.
        /// </summary>
        public int Orient(Push[] pushes, Func<Grabbed> grab, Action<FeederCommand> feeder,
                          LocatorConfig? config = null)
        {
            if (pushes == null || grab == null || feeder == null)
                throw new ArgumentNullException(pushes == null ? nameof(pushes) : grab == null ? nameof(grab) : nameof(feeder));
            var callbacks = new OrientCallbacks(grab, feeder);
            FramesNative.GrabFn grabFn = callbacks.Grab;
            FramesNative.FeederFn feederFn = callbacks.Feed;
            int result;
            int found;
            try
            {
                if (config.HasValue)
                {
                    LocatorConfig given = config.Value;
                    given.Size = (uint)Marshal.SizeOf(typeof(LocatorConfig));
                    result = FramesNative.tvf_calibration_orient(_handle, ref given, pushes, pushes.Length, grabFn,
                                                                 feederFn, IntPtr.Zero, out found);
                }
                else
                {
                    result = FramesNative.tvf_calibration_orient_default(_handle, IntPtr.Zero, pushes, pushes.Length,
                                                                         grabFn, feederFn, IntPtr.Zero, out found);
                }
            }
            finally
            {
                callbacks.Unpin();
            }
            GC.KeepAlive(grabFn);
            GC.KeepAlive(feederFn);
            callbacks.Rethrow();
            FramesLibrary.Check(result, "tvf_calibration_orient");
            return found;
        }

        internal FramesHandle Handle => _handle;

        public void Dispose() => _handle.Dispose();

        int[] Info()
        {
            FramesLibrary.Check(FramesNative.tvf_calibration_info(_handle, out int model, out int width, out int height,
                                                           out int orientation),
                         "tvf_calibration_info");
            return new[] { model, width, height, orientation };
        }

        internal static ReadOnlySpan<byte> Span(byte[] pixels, int offset)
        {
            if (pixels == null)
                throw new ArgumentNullException(nameof(pixels));
            if (offset < 0 || offset > pixels.Length)
                throw new ArgumentOutOfRangeException(nameof(offset), offset, "outside the buffer");
            return new ReadOnlySpan<byte>(pixels, offset, pixels.Length - offset);
        }
    }

    /// <summary>A test vibration: the command, and the direction it pushes the part in library units.</summary>
    [StructLayout(LayoutKind.Sequential)]
    public struct Push
    {
        public FeederCommand Command;
        public double DX;
        public double DY;

        public Push(FeederCommand command, double dx, double dy)
        {
            Command = command;
            DX = dx;
            DY = dy;
        }
    }

    /// <summary>A frame a host's grab gives: its pixels and shape.</summary>
    public struct Grabbed
    {
        public byte[] Pixels;
        public FrameShape Shape;

        public Grabbed(byte[] pixels, FrameShape shape)
        {
            Pixels = pixels;
            Shape = shape;
        }
    }

    // The host's grab and feeder as the library calls them: what they throw
    // is held (it must not cross the library's C frames) and rethrown after.
    sealed class OrientCallbacks
    {
        readonly Func<Grabbed> _grab;
        readonly Action<FeederCommand> _feeder;
        GCHandle _pinned;
        System.Runtime.ExceptionServices.ExceptionDispatchInfo _error;

        internal OrientCallbacks(Func<Grabbed> grab, Action<FeederCommand> feeder)
        {
            _grab = grab;
            _feeder = feeder;
        }

        internal int Grab(IntPtr user, ref FrameRecord frame)
        {
            if (_error != null)
                return -1;
            try
            {
                Grabbed grabbed = _grab();
                if (grabbed.Pixels == null)
                    throw new ArgumentNullException(nameof(grabbed.Pixels), "grab gave no pixels");
                grabbed.Shape.Check(grabbed.Pixels.Length, "grab");
                Unpin();
                _pinned = GCHandle.Alloc(grabbed.Pixels, GCHandleType.Pinned);
                frame.Width = grabbed.Shape.Width;
                frame.Height = grabbed.Shape.Height;
                frame.Stride = grabbed.Shape.Stride;
                frame.Format = 0;
                frame.Data = _pinned.AddrOfPinnedObject();
                return 0;
            }
            catch (Exception error)
            {
                _error = System.Runtime.ExceptionServices.ExceptionDispatchInfo.Capture(error);
                return -1;
            }
        }

        internal int Feed(IntPtr user, ref FeederCommand command)
        {
            if (_error != null)
                return -1;
            try
            {
                _feeder(command);
                return 0;
            }
            catch (Exception error)
            {
                _error = System.Runtime.ExceptionServices.ExceptionDispatchInfo.Capture(error);
                return -1;
            }
        }

        internal void Unpin()
        {
            if (_pinned.IsAllocated)
                _pinned.Free();
        }

        internal void Rethrow() => _error?.Throw();
    }

    /// <summary>Finds the part in frames of its calibration's size; one call at a time.</summary>
    public sealed class Locator : IDisposable
    {
        readonly FramesHandle _handle;

        /// <summary>A locator for frames of the calibration (copied: it may be disposed after).</summary>
        public Locator(Calibration calibration) : this(calibration, null) { }

        public Locator(Calibration calibration, LocatorConfig? config)
        {
            if (calibration == null)
                throw new ArgumentNullException(nameof(calibration));
            int result;
            IntPtr made;
            if (config.HasValue)
            {
                LocatorConfig given = config.Value;
                given.Size = (uint)Marshal.SizeOf(typeof(LocatorConfig));
                result = FramesNative.tvf_locator_create(calibration.Handle, ref given, out made);
            }
            else
            {
                result = FramesNative.tvf_locator_create_default(calibration.Handle, IntPtr.Zero, out made);
            }
            FramesLibrary.Check(result, "tvf_locator_create");
            _handle = new FramesHandle(made, FramesNative.tvf_locator_destroy);
        }

        /// <summary>Finds the part in one frame; every verdict is a result, not an error.</summary>
        public Location Locate(ReadOnlySpan<byte> frame, FrameShape shape)
        {
            var location = new Location { Size = (uint)Marshal.SizeOf(typeof(Location)), Reason = "" };
            FramesLibrary.WithFrame(frame, shape, "tvf_locate", f => FramesNative.tvf_locate(_handle, ref f, ref location));
            return location;
        }

        /// <summary>Locate over a byte[], the frame starting at offset.</summary>
        public Location Locate(byte[] frame, int offset, FrameShape shape) =>
            Locate(Calibration.Span(frame, offset), shape);

        /// <summary>Learns the part's area range from a frame with one part; returns the configuration.</summary>
        public LocatorConfig Learn(ReadOnlySpan<byte> frame, FrameShape shape)
        {
            FramesLibrary.WithFrame(frame, shape, "tvf_locator_learn", f => FramesNative.tvf_locator_learn(_handle, ref f));
            return Config;
        }

        /// <summary>The configuration in force.</summary>
        public LocatorConfig Config
        {
            get
            {
                var config = new LocatorConfig { Size = (uint)Marshal.SizeOf(typeof(LocatorConfig)) };
                FramesLibrary.Check(FramesNative.tvf_locator_config(_handle, ref config), "tvf_locator_config");
                return config;
            }
        }

        public void Dispose() => _handle.Dispose();
    }

    /// <summary>After a vibration: settled once two consecutive frames with one part agree within tolerance.</summary>
    public sealed class Settle
    {
        SettleRecord _record;
        readonly double _tolerance;

        public Settle(double tolerance)
        {
            _tolerance = tolerance;
            Restart();
        }

        /// <summary>Starts waiting again: after each vibration.</summary>
        public void Restart()
        {
            _record = new SettleRecord { Size = (uint)Marshal.SizeOf(typeof(SettleRecord)) };
            FramesLibrary.Check(FramesNative.tvf_settle_start(ref _record, _tolerance), "tvf_settle_start");
        }

        /// <summary>The next frame's location; true once settled (hostWaited: the host's own wait has passed).</summary>
        public bool Feed(Location location, bool hostWaited = false)
        {
            location.Size = (uint)Marshal.SizeOf(typeof(Location));
            return FramesLibrary.Check(FramesNative.tvf_settle_feed(ref _record, ref location, hostWaited ? 1 : 0),
                                "tvf_settle_feed") == 1;
        }

        /// <summary>Frames given since the start.</summary>
        public int FrameCount => _record.Frames;

        /// <summary>The settled position; false while not settled.</summary>
        public bool Position(out double x, out double y)
        {
            x = _record.X;
            y = _record.Y;
            return _record.Settled != 0;
        }
    }

    [StructLayout(LayoutKind.Sequential)]
    internal struct SettleRecord
    {
        internal uint Size;
        internal double Tolerance;
        internal int Frames;
        internal int Settled;
        internal double X;
        internal double Y;
        internal double LastX;
        internal double LastY;
        internal int HaveLast;
    }

    internal static class FramesNative
    {
        const string Lib = "tavrel_frames";

        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvf_strerror(int code);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvf_errmsg();
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvf_version();
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr tvf_verdict_name(int verdict);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvf_scene_init(ref Scene scene, int model);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_render(ref Scene scene, IntPtr pixels, int width, int height, int stride);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibrate(int model, ref FrameRecord empty, out IntPtr cal);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibrate_corners(int model, int width, int height, double[] corners,
                                                         out IntPtr cal);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvf_calibration_destroy(IntPtr cal);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_info(FramesHandle cal, out int model, out int width,
                                                        out int height, out int orientation);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_corners(FramesHandle cal, [Out] double[] corners);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_set_orientation(FramesHandle cal, int orientation);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_to_platform(FramesHandle cal, double px, double py,
                                                               out double x, out double y);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_to_image(FramesHandle cal, double x, double y,
                                                            out double px, out double py);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_save(FramesHandle cal, string path);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_load(string path, out IntPtr cal);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvf_locator_config_init(ref LocatorConfig config);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_locator_create(FramesHandle cal, ref LocatorConfig config,
                                                      out IntPtr locator);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl, EntryPoint = "tvf_locator_create")]
        internal static extern int tvf_locator_create_default(FramesHandle cal, IntPtr noConfig,
                                                              out IntPtr locator);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void tvf_locator_destroy(IntPtr locator);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_locate(FramesHandle locator, ref FrameRecord frame, ref Location location);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_locator_learn(FramesHandle locator, ref FrameRecord frame);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_locator_config(FramesHandle locator, ref LocatorConfig config);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_location_seen(ref Location location, ref float x, ref float y);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int GrabFn(IntPtr user, ref FrameRecord frame);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate int FeederFn(IntPtr user, ref FeederCommand command);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_calibration_orient(FramesHandle cal, ref LocatorConfig config, Push[] pushes,
                                                          int count, GrabFn grab, FeederFn feeder, IntPtr user,
                                                          out int orientation);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl, EntryPoint = "tvf_calibration_orient")]
        internal static extern int tvf_calibration_orient_default(FramesHandle cal, IntPtr noConfig, Push[] pushes,
                                                                  int count, GrabFn grab, FeederFn feeder,
                                                                  IntPtr user, out int orientation);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_settle_start(ref SettleRecord settle, double tolerance);
        [DllImport(Lib, CallingConvention = CallingConvention.Cdecl)]
        internal static extern int tvf_settle_feed(ref SettleRecord settle, ref Location location, int hostWaited);
    }
}
