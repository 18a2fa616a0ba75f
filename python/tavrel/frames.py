"""Frames in (``libtavrel_frames``): the part found in a backlit camera frame,
in the library's own coordinates.

Imported on its own (``from tavrel import frames``), so that a host without
the frames library (or numpy) still imports :mod:`tavrel`. The library is
looked for as the others are: ``TAVREL_FRAMES_LIBRARY``, the checkout's
``build/frames/``, then the system loader.

Frames are numpy ``uint8`` arrays of two dimensions. They are lent to the
library in place, never copied: each row's pixels must lie side by side
(``strides[1] == 1``) and rows follow each other forwards (``strides[0] >=
width``), so row slices and cropped views of a larger image serve; a view
that skips columns, runs backwards or is transposed is refused with
:class:`FrameLayoutError` (pass ``numpy.ascontiguousarray(view)``). Typical
use::

    with frames.Calibration.find(model, empty) as cal, frames.Locator(cal) as locator:
        locator.learn(one_part)
        where = locator.locate(frame)
        if where.seen is not None: ...
"""

from __future__ import annotations

import dataclasses
import enum
import os
from typing import Any, Callable, Dict, Iterator, List, Optional, Sequence, Tuple, Type, Union

import numpy as np
import numpy.typing as npt
from numpy.lib.stride_tricks import as_strided

from . import errors
from ._callbacks import HeldErrors
from ._lifetime import Native
from .native import _open, ffi
from .records import Command, as_enum

