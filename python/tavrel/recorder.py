"""Recording a session as the trace ``tavrel-replay`` reads."""

from __future__ import annotations

import os
from typing import Optional, Union

from . import errors
from ._lifetime import Native
from .native import ffi, kit
from .records import StepReport

Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def clock_seconds() -> float:
    """The monotonic clock the library reads, in seconds."""
    return kit.tvk_clock_seconds()


class Recorder:
    """Writes one trace row per step to a CSV file at ``path``.

    The file appears complete when the recorder closes. Leaving a ``with``
    block by an exception, :meth:`abandon`, or dropping the recorder without
    closing it leaves ``path`` as it was (nothing there, or the file that was).
    A recorder serves the thread that opened it only.
    """

    def __init__(self, path: Path, model: int, action: int) -> None:
        model, action = errors.model_action(model, action)
        self.path = os.fsdecode(os.fspath(path))
        out = ffi.new("TVK_Recorder **")
        doing = f"open the trace {self.path!r}"
        errors.check(kit.tvk_recorder_open(os.fsencode(self.path), model, action, out), doing)
        self._recorder = out[0]
        what = f"the trace {self.path!r}"
        self._native = Native(self, what, "is closed", kit.tvk_recorder_abandon, out[0])

    def __enter__(self) -> Recorder:
        return self

    def __exit__(self, kind: Optional[type], _value: object, _traceback: object) -> None:
        if kind is None:
            self.close()
        else:
            self.abandon()

    def write(self, step: StepReport, time_s: Optional[float] = None, reset: bool = False) -> None:
        """Writes one step's row.

        ``time_s`` is the host's clock in seconds when it called the step,
        never decreasing. By default it is the step's own ``time_s`` (else
        :func:`clock_seconds` now): the clock the library reads, so a replay
        reproduces the library's timeouts. ``reset``: the host put the part
        back after the step.
        """
        if not isinstance(step, StepReport):
            raise TypeError(f"step must be a StepReport, got {step!r}")
        if time_s is None:
            time_s = clock_seconds() if step.time_s is None else step.time_s
        seconds = errors.real("time_s", time_s)
        doing = f"write to the trace {self.path!r}"
        self._native.serve(doing)
        result = kit.tvk_recorder_write(self._recorder, seconds, step.to_c(), 1 if reset else 0)
        errors.check(result, doing)

    def close(self) -> None:
        """Finishes the file; raises when any write failed (``path`` is left as it was).

        Idempotent.
        """
        self._native.own("close the trace")
        if self._native.take() is not None:
            result = kit.tvk_recorder_close(self._recorder)
            errors.check(result, f"finish the trace {self.path!r}")

    def abandon(self) -> None:
        """Drops the recording and leaves the path as it was. Idempotent."""
        self._native.own("abandon the trace")
        self._native.release()
