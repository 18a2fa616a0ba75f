"""tavrel-sim --report writes a PNG, and the plotting script places the
session's events on the vibration axis; exits 77 (skipped) without
matplotlib."""

import importlib.util
import os
import subprocess
import sys

try:
    import matplotlib  # noqa: F401
except ImportError:
    print("matplotlib is not installed: skipped")
    sys.exit(77)

sim, png, script = sys.argv[1], sys.argv[2], sys.argv[3]


def load_script():
    script_spec = importlib.util.spec_from_file_location("tavrel_report", script)
    module = importlib.util.module_from_spec(script_spec)
    script_spec.loader.exec_module(module)
    return module


def row(step, act="", command="", reset="0", task="4"):
    return {"step": str(step), "time_s": "%.1f" % step, "x": "1", "y": "2", "act": act,
            "command": command, "reset": reset, "task": task}


# Vibrations 1 and 2, an arrival after 2, vibration 3, verify asked after it,
# vibration 4 the verification, a restart, vibration 5, verification 6,
# success, end.
steps = [row(0), row(1, act="8"), row(2, act="8", reset="1"), row(3), row(4, act="8"),
         row(5, command="2", task="7"), row(6, act="8", task="6"), row(7, command="1", task="7"),
         row(8, act="8"), row(9, command="2", task="7"), row(10, act="8", task="6"),
         row(11, command="3", task="7"), row(12, task="8")]
session = load_script().Session(steps)
assert session.verifications == [4, 6], session.verifications
assert session.restarts == [4], session.restarts
assert session.arrivals == [2], session.arrivals
assert session.tuned and session.steps == 13 and len(session.commands) == 6

if os.path.exists(png):
    os.remove(png)
subprocess.run([sim, "--model", "1", "--action", "3", "--report", png], check=True,
               stdout=subprocess.DEVNULL)
with open(png, "rb") as stream:
    data = stream.read()
assert data.startswith(b"\x89PNG\r\n\x1a\n"), "not a PNG"
assert len(data) > 10000, "suspiciously small picture: %d bytes" % len(data)
print("ok: %d bytes" % len(data))
