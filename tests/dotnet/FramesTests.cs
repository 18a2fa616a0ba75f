// Tests of the .NET frames binding under Mono, against libtavrel_frames.
//
//   mono FramesTests.exe LAYOUT_PROBE
//
// LAYOUT_PROBE prints the C compiler's sizes and offsets of the frames
// records. Exits 0 when every test passes; results go to standard error.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using Tavrel;
using Tavrel.Frames;

static class FramesTests
{
    static int s_failures;
    const int Model = 0;
    static readonly Part Centre = new Part(95, 77.5, 20);
    static readonly FrameShape Vga = new FrameShape(640, 480);

    static int Main(string[] args)
    {
        if (args.Length != 1)
        {
            Console.Error.WriteLine("usage: mono FramesTests.exe LAYOUT_PROBE");
            return 2;
        }
        Run("records match the C header", () => RecordsMatchTheHeader(args[0]));
        Run("frames are read and written in the host's memory, at any offset and stride", FramesStayInPlace);
        Run("bad frames and bad input are refused, each with its exception", BadInputIsRefused);
        Run("each verdict, and only one part is seen", EachVerdict);
        Run("a calibration keeps its corners and orientation through a file", CalibrationRoundTrips);
        Run("settling waits for two frames that agree", SettlingWaits);
        Run("the orientation is found from two pushes in all eight mountings", OrientationIsFound);
        Console.Error.WriteLine(s_failures == 0 ? "all passed" : $"{s_failures} failed");
        return s_failures == 0 ? 0 : 1;
    }

    static void Run(string name, Action test)
    {
        try
        {
            test();
            Console.Error.WriteLine("ok   " + name);
        }
        catch (Exception error)
        {
            s_failures++;
            Console.Error.WriteLine($"FAIL {name}: {error}");
        }
    }

    static void Expect(bool condition, string what)
    {
        if (!condition)
            throw new Exception("expected " + what);
    }

    static void ExpectThrows<T>(Action call, string what) where T : Exception
    {
        try
        {
            call();
        }
        catch (T)
        {
            return;
        }
        throw new Exception($"expected {typeof(T).Name}: {what}");
    }

    // C record -> the C# record that mirrors it; members map by name.
    static readonly Dictionary<string, Type> Records = new Dictionary<string, Type>
    {
        ["TVF_Frame"] = typeof(FrameRecord),
        ["TVF_Part"] = typeof(Part),
        ["TVF_Scene"] = typeof(Scene),
        ["TVF_LocatorConfig"] = typeof(LocatorConfig),
        ["TVF_Location"] = typeof(Location),
        ["TVF_Push"] = typeof(Push),
        ["TVF_Settle"] = typeof(SettleRecord),
    };

    static readonly Dictionary<string, string> Fields = new Dictionary<string, string>
    {
        ["TVF_Scene.part"] = "Part0", ["TVF_Push.dx"] = "DX", ["TVF_Push.dy"] = "DY",
    };

    static string PascalCase(string snakeCase) =>
        string.Concat(snakeCase.Split('_').Select(w => char.ToUpperInvariant(w[0]) + w.Substring(1)));

    static void RecordsMatchTheHeader(string probe)
    {
        var start = new System.Diagnostics.ProcessStartInfo(probe) { RedirectStandardOutput = true, UseShellExecute = false };
        int checkedFacts = 0;
        using (var process = System.Diagnostics.Process.Start(start))
        {
            string line;
            while ((line = process.StandardOutput.ReadLine()) != null)
            {
                string[] parts = line.Split(' ');
                int value = int.Parse(parts[2]);
                if (parts[0] == "size")
                {
                    Expect(Marshal.SizeOf(Records[parts[1]]) == value, $"sizeof {parts[1]} == {value}");
                }
                else if (parts[0] == "offset")
                {
                    string record = parts[1].Split('.')[0];
                    if (!Fields.TryGetValue(parts[1], out string field))
                        field = PascalCase(parts[1].Split('.')[1]);
                    int at = (int)Marshal.OffsetOf(Records[record], field);
                    Expect(at == value, $"offset of {parts[1]} == {value}, not {at}");
                }
                else
                {
                    continue;
                }
                checkedFacts++;
            }
            process.WaitForExit();
            Expect(process.ExitCode == 0 && checkedFacts > 50, "the probe's full report");
        }
    }

    static Scene SceneOf(params Part[] parts)
    {
        var scene = Scene.Defaults(Model);
        scene.PartCount = parts.Length;
        if (parts.Length > 0)
            scene.Part0 = parts[0];
        if (parts.Length > 1)
            scene.Part1 = parts[1];
        return scene;
    }

    static Calibration s_calibration;
    static Locator s_locator;

