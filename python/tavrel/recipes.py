"""The recipe store (``libtavrel_recipes``): tuned recipes per part, feeder and
action in a SQLite file, warm starts from them, drift, the production command
and self-commissioning.

Imported on its own (``from tavrel.recipes import RecipeStore``), so that a
host without the store's library still imports :mod:`tavrel`. The library is
looked for as the others are: ``TAVREL_RECIPES_LIBRARY``, the checkout's
``build/recipes/``, then the system loader. Typical use::

    with RecipeStore("cell.db") as store:
        result = store.tune("bolt", "cell-1", 0, 3, camera, feeder, put_back)
        command = store.production_command("bolt", "cell-1", 3)
"""

from __future__ import annotations

import dataclasses
import enum
import os
from typing import Any, Callable, List, Optional, Tuple, Type, Union

from . import errors
from ._callbacks import HeldErrors
from .capture import Capture, capture_active, discard_diagnostics
from .native import _open, ffi
from .records import Command, LogicParams, Outcome, as_enum
from .session import CameraAnswer, camera_position

# The declarations of recipes/tavrel_recipes.h, member for member.
CDEF = """
enum {
    TVR_OK = 0,
    TVR_E_ARG = -1,
    TVR_E_IO = -4,
    TVR_E_NOMEM = -7,
    TVR_E_SIZE = -8,
    TVR_E_HANDLE = -10,
    TVR_E_NOTSTORE = -101,
    TVR_E_SCHEMA = -102,
    TVR_E_UNKNOWN = -103,
    TVR_E_MODEL = -104,
    TVR_E_FORMAT = -105,
    TVR_E_DRIFTED = -106,
    TVR_E_DATABASE = -107,
    TVR_E_KIT = -108
};
const char *tvr_strerror(int code);
const char *tvr_errmsg(void);

enum { TVR_NAME_MAX = 64, TVR_VERSION_MAX = 16, TVR_PATH_MAX = 4096 };
typedef struct TVR_Store TVR_Store;
int tvr_default_path(char *path, int32_t size);
int tvr_open(const char *path, TVR_Store **out);
int tvr_close(TVR_Store *store);
int tvr_schema_version(TVR_Store *store);

typedef struct TVR_Recipe {
    uint32_t size;
    char part[64];
    char feeder[64];
    int32_t model;
    int32_t action;
    ST_HostFedColC command;
    ST_HostLogicParam params;
    int64_t tuned_at;
    char library_version[16];
    int32_t vibrations;
    int32_t outcome;
    int32_t drifted;
} TVR_Recipe;

enum {
    TVR_START_COLD = 0,
    TVR_START_WARM = 1,
    TVR_START_COMMISSIONED = 2,
    TVR_START_SAVED = 3,
    TVR_START_IMPORTED = 4
};
enum { TVR_REASON_MAX = 192 };

typedef struct TVR_Tuning {
    uint32_t size;
    int64_t id;
    char part[64];
    char feeder[64];
    int32_t model;
    int32_t action;
    int64_t at;
    int32_t start;
    int32_t outcome;
    int32_t vibrations;
    int32_t probe_vibrations;
    int32_t drifted;
    ST_HostFedColC command;
    ST_HostLogicParam params;
    char library_version[16];
    char reason[192];
} TVR_Tuning;

typedef int (*TVR_RecipeFn)(void *user, const TVR_Recipe *recipe);
typedef int (*TVR_TuningFn)(void *user, const TVR_Tuning *tuning);

int tvr_feeder_add(TVR_Store *store, const char *feeder, int model);
int tvr_feeder_model(TVR_Store *store, const char *feeder);
int tvr_recipe_get(TVR_Store *store, const char *part, const char *feeder, int action,
                   TVR_Recipe *out);
int tvr_recipe_put(TVR_Store *store, const TVR_Recipe *recipe);
int tvr_recipe_delete(TVR_Store *store, const char *part, const char *feeder, int action);
int tvr_recipe_mark_drifted(TVR_Store *store, const char *part, const char *feeder, int action);
int tvr_recipe_list(TVR_Store *store, const char *part, const char *feeder, TVR_RecipeFn fn,
                    void *user);
int tvr_history(TVR_Store *store, const char *part, const char *feeder, int action,
                TVR_TuningFn fn, void *user);
int tvr_production_command(TVR_Store *store, const char *part, const char *feeder, int action,
                           ST_HostFedColC *out);
int tvr_export_json(TVR_Store *store, const char *part, const char *feeder, char **json,
                    size_t *length);
int tvr_import_json(TVR_Store *store, const char *json, int32_t *imported);
void tvr_free(void *memory);
int tvr_warm_params(const TVR_Recipe *recipe, ST_HostLogicParam *out);

typedef struct TVR_Commissioning {
    uint32_t size;
    int32_t verdict;
    int32_t probe_vibrations;
    float best_frequency;
    float moved;
    ST_HostLogicParam params;
    char reason[192];
} TVR_Commissioning;

int tvr_commission(int model, int action, TVK_CameraFn camera, TVK_FeederFn feeder,
                   TVK_PutBackFn put_back, void *user, TVR_Commissioning *out);

typedef struct TVR_TuneConfig {
    uint32_t size;
    const char *part;
    const char *feeder;
    int32_t model;
    int32_t action;
    TVK_CameraFn camera;
    TVK_FeederFn drive;
    TVK_PutBackFn put_back;
    void *user;
    int32_t max_steps;
    int32_t verdict_sweeps;
    int32_t drift_margin;
    int32_t commission;
    int32_t fleet_verdict;
} TVR_TuneConfig;

void tvr_tune_config_init(TVR_TuneConfig *config, const char *part, const char *feeder,
                          int model, int action);

typedef struct TVR_TuneResult {
    uint32_t size;
    int32_t outcome;
    int32_t start;
    int32_t warm;
    int32_t drifted;
    int32_t vibrations;
    int32_t warm_vibrations;
    int32_t probe_vibrations;
    ST_HostFedColC command;
    ST_HostLogicParam params;
    char reason[192];
} TVR_TuneResult;

int tvr_tune(TVR_Store *store, const TVR_TuneConfig *config, TVR_TuneResult *result);
"""

