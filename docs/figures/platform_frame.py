"""Draws the platform frame of each model as the library sees it: the
platform in library units, the band edges of the actions that divide it
(asked of the library through the host kit) and the number of each area.

    /usr/bin/python3 docs/figures/platform_frame.py docs/figures/platform_frame.png

Run from a source checkout with a build in build/ (or with TAVREL_LIBRARY
and TAVREL_HOSTKIT_LIBRARY set)."""

from __future__ import annotations

import sys
from pathlib import Path
from typing import Dict, List, Tuple

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python"))

import matplotlib  # noqa: E402

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import tavrel  # noqa: E402
from tavrel.geometry import Geometry, area_of, geometry  # noqa: E402
from tavrel.sim import platform  # noqa: E402

Edges = Tuple[float, float, float, float]


def edge_groups(model: int) -> Dict[Edges, List[int]]:
    """The actions of a model, grouped by the band edges they share."""
    groups: Dict[Edges, List[int]] = {}
    for action in range(11):
        g: Geometry = geometry(model, action)
        groups.setdefault((g.x_low, g.x_high, g.y_low, g.y_high), []).append(action)
    return groups


def draw(ax: "plt.Axes", models: List[int]) -> None:
    model = models[0]
    width, height = platform(model)
    ax.add_patch(plt.Rectangle((0, 0), width, height, facecolor="#fff8dc",
                               edgecolor="black", linewidth=1.5))
    groups = sorted(edge_groups(model).items(), key=lambda item: -len(item[1]))
    styles = ["-", "--", ":", "-."]
    colours = ["tab:blue", "tab:red", "tab:green", "tab:purple"]
    for (edges, actions), style, colour in zip(groups, styles, colours):
        x_low, x_high, y_low, y_high = edges
        label = ("actions " if len(actions) > 1 else "action ") + ", ".join(
            str(a) for a in actions)
        for x in (x_low, x_high):
            ax.plot([x, x], [0, height], style, color=colour, linewidth=1.2)
        for y in (y_low, y_high):
            ax.plot([0, width], [y, y], style, color=colour, linewidth=1.2)
        ax.plot([], [], style, color=colour, label=f"{label}: X {x_low:g}/{x_high:g}, "
                f"Y {y_low:g}/{y_high:g}")
    # The area numbers of the most common edges, each at its cell's middle.
    (x_low, x_high, y_low, y_high), actions = groups[0]
    xs = [x_low / 2, (x_low + x_high) / 2, (x_high + width) / 2]
    ys = [y_low / 2, (y_low + y_high) / 2, (y_high + height) / 2]
    for x in xs:
        for y in ys:
            ax.text(x, y, str(int(area_of(model, actions[0], x, y))), ha="center",
                    va="center", fontsize=13, color="tab:blue", alpha=0.8)
    ax.annotate("(0, 0)", (0, 0), xytext=(4, 4), textcoords="offset points", fontsize=8)
    ax.annotate(f"({width:g}, {height:g})", (width, height), xytext=(-4, -12),
                textcoords="offset points", ha="right", fontsize=8)
    ax.set_xlim(-10, width + 10)
    ax.set_ylim(height + 10, -10)
    ax.set_aspect("equal")
    names = " and ".join(str(m) for m in models)
    ax.set_title(f"model{'s' if len(models) > 1 else ''} {names}: "
                 f"platform {width:g} x {height:g} library units")
    ax.set_xlabel("X, library units")
    ax.set_ylabel("Y, library units")
    ax.legend(loc="upper center", bbox_to_anchor=(0.5, -0.14), fontsize=8, frameon=False)


def main(argv: List[str]) -> int:
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    # Models that share platform and edges share a panel.
    panels: List[List[int]] = []
    for model in range(3):
        key = (platform(model), edge_groups(model))
        for panel in panels:
            if (platform(panel[0]), edge_groups(panel[0])) == key:
                panel.append(model)
                break
        else:
            panels.append([model])
    fig, axes = plt.subplots(1, len(panels), figsize=(6.5 * len(panels), 6.2))
    for ax, models in zip(axes, panels):
        draw(ax, models)
    fig.suptitle(f"The platform frame the band edges divide (Tavrel {tavrel.__version__})")
    fig.tight_layout()
    fig.savefig(argv[1], dpi=110, bbox_inches="tight")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
