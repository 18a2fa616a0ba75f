// Tests of instances: private copies of the library and the kit, one per feeder.
using System;
using System.Collections.Generic;
using System.Linq;
using System.Threading;
using Tavrel;

static partial class BindingTests
{
    static void RunInstanceTests()
    {
        Run("sessions on two instances in two threads give the steps they give alone", InstancesInThreadsGiveWhatTheyGiveAlone);
        Run("a session on an instance leaves the process's copy alone", InstanceLeavesTheProcessAlone);
        Run("each instance captures its own text", EachInstanceCapturesItsOwnText);
        Run("an instance refuses to close while an object made on it lives", InstanceClosesAfterItsObjects);
        Run("past the loader's limit an open is refused with its code", InstanceLimitIsRefused);
    }

    // Every step's outcome, vibrations, position and words, as one line each.
    static List<string> StepsOn(Instance instance, int model, int action)
    {
        var steps = new List<string>();
        using (var feeder = new SimFeeder(model, 7, (ulong)(action + 1), instance))
        {
            SimFeeder.Platform(model, out float width, out float height);
            Geometry.StartPoint(model, action, width, height, out float x, out float y);
            feeder.Place(x, y);
            using (var session = new Session(model, action, feeder.Camera, feeder.Vibrate, null, instance))
            {
                session.Arrived += (sender, e) => feeder.Place(x, y);
                session.Stepped += (sender, e) =>
                    steps.Add($"{e.Report.Outcome} {e.Report.Vibrations} {e.Report.X} {e.Report.Y} " +
                              $"{e.Report.Command.Motor0.Amplitude}/{e.Report.Command.Motor0.Frequency}");
                Expect(session.Run().Outcome == Outcome.Tuned, $"model {model} action {action} to tune");
            }
        }
        return steps;
    }

    static List<string> StepsOnAFreshInstance(int model, int action)
    {
        using (var instance = new Instance())
            return StepsOn(instance, model, action);
    }

    static void InstancesInThreadsGiveWhatTheyGiveAlone()
    {
        int[][] feeders = { new[] { 0, 2 }, new[] { 1, 5 } };
        var alone = feeders.Select(f => StepsOnAFreshInstance(f[0], f[1])).ToList();
        var together = new List<string>[feeders.Length];
        var errors = new Exception[feeders.Length];
        var threads = Enumerable.Range(0, feeders.Length).Select(i => new Thread(() =>
        {
            try
            {
                together[i] = StepsOnAFreshInstance(feeders[i][0], feeders[i][1]);
            }
            catch (Exception error)
            {
                errors[i] = error;
            }
        })).ToList();
        threads.ForEach(t => t.Start());
        threads.ForEach(t => t.Join());
        for (int i = 0; i < feeders.Length; i++)
        {
            if (errors[i] != null)
                throw errors[i];
            Expect(alone[i].Count > 10 && together[i].SequenceEqual(alone[i]),
                   $"feeder {i}: the same {alone[i].Count} steps at once as alone, got {together[i].Count}");
        }
    }

    static void InstanceLeavesTheProcessAlone()
    {
        var mine = new HostLogicParam { AmpInit = 11, AmpMax = 22, FreInit = 33, FreMax = 44, RunTime = 55 };
        using (var process = new Session(0, 0, NoPart, c => { }))
        using (var instance = new Instance())
        using (var other = new Session(1, 3, NoPart, c => { }, null, instance))
        {
            HostLogicParam before = process.Params;
            other.SetParams(mine);
            other.Command(HostCommand.Restart);
            HostLogicParam read = other.Params;
            Expect(read.AmpInit == 11 && read.FreMax == 44 && read.RunTime == 55, "the instance's own parameters");
            Expect(process.Params.Equals(before) && process.Step().Outcome == Outcome.Running,
                   "the process's session untouched");
            ExpectThrows<TavrelBusyException>(() => new Session(0, 0, NoPart, c => { }, null, instance),
                e => e.KitMessage.StartsWith("tvk_session_start: "), "the instance's own refusal and message");
        }
    }

    static void EachInstanceCapturesItsOwnText()
    {
        var lines = new[] { new List<string>(), new List<string>() };
        using (var first = new Instance())
        using (var second = new Instance())
        {
            var instances = new[] { first, second };
            for (int i = 0; i < 2; i++)
            {
                var options = new SessionOptions { DiagnosticsLines = lines[i].Add };
                using (var session = new Session(i, 0, NoPart, c => { }, options, instances[i]))
                {
                    Expect(Diagnostics.IsActive(instances[i]) && !Diagnostics.IsActive(instances[1 - i]) &&
                           !Diagnostics.Active, "a capture of that instance alone");
                    session.Step();
                }
                Expect(!Diagnostics.IsActive(instances[i]), "the capture stopped with the session");
            }
        }
        for (int i = 0; i < 2; i++)
            Expect(lines[i].Contains("Logic Init") && lines[i].Exists(l => l.Contains("Task Run")),
                   $"instance {i}'s own lines, got {lines[i].Count}");
    }

    sealed class InstanceObject
    {
        public string Name;
        public Func<Instance, IDisposable> Make;
    }

    static readonly InstanceObject[] InstanceObjects =
    {
        new InstanceObject { Name = "session", Make = i => new Session(0, 0, NoPart, c => { }, null, i) },
        new InstanceObject { Name = "capture", Make = i => Diagnostics.Discard(i) },
        new InstanceObject { Name = "recorder", Make = i => new Recorder(TempPath("instance.csv"), 0, 0, i) },
        new InstanceObject { Name = "simulated feeder", Make = i => new SimFeeder(0, 1, 1, i) },
    };

    static void InstanceClosesAfterItsObjects()
    {
        foreach (var kind in InstanceObjects)
        {
            Row(kind.Name, () =>
            {
                var instance = new Instance();
                var made = kind.Make(instance);
                ExpectThrows<TavrelStateException>(instance.Dispose, e => e.Message.Contains("dispose them first"),
                                                   "a refusal while it lives");
                Expect(instance.IsOpen, "the instance still open");
                made.Dispose();
                instance.Dispose();
                instance.Dispose();
                Expect(!instance.IsOpen, "the instance closed");
                ExpectThrows<ObjectDisposedException>(() => kind.Make(instance), e => true, "nothing made after");
            });
            Row(kind.Name + " forgotten", () =>
            {
                var instance = new Instance();
                OnItsOwnThread(() => kind.Make(instance) != null);
                CollectForgotten();
                instance.Dispose();
                Expect(!instance.IsOpen, "the instance closed once the collector released the object");
            });
        }
    }

    static void InstanceLimitIsRefused()
    {
        var open = new List<Instance>();
        try
        {
            TavrelLimitException refused = null;
            while (refused == null && open.Count < 20)
            {
                try
                {
                    open.Add(new Instance());
                }
                catch (TavrelLimitException error)
                {
                    refused = error;
                }
            }
            Expect(refused != null && open.Count >= 2 && refused.Code == ErrorCode.Limit &&
                   refused.KitMessage.Contains("glibc.rtld.nns"),
                   $"a TavrelLimitException naming the tunable after {open.Count} instances");
            open[0].Dispose();
            open[0] = new Instance();
            Expect(StepsOn(open[0], 0, 0).Count > 0, "a closed instance's place serving the next");
        }
        finally
        {
            open.ForEach(instance => instance.Dispose());
        }
    }
}
