"""The kit's simulated feeder, for testing a host without hardware."""

from __future__ import annotations

from typing import Any, NamedTuple, Optional, Tuple

from . import errors
from ._lifetime import Native
from .instance import Instance
from .native import ffi, kit
from .records import Command, new_record

SEED_MAX = 2**64 - 1


class SimRange(NamedTuple):
    """A range a feeder constant is drawn from."""

    lo: float
    hi: float


_DEFAULT = SimRange(0.0, 0.0)


class SimRanges(NamedTuple):
    """The ranges a model's feeders are drawn from: resonance and half-width
    in Hz, gain in um of static stroke per amplitude word, friction the static
    coefficient, noise in host units (see tavrel_hostkit.h). The fields after
    ``mismatch`` left at (0, 0) take the model's default."""

    resonance: SimRange
    half_width: SimRange
    gain: SimRange
    friction: SimRange
    noise: SimRange
    mismatch: SimRange
    kinetic: SimRange = _DEFAULT
    lift: SimRange = _DEFAULT
    restitution: SimRange = _DEFAULT
    scatter: SimRange = _DEFAULT
    resonance_wear: SimRange = _DEFAULT
    friction_wear: SimRange = _DEFAULT
    age_h: SimRange = _DEFAULT
    load: SimRange = _DEFAULT

    def to_c(self) -> Any:
        """A new ``TVK_SimRanges *`` with these ranges."""
        record = new_record("TVK_SimRanges")
        for name, value in zip(self._fields, self):
            lo, hi = value
            setattr(record, name, (errors.real(f"{name} lo", lo), errors.real(f"{name} hi", hi)))
        return record


class SimParams(NamedTuple):
    """One drawn feeder's constants, as ``TVK_SimParams`` in tavrel_hostkit.h."""

    resonance: float
    half_width: float
    gain: float
    friction: float
    noise: float
    mismatch: float
    motor_gain: Tuple[float, ...]
    kinetic: float
    lift: float
    restitution: float
    scatter: float
    resonance_wear: float
    friction_wear: float
    age_h: float
    load: float
    mm_per_unit: float
    q: float
    resonance_now: float
    friction_now: float


class SimProbe(NamedTuple):
    """What one command does to the part where it lies (``TVK_SimProbe``)."""

    horizontal_um: float
    vertical_um: float
    accel_g: float
    throw_g: float
    speed_mm_s: float
    kv: float
    flight: float


def platform(model: int) -> Tuple[float, float]:
    """The simulated platform's (width, height) in host coordinate units."""
    model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
    width, height = ffi.new("float *"), ffi.new("float *")
    errors.check(kit.tvk_sim_platform(model, width, height), "platform")
    return width[0], height[0]


def default_ranges(model: int) -> SimRanges:
    """The :class:`SimRanges` feeders of a model are drawn from by default."""
    model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
    record = new_record("TVK_SimRanges")
    errors.check(kit.tvk_sim_default_ranges(model, record), "default ranges")
    pairs = (getattr(record, name) for name in SimRanges._fields)
    return SimRanges(*(SimRange(pair.lo, pair.hi) for pair in pairs))


def mix_seed(seed: int, a: int, b: int) -> int:
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
    :class:`~tavrel.Session`'s ``camera`` and ``feeder`` arguments. Destroyed
    by :meth:`close`, by leaving ``with``, or when Python collects it; it
    serves the thread that made it only. With ``instance=`` it lives in that
    :class:`~tavrel.Instance`, for a session on the same instance.
    """

    def __init__(
        self,
        model: int,
        feeder_seed: int = 1,
        noise_seed: int = 1,
        ranges: Optional[SimRanges] = None,
        instance: Optional[Instance] = None,
    ) -> None:
        if instance is not None and not isinstance(instance, Instance):
            raise TypeError(f"instance must be an Instance or None, got {instance!r}")
        self._instance = instance
        self._kit: Any = kit if instance is None else instance.kit
        self.model = errors.whole("model", model, 0, kit.TVK_MODEL_COUNT - 1)
        if ranges is not None and not isinstance(ranges, SimRanges):
            raise TypeError(f"ranges must be SimRanges or None, got {ranges!r}")
        c_ranges = ffi.NULL if ranges is None else ranges.to_c()
        out = ffi.new("TVK_SimFeeder **")
        result = self._kit.tvk_sim_create(
            self.model,
            c_ranges,
            errors.whole("feeder_seed", feeder_seed, 0, SEED_MAX),
            errors.whole("noise_seed", noise_seed, 0, SEED_MAX),
            out,
        )
        errors.check(result, "create a simulated feeder", self._kit)
        self._sim = out[0]
        what = "the simulated feeder"
        self._native = Native(self, what, "is closed", self._kit.tvk_sim_destroy, out[0])
        if instance is not None:
            instance.adopt(self._native)

    def __enter__(self) -> SimFeeder:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Destroys the simulated feeder. Idempotent."""
        self._native.own("close the simulated feeder")
        self._native.release()

    def reseed(self, noise_seed: int) -> None:
        """Starts the motion noise again from ``noise_seed``."""
        seed = errors.whole("noise_seed", noise_seed, 0, SEED_MAX)
        self._check(self._kit.tvk_sim_reseed, "reseed", seed)

    @property
    def params(self) -> SimParams:
        """The drawn feeder's :class:`SimParams`."""
        record = new_record("TVK_SimParams")
        self._check(self._kit.tvk_sim_params, "feeder constants", record)
        return SimParams._make(
            tuple(record.motor_gain) if name == "motor_gain" else getattr(record, name)
            for name in SimParams._fields
        )

    def place(self, x: float, y: float) -> None:
        """Puts the part at (x, y), clamped to the platform."""
        x, y = errors.single("x", x), errors.single("y", y)
        self._check(self._kit.tvk_sim_place, "place the part", x, y)

    @property
    def position(self) -> Tuple[float, float]:
        """Where the part is."""
        x, y = ffi.new("float *"), ffi.new("float *")
        self._check(self._kit.tvk_sim_position, "position", x, y)
        return x[0], y[0]

    def camera(self) -> Optional[Tuple[float, float]]:
        """What a camera reports: the position rounded to two decimals."""
        x, y = ffi.new("float *"), ffi.new("float *")
        seen = self._check(self._kit.tvk_sim_camera, "camera", x, y)
        return (x[0], y[0]) if seen else None

    def vibrate(self, command: Command) -> None:
        """Runs one feeder :class:`~tavrel.Command`: the part moves for its run time."""
        if not isinstance(command, Command):
            raise TypeError(f"command must be a Command, got {command!r}")
        self._check(self._kit.tvk_sim_vibrate, "vibrate", command.to_c())

    def probe(self, command: Command) -> SimProbe:
        """What ``command`` would do to the part where it lies; nothing changes."""
        if not isinstance(command, Command):
            raise TypeError(f"command must be a Command, got {command!r}")
        record = new_record("TVK_SimProbe")
        self._check(self._kit.tvk_sim_probe, "probe", command.to_c(), record)
        return SimProbe._make(getattr(record, name) for name in SimProbe._fields)

    @property
    def vibration_ms(self) -> float:
        """Simulated milliseconds of vibration so far."""
        self._native.serve("vibration time")
        return self._kit.tvk_sim_vibration_ms(self._sim)

    def _check(self, function: Any, doing: str, *args: Any) -> int:
        """Calls the kit on this feeder; raises the kit's error."""
        self._native.serve(doing)
        return errors.check(function(self._sim, *args), doing, self._kit)
