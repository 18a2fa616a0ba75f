"""Exceptions raised by the host's callbacks while C code calls them.

An exception cannot unwind through the library's C frames. A guarded
callback stores it and returns a failure value instead; the Python code that
made the C call then raises it, so the error reaches the caller of the step
with its original traceback.
"""


class HeldErrors:
    """The first exception raised by a guarded callback, until it is raised."""

    def __init__(self):
        self.error = None

    def guard(self, where, function, failed):
        """Wraps ``function`` so an exception is held and ``failed`` returned.

        Once an exception is held, the wrapper returns ``failed`` at once: the
        host's code is not called again before the caller has seen it.
        """

        def guarded(*args):
            if self.error is not None:
                return failed
            try:
                return function(*args)
            except BaseException as error:  # KeyboardInterrupt too: raise_held re-raises it
                error.add_note(f"(raised in {where}, inside the library's call)")
                self.error = error
                return failed

        return guarded

    def raise_held(self):
        """Raises the held exception, if any, and forgets it."""
        error, self.error = self.error, None
        if error is not None:
            raise error