ffi.cdef(CDEF)
store_lib = _open("tavrel_recipes", "TAVREL_RECIPES_LIBRARY", "recipes")

INT32_MAX = 2**31 - 1
PathLike = Union[str, "os.PathLike[str]"]
Camera = Callable[[], CameraAnswer]
Feeder = Callable[[Command], object]
PutBack = Optional[Callable[[], object]]


class RecipeErrorCode(enum.IntEnum):
    """The store's result codes (``TVR_E_*``)."""

    ARG = store_lib.TVR_E_ARG
    IO = store_lib.TVR_E_IO
    NOMEM = store_lib.TVR_E_NOMEM
    SIZE = store_lib.TVR_E_SIZE
    HANDLE = store_lib.TVR_E_HANDLE
    NOTSTORE = store_lib.TVR_E_NOTSTORE
    SCHEMA = store_lib.TVR_E_SCHEMA
    UNKNOWN = store_lib.TVR_E_UNKNOWN
    MODEL = store_lib.TVR_E_MODEL
    FORMAT = store_lib.TVR_E_FORMAT
    DRIFTED = store_lib.TVR_E_DRIFTED
    DATABASE = store_lib.TVR_E_DATABASE
    KIT = store_lib.TVR_E_KIT


class RecipeError(RuntimeError):
    """A call into the store failed: ``code``, what was asked (``doing``) and
    the store's account of what it refused (``detail``, ``tvr_errmsg()``)."""

    def __init__(self, code: int, doing: str, detail: str) -> None:
        self.code: Union[RecipeErrorCode, int] = as_enum(RecipeErrorCode, code)
        self.doing = doing
        self.detail = detail
        text = ffi.string(store_lib.tvr_strerror(code)).decode("utf-8", "replace")
        super().__init__(f"{doing}: {text}: {detail}" if detail else f"{doing}: {text}")