# The declarations of frames/tavrel_frames.h, member for member.
CDEF = """
enum {
    TVF_OK = 0,
    TVF_E_ARG = -1,
    TVF_E_FORMAT = -2,
    TVF_E_FIT = -3,
    TVF_E_IO = -4,
    TVF_E_NOMEM = -5,
    TVF_E_NOTFOUND = -6,
    TVF_E_CALLBACK = -7,
    TVF_E_ORIENT = -8,
    TVF_E_END = -9,
    TVF_E_SIZE = -10
};
const char *tvf_strerror(int code);
const char *tvf_errmsg(void);
const char *tvf_version(void);

enum { TVF_GRAY8 = 0 };
typedef struct TVF_Frame {
    uint32_t size;
    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t format;
    const uint8_t *data;
} TVF_Frame;

enum { TVF_SHAPE_RECT = 0, TVF_SHAPE_RING = 1, TVF_SHAPE_SCREW = 2, TVF_SHAPE_COUNT = 3 };
enum { TVF_PARTS_MAX = 2, TVF_ORIENTATION_COUNT = 8 };
typedef struct TVF_Part {
    double x;
    double y;
    double angle_deg;
} TVF_Part;
typedef struct TVF_Scene {
    uint32_t size;
    int32_t model;
    int32_t width;
    int32_t height;
    int32_t orientation;
    double tilt;
    double roll_deg;
    double fill;
    int32_t shape;
    int32_t part_count;
    TVF_Part part[2];
    double part_scale;
    double backlight;
    double dark;
    double vignetting;
    double blur_px;
    double noise;
    int32_t dust;
    uint64_t seed;
} TVF_Scene;
void tvf_scene_init(TVF_Scene *scene, int model);
int tvf_render(const TVF_Scene *scene, uint8_t *pixels, int32_t width, int32_t height,
               int32_t stride);
int tvf_render_corners(const TVF_Scene *scene, double corners[8]);

const char *tvf_orientation_name(int orientation);
typedef struct TVF_Calibration TVF_Calibration;
int tvf_calibrate(int model, const TVF_Frame *empty, TVF_Calibration **out);
int tvf_calibrate_corners(int model, int32_t width, int32_t height, const double corners[8],
                          TVF_Calibration **out);
void tvf_calibration_destroy(TVF_Calibration *cal);
int tvf_calibration_info(const TVF_Calibration *cal, int32_t *model, int32_t *width,
                         int32_t *height, int32_t *orientation);
int tvf_calibration_corners(const TVF_Calibration *cal, double corners[8]);
int tvf_calibration_set_orientation(TVF_Calibration *cal, int orientation);
int tvf_calibration_to_platform(const TVF_Calibration *cal, double px, double py, double *x,
                                double *y);
int tvf_calibration_to_image(const TVF_Calibration *cal, double x, double y, double *px,
                             double *py);
int tvf_calibration_save(const TVF_Calibration *cal, const char *path);
int tvf_calibration_load(const char *path, TVF_Calibration **out);

enum {
    TVF_NONE = 0,
    TVF_ONE = 1,
    TVF_SEVERAL = 2,
    TVF_AT_EDGE = 3,
    TVF_TOO_DARK = 4,
    TVF_SATURATED = 5,
    TVF_VERDICT_COUNT = 6
};
typedef struct TVF_LocatorConfig {
    uint32_t size;
    double threshold;
    double min_area;
    double max_area;
    int32_t min_blob;
    double min_backlight;
    double max_saturated;
    int32_t edge_px;
} TVF_LocatorConfig;
void tvf_locator_config_init(TVF_LocatorConfig *config);
typedef struct TVF_Location {
    uint32_t size;
    int32_t verdict;
    double x;
    double y;
    double angle_deg;
    double area;
    double px;
    double py;
    int32_t candidates;
    double backlight;
    char reason[96];
} TVF_Location;
typedef struct TVF_Locator TVF_Locator;
int tvf_locator_create(const TVF_Calibration *cal, const TVF_LocatorConfig *config,
                       TVF_Locator **out);
void tvf_locator_destroy(TVF_Locator *locator);
int tvf_locate(TVF_Locator *locator, const TVF_Frame *frame, TVF_Location *out);
int tvf_locator_learn(TVF_Locator *locator, const TVF_Frame *frame);
int tvf_locator_config(const TVF_Locator *locator, TVF_LocatorConfig *out);
int tvf_location_seen(const TVF_Location *location, float *x, float *y);
const char *tvf_verdict_name(int verdict);

typedef struct TVF_Push {
    ST_HostFedColC command;
    double dx;
    double dy;
} TVF_Push;
typedef int (*TVF_GrabFn)(void *user, TVF_Frame *frame);
int tvf_calibration_orient(TVF_Calibration *cal, const TVF_LocatorConfig *config,
                           const TVF_Push *pushes, int32_t count, TVF_GrabFn grab,
                           TVK_FeederFn feeder, void *user, int32_t *orientation);

typedef struct TVF_Source TVF_Source;
int tvf_source_open_files(const char *const *paths, int32_t count, TVF_Source **out);
int tvf_source_open_video(const char *path, TVF_Source **out);
int tvf_source_open_genicam(const char *device, int32_t width, int32_t height,
                            TVF_Source **out);
int tvf_source_next(TVF_Source *source, TVF_Frame *frame);
void tvf_source_close(TVF_Source *source);

typedef struct TVF_Settle {
    uint32_t size;
    double tolerance;
    int32_t frames;
    int32_t settled;
    double x;
    double y;
    double last_x;
    double last_y;
    int32_t have_last;
} TVF_Settle;
int tvf_settle_start(TVF_Settle *settle, double tolerance);
int tvf_settle_feed(TVF_Settle *settle, const TVF_Location *location, int host_waited);
"""

ffi.cdef(CDEF)
frames_lib = _open("tavrel_frames", "TAVREL_FRAMES_LIBRARY", "frames")

PathLike = Union[str, "os.PathLike[str]"]
Corners = Tuple[Tuple[float, float], ...]
Image = npt.NDArray[np.uint8]


class FramesErrorCode(enum.IntEnum):
    """The frames library's result codes (``TVF_E_*``)."""

    ARG = frames_lib.TVF_E_ARG
    FORMAT = frames_lib.TVF_E_FORMAT
    FIT = frames_lib.TVF_E_FIT
    IO = frames_lib.TVF_E_IO
    NOMEM = frames_lib.TVF_E_NOMEM
    NOTFOUND = frames_lib.TVF_E_NOTFOUND
    CALLBACK = frames_lib.TVF_E_CALLBACK
    ORIENT = frames_lib.TVF_E_ORIENT
    END = frames_lib.TVF_E_END
    SIZE = frames_lib.TVF_E_SIZE


