"""Draws one tavrel-sim session from its trace: the part's path over the
platform with the 3 x 3 band grid and the target areas shaded, coloured by
vibration number, and each configured motor's frequency and amplitude against
the vibration number, with the verification vibrations, the restarts and the
arrivals marked."""

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
# pylint: disable=wrong-import-position  (the backend must be chosen first)
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402
from matplotlib.ticker import MaxNLocator  # noqa: E402

# Area numbers by X band, then Y band (low, middle, high).
AREA_BY_BAND = [[1, 0, 2], [3, 8, 4], [6, 5, 7]]
# Host commands in the trace's command column.
COMMAND_RESTART, COMMAND_VERIFY, COMMAND_SUCCESS = 1, 2, 3
TASK_END = 8
PATH_COLOURS = "viridis"


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


def command_of(row):
    return int(row["command"]) if row["command"] else None


class Session:
    """The trace as events on the vibration axis: vibration k is the k-th
    feeder command, verification vibrations included."""

    def __init__(self, rows):
        self.rows = rows
        self.commands = [row for row in rows if row["act"] != ""]
        # Vibrations commanded up to and including each step.
        self.vibration_at, count = [], 0
        for row in rows:
            count += row["act"] != ""
            self.vibration_at.append(count)
        self.verifications, self.restarts, self.arrivals = [], [], []
        verify_pending = False
        for index, row in enumerate(rows):
            if row["act"] != "" and verify_pending:
                self.verifications.append(self.vibration_at[index])
                verify_pending = False
            command = command_of(row)
            verify_pending = verify_pending or command == COMMAND_VERIFY
            if command == COMMAND_RESTART:
                self.restarts.append(self.vibration_at[index])
            if row["reset"] == "1":
                self.arrivals.append(self.vibration_at[index])
        last = rows[-1]
        self.tuned = int(last["task"]) == TASK_END and any(
            command_of(row) == COMMAND_SUCCESS for row in rows)
        self.steps = int(last["step"]) + 1
        self.seconds = float(last["time_s"])


def path_segments(session):
    """Moves between polled positions, each with the number of the vibration
    that caused it; none across a put-back."""
    segments, colours = [], []
    rows = session.rows
    for index in range(1, len(rows)):
        if rows[index - 1]["reset"] == "1":
            continue
        start = (float(rows[index - 1]["x"]), float(rows[index - 1]["y"]))
        end = (float(rows[index]["x"]), float(rows[index]["y"]))
        if start != end:
            segments.append([start, end])
            colours.append(session.vibration_at[index])
    return segments, colours


def shade_targets(axes, args):
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
                             color="tab:green", alpha=0.15, lw=0)
    for edge in (x_low, x_high):
        axes.axvline(edge, color="grey", lw=0.8, ls="--")
    for edge in (y_low, y_high):
        axes.axhline(edge, color="grey", lw=0.8, ls="--")


def draw_platform(figure, axes, args, session):
    width, height = args.platform
    shade_targets(axes, args)
    segments, colours = path_segments(session)
    vibrations = max(len(session.commands), 1)
    norm = matplotlib.colors.Normalize(vmin=0, vmax=vibrations)
    path = LineCollection(segments, cmap=PATH_COLOURS, norm=norm, lw=1.6)
    path.set_array(colours)
    axes.add_collection(path)
    rows = session.rows
    xs = [float(row["x"]) for row in rows]
    ys = [float(row["y"]) for row in rows]
    axes.scatter(xs, ys, c=session.vibration_at, cmap=PATH_COLOURS, norm=norm, s=9, zorder=3)
    arrivals = [(xs[i], ys[i]) for i, row in enumerate(rows) if row["reset"] == "1"]
    if arrivals:
        axes.plot(*zip(*arrivals), "o", ms=9, mfc="none", mec="tab:red", mew=1.5,
                  label="arrival (part put back at start)", zorder=4)
    axes.plot(xs[0], ys[0], "s", color="black", label="start", zorder=4, clip_on=False)
    axes.plot(xs[-1], ys[-1], "*", ms=13, color="tab:red", label="end", zorder=4,
              clip_on=False)
    colour_bar = figure.colorbar(path, ax=axes, fraction=0.04, pad=0.02)
    colour_bar.set_label("vibration number (path colour)")
    colour_bar.locator = MaxNLocator(integer=True)
    colour_bar.update_ticks()
    axes.set_xlim(0, width)
    axes.set_ylim(0, height)
    axes.set_aspect("equal")
    axes.set_xlabel("X (host units)")
    axes.set_ylabel("Y (host units)")
    axes.set_title("part path over the platform (target areas shaded green)", fontsize=10)
    axes.legend(loc="upper left", fontsize=7, framealpha=0.9)


