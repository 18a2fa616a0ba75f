// Tunes one action of a simulated feeder through the Tavrel .NET binding.
//
//   mono OneAction.exe [MODEL [ACTION [SEED]]]     (defaults: 0 0 1)
//
// The feeder is the one tavrel-sim draws for the same seed. Exits 0 when the
// action tuned.
using System;
using Tavrel;

static class OneAction
{
    static int Main(string[] args)
    {
        int model = args.Length > 0 ? int.Parse(args[0]) : 0;
        int action = args.Length > 1 ? int.Parse(args[1]) : 0;
        ulong seed = args.Length > 2 ? ulong.Parse(args[2]) : 1;

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
}