class FramesError(RuntimeError):
    """A call into the frames library failed: ``code``, what was asked
    (``doing``) and the library's account of what it refused (``detail``,
    ``tvf_errmsg()``)."""

    def __init__(self, code: int, doing: str, detail: str) -> None:
        self.code: Union[FramesErrorCode, int] = as_enum(FramesErrorCode, code)
        self.doing = doing
        self.detail = detail
        text = ffi.string(frames_lib.tvf_strerror(code)).decode("utf-8", "replace")
        super().__init__(f"{doing}: {text}: {detail}" if detail else f"{doing}: {text}")


class FramesArgumentError(FramesError, ValueError):
    """A value out of range (``TVF_E_ARG``)."""


class FrameFormatError(FramesError, ValueError):
    """A frame of the wrong size, stride or pixel format (``TVF_E_FORMAT``)."""


class CalibrationFitError(FramesError, ValueError):
    """A calibration made for another frame size or platform (``TVF_E_FIT``)."""


class FramesIOError(FramesError, OSError):
    """A file could not be read or written (``TVF_E_IO``)."""


class FramesMemoryError(FramesError, MemoryError):
    """The library ran out of memory (``TVF_E_NOMEM``)."""


class NotFoundError(FramesError, LookupError):
    """No lit platform (calibration) or no part (learning) in the frame (``TVF_E_NOTFOUND``)."""


class FramesCallbackError(FramesError):
    """A host callback failed (``TVF_E_CALLBACK``)."""


class OrientationError(FramesError):
    """The test vibrations do not decide the orientation (``TVF_E_ORIENT``)."""


class EndOfFramesError(FramesError):
    """The source has no more frames (``TVF_E_END``)."""


class FramesSizeError(FramesError):
    """A record size the library cannot serve (``TVF_E_SIZE``)."""


class FrameLayoutError(ValueError):
    """An array the library cannot read in place: not 2-D ``uint8`` with
    adjacent pixels and forward rows. Raised before any C call."""


_ERROR_CLASSES: Dict[int, Type[FramesError]] = {
    FramesErrorCode.ARG: FramesArgumentError,
    FramesErrorCode.FORMAT: FrameFormatError,
    FramesErrorCode.FIT: CalibrationFitError,
    FramesErrorCode.IO: FramesIOError,
    FramesErrorCode.NOMEM: FramesMemoryError,
    FramesErrorCode.NOTFOUND: NotFoundError,
    FramesErrorCode.CALLBACK: FramesCallbackError,
    FramesErrorCode.ORIENT: OrientationError,
    FramesErrorCode.END: EndOfFramesError,
    FramesErrorCode.SIZE: FramesSizeError,
}


def _check(result: int, doing: str) -> int:
    if result < 0:
        kind: Type[FramesError] = _ERROR_CLASSES.get(result, FramesError)
        detail = ffi.string(frames_lib.tvf_errmsg()).decode("utf-8", "replace")
        raise kind(result, doing, detail)
    return result


def version() -> str:
    """The frames library's release, the kit's."""
    return str(ffi.string(frames_lib.tvf_version()).decode("ascii"))


# ----------------------------------------------------------------- frames


