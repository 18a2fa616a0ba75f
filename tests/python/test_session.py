"""Sessions over the kit's driver: tuning, verdicts, callback errors, bad arguments."""

import pytest

import tavrel
from tavrel import ErrorCode, Event, HostCommand, LogicParams, Outcome, TavrelError

from conftest import feeder_for


def tune(model, action, by_steps):
    """Tunes one action of the simulated feeder; returns the last report and the arrivals."""
    feeder, start = feeder_for(model, action)
    arrivals = []
    with tavrel.Session(model, action, feeder.camera, feeder.vibrate) as session:
        if by_steps:
            for report in session.steps():
                if Event.ARRIVED in report.events:
                    arrivals.append(report.step)
                    feeder.place(*start)
            last = report
        else:
            last = session.run(put_back=lambda: (arrivals.append(None), feeder.place(*start)))
        assert (session.outcome, session.reason) == (last.outcome, last.reason)
    return last, len(arrivals)


@pytest.mark.parametrize("model", range(3))
def test_every_action_of_the_simulated_feeder_tunes(model):
    for action in range(11):
        last, _ = tune(model, action, by_steps=False)
        assert last.outcome == Outcome.TUNED, (action, last.reason)
        assert last.task == tavrel.TaskState.END
        assert last.reason == "tuned and verified: the part stayed in its target"
        assert last.command.action == action and last.vibrations > 0
        assert tavrel.in_target(model, action, last.x, last.y)


def test_stepping_by_hand_gives_what_run_gives():
    for action in (0, 8):
        by_run = tune(0, action, by_steps=False)
        by_steps = tune(0, action, by_steps=True)
        assert by_steps == by_run


def test_a_feeder_that_cannot_move_the_part_gets_an_early_verdict():
    with tavrel.Session(0, 0, lambda: (95.0, 77.5), lambda command: None) as session:
        last = session.run()
    assert last.outcome == Outcome.FAILED
    assert "swept its whole frequency window" in last.reason
    assert 0 < last.vibrations < 3000


@pytest.mark.parametrize(
    "options,outcome",
    [
        ({"max_steps": 40, "verdict_sweeps": 0}, Outcome.BUDGET),
        ({"max_steps": 0, "verdict_sweeps": 1}, Outcome.FAILED),
    ],
)
def test_budget_and_verdict_settings_reach_the_driver(options, outcome):
    with tavrel.Session(0, 0, lambda: (95.0, 77.5), lambda command: None, **options) as session:
        last = session.run()
    assert last.outcome == outcome
    if outcome == Outcome.BUDGET:
        assert last.step == 39


class CameraBroke(Exception):
    pass


@pytest.mark.parametrize("where", ["camera", "feeder", "put_back"])
def test_an_exception_in_a_host_callback_reaches_the_caller(where):
    feeder, start = feeder_for(0, 0)
    calls = {"camera": 0, "feeder": 0, "put_back": 0}

    def counted(name, function):
        def call(*args):
            calls[name] += 1
            if name == where and calls[name] == 1:
                raise CameraBroke(name)
            return function(*args)

        return call

    camera = counted("camera", feeder.camera)
    vibrate = counted("feeder", feeder.vibrate)
    put_back = counted("put_back", lambda: feeder.place(*start))
    with tavrel.Session(0, 0, camera, vibrate) as session:
        with pytest.raises(CameraBroke, match=where) as raised:
            session.run(put_back=put_back)
        assert any("inside the library's call" in note for note in raised.value.__notes__)
        assert calls[where] == 1
        # The host may go on after handling it.
        session.step()
    # Ended despite the error: the next session starts.
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate):
        pass


def test_a_camera_answer_that_is_not_a_position_is_reported():
    with tavrel.Session(0, 0, lambda: (1.0,), lambda command: None) as session:
        with pytest.raises(ValueError, match=r"camera must return \(x, y\), \(x, y, seen\)"):
            session.step()


def test_one_session_per_process():
    feeder, _ = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as first:
        with pytest.raises(TavrelError, match="one per process") as raised:
            tavrel.Session(0, 1, feeder.camera, feeder.vibrate)
        assert raised.value.code == ErrorCode.BUSY
        first.step()
    with tavrel.Session(0, 1, feeder.camera, feeder.vibrate) as second:
        second.step()


def test_a_dropped_session_is_ended():
    feeder, _ = feeder_for(0, 0)
    tavrel.Session(0, 0, feeder.camera, feeder.vibrate).step()
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate):
        pass


