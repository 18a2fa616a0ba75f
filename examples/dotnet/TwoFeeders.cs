// Tunes two simulated feeders at once, each on an instance of its own, in two threads.
//
//   mono TwoFeeders.exe [--check] [--seed SEED]     (default seed 1)
//
// A cell with two feeders runs one session per feeder in one process: each
// feeder gets a private copy of the library (Tavrel.Instance) and a thread.
// Prints each feeder's outcome, vibrations and the words the library settled
// on; exits 0 only when both tuned. --check also tunes each feeder alone, one
// after the other, and exits 1 unless each gave the same steps both ways.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.Linq;
using System.Threading;
using Tavrel;

static class TwoFeeders
{
    const string Usage = "usage: mono TwoFeeders.exe [--check] [--seed SEED]   (seed: digits, default 1)";

    // (model, action) of each feeder.
    static readonly int[][] Feeders = { new[] { 0, 2 }, new[] { 1, 5 } };

    static int Main(string[] args)
    {
        if (!ParseArguments(args, out bool check, out ulong seed, out bool help))
        {
            Console.Error.WriteLine(Usage);
            return 2;
        }
        if (help)
        {
            Console.WriteLine(Usage);
            return 0;
        }

        var together = new object[Feeders.Length];
        var threads = Enumerable.Range(0, Feeders.Length)
                          .Select(i => new Thread(() => together[i] = TuneOnInstance(Feeders[i], seed)))
                          .ToList();
        threads.ForEach(thread => thread.Start());
        threads.ForEach(thread => thread.Join());

        int status = 0;
        for (int i = 0; i < Feeders.Length; i++)
        {
            string which = $"model {Feeders[i][0]} action {Feeders[i][1]}";
            if (together[i] is Exception error)
            {
                Console.Error.WriteLine($"{which}: {error.Message}");
                return 2;
            }
            var steps = (List<Step>)together[i];
            Step last = steps[steps.Count - 1];
            Console.WriteLine($"{which}: {last.Outcome.ToString().ToLowerInvariant()} after {steps.Count} steps, " +
                              $"{last.Vibrations} vibrations: {last.Words}");
            if (last.Outcome != Outcome.Tuned)
                status = 1;
        }
        if (!check)
            return status;
        for (int i = 0; i < Feeders.Length; i++)
        {
            var alone = TuneOnInstance(Feeders[i], seed) as List<Step>;
            bool same = alone != null && alone.SequenceEqual((List<Step>)together[i]);
            Console.WriteLine($"model {Feeders[i][0]} action {Feeders[i][1]}: {(same ? "same" : "NOT the same")} alone");
            if (!same)
                status = 1;
        }
        return status;
    }

    /// <summary>What a step shows: the outcome, the vibrations, the position and the words.</summary>
    struct Step
    {
        public Outcome Outcome;
        public int Vibrations;
        public float X, Y;
        public string Words;
    }

    // A thread's work: an instance of its own, one session; its steps, or what it threw.
    static object TuneOnInstance(int[] feeder, ulong seed)
    {
        try
        {
            using (var instance = new Instance())
                return Tune(instance, feeder[0], feeder[1], seed);
        }
        catch (TavrelException error)
        {
            return error;
        }
    }

    // The same seeds as tavrel-sim draws for the model and action.
    static List<Step> Tune(Instance instance, int model, int action, ulong seed)
    {
        var steps = new List<Step>();
        using (var feeder = new SimFeeder(model, SimFeeder.MixSeed(seed, (ulong)model, 0),
                                          SimFeeder.MixSeed(seed, (ulong)model * 1000003, (ulong)action + 1),
                                          instance))
        {
            SimFeeder.Platform(model, out float width, out float height);
            Geometry.StartPoint(model, action, width, height, out float startX, out float startY);
            feeder.Place(startX, startY);
            using (var session = new Session(model, action, feeder.Camera, feeder.Vibrate, null, instance))
            {
                session.Arrived += (sender, e) => feeder.Place(startX, startY);
                session.Stepped += (sender, e) => steps.Add(new Step
                {
                    Outcome = e.Report.Outcome,
                    Vibrations = e.Report.Vibrations,
                    X = e.Report.X,
                    Y = e.Report.Y,
                    Words = WordsOf(e.Report),
                });
                session.Run();
            }
        }
        return steps;
    }

    static string WordsOf(StepReport report)
    {
        if (report.Vibrations == 0)
            return "no command";
        return string.Join(" ", Enumerable.Range(0, Kit.MotorCount)
                                    .Select(m => $"{report.Command[m].Amplitude}/{report.Command[m].Frequency}"));
    }

    static bool ParseArguments(string[] args, out bool check, out ulong seed, out bool help)
    {
        check = help = false;
        seed = 1;
        for (int i = 0; i < args.Length; i++)
        {
            if (args[i] == "--help" || args[i] == "-h")
                help = true;
            else if (args[i] == "--check")
                check = true;
            else if (args[i] != "--seed" || ++i == args.Length ||
                     !ulong.TryParse(args[i], NumberStyles.None, CultureInfo.InvariantCulture, out seed))
                return false;
        }
        return true;
    }
}