def _pixels(image: object, doing: str, writable: bool) -> Tuple[Any, int, int, int]:
    """The array's own memory as a C pointer, with width, height and row stride.

    The pointer is the array's first pixel: nothing is copied. It holds the
    buffer while it lives.
    """
    if not isinstance(image, np.ndarray):
        raise TypeError(f"{doing}: a frame must be a numpy array, got {type(image).__name__}")
    if image.dtype != np.uint8 or image.ndim != 2:
        raise FrameLayoutError(
            f"{doing}: a frame must be 2-D uint8, got {image.ndim}-D {image.dtype}"
        )
    height, width = image.shape
    row, pixel = image.strides
    if height == 0 or width == 0:
        raise FrameLayoutError(f"{doing}: an empty frame ({width}x{height})")
    if pixel != 1 or row < width:
        raise FrameLayoutError(
            f"{doing}: the library reads frames in place and needs adjacent pixels and "
            f"forward rows (strides[1] == 1, strides[0] >= width); got strides {image.strides} "
            f"for {width}x{height}: pass numpy.ascontiguousarray(frame)"
        )
    if writable and not image.flags.writeable:
        raise FrameLayoutError(f"{doing}: the array is read-only")
    # The bytes from the first pixel to the last, as one run the buffer
    # protocol can lend: a view of the same memory.
    span = as_strided(image, shape=((height - 1) * row + width,), strides=(1,), writeable=writable)
    buffer = ffi.from_buffer("uint8_t[]", span, require_writable=writable)
    return buffer, width, height, row


class _Lent:
    """A ``TVF_Frame`` over an array's memory, for the length of one call."""

    def __init__(self, image: object, doing: str) -> None:
        self.buffer, width, height, stride = _pixels(image, doing, writable=False)
        self.frame = ffi.new(
            "TVF_Frame *",
            {
                "size": ffi.sizeof("TVF_Frame"),
                "width": width,
                "height": height,
                "stride": stride,
                "format": frames_lib.TVF_GRAY8,
                "data": self.buffer,
            },
        )


def _copy_out(frame: Any) -> Image:
    """A frame the library owns, copied into an array of the caller's."""
    rows = frame.height
    stride = frame.stride
    raw = ffi.buffer(frame.data, (rows - 1) * stride + frame.width)
    view = np.frombuffer(raw, dtype=np.uint8)
    return np.array(as_strided(view, shape=(rows, frame.width), strides=(stride, 1)))


# -------------------------------------------------------------- rendering


class Shape(enum.IntEnum):
    """A part's silhouette."""

    RECT = frames_lib.TVF_SHAPE_RECT
    RING = frames_lib.TVF_SHAPE_RING
    SCREW = frames_lib.TVF_SHAPE_SCREW


@dataclasses.dataclass(frozen=True)
class Part:
    """A part on the platform: its centroid in library units, its long axis in degrees."""

    x: float
    y: float
    angle_deg: float = 0.0


_SCENE_FIELDS = frozenset(
    name for name, _ in ffi.typeof("TVF_Scene").fields if name not in ("size", "part", "part_count")
)


class Scene:
    """What a simulated backlit camera sees: the library's defaults for a
    model, then the settings given (any ``TVF_Scene`` member by name:
    ``width``, ``height``, ``orientation``, ``tilt``, ``roll_deg``,
    ``fill``, ``shape``, ``part_scale``, ``backlight``, ``dark``,
    ``vignetting``, ``blur_px``, ``noise``, ``dust``, ``seed``) and the
    parts (at most two; none: the empty platform)."""

    def __init__(
        self, model: int, parts: Sequence[Part] = (), **settings: Union[int, float]
    ) -> None:
        model = errors.whole("model", model, 0, 2)
        self._scene = ffi.new("TVF_Scene *")
        frames_lib.tvf_scene_init(self._scene, model)
        for name, value in settings.items():
            if name not in _SCENE_FIELDS:
                raise TypeError(f"Scene has no setting {name!r}")
            setattr(self._scene, name, value)
        self.parts = parts

    @property
    def parts(self) -> Sequence[Part]:
        """The parts the scene shows."""
        return tuple(Part(p.x, p.y, p.angle_deg) for p in self._scene.part[0 : self._scene.part_count])

    @parts.setter
    def parts(self, parts: Sequence[Part]) -> None:
        if len(parts) > frames_lib.TVF_PARTS_MAX:
            raise ValueError(f"a scene shows at most {frames_lib.TVF_PARTS_MAX} parts")
        for i, part in enumerate(parts):
            self._scene.part[i] = (part.x, part.y, part.angle_deg)
        self._scene.part_count = len(parts)

    @property
    def width(self) -> int:
        """The image's width in pixels."""
        return int(self._scene.width)

    @property
    def height(self) -> int:
        """The image's height in pixels."""
        return int(self._scene.height)

    def __getattr__(self, name: str) -> Any:
        if name in _SCENE_FIELDS:
            return getattr(self._scene, name)
        raise AttributeError(name)

    def __setattr__(self, name: str, value: Any) -> None:
        if name in _SCENE_FIELDS:
            setattr(self._scene, name, value)
        else:
            object.__setattr__(self, name, value)

    def render(self, out: Optional[Image] = None) -> Image:
        """Draws the scene into ``out`` (height x width, any forward row
        stride) or into a new array; returns the array drawn into."""
        if out is None:
            out = np.empty((self.height, self.width), dtype=np.uint8)
        buffer, width, height, stride = _pixels(out, "render", writable=True)
        _check(frames_lib.tvf_render(self._scene, buffer, width, height, stride), "render")
        return out

    def corners(self) -> Corners:
        """Where the platform's corners (0, 0), (W, 0), (W, H), (0, H) fall in the image, pixels."""
        corners = ffi.new("double[8]")
        _check(frames_lib.tvf_render_corners(self._scene, corners), "the scene's corners")
        return _pairs(corners)


