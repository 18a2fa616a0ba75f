"""Binding errors: one class per kit result code with the kit's message, threads, re-entry,
and exceptions from callbacks on every Python the guard must hold on."""

import builtins
import subprocess
import threading
from pathlib import Path

import pytest

import tavrel
from tavrel import ErrorCode, errors
from tavrel.native import ffi, kit
from tavrel.records import new_record

from conftest import SOURCE, feeder_for

# Result codes (ErrorCode names) and the class each raises.
CLASSES = [
    ("ARG", "ArgumentError"),
    ("BUSY", "BusyError"),
    ("STATE", "StateError"),
    ("IO", "KitIOError"),
    ("LIBRARY", "LibraryError"),
    ("CALLBACK", "CallbackError"),
    ("NOMEM", "OutOfMemoryError"),
    ("SIZE", "SizeError"),
    ("LAYOUT", "LayoutError"),
    ("HANDLE", "HandleError"),
    ("REENTRY", "ReentryError"),
    ("THREAD", "ThreadError"),
    ("LIMIT", "LimitError"),
    ("PLATFORM", "PlatformError"),
]


@pytest.mark.parametrize("code_name,name", CLASSES)
def test_each_result_code_raises_its_own_class(code_name, name):
    code = ErrorCode[code_name]
    with pytest.raises(getattr(tavrel, name)) as raised:
        errors.check(int(code), "doing it")
    error = raised.value
    assert isinstance(error, tavrel.TavrelError) and error.code == code
    assert str(error).startswith(f"doing it: {ffi.string(kit.tvk_strerror(code)).decode()}")
    assert f"({code.name})" in str(error)


def test_every_class_is_distinct_and_shadows_no_builtin():
    classes = {getattr(tavrel, name) for _, name in CLASSES}
    assert len(classes) == len(ErrorCode)
    assert not any(hasattr(builtins, name) for _, name in CLASSES)


def test_a_code_this_binding_does_not_know_still_raises():
    with pytest.raises(tavrel.TavrelError) as raised:
        errors.check(-99, "doing it")
    assert raised.value.code == -99 and type(raised.value) is tavrel.TavrelError


def stale_session_end(_tmp_path):
    """The kit's own refusal of an ended session's handle."""
    feeder, _ = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
        handle = session._handle
    errors.check(kit.tvk_session_end(handle), "end a stale session")


def end_from_inside_a_callback(_tmp_path):
    """The kit's own refusal, bypassing the binding's: tvk_session_end says why."""
    holder = {}

    def camera():
        errors.check(kit.tvk_session_end(holder["session"]._handle), "end inside the camera")

    with tavrel.Session(0, 0, camera, lambda command: None) as session:
        holder["session"] = session
        session.step()


def raw_step_from_a_second_thread_during_a_step(_tmp_path):
    """The kit's own refusal of a concurrent call, bypassing the binding's thread check."""
    holder, refused = {}, []

    def raw_step():
        report = new_record("TVK_StepReport")
        try:
            errors.check(kit.tvk_session_step(holder["handle"], report), "step concurrently")
        except tavrel.TavrelError as error:
            refused.append(error)

    def camera():
        worker = threading.Thread(target=raw_step)
        worker.start()
        worker.join()

    with tavrel.Session(0, 0, camera, lambda command: None) as session:
        holder["handle"] = session._handle
        session.step()
    raise refused[0]


def second_session(_tmp_path):
    feeder, _ = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate):
        tavrel.Session(0, 1, feeder.camera, feeder.vibrate)


def trace_in_missing_folder(tmp_path):
    tavrel.Recorder(tmp_path / "missing" / "trace.csv", 0, 0)


def stop_without_capture(_tmp_path):
    errors.check(kit.tvk_capture_stop(), "stop no capture")


# Failures the kit itself reports, what its message names, and whether the
# refused call was this thread's last failing one.
KIT_REFUSALS = [
    (stale_session_end, "HandleError", "tvk_session_end", True),
    (end_from_inside_a_callback, "ReentryError", "tvk_session_end", False),
    (raw_step_from_a_second_thread_during_a_step, "ThreadError", "tvk_session_step", False),
    (second_session, "BusyError", "tvk_session_start", True),
    (trace_in_missing_folder, "KitIOError", "missing/trace.csv': No such file or directory", True),
    (stop_without_capture, "StateError", "tvk_capture_stop", True),
]


