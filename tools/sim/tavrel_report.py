#!/usr/bin/python3
"""Draws one tavrel-sim session from its trace: the part's path over the
platform with the 3 x 3 band grid and the target areas shaded, and each
configured motor's frequency and amplitude against the vibration count."""

import argparse
import csv
import sys

# tavrel-sim tells a missing matplotlib by this exit status.
NO_MATPLOTLIB = 3

try:
    import matplotlib
except ImportError:
    print("matplotlib is not installed", file=sys.stderr)
    sys.exit(NO_MATPLOTLIB)

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)

# Area numbers by X band, then Y band (low, middle, high).
AREA_BY_BAND = [[1, 0, 2], [3, 8, 4], [6, 5, 7]]


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--trace", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--platform", nargs=2, type=float, required=True)
    parser.add_argument("--bands", nargs=4, type=float, required=True,
                        help="X low, X high, Y low, Y high band edges")
    parser.add_argument("--targets", required=True, help="comma-separated area numbers")
    parser.add_argument("--motors", required=True, help="comma-separated motor numbers")
    parser.add_argument("--title", default="")
    return parser.parse_args()


def numbers(text):
    return [int(item) for item in text.split(",") if item]


def read_trace(path):
    with open(path, newline="") as stream:
        return list(csv.DictReader(stream))


def path_segments(rows):
    """Polled positions, split where the host put the part back."""
    segments, current = [], []
    for row in rows:
        current.append((float(row["x"]), float(row["y"])))
        if row["reset"] == "1":
            segments.append(current)
            current = []
    if current:
        segments.append(current)
    return segments


def draw_platform(axes, args, rows):
    width, height = args.platform
    x_low, x_high, y_low, y_high = args.bands
    x_edges = [0.0, x_low, x_high, width]
    y_edges = [0.0, y_low, y_high, height]
    targets = set(numbers(args.targets))
    for xb in range(3):
        for yb in range(3):
            if AREA_BY_BAND[xb][yb] in targets:
                axes.axhspan(y_edges[yb], y_edges[yb + 1],
                             xmin=x_edges[xb] / width, xmax=x_edges[xb + 1] / width,
                             color="tab:green", alpha=0.2, lw=0)
    for edge in (x_low, x_high):
        axes.axvline(edge, color="grey", lw=0.8, ls="--")
    for edge in (y_low, y_high):
        axes.axhline(edge, color="grey", lw=0.8, ls="--")
    for index, segment in enumerate(path_segments(rows)):
        xs, ys = zip(*segment)
        axes.plot(xs, ys, "-o", ms=2.5, lw=1, color="tab:blue",
                  label="part path" if index == 0 else None)
    first, last = rows[0], rows[-1]
    axes.plot(float(first["x"]), float(first["y"]), "s", color="black", label="start", clip_on=False)
    axes.plot(float(last["x"]), float(last["y"]), "*", ms=12, color="tab:red", label="end",
              clip_on=False)
    axes.set_xlim(0, width)
    axes.set_ylim(0, height)
    axes.set_aspect("equal")
    axes.set_xlabel("X")
    axes.set_ylabel("Y")
    axes.set_title("part path (target areas shaded)")
    axes.legend(loc="upper left", fontsize=7)


def draw_motors(freq_axes, amp_axes, args, rows):
    commands = [row for row in rows if row["act"] != ""]
    counts = range(1, len(commands) + 1)
    for order, motor in enumerate(numbers(args.motors)):
        # Paired motors often share their words: thinner lines on top keep
        # every motor visible.
        style = {"where": "post", "label": "motor %d" % motor, "lw": 4.0 - 0.9 * order}
        freq_axes.step(counts, [int(row["m%d_fre" % motor]) for row in commands], **style)
        amp_axes.step(counts, [int(row["m%d_amp" % motor]) for row in commands], **style)
    freq_axes.set_ylabel("frequency word")
    freq_axes.legend(fontsize=7)
    amp_axes.set_ylabel("amplitude word")
    amp_axes.set_xlabel("vibrations commanded")
    amp_axes.legend(fontsize=7)


def main():
    args = parse_args()
    rows = read_trace(args.trace)
    if not rows:
        raise SystemExit("%s: no steps to draw" % args.trace)
    figure = plt.figure(figsize=(12, 5.5))
    grid = figure.add_gridspec(2, 2, width_ratios=[1.3, 1])
    draw_platform(figure.add_subplot(grid[:, 0]), args, rows)
    freq_axes = figure.add_subplot(grid[0, 1])
    draw_motors(freq_axes, figure.add_subplot(grid[1, 1], sharex=freq_axes), args, rows)
    last = rows[-1]
    figure.suptitle("%s: %d steps, %.1f s simulated" % (args.title, int(last["step"]) + 1,
                                                         float(last["time_s"])))
    figure.tight_layout()
    figure.savefig(args.out, dpi=100, format="png")


if __name__ == "__main__":
    main()
