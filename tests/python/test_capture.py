"""The library's diagnostic text stays out of the program's own output."""

import subprocess
import sys

import pytest

import tavrel
from tavrel import ErrorCode, TavrelError

from conftest import feeder_for

LIBRARY_TEXT = ("Logic Init", "Task Run")

# A host that prints on its own standard output before, during and after a
# session, its standard output a pipe (block-buffered, like a log file).
HOST = """
import tavrel
from tavrel import sim

feeder = sim.SimFeeder(0)

def camera():
    print("camera")
    return feeder.camera()

print("before")
with tavrel.Session(0, 0, camera, feeder.vibrate, max_steps=3, diagnostics={diagnostics}) as s:
    for report in s.steps():
        pass
print("after")
"""


def run_host(diagnostics):
    script = HOST.format(diagnostics=diagnostics)
    done = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True
    )
    return done.stdout.splitlines()


def test_a_python_host_sees_its_own_lines_and_not_the_librarys():
    assert run_host("None") == ["before", "camera", "camera", "camera", "after"]


def test_the_library_text_asked_for_comes_through_python_in_order():
    lines = run_host("print")
    assert lines[0] == "before" and lines[-1] == "after"
    assert lines.count("camera") == 3
    # Delivered after each step: the text of a step follows its camera line.
    assert lines[1:3] == ["camera", "Logic Init"]
    assert any("Task Run" in line for line in lines)


def test_diagnostics_to_a_file_and_to_a_function(tmp_path, capfd):
    feeder, _ = feeder_for(0, 0)
    log = tmp_path / "library.log"
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate, diagnostics=log) as session:
        session.step()
    lines = []
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate, diagnostics=lines.append) as session:
        session.step()
        delivered_by_step = len(lines)
    text = log.read_text()
    for phrase in LIBRARY_TEXT:
        assert phrase in text
        assert any(phrase in line for line in lines)
    assert delivered_by_step > 0
    assert all("\n" not in line for line in lines)
    assert not any(phrase in capfd.readouterr().out for phrase in LIBRARY_TEXT)


def test_a_capture_of_the_programs_own_is_left_in_place(tmp_path):
    feeder, _ = feeder_for(0, 0)
    log = tmp_path / "mine.log"
    with tavrel.capture_to_file(log):
        with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
            session.step()
        assert tavrel.capture_active()
        with pytest.raises(TavrelError) as raised:
            tavrel.discard_diagnostics()
        assert raised.value.code == ErrorCode.BUSY
    assert not tavrel.capture_active()
    assert "Task Run" in log.read_text()


def test_an_exception_in_the_line_function_reaches_the_caller():
    feeder, _ = feeder_for(0, 0)

    def refuse(line):
        raise KeyError(line)

    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate, diagnostics=refuse) as session:
        with pytest.raises(KeyError, match="Logic Init"):
            session.step()
    assert not tavrel.capture_active()


def test_capture_arguments():
    with pytest.raises(TypeError, match="function must be callable"):
        tavrel.capture_lines("print")
    with pytest.raises(TavrelError) as raised:
        tavrel.capture_to_file("/nonexistent-dir/x.log")
    assert raised.value.code == ErrorCode.IO
    assert not tavrel.capture_active()
