"""Geometry through the binding against the library's own classification."""

import itertools
import math

import pytest

import tavrel
from tavrel import Area, sim

PAIRS = list(itertools.product(range(3), range(11)))


def band(value, low, high):
    """The band the header documents: low below low, middle up to high, high from it on."""
    return "LO" if value < low else "MID" if value < high else "HI"


def area_from_bands(x_band, y_band):
    """The area whose name spells the two bands (the centre is MID/MID)."""
    if (x_band, y_band) == ("MID", "MID"):
        return Area.CENTRE
    return Area[f"X{x_band}_Y{y_band}"]


def probes(low, high):
    """Coordinates on, just below and just above both band edges, and far out."""
    near = [edge + step for edge in (low, high) for step in (-0.01, 0.0, 0.01)]
    return [low - 40, (low + high) / 2, high + 40] + near


@pytest.mark.parametrize("model,action", PAIRS)
def test_geometry_agrees_with_the_classification_of_points(model, action):
    g = tavrel.geometry(model, action)
    assert (g.model, g.action) == (model, action)
    assert g.x_low < g.x_high and g.y_low < g.y_high
    assert g.targets and g.success_count > 0
    assert tavrel.MotorUse.MAIN in g.motors
    for x, y in itertools.product(probes(g.x_low, g.x_high), probes(g.y_low, g.y_high)):
        expected = area_from_bands(band(x, g.x_low, g.x_high), band(y, g.y_low, g.y_high))
        assert g.area_of(x, y) == expected, (x, y)
        assert g.in_target(x, y) == (expected in g.targets), (x, y)


@pytest.mark.parametrize("model,action", PAIRS)
def test_the_start_point_is_on_the_platform_and_in_no_target(model, action):
    width, height = sim.platform(model)
    x, y = tavrel.start_point(model, action, width, height)
    assert 0 <= x <= width and 0 <= y <= height
    assert not tavrel.in_target(model, action, x, y)


@pytest.mark.parametrize(
    "call,error,text",
    [
        (lambda: tavrel.geometry(3, 0), ValueError, "model must be from 0 to 2, got 3"),
        (lambda: tavrel.geometry(-1, 0), ValueError, "model must be from 0 to 2, got -1"),
        (lambda: tavrel.geometry(0, 11), ValueError, "action must be from 0 to 10, got 11"),
        (lambda: tavrel.geometry(True, 0), TypeError, "model must be an integer, got True"),
        (lambda: tavrel.geometry(0, 1.0), TypeError, "action must be an integer, got 1.0"),
        (lambda: tavrel.area_of(0, 0, "1", 2), TypeError, "x must be a number, got '1'"),
        (lambda: tavrel.in_target(0, 0, 1, math.nan), ValueError, "y must be finite, got nan"),
        (lambda: tavrel.start_point(0, 0, -1, 10), ValueError, "must not be negative"),
        (lambda: sim.platform(7), ValueError, "model must be from 0 to 2, got 7"),
    ],
)
def test_bad_arguments_are_refused_before_they_reach_c(call, error, text):
    with pytest.raises(error, match=text):
        call()
