// Tests of the .NET binding under Mono, against libtavrel.so and the host kit.
//
//   mono BindingTests.exe LAYOUT_PROBE
//
// LAYOUT_PROBE prints the C compiler's record sizes and offsets. Exits 0 when
// every test passes. ctest also fails the run if the library's diagnostic
// text reaches standard output.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using Tavrel;

static class BindingTests
{
    static int s_failures;

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
        Console.WriteLine(s_failures == 0 ? "all passed" : $"{s_failures} failed");
        return s_failures == 0 ? 0 : 1;
    }

    static void Run(string name, Action test)
    {
        try
        {
            test();
            Console.WriteLine("ok   " + name);
        }
        catch (Exception error)
        {
            s_failures++;
            Console.WriteLine($"FAIL {name}: {error}");
        }
    }

    static void Expect(bool condition, string what)
    {
        if (!condition)
            throw new Exception("expected " + what);
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
    };

    // The C# field of a C member: from the table, else snake_case to PascalCase.
    static string FieldOf(string member)
    {
        if (Fields.TryGetValue(member, out string field))
            return field;
        var name = new System.Text.StringBuilder();
        foreach (var word in member.Substring(member.IndexOf('.') + 1).Split('_'))
            name.Append(char.ToUpperInvariant(word[0])).Append(word.Substring(1));
        return name.ToString();
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
            Session self = null;
            Camera ending = (out float x, out float y) =>
            {
                self.Dispose();
                x = y = 0;
                return false;
            };
            using (self = new Session(0, 0, ending, feeder.Vibrate))
            {
                ExpectThrows<InvalidOperationException>(() => self.Step(), e => e.Message.Contains("cannot end"),
                                                        "no end inside a callback");
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
            ExpectThrows<TavrelException>(() => new Session(0, 1, none, c => { }),
                                          e => e.Code == ErrorCode.Busy, "a second session refused");
            // The refused one must not have let go of the running session's callbacks.
            GC.Collect();
            GC.WaitForPendingFinalizers();
            session.Step();
            ExpectThrows<ArgumentOutOfRangeException>(() => session.Command((HostCommand)9),
                                                      e => e.ParamName == "command", "command 9 refused");
            session.Command(HostCommand.End);
            Expect(session.Outcome == Outcome.Stopped, "End to stop the session");
            ExpectThrows<TavrelException>(() => session.Step(), e => e.Code == ErrorCode.State,
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
                ExpectThrows<TavrelException>(() => Diagnostics.ToLines(line => { }),
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
}
