"""Recording a session for tavrel-replay."""

import csv
import json
import subprocess
import sys
from pathlib import Path

import pytest

import tavrel
from tavrel import ErrorCode, TavrelError

from conftest import built, feeder_for

# Records one session in a fresh process, as a field host would: replay
# reproduces a session exactly when both start from a freshly loaded library.
RECORD = """
import json, sys
import tavrel
sys.path.insert(0, {tests!r})
from conftest import feeder_for

feeder, start = feeder_for(0, {action})
with tavrel.Recorder({trace!r}, 0, {action}) as recorder, \\
        tavrel.Session(0, {action}, feeder.camera, feeder.vibrate) as session:
    for report in session.steps():
        arrived = tavrel.Event.ARRIVED in report.events
        if arrived:
            feeder.place(*start)
        recorder.write(report, reset=arrived)
print(json.dumps([report.vibrations, report.command.motors, report.outcome.name]))
"""


@pytest.mark.tools
@pytest.mark.parametrize("action", [0, 8])
def test_a_recorded_session_replays_to_the_same_commands(tmp_path, action):
    trace, out = tmp_path / "trace.csv", tmp_path / "out.csv"
    script = RECORD.format(tests=str(Path(__file__).parent), action=action, trace=str(trace))
    done = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True
    )
    vibrations, motors, outcome = json.loads(done.stdout)
    assert outcome == "TUNED"
    replay = built("TAVREL_REPLAY", "tools", "replay", "tavrel-replay")
    subprocess.run([replay, str(trace), str(out)], check=True, capture_output=True)
    with open(out, newline="") as rows:
        commands = [row for row in csv.DictReader(rows) if row["act"]]
    assert len(commands) == vibrations
    last = commands[-1]
    words = [[int(last[f"m{m}_{w}"]) for w in ("amp", "fre", "pha", "mode")] for m in range(4)]
    assert words == motors


def test_a_failed_recording_leaves_nothing(tmp_path):
    trace = tmp_path / "trace.csv"
    feeder, _ = feeder_for(0, 0)
    with pytest.raises(ZeroDivisionError):
        with tavrel.Recorder(trace, 0, 0) as recorder, \
                tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
            recorder.write(session.step(), time_s=1.0)
            1 / 0
    assert not trace.exists()


def test_recorder_errors(tmp_path):
    with pytest.raises(TavrelError) as raised:
        tavrel.Recorder(tmp_path / "missing" / "trace.csv", 0, 0)
    assert raised.value.code == ErrorCode.IO
    with pytest.raises(ValueError, match="action must be from 0 to 10"):
        tavrel.Recorder(tmp_path / "t.csv", 0, 12)
    recorder = tavrel.Recorder(tmp_path / "t.csv", 0, 0)
    with pytest.raises(TypeError, match="step must be a StepReport"):
        recorder.write({"step": 0})
    recorder.close()
    assert (tmp_path / "t.csv").read_text().startswith(("step", "model", "time"))
    recorder.close()  # idempotent
