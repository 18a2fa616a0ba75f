"""tavrel-sim --camera frames end to end: the loop tunes through rendered
frames, the frames it keeps read back to the same verdicts in tavrel-locate,
bad folders and a missing camera module are refused before anything runs,
and the fleet's statistics do not depend on the number of jobs.

Arguments: TAVREL_SIM TAVREL_LOCATE SCRATCH_DIR [--no-instances]"""

import os
import re
import shutil
import subprocess
import sys

sim, locate, scratch = sys.argv[1:4]
instances = "--no-instances" not in sys.argv[4:]
shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(scratch)


def run(*args, env=None):
    return subprocess.run(args, capture_output=True, text=True, env=env)


def sim_run(*args, env=None):
    return run(sim, *args, "--jobs", "1", env=env)


def rows(out):
    """The session table's rows, split on blanks."""
    return [line.split() for line in out.splitlines()[1:]]


# The frames loop tunes a feeder; the coordinates camera is the default.
frames = sim_run("--model", "0", "--action", "0", "--camera", "frames")
assert frames.returncode == 0, frames.stdout + frames.stderr
assert rows(frames.stdout)[0][:3] == ["0", "0", "tuned"], frames.stdout
default = sim_run("--model", "0")
named = sim_run("--model", "0", "--camera", "coordinates")
assert default.returncode == 0 and default.stdout == named.stdout, (default.stdout, named.stdout)

# Every frame kept, named in the order taken, reads back in tavrel-locate to
# the verdict its name carries; look 0 is the empty platform, then the frame
# the part's size was learnt from.
kept = os.path.join(scratch, "frames")
os.makedirs(kept)
saved = sim_run("--model", "1", "--action", "3", "--max-steps", "25", "--camera", "frames",
                "--frame-shape", "screw", "--frame-dust", "30", "--frame-tilt", "0.25",
                "--save-frames", kept)
assert saved.returncode in (0, 1), saved.stdout + saved.stderr
names = sorted(os.listdir(kept))
name = re.compile(r"m1-a03-f000000-(\d{7})-(\d{2})-([a-z-]+)\.png$")
parsed = [name.match(n) for n in names]
assert all(parsed), names
assert [m.group(1, 2, 3) for m in parsed[:2]] == [("0000000", "00", "none"),
                                                  ("0000000", "01", "one")], names[:2]
looks = [int(m.group(1)) for m in parsed]
assert looks == sorted(looks) and looks[-1] >= 20, looks
located = run(locate, "--model", "1", *[os.path.join(kept, n) for n in names])
assert located.returncode in (0, 1), located.stderr
verdicts = [line.split()[1] for line in located.stdout.splitlines()]
assert verdicts == [m.group(3) for m in parsed], list(zip(names, verdicts))

# Refused before anything runs: a folder that is not there or not a folder,
# a missing camera module, frame options without the frames camera.
plain = os.path.join(scratch, "plain")
open(plain, "w").close()
empty = os.path.join(scratch, "no-module")
os.makedirs(empty)
no_module = dict(os.environ, TAVREL_SIM_MODULE_DIR=empty)
refusals = [
    (("--camera", "frames", "--save-frames", os.path.join(scratch, "missing")), None,
     "No such file or directory"),
    (("--camera", "frames", "--save-frames", plain), None, "not a directory"),
    (("--camera", "frames"), no_module, "install the tavrel-frames-tools package"),
    (("--frame-noise", "3"), None, "go with --camera frames"),
    (("--camera", "pictures"), None, "is not coordinates or frames"),
]
if os.geteuid() != 0:  # root writes into any folder
    locked = os.path.join(scratch, "locked")
    os.makedirs(locked, mode=0o555)
    refusals.append((("--camera", "frames", "--save-frames", locked), None, "not writable"))
for args, env, said in refusals:
    refused = sim_run("--model", "0", "--action", "0", *args, env=env)
    assert refused.returncode == 2, (args, refused.returncode, refused.stderr)
    assert refused.stdout == "", (args, refused.stdout)
    assert said in refused.stderr and refused.stderr.count("\n") == 1, (args, refused.stderr)

# One camera per instance: --jobs 2 gives the statistics of --jobs 1 (only
# the wall time in the last line differs).
if instances:
    fleet = ["--model", "all", "--action", "4", "--fleet", "2", "--camera", "frames",
             "--frame-size", "320x240"]
    one = run(sim, *fleet, "--jobs", "1")
    two = run(sim, *fleet, "--jobs", "2")
    assert one.stderr == "" and two.stderr == "", (one.stderr, two.stderr)
    assert one.returncode == two.returncode
    statistics = [r.stdout.splitlines()[:-1] for r in (one, two)]
    assert statistics[0] == statistics[1] and len(statistics[0]) == 6, statistics

print("ok: frames tune, %d kept frames read back, %d refusals%s" %
      (len(names), len(refusals), ", jobs 1 = jobs 2" if instances else ""))
