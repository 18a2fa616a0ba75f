"""The one way every binding object ends its native object, and the thread it serves.

Each object (session, capture, recorder, simulated feeder) hands its native
release to a :class:`Native` at creation. The release runs once: when the
program closes the object, else when Python collects it (cycles included),
else at interpreter exit. The release and its arguments must not refer back
to the object, or the object could never be collected; callbacks the kit
holds reach their Python object through a weak reference for that reason.
"""

from __future__ import annotations

import threading
import weakref
from typing import Any, Callable, Optional, Tuple

from . import errors


def thread_name(thread: threading.Thread) -> str:
    """A thread as an error message names it."""
    return f"{thread.name!r} (id {thread.ident})"


class Native:
    """The native object behind ``owner``: its release and the thread that made it.

    ``what`` names the object in errors ("the session"), ``gone`` says it was
    released ("has ended").
    """

    def __init__(
        self, owner: object, what: str, gone: str, release: Callable[..., Any], *args: Any
    ) -> None:
        self.what = what
        self.gone = gone
        self._thread = threading.current_thread()
        self._finalizer = weakref.finalize(owner, release, *args)

    @property
    def alive(self) -> bool:
        """True until the native object is released."""
        return self._finalizer.alive

    def own(self, doing: str) -> None:
        """Refuses a call from any thread but the one that made the object."""
        caller = threading.current_thread()
        if caller is not self._thread:
            detail = (
                f"{self.what} belongs to thread {thread_name(self._thread)}, "
                f"called from thread {thread_name(caller)}"
            )
            raise errors.fault(errors.ErrorCode.THREAD, doing, detail)

    def serve(self, doing: str) -> None:
        """Refuses a call from another thread, and any call once released."""
        self.own(doing)
        if not self._finalizer.alive:
            raise errors.fault(errors.ErrorCode.STATE, doing, f"{self.what} {self.gone}")

    def serve_any(self, doing: str) -> None:
        """Refuses a call once released, from whatever thread."""
        if not self._finalizer.alive:
            raise errors.fault(errors.ErrorCode.STATE, doing, f"{self.what} {self.gone}")

    def release(self) -> Any:
        """Runs the release now; None when it already ran.

        A release that raises changed nothing: the object stays alive and its
        release may run later.
        """
        found = self._finalizer.peek()
        if found is None:
            return None
        _, release, args, _ = found
        result = release(*args)
        self._finalizer.detach()
        return result

    def take(self) -> Optional[Tuple[Any, ...]]:
        """Gives the release's arguments to the caller, which now releases them itself."""
        found = self._finalizer.detach()
        return None if found is None else found[2]
