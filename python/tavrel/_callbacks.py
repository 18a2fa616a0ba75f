"""Exceptions raised by the host's callbacks while C code calls them.

An exception cannot unwind through the library's C frames. A guarded
callback stores it and returns a failure value instead; the Python code that
made the C call then raises it, so the error reaches the caller of the step
with its original traceback.

This module imports nothing of the package: it must hold on any Python, and
is tested on its own on interpreters that lack the binding's dependencies.
"""

from __future__ import annotations

import contextlib
import weakref
from typing import Any, Callable, Optional, Protocol, TypeVar

Result = TypeVar("Result")


def add_note(error: BaseException, note: str) -> None:
    """Adds ``note`` to ``error``'s notes; never raises.

    ``BaseException.add_note`` exists from Python 3.11 on. Without it (or when
    a class's own refuses) the note goes straight into ``__notes__``, where
    3.11's tracebacks would show it; when even that fails the note is dropped,
    never the exception it was meant for.
    """
    try:
        error.add_note(note)
    except Exception:  # absent before Python 3.11, or refused by the exception's class
        with contextlib.suppress(Exception):
            error.__notes__ = [*getattr(error, "__notes__", ()), note]


class HeldErrors:
    """The first exception raised by a guarded callback, until it is raised."""

    def __init__(self) -> None:
        self.error: Optional[BaseException] = None

    def call(
        self, where: str, function: Callable[..., Result], failed: Result, *args: Any
    ) -> Result:
        """``function(*args)``; holds an exception it raises and returns ``failed``.

        Once an exception is held, returns ``failed`` at once: the host's code
        is not called again before the caller has seen it.
        """
        if self.error is not None:
            return failed
        try:
            return function(*args)
        except BaseException as error:  # KeyboardInterrupt too: raise_held re-raises it
            add_note(error, f"(raised in {where}, inside the library's call)")
            self.error = error
            return failed

    def guard(
        self, where: str, function: Callable[..., Result], failed: Result
    ) -> Callable[..., Result]:
        """``function`` wrapped by :meth:`call`."""
        return lambda *args: self.call(where, function, failed, *args)

    def raise_held(self) -> None:
        """Raises the held exception, if any, and forgets it."""
        error, self.error = self.error, None
        if error is not None:
            raise error


class Guarded(Protocol):
    """An object whose callbacks hold their exceptions in ``_held``."""

    _held: HeldErrors


def weak_callback(
    owner: Guarded, where: str, method: Callable[..., Result], failed: Result
) -> Callable[..., Result]:
    """``method(owner, *args)`` under the owner's guard, ``owner`` held weakly.

    For callbacks the kit holds past the owner's last reference: once the
    owner is collected (its release is under way) they return ``failed``.
    """
    reference = weakref.ref(owner)

    def call(*args: Any) -> Result:
        target = reference()
        if target is None:
            return failed
        return target._held.call(where, method, failed, target, *args)

    return call
