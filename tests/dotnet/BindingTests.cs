// Tests of the .NET binding under Mono, against libtavrel.so and the host kit.
//
//   mono BindingTests.exe LAYOUT_PROBE
//
// LAYOUT_PROBE prints the C compiler's record sizes and offsets. Exits 0 when
// every test passes; results go to standard error, which no capture takes.
// ctest also fails the run if the library's diagnostic text reaches standard
// output.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Threading;
using Tavrel;

static partial class BindingTests
{
    static int s_failures;
    static string s_test;

    static int Main(string[] args)
    {
        if (args.Length != 1)
        {
            Console.Error.WriteLine("usage: mono BindingTests.exe LAYOUT_PROBE");
            return 2;
        }
        Run("records match the C headers", () => RecordsMatchTheHeaders(args[0]));
        Run("a raw host of the five entry points tunes as the session does", RawHostTunesAsTheSessionDoes);
        Run("every action of every model tunes, with its events", EveryActionTunesWithEvents);
        Run("a feeder that cannot move the part gets an early verdict", HopelessFeederFailsEarly);
        Run("an exception in a callback reaches the caller of the step", CallbackExceptionSurfaces);
        Run("bad arguments and a second session are refused", BadArgumentsAreRefused);
        Run("the library's text goes where the host asks", DiagnosticsGoWhereAsked);
        Run("each kit object is released once, by Dispose or when forgotten", ObjectsAreReleasedOnce);
        Run("a session disposed on another thread ends when its step returns", DisposeWaitsForTheStep);
        Run("each refusal is its own exception with the kit's message", RefusalsAreTheirOwnExceptions);
        Run("a thread aborted inside a callback leaves the kit usable", AbortInsideCallbackIsSurvived);
        Run("host answers leave the library's statuses to the host", HostAnswersLeaveStatusesToTheHost);
        Run("a trace appears at Close, and nothing without it", TraceAppearsAtCloseOnly);
        Run("the recipe store re-tunes from its recipe and hands out the command", RecipesReTuneAndProduce);
        Run("commissioning fails a feeder no word moves, with the reason", CommissioningFailsHopeless);
        RunInstanceTests();
        Console.Error.WriteLine(s_failures == 0 ? "all passed" : $"{s_failures} failed");
        return s_failures == 0 ? 0 : 1;
    }

    static void Run(string name, Action test)
    {
        s_test = name;
        int failedBefore = s_failures;
        try
        {
            test();
        }
        catch (Exception error)
        {
            Fail(name, error);
        }
        if (s_failures == failedBefore)
            Console.Error.WriteLine("ok   " + name);
    }

    static void Fail(string name, Exception error)
    {
        s_failures++;
        Console.Error.WriteLine($"FAIL {name}: {error}");
    }

    static void Expect(bool condition, string what)
    {
        if (!condition)
            throw new Exception("expected " + what);
    }

    // One row of a table: a failure names the row, and the next rows run.
    static void Row(string name, Action check)
    {
        try
        {
            check();
        }
        catch (Exception error)
        {
            Fail($"{s_test} [{name}]", error);
        }
    }

    // Collects what only a forgotten object refers to, with its finalizers.
    static void CollectForgotten()
    {
        for (int round = 0; round < 2; round++)
        {
            GC.Collect();
            GC.WaitForPendingFinalizers();
        }
    }

    // Runs body on a thread of its own that ends with it, so that no stack
    // slot Mono scans conservatively still holds what body made.
    static T OnItsOwnThread<T>(Func<T> body)
    {
        T result = default(T);
        var thread = new Thread(() => result = body());
        thread.Start();
        thread.Join();
        return result;
    }

    static void ExpectThrows<T>(Action call, Func<T, bool> check, string what) where T : Exception
    {
        try
        {
            call();
        }
        catch (T error)
        {
            Expect(check(error), what + ", got " + error.Message);
            return;
        }
        throw new Exception("expected " + typeof(T).Name + ": " + what);
    }

    // C member -> (C# record, field); the C# records carry their own names.
    static readonly Dictionary<string, Type> Records = new Dictionary<string, Type>
    {
        ["ST_HostMateInf"] = typeof(HostMateInf),
        ["ST_HostFedColC"] = typeof(FeederCommand),
        ["ST_HostLogicParam"] = typeof(HostLogicParam),
        ["TVK_Geometry"] = typeof(Geometry),
        ["TVK_SessionConfig"] = typeof(SessionConfig),
        ["TVK_StepReport"] = typeof(StepReport),
        ["TVK_SimRange"] = typeof(SimRange),
        ["TVK_SimRanges"] = typeof(SimRanges),
        ["TVK_SimParams"] = typeof(SimParams),
        ["TVK_SimProbe"] = typeof(SimProbe),
    };

