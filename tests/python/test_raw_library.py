"""A host of the library's five entry points, through cffi, with no kit session.

This is what the standard ctypes cannot do: the coordinate callback returns
ST_HostMateInf by value, and the feeder callback receives the 40-byte command
by value.
"""

import pytest

import tavrel
from tavrel import Command, HostCommand, Status, TaskState
from tavrel._callbacks import HeldErrors
from tavrel.native import ffi, lib

from conftest import feeder_for


@pytest.fixture
def quiet():
    with tavrel.discard_diagnostics():
        yield


def raw_host(model, action):
    """Tunes like a C host would, with only the library; returns (commands, final task)."""
    feeder, start = feeder_for(model, action)
    commands, fillers, statuses = [], [], []
    held = HeldErrors()

    def coordinate():
        x, y = feeder.camera()
        return {"fPosX": x, "fPosY": y, "bMateReco": 1}

    def run(command):
        fillers.append(bytes(ffi.buffer(ffi.addressof(command)))[38:])
        commands.append(Command.from_c(command))
        feeder.vibrate(commands[-1])
        return 0

    def status(value):
        statuses.append(value)
        return 0

    callbacks = [
        ffi.callback("ST_HostMateInf(void)", held.guard("coordinate", coordinate, None)),
        ffi.callback("int(ST_HostFedColC)", held.guard("feeder", run, 0)),
        ffi.callback("int(int)", held.guard("status", status, 0)),
    ]
    assert lib.TVLInit(*callbacks, model, action) == 1
    task = TaskState.ADJUSTING
    for _ in range(3000):
        del statuses[:]
        task = TaskState(lib.TVLTask())
        if task == TaskState.END:
            break
        if Status.TUNED in statuses:
            lib.TVLLogicStaCol(HostCommand.VERIFY)
        elif Status.VERIFIED in statuses:
            stayed = tavrel.in_target(model, action, *feeder.camera())
            lib.TVLLogicStaCol(HostCommand.SUCCESS if stayed else HostCommand.RESTART)
        elif Status.WAITING in statuses and tavrel.in_target(model, action, *feeder.camera()):
            feeder.place(*start)
        held.raise_held()
    assert set(fillers) == {b"\0\0"}
    # Nothing may call the callbacks once they are freed.
    lib.TVLInit(ffi.NULL, ffi.NULL, ffi.NULL, model, action)
    return commands, task


@pytest.mark.parametrize("action", [0, 8])
def test_a_raw_host_tunes_as_the_kits_session_does(quiet, action):
    commands, task = raw_host(0, action)
    assert task == TaskState.END
    assert all(command.action == action for command in commands)
    feeder, start = feeder_for(0, action)
    with tavrel.Session(0, action, feeder.camera, feeder.vibrate) as session:
        last = session.run(put_back=lambda: feeder.place(*start))
    assert (len(commands), commands[-1]) == (last.vibrations, last.command)


def test_init_refuses_action_11_and_parameters_travel_by_value(quiet):
    assert lib.TVLInit(ffi.NULL, ffi.NULL, ffi.NULL, 0, 11) == 0
    assert lib.TVLTask() == TaskState.NONE
    assert lib.TVLInit(ffi.NULL, ffi.NULL, ffi.NULL, 1, 3) == 1
    lib.TVLLogicParamSet(12, 34, 56, 78, 910)
    assert tavrel.LogicParams.from_c(lib.TVLLogicParamRe()) == (12, 34, 56, 78, 910)
