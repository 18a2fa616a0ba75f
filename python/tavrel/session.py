"""A tuning session over the kit's session driver."""

from __future__ import annotations

import os
from typing import Any, Callable, Iterator, Optional, Tuple, Union

from . import errors
from ._callbacks import HeldErrors, weak_callback
from ._lifetime import Native
from .capture import Capture, capture_active, capture_lines, capture_to_file, discard_diagnostics
from .geometry import Geometry, geometry
from .instance import Instance
from .native import ffi, kit, lib
from .records import Answers, Command, HostCommand, LogicParams, Outcome, StepReport, new_record

INT32_MAX = 2**31 - 1

CameraAnswer = Optional[Tuple[Any, ...]]
Diagnostics = Union[None, str, bytes, "os.PathLike[str]", Callable[[str], object]]


class Session:
    """Tunes one action of one feeder model through the kit's session driver.

    ``camera()`` returns the part's position as ``(x, y)`` (or ``(x, y,
    seen)``), or None when the camera does not see it; coordinates must fit a
    C float. ``feeder(command)`` runs a :class:`Command`. With ``answers``
    :attr:`Answers.STANDARD` the driver answers the library (verify when
    tuned, success or restart after the verification); with
    :attr:`Answers.HOST` it gives no command and the host answers with
    :meth:`command` between steps. The driver stops at the step budget
    ``max_steps`` and declares the action failed early once every driven
    motor has swept its whole frequency window ``verdict_sweeps`` times at its
    top amplitude (None keeps the kit's defaults; 0 turns either off).

    The library's diagnostic text is discarded unless ``diagnostics`` is a
    path (the text goes to that file) or a function (called with each line);
    a capture the program already runs is left as it is.

    The library holds one session per copy: end a session (``with``, or
    :meth:`end`) before starting the next; a session on an :class:`Instance`
    (``instance=``) runs on that copy, at once with sessions on others; one the program drops is ended when
    Python collects it. A session serves the thread that started it only. An
    exception raised by a callback is re-raised to the caller of :meth:`step`
    or :meth:`run`.
    """

    def __init__(
        self,
        model: int,
        action: int,
        camera: Callable[[], CameraAnswer],
        feeder: Callable[[Command], object],
        *,
        max_steps: Optional[int] = None,
        verdict_sweeps: Optional[int] = None,
        answers: Answers = Answers.STANDARD,
        diagnostics: Diagnostics = None,
        instance: Optional[Instance] = None,
    ) -> None:
        model, action = errors.model_action(model, action)
        if instance is not None and not isinstance(instance, Instance):
            raise TypeError(f"instance must be an Instance or None, got {instance!r}")
        self._instance = instance
        self._kit: Any = kit if instance is None else instance.kit
        if not callable(camera):
            raise TypeError(f"camera must be callable, got {camera!r}")
        if not callable(feeder):
            raise TypeError(f"feeder must be callable, got {feeder!r}")
        config = ffi.new("TVK_SessionConfig *")
        self._kit.tvk_session_config_init_sized(config, ffi.sizeof(config[0]), model, action)
        config.answers = Answers(errors.whole("answers", answers, min(Answers), max(Answers)))
        if max_steps is not None:
            config.max_steps = errors.whole("max_steps", max_steps, 0, INT32_MAX)
        if verdict_sweeps is not None:
            config.verdict_sweeps = errors.whole("verdict_sweeps", verdict_sweeps, 0, INT32_MAX)
        self.model = model
        self.action = action
        self._camera = camera
        self._feeder = feeder
        self._held = HeldErrors()
        self._calling = False
        # The kit holds these until the session ends; they reach this object
        # weakly, so a camera that refers back to it leaves it collectable.
        callbacks = (
            ffi.callback(
                "TVK_CameraFn",
                weak_callback(self, "the camera callback", Session._report_position, -1),
            ),
            ffi.callback(
                "TVK_FeederFn",
                weak_callback(self, "the feeder callback", Session._run_command, -1),
            ),
        )
        config.camera, config.feeder = callbacks
        self._capture = _start_diagnostics(diagnostics, instance)
        out = ffi.new("TVK_Session **")
        doing = "start a session " + ("(one per process)" if instance is None else "on the instance")
        try:
            errors.check(self._kit.tvk_session_start(config, out), doing, self._kit)
        except BaseException:
            if self._capture is not None:
                self._capture.stop()
            raise
        self._handle = out[0]
        self._native = Native(
            self, "the session", "has ended", _end_session, self._kit, out[0], callbacks
        )
        if instance is not None:
            instance.adopt(self._native)

    def __enter__(self) -> Session:
        return self

    def __exit__(self, *exc: object) -> None:
        self.end()

    @property
    def active(self) -> bool:
        """True until the session is ended."""
        return self._native.alive

    @property
    def geometry(self) -> Geometry:
        """The :class:`~tavrel.Geometry` of the session's model and action."""
        return geometry(self.model, self.action)

    def step(self) -> StepReport:
        """Runs one library step; returns its :class:`StepReport`."""
        report = new_record("TVK_StepReport")
        began = self._kit.tvk_clock_seconds()
        self._call("session step", self._kit.tvk_session_step, report)
        return StepReport.from_c(report, began)

    def steps(self) -> Iterator[StepReport]:
        """Yields each step's report until the outcome is decided."""
        while True:
            report = self.step()
            yield report
            if report.outcome != Outcome.RUNNING:
                return

    def run(self, put_back: Optional[Callable[[], object]] = None) -> StepReport:
        """Runs steps until the outcome is decided; returns the last report.

        ``put_back()`` is called after each arrival (the part reached a target
        area) for the host to put the part back at its start.
        """
        errors.callable_or_none("put_back", put_back)
        callback = ffi.NULL
        if put_back is not None:
            host_put_back = put_back

            def back(_user: object) -> None:
                host_put_back()

            guarded = self._held.guard("the put_back callback", back, None)
            callback = ffi.callback("TVK_PutBackFn", guarded)
        report = new_record("TVK_StepReport")
        self._call("session run", self._kit.tvk_session_run, callback, report)
        return StepReport.from_c(report)

    def command(self, command: int) -> None:
        """Gives a :class:`HostCommand` between steps (END stops the session)."""
        command = HostCommand(errors.whole("command", command, min(HostCommand), max(HostCommand)))
        self._call(f"command {command.name}", self._kit.tvk_session_command, command)

    def set_params(self, params: LogicParams) -> None:
        """Sets the five host parameters (:class:`LogicParams`) between steps."""
        if not isinstance(params, LogicParams):
            raise TypeError(f"params must be LogicParams, got {params!r}")
        self._call("set parameters", self._kit.tvk_session_set_params, params.to_c())

    @property
    def params(self) -> LogicParams:
        """The five host parameters in force (read from the library)."""
        self._native.serve("read the parameters")
        read = lib.TVLLogicParamRe if self._instance is None else self._instance.logic_param_re
        return LogicParams.from_c(read())

    @property
    def outcome(self) -> Outcome:
        """The session's :class:`Outcome`."""
        return self._outcome()[0]

    @property
    def reason(self) -> str:
        """Why the session ended, for a person; empty while running."""
        return self._outcome()[1]

    def end(self) -> None:
        """Ends the session (and the capture it started). Idempotent."""
        self._native.own("end the session")
        self._refuse_reentry("end the session")
        self._native.release()
        if self._capture is not None:
            self._capture.stop()

    def _outcome(self) -> Tuple[Outcome, str]:
        self._native.serve("session outcome")
        reason = ffi.new("char[]", self._kit.TVK_REASON_MAX)
        outcome = errors.check(
            self._kit.tvk_session_outcome(self._handle, reason, self._kit.TVK_REASON_MAX),
            "session outcome",
            self._kit,
        )
        return Outcome(outcome), ffi.string(reason).decode("utf-8", "replace")

    def _refuse_reentry(self, doing: str) -> None:
        if self._calling:
            detail = "called from inside one of the session's own callbacks"
            raise errors.fault(errors.ErrorCode.REENTRY, doing, detail)

    def _call(self, doing: str, function: Callable[..., int], *args: Any) -> int:
        """Calls the kit on this session; raises what a callback raised, then the kit's error."""
        self._native.serve(doing)
        self._refuse_reentry(doing)
        self._calling = True
        try:
            result = function(self._handle, *args)
        finally:
            self._calling = False
        self._held.raise_held()
        if self._capture is not None:
            self._capture.raise_held()
        return errors.check(result, doing, self._kit)

    def _report_position(self, _user: object, x: Any, y: Any) -> int:
        position = camera_position(self._camera())
        if position is None:
            return 0
        x[0], y[0] = position
        return 1

    def _run_command(self, _user: object, command: Any) -> int:
        self._feeder(Command.from_c(command))
        return 0