    static readonly Dictionary<string, string> Fields = new Dictionary<string, string>
    {
        ["ST_HostMateInf.fPosX"] = "PosX", ["ST_HostMateInf.fPosY"] = "PosY",
        ["ST_HostMateInf.bMateReco"] = "MateReco",
        ["ST_HostFedColC.enAct"] = "Action", ["ST_HostFedColC.u16MotParam"] = "Motor0",
        ["ST_HostFedColC.u16RunTim"] = "RunTime", ["ST_HostFedColC.u16Fill"] = "Fill",
        ["ST_HostLogicParam.u32Reserve"] = "Reserved", ["ST_HostLogicParam.u16AmpInit"] = "AmpInit",
        ["ST_HostLogicParam.u16AmpMax"] = "AmpMax", ["ST_HostLogicParam.u16FreInit"] = "FreInit",
        ["ST_HostLogicParam.u16FreMax"] = "FreMax", ["ST_HostLogicParam.u16FedRunTim"] = "RunTime",
        ["ST_HostLogicParam.u16Reserve"] = "Reserved2",
        ["TVK_StepReport.dx"] = "DX", ["TVK_StepReport.dy"] = "DY",
        ["TVK_SimRanges.age_h"] = "AgeHours", ["TVK_SimParams.age_h"] = "AgeHours",
        ["TVK_SimProbe.speed_mm_s"] = "SpeedMmPerS",
    };

    // C constant prefixes -> the C# enum that carries them.
    static readonly Dictionary<string, Type> EnumPrefixes = new Dictionary<string, Type>
    {
        ["TVK_E_"] = typeof(ErrorCode),
        ["TVK_ANSWERS_"] = typeof(Answers),
    };

    static readonly Dictionary<string, string> EnumMembers = new Dictionary<string, string>
    {
        ["TVK_E_ARG"] = "Argument", ["TVK_E_IO"] = "IO", ["TVK_E_NOMEM"] = "NoMemory",
    };

    // The C# enum member of a C constant this test checks, from the table
    // or by its name's last part.
    static bool EnumMemberOf(string constant, out object member)
    {
        member = null;
        foreach (var prefix in EnumPrefixes)
        {
            if (!constant.StartsWith(prefix.Key))
                continue;
            if (!EnumMembers.TryGetValue(constant, out string name))
                name = PascalCase(constant.Substring(prefix.Key.Length));
            member = Enum.Parse(prefix.Value, name);
            return true;
        }
        return false;
    }

    static string PascalCase(string snakeCase)
    {
        var name = new System.Text.StringBuilder();
        foreach (var word in snakeCase.Split('_'))
            name.Append(char.ToUpperInvariant(word[0])).Append(word.Substring(1).ToLowerInvariant());
        return name.ToString();
    }

    // The C# field of a C member: from the table, else snake_case to PascalCase.
    static string FieldOf(string member)
    {
        if (Fields.TryGetValue(member, out string field))
            return field;
        return PascalCase(member.Substring(member.IndexOf('.') + 1));
    }

    static void RecordsMatchTheHeaders(string probe)
    {
        Layout.Verify();
        var start = new ProcessStartInfo(probe) { RedirectStandardOutput = true, UseShellExecute = false };
        int sizes = 0, offsets = 0;
        using (var process = Process.Start(start))
        {
            string line;
            while ((line = process.StandardOutput.ReadLine()) != null)
            {
                var parts = line.Split(' ');
                string record = parts[1].Split('.')[0];
                int value = int.Parse(parts[2]);
                if (parts[0] == "size")
                {
                    Expect(Marshal.SizeOf(Records[record]) == value, $"sizeof {record} == {value}");
                    sizes++;
                }
                else if (parts[0] == "offset")
                {
                    int at = (int)Marshal.OffsetOf(Records[record], FieldOf(parts[1]));
                    Expect(at == value, $"offset of {parts[1]} == {value}, not {at}");
                    offsets++;
                }
                else if (parts[0] == "const" && EnumMemberOf(parts[1], out object member))
                {
                    Expect(Convert.ToInt32(member) == value, $"{member.GetType().Name}.{member} == {parts[1]} {value}");
                }
            }
            process.WaitForExit();
            Expect(process.ExitCode == 0 && sizes == Records.Count && offsets > 60, "the probe's full report");
        }
    }

