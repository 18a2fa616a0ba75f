"""Recording a session as the trace ``tavrel-replay`` reads."""

import os

from . import errors
from .native import ffi, kit
from .records import StepReport


def clock_seconds():
    """The monotonic clock the library reads, in seconds."""
    return kit.tvk_clock_seconds()


class Recorder:
    """Writes one trace row per step to a CSV file at ``path``.

    The file appears complete when the recorder closes; leaving a ``with``
    block by an exception abandons it and leaves nothing at ``path``.
    """

    def __init__(self, path, model, action):
        model, action = errors.model_action(model, action)
        self.path = os.fspath(path)
        out = ffi.new("TVK_Recorder **")
        doing = f"open the trace {self.path!r}"
        errors.check(kit.tvk_recorder_open(os.fsencode(self.path), model, action, out), doing)
        self._recorder = out[0]

    def __enter__(self):
        return self

    def __exit__(self, kind, _value, _traceback):
        if kind is None:
            self.close()
        else:
            self.abandon()

    def write(self, step, time_s=None, reset=False):
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
        time_s = errors.real("time_s", time_s)
        self._open()
        result = kit.tvk_recorder_write(self._recorder, time_s, step.to_c(), 1 if reset else 0)
        errors.check(result, f"write to the trace {self.path!r}")

    def close(self):
        """Finishes the file; raises when any write failed (nothing is left then)."""
        recorder, self._recorder = self._open(), None
        errors.check(kit.tvk_recorder_close(recorder), f"finish the trace {self.path!r}")

    def abandon(self):
        """Drops the recording and leaves nothing at the path. Idempotent."""
        if self._recorder is not None:
            kit.tvk_recorder_abandon(self._recorder)
            self._recorder = None

    def _open(self):
        if self._recorder is None:
            raise errors.TavrelError(kit.TVK_E_STATE, f"the trace {self.path!r} is closed")
        return self._recorder