    static Locator Learned()
    {
        if (s_locator == null)
        {
            s_calibration = Calibration.Find(Model, SceneOf().Render(), Vga);
            s_locator = new Locator(s_calibration);
            s_locator.Learn(SceneOf(Centre).Render(), Vga);
        }
        return s_locator;
    }

    static void FramesStayInPlace()
    {
        // The frame rendered 24 bytes into a buffer with rows 700 bytes apart.
        const int offset = 24, stride = 700;
        var shape = new FrameShape(640, 480, stride);
        var big = Enumerable.Repeat((byte)7, (int)shape.Bytes + offset + 40).ToArray();
        Scene scene = SceneOf(Centre);
        scene.Render(new Span<byte>(big, offset, big.Length - offset), stride);
        byte[] contiguous = scene.Render();
        for (int row = 0; row < 480; row++)
        {
            Expect(new ReadOnlySpan<byte>(big, offset + row * stride, 640).SequenceEqual(
                       new ReadOnlySpan<byte>(contiguous, row * 640, 640)), $"row {row} drawn in place");
            if (row < 479)
                Expect(big.Skip(offset + row * stride + 640).Take(stride - 640).All(b => b == 7),
                       $"nothing written between rows {row} and {row + 1}");
        }
        Expect(big.Take(offset).All(b => b == 7) && big.Skip(offset + (int)shape.Bytes).All(b => b == 7),
               "nothing written before or after the frame");

        Location fromContiguous = Learned().Locate(contiguous, 0, Vga);
        Location fromStrided = Learned().Locate(big, offset, shape);
        Expect(fromContiguous.Verdict == Verdict.One && fromStrided.X == fromContiguous.X &&
               fromStrided.Y == fromContiguous.Y && fromStrided.AngleDeg == fromContiguous.AngleDeg,
               "the same location from the strided frame as from a contiguous copy");

        // Unmanaged memory as a span: the library reads it where it lies.
        IntPtr native = Marshal.AllocHGlobal(640 * 480);
        try
        {
            unsafe
            {
                var span = new Span<byte>((void*)native, 640 * 480);
                new ReadOnlySpan<byte>(contiguous).CopyTo(span);
                Location fromNative = Learned().Locate(span, Vga);
                Expect(fromNative.X == fromContiguous.X && fromNative.Y == fromContiguous.Y,
                       "the same location from unmanaged memory");
            }
        }
        finally
        {
            Marshal.FreeHGlobal(native);
        }
    }

    static void BadInputIsRefused()
    {
        byte[] frame = SceneOf(Centre).Render();
        ExpectThrows<ArgumentException>(() => Learned().Locate(frame, 1, Vga), "a buffer one byte short");
        ExpectThrows<ArgumentOutOfRangeException>(() => Learned().Locate(frame, 0, new FrameShape(640, 480, 600)),
                                                  "rows closer than the width");
        ExpectThrows<ArgumentNullException>(() => Learned().Locate(null, 0, Vga), "a null buffer");
        ExpectThrows<CalibrationFitException>(() => Learned().Locate(frame, 0, new FrameShape(600, 480)),
                                              "a frame of another size than the calibration's");
        ExpectThrows<FramesNotFoundException>(() => Calibration.Find(Model, new byte[640 * 480], Vga),
                                              "no lit platform in a black frame");
        ExpectThrows<FramesIOException>(() => Calibration.Load("/nonexistent/calibration.yml"), "a missing file");
        ExpectThrows<ArgumentOutOfRangeException>(() => Learned().Learn(new byte[0], new FrameShape(0, 0)),
                                                  "an empty frame");
        var scene = SceneOf(Centre);
        scene.Tilt = 0.9;
        ExpectThrows<FramesArgumentException>(() => scene.Render(), "a tilt out of range");
        Expect(Learned().Locate(frame, 0, Vga).Verdict == Verdict.One, "the locator unchanged after refusals");

        var classes = new HashSet<Type>();
        foreach (FramesErrorCode code in Enum.GetValues(typeof(FramesErrorCode)))
        {
            if (code == FramesErrorCode.Ok)
                continue;
            var error = FramesLibrary.For(code, "f", "");
            Expect(error.Code == code && classes.Add(error.GetType()) && error.GetType() != typeof(FramesException),
                   $"a class of its own for {code}");
        }
    }

