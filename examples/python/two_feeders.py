#!/usr/bin/env python3
"""Tunes two simulated feeders at once, each on an instance of its own, in two threads.

A cell with two feeders runs one session per feeder in one process: each
feeder gets a private copy of the library (``tavrel.Instance``) and a thread.
Prints each feeder's outcome, vibrations and the words the library settled
on; exits 0 only when both tuned. ``--check`` also tunes each feeder alone,
one after the other, and exits 1 unless each gave the same steps both ways.
"""

import argparse
import sys
import threading

import tavrel
from tavrel import Event, Outcome, sim

FEEDERS = ((0, 2), (1, 5))  # (model, action) of each feeder


def parse_args(argv):
    """The command line."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=1, help="seed of the feeder draws (default 1)")
    parser.add_argument("--check", action="store_true", help="compare with each feeder alone")
    parser.add_argument("--version", action="version", version=f"%(prog)s {tavrel.__version__}")
    args = parser.parse_args(argv)
    if not 0 <= args.seed <= sim.SEED_MAX:
        parser.error(f"--seed must be from 0 to {sim.SEED_MAX}, got {args.seed}")
    return args


def tune(instance, model, action, seed):
    """One session on the instance; returns its steps (outcome, vibrations, words)."""
    with sim.SimFeeder(
        model,
        sim.mix_seed(seed, model, 0),
        sim.mix_seed(seed, model * 1000003, action + 1),
        instance=instance,
    ) as feeder:
        start = tavrel.start_point(model, action, *sim.platform(model))
        feeder.place(*start)
        steps = []
        with tavrel.Session(model, action, feeder.camera, feeder.vibrate,
                            instance=instance) as session:
            for report in session.steps():
                if Event.ARRIVED in report.events:
                    feeder.place(*start)
                words = tuple(report.command.motors) if report.command else ()
                steps.append((report.outcome, report.vibrations, words))
    return steps


def tune_on_instance(model, action, seed, results, index):
    """A thread's work: an instance of its own, one session, the steps kept."""
    try:
        with tavrel.Instance() as instance:
            results[index] = tune(instance, model, action, seed)
    except tavrel.TavrelError as error:
        results[index] = error


def main(argv=None):
    """Both feeders at once, then (with --check) each alone."""
    args = parse_args(argv)
    together = [None] * len(FEEDERS)
    threads = [
        threading.Thread(target=tune_on_instance, args=(model, action, args.seed, together, i))
        for i, (model, action) in enumerate(FEEDERS)
    ]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    status = 0
    for (model, action), steps in zip(FEEDERS, together):
        if isinstance(steps, Exception):
            print(f"model {model} action {action}: {steps}", file=sys.stderr)
            return 2
        outcome, vibrations, words = steps[-1]
        shown = " ".join(f"{m.amplitude}/{m.frequency}" for m in words) or "no command"
        print(f"model {model} action {action}: {outcome.name.lower()} after {len(steps)} steps, "
              f"{vibrations} vibrations: {shown}")
        if outcome != Outcome.TUNED:
            status = 1
    if args.check:
        for (model, action), steps in zip(FEEDERS, together):
            alone = [None]
            tune_on_instance(model, action, args.seed, alone, 0)
            same = alone[0] == steps
            print(f"model {model} action {action}: {'same' if same else 'NOT the same'} alone")
            status = status if same else 1
    return status


if __name__ == "__main__":
    sys.exit(main())
