"""Errors the kit reports, and the checks that turn its result codes into them."""

import enum
import math
import numbers
import operator

from .native import ffi, kit


class ErrorCode(enum.IntEnum):
    """The kit's result codes (``TVK_E_*``)."""

    ARG = kit.TVK_E_ARG
    BUSY = kit.TVK_E_BUSY
    STATE = kit.TVK_E_STATE
    IO = kit.TVK_E_IO
    LIBRARY = kit.TVK_E_LIBRARY
    CALLBACK = kit.TVK_E_CALLBACK
    NOMEM = kit.TVK_E_NOMEM


class TavrelError(RuntimeError):
    """A call into the kit failed; ``code`` is the kit's :class:`ErrorCode`."""

    def __init__(self, code, doing):
        self.code = ErrorCode(code)
        text = ffi.string(kit.tvk_strerror(code)).decode("utf-8", "replace")
        super().__init__(f"{doing}: {text} ({self.code.name})")


def check(result, doing):
    """Returns a non-negative kit result; raises TavrelError for a negative one."""
    if result < 0:
        raise TavrelError(result, doing)
    return result


def whole(name, value, lowest=None, highest=None):
    """``value`` as an int within [lowest, highest], or a clear error naming it."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, got {value!r}")
    value = operator.index(value)
    if (lowest is not None and value < lowest) or (highest is not None and value > highest):
        bounds = f"from {lowest} to {highest}" if highest is not None else f"at least {lowest}"
        raise ValueError(f"{name} must be {bounds}, got {value}")
    return value


def real(name, value):
    """``value`` as a finite float, or a clear error naming it."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, got {value!r}")
    value = float(value)
    if not math.isfinite(value):
        raise ValueError(f"{name} must be finite, got {value}")
    return value


def model_action(model, action):
    """Checks a model and an action against the kit's counts."""
    return (
        whole("model", model, 0, kit.TVK_MODEL_COUNT - 1),
        whole("action", action, 0, kit.TVK_ACTION_COUNT - 1),
    )


def callable_or_none(name, value):
    """Checks an optional callback."""
    if value is not None and not callable(value):
        raise TypeError(f"{name} must be callable, got {value!r}")
    return value
