#!/usr/bin/env python3
"""Tunes every action of a simulated feeder through the tavrel Python binding.

Prints one row per action: the result, the vibrations and steps it took and
the amplitude/frequency words the library settled on for each driven motor.
The feeders are the ones ``tavrel-sim`` draws for the same seed. With
``--plot FILE.png`` it also draws each action's platform: the band grid, the
target areas and the part's path. Exits 0 only when every action tuned.
"""

import argparse
import sys

import tavrel
from tavrel import Event, MotorUse, Outcome, sim


def parse_args(argv):
    """The command line."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--model", type=int, choices=range(3), default=0, help="feeder model (default 0)"
    )
    parser.add_argument(
        "--seed", type=int, default=1, help="seed of the feeder draw and the noise (default 1)"
    )
    parser.add_argument("--plot", metavar="FILE.png", help="draw every action's platform and path")
    parser.add_argument("--version", action="version", version=f"%(prog)s {tavrel.__version__}")
    args = parser.parse_args(argv)
    if not 0 <= args.seed <= sim.SEED_MAX:
        parser.error(f"--seed must be from 0 to {sim.SEED_MAX}, got {args.seed}")
    if args.plot is not None and not args.plot.endswith(".png"):
        parser.error(f"--plot must name a .png file, got {args.plot!r}")
    return args


def tune(model, action, seed):
    """Tunes one action; returns the last step's report and the part's path."""
    feeder = sim.SimFeeder(
        model, sim.mix_seed(seed, model, 0), sim.mix_seed(seed, model * 1000003, action + 1)
    )
    start = tavrel.start_point(model, action, *sim.platform(model))
    feeder.place(*start)
    path = [start]
    with tavrel.Session(model, action, feeder.camera, feeder.vibrate) as session:
        for report in session.steps():
            if report.seen:
                path.append((report.x, report.y))
            if Event.ARRIVED in report.events:
                feeder.place(*start)
                path += [None, start]  # None: the part was lifted back
    return report, path


def motor_cell(report, use, motor):
    """'amplitude/frequency' of a driven motor, '-' for one the action leaves off."""
    if use == MotorUse.OFF or report.command is None:
        return "-"
    words = report.command.motors[motor]
    return f"{words.amplitude}/{words.frequency}"


def row(model, action, report, geometry):
    """One table row."""
    result = "tuned" if report.outcome == Outcome.TUNED else "failed"
    cells = [motor_cell(report, use, motor) for motor, use in enumerate(geometry.motors)]
    motors = " ".join(f"{cell:>10}" for cell in cells)
    counts = f"{report.vibrations:10d} {report.step + 1:6d}"
    return f"{model:5d} {action:6d}  {result:<6} {counts} {motors}"


def plot(path_png, model, sessions):
    """Draws each action's band grid, target areas and path into one picture."""
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.patches import Rectangle

    width, height = sim.platform(model)
    figure, axes = plt.subplots(3, 4, figsize=(14, 9), constrained_layout=True)
    for axis in axes.flat[len(sessions):]:
        axis.set_visible(False)
    for axis, (action, report, path) in zip(axes.flat, sessions):
        geometry = tavrel.geometry(model, action)
        xs = [0.0, geometry.x_low, geometry.x_high, width]
        ys = [0.0, geometry.y_low, geometry.y_high, height]
        for i in range(3):
            for j in range(3):
                centre = ((xs[i] + xs[i + 1]) / 2, (ys[j] + ys[j + 1]) / 2)
                target = geometry.in_target(*centre)
                corner, size = (xs[i], ys[j]), (xs[i + 1] - xs[i], ys[j + 1] - ys[j])
                colour = "#b8e6b8" if target else "white"
                axis.add_patch(Rectangle(corner, *size, facecolor=colour, edgecolor="grey"))
        for piece in _pieces(path):
            axis.plot(*zip(*piece), marker=".", linewidth=1, color="tab:blue")
        axis.plot(*path[0], marker="o", color="tab:red")
        axis.set_xlim(0, width)
        axis.set_ylim(0, height)
        axis.set_aspect("equal")
        outcome = report.outcome.name.lower()
        axis.set_title(f"action {action}: {outcome}, {report.vibrations} vibrations", fontsize=9)
    figure.suptitle(f"model {model}: target areas (green), start (red), the part's path")
    figure.savefig(path_png, dpi=80)
    plt.close(figure)


def _pieces(path):
    """The path split where the part was lifted back."""
    piece = []
    for point in path + [None]:
        if point is None:
            if len(piece) > 1:
                yield piece
            piece = []
        else:
            piece.append(point)


def main(argv=None):
    """Tunes every action and prints the table."""
    args = parse_args(argv)
    motors = " ".join(f"{f'm{motor} amp/fre':>10}" for motor in range(4))
    print(f"model action  result vibrations  steps {motors}")
    sessions = []
    for action in range(11):
        report, path = tune(args.model, action, args.seed)
        print(row(args.model, action, report, tavrel.geometry(args.model, action)), flush=True)
        if report.outcome != Outcome.TUNED:
            print(f"action {action}: {report.reason}", file=sys.stderr)
        sessions.append((action, report, path))
    if args.plot:
        plot(args.plot, args.model, sessions)
        print(f"picture: {args.plot}")
    return 0 if all(report.outcome == Outcome.TUNED for _, report, _ in sessions) else 1


if __name__ == "__main__":
    sys.exit(main())
