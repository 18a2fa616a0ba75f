"""The library's and the kit's records and numbers as Python types.

Every number here comes from the C declarations (``native``); the classes only
give them names and convert records to and from their C layout.
"""

from __future__ import annotations

import dataclasses
import enum
from typing import Any, NamedTuple, Optional, Tuple, Type, TypeVar, Union

from . import errors
from .native import ffi, kit, lib

WORD_MAX = 0xFFFF

Kind = TypeVar("Kind", bound=enum.IntEnum)


class TaskState(enum.IntEnum):
    """What ``TVLTask`` returns after a step."""

    NONE = lib.TVL_TASK_NONE
    ADJUSTING = lib.TVL_TASK_ADJ
    VERIFY_START = lib.TVL_TASK_VERIF_START
    VERIFYING = lib.TVL_TASK_VERIF_ING
    WAITING = lib.TVL_TASK_WAIT
    END = lib.TVL_TASK_END


class HostCommand(enum.IntEnum):
    """Commands a host gives the library (``TVLLogicStaCol``)."""

    END = lib.TVL_CMD_END
    RESTART = lib.TVL_CMD_RESTART
    VERIFY = lib.TVL_CMD_VERIFY
    SUCCESS = lib.TVL_CMD_SUCCESS


class Status(enum.IntEnum):
    """Statuses the library sends the host's status callback."""

    VIBRATING = 1
    WAITING = 2
    TUNED = 3
    VERIFIED = 6


class Area(enum.IntEnum):
    """Areas of the 3 x 3 grid as the library numbers them (X band, Y band)."""

    XLO_YMID = kit.TVK_AREA_XLO_YMID
    XLO_YLO = kit.TVK_AREA_XLO_YLO
    XLO_YHI = kit.TVK_AREA_XLO_YHI
    XMID_YLO = kit.TVK_AREA_XMID_YLO
    XMID_YHI = kit.TVK_AREA_XMID_YHI
    XHI_YMID = kit.TVK_AREA_XHI_YMID
    XHI_YLO = kit.TVK_AREA_XHI_YLO
    XHI_YHI = kit.TVK_AREA_XHI_YHI
    CENTRE = kit.TVK_AREA_CENTRE


class MotorUse(enum.IntEnum):
    """How an action uses a motor."""

    OFF = kit.TVK_MOTOR_OFF
    AUX = kit.TVK_MOTOR_AUX
    MAIN = kit.TVK_MOTOR_MAIN


class Answers(enum.IntEnum):
    """Who answers the library's statuses 3 (tuned) and 6 (verified)."""

    STANDARD = kit.TVK_ANSWERS_STANDARD  # the kit's driver: verify, then success or restart
    HOST = kit.TVK_ANSWERS_HOST  # the host, with Session.command between steps


class Event(enum.IntFlag):
    """What a session step brought."""

    VIBRATED = kit.TVK_EV_VIBRATED
    ARRIVED = kit.TVK_EV_ARRIVED
    TUNED = kit.TVK_EV_TUNED
    VERIFIED = kit.TVK_EV_VERIFIED
    RESTARTED = kit.TVK_EV_RESTARTED
    SUCCESS = kit.TVK_EV_SUCCESS
    TIMEOUT = kit.TVK_EV_TIMEOUT


class Outcome(enum.IntEnum):
    """Where a session stands."""

    RUNNING = kit.TVK_RUNNING
    TUNED = kit.TVK_TUNED
    FAILED = kit.TVK_FAILED
    BUDGET = kit.TVK_BUDGET
    STOPPED = kit.TVK_STOPPED


def as_enum(kind: Type[Kind], value: int) -> Union[Kind, int]:
    """``value`` as a member of ``kind``, or the plain int for a value it lacks."""
    try:
        return kind(value)
    except ValueError:
        return int(value)


def new_record(ctype: str) -> Any:
    """A zeroed kit record with its leading size member set."""
    record = ffi.new(f"{ctype} *")
    record.size = ffi.sizeof(ctype)
    return record


class MotorWords(NamedTuple):
    """The four words that drive one motor."""

    amplitude: int
    frequency: int
    phase: int
    mode: int


