#!/usr/bin/env python3
"""Tunes one action of a simulated feeder and records the trace tavrel-replay reads.

The feeder is the one ``tavrel-sim`` draws for the same model, action and
seed. The trace appears at ``--out`` only when the session ran to its end;
replay it with ``tavrel-replay TRACE OUT.csv``. Prints the outcome and the
words the library settled on; exits 0 only when the action tuned.
"""

import argparse
import os
import sys

import tavrel
from tavrel import Event, Outcome, sim


def parse_args(argv):
    """The command line, every value checked before a session starts."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--model", type=int, choices=range(3), default=0, help="feeder model")
    parser.add_argument("--action", type=int, choices=range(11), default=0, help="action")
    parser.add_argument("--seed", type=int, default=1, help="seed of the feeder draw (default 1)")
    parser.add_argument("--out", required=True, metavar="TRACE.csv", help="the trace to write")
    parser.add_argument("--version", action="version", version=f"%(prog)s {tavrel.__version__}")
    args = parser.parse_args(argv)
    if not 0 <= args.seed <= sim.SEED_MAX:
        parser.error(f"--seed must be from 0 to {sim.SEED_MAX}, got {args.seed}")
    folder = os.path.dirname(os.path.abspath(args.out))
    if not os.path.isdir(folder):
        parser.error(f"--out: the folder {folder!r} does not exist")
    return args


def main(argv=None):
    """Runs the session step by step, one trace row per step."""
    args = parse_args(argv)
    model, action, seed = args.model, args.action, args.seed
    feeder = sim.SimFeeder(
        model, sim.mix_seed(seed, model, 0), sim.mix_seed(seed, model * 1000003, action + 1)
    )
    start = tavrel.start_point(model, action, *sim.platform(model))
    feeder.place(*start)
    with feeder, tavrel.Recorder(args.out, model, action) as recorder, \
            tavrel.Session(model, action, feeder.camera, feeder.vibrate) as session:
        for report in session.steps():
            arrived = Event.ARRIVED in report.events
            if arrived:
                feeder.place(*start)
            recorder.write(report, reset=arrived)
    motors = report.command.motors if report.command else []
    words = [f"{m.amplitude}/{m.frequency}" for m in motors] or ["no command"]
    print(f"{report.outcome.name.lower()} after {report.step + 1} steps: {' '.join(words)}")
    print(f"trace: {args.out}")
    return 0 if report.outcome == Outcome.TUNED else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except tavrel.TavrelError as error:
        sys.exit(f"record_trace: {error}")
