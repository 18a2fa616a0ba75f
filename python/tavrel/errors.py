"""Errors the kit reports, and the checks that turn its result codes into them.

Every kit failure raises a subclass of :class:`TavrelError`, one per result
code, carrying the code and the kit's own account of what it refused
(``tvk_errmsg()``). Bad arguments the binding can see itself raise
``TypeError`` or ``ValueError`` naming the argument before anything reaches C.
"""

from __future__ import annotations

import enum
import math
import numbers
import operator
import struct
from typing import Any, Dict, Optional, Tuple, Type, Union

from .native import ffi, kit

# The largest finite single-precision float: the kit's coordinates are C floats.
FLOAT_MAX: float = struct.unpack("<f", b"\xff\xff\x7f\x7f")[0]


class ErrorCode(enum.IntEnum):
    """The kit's result codes (``TVK_E_*``)."""

    ARG = kit.TVK_E_ARG
    BUSY = kit.TVK_E_BUSY
    STATE = kit.TVK_E_STATE
    IO = kit.TVK_E_IO
    LIBRARY = kit.TVK_E_LIBRARY
    CALLBACK = kit.TVK_E_CALLBACK
    NOMEM = kit.TVK_E_NOMEM
    SIZE = kit.TVK_E_SIZE
    LAYOUT = kit.TVK_E_LAYOUT
    HANDLE = kit.TVK_E_HANDLE
    REENTRY = kit.TVK_E_REENTRY
    THREAD = kit.TVK_E_THREAD
    LIMIT = kit.TVK_E_LIMIT
    PLATFORM = kit.TVK_E_PLATFORM


class TavrelError(RuntimeError):
    """A call into the kit failed, or the binding refused it as the kit would.

    ``code`` is the :class:`ErrorCode` (a plain int for a code this binding
    does not know), ``doing`` what the program asked for, ``detail`` the kit's
    message naming what it refused (``tvk_errmsg()``, or the binding's own).
    """

    def __init__(self, code: int, doing: str, detail: str = "") -> None:
        self.code: Union[ErrorCode, int] = _as_code(code)
        self.doing = doing
        self.detail = detail
        name = self.code.name if isinstance(self.code, ErrorCode) else str(code)
        text = ffi.string(kit.tvk_strerror(code)).decode("utf-8", "replace")
        message = f"{doing}: {text} ({name})"
        super().__init__(f"{message}: {detail}" if detail else message)


class ArgumentError(TavrelError):
    """The kit refused an argument (``TVK_E_ARG``)."""


class BusyError(TavrelError):
    """A session or a capture is already active in this process (``TVK_E_BUSY``)."""


class StateError(TavrelError):
    """Not allowed now: the object has ended, or no capture is active (``TVK_E_STATE``)."""


class KitIOError(TavrelError):
    """A file or descriptor operation failed (``TVK_E_IO``); ``detail`` says why."""


class LibraryError(TavrelError):
    """The library refused to initialise (``TVK_E_LIBRARY``)."""


class CallbackError(TavrelError):
    """A host callback reported an error to the kit (``TVK_E_CALLBACK``)."""


class OutOfMemoryError(TavrelError):
    """The kit ran out of memory (``TVK_E_NOMEM``)."""


class SizeError(TavrelError):
    """A record size the kit cannot serve (``TVK_E_SIZE``)."""


class LayoutError(TavrelError):
    """The loaded libraries disagree on their records' layout (``TVK_E_LAYOUT``)."""


class HandleError(TavrelError):
    """A handle of an ended or destroyed object (``TVK_E_HANDLE``)."""


class ReentryError(TavrelError):
    """Called from inside one of the object's own callbacks (``TVK_E_REENTRY``)."""


class ThreadError(TavrelError):
    """The object belongs to another thread (``TVK_E_THREAD``)."""


class LimitError(TavrelError):
    """No further instance: the C library's loader holds no more (``TVK_E_LIMIT``)."""


class PlatformError(TavrelError):
    """Not available on this platform: an instance's capture on Windows (``TVK_E_PLATFORM``)."""


ERROR_CLASSES: Dict[int, Type[TavrelError]] = {
    ErrorCode.ARG: ArgumentError,
    ErrorCode.BUSY: BusyError,
    ErrorCode.STATE: StateError,
    ErrorCode.IO: KitIOError,
    ErrorCode.LIBRARY: LibraryError,
    ErrorCode.CALLBACK: CallbackError,
    ErrorCode.NOMEM: OutOfMemoryError,
    ErrorCode.SIZE: SizeError,
    ErrorCode.LAYOUT: LayoutError,
    ErrorCode.HANDLE: HandleError,
    ErrorCode.REENTRY: ReentryError,
    ErrorCode.THREAD: ThreadError,
    ErrorCode.LIMIT: LimitError,
    ErrorCode.PLATFORM: PlatformError,
}


def _as_code(code: int) -> Union[ErrorCode, int]:
    try:
        return ErrorCode(code)
    except ValueError:
        return int(code)


def kit_message(source: Any = None) -> str:
    """What the kit's last failing call on this thread refused (``tvk_errmsg()``).

    ``source`` is the copy of the kit that failed: an instance's functions, or
    None for the process's own.
    """
    errmsg = (kit if source is None else source).tvk_errmsg
    return ffi.string(errmsg()).decode("utf-8", "replace")


def fault(
    code: int, doing: str, detail: Optional[str] = None, source: Any = None
) -> TavrelError:
    """The error of ``code``'s class; ``detail`` None reads the kit's message."""
    kind = ERROR_CLASSES.get(code, TavrelError)
    return kind(code, doing, kit_message(source) if detail is None else detail)


def check(result: int, doing: str, source: Any = None) -> int:
    """Returns a non-negative kit result; raises the code's error for a negative one.

    ``source``: the copy of the kit that answered (None: the process's own).
    """
    if result < 0:
        raise fault(result, doing, source=source)
    return result


def whole(
    name: str, value: object, lowest: Optional[int] = None, highest: Optional[int] = None
) -> int:
    """``value`` as an int within [lowest, highest], or a clear error naming it."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, got {value!r}")
    number = operator.index(value)
    if (lowest is not None and number < lowest) or (highest is not None and number > highest):
        bounds = f"from {lowest} to {highest}" if highest is not None else f"at least {lowest}"
        raise ValueError(f"{name} must be {bounds}, got {number}")
    return number


def real(name: str, value: object) -> float:
    """``value`` as a finite float, or a clear error naming it."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, got {value!r}")
    number = float(value)
    if not math.isfinite(number):
        raise ValueError(f"{name} must be finite, got {number}")
    return number


def single(name: str, value: object) -> float:
    """``value`` as a float a C ``float`` holds (finite, within its range)."""
    number = real(name, value)
    if abs(number) > FLOAT_MAX:
        bounds = f"within the float range (±{FLOAT_MAX:.7g})"
        raise ValueError(f"{name} must be {bounds}, got {number:g}")
    return number


def flag(name: str, value: object) -> bool:
    """``value`` as a bool: a bool, or the int 0 or 1."""
    if isinstance(value, bool):
        return value
    return bool(whole(name, value, 0, 1))


def model_action(model: object, action: object) -> Tuple[int, int]:
    """Checks a model and an action against the kit's counts."""
    return (
        whole("model", model, 0, kit.TVK_MODEL_COUNT - 1),
        whole("action", action, 0, kit.TVK_ACTION_COUNT - 1),
    )


def callable_or_none(name: str, value: object) -> object:
    """Checks an optional callback."""
    if value is not None and not callable(value):
        raise TypeError(f"{name} must be callable, got {value!r}")
    return value