class RecipeArgumentError(RecipeError):
    """A bad argument (``TVR_E_ARG``)."""


class RecipeIOError(RecipeError):
    """The store's file cannot be opened or created (``TVR_E_IO``)."""


class NotAStoreError(RecipeError):
    """The file is not a recipe store (``TVR_E_NOTSTORE``); it was left untouched."""


class SchemaError(RecipeError):
    """The store was written by a newer release (``TVR_E_SCHEMA``); left untouched."""


class UnknownRecipeError(RecipeError, LookupError):
    """No such part, feeder or recipe (``TVR_E_UNKNOWN``)."""


class ModelMismatchError(RecipeError):
    """The feeder is in the store with another model (``TVR_E_MODEL``)."""


class FormatError(RecipeError):
    """The JSON is not a recipe export (``TVR_E_FORMAT``); nothing was imported."""


class DriftedError(RecipeError):
    """The recipe is marked drifted (``TVR_E_DRIFTED``): tune before production."""


class DatabaseError(RecipeError):
    """SQLite failed: locked past the timeout, corrupt or full (``TVR_E_DATABASE``)."""


class KitRefusedError(RecipeError):
    """The host kit refused or a callback failed (``TVR_E_KIT``)."""


_ERROR_CLASSES = {
    RecipeErrorCode.ARG: RecipeArgumentError,
    RecipeErrorCode.IO: RecipeIOError,
    RecipeErrorCode.NOTSTORE: NotAStoreError,
    RecipeErrorCode.SCHEMA: SchemaError,
    RecipeErrorCode.UNKNOWN: UnknownRecipeError,
    RecipeErrorCode.MODEL: ModelMismatchError,
    RecipeErrorCode.FORMAT: FormatError,
    RecipeErrorCode.DRIFTED: DriftedError,
    RecipeErrorCode.DATABASE: DatabaseError,
    RecipeErrorCode.KIT: KitRefusedError,
}


def _check(result: int, doing: str) -> int:
    if result < 0:
        kind: Type[RecipeError] = _ERROR_CLASSES.get(result, RecipeError)
        detail = ffi.string(store_lib.tvr_errmsg()).decode("utf-8", "replace")
        raise kind(result, doing, detail)
    return result


class Start(enum.IntEnum):
    """How a tuning started."""

    COLD = store_lib.TVR_START_COLD
    WARM = store_lib.TVR_START_WARM
    COMMISSIONED = store_lib.TVR_START_COMMISSIONED
    SAVED = store_lib.TVR_START_SAVED
    IMPORTED = store_lib.TVR_START_IMPORTED


def _text(field: Any) -> str:
    return ffi.string(field).decode("utf-8", "replace")


def _name(what: str, value: object) -> bytes:
    if not isinstance(value, str) or not value:
        raise TypeError(f"{what} must be a non-empty str, got {value!r}")
    encoded = value.encode("utf-8")
    if len(encoded) >= store_lib.TVR_NAME_MAX or b"\0" in encoded:
        raise ValueError(f"{what} must be below {store_lib.TVR_NAME_MAX} bytes without NUL")
    return encoded


def _optional_name(what: str, value: Optional[str]) -> Any:
    return ffi.NULL if value is None else _name(what, value)