    // The feeder tavrel-sim draws for a model and action, the part at its start.
    static SimFeeder FeederFor(int model, int action, out float startX, out float startY)
    {
        var feeder = new SimFeeder(model, SimFeeder.MixSeed(1, (ulong)model, 0),
                                   SimFeeder.MixSeed(1, (ulong)model * 1000003, (ulong)action + 1));
        SimFeeder.Platform(model, out float width, out float height);
        Geometry.StartPoint(model, action, width, height, out startX, out startY);
        feeder.Place(startX, startY);
        return feeder;
    }

    // The callbacks are made here, so that once this returns nothing on the
    // caller's stack refers to them: only Library's static fields do.
    [MethodImpl(MethodImplOptions.NoInlining)]
    static bool InitRawHost(SimFeeder feeder, List<FeederCommand> commands, List<int> statuses,
                            int model, int action)
    {
        return Library.Init(
            () =>
            {
                feeder.Camera(out float x, out float y);
                return new HostMateInf(x, y, true);
            },
            command =>
            {
                commands.Add(command);
                feeder.Vibrate(command);
                return 0;
            },
            status =>
            {
                statuses.Add(status);
                return 0;
            },
            model, action);
    }

    static StepReport TuneWithSession(int model, int action, out int arrivals)
    {
        using (var feeder = FeederFor(model, action, out float startX, out float startY))
        using (var session = new Session(model, action, feeder.Camera, feeder.Vibrate))
        {
            int arrived = 0, stepped = 0, decided = 0;
            session.Stepped += (s, e) => stepped++;
            session.Arrived += (s, e) =>
            {
                arrived++;
                feeder.Place(startX, startY);
            };
            session.Decided += (s, e) => decided++;
            var last = session.Run();
            Expect(stepped == last.Step + 1 && decided == 1, "one Stepped event per step, one Decided");
            Expect(session.Outcome == last.Outcome && session.Reason == last.Reason, "outcome and reason");
            arrivals = arrived;
            return last;
        }
    }

    static void RawHostTunesAsTheSessionDoes()
    {
        const int model = 0, action = 8;
        var commands = new List<FeederCommand>();
        var statuses = new List<int>();
        TaskState task = TaskState.Adjusting;
        using (Diagnostics.Discard())
        using (var feeder = FeederFor(model, action, out float startX, out float startY))
        {
            Expect(InitRawHost(feeder, commands, statuses, model, action), "TVLInit to accept model 0, action 8");
            for (int step = 0; step < 3000 && task != TaskState.End; step++)
            {
                statuses.Clear();
                // Only the static fields keep the callbacks alive now.
                GC.Collect();
                GC.WaitForPendingFinalizers();
                task = Library.Task();
                feeder.Camera(out float x, out float y);
                if (statuses.Contains((int)Status.Tuned))
                    Library.Command(HostCommand.Verify);
                else if (statuses.Contains((int)Status.Verified))
                    Library.Command(Geometry.InTarget(model, action, x, y) ? HostCommand.Success : HostCommand.Restart);
                else if (statuses.Contains((int)Status.Waiting) && Geometry.InTarget(model, action, x, y))
                    feeder.Place(startX, startY);
            }
            Library.Init(null, null, null, model, action);
        }
        Expect(task == TaskState.End, "the task to end");
        Expect(commands.TrueForAll(c => c.Action == action && c.Fill == 0), "commands of action 8, filler 0");
        var last = TuneWithSession(model, action, out int arrivals);
        Expect(commands.Count == last.Vibrations, $"{last.Vibrations} vibrations, got {commands.Count}");
        Expect(commands[commands.Count - 1].Equals(last.Command), "the same final command");

        using (Diagnostics.Discard())
        {
            Expect(!Library.Init(null, null, null, 0, 11), "TVLInit to refuse action 11");
            Library.Init(null, null, null, 1, 3);
            var set = new HostLogicParam { AmpInit = 12, AmpMax = 34, FreInit = 56, FreMax = 78, RunTime = 910 };
            Library.SetParams(set);
            var read = Library.Params();
            Expect(read.AmpInit == 12 && read.AmpMax == 34 && read.FreInit == 56 && read.FreMax == 78 &&
                   read.RunTime == 910, "the parameters back by value");
        }
    }

    static void EveryActionTunesWithEvents()
    {
        for (int model = 0; model < Kit.ModelCount; model++)
        {
            for (int action = 0; action < Kit.ActionCount; action++)
            {
                var last = TuneWithSession(model, action, out int arrivals);
                string which = $"model {model} action {action}";
                Expect(last.Outcome == Outcome.Tuned, which + " tuned: " + last.Reason);
                Expect(last.Task == TaskState.End && last.Command.Action == action, which + " ended");
                Expect(Geometry.InTarget(model, action, last.X, last.Y), which + " in its target");
            }
        }
    }

