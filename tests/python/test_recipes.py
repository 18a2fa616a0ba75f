"""The recipe store from Python: rows, errors, JSON, warm start, drift,
production and commissioning on the simulated feeder."""

import dataclasses
import sqlite3

import pytest

import tavrel
from tavrel import sim
from tavrel.recipes import (
    DriftedError,
    FormatError,
    ModelMismatchError,
    NotAStoreError,
    Recipe,
    RecipeStore,
    SchemaError,
    Start,
    UnknownRecipeError,
    commission,
    default_path,
    warm_params,
)


def recipe(part="bolt", feeder="cell-1", model=0, action=3, amp=30):
    words = [tavrel.MotorWords(0, 0, 0, 0)] * 4
    words[2] = words[3] = tavrel.MotorWords(amp, 73, 0, 1)
    return Recipe(part, feeder, model, action, tavrel.Command(action, tuple(words), 5000),
                  tavrel.LogicParams(30, 80, 60, 80, 300), tuned_at=1765000000, vibrations=9)


def test_rows_round_trip_and_bad_input_changes_nothing(tmp_path):
    with RecipeStore(tmp_path / "r.db") as store:
        assert store.schema_version == 1
        store.put(recipe())
        store.put(recipe(action=5, amp=40))
        got = store.get("bolt", "cell-1", 3)
        assert dataclasses.replace(got, library_version="") == recipe()
        assert got.library_version == tavrel.__version__
        assert [r.action for r in store.recipes(part="bolt")] == [3, 5]
        assert store.production_command("bolt", "cell-1", 5) == recipe(action=5, amp=40).command
        store.mark_drifted("bolt", "cell-1", 5)
        with pytest.raises(DriftedError):
            store.production_command("bolt", "cell-1", 5)
        with pytest.raises(ModelMismatchError):
            store.put(recipe(model=1, action=4))
        with pytest.raises(UnknownRecipeError):
            store.get("bolt", "cell-1", 4)
        with pytest.raises(ValueError):
            store.get("x" * 64, "cell-1", 3)
        store.delete("bolt", "cell-1")
        assert store.recipes() == []
        assert [t.start for t in store.history()] == [Start.SAVED, Start.SAVED]
    assert store.closed
    with pytest.raises(tavrel.recipes.RecipeError):
        store.recipes()


def test_foreign_and_newer_files_are_refused_untouched(tmp_path):
    text = tmp_path / "notes.txt"
    text.write_bytes(b"not a database, long enough to be read as one's header\n" * 4)
    newer = tmp_path / "newer.db"
    RecipeStore(newer).close()
    with sqlite3.connect(newer) as db:
        db.execute("PRAGMA user_version = 7")
    for path, error in ((text, NotAStoreError), (newer, SchemaError)):
        before = path.read_bytes()
        with pytest.raises(error) as raised:
            RecipeStore(path)
        assert str(path) in raised.value.detail
        assert path.read_bytes() == before


def test_default_path_follows_xdg(tmp_path, monkeypatch):
    monkeypatch.setenv("XDG_DATA_HOME", str(tmp_path))
    assert default_path() == str(tmp_path / "tavrel" / "recipes.db")


def test_json_moves_recipes_all_or_nothing(tmp_path):
    with RecipeStore(tmp_path / "a.db") as a, RecipeStore(tmp_path / "b.db") as b:
        a.put(recipe())
        a.put(recipe(part="nut", feeder="cell-2", model=1, action=0))
        text = a.export_json()
        assert b.import_json(text) == 2
        assert b.recipes() == a.recipes()
        with RecipeStore(tmp_path / "c.db") as c:
            c.add_feeder("cell-2", 2)
            with pytest.raises(ModelMismatchError):
                c.import_json(text)
            with pytest.raises(FormatError):
                c.import_json(text.replace('"action":0', '"action":12'))
            assert c.recipes() == []


class Cell:
    """A simulated feeder at its action's start point, counting vibrations."""

    def __init__(self, model, action, noise_seed, ranges=None):
        self.feeder = sim.SimFeeder(model, 7, noise_seed, ranges)
        self.start = tavrel.start_point(model, action, *sim.platform(model))
        self.put_back()
        self.vibrations = 0

    def put_back(self):
        self.feeder.place(*self.start)

    def drive(self, command):
        self.vibrations += 1
        self.feeder.vibrate(command)


def test_warm_start_pins_the_words_and_production_sends_them(tmp_path):
    with RecipeStore(tmp_path / "r.db") as store:
        first = Cell(0, 3, 1)
        cold = store.tune("bolt", "cell-1", 0, 3, first.feeder.camera, first.drive,
                          first.put_back)
        assert cold.outcome == tavrel.Outcome.TUNED and cold.start == Start.COLD
        assert cold.vibrations == first.vibrations
        stored = store.get("bolt", "cell-1", 3)
        params = warm_params(stored)
        motor = stored.command.motors[2]
        assert (params.amp_init, params.amp_max) == (motor.amplitude, motor.amplitude)
        assert (params.fre_init, params.fre_max) == (motor.frequency, motor.frequency)
        again = Cell(0, 3, 2)
        warm = store.tune("bolt", "cell-1", 0, 3, again.feeder.camera, again.drive,
                          again.put_back)
        assert warm.start == Start.WARM and not warm.drifted
        assert warm.vibrations == tavrel.geometry(0, 3).success_count + 1
        assert store.production_command("bolt", "cell-1", 3) == warm.command


def test_a_callback_error_reaches_the_caller(tmp_path):
    def broken(_command):
        raise OSError("feeder link down")

    cell = Cell(0, 3, 1)
    with RecipeStore(tmp_path / "r.db") as store:
        with pytest.raises(OSError, match="feeder link down"):
            store.tune("bolt", "cell-1", 0, 3, cell.feeder.camera, broken, cell.put_back)
        assert store.recipes() == []
        assert store.feeder_model("cell-1") == 0
        with pytest.raises(ModelMismatchError):
            store.add_feeder("cell-1", 1)
        with pytest.raises(ValueError):
            store.history(part="bolt", action=-2)


def test_commissioning_fails_a_feeder_nothing_moves(tmp_path):
    ranges = sim.default_ranges(0)._replace(gain=sim.SimRange(0.001, 0.001))
    cell = Cell(0, 0, 1, ranges)
    found = commission(0, 0, cell.feeder.camera, cell.drive, cell.put_back)
    assert found.verdict == tavrel.Outcome.FAILED
    assert found.probe_vibrations == cell.vibrations < 40
    assert "no probe moved the part" in found.reason
