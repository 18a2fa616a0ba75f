"""tavrel-recipes end to end: import, list, show, history, export, delete,
and the exit status and message of what it refuses; tavrel-sim --recipes
tuning from and into a store."""

import json
import os
import subprocess
import sys
import tempfile

tool, sim = sys.argv[1], sys.argv[2]


def run(*args, stdin=None):
    return subprocess.run([tool, *args], input=stdin, capture_output=True, text=True)


def recipe(part, feeder, model, action, amp):
    words = [0] * 16
    words[8:10] = [amp, 73]
    return {"part": part, "feeder": feeder, "model": model, "action": action, "words": words,
            "run_ms": 5000, "params": {"amp_init": 40, "amp_max": 80, "fre_init": 70,
                                       "fre_max": 80, "run_time": 300},
            "tuned_at": 1765000000, "library_version": "1.3.0", "vibrations": 12,
            "outcome": 1, "drifted": 0}


with tempfile.TemporaryDirectory() as folder:
    db = os.path.join(folder, "cell.db")
    export = {"format": "tavrel-recipes", "version": 1,
              "recipes": [recipe("bolt", "cell-1", 0, 0, 46), recipe("bolt", "cell-1", 0, 3, 30),
                          recipe("nut", "cell-2", 1, 5, 60)]}
    source = os.path.join(folder, "in.json")
    with open(source, "w") as out:
        json.dump(export, out)

    done = run("--db", db, "import", source)
    assert done.returncode == 0 and done.stdout == "imported 3 recipes\n", done

    listed = run("--db", db, "list", "--part", "bolt")
    lines = listed.stdout.splitlines()
    assert listed.returncode == 0 and len(lines) == 3, listed
    assert lines[1].split()[:4] == ["bolt", "cell-1", "0", "0"], lines

    shown = run("--db", db, "show", "bolt", "cell-1", "0")
    assert "words            0/0/0/0 0/0/0/0 46/73/0/0 0/0/0/0" in shown.stdout, shown.stdout
    assert "tuned at         2025-12-06T05:46:40Z" in shown.stdout, shown.stdout

    history = run("--db", db, "history", "--action", "5")
    rows = history.stdout.splitlines()
    assert len(rows) == 2 and "imported" in rows[1] and "nut" in rows[1], rows

    # Exported and imported again elsewhere: the same recipes.
    moved = run("--db", db, "export")
    assert moved.returncode == 0, moved
    assert [r["action"] for r in json.loads(moved.stdout)["recipes"]] == [0, 3, 5]
    other = os.path.join(folder, "other.db")
    assert run("--db", other, "import", "-", stdin=moved.stdout).returncode == 0
    assert run("--db", other, "list").stdout == run("--db", db, "list").stdout

    assert run("--db", db, "delete", "bolt", "cell-1").returncode == 0
    assert len(run("--db", db, "list").stdout.splitlines()) == 2

    # Refusals: missing recipe 1, everything else 2, a foreign file untouched.
    missing = run("--db", db, "show", "bolt", "cell-1", "0")
    assert missing.returncode == 1 and "no recipe for part 'bolt'" in missing.stderr, missing
    with open(source, "rb") as text:
        before = text.read()
    foreign = run("--db", source, "list")
    assert foreign.returncode == 2 and "not a SQLite database" in foreign.stderr, foreign
    with open(source, "rb") as text:
        assert text.read() == before
    export["recipes"][0]["model"] = 1
    with open(source, "w") as out:
        json.dump(export, out)
    conflict = run("--db", other, "import", source)
    assert conflict.returncode == 2 and "another model" in conflict.stderr, conflict
    assert len(run("--db", other, "list").stdout.splitlines()) == 4
    assert run("--db", db, "frobnicate").returncode == 2
    assert run("--help").stdout.startswith("tavrel-recipes:")
    assert run("--version").stdout.startswith("tavrel-recipes ")
    # tavrel-sim tunes from and saves to a store: the second session starts warm.
    cell = os.path.join(folder, "sim.db")
    for start in ("cold", "warm"):
        tuned = subprocess.run([sim, "--recipes", cell, "--model", "1", "--action", "3"],
                               capture_output=True, text=True)
        assert tuned.returncode == 0, tuned
        assert tuned.stdout.splitlines()[1].split()[-3] == start, tuned.stdout
    assert "sim-part" in run("--db", cell, "list").stdout
    fleet = subprocess.run([sim, "--recipes", os.path.join(folder, "fleet.db"), "--model", "1",
                            "--action", "3", "--fleet", "3", "--commission"],
                           capture_output=True, text=True)
    assert fleet.returncode == 0 and "commissioned" in fleet.stdout, fleet
    assert fleet.stdout.splitlines()[-1].split()[:3] == ["1", "3", "3"], fleet.stdout
    alone = subprocess.run([sim, "--commission"], capture_output=True, text=True)
    assert alone.returncode == 2 and "go with --recipes" in alone.stderr, alone
print("ok")