    static void HopelessFeederFailsEarly()
    {
        Camera stuck = (out float x, out float y) =>
        {
            x = 95;
            y = 77.5F;
            return true;
        };
        using (var session = new Session(0, 0, stuck, command => { }))
        {
            var last = session.Run();
            Expect(last.Outcome == Outcome.Failed, "an early verdict, got " + last.Outcome);
            Expect(last.Reason.Contains("swept its whole frequency window"), "a reason, got " + last.Reason);
            Expect(last.Vibrations > 0 && last.Vibrations < 3000, "fewer vibrations than the budget");
        }
    }

    static void CallbackExceptionSurfaces()
    {
        using (var feeder = FeederFor(0, 0, out float startX, out float startY))
        {
            int calls = 0;
            Camera failing = (out float x, out float y) =>
            {
                if (++calls == 2)
                    throw new InvalidOperationException("camera unplugged");
                return feeder.Camera(out x, out y);
            };
            using (var session = new Session(0, 0, failing, feeder.Vibrate))
            {
                session.Step();
                ExpectThrows<InvalidOperationException>(() => session.Step(),
                                                        e => e.Message == "camera unplugged", "the camera's exception");
                session.Step();
                Expect(calls == 3, "the host to go on after the exception");
            }
            using (var next = new Session(0, 1, feeder.Camera, feeder.Vibrate))
                next.Step();
        }
    }

    static void BadArgumentsAreRefused()
    {
        Camera none = (out float x, out float y) =>
        {
            x = y = 0;
            return false;
        };
        ExpectThrows<ArgumentOutOfRangeException>(() => new Session(3, 0, none, c => { }),
                                                  e => e.ParamName == "model", "model 3 refused");
        ExpectThrows<ArgumentOutOfRangeException>(() => Geometry.Of(0, 11),
                                                  e => e.ParamName == "action", "action 11 refused");
        ExpectThrows<ArgumentNullException>(() => new Session(0, 0, null, c => { }),
                                            e => e.ParamName == "camera", "a null camera refused");
        ExpectThrows<ArgumentOutOfRangeException>(
            () => new Session(0, 0, none, c => { }, new SessionOptions { MaxSteps = -1 }),
            e => e.ParamName == "MaxSteps", "a negative budget refused");
        Expect(!Diagnostics.Active, "no capture left behind");
        using (var session = new Session(0, 0, none, c => { }))
        {
            ExpectThrows<TavrelBusyException>(() => new Session(0, 1, none, c => { }),
                                              e => e.Code == ErrorCode.Busy, "a second session refused");
            // The refused one must not have let go of the running session's callbacks.
            GC.Collect();
            GC.WaitForPendingFinalizers();
            session.Step();
            ExpectThrows<ArgumentOutOfRangeException>(() => session.Command((HostCommand)9),
                                                      e => e.ParamName == "command", "command 9 refused");
            session.Command(HostCommand.End);
            Expect(session.Outcome == Outcome.Stopped, "End to stop the session");
            ExpectThrows<TavrelStateException>(() => session.Step(), e => e.Code == ErrorCode.State,
                                               "no step after the end");
        }
    }

    static void DiagnosticsGoWhereAsked()
    {
        var lines = new List<string>();
        using (var feeder = FeederFor(0, 0, out float startX, out float startY))
        {
            var options = new SessionOptions { DiagnosticsLines = lines.Add };
            using (var session = new Session(0, 0, feeder.Camera, feeder.Vibrate, options))
            {
                session.Step();
                ExpectThrows<TavrelBusyException>(() => Diagnostics.ToLines(line => { }),
                                                  e => e.Code == ErrorCode.Busy, "a second capture refused");
                // The refused one must not have let go of the running capture's function.
                int delivered = lines.Count;
                GC.Collect();
                GC.WaitForPendingFinalizers();
                session.Step();
                Expect(lines.Count > delivered, "lines after the refused capture");
            }
        }
        Expect(lines.Contains("Logic Init"), "the line 'Logic Init'");
        Expect(lines.Exists(line => line.Contains("Task Run")), "a 'Task Run' line");
        Expect(!Diagnostics.Active, "the capture stopped with the session");
    }

    // The kit's own functions on a raw handle, to see that a released one is
    // refused: each acts on its object when it is still live.
    static class Raw
    {
        const string Kit = "libtavrel_hostkit.so.1";
        public const int HandleRefused = -10;