def test_host_commands_and_parameters():
    feeder, _ = feeder_for(0, 0)
    params = LogicParams(amp_init=11, amp_max=55, fre_init=61, fre_max=79, run_time=250)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
        session.set_params(params)
        assert session.params == params
        report = session.step()
        assert report.outcome == Outcome.RUNNING and session.reason == ""
        session.command(HostCommand.END)
        assert session.outcome == Outcome.STOPPED
        with pytest.raises(TavrelError) as raised:
            session.step()
        assert raised.value.code == ErrorCode.STATE
    with pytest.raises(TavrelError, match="the session has ended"):
        session.step()


def test_a_session_cannot_end_inside_its_own_callback():
    holder = {}

    def camera():
        holder["session"].end()

    with tavrel.Session(0, 0, camera, lambda command: None) as session:
        holder["session"] = session
        with pytest.raises(tavrel.ReentryError, match="inside one of the session's own callbacks"):
            session.step()
        assert session.active


def no_camera():
    return None


def no_feeder(command):
    return None


@pytest.mark.parametrize(
    "arguments,error,text",
    [
        ((3, 0, no_camera, no_feeder), ValueError, "model must be from 0 to 2, got 3"),
        ((0, 11, no_camera, no_feeder), ValueError, "action must be from 0 to 10, got 11"),
        ((0, 0, None, no_feeder), TypeError, "camera must be callable"),
        ((0, 0, no_camera, 5), TypeError, "feeder must be callable"),
    ],
)
def test_bad_session_arguments(arguments, error, text):
    with pytest.raises(error, match=text):
        tavrel.Session(*arguments)


@pytest.mark.parametrize(
    "options,error,text",
    [
        ({"max_steps": -1}, ValueError, "max_steps must be from 0"),
        ({"verdict_sweeps": "1"}, TypeError, "verdict_sweeps must be an integer"),
        ({"diagnostics": 3}, TypeError, "diagnostics must be None, a path or a function"),
        ({"answers": 2}, ValueError, "answers must be from 0 to 1, got 2"),
        ({"answers": "host"}, TypeError, "answers must be an integer"),
    ],
)
def test_bad_session_options(options, error, text):
    with pytest.raises(error, match=text):
        tavrel.Session(0, 0, no_camera, no_feeder, **options)
    assert not tavrel.capture_active()


@pytest.mark.parametrize(
    "call,error,text",
    [
        (lambda s: s.command(9), ValueError, "command must be from 0 to 3, got 9"),
        (lambda s: s.set_params((1, 2, 3, 4, 5)), TypeError, "params must be LogicParams"),
        (
            lambda s: s.set_params(LogicParams(1, 70000, 3, 4, 5)),
            ValueError,
            "amp_max must be from 0 to 65535",
        ),
        (lambda s: s.run(put_back="back"), TypeError, "put_back must be callable"),
    ],
)
def test_bad_arguments_to_a_running_session(call, error, text):
    with tavrel.Session(0, 0, no_camera, no_feeder) as session:
        with pytest.raises(error, match=text):
            call(session)


def tune_answering_as_the_host(model, action):
    """Steps a session with host answers, answering as the standard driver would."""
    feeder, start = feeder_for(model, action)
    answers = []
    with tavrel.Session(model, action, feeder.camera, feeder.vibrate,
                        answers=tavrel.Answers.HOST) as session:
        for report in session.steps():
            assert report.host_command is None
            assert not report.events & (Event.TUNED | Event.VERIFIED | Event.SUCCESS)
            if Event.ARRIVED in report.events:
                feeder.place(*start)
            if tavrel.Status.TUNED in report.statuses:
                answers.append(HostCommand.VERIFY)
            elif tavrel.Status.VERIFIED in report.statuses:
                stayed = tavrel.in_target(model, action, *feeder.camera())
                answers.append(HostCommand.SUCCESS if stayed else HostCommand.RESTART)
            else:
                continue
            session.command(answers[-1])
    return report, answers


@pytest.mark.parametrize("model,action", [(0, 0), (1, 4), (2, 8)])
def test_a_host_answering_as_the_driver_does_tunes_alike(model, action):
    standard, _ = tune(model, action, by_steps=True)
    by_host, answers = tune_answering_as_the_host(model, action)
    assert answers[0] == HostCommand.VERIFY and answers[-1] == HostCommand.SUCCESS
    assert by_host.outcome == Outcome.TUNED
    assert (by_host.step, by_host.vibrations, by_host.command) == (
        standard.step, standard.vibrations, standard.command)


def test_a_host_that_never_answers_is_not_answered_for():
    feeder, start = feeder_for(0, 0)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate, answers=tavrel.Answers.HOST,
                        max_steps=400) as session:
        last = session.run(put_back=lambda: feeder.place(*start))
    assert last.outcome != Outcome.TUNED and last.host_command is None