def camera_position(answer: Any) -> Optional[Tuple[float, float]]:
    """The position in a camera's answer, None when it did not see the part.

    The answer is None, ``(x, y)`` or ``(x, y, seen)``; ``seen`` a bool or 0/1.
    """
    if answer is None:
        return None
    if isinstance(answer, (str, bytes)) or not hasattr(answer, "__len__"):
        raise TypeError(f"camera must return (x, y), (x, y, seen) or None, got {answer!r}")
    if len(answer) not in (2, 3):
        raise ValueError(f"camera must return (x, y), (x, y, seen) or None, got {answer!r}")
    x, y = errors.single("camera x", answer[0]), errors.single("camera y", answer[1])
    if len(answer) == 3 and not errors.flag("camera seen", answer[2]):
        return None
    return x, y


def _start_diagnostics(
    diagnostics: Diagnostics, instance: Optional[Instance]
) -> Optional[Capture]:
    """The capture a session starts for the library's text, or None."""
    if diagnostics is None:
        return None if capture_active(instance) else discard_diagnostics(instance)
    if isinstance(diagnostics, (str, bytes, os.PathLike)):
        return capture_to_file(diagnostics, instance=instance)
    if callable(diagnostics):
        return capture_lines(diagnostics, instance)
    raise TypeError(f"diagnostics must be None, a path or a function, got {diagnostics!r}")


def _end_session(table: Any, handle: Any, _callbacks: object) -> None:
    """Ends the native session; ``_callbacks`` stay alive until then."""
    errors.check(table.tvk_session_end(handle), "end the session", table)
