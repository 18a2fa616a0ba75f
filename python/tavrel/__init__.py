"""Python host binding of the Tavrel feeder self-tuning library.

The binding loads the same shared libraries a C host links: ``libtavrel``
(the library) and ``libtavrel_hostkit`` (the host kit). Typical use::

    import tavrel

    feeder = tavrel.SimFeeder(model=0)
    start = tavrel.start_point(0, 0, *tavrel.sim.platform(0))
    feeder.place(*start)
    with tavrel.Session(0, 0, feeder.camera, feeder.vibrate) as session:
        last = session.run(put_back=lambda: feeder.place(*start))
    print(last.outcome.name, last.reason)

The library has no threads: use it from one thread, and run one session at a
time per process. See docs/integrating.md in the source tree.
"""

from . import native, sim
from ._version import __version__
from .capture import Capture, capture_active, capture_lines, capture_to_file, discard_diagnostics
from .errors import ErrorCode, TavrelError
from .geometry import Geometry, area_of, geometry, in_target, start_point
from .records import (
    Area,
    Command,
    Event,
    HostCommand,
    LogicParams,
    MotorUse,
    MotorWords,
    Outcome,
    Status,
    StepReport,
    TaskState,
)
from .recorder import Recorder, clock_seconds
from .session import Session
from .sim import SimFeeder


def kit_version():
    """The loaded host kit's version, the same as the library's."""
    return native.ffi.string(native.kit.tvk_version()).decode("ascii")


__all__ = [
    "Area",
    "Capture",
    "Command",
    "ErrorCode",
    "Event",
    "Geometry",
    "HostCommand",
    "LogicParams",
    "MotorUse",
    "MotorWords",
    "Outcome",
    "Recorder",
    "Session",
    "SimFeeder",
    "Status",
    "StepReport",
    "TaskState",
    "TavrelError",
    "__version__",
    "area_of",
    "capture_active",
    "capture_lines",
    "capture_to_file",
    "clock_seconds",
    "discard_diagnostics",
    "geometry",
    "in_target",
    "kit_version",
    "native",
    "sim",
    "start_point",
]
