"""The library's diagnostic text, kept apart from the program's own output.

The library prints on standard output (file descriptor 1). A capture points
descriptor 1 elsewhere: a file, a function receiving line by line, or
nowhere. Descriptor 1 is process-wide, so while a capture is active anything
else written to it goes the same way. Python's own ``sys.stdout``, when it
writes to descriptor 1, is moved to a copy of the original descriptor for the
time of the capture, so ``print`` still reaches the terminal. One capture at
a time. A capture on an :class:`~tavrel.Instance` (``instance=``) takes that
copy's text alone and leaves descriptor 1 and ``sys.stdout`` as they are.
"""

from __future__ import annotations

import io
import os
import sys
from typing import TYPE_CHECKING, Any, Callable, Optional, TextIO, Union

from . import errors
from ._callbacks import HeldErrors, weak_callback
from ._lifetime import Native
from .native import ffi, kit

if TYPE_CHECKING:
    from .instance import Instance

Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def _table(instance: Optional[Instance]) -> Any:
    """The copy of the kit a capture runs on."""
    return kit if instance is None else instance.kit


def capture_active(instance: Optional[Instance] = None) -> bool:
    """True while a capture (from this binding or any other code) is active."""
    return bool(_table(instance).tvk_capture_active())


class Capture:
    """An active capture; stop it with :meth:`stop`, by leaving ``with``, or by dropping it.

    It serves the thread that started it only.
    """

    def __init__(
        self,
        what: str,
        start: Callable[[Any], int],
        function: Optional[Callable[[str], object]] = None,
        instance: Optional[Instance] = None,
    ) -> None:
        self.what = what
        self._kit = _table(instance)
        self._held = HeldErrors()
        self._function = function
        # The kit holds the line function until the capture stops; it reaches
        # this object weakly, so a function that refers back leaves it collectable.
        deliver = weak_callback(self, "the diagnostics line function", Capture._deliver, None)
        line_fn = ffi.callback("TVK_LineFn", deliver) if function is not None else ffi.NULL
        # Python's buffered text goes out before descriptor 1 moves; an
        # instance's capture does not move it.
        stdout = _PythonStdout(instance is None)
        try:
            errors.check(start(line_fn), f"capture {what}", self._kit)
        except BaseException:
            stdout.restore()
            raise
        stdout.divert()
        self._native = Native(
            self, f"the capture {what}", "has stopped", _stop, self._kit, line_fn, stdout
        )
        if instance is not None:
            instance.adopt(self._native)

    def __enter__(self) -> Capture:
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    @property
    def active(self) -> bool:
        """True until the capture stops."""
        return self._native.alive

    def pump(self) -> None:
        """Delivers the complete lines collected so far (callback captures)."""
        self._native.own("pump the capture")
        if self.active:
            errors.check(self._kit.tvk_capture_pump(), f"pump the capture {self.what}", self._kit)
        self.raise_held()

    def raise_held(self) -> None:
        """Raises an exception the line function raised, if any."""
        self._held.raise_held()

    def stop(self) -> None:
        """Delivers what is left and gives descriptor 1 back. Idempotent."""
        self._native.own("stop the capture")
        taken = self._native.take()
        if taken is not None:
            _stop(*taken)
        self.raise_held()

    def _deliver(self, _user: object, line: Any, length: int) -> None:
        assert self._function is not None  # only callback captures have a line function
        self._function(ffi.unpack(line, length).decode("utf-8", "replace"))


def _stop(table: Any, _line_fn: object, stdout: _PythonStdout) -> None:
    """Stops the kit's capture; ``_line_fn`` stays alive until then."""
    try:
        errors.check(table.tvk_capture_stop(), "stop the capture", table)
    finally:
        stdout.restore()


def capture_to_file(
    path: Path, append: bool = False, instance: Optional[Instance] = None
) -> Capture:
    """Captures the library's text into the file at ``path`` (created or truncated)."""
    encoded = os.fsencode(os.fspath(path))
    flags = 1 if append else 0
    table = _table(instance)
    return Capture(
        f"to {os.fsdecode(encoded)}",
        lambda _: table.tvk_capture_to_file(encoded, flags),
        instance=instance,
    )


def capture_lines(
    function: Callable[[str], object], instance: Optional[Instance] = None
) -> Capture:
    """Captures the library's text and calls ``function(line)`` per line.

    Lines are delivered during session steps and by :meth:`Capture.pump`.
    """
    if not callable(function):
        raise TypeError(f"function must be callable, got {function!r}")
    table = _table(instance)
    return Capture(
        "to a function",
        lambda line_fn: table.tvk_capture_to_callback(line_fn, ffi.NULL),
        function,
        instance,
    )


def discard_diagnostics(instance: Optional[Instance] = None) -> Capture:
    """Discards the library's text until the capture stops."""
    table = _table(instance)
    return Capture("to nowhere", lambda _: table.tvk_capture_discard(), instance=instance)


class _PythonStdout:
    """Keeps Python's ``sys.stdout`` on the original descriptor 1 during a capture."""

    def __init__(self, moving: bool) -> None:
        diverted = moving and _writes_to_descriptor_1(sys.stdout)
        self._saved: Optional[TextIO] = sys.stdout if diverted else None
        self._stream: Optional[TextIO] = None
        if self._saved is not None:
            self._saved.flush()
            self._stream = open(  # closed by restore()
                os.dup(1),
                "w",
                encoding=self._saved.encoding,
                errors=self._saved.errors,
                buffering=1 if self._saved.line_buffering else -1,
                closefd=True,
            )

    def divert(self) -> None:
        """Points ``sys.stdout`` at the copy of the original descriptor 1."""
        if self._stream is not None:
            sys.stdout = self._stream

    def restore(self) -> None:
        """Gives ``sys.stdout`` back and drops the copy."""
        if self._stream is not None:
            self._stream.flush()
            if sys.stdout is self._stream and self._saved is not None:
                sys.stdout = self._saved
            self._stream.close()
            self._stream = None


def _writes_to_descriptor_1(stream: Optional[TextIO]) -> bool:
    try:
        return stream is not None and stream.fileno() == 1
    except (AttributeError, ValueError, io.UnsupportedOperation):
        return False