@dataclasses.dataclass(frozen=True)
class Recipe:
    """The last successful tuning of an action of a part on a feeder."""

    part: str
    feeder: str
    model: int
    action: int
    command: Command
    params: LogicParams
    tuned_at: int = 0  # seconds since 1970 UTC; 0 when saving: now
    library_version: str = ""  # "" when saving: this release
    vibrations: int = 0
    outcome: Union[Outcome, int] = Outcome.TUNED
    drifted: bool = False

    @classmethod
    def from_c(cls, record: Any) -> Recipe:
        """Reads a ``TVR_Recipe``."""
        return cls(
            _text(record.part),
            _text(record.feeder),
            record.model,
            record.action,
            Command.from_c(record.command),
            LogicParams.from_c(record.params),
            record.tuned_at,
            _text(record.library_version),
            record.vibrations,
            as_enum(Outcome, record.outcome),
            bool(record.drifted),
        )

    def to_c(self) -> Any:
        """A new ``TVR_Recipe *`` with these values."""
        record = ffi.new("TVR_Recipe *")
        record.size = ffi.sizeof("TVR_Recipe")
        record.part = _name("part", self.part)
        record.feeder = _name("feeder", self.feeder)
        record.model, record.action = errors.model_action(self.model, self.action)
        record.command = self.command.to_c()[0]
        record.params = self.params.to_c()[0]
        record.tuned_at = errors.whole("tuned_at", self.tuned_at, 0)
        version = self.library_version.encode("utf-8")
        if len(version) >= store_lib.TVR_VERSION_MAX:
            raise ValueError(f"library_version is too long: {self.library_version!r}")
        record.library_version = version
        record.vibrations = errors.whole("vibrations", self.vibrations, 0, INT32_MAX)
        record.outcome = errors.whole("outcome", self.outcome, 0, int(Outcome.STOPPED))
        record.drifted = int(errors.flag("drifted", self.drifted))
        return record


@dataclasses.dataclass(frozen=True)
class Tuning:
    """One row of the history: a tuning, successful or not."""

    id: int
    part: str
    feeder: str
    model: int
    action: int
    at: int
    start: Union[Start, int]
    outcome: Union[Outcome, int]
    vibrations: int
    probe_vibrations: int
    drifted: bool
    command: Command
    params: LogicParams
    library_version: str
    reason: str

    @classmethod
    def from_c(cls, record: Any) -> Tuning:
        """Reads a ``TVR_Tuning``."""
        return cls(
            record.id,
            _text(record.part),
            _text(record.feeder),
            record.model,
            record.action,
            record.at,
            as_enum(Start, record.start),
            as_enum(Outcome, record.outcome),
            record.vibrations,
            record.probe_vibrations,
            bool(record.drifted),
            Command.from_c(record.command),
            LogicParams.from_c(record.params),
            _text(record.library_version),
            _text(record.reason),
        )


@dataclasses.dataclass(frozen=True)
class TuneResult:
    """What :meth:`RecipeStore.tune` did."""

    outcome: Union[Outcome, int]
    start: Union[Start, int]
    warm: bool  # a warm start was tried
    drifted: bool  # the warm start found the recipe drifted
    vibrations: int  # all of them, probes included
    warm_vibrations: int
    probe_vibrations: int
    command: Command
    params: LogicParams
    reason: str


@dataclasses.dataclass(frozen=True)
class Commissioning:
    """What the probes found: the window for the library, or a failed verdict."""

    verdict: Union[Outcome, int]  # RUNNING: params hold the window; FAILED: hopeless
    probe_vibrations: int
    best_frequency: float
    moved: float
    params: LogicParams
    reason: str