class Command(NamedTuple):
    """A feeder command: the action, four motors' words and the run time."""

    action: int
    motors: Tuple[MotorWords, ...]
    run_time: int

    @classmethod
    def from_c(cls, record: Any) -> Command:
        """Reads an ``ST_HostFedColC``."""
        motors = tuple(MotorWords(*record.u16MotParam[motor]) for motor in range(4))
        return cls(record.enAct, motors, record.u16RunTim)

    def to_c(self) -> Any:
        """A new ``ST_HostFedColC *`` with this command, its filler zero."""
        errors.whole("command action", self.action, 0, kit.TVK_ACTION_COUNT - 1)
        if len(self.motors) != kit.TVK_MOTOR_COUNT:
            raise ValueError(f"a command drives 4 motors, got {len(self.motors)}")
        record = ffi.new("ST_HostFedColC *")
        record.enAct = self.action
        for motor, words in enumerate(self.motors):
            if len(words) != 4:
                raise ValueError(f"motor {motor} needs 4 words, got {words!r}")
            for index, word in enumerate(words):
                name = f"motor {motor} {MotorWords._fields[index]}"
                record.u16MotParam[motor][index] = errors.whole(name, word, 0, WORD_MAX)
        record.u16RunTim = errors.whole("run time", self.run_time, 0, WORD_MAX)
        return record


class LogicParams(NamedTuple):
    """The five parameters a host may tune (main motors of the action)."""

    amp_init: int
    amp_max: int
    fre_init: int
    fre_max: int
    run_time: int

    @classmethod
    def from_c(cls, record: Any) -> LogicParams:
        """Reads an ``ST_HostLogicParam``."""
        return cls(
            record.u16AmpInit,
            record.u16AmpMax,
            record.u16FreInit,
            record.u16FreMax,
            record.u16FedRunTim,
        )

    def to_c(self) -> Any:
        """A new ``ST_HostLogicParam *`` with these values."""
        record = ffi.new("ST_HostLogicParam *")
        record.u16AmpInit = errors.whole("amp_init", self.amp_init, 0, WORD_MAX)
        record.u16AmpMax = errors.whole("amp_max", self.amp_max, 0, WORD_MAX)
        record.u16FreInit = errors.whole("fre_init", self.fre_init, 0, WORD_MAX)
        record.u16FreMax = errors.whole("fre_max", self.fre_max, 0, WORD_MAX)
        record.u16FedRunTim = errors.whole("run_time", self.run_time, 0, WORD_MAX)
        return record


@dataclasses.dataclass(frozen=True)
class StepReport:
    """One session step as the host saw it (``TVK_StepReport``).

    ``time_s`` is the library's clock when the step began (None for the
    report :meth:`Session.run` returns).
    """

    step: int
    task: Union[TaskState, int]
    seen: bool
    x: float
    y: float
    dx: float
    dy: float
    area: Union[Area, int, None]
    statuses: Tuple[Union[Status, int], ...]
    host_command: Union[HostCommand, int, None]
    events: Event
    outcome: Union[Outcome, int]
    vibrations: int
    commanded: bool
    command: Optional[Command]
    reason: str
    time_s: Optional[float] = dataclasses.field(compare=False)
    raw: bytes = dataclasses.field(repr=False, compare=False)

    @classmethod
    def from_c(cls, record: Any, time_s: Optional[float] = None) -> StepReport:
        """Reads a ``TVK_StepReport``; keeps its bytes for the recorder."""
        count = min(record.status_count, kit.TVK_STATUS_MAX)
        return cls(
            step=record.step,
            task=as_enum(TaskState, record.task),
            seen=bool(record.seen),
            x=record.x,
            y=record.y,
            dx=record.dx,
            dy=record.dy,
            area=None if record.area < 0 else as_enum(Area, record.area),
            statuses=tuple(as_enum(Status, s) for s in record.status[0:count]),
            host_command=(
                None if record.host_command < 0 else as_enum(HostCommand, record.host_command)
            ),
            events=Event(record.events),
            outcome=as_enum(Outcome, record.outcome),
            vibrations=record.vibrations,
            commanded=bool(record.commanded),
            command=Command.from_c(record.command) if record.vibrations else None,
            reason=ffi.string(record.reason).decode("utf-8", "replace"),
            time_s=time_s,
            raw=bytes(ffi.buffer(record)),
        )

    def to_c(self) -> Any:
        """A new ``TVK_StepReport *`` holding this report's bytes."""
        record = ffi.new("TVK_StepReport *")
        ffi.buffer(record)[:] = self.raw
        return record