        [DllImport(Kit)] public static extern int tvk_session_end(IntPtr session);
        [DllImport(Kit)] public static extern int tvk_recorder_close(IntPtr recorder);
        [DllImport(Kit)] public static extern int tvk_sim_place(IntPtr sim, float x, float y);
    }

    static Camera NoPart = (out float x, out float y) =>
    {
        x = y = 0;
        return false;
    };

    static string TempPath(string name) => Path.Combine(Path.GetTempPath(), $"tavrel-dotnet-{Process.GetCurrentProcess().Id}-{name}");

    // A kind of kit object: how to make one, a call that needs it live, and
    // whether the one a token named is gone (the check may act on a live one).
    sealed class Owned
    {
        public string Name;
        public Func<IDisposable> Make;
        public Action<IDisposable> Use;
        public Func<IDisposable, Func<bool>> ReleasedCheck;
    }

    static readonly Owned[] OwnedKinds =
    {
        new Owned
        {
            Name = "session",
            Make = () => new Session(0, 0, NoPart, c => { }),
            Use = o => ((Session)o).Step(),
            ReleasedCheck = o =>
            {
                IntPtr token = ((Session)o).Handle.DangerousGetHandle();
                return () => Raw.tvk_session_end(token) == Raw.HandleRefused && !Diagnostics.Active;
            },
        },
        new Owned
        {
            Name = "capture",
            Make = () => Diagnostics.Discard(),
            Use = o => ((Diagnostics)o).Pump(),
            ReleasedCheck = o => () => !Diagnostics.Active,
        },
        new Owned
        {
            Name = "recorder",
            Make = () => new Recorder(TempPath("owned.csv"), 0, 0),
            Use = o => ((Recorder)o).Write(0, Kit.NewStepReport(), false),
            ReleasedCheck = o =>
            {
                IntPtr token = ((Recorder)o).Handle.DangerousGetHandle();
                return () => Raw.tvk_recorder_close(token) == Raw.HandleRefused;
            },
        },
        new Owned
        {
            Name = "simulated feeder",
            Make = () => new SimFeeder(0, 1, 1),
            Use = o => ((SimFeeder)o).Place(10, 10),
            ReleasedCheck = o =>
            {
                IntPtr token = ((SimFeeder)o).Handle.DangerousGetHandle();
                return () => Raw.tvk_sim_place(token, 0, 0) == Raw.HandleRefused;
            },
        },
    };

    static void ObjectsAreReleasedOnce()
    {
        foreach (var kind in OwnedKinds)
        {
            Row(kind.Name + " forgotten", () =>
            {
                var released = OnItsOwnThread(() => kind.ReleasedCheck(kind.Make()));
                CollectForgotten();
                Expect(released(), "the collector to release it");
            });
            Row(kind.Name + " disposed twice", () =>
            {
                var first = kind.Make();
                var released = kind.ReleasedCheck(first);
                first.Dispose();
                first.Dispose();
                Expect(released(), "Dispose to release it");
                ExpectThrows<ObjectDisposedException>(() => kind.Use(first), e => true, "no use after Dispose");
                using (var next = kind.Make())
                {
                    first.Dispose();
                    kind.Use(next);
                }
            });
        }
    }

    static void DisposeWaitsForTheStep()
    {
        var blocked = new BlockedStep();
        blocked.Session.Dispose();
        blocked.Finish();
        Expect(blocked.StepEnded == "normally", "the step under way to end normally, it ended " + blocked.StepEnded);
        ExpectThrows<ObjectDisposedException>(() => blocked.Session.Step(), e => true, "no step after Dispose");
        using (var next = new Session(0, 1, NoPart, c => { }))
            next.Step();
    }

    // A session whose first step, on a thread of its own, waits inside the
    // camera callback until Finish.
    sealed class BlockedStep : IDisposable
    {
        readonly ManualResetEvent _inside = new ManualResetEvent(false);
        readonly ManualResetEvent _carryOn = new ManualResetEvent(false);
        readonly Thread _stepper;
        public readonly Session Session;
        public string StepEnded = "not at all";

        public BlockedStep()
        {
            Camera waiting = (out float x, out float y) =>
            {
                _inside.Set();
                _carryOn.WaitOne();
                x = y = 0;
                return false;
            };
            Session = new Session(0, 0, waiting, c => { });
            _stepper = new Thread(() =>
            {
                try
                {
                    Session.Step();
                    StepEnded = "normally";
                }
                catch (Exception error)
                {
                    StepEnded = error.ToString();
                }
            });
            _stepper.Start();
            _inside.WaitOne();
        }

        /// <summary>Lets the step go on and waits for it to end.</summary>
        public void Finish()
        {
            _carryOn.Set();
            _stepper.Join();
        }

