"""Instances from Python: sessions on private copies of the library at once in threads,
each copy's capture its own, the loader's limit and the lifetimes refused cleanly."""

import threading

import pytest

import tavrel
from tavrel import Event, sim

FEEDERS = [(0, 2), (1, 5), (2, 8)]


def tune(model, action, instance=None, diagnostics=None):
    """The steps of one session: outcome, vibrations and the command's words."""
    with sim.SimFeeder(model, 7, action + 1, instance=instance) as feeder:
        start = tavrel.start_point(model, action, *sim.platform(model))
        feeder.place(*start)
        with tavrel.Session(model, action, feeder.camera, feeder.vibrate, max_steps=600,
                            instance=instance, diagnostics=diagnostics) as session:
            steps = []
            for report in session.steps():
                if Event.ARRIVED in report.events:
                    feeder.place(*start)
                steps.append((report.outcome, report.vibrations, report.command))
            return steps


def on_fresh_instance(model, action):
    """One session on an instance of its own (the process's copy keeps the state
    earlier sessions left)."""
    with tavrel.Instance() as instance:
        return tune(model, action, instance)


def test_sessions_on_instances_in_threads_give_what_they_give_alone():
    alone = [on_fresh_instance(model, action) for model, action in FEEDERS]
    together = [None] * len(FEEDERS)

    def work(index):
        together[index] = on_fresh_instance(*FEEDERS[index])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(FEEDERS))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert together == alone
    assert all(len(steps) > 10 for steps in alone)


def test_each_instance_captures_its_own_text():
    lines = {0: [], 1: []}
    with tavrel.Instance() as first, tavrel.Instance() as second:
        tune(0, 2, first, lines[0].append)
        tune(1, 5, second, lines[1].append)
        assert not tavrel.capture_active(first)
    assert "FedMod = 0" in lines[0] and "FedMod = 1" not in lines[0]
    assert "FedMod = 1" in lines[1] and "FedMod = 0" not in lines[1]


def test_a_session_on_an_instance_serves_the_thread_that_made_it():
    with tavrel.Instance() as instance, sim.SimFeeder(0, instance=instance) as feeder:
        with tavrel.Session(0, 2, feeder.camera, feeder.vibrate, instance=instance) as session:
            refused = []

            def other():
                try:
                    session.step()
                except tavrel.ThreadError as error:
                    refused.append(error)

            thread = threading.Thread(target=other)
            thread.start()
            thread.join()
            assert len(refused) == 1 and refused[0].code == tavrel.ErrorCode.THREAD
            session.step()


def test_an_instance_closes_after_its_objects_and_refuses_use_after():
    instance = tavrel.Instance()
    feeder = sim.SimFeeder(0, instance=instance)
    with pytest.raises(tavrel.StateError, match="the simulated feeder first"):
        instance.close()
    feeder.close()
    instance.close()
    instance.close()
    with pytest.raises(tavrel.StateError, match="closed"):
        sim.SimFeeder(0, instance=instance)


def test_past_the_loaders_limit_an_open_raises_limit_error():
    opened = []
    try:
        with pytest.raises(tavrel.LimitError, match="glibc.rtld.nns"):
            for _ in range(20):
                opened.append(tavrel.Instance())
        assert len(opened) >= 8
    finally:
        for instance in opened:
            instance.close()
    with tavrel.Instance():
        pass
