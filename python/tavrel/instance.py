"""Instances: private copies of the library and the kit in one process (Linux).

The library keeps its state in static records, so a process tunes one feeder
at a time. An :class:`Instance` loads a copy of its own (its own library
state, its own C runtime), so each feeder of a cell gets one: sessions,
simulated feeders and captures made with ``instance=`` run on that copy, and
sessions on different instances may run at once on different threads (cffi
releases the GIL during each kit call; the Python callbacks take it back).
Each object still serves the thread that made it. A capture on an instance
replaces that copy's standard output stream and leaves descriptor 1 alone.
"""

from __future__ import annotations

import weakref
from typing import Any

from . import errors
from ._lifetime import Native
from .native import ffi, kit


class KitTable:
    """An instance's functions under the kit's own names, with the kit's constants.

    ``table.tvk_session_start`` is the instance's ``tvk_session_start``; the
    binding's objects call it as they call the process's kit.
    """

    def __init__(self, api: Any) -> None:
        self._api = api
        self.closed = False

    def __getattr__(self, name: str) -> Any:
        if not name.startswith("tvk_"):
            return getattr(kit, name)
        if self.closed:
            detail = "the instance is closed: its functions are gone"
            raise errors.fault(errors.ErrorCode.STATE, name, detail)
        return getattr(self._api, name[4:])


class Instance:
    """A private copy of the library and the kit; close it with :meth:`close` or ``with``.

    Raises :class:`~tavrel.LimitError` past the C library's limit (11
    instances at once on glibc 2.36, 15 with ``GLIBC_TUNABLES=glibc.rtld.nns=16``
    set before Python starts; 16 on Windows). On Windows an instance's capture
    raises :class:`~tavrel.PlatformError`: its text is the process's.
    Close it from the thread that opened it, once the sessions, feeders and
    captures made on it are closed.
    """

    def __init__(self) -> None:
        out = ffi.new("TVK_Instance **")
        errors.check(kit.tvk_instance_open(ffi.NULL, out), "open an instance")
        api = ffi.new("TVK_Api *")
        api.size = ffi.sizeof("TVK_Api")
        result = kit.tvk_instance_api(out[0], api)
        if result < 0:
            kit.tvk_instance_close(out[0])
            errors.check(result, "the instance's functions")
        symbol = ffi.new("void **")
        errors.check(
            kit.tvk_instance_symbol(out[0], b"TVLLogicParamRe", symbol), "the instance's library"
        )
        self.kit = KitTable(api)
        self.logic_param_re = ffi.cast("ST_HostLogicParam (*)(void)", symbol[0])
        self._objects: weakref.WeakSet[Native] = weakref.WeakSet()
        self._native = Native(self, "the instance", "is closed", _close, self.kit, out[0])

    def __enter__(self) -> Instance:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    @property
    def open(self) -> bool:
        """True until the instance is closed."""
        return self._native.alive

    def adopt(self, native: Native) -> None:
        """Counts an object made on the instance, which must be closed first."""
        self._native.serve_any("make an object on the instance")
        self._objects.add(native)

    def close(self) -> None:
        """Unloads the copy. Idempotent; refused while an object made on it is alive."""
        self._native.own("close the instance")
        alive = [native.what for native in self._objects if native.alive]
        if alive and self._native.alive:
            detail = f"close {', '.join(sorted(set(alive)))} first"
            raise errors.fault(errors.ErrorCode.STATE, "close the instance", detail)
        self._native.release()


def _close(table: KitTable, handle: Any) -> None:
    errors.check(kit.tvk_instance_close(handle), "close the instance")
    table.closed = True