        public void Dispose()
        {
            Finish();
            Session.Dispose();
        }
    }

    // Provoke one refusal; the exception it must give and the function the
    // kit's message names.
    sealed class Refusal
    {
        public string Name;
        public Action Provoke;
        public Type Exception;
        public string Function;
    }

    static readonly Refusal[] Refusals =
    {
        new Refusal
        {
            Name = "a second session",
            Provoke = () =>
            {
                using (new Session(0, 0, NoPart, c => { }))
                    new Session(0, 1, NoPart, c => { });
            },
            Exception = typeof(TavrelBusyException),
            Function = "tvk_session_start",
        },
        new Refusal
        {
            Name = "a step after the end",
            Provoke = () =>
            {
                using (var session = new Session(0, 0, NoPart, c => { }))
                {
                    session.Command(HostCommand.End);
                    session.Step();
                }
            },
            Exception = typeof(TavrelStateException),
            Function = "tvk_session_step",
        },
        new Refusal
        {
            Name = "a trace in a missing folder",
            Provoke = () => new Recorder(Path.Combine(TempPath("no-folder"), "trace.csv"), 0, 0),
            Exception = typeof(TavrelIOException),
            Function = "tvk_recorder_open",
        },
        new Refusal
        {
            Name = "a trace row at a time that is no number",
            Provoke = () =>
            {
                using (var recorder = new Recorder(TempPath("nan.csv"), 0, 0))
                    recorder.Write(double.NaN, Kit.NewStepReport(), false);
            },
            Exception = typeof(TavrelArgumentException),
            Function = "tvk_recorder_write",
        },
        new Refusal
        {
            Name = "a command from inside the camera",
            Provoke = () =>
            {
                Session self = null;
                Camera commanding = (out float x, out float y) =>
                {
                    self.Command(HostCommand.Restart);
                    x = y = 0;
                    return false;
                };
                using (self = new Session(0, 0, commanding, c => { }))
                    self.Step();
            },
            Exception = typeof(TavrelReentryException),
            Function = "tvk_session_command",
        },
        new Refusal
        {
            Name = "an end from inside the camera",
            Provoke = () =>
            {
                Session self = null;
                Camera ending = (out float x, out float y) =>
                {
                    self.Dispose();
                    x = y = 0;
                    return false;
                };
                using (self = new Session(0, 0, ending, c => { }))
                    self.Step();
            },
            Exception = typeof(TavrelReentryException),
            Function = "tvk_session_end",
        },
        new Refusal
        {
            Name = "a command while a step runs on another thread",
            Provoke = () =>
            {
                using (var blocked = new BlockedStep())
                    blocked.Session.Command(HostCommand.Restart);
            },
            Exception = typeof(TavrelThreadException),
            Function = "tvk_session_command",
        },
    };

    static void RefusalsAreTheirOwnExceptions()
    {
        foreach (var refusal in Refusals)
        {
            Row(refusal.Name, () =>
            {
                ExpectThrows<TavrelException>(refusal.Provoke, e =>
                    e.GetType() == refusal.Exception && e.Function == refusal.Function &&
                    e.KitMessage.StartsWith(refusal.Function + ": ") && e.Message.Contains(e.KitMessage),
                    $"{refusal.Exception.Name} from {refusal.Function} with the kit's message");
                Expect(!Diagnostics.Active, "no capture left behind");
            });
        }
        var classes = new HashSet<Type>();
        foreach (ErrorCode code in Enum.GetValues(typeof(ErrorCode)))
        {
            if (code == ErrorCode.Ok)
                continue;
            var error = Errors.For(code, "f", "");
            Expect(error.Code == code && classes.Add(error.GetType()) && error.GetType() != typeof(TavrelException),
                   $"a class of its own for {code}");
        }
    }

    // A callback of a session that waits, the first time it runs, to be aborted.
    sealed class AbortedCallback
    {
        public string Name;
        public Func<Action, SessionOptions, Camera, Action<FeederCommand>, Session> Start;
    }

    static readonly AbortedCallback[] AbortedCallbacks =
    {
        new AbortedCallback
        {
            Name = "camera",
            Start = (wait, options, camera, feeder) => new Session(0, 0, (out float x, out float y) =>
            {
                wait();
                return camera(out x, out y);
            }, feeder, options),
        },
        new AbortedCallback
        {
            Name = "feeder",
            Start = (wait, options, camera, feeder) => new Session(0, 0, camera, command =>
            {
                wait();
                feeder(command);
            }, options),
        },
        new AbortedCallback
        {
            Name = "diagnostics lines",
            Start = (wait, options, camera, feeder) =>
            {
                options.DiagnosticsLines = line => wait();
                return new Session(0, 0, camera, feeder, options);
            },
        },
    };

