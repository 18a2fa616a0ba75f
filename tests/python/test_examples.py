"""The Python example against the C simulator on the same feeders."""

import subprocess
import sys

import pytest

from conftest import SOURCE, built

EXAMPLE = SOURCE / "examples" / "python" / "tune_all.py"


def rows(output):
    """Model, action, result, vibrations and the four motor cells of each table row."""
    table = []
    for line in output.splitlines()[1:]:
        cells = line.split()
        if cells and cells[0].isdigit():
            table.append(cells[:4] + cells[-4:])
    return table


@pytest.mark.tools
@pytest.mark.parametrize("model", range(3))
def test_the_example_tunes_what_tavrel_sim_tunes(model):
    tavrel_sim = built("TAVREL_SIM", "tools", "sim", "tavrel-sim")
    example = subprocess.run(
        [sys.executable, str(EXAMPLE), "--model", str(model)],
        capture_output=True, text=True, check=True,
    )
    simulator = subprocess.run(
        [tavrel_sim, "--model", str(model), "--action", "all"],
        capture_output=True, text=True, check=True,
    )
    assert len(rows(example.stdout)) == 11
    assert rows(example.stdout) == rows(simulator.stdout)
    assert "Task Run" not in example.stdout + example.stderr


def test_the_example_refuses_a_bad_model():
    done = subprocess.run(
        [sys.executable, str(EXAMPLE), "--model", "5"], capture_output=True, text=True
    )
    assert done.returncode == 2 and "--model" in done.stderr