class _Callbacks:
    """The host's camera, feeder and put-back as the store's C callbacks;
    an exception they raise is held and re-raised after the call."""

    def __init__(self, camera: Camera, feeder: Feeder, put_back: PutBack) -> None:
        for name, function in (("camera", camera), ("feeder", feeder)):
            if not callable(function):
                raise TypeError(f"{name} must be callable, got {function!r}")
        errors.callable_or_none("put_back", put_back)
        self.held = HeldErrors()
        self.camera = ffi.callback(
            "TVK_CameraFn", self.held.guard("the camera callback", self._camera, -1)
        )
        self.feeder = ffi.callback(
            "TVK_FeederFn", self.held.guard("the feeder callback", self._feeder, -1)
        )
        self.put_back = ffi.NULL
        if put_back is not None:
            self.put_back = ffi.callback(
                "TVK_PutBackFn", self.held.guard("the put_back callback", self._put_back, None)
            )
        self._host = (camera, feeder, put_back)

    def _camera(self, _user: object, x: Any, y: Any) -> int:
        position = camera_position(self._host[0]())
        if position is None:
            return 0
        x[0], y[0] = position
        return 1

    def _feeder(self, _user: object, command: Any) -> int:
        self._host[1](Command.from_c(command))
        return 0

    def _put_back(self, _user: object) -> None:
        put_back = self._host[2]
        if put_back is not None:
            put_back()

    def call(self, doing: str, function: Callable[..., int], *args: Any) -> None:
        """Calls the store with the library's text discarded (unless the
        program captures it), then raises a held exception or the failure."""
        capture: Optional[Capture] = None if capture_active() else discard_diagnostics()
        try:
            result = function(*args)
        finally:
            if capture is not None:
                capture.stop()
        self.held.raise_held()
        _check(result, doing)


