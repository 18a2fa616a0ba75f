"""Lifetimes: every object ends its native object once, by close, by ``with`` or when
collected, also when its callbacks refer back to it."""

import gc
import weakref

import pytest

import tavrel
from tavrel import sim

from conftest import feeder_for


class Host:
    """A host object holding its binding object, whose callbacks are its own methods."""

    def __init__(self):
        self.feeder = sim.SimFeeder(0)
        self.lines = []

    def camera(self):
        return self.feeder.camera()

    def vibrate(self, command):
        self.feeder.vibrate(command)

    def line(self, text):
        self.lines.append(text)


def make_session(host, _tmp_path):
    return tavrel.Session(0, 0, host.camera, host.vibrate, diagnostics=host.line)


def make_capture(host, _tmp_path):
    return tavrel.capture_lines(host.line)


def make_recorder(host, tmp_path):
    return tavrel.Recorder(tmp_path / "trace.csv", 0, 0)


def make_feeder(host, _tmp_path):
    return sim.SimFeeder(1)


# Each kind: how to make one, how to close it, a call it refuses once closed.
KINDS = {
    "session": (make_session, lambda s: s.end(), lambda s, _report: s.step()),
    "capture": (make_capture, lambda c: c.stop(), None),
    "recorder": (make_recorder, lambda r: r.close(), lambda r, report: r.write(report)),
    "feeder": (make_feeder, lambda f: f.close(), lambda f, _report: f.place(1, 1)),
}


@pytest.fixture(scope="module")
def report():
    """One step's report, from a session already ended."""
    feeder, _ = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
        return session.step()


def nothing_left_running():
    """The process can start a session and a capture again: nothing holds them."""
    feeder, _ = feeder_for(0, 0)
    assert not tavrel.capture_active()
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
        session.step()


def refuses_use(kind, thing, report):
    _, _, use = KINDS[kind]
    if use is not None:
        with pytest.raises(tavrel.StateError, match="has ended|is closed"):
            use(thing, report)


@pytest.mark.parametrize("kind", KINDS)
def test_closing_twice_is_harmless_and_a_closed_object_refuses_use(kind, tmp_path, report):
    make, close, _ = KINDS[kind]
    thing = make(Host(), tmp_path)
    close(thing)
    close(thing)
    refuses_use(kind, thing, report)
    nothing_left_running()


@pytest.mark.parametrize("kind", KINDS)
def test_leaving_with_releases(kind, tmp_path, report):
    make, _, _ = KINDS[kind]
    with make(Host(), tmp_path) as thing:
        pass
    refuses_use(kind, thing, report)
    nothing_left_running()


@pytest.mark.parametrize("kind", KINDS)
def test_an_object_its_own_callbacks_refer_back_to_is_collected(kind, tmp_path):
    make, _, _ = KINDS[kind]
    host = Host()
    host.thing = make(host, tmp_path)  # host -> thing -> callbacks -> host
    collected = weakref.ref(host.thing)
    del host
    gc.collect()
    assert collected() is None
    nothing_left_running()


def test_a_dropped_recording_leaves_nothing(tmp_path, report):
    recorder = tavrel.Recorder(tmp_path / "trace.csv", 0, 0)
    recorder.write(report, time_s=1.0)
    del recorder
    gc.collect()
    assert list(tmp_path.iterdir()) == []


def test_a_session_ended_by_collection_stops_its_capture():
    host = Host()
    host.session = make_session(host, None)
    host.session.step()
    assert tavrel.capture_active() and host.lines
    del host
    gc.collect()
    nothing_left_running()

