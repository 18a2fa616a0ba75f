"""Shared helpers of the binding's tests.

The libraries come from TAVREL_LIBRARY and TAVREL_HOSTKIT_LIBRARY (ctest sets
them); the package from PYTHONPATH. Every test that starts a session ends it
(``with``): the kit runs one session per process and pytest runs all tests in
one.
"""

import os
import subprocess
from pathlib import Path

import pytest

import tavrel
from tavrel import sim

SOURCE = Path(__file__).resolve().parents[2]


def built(variable, *fallback):
    """A program the build made: from the environment, else the build tree."""
    path = os.environ.get(variable) or str(SOURCE.joinpath("build", *fallback))
    if not Path(path).is_file():
        pytest.fail(f"{path} is missing: build the project, or set {variable}")
    return path


def feeder_for(model, action, seed=1):
    """The simulated feeder tavrel-sim draws for a model and action, part at its start."""
    feeder = sim.SimFeeder(
        model,
        sim.mix_seed(seed, model, 0),
        sim.mix_seed(seed, model * 1000003, action + 1),
    )
    start = tavrel.start_point(model, action, *sim.platform(model))
    feeder.place(*start)
    return feeder, start


@pytest.fixture(scope="session")
def layout():
    """The C compiler's sizes, offsets and constants, from the layout probe."""
    probe = built("TAVREL_LAYOUT_PROBE", "tests", "tavrel_layout_probe")
    facts = {}
    report = subprocess.run([probe], check=True, capture_output=True, text=True).stdout
    for line in report.splitlines():
        kind, name, value = line.split()
        facts[(kind, name)] = int(value)
    return facts


def pytest_configure(config):
    """Registers the marker of tests that need the project's tools."""
    config.addinivalue_line("markers", "tools: needs tavrel-sim or tavrel-replay from the build")