def _pairs(flat: Any) -> Corners:
    return tuple((float(flat[2 * i]), float(flat[2 * i + 1])) for i in range(4))


def orientation_name(orientation: int) -> str:
    """A short name for one of the eight orientations, e.g. "+X right, +Y down"."""
    return str(ffi.string(frames_lib.tvf_orientation_name(orientation)).decode("ascii"))


# ----------------------------------------------------------- calibration


@dataclasses.dataclass(frozen=True)
class LocatorConfig:
    """How the locator decides (the library's defaults unless given)."""

    threshold: float = 0.5
    min_area: float = 0.0
    max_area: float = 0.0
    min_blob: int = 12
    min_backlight: float = 40.0
    max_saturated: float = 0.25
    edge_px: int = 3

    @classmethod
    def from_c(cls, record: Any) -> LocatorConfig:
        """Reads a ``TVF_LocatorConfig``."""
        return cls(*(getattr(record, f.name) for f in dataclasses.fields(cls)))

    def to_c(self) -> Any:
        """A ``TVF_LocatorConfig *`` with these values."""
        record = ffi.new("TVF_LocatorConfig *")
        frames_lib.tvf_locator_config_init(record)
        for f in dataclasses.fields(self):
            setattr(record, f.name, getattr(self, f.name))
        return record


@dataclasses.dataclass(frozen=True)
class Push:
    """A test vibration: the command, and the direction it pushes the part in library units."""

    command: Command
    dx: float
    dy: float


Grab = Callable[[], Image]
Feeder = Callable[[Command], object]


