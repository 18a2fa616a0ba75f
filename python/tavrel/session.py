"""A tuning session over the kit's session driver."""

import os
import weakref

from . import errors
from ._callbacks import HeldErrors
from .capture import capture_active, capture_lines, capture_to_file, discard_diagnostics
from .geometry import geometry
from .native import ffi, kit, lib
from .records import Command, HostCommand, LogicParams, Outcome, StepReport, new_record

INT32_MAX = 2**31 - 1


class Session:
    """Tunes one action of one feeder model through the kit's session driver.

    ``camera()`` returns the part's position as ``(x, y)``, or None when the
    camera does not see it. ``feeder(command)`` runs a :class:`Command`. The
    driver gives the standard answers (verify when tuned, success or restart
    after the verification), stops at the step budget ``max_steps`` and
    declares the action failed early once every driven motor has swept its
    whole frequency window ``verdict_sweeps`` times at its top amplitude (None
    keeps the kit's defaults; 0 turns either off).

    The library's diagnostic text is discarded unless ``diagnostics`` is a
    path (the text goes to that file) or a function (called with each line);
    a capture the program already runs is left as it is.

    The library holds one session per process: end a session (``with``, or
    :meth:`end`) before starting the next. An exception raised by a callback
    is re-raised to the caller of :meth:`step` or :meth:`run`.
    """

    def __init__(
        self,
        model,
        action,
        camera,
        feeder,
        *,
        max_steps=None,
        verdict_sweeps=None,
        diagnostics=None,
    ):
        model, action = errors.model_action(model, action)
        if not callable(camera):
            raise TypeError(f"camera must be callable, got {camera!r}")
        if not callable(feeder):
            raise TypeError(f"feeder must be callable, got {feeder!r}")
        config = ffi.new("TVK_SessionConfig *")
        kit.tvk_session_config_init(config, model, action)
        if max_steps is not None:
            config.max_steps = errors.whole("max_steps", max_steps, 0, INT32_MAX)
        if verdict_sweeps is not None:
            config.verdict_sweeps = errors.whole("verdict_sweeps", verdict_sweeps, 0, INT32_MAX)
        self.model = model
        self.action = action
        self._held = HeldErrors()
        self._calling = False
        callbacks = _host_callbacks(self._held, camera, feeder)
        config.camera, config.feeder = callbacks
        capture = _start_diagnostics(diagnostics)
        out = ffi.new("TVK_Session **")
        try:
            errors.check(kit.tvk_session_start(config, out), "start a session (one per process)")
        except BaseException:
            if capture is not None:
                capture.stop()
            raise
        self._capture = capture
        # The finalizer holds the callbacks for as long as the kit may call
        # them, and ends a session the program dropped without ending it.
        self._end = weakref.finalize(self, _end_session, out[0], capture, callbacks)
        self._handle = out[0]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.end()

    @property
    def active(self):
        """True until the session is ended."""
        return self._end.alive

    @property
    def geometry(self):
        """The :class:`~tavrel.Geometry` of the session's model and action."""
        return geometry(self.model, self.action)

    def step(self):
        """Runs one library step with the standard answers; returns a :class:`StepReport`."""
        report = new_record("TVK_StepReport")
        began = kit.tvk_clock_seconds()
        result = self._call(kit.tvk_session_step, report)
        errors.check(result, "session step")
        return StepReport.from_c(report, began)

    def steps(self):
        """Yields each step's report until the outcome is decided."""
        while True:
            report = self.step()
            yield report
            if report.outcome != Outcome.RUNNING:
                return

    def run(self, put_back=None):
        """Runs steps until the outcome is decided; returns the last report.

        ``put_back()`` is called after each arrival (the part reached a target
        area) for the host to put the part back at its start.
        """
        errors.callable_or_none("put_back", put_back)
        callback = ffi.NULL
        if put_back is not None:

            def back(_user):
                put_back()

            callback = ffi.callback(
                "TVK_PutBackFn", self._held.guard("the put_back callback", back, None)
            )
        report = new_record("TVK_StepReport")
        result = self._call(kit.tvk_session_run, callback, report)
        errors.check(result, "session run")
        return StepReport.from_c(report)

    def command(self, command):
        """Gives a :class:`HostCommand` between steps (END stops the session)."""
        command = HostCommand(errors.whole("command", command, min(HostCommand), max(HostCommand)))
        errors.check(self._call(kit.tvk_session_command, command), f"command {command.name}")

    def set_params(self, params):
        """Sets the five host parameters (:class:`LogicParams`) between steps."""
        if not isinstance(params, LogicParams):
            raise TypeError(f"params must be LogicParams, got {params!r}")
        errors.check(self._call(kit.tvk_session_set_params, params.to_c()), "set parameters")

    @property
    def params(self):
        """The five host parameters in force (read from the library)."""
        self._live()
        return LogicParams.from_c(lib.TVLLogicParamRe())

    @property
    def outcome(self):
        """The session's :class:`Outcome`."""
        return self._outcome()[0]

    @property
    def reason(self):
        """Why the session ended, for a person; empty while running."""
        return self._outcome()[1]

    def end(self):
        """Ends the session (and the capture it started). Idempotent."""
        if self._calling:
            raise RuntimeError("a session cannot end inside one of its own callbacks")
        self._end()

    def _outcome(self):
        self._live()
        reason = ffi.new("char[]", kit.TVK_REASON_MAX)
        outcome = errors.check(
            kit.tvk_session_outcome(self._handle, reason, kit.TVK_REASON_MAX), "session outcome"
        )
        return Outcome(outcome), ffi.string(reason).decode("utf-8", "replace")

    def _live(self):
        if not self._end.alive:
            raise errors.TavrelError(kit.TVK_E_STATE, "the session has ended")

    def _call(self, function, *args):
        """Calls the kit on this session; raises what a callback raised."""
        self._live()
        self._calling = True
        try:
            result = function(self._handle, *args)
        finally:
            self._calling = False
        self._held.raise_held()
        if self._capture is not None:
            self._capture.raise_held()
        return result


def _host_callbacks(held, camera, feeder):
    """The kit's camera and feeder callbacks over the host's Python functions."""

    def report_position(_user, x, y):
        position = camera()
        if position is None:
            return 0
        if len(position) != 2:
            raise ValueError(f"camera must return (x, y) or None, got {position!r}")
        x[0] = errors.real("camera x", position[0])
        y[0] = errors.real("camera y", position[1])
        return 1

    def run_command(_user, command):
        feeder(Command.from_c(command))
        return 0

    return (
        ffi.callback("TVK_CameraFn", held.guard("the camera callback", report_position, -1)),
        ffi.callback("TVK_FeederFn", held.guard("the feeder callback", run_command, -1)),
    )


def _start_diagnostics(diagnostics):
    """The capture a session starts for the library's text, or None."""
    if diagnostics is None:
        return None if capture_active() else discard_diagnostics()
    if isinstance(diagnostics, (str, bytes, os.PathLike)):
        return capture_to_file(diagnostics)
    if callable(diagnostics):
        return capture_lines(diagnostics)
    raise TypeError(f"diagnostics must be None, a path or a function, got {diagnostics!r}")


def _end_session(handle, capture, _callbacks):
    kit.tvk_session_end(handle)
    if capture is not None:
        capture.stop()
