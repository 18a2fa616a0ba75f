"""Values: what a camera returns and every coordinate given to the kit must fit a C float."""

import math

import pytest

import tavrel
from tavrel import sim

FLOAT_MAX = 3.4028234663852886e38

# Camera answers the session refuses, and what the error must say.
BAD_ANSWERS = [
    ((1e39, -1e39), ValueError, r"camera x must be within the float range .*got 1e\+39"),
    ((0.0, -1e39), ValueError, r"camera y must be within the float range .*got -1e\+39"),
    ((math.nan, 1.0), ValueError, "camera x must be finite, got nan"),
    ((1.0, math.inf), ValueError, "camera y must be finite, got inf"),
    (("1", 2.0), TypeError, "camera x must be a number, got '1'"),
    ((1.0, 2.0, 2), ValueError, "camera seen must be from 0 to 1, got 2"),
    ((1.0, 2.0, "yes"), TypeError, "camera seen must be an integer, got 'yes'"),
    ((1.0,), ValueError, r"camera must return \(x, y\), \(x, y, seen\) or None, got \(1.0,\)"),
    ("xy", TypeError, r"camera must return \(x, y\), \(x, y, seen\) or None, got 'xy'"),
    (7, TypeError, r"camera must return \(x, y\), \(x, y, seen\) or None, got 7"),
]


@pytest.mark.parametrize("answer,error,text", BAD_ANSWERS, ids=lambda v: repr(v)[:24])
def test_a_bad_camera_answer_is_raised_from_the_step_naming_it(answer, error, text):
    with tavrel.Session(0, 0, lambda: answer, lambda command: None) as session:
        with pytest.raises(error, match=text):
            session.step()
        assert session.outcome == tavrel.Outcome.RUNNING


# Answers that are fine, and whether the step saw the part.
GOOD_ANSWERS = [
    ((95.0, 77.5), True),
    ([95, 77], True),
    ((95.0, 77.5, True), True),
    ((95.0, 77.5, 1), True),
    ((95.0, 77.5, False), False),
    ((95.0, 77.5, 0), False),
    ((FLOAT_MAX, -FLOAT_MAX), True),
    (None, False),
]


@pytest.mark.parametrize("answer,seen", GOOD_ANSWERS)
def test_a_good_camera_answer_reaches_the_library(answer, seen):
    with tavrel.Session(0, 0, lambda: answer, lambda command: None) as session:
        report = session.step()
    assert report.seen == seen
    if seen:
        assert (report.x, report.y) == (float(answer[0]), float(answer[1]))


# Coordinates passed to the kit as C floats, each refused when out of range.
FLOAT_ARGUMENTS = [
    (lambda v: tavrel.area_of(0, 0, v, 1.0), "x"),
    (lambda v: tavrel.in_target(0, 0, 1.0, v), "y"),
    (lambda v: tavrel.start_point(0, 0, v, 10.0), "width"),
    (lambda v: tavrel.geometry(0, 0).area_of(1.0, v), "y"),
    (lambda v: sim.SimFeeder(0).place(v, 1.0), "x"),
]


@pytest.mark.parametrize("call,name", FLOAT_ARGUMENTS)
@pytest.mark.parametrize("value", [3.5e38, -1e39, 1e300])
def test_a_coordinate_beyond_the_float_range_is_refused(call, name, value):
    with pytest.raises(ValueError, match=f"{name} must be within the float range"):
        call(value)