class Calibration:
    """Camera pixels onto the platform frame; close it with :meth:`close` or ``with``.

    Made by :meth:`find`, :meth:`from_corners` or :meth:`load`. Serves the
    thread that made it.
    """

    def __init__(self, handle: Any) -> None:
        self._handle = handle
        self._native = Native(self, "the calibration", "is closed", frames_lib.tvf_calibration_destroy, handle)

    @classmethod
    def find(cls, model: int, empty: Image) -> Calibration:
        """Finds the lit platform's corners in a frame of the empty platform (orientation 0)."""
        model = errors.whole("model", model, 0, 2)
        lent = _Lent(empty, "calibrate")
        out = ffi.new("TVF_Calibration **")
        _check(frames_lib.tvf_calibrate(model, lent.frame, out), "calibrate")
        return cls(out[0])

    @classmethod
    def from_corners(
        cls, model: int, width: int, height: int, corners: Sequence[Tuple[float, float]]
    ) -> Calibration:
        """From the pixels of the platform's corners (0, 0), (W, 0), (W, H), (0, H)."""
        model = errors.whole("model", model, 0, 2)
        if len(corners) != 4:
            raise ValueError(f"four corners, got {len(corners)}")
        flat = ffi.new("double[8]", [float(v) for corner in corners for v in corner])
        out = ffi.new("TVF_Calibration **")
        _check(frames_lib.tvf_calibrate_corners(model, width, height, flat, out), "calibrate from corners")
        return cls(out[0])

    @classmethod
    def load(cls, path: PathLike) -> Calibration:
        """Reads a calibration :meth:`save` wrote."""
        out = ffi.new("TVF_Calibration **")
        _check(frames_lib.tvf_calibration_load(os.fsencode(path), out), "load a calibration")
        return cls(out[0])

    def __enter__(self) -> Calibration:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Frees the calibration; idempotent."""
        self._native.own("close the calibration")
        self._native.release()

    def _use(self, doing: str) -> Any:
        self._native.serve(doing)
        return self._handle

    def _info(self) -> Tuple[int, int, int, int]:
        fields = ffi.new("int32_t[4]")
        _check(
            frames_lib.tvf_calibration_info(
                self._use("the calibration's info"), fields, fields + 1, fields + 2, fields + 3
            ),
            "the calibration's info",
        )
        return int(fields[0]), int(fields[1]), int(fields[2]), int(fields[3])

    @property
    def model(self) -> int:
        """The feeder model whose platform frame it maps onto."""
        return self._info()[0]

    @property
    def frame_size(self) -> Tuple[int, int]:
        """(width, height) of the frames it serves."""
        return self._info()[1:3]

    @property
    def orientation(self) -> int:
        """0..7: how the library's axes lie in the image (see :func:`orientation_name`)."""
        return self._info()[3]

    @orientation.setter
    def orientation(self, orientation: int) -> None:
        _check(
            frames_lib.tvf_calibration_set_orientation(self._use("set the orientation"), orientation),
            "set the orientation",
        )

    @property
    def corners(self) -> Corners:
        """The platform's corners (0, 0), (W, 0), (W, H), (0, H) in pixels."""
        flat = ffi.new("double[8]")
        _check(frames_lib.tvf_calibration_corners(self._use("the corners"), flat), "the corners")
        return _pairs(flat)

    def to_platform(self, px: float, py: float) -> Tuple[float, float]:
        """A camera pixel in the platform frame, library units."""
        out = ffi.new("double[2]")
        _check(
            frames_lib.tvf_calibration_to_platform(self._use("map a pixel"), px, py, out, out + 1),
            "map a pixel",
        )
        return float(out[0]), float(out[1])

    def to_image(self, x: float, y: float) -> Tuple[float, float]:
        """A platform point in camera pixels."""
        out = ffi.new("double[2]")
        _check(
            frames_lib.tvf_calibration_to_image(self._use("map a point"), x, y, out, out + 1),
            "map a point",
        )
        return float(out[0]), float(out[1])

    def save(self, path: PathLike) -> None:
        """Writes the calibration (.yml, .yaml, .xml or .json: OpenCV's storage)."""
        _check(
            frames_lib.tvf_calibration_save(self._use("save the calibration"), os.fsencode(path)),
            "save the calibration",
        )

    def orient(
        self, pushes: Sequence[Push], grab: Grab, feeder: Feeder, config: Optional[LocatorConfig] = None
    ) -> int:
        """Finds the orientation from two or three test pushes: for each, a
        frame from ``grab()``, the command through ``feeder``, a frame. Sets
        it on the calibration and returns it; :class:`OrientationError`
        (the calibration unchanged) when the pushes do not decide it."""
        handle = self._use("orient")
        if not 2 <= len(pushes) <= 3:
            raise ValueError(f"two or three pushes, got {len(pushes)}")
        records = ffi.new("TVF_Push[]", len(pushes))
        for record, push in zip(records, pushes):
            record.command = push.command.to_c()[0]
            record.dx, record.dy = push.dx, push.dy
        held = HeldErrors()
        lent: List[_Lent] = []

        def grab_frame(user: Any, frame: Any) -> int:
            lent[:] = [_Lent(grab(), "grab")]  # held until the next grab
            ffi.memmove(frame, lent[0].frame, ffi.sizeof("TVF_Frame"))
            return 0

        def run(user: Any, command: Any) -> int:
            feeder(Command.from_c(command))
            return 0

        grab_c = ffi.callback("TVF_GrabFn", held.guard("grab", grab_frame, -1))
        feeder_c = ffi.callback("TVK_FeederFn", held.guard("feeder", run, -1))
        found = ffi.new("int32_t *")
        config_c = ffi.NULL if config is None else config.to_c()
        result = frames_lib.tvf_calibration_orient(
            handle, config_c, records, len(pushes), grab_c, feeder_c, ffi.NULL, found
        )
        held.raise_held()
        _check(result, "orient")
        return int(found[0])