class RecipeStore:
    """A recipe store: ``path`` None opens the default one (created, with its
    folder, per the XDG rules). Close it with :meth:`close` or ``with``."""

    def __init__(self, path: Optional[PathLike] = None) -> None:
        out = ffi.new("TVR_Store **")
        raw = ffi.NULL if path is None else os.fsencode(path)
        _check(store_lib.tvr_open(raw, out), f"open the recipe store {path or default_path()!r}")
        self._handle: Any = out[0]

    def __enter__(self) -> RecipeStore:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_handle", None) is not None:
            self.close()

    def close(self) -> None:
        """Closes the store. Idempotent."""
        handle, self._handle = self._handle, None
        if handle is not None:
            _check(store_lib.tvr_close(handle), "close the recipe store")

    @property
    def closed(self) -> bool:
        """True once the store is closed."""
        return self._handle is None

    def _store(self, doing: str) -> Any:
        if self._handle is None:
            raise RecipeError(store_lib.TVR_E_HANDLE, doing, "the store is closed")
        return self._handle

    @property
    def schema_version(self) -> int:
        """The schema version the file holds."""
        doing = "read the schema version"
        return _check(store_lib.tvr_schema_version(self._store(doing)), doing)

    def add_feeder(self, feeder: str, model: int) -> None:
        """Registers a feeder with its model, or checks it."""
        doing = f"register feeder {feeder!r}"
        model = errors.whole("model", model, 0, 2)
        _check(store_lib.tvr_feeder_add(self._store(doing), _name("feeder", feeder), model), doing)

    def feeder_model(self, feeder: str) -> int:
        """The model the feeder is registered with."""
        doing = f"read the model of feeder {feeder!r}"
        return _check(store_lib.tvr_feeder_model(self._store(doing), _name("feeder", feeder)), doing)

    def get(self, part: str, feeder: str, action: int) -> Recipe:
        """The recipe of part, feeder and action; :class:`UnknownRecipeError` if none."""
        doing = f"read the recipe of {part!r} on {feeder!r}, action {action}"
        out = ffi.new("TVR_Recipe *")
        out.size = ffi.sizeof("TVR_Recipe")
        _check(
            store_lib.tvr_recipe_get(
                self._store(doing), _name("part", part), _name("feeder", feeder),
                errors.whole("action", action, 0, 10), out,
            ),
            doing,
        )
        return Recipe.from_c(out)

    def put(self, recipe: Recipe) -> None:
        """Saves a recipe the host tuned itself, with a history row."""
        if not isinstance(recipe, Recipe):
            raise TypeError(f"recipe must be a Recipe, got {recipe!r}")
        doing = f"save the recipe of {recipe.part!r} on {recipe.feeder!r}"
        _check(store_lib.tvr_recipe_put(self._store(doing), recipe.to_c()), doing)

    def delete(self, part: str, feeder: str, action: Optional[int] = None) -> None:
        """Deletes one recipe, or all of the part on the feeder (action None)."""
        doing = f"delete the recipes of {part!r} on {feeder!r}"
        number = -1 if action is None else errors.whole("action", action, 0, 10)
        _check(
            store_lib.tvr_recipe_delete(
                self._store(doing), _name("part", part), _name("feeder", feeder), number
            ),
            doing,
        )

    def mark_drifted(self, part: str, feeder: str, action: int) -> None:
        """Marks a recipe drifted (production runs stopped working)."""
        doing = f"mark the recipe of {part!r} on {feeder!r} drifted"
        _check(
            store_lib.tvr_recipe_mark_drifted(
                self._store(doing), _name("part", part), _name("feeder", feeder),
                errors.whole("action", action, 0, 10),
            ),
            doing,
        )

    def recipes(self, part: Optional[str] = None, feeder: Optional[str] = None) -> List[Recipe]:
        """The recipes, ordered by part, feeder and action."""
        doing = "list the recipes"
        rows: List[Recipe] = []
        collect = ffi.callback("TVR_RecipeFn", lambda _u, r: rows.append(Recipe.from_c(r)) or 0)
        _check(
            store_lib.tvr_recipe_list(
                self._store(doing), _optional_name("part", part),
                _optional_name("feeder", feeder), collect, ffi.NULL,
            ),
            doing,
        )
        return rows

    def history(
        self, part: Optional[str] = None, feeder: Optional[str] = None,
        action: Optional[int] = None,
    ) -> List[Tuning]:
        """Every tuning, oldest first."""
        doing = "read the history"
        rows: List[Tuning] = []
        collect = ffi.callback("TVR_TuningFn", lambda _u, t: rows.append(Tuning.from_c(t)) or 0)
        number = -1 if action is None else errors.whole("action", action, 0, 10)
        _check(
            store_lib.tvr_history(
                self._store(doing), _optional_name("part", part),
                _optional_name("feeder", feeder), number, collect, ffi.NULL,
            ),
            doing,
        )
        return rows

    def production_command(self, part: str, feeder: str, action: int) -> Command:
        """The stored command to send without tuning; :class:`DriftedError` when
        the recipe is marked drifted."""
        doing = f"production command of {part!r} on {feeder!r}, action {action}"
        out = ffi.new("ST_HostFedColC *")
        _check(
            store_lib.tvr_production_command(
                self._store(doing), _name("part", part), _name("feeder", feeder),
                errors.whole("action", action, 0, 10), out,
            ),
            doing,
        )
        return Command.from_c(out)

    def export_json(self, part: Optional[str] = None, feeder: Optional[str] = None) -> str:
        """The recipes as one JSON document."""
        doing = "export the recipes"
        out = ffi.new("char **")
        length = ffi.new("size_t *")
        _check(
            store_lib.tvr_export_json(
                self._store(doing), _optional_name("part", part),
                _optional_name("feeder", feeder), out, length,
            ),
            doing,
        )
        try:
            return ffi.unpack(out[0], length[0]).decode("utf-8")
        finally:
            store_lib.tvr_free(out[0])

    def import_json(self, text: str) -> int:
        """Imports an export, all recipes or none; returns how many."""
        if not isinstance(text, str):
            raise TypeError(f"text must be a str, got {text!r}")
        doing = "import recipes"
        count = ffi.new("int32_t *")
        _check(store_lib.tvr_import_json(self._store(doing), text.encode("utf-8"), count), doing)
        return int(count[0])

    def tune(
        self,
        part: str,
        feeder: str,
        model: int,
        action: int,
        camera: Camera,
        drive: Feeder,
        put_back: PutBack = None,
        *,
        commission: bool = False,
        fleet_verdict: bool = False,
        drift_margin: Optional[int] = None,
        max_steps: Optional[int] = None,
        verdict_sweeps: Optional[int] = None,
    ) -> TuneResult:
        """Tunes from the recipe (warm start), falls back to a full tuning when
        it has drifted (after the probes with ``commission``), and keeps the
        result. ``camera``, ``drive`` and ``put_back`` are a session's;
        ``fleet_verdict`` ends a full tuning past twice the 90th percentile of
        the store's tuned ones of the same model and action."""
        model, action = errors.model_action(model, action)
        names = (_name("part", part), _name("feeder", feeder))
        callbacks = _Callbacks(camera, drive, put_back)
        config = ffi.new("TVR_TuneConfig *")
        store_lib.tvr_tune_config_init(config, names[0], names[1], model, action)
        config.camera, config.drive, config.put_back = (
            callbacks.camera, callbacks.feeder, callbacks.put_back,
        )
        config.commission = int(errors.flag("commission", commission))
        config.fleet_verdict = int(errors.flag("fleet_verdict", fleet_verdict))
        for field, value in (("drift_margin", drift_margin), ("max_steps", max_steps),
                             ("verdict_sweeps", verdict_sweeps)):
            if value is not None:
                setattr(config, field, errors.whole(field, value, 0, INT32_MAX))
        result = ffi.new("TVR_TuneResult *")
        result.size = ffi.sizeof("TVR_TuneResult")
        doing = f"tune {part!r} on {feeder!r}, action {action}"
        callbacks.call(doing, store_lib.tvr_tune, self._store(doing), config, result)
        return TuneResult(
            as_enum(Outcome, result.outcome), as_enum(Start, result.start), bool(result.warm),
            bool(result.drifted), result.vibrations, result.warm_vibrations,
            result.probe_vibrations, Command.from_c(result.command),
            LogicParams.from_c(result.params), _text(result.reason),
        )