    static void AbortInsideCallbackIsSurvived()
    {
        foreach (var callback in AbortedCallbacks)
        {
            Row(callback.Name, () =>
            {
                var inside = new ManualResetEvent(false);
                int waits = 0;
                Action wait = () =>
                {
                    if (Interlocked.Increment(ref waits) != 1)
                        return;
                    inside.Set();
                    Thread.Sleep(Timeout.Infinite);
                };
                string ended = "not at all";
                var host = new Thread(() =>
                {
                    try
                    {
                        using (var feeder = FeederFor(0, 0, out float startX, out float startY))
                        using (var session = callback.Start(wait, new SessionOptions(), feeder.Camera, feeder.Vibrate))
                            session.Run();
                        ended = "by running out";
                    }
                    catch (ThreadAbortException abort)
                    {
                        ended = "aborted " + abort.ExceptionState;
                    }
                    catch (Exception error)
                    {
                        ended = error.ToString();
                    }
                });
                host.Start();
                inside.WaitOne();
                host.Abort("by the test");
                host.Join();
                Expect(ended == "aborted by the test", "the host thread aborted with its state, it ended " + ended);
                Expect(!Diagnostics.Active, "the aborted session's capture stopped");
                using (var feeder = FeederFor(0, 1, out float startX, out float startY))
                using (var next = new Session(0, 1, feeder.Camera, feeder.Vibrate))
                    Expect(next.Step().Outcome == Outcome.Running, "a new session to step");
            });
        }
    }

    // Host answers: the host answers statuses 3 and 6 as the driver does.
    static void HostAnswersLeaveStatusesToTheHost()
    {
        const int model = 0, action = 8;
        foreach (var answers in new[] { Answers.Standard, Answers.Host })
        {
            Row(answers.ToString(), () =>
            {
                bool byHost = answers == Answers.Host;
                int driverCommands = 0;
                using (var feeder = FeederFor(model, action, out float startX, out float startY))
                using (var session = new Session(model, action, feeder.Camera, feeder.Vibrate,
                                                 new SessionOptions { Answers = answers }))
                {
                    session.Stepped += (sender, e) =>
                    {
                        if (e.Report.HostCommand != -1)
                            driverCommands++;
                        if (byHost && e.Report.Outcome == Outcome.Running)
                            AnswerAsTheDriverDoes(session, e.Report);
                    };
                    session.Arrived += (sender, e) => feeder.Place(startX, startY);
                    var last = session.Run();
                    Expect(last.Outcome == Outcome.Tuned, "tuned, got " + last.Outcome + ": " + last.Reason);
                    Expect((driverCommands == 0) == byHost,
                           byHost ? "no command from the driver" : "the driver's commands");
                }
            });
        }
    }

    static void AnswerAsTheDriverDoes(Session session, StepReport report)
    {
        var statuses = report.Status.Take(report.StatusCount).ToList();
        if (statuses.Contains((int)Status.Tuned))
            session.Command(HostCommand.Verify);
        else if (statuses.Contains((int)Status.Verified))
            session.Command(Geometry.InTarget(session.Model, session.Action, report.X, report.Y)
                                ? HostCommand.Success
                                : HostCommand.Restart);
    }

    static void TraceAppearsAtCloseOnly()
    {
        foreach (bool close in new[] { true, false })
        {
            Row(close ? "closed" : "disposed", () =>
            {
                string path = TempPath("trace.csv");
                File.Delete(path);
                const int steps = 5;
                using (var feeder = FeederFor(0, 0, out float startX, out float startY))
                using (var session = new Session(0, 0, feeder.Camera, feeder.Vibrate))
                using (var recorder = new Recorder(path, 0, 0))
                {
                    for (int step = 0; step < steps; step++)
                        recorder.Write(Kit.ClockSeconds(), session.Step(), false);
                    if (close)
                        recorder.Close();
                }
                Expect(File.Exists(path) == close, close ? "the trace" : "no file");
                if (close)
                    Expect(File.ReadAllLines(path).Length == steps + 1, "a header and a row per step");
                File.Delete(path);
            });
        }
    }

    // A simulated feeder at its start point, for the store's callbacks.
    sealed class Cell : IDisposable
    {
        internal readonly SimFeeder Sim;
        readonly float _x, _y;
        internal int Vibrations;