# --------------------------------------------------------------- locator


class Verdict(enum.IntEnum):
    """What the locator made of a frame; only ONE reaches the library as seen."""

    NONE = frames_lib.TVF_NONE
    ONE = frames_lib.TVF_ONE
    SEVERAL = frames_lib.TVF_SEVERAL
    AT_EDGE = frames_lib.TVF_AT_EDGE
    TOO_DARK = frames_lib.TVF_TOO_DARK
    SATURATED = frames_lib.TVF_SATURATED


@dataclasses.dataclass(frozen=True)
class Location:
    """One frame's result: the verdict, the part's centroid (library units)
    and angle, its area (units squared), the centroid in pixels, the
    part-sized blobs seen, the backlight measured and the reason."""

    verdict: Union[Verdict, int]
    x: float
    y: float
    angle_deg: float
    area: float
    px: float
    py: float
    candidates: int
    backlight: float
    reason: str
    seen: Optional[Tuple[float, float]]
    """What the library gets: (x, y) as C floats for one part, None otherwise (bMateReco 0)."""

    @classmethod
    def from_c(cls, record: Any) -> Location:
        """Reads a ``TVF_Location``, asking the library what it hands on."""
        xy = ffi.new("float[2]")
        seen = frames_lib.tvf_location_seen(record, xy, xy + 1) == 1
        return cls(
            as_enum(Verdict, record.verdict),
            record.x,
            record.y,
            record.angle_deg,
            record.area,
            record.px,
            record.py,
            record.candidates,
            record.backlight,
            ffi.string(record.reason).decode("utf-8", "replace"),
            (float(xy[0]), float(xy[1])) if seen else None,
        )

    def to_c(self) -> Any:
        """A ``TVF_Location *`` with these values."""
        record = ffi.new("TVF_Location *")
        record.size = ffi.sizeof("TVF_Location")
        for name in ("verdict", "x", "y", "angle_deg", "area", "px", "py", "candidates", "backlight"):
            setattr(record, name, getattr(self, name))
        record.reason = self.reason.encode("utf-8")[:95]
        return record


class Locator:
    """Finds the part in frames of its calibration's size; close it with :meth:`close` or ``with``.

    The calibration is copied: it may be closed after. Serves the thread
    that made it.
    """

    def __init__(self, calibration: Calibration, config: Optional[LocatorConfig] = None) -> None:
        out = ffi.new("TVF_Locator **")
        config_c = ffi.NULL if config is None else config.to_c()
        _check(
            frames_lib.tvf_locator_create(calibration._use("make a locator"), config_c, out),
            "make a locator",
        )
        self._handle = out[0]
        self._native = Native(self, "the locator", "is closed", frames_lib.tvf_locator_destroy, out[0])

    def __enter__(self) -> Locator:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Frees the locator; idempotent."""
        self._native.own("close the locator")
        self._native.release()

    def locate(self, frame: Image) -> Location:
        """Finds the part in one frame; every verdict is a result, not an error."""
        self._native.serve("locate")
        lent = _Lent(frame, "locate")
        out = ffi.new("TVF_Location *")
        out.size = ffi.sizeof("TVF_Location")
        _check(frames_lib.tvf_locate(self._handle, lent.frame, out), "locate")
        return Location.from_c(out)

    def learn(self, frame: Image) -> LocatorConfig:
        """Learns the part's area range from a frame with one part; returns the configuration."""
        self._native.serve("learn the part")
        lent = _Lent(frame, "learn the part")
        _check(frames_lib.tvf_locator_learn(self._handle, lent.frame), "learn the part")
        return self.config

    @property
    def config(self) -> LocatorConfig:
        """The configuration in force."""
        self._native.serve("the locator's configuration")
        out = ffi.new("TVF_LocatorConfig *")
        out.size = ffi.sizeof("TVF_LocatorConfig")
        _check(frames_lib.tvf_locator_config(self._handle, out), "the locator's configuration")
        return LocatorConfig.from_c(out)


