"""The kit's simulated feeder, for testing a host without hardware."""

from typing import NamedTuple, Tuple

from . import errors
from .native import ffi, kit
from .records import Command, new_record

SEED_MAX = 2**64 - 1


class SimRange(NamedTuple):
    """A range a feeder constant is drawn from."""

    lo: float
    hi: float


class SimRanges(NamedTuple):
    """The ranges a model's feeders are drawn from."""

    resonance: SimRange
    half_width: SimRange
    gain: SimRange
    friction: SimRange
    noise: SimRange
    mismatch: SimRange

    def to_c(self):
        """A new ``TVK_SimRanges *`` with these ranges."""
        record = new_record("TVK_SimRanges")
        for name, value in zip(self._fields, self):
            lo, hi = value
            setattr(record, name, (errors.real(f"{name} lo", lo), errors.real(f"{name} hi", hi)))
        return record


class SimParams(NamedTuple):
    """One drawn feeder's constants."""

    resonance: float
    half_width: float
    gain: float
    friction: float
    noise: float
    mismatch: float
    motor_gain: Tuple[float, float, float, float]


def platform(model):
    """The simulated platform's (width, height) in host coordinate units."""
    model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
    width, height = ffi.new("float *"), ffi.new("float *")
    errors.check(kit.tvk_sim_platform(model, width, height), "platform")
    return width[0], height[0]


def default_ranges(model):
    """The :class:`SimRanges` feeders of a model are drawn from by default."""
    model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
    record = new_record("TVK_SimRanges")
    errors.check(kit.tvk_sim_default_ranges(model, record), "default ranges")
    pairs = (getattr(record, name) for name in SimRanges._fields)
    return SimRanges(*(SimRange(pair.lo, pair.hi) for pair in pairs))


def mix_seed(seed, a, b):
    """Mixes a seed with two numbers into a new seed, as the simulator does."""
    return kit.tvk_sim_mix_seed(
        errors.whole("seed", seed, 0, SEED_MAX),
        errors.whole("a", a, 0, SEED_MAX),
        errors.whole("b", b, 0, SEED_MAX),
    )


class SimFeeder:
    """A simulated feeder of a model, drawn from ``ranges`` with ``feeder_seed``.

    The same seeds give the same feeder and the same motion. The part starts
    at the platform's centre. :meth:`camera` and :meth:`vibrate` fit a
    :class:`~tavrel.Session`'s ``camera`` and ``feeder`` arguments.
    """

    def __init__(self, model, feeder_seed=1, noise_seed=1, ranges=None):
        self.model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
        if ranges is not None and not isinstance(ranges, SimRanges):
            raise TypeError(f"ranges must be SimRanges or None, got {ranges!r}")
        c_ranges = ffi.NULL if ranges is None else ranges.to_c()
        out = ffi.new("TVK_SimFeeder **")
        result = kit.tvk_sim_create(
            self.model,
            c_ranges,
            errors.whole("feeder_seed", feeder_seed, 0, SEED_MAX),
            errors.whole("noise_seed", noise_seed, 0, SEED_MAX),
            out,
        )
        errors.check(result, "create a simulated feeder")
        self._sim = ffi.gc(out[0], kit.tvk_sim_destroy)

    def reseed(self, noise_seed):
        """Starts the motion noise again from ``noise_seed``."""
        seed = errors.whole("noise_seed", noise_seed, 0, SEED_MAX)
        errors.check(kit.tvk_sim_reseed(self._sim, seed), "reseed")

    @property
    def params(self):
        """The drawn feeder's :class:`SimParams`."""
        record = new_record("TVK_SimParams")
        errors.check(kit.tvk_sim_params(self._sim, record), "feeder constants")
        scalars = [getattr(record, name) for name in SimParams._fields[:-1]]
        return SimParams(*scalars, tuple(record.motor_gain))

    def place(self, x, y):
        """Puts the part at (x, y), clamped to the platform."""
        result = kit.tvk_sim_place(self._sim, errors.real("x", x), errors.real("y", y))
        errors.check(result, "place the part")

    @property
    def position(self):
        """Where the part is."""
        x, y = ffi.new("float *"), ffi.new("float *")
        errors.check(kit.tvk_sim_position(self._sim, x, y), "position")
        return x[0], y[0]

    def camera(self):
        """What a camera reports: the position rounded to two decimals."""
        x, y = ffi.new("float *"), ffi.new("float *")
        seen = errors.check(kit.tvk_sim_camera(self._sim, x, y), "camera")
        return (x[0], y[0]) if seen else None

    def vibrate(self, command):
        """Runs one feeder :class:`~tavrel.Command`: the part moves for its run time."""
        if not isinstance(command, Command):
            raise TypeError(f"command must be a Command, got {command!r}")
        errors.check(kit.tvk_sim_vibrate(self._sim, command.to_c()), "vibrate")

    @property
    def vibration_ms(self):
        """Simulated milliseconds of vibration so far."""
        return kit.tvk_sim_vibration_ms(self._sim)
