"""Where an action wants the part, as the library itself classifies it."""

from __future__ import annotations

import dataclasses
from typing import FrozenSet, Tuple

from . import errors
from .native import ffi, kit
from .records import Area, MotorUse, new_record


@dataclasses.dataclass(frozen=True)
class Geometry:
    """Band edges, target areas and motor use of one model and action.

    A coordinate is in the low band below ``*_low``, the middle band from
    ``*_low`` up to (not including) ``*_high``, the high band from ``*_high`` on.
    """

    model: int
    action: int
    x_low: float
    x_high: float
    y_low: float
    y_high: float
    targets: FrozenSet[Area]
    motors: Tuple[MotorUse, ...]
    success_count: int

    def area_of(self, x: float, y: float) -> Area:
        """The area the library gives the point (x, y)."""
        return area_of(self.model, self.action, x, y)

    def in_target(self, x: float, y: float) -> bool:
        """True when the library counts the point as arrived."""
        return in_target(self.model, self.action, x, y)

    def start_point(self, width: float = 0.0, height: float = 0.0) -> Tuple[float, float]:
        """A point in no target area; see :func:`start_point`."""
        return start_point(self.model, self.action, width, height)


def geometry(model: int, action: int) -> Geometry:
    """The :class:`Geometry` of a model (0..2) and an action (0..10)."""
    model, action = errors.model_action(model, action)
    record = new_record("TVK_Geometry")
    errors.check(kit.tvk_geometry(model, action, record), f"geometry of {model}/{action}")
    return Geometry(
        model=record.model,
        action=record.action,
        x_low=record.x_low,
        x_high=record.x_high,
        y_low=record.y_low,
        y_high=record.y_high,
        targets=frozenset(Area(i) for i in range(kit.TVK_AREA_COUNT) if record.target[i]),
        motors=tuple(MotorUse(use) for use in record.motor),
        success_count=record.success_count,
    )


def area_of(model: int, action: int, x: float, y: float) -> Area:
    """The :class:`Area` the library gives the point (x, y)."""
    model, action = errors.model_action(model, action)
    result = kit.tvk_area_of(model, action, errors.single("x", x), errors.single("y", y))
    return Area(errors.check(result, "area of a point"))


def in_target(model: int, action: int, x: float, y: float) -> bool:
    """True when the library counts the point (x, y) as arrived."""
    model, action = errors.model_action(model, action)
    result = kit.tvk_in_target(model, action, errors.single("x", x), errors.single("y", y))
    return bool(errors.check(result, "target test of a point"))


def start_point(
    model: int, action: int, width: float = 0.0, height: float = 0.0
) -> Tuple[float, float]:
    """A point (x, y) in no target area, to put the part back to.

    The middle of the non-target area nearest the grid's centre; ``width`` and
    ``height`` are the platform's extent (0 when unknown).
    """
    model, action = errors.model_action(model, action)
    width, height = errors.single("width", width), errors.single("height", height)
    if width < 0 or height < 0:
        raise ValueError(f"width and height must not be negative, got {width}, {height}")
    x, y = ffi.new("float *"), ffi.new("float *")
    errors.check(kit.tvk_start_point(model, action, width, height, x, y), "start point")
    return x[0], y[0]