    static void EachVerdict()
    {
        var cases = new[]
        {
            new VerdictCase { Name = "none", Scene = SceneOf(), Verdict = Verdict.None },
            new VerdictCase { Name = "one", Scene = SceneOf(Centre), Verdict = Verdict.One },
            new VerdictCase { Name = "two", Scene = SceneOf(new Part(50, 40), new Part(140, 110)), Verdict = Verdict.Several },
            new VerdictCase { Name = "at the edge", Scene = SceneOf(new Part(1, 77.5)), Verdict = Verdict.AtEdge },
            new VerdictCase { Name = "too dark", Scene = With(SceneOf(Centre), s => { s.Backlight = 25; s.Dark = 5; return s; }),
                              Verdict = Verdict.TooDark },
            new VerdictCase { Name = "saturated", Scene = With(SceneOf(Centre), s => { s.Backlight = 400; return s; }),
                              Verdict = Verdict.Saturated },
        };
        foreach (var c in cases)
        {
            Location where = Learned().Locate(c.Scene.Render(), 0, Vga);
            Expect(where.Verdict == c.Verdict, $"{c.Name}: {c.Verdict}, got {where.Verdict} ({where.Reason})");
            bool seen = where.Seen(out float x, out float y);
            Expect(seen == (c.Verdict == Verdict.One), $"{c.Name}: seen only for one part");
            if (seen)
                Expect(Math.Abs(x - Centre.X) < 0.1 && Math.Abs(y - Centre.Y) < 0.1 &&
                       Math.Abs(where.AngleDeg - Centre.AngleDeg) < 1, $"{c.Name}: where the part is");
            else
                Expect(where.Reason.Length > 0, $"{c.Name}: a reason");
        }
    }

    sealed class VerdictCase
    {
        public string Name;
        public Scene Scene;
        public Verdict Verdict;
    }

    static Scene With(Scene scene, Func<Scene, Scene> change) => change(scene);

    static void CalibrationRoundTrips()
    {
        string path = Path.Combine(Path.GetTempPath(), $"tavrel-frames-{System.Diagnostics.Process.GetCurrentProcess().Id}.yml");
        var scene = Scene.Defaults(Model);
        scene.Tilt = 0.2;
        scene.PartCount = 0;
        using (var found = Calibration.Find(Model, scene.Render(), Vga))
        {
            found.Orientation = 5;
            found.Save(path);
            ExpectThrows<FramesArgumentException>(() => found.Orientation = 8, "orientation 8");
            using (var loaded = Calibration.Load(path))
            {
                Expect(loaded.Orientation == 5 && loaded.Model == Model && loaded.Width == 640 && loaded.Height == 480,
                       "the orientation, model and size kept");
                Expect(loaded.Corners.Zip(found.Corners, (a, b) => Math.Abs(a - b)).Max() < 1e-9, "the corners kept");
            }
            using (var given = Calibration.FromCorners(Model, 640, 480, found.Corners))
            {
                given.Orientation = found.Orientation;
                Expect(given.Corners.Zip(found.Corners, (a, b) => Math.Abs(a - b)).Max() < 1e-9, "the corners given");
                given.ToImage(40, 30, out double px, out double py);
                given.ToPlatform(px, py, out double x, out double y);
                Expect(Math.Abs(x - 40) < 1e-9 && Math.Abs(y - 30) < 1e-9, "a point there and back");
            }
        }
        File.Delete(path);
    }

    static void OrientationIsFound()
    {
        var pushes = new[] { new Push(new FeederCommand { RunTime = 100 }, 1, 0),
                             new Push(new FeederCommand { RunTime = 200 }, 0, 1) };
        for (int mounted = 0; mounted < 8; mounted++)
        {
            var scene = Scene.Defaults(Model);
            scene.Orientation = mounted;
            scene.PartCount = 0;
            using (var cal = Calibration.Find(Model, scene.Render(), Vga))
            {
                scene.PartCount = 1;
                scene.Part0 = new Part(95, 77.5);
                int found = cal.Orient(pushes, () => new Grabbed(scene.Render(), Vga), command =>
                {
                    bool alongX = command.RunTime == 100;
                    scene.Part0.X += alongX ? 12 : 0;
                    scene.Part0.Y += alongX ? 0 : 12;
                });
                Expect(found == mounted && cal.Orientation == mounted, $"orientation {mounted}, found {found}");
                ExpectThrows<InvalidOperationException>(
                    () => cal.Orient(pushes, () => { throw new InvalidOperationException("unplugged"); }, c => { }),
                    "the grab's exception rethrown");
                Expect(cal.Orientation == mounted, "the calibration unchanged by the failed orientation");
            }
        }
    }

    static void SettlingWaits()
    {
        var settle = new Settle(0.2);
        var at = new[] { 0.0, 3.0, 3.05 }.Select(dx => Learned().Locate(SceneOf(new Part(95 + dx, 77.5)).Render(), 0, Vga)).ToArray();
        Expect(!settle.Feed(at[0]) && !settle.Feed(at[1]) && settle.Feed(at[2]), "settled on the third frame");
        Expect(settle.FrameCount == 3 && settle.Position(out double x, out double y) && Math.Abs(x - 98.05) < 0.1,
               "three frames, the settled position");
        settle.Restart();
        Expect(settle.Feed(at[0], hostWaited: true) && settle.FrameCount == 1, "the host's wait settles at once");
        ExpectThrows<FramesArgumentException>(() => new Settle(0), "a tolerance of 0");
    }
}