@pytest.mark.parametrize("call,kind,names,last", KIT_REFUSALS)
def test_a_kit_refusal_carries_the_kits_message(tmp_path, call, kind, names, last):
    with pytest.raises(getattr(tavrel, kind)) as raised:
        call(tmp_path)
    detail = raised.value.detail
    assert detail and names in detail and str(raised.value).endswith(f": {detail}")
    if last:
        assert detail == errors.kit_message()


def run_in_thread(function):
    """What ``function()`` raises on a thread of its own, or None."""
    raised = []

    def body():
        try:
            function()
        except BaseException as error:  # handed back to the test's thread
            raised.append(error)

    worker = threading.Thread(target=body, name="intruder")
    worker.start()
    worker.join()
    return raised[0] if raised else None


def test_a_call_from_another_thread_is_refused_naming_both_threads(tmp_path):
    feeder, _ = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session, \
            tavrel.Recorder(tmp_path / "t.csv", 0, 0) as recorder:
        report = session.step()
        for call in (
            session.step,
            lambda: session.outcome,
            lambda: feeder.place(1.0, 2.0),
            lambda: recorder.write(report),
            session.end,
            lambda: feeder.close(),
        ):
            error = run_in_thread(call)
            assert type(error).__name__ == "ThreadError", error
            assert error.code == ErrorCode.THREAD
            assert "'MainThread'" in str(error) and "'intruder'" in str(error)
        # Nothing changed: the owner goes on.
        assert session.step().step == 1


def test_a_capture_belongs_to_its_thread():
    with tavrel.discard_diagnostics() as capture:
        error = run_in_thread(capture.stop)
        assert type(error).__name__ == "ThreadError" and "'intruder'" in str(error), error
        assert tavrel.capture_active()
    assert not tavrel.capture_active()


REENTRANT_CALLS = [
    ("end", lambda s: s.end()),
    ("step", lambda s: s.step()),
    ("command", lambda s: s.command(tavrel.HostCommand.END)),
]


@pytest.mark.parametrize("name,call", REENTRANT_CALLS)
def test_a_call_from_inside_a_callback_raises_reentry(name, call):
    holder = {}

    def camera():
        call(holder["session"])

    with tavrel.Session(0, 0, camera, lambda command: None) as session:
        holder["session"] = session
        with pytest.raises(tavrel.ReentryError, match="inside one of the session's own callbacks"):
            session.step()
        assert session.active and session.outcome == tavrel.Outcome.RUNNING


class NoNotes(Exception):
    """An exception as Python before 3.11 makes it: no add_note."""

    @property
    def add_note(self):
        raise AttributeError("add_note")


class RefusedNotes(Exception):
    def add_note(self, note):
        raise TypeError("no notes here")


class InterruptWithoutNotes(KeyboardInterrupt):
    add_note = NoNotes.add_note


@pytest.mark.parametrize("kind", [NoNotes, RefusedNotes, InterruptWithoutNotes])
def test_a_camera_exception_without_add_note_reaches_the_caller(kind):
    def camera():
        raise kind("camera broke")

    with tavrel.Session(0, 0, camera, lambda command: None) as session:
        with pytest.raises(kind, match="camera broke") as raised:
            session.step()
    assert any("inside the library's call" in note for note in raised.value.__notes__)


OLD_PYTHONS = [Path(f"/root/.pyenv/versions/{v}/bin/python3") for v in ("3.9.18", "3.10.13")]

# The guard on its own: it imports nothing of the package (which needs cffi).
GUARD_CHECK = """
import importlib.util, sys
located = importlib.util.spec_from_file_location("guard", sys.argv[1])
guard = importlib.util.module_from_spec(located)
located.loader.exec_module(guard)
for kind in (ValueError, KeyboardInterrupt):
    held = guard.HeldErrors()
    def fail():
        raise kind("from the camera")
    assert held.guard("the camera", fail, -1)() == -1
    try:
        held.raise_held()
    except kind as error:
        assert "inside the library's call" in error.__notes__[0], error.__notes__
    else:
        raise SystemExit(f"{kind.__name__} was lost")
print("held")
"""


@pytest.mark.parametrize("python", OLD_PYTHONS, ids=lambda p: p.parts[-3])
def test_the_guard_holds_exceptions_on_older_pythons(python):
    if not python.is_file():
        pytest.skip(f"{python} is not installed")
    guard = SOURCE / "python" / "tavrel" / "_callbacks.py"
    done = subprocess.run(
        [str(python), "-c", GUARD_CHECK, str(guard)], capture_output=True, text=True
    )
    assert (done.returncode, done.stdout.strip()) == (0, "held"), done.stderr
