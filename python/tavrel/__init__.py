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

The library has no threads: each object serves the thread that made it, and
one session runs at a time per process. A kit failure raises a subclass of
:class:`TavrelError`, one per result code. See docs/integrating.md in the
source tree.
"""

from . import native, sim
from ._version import __version__
from .capture import Capture, capture_active, capture_lines, capture_to_file, discard_diagnostics
from .errors import (
    ArgumentError,
    BusyError,
    CallbackError,
    ErrorCode,
    HandleError,
    KitIOError,
    LayoutError,
    LibraryError,
    LimitError,
    OutOfMemoryError,
    PlatformError,
    ReentryError,
    SizeError,
    StateError,
    TavrelError,
    ThreadError,
)
from .geometry import Geometry, area_of, geometry, in_target, start_point
from .instance import Instance
from .records import (
    Answers,
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


def kit_version() -> str:
    """The loaded host kit's version, the same as the library's."""
    return native.ffi.string(native.kit.tvk_version()).decode("ascii")


__all__ = [
    "Answers",
    "Area",
    "ArgumentError",
    "BusyError",
    "CallbackError",
    "Capture",
    "Command",
    "ErrorCode",
    "Event",
    "Geometry",
    "HandleError",
    "HostCommand",
    "Instance",
    "KitIOError",
    "LayoutError",
    "LibraryError",
    "LimitError",
    "LogicParams",
    "MotorUse",
    "MotorWords",
    "OutOfMemoryError",
    "Outcome",
    "PlatformError",
    "Recorder",
    "ReentryError",
    "Session",
    "SimFeeder",
    "SizeError",
    "StateError",
    "Status",
    "StepReport",
    "TaskState",
    "TavrelError",
    "ThreadError",
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