        internal Cell(int model, int action, ulong noise, SimRanges? ranges = null)
        {
            Sim = ranges.HasValue ? new SimFeeder(model, ranges.Value, 7, noise) : new SimFeeder(model, 7, noise);
            SimFeeder.Platform(model, out float width, out float height);
            Geometry.StartPoint(model, action, width, height, out _x, out _y);
            PutBack();
        }
        internal void PutBack() => Sim.Place(_x, _y);
        internal void Drive(FeederCommand command)
        {
            ++Vibrations;
            Sim.Vibrate(command);
        }
        public void Dispose() => Sim.Dispose();
    }

    static void RecipesReTuneAndProduce()
    {
        string path = Path.Combine(Path.GetTempPath(), $"tavrel-dotnet-{Process.GetCurrentProcess().Id}.db");
        File.Delete(path);
        try
        {
            using (var store = new RecipeStore(path))
            {
                using (var first = new Cell(0, 3, 1))
                {
                    var cold = store.Tune("bolt", "cell-1", 0, 3, first.Sim.Camera, first.Drive, first.PutBack);
                    Expect(cold.Outcome == (int)Outcome.Tuned && cold.Start == (int)TuningStart.Cold,
                           "a cold tuning, got " + cold.Reason);
                    Expect(cold.Vibrations == first.Vibrations, "every vibration counted");
                }
                var recipe = store.Get("bolt", "cell-1", 3);
                var warm = RecipeStore.WarmParams(recipe);
                Expect(warm.AmpInit == recipe.Command.Motor0.Amplitude && warm.AmpMax == warm.AmpInit &&
                       warm.FreInit == recipe.Command.Motor0.Frequency && warm.FreMax == warm.FreInit,
                       "the stored words pinned");
                using (var again = new Cell(0, 3, 2))
                {
                    var result = store.Tune("bolt", "cell-1", 0, 3, again.Sim.Camera, again.Drive, again.PutBack);
                    Expect(result.Start == (int)TuningStart.Warm && result.Drifted == 0, "a warm start");
                    Expect(result.Vibrations == Geometry.Of(0, 3).SuccessCount + 1,
                           "the fewest vibrations, got " + result.Vibrations);
                    var command = store.ProductionCommand("bolt", "cell-1", 3);
                    Expect(command.Motor0.Frequency == result.Command.Motor0.Frequency, "the stored command");
                }
                string json = store.ExportJson();
                store.MarkDrifted("bolt", "cell-1", 3);
                ExpectThrows<RecipeException>(() => store.ProductionCommand("bolt", "cell-1", 3),
                                              e => e.Code == RecipeErrorCode.Drifted, "a drifted recipe refused");
                ExpectThrows<RecipeException>(() => store.Get("nut", "cell-1", 3),
                                              e => e.Code == RecipeErrorCode.Unknown && e.StoreMessage.Contains("nut"),
                                              "an unknown recipe named");
                Expect(store.ImportJson(json) == 1, "the export imported again");
                ExpectThrows<RecipeException>(() => store.ImportJson("{\"format\":1}"),
                                              e => e.Code == RecipeErrorCode.Format, "not an export");
                Expect(store.Get("bolt", "cell-1", 3).Drifted == 0, "the import replaced the mark");
                using (var broken = new Cell(0, 4, 1))
                    ExpectThrows<InvalidOperationException>(
                        () => store.Tune("bolt", "cell-1", 0, 4, broken.Sim.Camera,
                                         c => throw new InvalidOperationException("link down")),
                        e => e.Message == "link down", "the feeder's exception surfaces");
            }
            File.WriteAllText(path + ".txt", "not a store at all, long enough to be a header\n");
            ExpectThrows<RecipeException>(() => new RecipeStore(path + ".txt"),
                                          e => e.Code == RecipeErrorCode.NotAStore, "a foreign file refused");
        }
        finally
        {
            foreach (string file in new[] { path, path + "-wal", path + "-shm", path + ".txt" })
                File.Delete(file);
        }
    }

    static void CommissioningFailsHopeless()
    {
        SimRanges ranges = SimFeeder.DefaultRanges(0);
        ranges.Gain = new SimRange { Lo = 0.001, Hi = 0.001 };
        using (var cell = new Cell(0, 0, 1, ranges))
        {
            var found = RecipeStore.Commission(0, 0, cell.Sim.Camera, cell.Drive, cell.PutBack);
            Expect(found.Verdict == (int)Outcome.Failed, "a failed verdict");
            Expect(found.ProbeVibrations == cell.Vibrations && found.ProbeVibrations < 40,
                   "few probes, got " + found.ProbeVibrations);
            Expect(found.Reason.Contains("no probe moved the part"), "the reason, got " + found.Reason);
        }
    }
}