def verdict_name(verdict: int) -> str:
    """A short name for a verdict ("one part", "none", ...)."""
    return str(ffi.string(frames_lib.tvf_verdict_name(verdict)).decode("ascii"))


# --------------------------------------------------------------- settling


class Settle:
    """Waits, after a vibration, until two consecutive frames with one part
    agree within ``tolerance`` library units (or the host's own wait has passed)."""

    def __init__(self, tolerance: float) -> None:
        self._record = ffi.new("TVF_Settle *")
        self._record.size = ffi.sizeof("TVF_Settle")
        self._tolerance = errors.real("tolerance", tolerance)
        self.restart()

    def restart(self) -> None:
        """Starts waiting again: after each vibration."""
        _check(frames_lib.tvf_settle_start(self._record, self._tolerance), "start settling")

    def feed(self, location: Location, host_waited: bool = False) -> bool:
        """Gives the next frame's location; True once settled."""
        settled = frames_lib.tvf_settle_feed(self._record, location.to_c(), 1 if host_waited else 0)
        return _check(settled, "settle") == 1

    @property
    def frames(self) -> int:
        """Frames given since the start."""
        return int(self._record.frames)

    @property
    def position(self) -> Optional[Tuple[float, float]]:
        """The settled position, None while not settled."""
        if not self._record.settled:
            return None
        return float(self._record.x), float(self._record.y)


# ---------------------------------------------------------------- sources


class Source:
    """Frames from image files, a video file or a GenICam camera; close it
    with :meth:`close` or ``with``. Iterating gives each frame (a copy the
    caller owns) until the last."""

    def __init__(self, opened: Any) -> None:
        self._handle = opened
        self._native = Native(self, "the source", "is closed", frames_lib.tvf_source_close, opened)

    @classmethod
    def files(cls, paths: Sequence[PathLike]) -> Source:
        """Image files read in order, each as 8-bit grey."""
        encoded = [ffi.new("char[]", os.fsencode(p)) for p in paths]
        array = ffi.new("const char *[]", encoded)
        out = ffi.new("TVF_Source **")
        _check(frames_lib.tvf_source_open_files(array, len(encoded), out), "open image files")
        return cls(out[0])

    @classmethod
    def video(cls, path: PathLike) -> Source:
        """A video file's frames as 8-bit grey."""
        out = ffi.new("TVF_Source **")
        _check(frames_lib.tvf_source_open_video(os.fsencode(path), out), "open a video")
        return cls(out[0])

    @classmethod
    def genicam(cls, device: Optional[str] = None, width: int = 0, height: int = 0) -> Source:
        """A GenICam camera by Aravis's id or its address; None: the first camera found."""
        out = ffi.new("TVF_Source **")
        name = ffi.NULL if device is None else device.encode("utf-8")
        _check(frames_lib.tvf_source_open_genicam(name, width, height, out), "open a camera")
        return cls(out[0])

    def __enter__(self) -> Source:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def close(self) -> None:
        """Stops a camera and frees the source; idempotent."""
        self._native.own("close the source")
        self._native.release()

    def next(self) -> Image:
        """The next frame; :class:`EndOfFramesError` after the last."""
        self._native.serve("the next frame")
        frame = ffi.new("TVF_Frame *")
        frame.size = ffi.sizeof("TVF_Frame")
        _check(frames_lib.tvf_source_next(self._handle, frame), "the next frame")
        return _copy_out(frame)

    def __iter__(self) -> Iterator[Image]:
        while True:
            try:
                yield self.next()
            except EndOfFramesError:
                return
