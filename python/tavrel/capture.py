"""The library's diagnostic text, kept apart from the program's own output.

The library prints on standard output (file descriptor 1). A capture points
descriptor 1 elsewhere: a file, a function receiving line by line, or
nowhere. Descriptor 1 is process-wide, so while a capture is active anything
else written to it goes the same way. Python's own ``sys.stdout``, when it
writes to descriptor 1, is moved to a copy of the original descriptor for the
time of the capture, so ``print`` still reaches the terminal. One capture at
a time.
"""

import io
import os
import sys

from . import errors
from ._callbacks import HeldErrors
from .native import ffi, kit


def capture_active():
    """True while a capture (from this binding or any other code) is active."""
    return bool(kit.tvk_capture_active())


class Capture:
    """An active capture; stop it with :meth:`stop` or by leaving ``with``."""

    # The capture now active: the kit holds its line function until it
    # stops, so the function must outlive a Capture the program dropped.
    _current = None

    def __init__(self, start, what):
        self._held = HeldErrors()
        self._line_fn = None
        self.what = what
        # Python's buffered text goes out before descriptor 1 moves.
        self._stdout = _PythonStdout()
        try:
            errors.check(start(self), f"capture {what}")
        except BaseException:
            self._stdout.restore()
            raise
        self._stdout.divert()
        self.active = True
        Capture._current = self

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def pump(self):
        """Delivers the complete lines collected so far (callback captures)."""
        if self.active:
            kit.tvk_capture_pump()
        self.raise_held()

    def raise_held(self):
        """Raises an exception the line function raised, if any."""
        self._held.raise_held()

    def stop(self):
        """Delivers what is left and gives descriptor 1 back. Idempotent."""
        if not self.active:
            return
        self.active = False
        Capture._current = None
        try:
            errors.check(kit.tvk_capture_stop(), f"stop capture {self.what}")
        finally:
            self._stdout.restore()
            self._line_fn = None
        self.raise_held()

    def _lines_to(self, function):
        """Starts a callback capture that hands decoded lines to ``function``."""

        def deliver(_user, line, length):
            function(ffi.unpack(line, length).decode("utf-8", "replace"))

        self._line_fn = ffi.callback(
            "TVK_LineFn", self._held.guard("the diagnostics line function", deliver, None)
        )
        return kit.tvk_capture_to_callback(self._line_fn, ffi.NULL)


def capture_to_file(path, append=False):
    """Captures the library's text into the file at ``path`` (created or truncated)."""
    encoded = os.fsencode(os.fspath(path))
    return Capture(lambda _: kit.tvk_capture_to_file(encoded, 1 if append else 0), f"to {path}")


def capture_lines(function):
    """Captures the library's text and calls ``function(line)`` per line.

    Lines are delivered during session steps and by :meth:`Capture.pump`.
    """
    if not callable(function):
        raise TypeError(f"function must be callable, got {function!r}")
    return Capture(lambda capture: capture._lines_to(function), "to a function")


def discard_diagnostics():
    """Discards the library's text until the capture stops."""
    return Capture(lambda _: kit.tvk_capture_discard(), "to nowhere")


class _PythonStdout:
    """Keeps Python's ``sys.stdout`` on the original descriptor 1 during a capture."""

    def __init__(self):
        self._saved = sys.stdout if _writes_to_descriptor_1(sys.stdout) else None
        self._stream = None
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

    def divert(self):
        """Points ``sys.stdout`` at the copy of the original descriptor 1."""
        if self._stream is not None:
            sys.stdout = self._stream

    def restore(self):
        """Gives ``sys.stdout`` back and drops the copy."""
        if self._stream is not None:
            self._stream.flush()
            if sys.stdout is self._stream:
                sys.stdout = self._saved
            self._stream.close()
            self._stream = None


def _writes_to_descriptor_1(stream):
    try:
        return stream is not None and stream.fileno() == 1
    except (AttributeError, ValueError, io.UnsupportedOperation):
        return False