def mark_events(axes, session, labelled):
    """Verification vibrations shaded, restarts and arrivals as lines after
    the vibration they follow."""
    for index, vibration in enumerate(session.verifications):
        axes.axvspan(vibration - 0.5, vibration + 0.5, color="tab:purple", alpha=0.3, lw=0,
                     label="verification vibration" if labelled and index == 0 else None)
    for index, vibration in enumerate(session.restarts):
        axes.axvline(vibration + 0.5, color="tab:red", ls="--", lw=1.2,
                     label="restart" if labelled and index == 0 else None)
    for index, vibration in enumerate(session.arrivals):
        axes.axvline(vibration + 0.5, color="grey", ls=":", lw=1.0,
                     label="arrival, part put back" if labelled and index == 0 else None)


def draw_motors(freq_axes, amp_axes, args, session):
    commands = session.commands
    counts = range(1, len(commands) + 1)
    for order, motor in enumerate(numbers(args.motors)):
        # Paired motors often share their words: thinner lines on top keep
        # every motor visible.
        style = {"where": "mid", "label": "motor %d" % motor, "lw": 4.0 - 0.9 * order}
        freq_axes.step(counts, [int(row["m%d_fre" % motor]) for row in commands], **style)
        amp_axes.step(counts, [int(row["m%d_amp" % motor]) for row in commands], **style)
    mark_events(freq_axes, session, labelled=True)
    mark_events(amp_axes, session, labelled=False)
    for axes in (freq_axes, amp_axes):
        axes.xaxis.set_major_locator(MaxNLocator(integer=True))
        axes.yaxis.set_major_locator(MaxNLocator(integer=True))
        axes.set_xlim(0.5, max(len(commands), 1) + 0.5)
        axes.margins(y=0.15)
    freq_axes.set_ylabel("frequency word")
    freq_axes.legend(fontsize=7, ncol=2, loc="best", framealpha=0.9)
    freq_axes.set_title("motor words of each vibration commanded", fontsize=10)
    amp_axes.set_ylabel("amplitude word")
    amp_axes.set_xlabel("vibration number (feeder commands, verification included)")


def title(args, session):
    verdict = "tuned" if session.tuned else "not tuned"
    return "%s: %s, %d vibrations in %d camera steps, %.1f s simulated" % (
        args.title, verdict, len(session.commands), session.steps, session.seconds)


CAPTION = ("A camera step is one TVLTask call with one camera poll; a vibration is one feeder "
           "command. Steps without a vibration are the library waiting for a sample, the polls "
           "after a put-back and the host's verify and success answers.")


def main():
    args = parse_args()
    rows = read_trace(args.trace)
    if not rows:
        raise SystemExit("%s: no steps to draw" % args.trace)
    session = Session(rows)
    figure = plt.figure(figsize=(13, 6))
    grid = figure.add_gridspec(2, 2, width_ratios=[1.25, 1])
    draw_platform(figure, figure.add_subplot(grid[:, 0]), args, session)
    freq_axes = figure.add_subplot(grid[0, 1])
    draw_motors(freq_axes, figure.add_subplot(grid[1, 1], sharex=freq_axes), args, session)
    figure.suptitle(title(args, session), fontsize=12)
    figure.text(0.5, 0.01, CAPTION, ha="center", va="bottom", fontsize=8, color="dimgrey",
                wrap=True)
    figure.tight_layout(rect=(0, 0.04, 1, 1))
    figure.savefig(args.out, dpi=100, format="png")


if __name__ == "__main__":
    main()
