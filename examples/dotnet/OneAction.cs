// Tunes one action of a simulated feeder through the Tavrel .NET binding.
//
//   mono OneAction.exe [MODEL [ACTION [SEED]]]     (defaults: 0 0 1)
//
// The feeder is the one tavrel-sim draws for the same seed. Exits 0 when the
// action tuned.
using System;
using System.Globalization;
using Tavrel;

static class OneAction
{
    const string Usage = "usage: mono OneAction.exe [MODEL [ACTION [SEED]]]   (0..2, 0..10, seed; defaults 0 0 1)";

    static int Main(string[] args)
    {
        if (args.Length > 0 && (args[0] == "--help" || args[0] == "-h"))
        {
            Console.WriteLine(Usage);
            return 0;
        }
        int model = 0, action = 0;
        ulong seed = 1;
        if (args.Length > 3 || (args.Length > 0 && !Below(args[0], Kit.ModelCount, out model)) ||
            (args.Length > 1 && !Below(args[1], Kit.ActionCount, out action)) ||
            (args.Length > 2 && !ulong.TryParse(args[2], NumberStyles.None, CultureInfo.InvariantCulture, out seed)))
        {
            Console.Error.WriteLine(Usage);
            return 2;
        }

        ulong feederSeed = SimFeeder.MixSeed(seed, (ulong)model, 0);
        ulong noiseSeed = SimFeeder.MixSeed(seed, (ulong)model * 1000003, (ulong)action + 1);
        using (var feeder = new SimFeeder(model, feederSeed, noiseSeed))
        {
            SimFeeder.Platform(model, out float width, out float height);
            Geometry.StartPoint(model, action, width, height, out float startX, out float startY);
            feeder.Place(startX, startY);

            int arrivals = 0;
            StepReport last;
            using (var session = new Session(model, action, feeder.Camera, feeder.Vibrate))
            {
                // An arrival: put the part back where it started.
                session.Arrived += (sender, e) =>
                {
                    arrivals++;
                    feeder.Place(startX, startY);
                };
                last = session.Run();
            }

            Console.WriteLine($"model {model} action {action}: {last.Outcome.ToString().ToLowerInvariant()} " +
                              $"after {last.Vibrations} vibrations in {last.Step + 1} steps, {arrivals} arrivals");
            Console.WriteLine(last.Reason);
            var geometry = Geometry.Of(model, action);
            for (int motor = 0; motor < Kit.MotorCount; motor++)
            {
                var use = (MotorUse)geometry.Motor[motor];
                var words = last.Command[motor];
                Console.WriteLine(use == MotorUse.Off
                    ? $"motor {motor}: off"
                    : $"motor {motor}: {use.ToString().ToLowerInvariant()}, amplitude {words.Amplitude}, frequency {words.Frequency}");
            }
            return last.Outcome == Outcome.Tuned ? 0 : 1;
        }
    }

    // Digits only (no sign, blank or group separator), 0 up to limit - 1.
    static bool Below(string text, int limit, out int value) =>
        int.TryParse(text, NumberStyles.None, CultureInfo.InvariantCulture, out value) && value < limit;
}
