"""The Python examples: against the C simulator on the same feeders, their traces through
tavrel-replay, and their command lines."""

import csv
import subprocess
import sys

import pytest

from conftest import SOURCE, built

EXAMPLES = SOURCE / "examples" / "python"
EXAMPLE = EXAMPLES / "tune_all.py"


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


@pytest.mark.tools
@pytest.mark.parametrize("model,action", [(0, 0), (2, 8)])
def test_the_recorded_trace_replays_to_the_printed_words(tmp_path, model, action):
    trace, out = tmp_path / "trace.csv", tmp_path / "out.csv"
    done = subprocess.run(
        [sys.executable, str(EXAMPLES / "record_trace.py"), "--model", str(model),
         "--action", str(action), "--out", str(trace)],
        capture_output=True, text=True, check=True,
    )
    printed = done.stdout.splitlines()[0].split(": ")[1].split()
    replay = built("TAVREL_REPLAY", "tools", "replay", "tavrel-replay")
    subprocess.run([replay, str(trace), str(out)], check=True, capture_output=True)
    with open(out, newline="") as rows:
        last = [row for row in csv.DictReader(rows) if row["act"]][-1]
    assert printed == [f"{last[f'm{m}_amp']}/{last[f'm{m}_fre']}" for m in range(4)]


# Command lines each example refuses, and the words its error must hold.
BAD_COMMAND_LINES = [
    ("tune_all.py", ["--model", "5"], "--model"),
    ("tune_all.py", ["--model", "x"], "--model"),
    ("tune_all.py", ["--seed", "-1"], "--seed must be from 0"),
    ("tune_all.py", ["--seed", str(2**64)], "--seed must be from 0"),
    ("tune_all.py", ["--plot", "picture.txt"], "--plot must name a .png file"),
    ("tune_all.py", ["--frobnicate"], "unrecognized arguments"),
    ("record_trace.py", [], "--out"),
    ("record_trace.py", ["--out", "/nonexistent-folder/t.csv"], "does not exist"),
    ("record_trace.py", ["--out", "t.csv", "--action", "11"], "--action"),
    ("record_trace.py", ["--out", "t.csv", "--seed", "-3"], "--seed must be from 0"),
]


@pytest.mark.parametrize("example,arguments,words", BAD_COMMAND_LINES)
def test_an_example_refuses_a_bad_command_line(tmp_path, example, arguments, words):
    done = subprocess.run(
        [sys.executable, str(EXAMPLES / example), *arguments],
        capture_output=True, text=True, cwd=tmp_path,
    )
    assert done.returncode == 2 and words in done.stderr, done.stderr
    assert "Traceback" not in done.stderr and list(tmp_path.iterdir()) == []