def default_path() -> str:
    """The default store's path, per the XDG rules."""
    out = ffi.new("char[]", store_lib.TVR_PATH_MAX)
    _check(store_lib.tvr_default_path(out, store_lib.TVR_PATH_MAX), "the default store's path")
    return os.fsdecode(ffi.string(out))


def warm_params(recipe: Recipe) -> LogicParams:
    """The host parameters that start a re-tune from ``recipe`` (its words pinned)."""
    out = ffi.new("ST_HostLogicParam *")
    _check(store_lib.tvr_warm_params(recipe.to_c(), out), "warm parameters")
    return LogicParams.from_c(out)


def commission(
    model: int, action: int, camera: Camera, drive: Feeder, put_back: PutBack = None
) -> Commissioning:
    """Probes the feeder through the host's callbacks (no session may run)."""
    model, action = errors.model_action(model, action)
    callbacks = _Callbacks(camera, drive, put_back)
    out = ffi.new("TVR_Commissioning *")
    out.size = ffi.sizeof("TVR_Commissioning")
    callbacks.call(
        "commission", store_lib.tvr_commission, model, action, callbacks.camera,
        callbacks.feeder, callbacks.put_back, ffi.NULL, out,
    )
    return Commissioning(
        as_enum(Outcome, out.verdict), out.probe_vibrations, out.best_frequency, out.moved,
        LogicParams.from_c(out.params), _text(out.reason),
    )


__all__: Tuple[str, ...] = (
    "Commissioning", "DatabaseError", "DriftedError", "FormatError", "KitRefusedError",
    "ModelMismatchError", "NotAStoreError", "Recipe", "RecipeArgumentError", "RecipeError",
    "RecipeErrorCode", "RecipeIOError", "RecipeStore", "SchemaError", "Start", "TuneResult",
    "Tuning", "UnknownRecipeError", "commission", "default_path", "warm_params",
)
